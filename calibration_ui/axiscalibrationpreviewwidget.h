#pragma once

#include "calibrationprocessing.h"
#include "calibrationsettings.h"

#include <QWidget>

// The live strip of an axis card: raw track with rest point, dead zone, travel and the live knob,
// and (from 58 px of height) the calibrated output below it. It draws what the calibration
// functions report (processAxis, axisRawLandmarks) and never redoes their arithmetic.
class AxisCalibrationPreviewWidget : public QWidget
{
    Q_OBJECT

public:
    // Below this height the compact strip (one track, no output) is drawn.
    static constexpr int FullHeight = 58;

    explicit AxisCalibrationPreviewWidget(QWidget* parent = nullptr);

    // Repaints only when something differs from what is shown.
    void setState(const GamepadCalibration::AxisSettings& settings, double liveRaw,
                  const GamepadCalibration::AxisProcessResult& result);

    GamepadCalibration::AxisSettings settings() const { return m_settings; }
    double liveRaw() const { return m_liveRaw; }
    GamepadCalibration::AxisProcessResult result() const { return m_result; }

    QSize sizeHint() const override { return QSize(220, 34); }
    QSize minimumSizeHint() const override { return QSize(160, 34); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintFull(QPainter& p) const;
    void paintCompact(QPainter& p) const;

    GamepadCalibration::AxisSettings m_settings;
    GamepadCalibration::AxisRawLandmarks m_marks;
    double m_liveRaw = 0.0;
    GamepadCalibration::AxisProcessResult m_result;
};
