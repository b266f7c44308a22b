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

QRect OverlayLines::backgroundRect() const
{
    const QSize picture = m_backgroundPixmap.isNull() ? QSize() : m_backgroundPixmap.size();
    return Overlay::backgroundRect(size(), picture, m_scaleMode);
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
