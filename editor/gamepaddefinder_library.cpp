// GamepadDefinder: the library list, its context menu and the library operations behind it.
#include "gamepaddefinder.h"

#include "definitionmeta.h"
#include "editordialogs.h"
#include "gamepadconfigwidget.h"
#include "hostlogging.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "librarylistdelegate.h"
#include "picturefile.h"
#include "tagselectionbar.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>

void GamepadDefinder::reloadLibrary(const QUuid& selectId)
{
    // Pending edits land before the rows they belong to are listed anew.
    if (!leaveCurrentRow())
        return;
    QUuid keep = selectId;
    if (keep.isNull() && m_library.isValidRow(m_currentRow))
        keep = m_library.at(m_currentRow).id;
    const QList<DefinitionRecord> before = m_library.records();
    const int row = m_library.reload(keep);
    m_currentRow = -1;
    if (!dropTheOneRowGone(before))
        rebuildList();
    showRow(row);
}

namespace {
// What a row of the list shows of its definition.
bool sameRow(const DefinitionRecord& a, const DefinitionRecord& b)
{
    return a.id == b.id && a.name == b.name && a.imagePath == b.imagePath && a.deviceNames == b.deviceNames &&
           a.scope == b.scope;
}
} // namespace

// After a deletion the listing is mostly the one before less a row: that row's item goes, and the
// thousand others stay instead of being made again.
bool GamepadDefinder::dropTheOneRowGone(const QList<DefinitionRecord>& before)
{
    const QList<DefinitionRecord>& after = m_library.records();
    if (before.size() != after.size() + 1 || m_list->count() != before.size())
        return false;
    qsizetype gone = 0;
    while (gone < after.size() && sameRow(before.at(gone), after.at(gone)))
        ++gone;
    for (qsizetype i = gone; i < after.size(); ++i) {
        if (!sameRow(before.at(i + 1), after.at(i)))
            return false;
    }
    const QSignalBlocker blocker(m_list);
    delete m_list->takeItem(int(gone));
    return true;
}

void GamepadDefinder::rebuildList()
{
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    for (int row = 0; row < m_library.count(); ++row) {
        new QListWidgetItem(m_list);
        refreshRow(row);
    }
}

void GamepadDefinder::refreshRow(int row)
{
    QListWidgetItem* item = m_list->item(row);
    if (!item || !m_library.isValidRow(row))
        return;
    const DefinitionRecord& record = m_library.at(row);
    item->setText(record.name);
    item->setData(LibraryListDelegate::IdRole, record.id.toString(QUuid::WithoutBraces));
    item->setData(LibraryListDelegate::ImagePathRole, record.imagePath);
    item->setData(LibraryListDelegate::DeviceNamesRole, record.deviceNames);
    item->setData(LibraryListDelegate::ScopeRole, int(record.scope));
    int link = LibraryListDelegate::Unlinked;
    if (!record.deviceNames.isEmpty())
        link = m_library.isLinkedPadConnected(record) ? LibraryListDelegate::LinkedConnected
                                                      : LibraryListDelegate::LinkedDisconnected;
    item->setData(LibraryListDelegate::LinkStateRole, link);
    QString tip = record.name;
    if (!record.deviceNames.isEmpty())
        tip += QLatin1Char('\n') + tr("Manettes : %1").arg(record.deviceNames.join(QStringLiteral(", ")));
    tip += QLatin1Char('\n') +
           (record.scope == ProfileScope::User ? tr("Profil personnel") : tr("Profil partage"));
    item->setToolTip(tip);
}

void GamepadDefinder::updateLinkMarkers()
{
    for (int row = 0; row < m_library.count(); ++row)
        refreshRow(row);
}

void GamepadDefinder::selectRowQuietly(int row)
{
    const QSignalBlocker blocker(m_list);
    m_list->setCurrentRow(row);
}

void GamepadDefinder::syncListToCurrentRow()
{
    if (m_list->currentRow() != m_currentRow)
        selectRowQuietly(m_currentRow);
    onListSelectionMoved();
}

void GamepadDefinder::onListSelectionMoved()
{
    // A click that the editor refused (its save failed) still selects the clicked row after the
    // refusal: the highlight goes back to the row the editor shows.
    QItemSelectionModel* selection = m_list->selectionModel();
    const QModelIndex current = m_list->model()->index(m_currentRow, 0);
    const QModelIndexList selected = selection->selectedIndexes();
    if (current.isValid() ? (selected.size() == 1 && selected.first() == current) : selected.isEmpty())
        return;
    selection->select(current, QItemSelectionModel::ClearAndSelect);
}

void GamepadDefinder::setTagBarNames(const QStringList& names)
{
    // Offered: the pads connected now and every name some definition is linked to.
    QStringList available = m_library.connectedPadNames();
    available.append(m_library.linkedNames());
    available.append(names);
    const QSignalBlocker blocker(m_tagBar);
    m_tagBar->setAvailableTags(available);
    m_tagBar->setConnectedTags(m_library.connectedPadNames());
    m_tagBar->setSelectedTags(names);
}

void GamepadDefinder::announceCurrent()
{
    if (!m_library.isValidRow(m_currentRow)) {
        emit currentGamepadChanged(QUuid(), QString(), {}, m_overlay->toJson(), QString());
        return;
    }
    const DefinitionRecord& record = m_library.at(m_currentRow);
    emit currentGamepadChanged(record.id, record.name, record.deviceNames, m_overlay->toJson(),
                               record.imagePath);
}

void GamepadDefinder::emitCurrentSelection()
{
    emit deviceSelectionChanged(m_library.isValidRow(m_currentRow) ? m_library.at(m_currentRow).deviceNames
                                                                   : QStringList());
    announceCurrent();
}

void GamepadDefinder::emitCatalogChanged()
{
    if (m_suppressCatalogSignal)
        return;
    if (m_catalogOperations > 0) {
        m_catalogChangePending = true;
        return;
    }
    emit profilesCatalogChanged();
}

GamepadDefinder::CatalogChanges::CatalogChanges(GamepadDefinder* editor) : m_editor(editor)
{
    ++editor->m_catalogOperations;
}

GamepadDefinder::CatalogChanges::~CatalogChanges()
{
    if (!m_editor || --m_editor->m_catalogOperations > 0 || !m_editor->m_catalogChangePending)
        return;
    m_editor->m_catalogChangePending = false;
    emit m_editor->profilesCatalogChanged();
}

void GamepadDefinder::onListSelectionChanged(int row)
{
    if (!m_library.isValidRow(row))
        row = -1;
    if (row == m_currentRow)
        return;
    const CatalogChanges changes(this); // the page's report and the pending edit, saved on leaving
    if (!leaveCurrentRow()) {
        syncListToCurrentRow();
        return;
    }
    showRow(row);
}

bool GamepadDefinder::leaveCurrentRow()
{
    // The page first: its report names the definition that is still current.
    if (m_calibrationEditor && m_calibrationEditor->hasPendingEdit()) {
        QString error;
        if (!m_calibrationEditor->savePending(&error)) {
            dialogs()->warning(this, tr("Calibration"),
                               tr("La calibration modifiée n'a pas pu être enregistrée : %1").arg(error));
            return false;
        }
    }
    return flushPendingSave();
}

void GamepadDefinder::showRow(int row)
{
    m_saveTimer.stop();
    m_dirty = false;
    m_currentRow = m_library.isValidRow(row) ? row : -1;
    syncListToCurrentRow();
    if (m_currentRow < 0) {
        showEmptyOverlay();
    } else {
        openRow(m_currentRow);
        setTagBarNames(m_library.at(m_currentRow).deviceNames);
    }
    updateRealGamepads();
    chooseFollowedController();
    updateCalibrationSide();
    applyEditorMode();
    emit deviceSelectionChanged(m_currentRow >= 0 ? m_library.at(m_currentRow).deviceNames : QStringList());
}

bool GamepadDefinder::openRow(int row)
{
    const DefinitionRecord& record = m_library.at(row);
    m_overlay->setBackgroundPixmap(PictureFile::pixmap(record.imagePath));
    m_overlay->setMode(InteractiveOverlay::Mode(m_overlayMode));
    const QSignalBlocker blocker(m_overlay);
    bool ok = false;
    QString error;
    const QJsonObject document = JsonIo::readJsonObject(record.overlayPath, &ok, &error);
    m_overlayLoaded = ok && m_overlay->loadFromJson(document);
    if (!m_overlayLoaded) {
        // Never leave the previous definition's pastilles under this one's name; the row is shown
        // (and announced) empty, and its files stay as they are.
        m_overlay->loadFromJson(QJsonObject{{QStringLiteral("type"), QStringLiteral("InteractiveOverlay")}});
        m_dirty = false;
        refreshInspector();
        announceCurrent();
        dialogs()->warning(this, tr("Chargement"),
                           ok ? tr("Format de configuration non reconnu.")
                              : tr("Impossible de charger la configuration : %1").arg(error));
        return false;
    }
    recomputeGateNames();
    if (!loadMapping(row))
        qCWarning(lcGamepadUi) << "Unable to load gamepad mapping for index" << row;
    m_dirty = false;
    refreshInspector();
    emit currentGamepadChanged(record.id, record.name, record.deviceNames, document, record.imagePath);
    return true;
}

void GamepadDefinder::showEmptyOverlay()
{
    {
        const QSignalBlocker blocker(m_overlay);
        m_overlay->setBackgroundPixmap(QPixmap());
        m_overlay->loadFromJson(QJsonObject{{QStringLiteral("type"), QStringLiteral("InteractiveOverlay")}});
    }
    m_dirty = false;
    m_overlayLoaded = false;
    setTagBarNames({});
    refreshInspector();
    announceCurrent();
}

void GamepadDefinder::on_pushButtonAdd_clicked()
{
    actionNew();
}

void GamepadDefinder::actionNew()
{
    const CatalogChanges changes(this); // the new row, then the save of the row it replaces
    QString linked;
    const int row = m_library.createDefinition(m_overlay->size(), &linked);
    if (row < 0)
        return;
    {
        const QSignalBlocker blocker(m_list);
        new QListWidgetItem(m_list);
    }
    refreshRow(row);
    m_list->setCurrentRow(row);
    if (!linked.isEmpty() && m_currentRow == row) {
        setTagBarNames({linked});
        refreshRow(row);
    }
    emitCatalogChanged();
}

void GamepadDefinder::actionSave()
{
    saveDefinition(m_currentRow);
}

void GamepadDefinder::actionDuplicate()
{
    const CatalogChanges changes(this); // the pending edit saved, then the copy
    if (!m_library.isValidRow(m_currentRow) || !flushPendingSave())
        return;
    const int row = m_library.duplicate(m_currentRow);
    if (row < 0)
        return;
    {
        const QSignalBlocker blocker(m_list);
        new QListWidgetItem(m_list);
    }
    refreshRow(row);
    emitCatalogChanged();
    m_list->setCurrentRow(row);
}

void GamepadDefinder::actionDelete()
{
    // Pending edits are saved before the question, so nothing moves the definition while it is
    // open and nothing writes into its folder once it is gone.
    const CatalogChanges changes(this);
    if (!m_library.isValidRow(m_currentRow) || !leaveCurrentRow())
        return;
    const QUuid deleted = m_library.at(m_currentRow).id;
    if (!m_library.remove(m_currentRow))
        return;
    reloadLibrary(deleted);
    emitCatalogChanged();
}

void GamepadDefinder::actionRename()
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    const bool renamed = m_library.rename(m_currentRow);
    updateCalibrationSide(); // the row may live in a new copy even when the rename failed
    if (!renamed)
        return;
    refreshRow(m_currentRow);
    emitCatalogChanged();
    updateCalibrationSide();
    announceCurrent();
}

void GamepadDefinder::actionChangeImage()
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    const bool changed = m_library.changeImage(m_currentRow) == DefinitionLibrary::ImageChange::Changed;
    updateCalibrationSide(); // the row may live in a new copy even when the change failed
    if (!changed)
        return;
    refreshRow(m_currentRow);
    m_overlay->setBackgroundPixmap(PictureFile::pixmap(m_library.at(m_currentRow).imagePath));
    emitCatalogChanged();
    announceCurrent();
}

void GamepadDefinder::onDeviceSelectionTagsChanged(const QStringList& deviceNames)
{
    if (!m_library.isValidRow(m_currentRow)) {
        setTagBarNames({}); // nothing to link: the bar does not keep a chip for no definition
        return;
    }
    const QStringList names = DefinitionMeta::normalizedDeviceNames(deviceNames);
    DefinitionRecord& record = m_library.record(m_currentRow);
    if (names == record.deviceNames)
        return;
    const QStringList oldNames = record.deviceNames;
    const int oldVendor = record.vendorId;
    const int oldProduct = record.productId;
    record.deviceNames = names;
    for (const QString& name : names) {
        if (const ConnectedPad* pad = m_library.connectedPad(name)) {
            record.vendorId = int(pad->vendorId);
            record.productId = int(pad->productId);
            break;
        }
    }
    refreshRow(m_currentRow);
    m_suppressCatalogSignal = true;
    const bool saved = saveDefinition(m_currentRow);
    m_suppressCatalogSignal = false;
    if (!saved) {
        DefinitionRecord& restored = m_library.record(m_currentRow);
        restored.deviceNames = oldNames;
        restored.vendorId = oldVendor;
        restored.productId = oldProduct;
        refreshRow(m_currentRow);
        setTagBarNames(oldNames);
        return;
    }
    updateRealGamepads();
    chooseFollowedController();
    updateCalibrationSide();
    // The save may have moved the definition into the shared area; no other row's marker depends
    // on this definition's links.
    refreshRow(m_currentRow);
    emitCatalogChanged();
    emit deviceSelectionChanged(names);
}

void GamepadDefinder::onCalibrationProfileMetadataChanged(const QString& mode, const QString& overrideFile,
                                                          uint vendorId, uint productId)
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    // The page's pending edit was made under the values in force: it is saved (and reported)
    // first, and the values given here then supersede its report.
    const CatalogChanges changes(this);
    if (m_calibrationEditor)
        m_calibrationEditor->savePending();
    storeCalibrationMetadata(m_library.targetOf(m_currentRow), mode, overrideFile, vendorId, productId);
}

void GamepadDefinder::storeCalibrationMetadata(const DefinitionTarget& target, const QString& mode,
                                               const QString& overrideFile, uint vendorId, uint productId)
{
    const int row = m_library.rowOf(target);
    if (row < 0) {
        qCWarning(lcGamepadUi) << "Calibration report dropped: its definition is no longer listed"
                               << target.id.toString(QUuid::WithoutBraces);
        return;
    }
    switch (m_library.setCalibrationMetadata(row, mode, overrideFile, vendorId, productId)) {
    case DefinitionLibrary::MetaChange::Unchanged:
        return;
    case DefinitionLibrary::MetaChange::PrepareFailed:
    case DefinitionLibrary::MetaChange::WriteFailed:
        refreshRow(row);
        if (row == m_currentRow) {
            updateCalibrationSide(); // the record may live in a new copy all the same
            announceCurrent();
        }
        return;
    case DefinitionLibrary::MetaChange::Stored:
        if (row == m_currentRow) {
            updateCalibrationSide();
            announceCurrent();
        }
        refreshRow(row);
        emitCatalogChanged();
        return;
    }
}

QMenu* GamepadDefinder::createListContextMenu(const QPoint& pos)
{
    auto* menu = new QMenu(this);
    const int row = m_list->indexAt(pos).row();
    // Entries that act on a definition first make the row under the pointer current.
    const auto onRow = [this, row](void (GamepadDefinder::*operation)()) {
        return [this, row, operation]() {
            if (m_library.isValidRow(row))
                m_list->setCurrentRow(row);
            if (!m_library.isValidRow(row) || m_currentRow == row)
                (this->*operation)();
        };
    };
    menu->addAction(tr("Nouveau…"), this, &GamepadDefinder::actionNew);
    menu->addAction(tr("Importer…"), this, &GamepadDefinder::actionImport);
    menu->addSeparator();
    menu->addAction(tr("Copier"), this, onRow(&GamepadDefinder::actionCopy));
    menu->addAction(tr("Coller"), this, &GamepadDefinder::actionPaste);
    menu->addSeparator();
    menu->addAction(tr("Renommer…"), this, onRow(&GamepadDefinder::actionRename));
    menu->addAction(tr("Dupliquer"), this, onRow(&GamepadDefinder::actionDuplicate));
    menu->addAction(tr("Changer l’image…"), this, onRow(&GamepadDefinder::actionChangeImage));
    menu->addAction(tr("Exporter…"), this, onRow(&GamepadDefinder::actionExport));
    menu->addAction(tr("Snapshot PNG…"), this, onRow(&GamepadDefinder::actionSnapshot))->setVisible(false);
    menu->addAction(tr("Snapshots PNG (tous)"), this, &GamepadDefinder::actionSnapshotAll)->setVisible(false);
    QAction* remove = menu->addAction(tr("Supprimer"), this, onRow(&GamepadDefinder::actionDelete));
    remove->setEnabled(m_library.count() > 0);
    return menu;
}

void GamepadDefinder::showListContextMenu(const QPoint& pos)
{
    QMenu* menu = createListContextMenu(pos);
    menu->exec(m_list->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}
