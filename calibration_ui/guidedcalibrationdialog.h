#pragma once

#include "calibrationsettings.h"
#include "guidedcalibration.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <array>

class ControlManette;
class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class StickTraceWidget;

// "Calibration guidée…": four steps over the live pad (let go, sticks to their ends, triggers, a
// summary of the values before and after). It reads the device itself, on the backend's clock, and
// writes nothing: Apply accepts the dialog and the page saves proposed() once, Cancel leaves
// everything as it was.
class GuidedCalibrationDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int SampleIntervalMs = 10;

    // current: the set being edited (the summary's "before"); target: where Apply will save,
    // in the user's words.
    GuidedCalibrationDialog(ControlManette* device, const GamepadCalibration::CalibrationSet& current,
                            const QList<GamepadCalibration::GuidedCalibration::Pair>& sticks,
                            const QString& target, QWidget* parent = nullptr);

    const GamepadCalibration::GuidedCalibration& guide() const { return m_guide; }
    GamepadCalibration::CalibrationSet proposed() const;

public Q_SLOTS:
    // One reading of the device (the timer calls it every SampleIntervalMs).
    void sample();
    // The "Suivant" button.
    void goNext();

private:
    void buildStepPages();
    void refresh();
    void refreshSummary();
    void stop(const QString& reason);

    QPointer<ControlManette> m_device;
    GamepadCalibration::CalibrationSet m_before;
    GamepadCalibration::GuidedCalibration m_guide;
    QTimer m_timer;
    bool m_stopped = false;

    QLabel* m_title = nullptr;
    QLabel* m_instructions = nullptr;
    QLabel* m_status = nullptr;
    QStackedWidget* m_pages = nullptr;
    QProgressBar* m_restProgress = nullptr;
    QGridLayout* m_restGrid = nullptr;
    QGridLayout* m_travelGrid = nullptr;
    // Per axis: rest, noise and suggested dead zone; minimum and maximum (null for absent axes).
    std::array<std::array<QLabel*, 3>, GamepadCalibration::kAxisCount> m_restCells{};
    std::array<std::array<QLabel*, 2>, GamepadCalibration::kAxisCount> m_travelCells{};
    QList<StickTraceWidget*> m_traces;
    QList<QLabel*> m_traceLabels;
    QLabel* m_triggers = nullptr;
    QGridLayout* m_summaryGrid = nullptr;
    QPushButton* m_next = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
