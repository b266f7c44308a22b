#include "overlaylines.h"

#include "overlaygeometry.h"

#include <QEvent>
#include <QPainter>

OverlayLines::OverlayLines(QWidget* parent) : QWidget(parent) {}

void OverlayLines::setBackgroundPixmap(const QPixmap& pixmap)
{
    m_backgroundPixmap = pixmap;
    update();
    emit backgroundPixmapChanged();
}

void OverlayLines::setBackgroundScaleMode(BackgroundScaleMode mode)
{
    if (mode == m_scaleMode)
        return;
    m_scaleMode = mode;
    update();
    emit backgroundScaleModeChanged();
}

QSize OverlayLines::backgroundPictureSize() const
{
    // Device-independent, as drawn: a picture with a device pixel ratio of 2 covers half its pixels.
    return m_backgroundPixmap.isNull() ? QSize() : m_backgroundPixmap.deviceIndependentSize().toSize();
}

QRect OverlayLines::backgroundRect() const
{
    return Overlay::backgroundRect(size(), backgroundPictureSize(), m_scaleMode);
}

void OverlayLines::watchChild(QWidget* child)
{
    if (child)
        child->installEventFilter(this);
}

bool OverlayLines::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void OverlayLines::paintEvent(QPaintEvent*)
{
    if (m_backgroundPixmap.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target = backgroundRect();
    if (m_scaleMode == Center)
        p.drawPixmap(target.topLeft(), m_backgroundPixmap);
    else
        p.drawPixmap(target, m_backgroundPixmap); // Stretch, Contain and Cover scale into the rectangle
}
