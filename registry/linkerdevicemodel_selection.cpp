// LinkerDeviceModel: invokables, selection, the profile carousel and the catalog refresh.
#include "linkerdevicemodel_p.h"
#include "profilemetacache.h"
#include "sampletimer.h"

using namespace LinkerDeviceModelDetail;

// ---- Invokables --------------------------------------------------------------------------------

int LinkerDeviceModel::indexOfUsn(const QString& usn) const
{
    return int(m_rows.indexOf(usn));
}

QString LinkerDeviceModel::usnForRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : QString();
}

bool LinkerDeviceModel::isSelected(const QString& usn) const
{
    const auto it = m_entries.constFind(usn);
    return it != m_entries.constEnd() && it->kv.value(kSelected).toBool(false);
}

void LinkerDeviceModel::setSelected(const QString& usn, bool sel)
{
    const int row = indexOfUsn(usn);
    if (row >= 0)
        setData(index(row, 0), sel, SelectedRole);
}

bool LinkerDeviceModel::deleteDevice(const QString& usn)
{
    const int row = indexOfUsn(usn);
    if (row < 0 || !m_entries.contains(usn))
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    DeviceEntry& e = m_entries[usn];
    if (e.iface)
        e.iface->disconnectDevice();
    if (e.ifaceOwned && e.iface)
        e.iface->deleteLater();
    e.iface.clear();
    e.ifaceOwned = false;
    e.manette.clear();
    m_entries.remove(usn);
    m_rows.removeAt(row);
    endRemoveRows();
    emit countChanged();
    saveRegistry();
    syncSelected();
    return true;
}

bool LinkerDeviceModel::cycleProfile(const QString& usn, int delta)
{
    if (delta == 0 || !m_entries.contains(usn))
        return false;
    DeviceEntry& e = m_entries[usn];
    const int n = int(e.profiles.size());
    if (n == 0)
        return false;
    const int i = qMax(0, activeProfileIndex(e));
    const int next = (i + n + delta % n) % n;
    return changeActiveProfile(usn, e, idText(e.profiles.at(next).id), true);
}

bool LinkerDeviceModel::setActiveProfile(const QString& usn, const QString& profileId)
{
    if (!m_entries.contains(usn))
        return false;
    return changeActiveProfile(usn, m_entries[usn], profileId, true);
}

IComInterface* LinkerDeviceModel::interfaceForRow(int row) const
{
    const auto it = m_entries.constFind(usnForRow(row));
    return it == m_entries.constEnd() ? nullptr : it->iface.data();
}

// ---- Selection ---------------------------------------------------------------------------------

void LinkerDeviceModel::collectSelected(QList<IComInterface*>& interfaces, QJsonArray& infos)
{
    interfaces.clear();
    infos = QJsonArray();
    for (const QString& usn : std::as_const(m_rows)) {
        auto it = m_entries.find(usn);
        if (it == m_entries.end() || !it->kv.value(kSelected).toBool(false))
            continue;
        ensureInterface(*it, usn);
        if (it->iface) {
            interfaces.append(it->iface.data());
            infos.append(it->info);
        }
    }
}

void LinkerDeviceModel::syncSelected()
{
    QList<IComInterface*> interfaces;
    QJsonArray infos;
    collectSelected(interfaces, infos);
    emit selectedInterfacesChanged(interfaces, infos);
}

// ---- Profiles ----------------------------------------------------------------------------------

int LinkerDeviceModel::activeProfileIndex(const DeviceEntry& e)
{
    if (e.profiles.isEmpty())
        return -1;
    const QString wanted = e.kv.value(kActiveProfileId).toString().trimmed();
    if (!wanted.isEmpty()) {
        for (int i = 0; i < e.profiles.size(); ++i) {
            if (idText(e.profiles.at(i).id).compare(wanted, Qt::CaseInsensitive) == 0)
                return i;
        }
    }
    return 0;
}

QString LinkerDeviceModel::activeProfileId(const DeviceEntry& e)
{
    const int active = activeProfileIndex(e);
    return active >= 0 ? idText(e.profiles.at(active).id) : QString();
}

void LinkerDeviceModel::refreshProfiles(DeviceEntry& e) const
{
    QString name = e.manette ? e.manette->name().trimmed() : QString();
    if (name.isEmpty())
        name = e.info.value(kName).toString().trimmed();
    e.profiles = ProfileStore::profilesForDevice(name);
    const int active = activeProfileIndex(e);
    if (active >= 0) {
        setMember(e.kv, kActiveProfileId, idText(e.profiles.at(active).id));
        const QString image = e.profiles.at(active).imagePath;
        if (!image.isEmpty())
            setMember(e.info, kImagePath, image);
    } else {
        e.kv.remove(kActiveProfileId);
    }
    pushActiveProfile(e);
}

void LinkerDeviceModel::pushActiveProfile(DeviceEntry& e) const
{
    const QString id = activeProfileId(e);
    if (e.manette && e.manette->activeProfileId() != id)
        e.manette->setActiveProfileId(id);
    e.padImagePath = e.manette ? e.manette->imagePath() : QString();
    if (auto* standalone = qobject_cast<ControlManette*>(e.iface.data())) {
        if (standalone->activeProfileId() != id)
            standalone->setActiveProfileId(id);
    }
}

bool LinkerDeviceModel::changeActiveProfile(const QString& usn, DeviceEntry& e, const QString& requestedId,
                                            bool reload)
{
    const QString requested = requestedId.trimmed();
    QString target;
    if (!requested.isEmpty()) {
        for (const ProfileSummary& p : std::as_const(e.profiles)) {
            if (idText(p.id).compare(requested, Qt::CaseInsensitive) == 0) {
                target = idText(p.id);
                break;
            }
        }
        if (target.isEmpty())
            return false;
    } else {
        target = activeProfileId(e);
    }
    const QString previousActive = activeProfileId(e);
    const QString previousStored = e.kv.value(kActiveProfileId).toString().trimmed();
    if (target.isEmpty())
        e.kv.remove(kActiveProfileId);
    else
        setMember(e.kv, kActiveProfileId, target);
    const int active = activeProfileIndex(e);
    if (active >= 0 && !e.profiles.at(active).imagePath.isEmpty())
        setMember(e.info, kImagePath, e.profiles.at(active).imagePath);
    pushActiveProfile(e);
    emitRowChanged(usn, kProfileRoles);
    if (target != previousActive || previousStored.compare(target, Qt::CaseInsensitive) != 0) {
        saveRegistry();
        if (reload && e.kv.value(kSelected).toBool(false)) {
            if (auto* pad = qobject_cast<ControlManette*>(e.iface.data()))
                pad->refreshMapping();
        }
    }
    return true;
}

void LinkerDeviceModel::scheduleProfilesCatalogRefresh()
{
    if (m_catalogRefreshScheduled)
        return;
    m_catalogRefreshScheduled = true;
    SampleTimer::afterNextTick(this, [this] {
        m_catalogRefreshScheduled = false;
        refreshProfilesCatalog();
    });
}

void LinkerDeviceModel::refreshProfilesCatalog()
{
    // Every row's look-ups, and the selected pads' mapping reloads, list the definitions once.
    const ProfileMetaCache::Batch batch;
    bool anyChanged = false;
    bool anySelected = false;
    for (const QString& usn : std::as_const(m_rows)) {
        auto it = m_entries.find(usn);
        if (it == m_entries.end())
            continue;
        DeviceEntry& e = *it;
        const int before = activeProfileIndex(e);
        const QString oldId = activeProfileId(e);
        const QString oldName = before >= 0 ? e.profiles.at(before).name : QString();
        const int oldCount = int(e.profiles.size());
        const QString oldImage = e.info.value(kImagePath).toString();
        refreshProfiles(e);
        emitRowChanged(usn, kProfileRoles);
        const int after = activeProfileIndex(e);
        const QString newName = after >= 0 ? e.profiles.at(after).name : QString();
        if (oldId != activeProfileId(e) || oldName != newName || oldCount != e.profiles.size() ||
            oldImage != e.info.value(kImagePath).toString())
            anyChanged = true;
        if (e.kv.value(kSelected).toBool(false)) {
            anySelected = true;
            ensureInterface(e, usn);
            // Once with the editor's own request for the save that changed the catalog.
            if (auto* pad = qobject_cast<ControlManette*>(e.iface.data()))
                pad->requestMappingRefresh();
        }
    }
    if (anyChanged) {
        saveRegistry();
        syncSelected();
    } else if (anySelected) {
        syncSelected();
    }
}
