// Painting of a pastille: body by kind, state colours, title, sub-labels and resize grip.
#include "toucharea.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace {

struct BodyColours
{
    QColor fill;
    QColor outline;
};

BodyColours bodyColours(TouchArea::State state, bool bound, bool hovered)
{
    switch (state) {
    case TouchArea::Listening:
        return {QColor(75, 200, 120, 240), QColor(175, 255, 205, 240)};
    case TouchArea::Active:
        return bound ? BodyColours{QColor(125, 185, 255, 250), QColor(215, 235, 255, 245)}
                     : BodyColours{QColor(255, 186, 92, 248), QColor(255, 229, 196, 245)};
    case TouchArea::Normal:
        break;
    }
    return bound ? BodyColours{QColor(65, 145, 255, 225), QColor(180, 220, 255, hovered ? 210 : 170)}
                 : BodyColours{QColor(255, 152, 64, 228), QColor(255, 214, 168, hovered ? 220 : 185)};
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

QRadialGradient stickGradient(const QRectF& body, const QColor& fill)
{
    QRadialGradient gradient(body.center(), 0.56 * std::max(body.width(), body.height()));
    gradient.setColorAt(0.0, withAlpha(fill.lighter(165), 230));
    gradient.setColorAt(1.0, withAlpha(fill.darker(120), 210));
    return gradient;
}

void paintSingleJoy(QPainter& p, const QRectF& body, const BodyColours& colours, TouchArea::State state)
{
    p.setPen(QPen(colours.outline, state == TouchArea::Active ? 2.4 : 1.8));
    p.setBrush(stickGradient(body, colours.fill));
    p.drawEllipse(body);
    const QRectF knob =
        body.adjusted(body.width() * 0.28, body.height() * 0.28, -body.width() * 0.28, -body.height() * 0.28);
    p.setPen(QPen(QColor(255, 255, 255, 140), 1.0));
    p.setBrush(QColor(255, 255, 255, state == TouchArea::Listening ? 90 : 60));
    p.drawEllipse(knob);
}

void paintButton(QPainter& p, const QRectF& body, const BodyColours& colours, TouchArea::State state)
{
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0.0, withAlpha(colours.fill.lighter(150), 240));
    gradient.setColorAt(1.0, withAlpha(colours.fill.darker(125), 215));
    p.setPen(QPen(colours.outline, state == TouchArea::Active ? 2.2 : 1.6));
    p.setBrush(gradient);
    p.drawEllipse(body);
    const QRectF highlight =
        body.adjusted(body.width() * 0.18, body.height() * 0.18, -body.width() * 0.18, -body.height() * 0.18);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 38));
    p.drawEllipse(highlight);
}

// Arrow head pointing away from the centre along one axis, at the end of a bar.
QPainterPath arrowHead(const QPointF& tip, const QPointF& direction, double size)
{
    const QPointF normal(-direction.y(), direction.x());
    const QPointF base = tip - direction * size;
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(base + normal * (size * 0.8));
    path.lineTo(base - normal * (size * 0.8));
    path.closeSubpath();
    return path;
}

// A two-axis stick: the travel gate as a faint disc, the X and Y bars as a rounded cross with
// arrow heads showing the four directions, and the stick cap in the middle.
void paintDualCross(QPainter& p, const QRectF& body, const BodyColours& colours, TouchArea::State state)
{
    const double side = std::min(body.width(), body.height());
    const QPointF centre = body.center();
    const double thickness = std::max(14.0, side * 0.30);

    // Travel gate behind the cross.
    const QRectF gate(centre.x() - side * 0.46, centre.y() - side * 0.46, side * 0.92, side * 0.92);
    p.setPen(QPen(withAlpha(colours.outline, 70), 1.0));
    p.setBrush(withAlpha(colours.fill.darker(160), 70));
    p.drawEllipse(gate);

    QPainterPath horizontal;
    horizontal.addRoundedRect(QRectF(body.left(), centre.y() - thickness / 2, body.width(), thickness),
                              thickness / 2, thickness / 2);
    QPainterPath vertical;
    vertical.addRoundedRect(QRectF(centre.x() - thickness / 2, body.top(), thickness, body.height()),
                            thickness / 2, thickness / 2);
    const QPainterPath cross = horizontal.united(vertical).simplified();
    p.setPen(QPen(colours.outline, state == TouchArea::Active ? 2.4 : 1.8));
    p.setBrush(stickGradient(body, colours.fill));
    p.drawPath(cross);

    // Direction arrows near the four bar ends.
    const double arrow = thickness * 0.26;
    const double inset = thickness * 0.42;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawPath(arrowHead(QPointF(body.right() - inset, centre.y()), QPointF(1, 0), arrow));
    p.drawPath(arrowHead(QPointF(body.left() + inset, centre.y()), QPointF(-1, 0), arrow));
    p.drawPath(arrowHead(QPointF(centre.x(), body.top() + inset), QPointF(0, -1), arrow));
    p.drawPath(arrowHead(QPointF(centre.x(), body.bottom() - inset), QPointF(0, 1), arrow));

    // Stick cap: a darker well with a light knob.
    const double well = side * 0.20;
    p.setPen(QPen(withAlpha(colours.outline, 120), 1.0));
    p.setBrush(withAlpha(colours.fill.darker(170), 150));
    p.drawEllipse(centre, well, well);
    p.setPen(QPen(QColor(255, 255, 255, 140), 1.0));
    p.setBrush(QColor(255, 255, 255, state == TouchArea::Listening ? 90 : 60));
    p.drawEllipse(centre, well * 0.68, well * 0.68);
}

} // namespace

bool TouchArea::Look::operator==(const Look& other) const
{
    return size == other.size && pixelRatio == other.pixelRatio && font == other.font &&
           title == other.title && subLabels == other.subLabels && state == other.state &&
           kind == other.kind && bound == other.bound && hovered == other.hovered &&
           editable == other.editable;
}

TouchArea::Look TouchArea::look() const
{
    return {size(),  devicePixelRatioF(), font().key(), m_title, m_subLabels, m_state, m_kind,
            m_bound, m_hovered,           m_editable};
}

void TouchArea::paintEvent(QPaintEvent*)
{
    // The overlay repaints every pastille with it (a row shown, a drag, a repaint of the window);
    // antialiased outlines and shaped titles are drawn once per look and copied after that.
    const Look now = look();
    if (now.size.isEmpty())
        return;
    if (m_drawn.isNull() || !(now == m_drawnLook)) {
        QPixmap drawn(now.size * now.pixelRatio);
        drawn.setDevicePixelRatio(now.pixelRatio);
        drawn.fill(Qt::transparent);
        QPainter p(&drawn);
        paintLook(p);
        p.end();
        m_drawn = drawn;
        m_drawnLook = now;
    }
    QPainter(this).drawPixmap(0, 0, m_drawn);
}

void TouchArea::paintLook(QPainter& p) const
{
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(4, 4, -4, -4);
    const BodyColours colours = bodyColours(m_state, m_bound, m_hovered);
    switch (m_kind) {
    case SingleJoy:
        paintSingleJoy(p, body, colours, m_state);
        break;
    case Button:
        paintButton(p, body, colours, m_state);
        break;
    case DualJoyCross:
        paintDualCross(p, body, colours, m_state);
        break;
    }

    // Small pastilles first try a slightly smaller font (down to 7 points) before eliding.
    QFont titleFont = font();
    titleFont.setBold(true);
    const int available = width() - 16;
    for (int step = 0; step < 2 && titleFont.pointSizeF() > 7.5; ++step) {
        if (QFontMetrics(titleFont).horizontalAdvance(m_title) <= available)
            break;
        titleFont.setPointSizeF(std::max(7.0, titleFont.pointSizeF() - 1.0));
    }
    const QFontMetrics metrics(titleFont);
    QString title = m_title;
    if (m_kind == DualJoyCross && title.size() > 14)
        title = metrics.elidedText(title, Qt::ElideRight, int(width() * 0.56));
    title = metrics.elidedText(title, Qt::ElideRight, available);
    const QRectF titleRect = QRectF(rect()).adjusted(10, 10, -10, -10);
    p.setFont(titleFont);
    p.setPen(QColor(0, 0, 0, 110)); // soft shadow keeps the title readable on light bodies
    p.drawText(titleRect.translated(0, 1), Qt::AlignCenter, title);
    p.setPen(QColor(240, 248, 255));
    p.drawText(titleRect, Qt::AlignCenter, title);

    if (m_kind == DualJoyCross && !m_subLabels.isEmpty()) {
        QFont labelFont = font();
        labelFont.setBold(false);
        if (labelFont.pointSizeF() > 0)
            labelFont.setPointSizeF(std::max(7.5, labelFont.pointSizeF() - 1.0));
        p.setFont(labelFont);
        p.setPen(QColor(235, 245, 255, 170));
        p.drawText(QRectF(rect()).adjusted(12, 0, -12, -8), Qt::AlignHCenter | Qt::AlignBottom,
                   m_subLabels.join(QStringLiteral("  ")));
    }

    if (m_editable) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, m_hovered ? 235 : 195));
        p.drawRoundedRect(resizeHandleRect(), 3, 3);
    }
}
