// GamepadDefinder: the inspector of the selected pastille and its slot editor panels.
#include "gamepaddefinder.h"

#include "actiontoolbox.h"
#include "editordialogs.h"
#include "interactiveoverlay.h"
#include "overlaymapping.h"
#include "toucharea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString publishTooltip()
{
    return GamepadDefinder::tr(
        "Hors repos: reemet tant que le joystick n'est pas revenu a 0 / 0,0. Le retour a "
        "zero est emis une fois.");
}

QPushButton* smallButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

// Everything the slot panels show of a pastille, in one text: equal texts build equal panels.
QString GamepadDefinder::inspectorContent(int node) const
{
    if (node < 0 || node >= m_overlay->nodeCount())
        return QString();
    const auto json = [](const QJsonObject& object) {
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    };
    QStringList parts{QString::number(node),
                      QString::number(int(m_overlay->nodeKind(node))),
                      QString::number(int(m_overlay->nodeSplit(node))),
                      QString::number(int(m_overlay->nodePublishMode(node))),
                      QString::number(m_catalogSerial),
                      m_overlay->listeningIndex() == node ? m_overlay->listeningSlot() : QString()};
    for (const QString& slot : m_overlay->nodeSlotNames(node))
        parts << slot << m_overlay->nodeSource(node, slot).stringKey.trimmed()
              << json(m_overlay->nodeBinding(node, slot));
    parts << m_overlay->nodeSlotLabels(node);
    if (m_overlay->nodeKind(node) == InteractiveOverlay::DualJoyCross) // the combined panel's title
        parts << m_overlay->nodeSource(node, QStringLiteral("x")).stringKey.trimmed()
              << m_overlay->nodeSource(node, QStringLiteral("y")).stringKey.trimmed();
    for (const QString& gate : m_overlay->nodeGateNames(node))
        parts << gate << json(m_overlay->nodeGateBinding(node, gate));
    return parts.join(QChar(0x1f));
}

// An edit made in the panels is already shown by them: the next refresh keeps them, and the user
// keeps the editor (and its focus) being worked in.
void GamepadDefinder::panelsShowTheirEdit(int node)
{
    if (m_slotContent && node == m_overlay->selectedIndex())
        m_slotContentShows = inspectorContent(node);
}

void GamepadDefinder::refreshInspector()
{
    if (!m_slotArea)
        return;
    const int node = m_overlay->selectedIndex();
    const bool selected = node >= 0 && node < m_overlay->nodeCount();
    // Most calls (a mode switch, a save, a listening stop) leave the panels as they are: built
    // again, they would cost the sampler a few milliseconds and the user the focus in them.
    const QString shows = inspectorContent(node);
    if (m_slotContent && shows != m_slotContentShows) {
        // Deferred: the call may come from a button inside the old panels.
        m_slotContent->hide();
        m_slotContent->deleteLater();
        m_slotContent = nullptr;
    }
    m_placeholder->setVisible(!selected);
    m_nameEdit->setEnabled(selected);
    m_duplicateButton->setEnabled(selected);
    m_deleteButton->setEnabled(selected);
    m_updating = true;
    if (!selected) {
        m_nameEdit->clear();
        m_typeLabel->clear();
        m_updating = false;
        return;
    }
    m_nameEdit->setText(m_overlay->nodeTitle(node));
    m_updating = false;
    const InteractiveOverlay::ElementKind kind = m_overlay->nodeKind(node);
    m_typeLabel->setText(kind == InteractiveOverlay::SingleJoy      ? tr("Type : Joy")
                         : kind == InteractiveOverlay::DualJoyCross ? tr("Type : Double Joy X/Y")
                                                                    : tr("Type : Button"));
    if (m_slotContent)
        return;

    auto* scroll = new QScrollArea(m_inspector);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setObjectName(QStringLiteral("slotEditorScroll"));
    // Made in its place: built apart and moved in, every widget would take its style twice.
    auto* content = new QWidget(scroll->viewport());
    content->setObjectName(QStringLiteral("slotEditorContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    const bool combined = kind == InteractiveOverlay::DualJoyCross && !m_overlay->nodeSplit(node);
    if (kind == InteractiveOverlay::DualJoyCross) {
        auto* split = new QCheckBox(tr("Split X / Y"), content);
        split->setChecked(!combined);
        connect(split, &QCheckBox::toggled, this, [this, node](bool on) {
            m_overlay->setSplit(node, on);
            refreshInspector();
        });
        layout->addWidget(split);
    }
    if (kind != InteractiveOverlay::Button) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(tr("Envoi"), content);
        auto* mode = new QComboBox(content);
        mode->addItem(tr("Sur changement"), 0);
        mode->addItem(tr("En continu hors repos"), 1);
        mode->addItem(tr("Toujours"), 2);
        mode->setToolTip(publishTooltip());
        mode->setCurrentIndex(mode->findData(int(m_overlay->nodePublishMode(node))));
        connect(mode, &QComboBox::currentIndexChanged, this, [this, node, mode](int) {
            if (m_updating)
                return;
            m_overlay->setPublishMode(node, InteractiveOverlay::PublishMode(mode->currentData().toInt()));
            panelsShowTheirEdit(node);
        });
        row->addWidget(label);
        row->addWidget(mode, 1);
        layout->addLayout(row);
        auto* note = new QLabel(publishTooltip(), content);
        note->setWordWrap(true);
        note->setObjectName(QStringLiteral("slotPublishNote"));
        layout->addWidget(note);
    }

    const QStringList slotNames = m_overlay->nodeSlotNames(node);
    const QStringList slotLabels = m_overlay->nodeSlotLabels(node);
    if (combined) {
        const QString xKey = m_overlay->nodeSource(node, QStringLiteral("x")).stringKey.trimmed();
        const QString yKey = m_overlay->nodeSource(node, QStringLiteral("y")).stringKey.trimmed();
        const Overlay::SourceKey x = Overlay::parseSourceKey(xKey);
        const Overlay::SourceKey y = Overlay::parseSourceKey(yKey);
        const QString title =
            x.valid && x.isAxis && y.valid && y.isAxis
                ? tr("Joy %1/%2").arg(x.index).arg(y.index)
                : QStringLiteral("%1 / %2").arg(xKey.isEmpty() ? QStringLiteral("X") : xKey,
                                                yKey.isEmpty() ? QStringLiteral("Y") : yKey);
        layout->addWidget(buildSlotPanel(content, node, title, slotNames, false));
    } else {
        for (int slot = 0; slot < slotNames.size(); ++slot)
            layout->addWidget(
                buildSlotPanel(content, node, slotLabels.value(slot), {slotNames.at(slot)}, false));
    }
    for (const QString& gate : m_overlay->nodeGateNames(node))
        layout->addWidget(buildSlotPanel(content, node, tr("Gate %1").arg(gate), {gate}, true));
    layout->addStretch(1);
    scroll->setWidget(content);
    scroll->setFocusPolicy(Qt::NoFocus); // Tab stops on the editors inside, not on their frame
    m_slotArea->addWidget(scroll, 1);
    m_slotContent = scroll;
    m_slotContentShows = shows;
    // Made after the rest of the panel, the slot editors would come last in the Tab order: they
    // go where they are seen, between the name and the Duplicate and Delete buttons.
    QList<QWidget*> editors;
    for (QWidget* w = content->nextInFocusChain(); w != content && content->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus)
            editors.append(w);
    }
    QWidget* previous = m_nameEdit;
    for (QWidget* editor : std::as_const(editors)) {
        QWidget::setTabOrder(previous, editor);
        previous = editor;
    }
}

QWidget* GamepadDefinder::buildSlotPanel(QWidget* parent, int node, const QString& title,
                                         const QStringList& slotList, bool gate)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("slotEditorPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    auto* titleLabel = new QLabel(title, panel);
    titleLabel->setObjectName(QStringLiteral("slotTitle"));
    layout->addWidget(titleLabel);

    const QString first = slotList.value(0);
    if (!gate) {
        QStringList keys;
        for (const QString& slot : slotList) {
            const QString key = m_overlay->nodeSource(node, slot).stringKey.trimmed();
            if (!key.isEmpty())
                keys.append(key);
        }
        // While one of its slots listens, the panel says what to do and how to stop.
        const bool listening =
            m_overlay->listeningIndex() == node && slotList.contains(m_overlay->listeningSlot());
        auto* source = new QLabel(listening ? tr("Appuyez sur un bouton ou bougez un axe de la manette… "
                                                 "(Échap pour annuler)")
                                  : keys.isEmpty() ? tr("Aucune source")
                                                   : keys.join(QStringLiteral(" / ")),
                                  panel);
        source->setObjectName(QStringLiteral("slotSource"));
        source->setWordWrap(true);
        layout->addWidget(source);

        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(4);
        const bool both = slotList.size() > 1;
        for (const QString& slot : slotList) {
            const bool thisOne = listening && m_overlay->listeningSlot() == slot;
            auto* learn = smallButton(thisOne ? tr("Écoute…")
                                      : both  ? tr("Learn %1").arg(slot.toUpper())
                                              : tr("Learn"),
                                      panel);
            learn->setObjectName(QStringLiteral("learnButton"));
            learn->setCheckable(true);
            learn->setChecked(thisOne);
            learn->setToolTip(thisOne ? tr("Écoute la manette : Échap ou un nouveau clic annule")
                                      : tr("Prendre l’entrée de ce slot sur la manette"));
            connect(learn, &QPushButton::clicked, this, [this, node, slot, thisOne]() {
                endPendingCapture();
                if (thisOne) {
                    m_overlay->stopListening();
                } else {
                    // One capture at a time: an armed quick action would take the input first
                    // and leave this slot listening for a later, unintended one.
                    if (!m_armedAction.isEmpty()) {
                        disarm();
                        refreshHint();
                    }
                    m_overlay->startListening(node, slot);
                }
                // Rebuilt once this click is over: the button is part of the panel.
                QMetaObject::invokeMethod(this, &GamepadDefinder::refreshInspector, Qt::QueuedConnection);
            });
            buttons->addWidget(learn);
        }
        auto* clear = smallButton(tr("Clear"), panel);
        connect(clear, &QPushButton::clicked, this, [this, node, slotList]() {
            const bool isJoy = m_overlay->nodeKind(node) != InteractiveOverlay::Button;
            for (const QString& slot : slotList)
                m_overlay->setSource(node, slot, isJoy, QString(), 0, 1, QStringLiteral("gamepade"));
            refreshInspector();
        });
        buttons->addWidget(clear);
        buttons->addStretch(1);
        layout->addLayout(buttons);
    }

    const QJsonObject binding =
        gate ? m_overlay->nodeGateBinding(node, first) : m_overlay->nodeBinding(node, first);
    layout->addWidget(createActionEditor(panel, binding, [this, node, first, gate](const QJsonObject& value) {
        if (gate)
            m_overlay->setGateBinding(node, first, value);
        else
            m_overlay->setBinding(node, first, value);
        panelsShowTheirEdit(node);
    }));
    return panel;
}

void GamepadDefinder::addPastille(int kind)
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    if (!m_overlayLoaded) {
        // The file that could not be read is only replaced when the user says so.
        const DefinitionRecord& record = m_library.at(m_currentRow);
        if (!dialogs()->question(this, tr("Ajouter une pastille"),
                                 tr("La configuration de « %1 » n'a pas pu être lue.\nAjouter une pastille "
                                    "remplacera le fichier %2 par une nouvelle configuration. Continuer ?")
                                     .arg(record.name, QFileInfo(record.overlayPath).fileName())))
            return;
        m_overlayLoaded = true;
    }
    // On the picture, beside the pastilles already there rather than on top of them: the free
    // place nearest the picture's centre, on a 12 px grid; the centre when the picture is full.
    const QRect picture =
        m_overlay->backgroundRect().isEmpty() ? m_overlay->rect() : m_overlay->backgroundRect();
    const int index = m_overlay->addNode(QPointF(picture.center()), InteractiveOverlay::ElementKind(kind));
    if (TouchArea* added = m_overlay->pastille(index)) {
        constexpr int Margin = 8;
        constexpr int Grid = 12;
        QList<QRect> taken;
        for (int i = 0; i < m_overlay->nodeCount(); ++i) {
            if (const TouchArea* other = m_overlay->pastille(i); other && i != index)
                taken.append(other->geometry().adjusted(-Margin, -Margin, Margin, Margin));
        }
        const QSize size = added->size();
        const QPoint centre = picture.center() - QPoint(size.width() / 2, size.height() / 2);
        QPoint best = added->pos();
        qint64 bestDistance = -1;
        for (int y = picture.top(); y + size.height() <= picture.bottom() + 1; y += Grid) {
            for (int x = picture.left(); x + size.width() <= picture.right() + 1; x += Grid) {
                const QRect place(QPoint(x, y), size);
                if (std::any_of(taken.cbegin(), taken.cend(),
                                [&](const QRect& t) { return t.intersects(place); }))
                    continue;
                const qint64 distance =
                    qint64(x - centre.x()) * (x - centre.x()) + qint64(y - centre.y()) * (y - centre.y());
                if (bestDistance < 0 || distance < bestDistance) {
                    bestDistance = distance;
                    best = place.topLeft();
                }
            }
        }
        if (bestDistance >= 0 && best != added->pos()) {
            added->move(best);
            emit added->moved();
        }
    }
    refreshInspector();
}

void GamepadDefinder::onTitleEdited()
{
    if (m_updating)
        return;
    const int node = m_overlay->selectedIndex();
    const QString title = m_nameEdit->text().trimmed();
    if (node < 0 || title.isEmpty() || title == m_overlay->nodeTitle(node))
        return;
    m_overlay->setTitle(node, title);
}

QWidget* GamepadDefinder::createActionEditor(QWidget* parent, const QJsonObject& binding,
                                             const std::function<void(const QJsonObject&)>& changed)
{
    auto* box = new ActionToolBox(parent);
    box->setMovable(false); // it sits in its panel
    // The inspector is at most 280 pixels wide: the choice takes the room its panel has.
    box->actionChoice()->setMinimumWidth(0);
    box->actionChoice()->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->actionChoice()->setMinimumContentsLength(8);
    box->setCatalog(m_sharedCatalog);
    box->loadBinding(binding);
    connect(box, &ActionToolBox::durty, this, [box, changed]() { changed(box->binding()); });
    return box;
}
