#pragma once

#include "calibrationprocessing.h"
#include "calibrationsettings.h"

#include <QWidget>

class AxisCalibrationPreviewWidget;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QToolButton;

// Collapsible card editing one axis's calibration, with a live preview of the raw reading and
// the calibrated output, and capture buttons that take the current raw reading as rest, negative
// end, positive end or trigger end. The card keeps no file: it reports every change and its owner
// stores and saves.
class GamepadAxisCalibrationWidget : public QWidget
{
    Q_OBJECT

public:
    enum CaptureTarget
    {
        Rest = 0,
        Negative = 1,
        Positive = 2,
        Active = 3
    };
    Q_ENUM(CaptureTarget)

    explicit GamepadAxisCalibrationWidget(QWidget* parent = nullptr);

    // Title "joy_<index> (<name>)", or "joy_<index>" without a name.
    void setAxis(int index, const QString& name);
    int axisIndex() const { return m_axisIndex; }
    QString axisName() const { return m_axisName; }

    // Sanitises, stores and shows the settings; emits nothing.
    void setSettings(const GamepadCalibration::AxisSettings& settings);
    GamepadCalibration::AxisSettings settings() const { return m_settings; }

    // The live raw reading (-100..100): labels and preview follow, only when it moved.
    void setLiveRaw(double value);
    double liveRaw() const { return m_liveRaw; }

    // Capture buttons work only while a connected device feeds the card.
    void setCaptureEnabled(bool enabled);
    bool captureEnabled() const { return m_captureEnabled; }
    // Without a target file nothing can be edited.
    void setEditable(bool editable);
    // Marks the card when the connected controller has no such input.
    void setAbsent(bool absent);
    bool isEditable() const { return m_editable; }
    void setExpanded(bool expanded);
    bool isExpanded() const { return m_expanded; }

    // Takes raw as the target point, then reports the (sanitised) settings.
    void applyCapture(CaptureTarget target, double raw);

Q_SIGNALS:
    void settingsChanged(const GamepadCalibration::AxisSettings& settings);
    void captureRequested(GamepadAxisCalibrationWidget::CaptureTarget target);

private:
    void buildUi();
    QToolButton* makeCaptureButton(const QString& name, const QString& toolTip, CaptureTarget target);
    void fillWidgets();
    void onWidgetEdited();
    void updateTitle();
    void updateModeRules();
    void updateLiveLabels();

    GamepadCalibration::AxisSettings m_settings;
    double m_liveRaw = 0.0;
    int m_axisIndex = 0;
    QString m_axisName;
    bool m_captureEnabled = false;
    bool m_expanded = false;
    bool m_editable = true;
    bool m_updating = false;

    QFrame* m_details = nullptr;
    QToolButton* m_expandButton = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_absentMark = nullptr;
    AxisCalibrationPreviewWidget* m_preview = nullptr;
    QLabel* m_rawLabel = nullptr;
    QLabel* m_outputLabel = nullptr;
    QComboBox* m_modeCombo = nullptr;
    QComboBox* m_curveCombo = nullptr;
    QDoubleSpinBox* m_deadzoneSpin = nullptr;
    QDoubleSpinBox* m_gammaSpin = nullptr;
    QDoubleSpinBox* m_restSpin = nullptr;
    QDoubleSpinBox* m_negativeSpin = nullptr;
    QDoubleSpinBox* m_positiveSpin = nullptr;
    QDoubleSpinBox* m_activeSpin = nullptr;
    QDoubleSpinBox* m_scaleSpin = nullptr;
    QDoubleSpinBox* m_offsetSpin = nullptr;
    QCheckBox* m_invertCheck = nullptr;
    QToolButton* m_captureButtons[4] = {};
    QList<QWidget*> m_minMaxRow; // Min and Max labels, spins and capture buttons
    QList<QWidget*> m_endRow;    // Fin label, spin and capture button
};
