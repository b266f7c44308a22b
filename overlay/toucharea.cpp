#include "toucharea.h"

#include "overlaynode.h"

#include <QContextMenuEvent>
#include <QInputDialog>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

TitlePrompt defaultTitlePrompt()
{
    return [](QWidget* parent, const QString& current, QString* answer) {
        bool ok = false;
        const QString text = QInputDialog::getText(parent, TouchArea::tr("Renommer l'element"),
                                                   TouchArea::tr("Nom :"), QLineEdit::Normal, current, &ok);
        if (ok)
            *answer = text;
        return ok;
    };
}

TouchArea::TouchArea(QWidget* parent)
    : QWidget(parent), m_id(QUuid::createUuid()), m_title(tr("Element")), m_titlePrompt(defaultTitlePrompt())
{
    resize(120, 120);
    setMinimumSize(44, 44);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

void TouchArea::setId(const QUuid& id)
{
    m_id = id;
}

void TouchArea::setTitle(const QString& title)
{
    const QString trimmed = title.trimmed();
    if (trimmed.isEmpty() || trimmed == m_title)
        return;
    m_title = trimmed;
    update();
    emit titleEdited(m_title);
}

void TouchArea::setSubLabels(const QStringList& labels)
{
    if (labels == m_subLabels)
        return;
    m_subLabels = labels;
    update();
}

void TouchArea::setEditable(bool editable)
{
    m_editable = editable;
    setCursor(editable ? Qt::OpenHandCursor : Qt::PointingHandCursor);
    update();
}

void TouchArea::setElementKind(ElementKind kind)
{
    const int minimum = Overlay::minimumSide(static_cast<Overlay::Kind>(kind));
    if (width() < minimum || height() < minimum)
        setFixedSize(std::max(width(), minimum), std::max(height(), minimum));
    if (kind == m_kind)
        return;
    m_kind = kind;
    update();
    emit elementKindChanged(kind);
}

void TouchArea::setFreeAspect(bool freeAspect)
{
    if (freeAspect == m_freeAspect)
        return;
    m_freeAspect = freeAspect;
    emit freeAspectChanged(freeAspect);
}

void TouchArea::setBound(bool bound)
{
    if (bound == m_bound)
        return;
    m_bound = bound;
    update();
}

void TouchArea::setState(State state)
{
    if (state == m_state)
        return;
    const State previous = m_state;
    m_state = state;
    update();
    emit stateChanged(state, previous);
}

void TouchArea::startListening(const QString& text)
{
    m_listeningText = text;
    setState(Listening);
}

void TouchArea::stopListening()
{
    m_listeningText.clear();
    if (m_state == Listening)
        setState(Normal);
}

void TouchArea::setActive(bool active)
{
    if (active) {
        setState(Active);
        return;
    }
    if (m_state == Listening)
        m_listeningText.clear();
    setState(Normal);
}

QRect TouchArea::resizeHandleRect() const
{
    return QRect(width() - 15, height() - 15, 12, 12);
}

QSize TouchArea::resizedSize(const QPoint& offset) const
{
    const int minimum = Overlay::minimumSide(static_cast<Overlay::Kind>(m_kind));
    QSize size(m_startRect.width() + offset.x(), m_startRect.height() + offset.y());
    if (m_kind == DualJoyCross) {
        // The cross keeps the proportions it had when the drag started.
        const double aspect =
            m_startRect.height() == 0 ? 1.0 : double(m_startRect.width()) / double(m_startRect.height());
        const int side = std::max({size.width(), size.height(), minimum});
        size = QSize(int(side * aspect), side);
        if (size.width() < minimum)
            size = QSize(minimum, std::max(minimum, int(minimum / std::max(0.1, aspect))));
    } else if (!m_freeAspect) {
        const int side = std::max({size.width(), size.height(), minimum});
        size = QSize(side, side);
    }
    return size.expandedTo(QSize(minimum, minimum));
}

void TouchArea::clampInsideParent()
{
    const QWidget* overlay = parentWidget();
    if (!overlay)
        return;
    QRect area = geometry();
    // Right and bottom first so that a pastille larger than the overlay stays anchored top-left.
    if (area.right() > overlay->width() - 1)
        area.moveRight(overlay->width() - 1);
    if (area.bottom() > overlay->height() - 1)
        area.moveBottom(overlay->height() - 1);
    if (area.left() < 0)
        area.moveLeft(0);
    if (area.top() < 0)
        area.moveTop(0);
    move(area.topLeft());
}

void TouchArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    emit clicked(this);
    if (!m_editable) {
        emit activated(m_id, m_title);
        return;
    }
    m_startRect = geometry();
    m_pressGlobal = event->globalPosition().toPoint();
    if (resizeHandleRect().contains(event->position().toPoint())) {
        m_resizing = true;
        setCursor(Qt::SizeFDiagCursor);
    } else {
        m_moving = true;
        setCursor(Qt::ClosedHandCursor);
    }
}

void TouchArea::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint offset = event->globalPosition().toPoint() - m_pressGlobal;
    if (m_resizing && (event->buttons() & Qt::LeftButton)) {
        setFixedSize(resizedSize(offset));
        clampInsideParent();
        emit resized();
        return;
    }
    if (m_moving && (event->buttons() & Qt::LeftButton)) {
        move(m_startRect.topLeft() + offset);
        clampInsideParent();
        emit moved();
        return;
    }
    if (m_editable)
        setCursor(resizeHandleRect().contains(event->position().toPoint()) ? Qt::SizeFDiagCursor
                                                                           : Qt::OpenHandCursor);
    QWidget::mouseMoveEvent(event);
}

void TouchArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_editable) {
        m_moving = false;
        m_resizing = false;
        setCursor(Qt::OpenHandCursor);
    }
}

void TouchArea::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void TouchArea::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

QMenu* TouchArea::createContextMenu()
{
    auto* menu = new QMenu(this);
    menu->addAction(tr("Renommer..."), this, [this] {
        QString answer;
        if (m_titlePrompt && m_titlePrompt(this, m_title, &answer))
            setTitle(answer);
    });
    menu->addAction(tr("Dupliquer"), this, [this] { emit requestDuplicate(this); });
    menu->addAction(tr("Supprimer"), this, [this] { emit requestDelete(this); });
    return menu;
}

void TouchArea::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_editable) {
        event->ignore();
        return;
    }
    QMenu* menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}
