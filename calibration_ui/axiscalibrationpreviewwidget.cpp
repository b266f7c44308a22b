#include "axiscalibrationpreviewwidget.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

using namespace GamepadCalibration;

namespace {

double clampTo(double v, double lo, double hi)
{
    return v > hi ? hi : (v > lo ? v : lo); // NaN ends at lo
}

// Raw unit (-100..100) to an x coordinate of the track.
double rawX(const QRectF& area, double raw)
{
    return area.left() + area.width() * (clampTo(raw, -100.0, 100.0) + 100.0) / 200.0;
}

// A band between two x positions of a track, whichever comes first.
QRectF band(double x1, double x2, double top, double height)
{
    return QRectF(QPointF(std::fmin(x1, x2), top), QPointF(std::fmax(x1, x2), top + height));
}

void fillRounded(QPainter& p, const QRectF& rect, double radius, const QColor& colour)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    QPainterPath path;
    const double r = std::fmin(radius, std::fmin(rect.width(), rect.height()) / 2.0);
    path.addRoundedRect(rect, r, r);
    p.fillPath(path, colour);
}

void knob(QPainter& p, QPointF centre, double radius, bool atRest)
{
    p.setPen(QPen(QColor(7, 15, 20, 180), 1));
    p.setBrush(atRest ? QColor(220, 120, 60) : QColor(110, 200, 215));
    p.drawEllipse(centre, radius, radius);
    p.setBrush(Qt::NoBrush);
}

} // namespace

AxisCalibrationPreviewWidget::AxisCalibrationPreviewWidget(QWidget* parent)
    : QWidget(parent), m_marks(axisRawLandmarks(m_settings)), m_result(processAxis(m_settings, 0.0))
{
    setMinimumSize(160, 34);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void AxisCalibrationPreviewWidget::setState(const AxisSettings& settings, double liveRaw,
                                            const AxisProcessResult& result)
{
    const bool same = settings == m_settings && liveRaw == m_liveRaw && result.value == m_result.value &&
                      result.atRest == m_result.atRest && result.raw == m_result.raw;
    if (same)
        return;
    if (settings != m_settings) {
        m_settings = settings;
        m_marks = axisRawLandmarks(settings);
    }
    m_liveRaw = liveRaw;
    m_result = result;
    update();
}

void AxisCalibrationPreviewWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (height() >= FullHeight)
        paintFull(p);
    else
        paintCompact(p);
}

void AxisCalibrationPreviewWidget::paintFull(QPainter& p) const
{
    const QRectF area = QRectF(rect()).adjusted(8, 10, -8, -10);
    const QRectF raw(area.left(), area.top() + 6, area.width(), 18);
    const QRectF out(area.left(), area.bottom() - 18 - 12, area.width(), 12);
    const double centreY = raw.center().y();

    fillRounded(p, raw, 8, QColor(18, 28, 37, 220));
    fillRounded(
        p, band(rawX(area, m_marks.deadzoneLow), rawX(area, m_marks.deadzoneHigh), raw.top(), raw.height()),
        8, QColor(200, 140, 50, 90));
    fillRounded(p,
                band(rawX(area, m_marks.travelFrom), rawX(area, m_marks.travelTo), raw.top(), raw.height()),
                5, QColor(70, 170, 190, 50));

    p.setPen(QPen(QColor(110, 200, 215, 180), 2));
    const double restX = rawX(area, m_marks.rest);
    p.drawLine(QPointF(restX, raw.top()), QPointF(restX, raw.bottom()));
    p.setPen(QPen(QColor(100, 130, 150, 160), 1));
    // Both end stops of a stick; a trigger's travel starts at the rest marker already drawn.
    const double endX = rawX(area, m_marks.travelTo);
    p.drawLine(QPointF(endX, raw.top()), QPointF(endX, raw.bottom()));
    if (!m_marks.trigger) {
        const double startX = rawX(area, m_marks.travelFrom);
        p.drawLine(QPointF(startX, raw.top()), QPointF(startX, raw.bottom()));
    }
    knob(p, QPointF(rawX(area, m_liveRaw), centreY), 6, m_result.atRest);

    p.setPen(Qt::NoPen);
    fillRounded(p, out, 6, QColor(14, 22, 29, 220));
    const AxisSettings s = sanitizedAxis(m_settings);
    const double scale = std::fmax(std::fmax(s.outputScale, 1.0) * 100.0 + std::fabs(s.outputOffset), 100.0);
    auto outX = [&](double v) {
        return area.left() + area.width() * (clampTo(v, -scale, scale) + scale) / (2 * scale);
    };
    fillRounded(p, band(outX(0.0), outX(m_result.value), out.top(), out.height()), 6,
                QColor(80, 180, 200, 180));
    if (!m_marks.trigger) {
        p.setPen(QPen(QColor(90, 120, 140, 160), 1));
        p.drawLine(QPointF(outX(0.0), out.top() - 1), QPointF(outX(0.0), out.bottom() + 1));
    }
}

void AxisCalibrationPreviewWidget::paintCompact(QPainter& p) const
{
    const QRectF area = QRectF(rect()).adjusted(4, 7, -4, -7);
    const QRectF track(area.left(), area.center().y() - 6, area.width(), 12);

    fillRounded(p, track, 6, QColor(18, 43, 52, 220));
    fillRounded(
        p,
        band(rawX(area, m_marks.deadzoneLow), rawX(area, m_marks.deadzoneHigh), track.top(), track.height()),
        6, QColor(200, 140, 50, 95));
    fillRounded(
        p, band(rawX(area, m_marks.travelFrom), rawX(area, m_marks.travelTo), track.top(), track.height()), 4,
        QColor(70, 170, 190, 55));

    p.setPen(QPen(QColor(110, 200, 215, 180), 1.8));
    const double restX = rawX(area, m_marks.rest);
    p.drawLine(QPointF(restX, track.top() - 4), QPointF(restX, track.bottom() + 4));
    knob(p, QPointF(rawX(area, m_liveRaw), track.center().y()), 5, m_result.atRest);
}
