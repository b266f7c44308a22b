#include "calibrationuicommon.h"

#include <QLabel>

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace CalibrationUi {

namespace {

const QColor kAccent(112, 204, 220);
const QColor kLight(224, 240, 246);
const QColor kMuted(93, 132, 148);

QPen pen(const QColor& colour, double width)
{
    QPen p(colour, width);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

// A filled triangle pointing from base towards tip.
void arrowHead(QPainter& p, QPointF tip, QPointF direction, double size, const QColor& colour)
{
    const double length = std::hypot(direction.x(), direction.y());
    if (length <= 0)
        return;
    const QPointF d = direction / length;
    const QPointF n(-d.y(), d.x());
    const QPointF base = tip - d * size;
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(base + n * size * 0.6);
    path.lineTo(base - n * size * 0.6);
    path.closeSubpath();
    p.fillPath(path, colour);
}

void crossHair(QPainter& p, double inner, double outer)
{
    p.setPen(pen(kLight, 2));
    p.drawLine(QPointF(16, 16 - outer), QPointF(16, 16 - inner));
    p.drawLine(QPointF(16, 16 + inner), QPointF(16, 16 + outer));
    p.drawLine(QPointF(16 - outer, 16), QPointF(16 - inner, 16));
    p.drawLine(QPointF(16 + inner, 16), QPointF(16 + outer, 16));
}

void dot(QPainter& p, QPointF centre, double radius, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(Qt::NoBrush);
}

// A raw-travel bar with an arrow running to one end: the end points of the axis card.
void captureEnd(QPainter& p, bool towardsLeft)
{
    p.setPen(pen(kMuted, 2));
    p.drawLine(QPointF(6, 22), QPointF(26, 22));
    const double end = towardsLeft ? 6 : 26;
    p.setPen(pen(kAccent, 2.6));
    p.drawLine(QPointF(end, 8), QPointF(end, 26));
    p.setPen(pen(kLight, 2));
    const double from = towardsLeft ? 24 : 8;
    const double to = towardsLeft ? 12 : 20;
    p.drawLine(QPointF(from, 13), QPointF(to, 13));
    arrowHead(p, QPointF(towardsLeft ? 9 : 23, 13), QPointF(towardsLeft ? -1 : 1, 0), 5, kLight);
}

void paintIcon(QPainter& p, Icon which)
{
    switch (which) {
    case Icon::AddGate:
        p.setPen(pen(kMuted, 2));
        p.drawEllipse(QPointF(14, 16), 10, 10);
        p.setPen(pen(kAccent, 2.6));
        p.drawLine(QPointF(24, 4), QPointF(24, 14));
        p.drawLine(QPointF(19, 9), QPointF(29, 9));
        dot(p, QPointF(14, 16), 2.5, kLight);
        break;
    case Icon::CaptureRest:
        p.setPen(pen(kAccent, 2));
        p.drawEllipse(QPointF(16, 16), 9, 9);
        crossHair(p, 5, 13);
        dot(p, QPointF(16, 16), 3, kLight);
        break;
    case Icon::CaptureCentre:
        p.setPen(pen(kMuted, 1.6));
        p.drawEllipse(QPointF(16, 16), 11, 11);
        p.setPen(pen(kAccent, 2));
        p.drawEllipse(QPointF(16, 16), 5, 5);
        crossHair(p, 7, 14);
        dot(p, QPointF(16, 16), 2, kLight);
        break;
    case Icon::Reset: {
        const QRectF arc(7, 7, 18, 18);
        p.setPen(pen(kAccent, 2.4));
        p.drawArc(arc, 560, 4000);
        // The arrow sits at the arc's end (285 degrees), pointing along the clockwise-closing gap.
        const double end = 4560.0 / 16.0 * M_PI / 180.0;
        const QPointF tip(16 + 9 * std::cos(end), 16 - 9 * std::sin(end));
        const QPointF tangent(-std::sin(end), -std::cos(end));
        arrowHead(p, tip - tangent * 1.5, -tangent, 6, kLight);
        break;
    }
    case Icon::Copy:
        p.setPen(pen(kMuted, 2));
        p.drawRoundedRect(QRectF(6, 5, 13, 16), 2.5, 2.5);
        p.setPen(pen(kAccent, 2));
        p.setBrush(QColor(112, 204, 220, 50));
        p.drawRoundedRect(QRectF(12, 11, 13, 16), 2.5, 2.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(pen(kLight, 1.6));
        p.drawLine(QPointF(15.5, 17), QPointF(21.5, 17));
        p.drawLine(QPointF(15.5, 21), QPointF(21.5, 21));
        break;
    case Icon::Delete:
        p.setPen(pen(kLight, 2));
        p.drawLine(QPointF(7, 9), QPointF(25, 9));
        p.drawLine(QPointF(13, 9), QPointF(14, 5.5));
        p.drawLine(QPointF(14, 5.5), QPointF(18, 5.5));
        p.drawLine(QPointF(18, 5.5), QPointF(19, 9));
        p.setPen(pen(kAccent, 2));
        p.drawLine(QPointF(9, 12), QPointF(10.5, 26));
        p.drawLine(QPointF(23, 12), QPointF(21.5, 26));
        p.drawEllipse(QPointF(16, 26), 5.5, 1.2);
        p.setPen(pen(kMuted, 1.6));
        p.drawLine(QPointF(14, 14), QPointF(14.3, 23));
        p.drawLine(QPointF(18, 14), QPointF(17.7, 23));
        break;
    case Icon::RemoveGate:
        p.setPen(pen(kMuted, 2));
        p.drawEllipse(QPointF(16, 16), 11, 11);
        p.setPen(pen(kAccent, 2.6));
        p.drawLine(QPointF(11.5, 11.5), QPointF(20.5, 20.5));
        p.drawLine(QPointF(20.5, 11.5), QPointF(11.5, 20.5));
        break;
    case Icon::CaptureNegative:
        captureEnd(p, true);
        break;
    case Icon::CapturePositive:
        captureEnd(p, false);
        break;
    case Icon::CaptureActive:
        // A trigger pulled down to its end stop.
        p.setPen(pen(kMuted, 2));
        p.drawRoundedRect(QRectF(9, 4, 14, 10), 4, 4);
        p.setPen(pen(kLight, 2));
        p.drawLine(QPointF(16, 12), QPointF(16, 20));
        arrowHead(p, QPointF(16, 24), QPointF(0, 1), 5, kLight);
        p.setPen(pen(kAccent, 2.6));
        p.drawLine(QPointF(7, 27), QPointF(25, 27));
        break;
    }
}

} // namespace

QIcon icon(Icon which)
{
    static QHash<int, QIcon> cache;
    const auto it = cache.constFind(int(which));
    if (it != cache.cend())
        return it.value();
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        paintIcon(p, which);
    }
    const QIcon result(pixmap);
    cache.insert(int(which), result);
    return result;
}

QString axisLetter(int axis)
{
    static const char* const letters[] = {"X", "Y", "Z", "R", "U", "V", "PovX", "PovY"};
    return axis >= 0 && axis < 8 ? QString::fromLatin1(letters[axis]) : QString();
}

QString axisLabel(int axis)
{
    const QString letter = axisLetter(axis);
    return letter.isEmpty() ? QStringLiteral("joy_%1").arg(axis)
                            : QStringLiteral("joy_%1 (%2)").arg(axis).arg(letter);
}

namespace {

class WheelGuard : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel && !static_cast<QWidget*>(watched)->hasFocus()) {
            // Ignored and filtered: the application hands the wheel on to the parents.
            event->ignore();
            return true;
        }
        return false;
    }
};

} // namespace

void guardWheel(QWidget* input)
{
    static WheelGuard* guard = new WheelGuard(QCoreApplication::instance());
    input->setFocusPolicy(Qt::StrongFocus);
    input->installEventFilter(guard);
}

void setUpSpin(QAbstractSpinBox* spin)
{
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    guardWheel(spin);
}

void setStyleFlag(QWidget* widget, const char* name, bool value)
{
    const QVariant current = widget->property(name);
    if (current.isValid() && current.toBool() == value)
        return;
    widget->setProperty(name, value);
    // The style sheet matches on the property; it only notices after a re-polish (polishing drops
    // the widget's cached rules, so no unpolish is needed first).
    widget->style()->polish(widget);
    widget->update();
}

ReleaseWatcher::ReleaseWatcher(QObject* parent, std::function<void()> onRelease)
    : QObject(parent), m_onRelease(std::move(onRelease))
{}

void ReleaseWatcher::watch(QWidget* widget)
{
    widget->installEventFilter(this);
}

bool ReleaseWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (m_onRelease)
            m_onRelease();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QLabel* makeAbsentMark(QWidget* parent, const QString& toolTip)
{
    auto* mark = new QLabel(QCoreApplication::translate("CalibrationUi", "absent de cette manette"), parent);
    mark->setObjectName(QStringLiteral("absentMark"));
    mark->setToolTip(toolTip);
    mark->hide();
    return mark;
}

} // namespace CalibrationUi
