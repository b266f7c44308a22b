// GamepadDefinder: the mapping file, the full save of a definition, autosave and the refresh of the
// live devices after a save.
#include "gamepaddefinder.h"
#include "profilemetacache.h"

#include "gamepadmanager.h"
#include "hostlogging.h"
#include "interactiveoverlay.h"
#include "overlaymapping.h"
#include "profilestore.h"

#include <QJsonDocument>

bool GamepadDefinder::saveMapping(int index, bool notify)
{
    if (!m_library.isValidRow(index))
        return false;
    const QString path = ProfileStore::configPath(m_library.at(index).folder);
    if (path.isEmpty())
        return false;
    const QJsonArray bridges = m_overlay->materializeMapping().value(QStringLiteral("bridges")).toArray();
    // The one read-merge-write of the file; it logs "Gamepad mapping save failed error=" itself.
    if (!Overlay::saveMappingFile(path, bridges))
        return false;
    if (notify)
        scheduleDeviceRefresh();
    return true;
}

bool GamepadDefinder::loadMapping(int index)
{
    if (!m_library.isValidRow(index))
        return false;
    const QString path = ProfileStore::configPath(m_library.at(index).folder);
    QJsonObject mapping;
    if (Overlay::loadMappingFile(path, &mapping) != Overlay::MappingLoad::Loaded)
        return false;
    return m_overlay->applyMapping(mapping);
}

bool GamepadDefinder::saveDefinition(int row)
{
    // The overlay on screen belongs to the current definition only.
    if (row != m_currentRow || !m_library.isValidRow(row))
        return false;
    // An overlay that could not be read is not replaced by the empty one on screen: only meta.json
    // is written until the user gives it content.
    std::optional<QByteArray> overlay;
    std::function<bool()> mapping;
    if (m_overlayLoaded) {
        overlay = QJsonDocument(m_overlay->toJson()).toJson(QJsonDocument::Indented);
        mapping = [this, row]() { return saveMapping(row, true); };
    }
    const bool saved = m_library.save(row, overlay, mapping);
    // A copy made on the way (a shared definition this user may not write) moves the calibration
    // page with the record, whether the save then succeeded or not.
    updateCalibrationSide();
    if (!saved)
        return false;
    m_dirty = false;
    refreshRow(row);
    announceCurrent();
    emitCatalogChanged();
    return true;
}

bool GamepadDefinder::flushPendingSave()
{
    m_saveTimer.stop();
    if (!m_dirty || !m_library.isValidRow(m_currentRow))
        return true;
    return saveDefinition(m_currentRow);
}

void GamepadDefinder::onOverlayDirty()
{
    if (!m_dirty)
        m_dirtyTarget = m_library.targetOf(m_currentRow);
    m_dirty = true;
    updateGateSources();
    if (m_library.isValidRow(m_currentRow))
        m_saveTimer.start();
}

void GamepadDefinder::onOverlaySelectionChanged(int index)
{
    const int listening = m_overlay->listeningIndex();
    if (listening >= 0 && index != listening) {
        endPendingCapture();
        m_overlay->stopListening();
        return; // stopListening reports the selection again
    }
    refreshInspector();
}

void GamepadDefinder::onSaveTimeout()
{
    // The edits on screen are those of the definition they were made on; should the row under
    // them have changed, they are not written into another one.
    if (!m_dirty || !m_library.isValidRow(m_currentRow))
        return;
    if (m_library.rowOf(m_dirtyTarget) != m_currentRow) {
        qCWarning(lcGamepadUi) << "Pending save dropped: its definition is no longer shown";
        return;
    }
    saveDefinition(m_currentRow);
}

void GamepadDefinder::scheduleDeviceRefresh()
{
    // Each device reads its files just after its next sampling step, once for every request made
    // until then (the device list asks as well when the save changed the catalog).
    if (GamepadManager* manager = GamepadManager::existingInstance()) {
        for (ControlManette* device : manager->liveGamepads())
            device->requestMappingRefresh();
    }
}
