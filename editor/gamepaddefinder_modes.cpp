// GamepadDefinder: the three editor modes, the quick actions list and its hints.
#include "gamepaddefinder.h"

#include "gamepadconfigwidget.h"
#include "interactiveoverlay.h"
#include "tagselectionbar.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>

namespace {
constexpr int ActionNameRole = Qt::UserRole;
}

void GamepadDefinder::setEditorMode(int mode)
{
    if (mode < MappingMode || mode > EditMode)
        return;
    if (mode != MappingMode) {
        endPendingCapture();
        m_overlay->stopListening();
    }
    m_editorMode = mode;
    applyEditorMode();
}

void GamepadDefinder::applyEditorMode()
{
    const bool calibration = m_editorMode == CalibrationMode;
    if (m_editorMode != MappingMode)
        disarm();
    if (m_editorMode != EditMode) {
        endPendingCapture();
        if (m_overlay->listeningIndex() >= 0)
            m_overlay->stopListening();
    }
    for (int i = 0; i < m_modeButtons.size(); ++i)
        m_modeButtons.at(i)->setChecked(i == m_editorMode);

    m_overlay->setVisible(!calibration);
    m_inspector->setVisible(!calibration);
    if (calibration)
        ensureCalibrationEditor();
    if (m_calibrationEditor)
        m_calibrationEditor->setVisible(calibration);
    m_editTools->setVisible(m_editorMode == EditMode);
    if (!calibration) {
        m_overlayMode = m_editorMode == EditMode ? InteractiveOverlay::Edit : InteractiveOverlay::Mapping;
        m_overlay->setMode(InteractiveOverlay::Mode(m_overlayMode));
    }
    const bool hasCurrent = m_library.isValidRow(m_currentRow);
    m_tagBar->setEnabled(hasCurrent);
    for (QPushButton* button : std::as_const(m_addButtons)) {
        button->setVisible(m_overlayMode == InteractiveOverlay::Edit);
        button->setEnabled(hasCurrent);
    }
    refreshHint();
    refreshInspector();
    if (calibration)
        updateCalibrationSide();
}

QString GamepadDefinder::hintText() const
{
    return m_hintLabel->text();
}

bool GamepadDefinder::hasConnectedController() const
{
    return m_followed && !m_followed->name().trimmed().isEmpty();
}

void GamepadDefinder::refillQuickActions()
{
    const QString armed = m_armedAction;
    m_quickList->clear();
    // Groups in order of first appearance; inside a group, catalog order.
    QStringList groups;
    QHash<QString, QList<QJsonObject>> byGroup;
    QSet<QString> seen;
    for (const QJsonValue& value : std::as_const(m_sharedCatalog)) {
        const QJsonObject action = value.toObject();
        const QString name = action.value(QStringLiteral("name")).toString().trimmed();
        if (name.isEmpty() || seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        QString group = action.value(QStringLiteral("group")).toString().trimmed();
        if (group.isEmpty())
            group = tr("Sans groupe");
        if (!byGroup.contains(group))
            groups.append(group);
        byGroup[group].append(action);
    }
    if (groups.isEmpty()) {
        auto* empty = new QListWidgetItem(tr("Aucune action"), m_quickList);
        empty->setFlags(Qt::NoItemFlags);
        refreshHint();
        return;
    }
    for (const QString& group : std::as_const(groups)) {
        auto* header = new QListWidgetItem(group, m_quickList);
        header->setFlags(Qt::ItemIsEnabled);
        header->setForeground(QColor(143, 167, 182));
        QFont font = header->font();
        font.setBold(true);
        header->setFont(font);
        for (const QJsonObject& action : byGroup.value(group)) {
            const QString name = action.value(QStringLiteral("name")).toString().trimmed();
            QString label = action.value(QStringLiteral("label")).toString().trimmed();
            if (label.isEmpty())
                label = name;
            auto* item = new QListWidgetItem(QStringLiteral("  ") + label, m_quickList);
            item->setData(ActionNameRole, name);
            item->setToolTip(tr("ID: %1").arg(name));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
    }
    if (!armed.isEmpty() && !seen.contains(armed.toLower()))
        disarm();
    refreshHint();
}

void GamepadDefinder::refreshHint()
{
    const bool mappingOverlay = m_overlayMode == InteractiveOverlay::Mapping;
    const bool connected = hasConnectedController();
    // Arming needs the live picture: in Calibration the quick actions step aside with the inspector.
    m_quickPanel->setVisible(mappingOverlay && m_editorMode != CalibrationMode);
    m_rightSidebar->setVisible(m_editorMode != CalibrationMode);
    bool anyAction = false;
    for (int row = 0; row < m_quickList->count() && !anyAction; ++row)
        anyAction = m_quickList->item(row)->flags().testFlag(Qt::ItemIsSelectable);
    m_quickList->setEnabled(mappingOverlay && connected && anyAction);
    if (!mappingOverlay)
        m_hintLabel->setText(tr("Passez en mode Mapping pour affecter rapidement une action."));
    else if (!connected && m_library.isValidRow(m_currentRow) &&
             m_library.at(m_currentRow).deviceNames.isEmpty())
        // What is missing is the link, not the controller.
        m_hintLabel->setText(
            tr("Liez une manette à cette définition (barre du haut) pour utiliser le mapping rapide."));
    else if (!connected)
        m_hintLabel->setText(tr("Connectez la manette pour utiliser le mapping rapide."));
    else if (m_armedAction.isEmpty())
        m_hintLabel->setText(tr("Cliquez une action puis appuyez sur un bouton ou bougez un axe."));
    else
        m_hintLabel->setText(
            tr("Appuyez sur un bouton ou bougez un axe pour mapper \"%1\".").arg(m_armedAction));
}

void GamepadDefinder::disarm()
{
    m_armedAction.clear();
    m_quickList->clearSelection();
    m_quickList->setCurrentRow(-1, QItemSelectionModel::Clear);
}

void GamepadDefinder::clickQuickAction(int row)
{
    onQuickActionClicked(m_quickList->item(row));
}

void GamepadDefinder::onQuickActionClicked(QListWidgetItem* item)
{
    if (!item || !item->flags().testFlag(Qt::ItemIsSelectable))
        return;
    const QString name = item->data(ActionNameRole).toString().trimmed();
    if (!m_armedAction.isEmpty() && name.compare(m_armedAction, Qt::CaseInsensitive) == 0) {
        disarm();
        refreshHint();
        return;
    }
    if (m_overlayMode != InteractiveOverlay::Mapping || !hasConnectedController()) {
        disarm();
        refreshHint();
        return;
    }
    endPendingCapture();
    if (m_overlay->listeningIndex() >= 0)
        m_overlay->stopListening();
    m_armedAction = name;
    m_quickList->setCurrentItem(item);
    refreshHint();
}
