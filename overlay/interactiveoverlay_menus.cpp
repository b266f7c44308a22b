// Edit-mode context menu of the overlay and the rename prompt seam.
#include "interactiveoverlay.h"

#include <QContextMenuEvent>
#include <QMenu>

void InteractiveOverlay::setTitlePrompt(const TitlePrompt& prompt)
{
    m_titlePrompt = prompt;
    for (const QPointer<TouchArea>& area : std::as_const(m_widgets)) {
        if (area)
            area->setTitlePrompt(prompt);
    }
}

QMenu* InteractiveOverlay::createContextMenu(const QPoint& pos)
{
    int hit = -1;
    for (int i = m_widgets.size() - 1; i >= 0 && hit < 0; --i) {
        const TouchArea* area = m_widgets.at(i);
        if (area && !area->isHidden() && area->geometry().contains(pos))
            hit = i;
    }
    selectNode(hit);

    auto* menu = new QMenu(this);
    const QPointF centre(pos);
    menu->addAction(tr("Ajouter un joy"), this, [this, centre] { addNode(centre, SingleJoy); });
    menu->addAction(tr("Ajouter un double joy X/Y"), this, [this, centre] { addNode(centre, DualJoyCross); });
    menu->addAction(tr("Ajouter un bouton"), this, [this, centre] { addNode(centre, Button); });
    if (m_selectedIndex < 0)
        return menu;
    menu->addSeparator();
    menu->addAction(tr("Renommer..."), this, [this] {
        TouchArea* area = pastille(m_selectedIndex);
        QString answer;
        if (!area || !m_titlePrompt || !m_titlePrompt(this, area->title(), &answer) ||
            answer.trimmed().isEmpty())
            return;
        const QString before = area->title();
        area->setTitle(answer);
        if (area->title() == before)
            emit dirty(); // an unchanged title emits no titleEdited, so report the edit here
    });
    menu->addAction(tr("Dupliquer"), this, [this] { duplicateSelected(); });
    menu->addAction(tr("Supprimer"), this, [this] {
        if (removeNode(m_selectedIndex))
            emit dirty();
    });
    return menu;
}

void InteractiveOverlay::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_mode != Edit) {
        event->ignore();
        return;
    }
    QMenu* menu = createContextMenu(event->pos());
    menu->exec(event->globalPos());
    delete menu;
}
