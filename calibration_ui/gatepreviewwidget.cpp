#include "gatepreviewwidget.h"

#include "calibrationprocessing.h"

#include <QPainter>

#include <cmath>

using namespace GamepadCalibration;

GatePreviewWidget::GatePreviewWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("gatePreview"));
    setMinimumSize(150, 130);
    setSettings(GateSettings());
}

void GatePreviewWidget::setSettings(const GateSettings& settings)
{
    if (settings == m_settings && !m_evaluated.key.isEmpty())
        return;
    m_settings = settings;
    // The preview feeds the two live values as axes 0 and 1; a gate without a key is still drawn.
    m_evaluated = settings;
    m_evaluated.xAxis = 0;
    m_evaluated.yAxis = 1;
    if (m_evaluated.key.trimmed().isEmpty())
        m_evaluated.key = QStringLiteral("gate");
    evaluate();
    update();
}

void GatePreviewWidget::setLiveValues(double x, double y)
{
    if (x == m_liveX && y == m_liveY)
        return;
    m_liveX = x;
    m_liveY = y;
    const bool wasInside = m_inside;
    evaluate();
    // Without a device nothing but the inside flag depends on the live point, which stays false.
    if (m_connected || wasInside != m_inside)
        update();
}

void GatePreviewWidget::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    evaluate();
    update();
}

void GatePreviewWidget::evaluate()
{
    if (!m_connected) {
        m_inside = false;
        return;
    }
    const double values[2] = {m_liveX, m_liveY};
    m_inside = evaluateGate(m_evaluated, values, 2, m_inside).inside;
}

void GatePreviewWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF area = QRectF(rect()).adjusted(6, 6, -6, -6);
    p.setPen(QPen(QColor(48, 109, 127), 1));
    p.setBrush(QColor(7, 26, 36));
    p.drawRoundedRect(area, 6, 6);

    const double r = std::fmax(m_settings.radius, 0.0);
    const double h = std::fmax(m_settings.hysteresis, 0.0);
    double extent = std::fmax(100.0, r + 15);
    extent = std::fmax(extent, std::fabs(m_settings.centerX) + r + 15);
    extent = std::fmax(extent, std::fabs(m_settings.centerY) + r + 15);
    if (m_connected) {
        extent = std::fmax(extent, std::fabs(m_liveX) + 15);
        extent = std::fmax(extent, std::fabs(m_liveY) + 15);
    }
    const double k = std::fmax(std::fmin(area.width(), area.height()) - 18, 0.0) / (2 * extent);
    const QPointF origin = area.center();
    auto map = [&](double x, double y) { return QPointF(origin.x() + x * k, origin.y() - y * k); };

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(38, 86, 99), 1));
    p.drawLine(QPointF(area.left() + 10, origin.y()), QPointF(area.right() - 10, origin.y()));
    p.drawLine(QPointF(origin.x(), area.top() + 10), QPointF(origin.x(), area.bottom() - 10));

    const QPointF centre = map(m_settings.centerX, m_settings.centerY);
    QColor ring = m_inside ? QColor(72, 196, 122) : QColor(112, 204, 220);
    p.setPen(QPen(ring, 2));
    QColor fill = ring;
    fill.setAlpha(34);
    p.setBrush(fill);
    p.drawEllipse(centre, r * k, r * k);

    if (m_settings.hysteresis > 0) {
        QPen dashed(QColor(224, 172, 92), 1);
        dashed.setStyle(Qt::DashLine);
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, (r + h) * k, (r + h) * k);
    }

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(224, 240, 246));
    p.drawEllipse(centre, 3, 3);

    if (m_connected) {
        p.setBrush(m_inside ? QColor(72, 196, 122) : QColor(238, 124, 70));
        p.drawEllipse(map(m_liveX, m_liveY), 5, 5);
    }
}
