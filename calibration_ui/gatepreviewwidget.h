#pragma once

#include "calibrationsettings.h"

#include <QWidget>

// The gate circle of a gate card, its hysteresis ring and the live point of its two axes. The
// inside state comes from evaluateGate and is carried from one update to the next, so the preview
// shows the same hysteresis as the device.
class GatePreviewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GatePreviewWidget(QWidget* parent = nullptr);

    // Each setter re-evaluates and repaints only when something changed.
    void setSettings(const GamepadCalibration::GateSettings& settings);
    void setLiveValues(double x, double y);
    void setConnected(bool connected);

    GamepadCalibration::GateSettings settings() const { return m_settings; }
    double liveX() const { return m_liveX; }
    double liveY() const { return m_liveY; }
    bool isConnected() const { return m_connected; }
    bool isInside() const { return m_inside; }

    QSize sizeHint() const override { return QSize(240, 190); }
    QSize minimumSizeHint() const override { return QSize(150, 130); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void evaluate();

    GamepadCalibration::GateSettings m_settings;
    GamepadCalibration::GateSettings m_evaluated; // the settings on axes 0 and 1, with a key
    double m_liveX = 0.0;
    double m_liveY = 0.0;
    bool m_connected = false;
    bool m_inside = false;
};
