#pragma once

#include "calibrationsettings.h"
#include "gatesource2d.h"

#include <QList>
#include <QWidget>

#include <functional>

class GatePreviewWidget;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QToolButton;

// Card editing one circular gate: the two-axis source it sits on, centre, radius, hysteresis,
// which edges are sent and the output inversion, with a live preview of the circle and the stick.
// It reports through the callbacks its owner sets; the owner stores, saves, captures and removes.
class GamepadGateCalibrationWidget : public QWidget
{
    Q_OBJECT

public:
    using ChangedCallback = std::function<void(const GamepadCalibration::GateSettings&)>;

    explicit GamepadGateCalibrationWidget(QWidget* parent = nullptr);

    // Shows the settings without reporting them.
    void setSettings(const GamepadCalibration::GateSettings& settings);
    GamepadCalibration::GateSettings settings() const { return m_settings; }
    void setSources(const QList<GateSource2D>& sources);
    QList<GateSource2D> sources() const { return m_sources; }

    // Calibrated values of the gate's two axes.
    void setLiveValues(double x, double y);
    void setConnected(bool connected);
    bool isConnected() const { return m_connected; }
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    bool isInside() const;

    void setChangedCallback(ChangedCallback callback) { m_changed = std::move(callback); }
    void setCaptureCentreCallback(std::function<void()> callback) { m_captureCentre = std::move(callback); }
    void setRemoveCallback(std::function<void()> callback) { m_remove = std::move(callback); }

    GatePreviewWidget* preview() const { return m_preview; }

    // Edge combo item data: 3 both, 1 entering only, 2 leaving only (neither shows as both).
    static int edgeData(bool emitOnEnter, bool emitOnExit);

private:
    void buildUi();
    void fillSourceCombo();
    void fillWidgets();
    void onWidgetEdited();
    void updateTitleAndState();
    void updateEnabling();

    GamepadCalibration::GateSettings m_settings;
    bool m_updating = false;
    QList<GateSource2D> m_sources;
    double m_liveX = 0.0;
    double m_liveY = 0.0;
    bool m_connected = false;
    bool m_editable = true;
    ChangedCallback m_changed;
    std::function<void()> m_captureCentre;
    std::function<void()> m_remove;

    QLabel* m_title = nullptr;
    QLabel* m_stateLabel = nullptr;
    QToolButton* m_captureButton = nullptr;
    QToolButton* m_removeButton = nullptr;
    QComboBox* m_sourceCombo = nullptr;
    QDoubleSpinBox* m_centerXSpin = nullptr;
    QDoubleSpinBox* m_centerYSpin = nullptr;
    QDoubleSpinBox* m_radiusSpin = nullptr;
    QDoubleSpinBox* m_hysteresisSpin = nullptr;
    QComboBox* m_edgeCombo = nullptr;
    QCheckBox* m_invertCheck = nullptr;
    GatePreviewWidget* m_preview = nullptr;
};
