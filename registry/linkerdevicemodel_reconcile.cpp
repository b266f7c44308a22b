// LinkerDeviceModel: live pads, their interfaces and the reconciliation of rows with them.
#include "linkerdevicemodel_p.h"

using namespace LinkerDeviceModelDetail;

// ---- Live pads ---------------------------------------------------------------------------------

QJsonObject LinkerDeviceModel::liveIdentity(ControlManette* pad, const QString& imagePath)
{
    return QJsonObject{{kDeviceId, QString::number(pad->deviceId())},
                       {kVendorHex, hex(pad->vendorId())},
                       {kProductHex, hex(pad->productId())},
                       {kName, pad->name()},
                       {kImagePath, imagePath}};
}

void LinkerDeviceModel::buildCapabilities(DeviceEntry& e) const
{
    e.videoInterfaces.clear();
    ControlManette* pad = e.manette.data();
    if (!pad || !pad->backend())
        return;
    const int slot = pad->deviceId();
    int axes = 0;
    for (int a = 0; a < ControlManette::AxisCount; ++a) {
        if (pad->backend()->hasAxis(slot, a))
            ++axes;
    }
    const int buttons = pad->backend()->buttonCount(slot);
    if (axes > 0)
        e.videoInterfaces << QStringLiteral("Axes|axis://%1").arg(axes);
    if (buttons != 0)
        e.videoInterfaces << QStringLiteral("Buttons|btn://%1").arg(buttons);
}

void LinkerDeviceModel::adoptLivePad(DeviceEntry& e, ControlManette* pad)
{
    e.manette = pad;
    e.connected = true;
    e.product = pad->name();
    e.info = liveIdentity(pad, QString());
    buildCapabilities(e);
    refreshProfiles(e);
    // The pad's picture as the profile push just worked it out.
    setMember(e.info, kImagePath, e.padImagePath);
}

QString LinkerDeviceModel::fingerprint(const QString& name, const QString& vendorHex,
                                       const QString& productHex)
{
    const QString n = name.trimmed().toLower();
    const QString v = vendorHex.trimmed().toLower();
    const QString p = productHex.trimmed().toLower();
    if (n.isEmpty() && v.isEmpty() && p.isEmpty())
        return {};
    return QStringLiteral("%1|%2|%3").arg(n, v, p);
}

QString LinkerDeviceModel::entryFingerprint(const DeviceEntry& e)
{
    if (e.manette)
        return fingerprint(e.manette->name(), hex(e.manette->vendorId()), hex(e.manette->productId()));
    return fingerprint(e.info.value(kName).toString(), e.info.value(kVendorHex).toString(),
                       e.info.value(kProductHex).toString());
}

void LinkerDeviceModel::ensureInterface(DeviceEntry& e, const QString& usn)
{
    if (!e.manette) {
        if (!e.kv.value(kSelected).toBool(false))
            return;
        if (!(e.ifaceOwned && e.iface)) {
            const int stored = e.info.value(kDeviceId).toString().toInt();
            auto* standalone = new ControlManette(stored > 0 ? stored : -1, this);
            standalone->disconnectDevice();
            e.iface = standalone;
            e.ifaceOwned = true;
            e.linkState = 0;
        }
        pushActiveProfile(e);
        return;
    }
    if (e.ifaceOwned && e.iface) {
        e.iface->deleteLater();
        e.iface.clear();
        e.ifaceOwned = false;
    }
    if (e.iface && !e.ifaceOwned && e.iface.data() == e.manette.data()) {
        pushActiveProfile(e);
        return;
    }
    ControlManette* pad = e.manette.data();
    e.iface = pad;
    e.ifaceOwned = false;
    pushActiveProfile(e);
    // A pad handed out again after a deselection must not get a second set of handlers.
    disconnect(pad, nullptr, this, nullptr);
    connect(pad, &ControlManette::profileNameChanged, this,
            [this, usn]() { emitRowChanged(usn, {NameRole}); });
    connect(pad, &ControlManette::connectedChanged, this, [this, usn]() { onLinkStateChanged(usn); });
    connect(pad, &QObject::destroyed, this, [this, usn]() {
        auto it = m_entries.find(usn);
        if (it == m_entries.end())
            return;
        it->manette.clear();
        it->connected = false;
        it->linkState = 0;
        if (it->kv.value(kSelected).toBool(false))
            ensureInterface(*it, usn);
        syncSelected();
    });
}

void LinkerDeviceModel::engageInterface(DeviceEntry& e, const QString& usn)
{
    if (!e.iface || !e.manette)
        return;
    const bool wasLinked = e.linkState == 2;
    e.linkState = 1;
    emitRowChanged(usn, {LinkStateRole});
    QPointer<ControlManette> pad = e.manette;
    pad->connectDevice(QString());
    // Re-engaging a pad that stays connected reports no new connection: keep it shown as linked.
    auto it = m_entries.find(usn);
    if (wasLinked && pad && pad->isConnected() && it != m_entries.end() && it->linkState == 1) {
        it->linkState = 2;
        emitRowChanged(usn, {LinkStateRole});
    }
}

void LinkerDeviceModel::emitRowChanged(const QString& usn, const QList<int>& roles)
{
    const int row = indexOfUsn(usn);
    if (row < 0)
        return;
    const QModelIndex idx = index(row, 0);
    emit dataChanged(idx, idx, roles);
}

// ---- Reconciliation ----------------------------------------------------------------------------

void LinkerDeviceModel::onGamepadAdded(ControlManette*)
{
    onManagerChanged();
}

void LinkerDeviceModel::onGamepadRemoved(int)
{
    onManagerChanged();
}

void LinkerDeviceModel::onManagerChanged()
{
    QSet<QString> liveKeys;
    for (ControlManette* pad : liveGamepads()) {
        const QString key = padKey(pad->deviceId());
        liveKeys.insert(key);

        auto known = m_entries.find(key);
        if (known != m_entries.end()) {
            DeviceEntry& e = *known;
            if (e.ifaceOwned && e.iface) {
                e.iface->deleteLater();
                e.iface.clear();
                e.ifaceOwned = false;
            }
            e.manette = pad;
            e.connected = true;
            buildCapabilities(e);
            refreshProfiles(e);
            setMember(e.info, kImagePath, e.padImagePath);
            emitRowChanged(key, kLiveRoles);
            ensureInterface(e, key);
            if (e.kv.value(kSelected).toBool(false))
                engageInterface(e, key);
            continue;
        }

        QString matched;
        const QString print = fingerprint(pad->name(), hex(pad->vendorId()), hex(pad->productId()));
        if (!print.isEmpty()) {
            for (const QString& usn : std::as_const(m_rows)) {
                const auto it = m_entries.constFind(usn);
                if (usn == key || it == m_entries.constEnd() || it->connected)
                    continue;
                if (entryFingerprint(*it) == print) {
                    matched = usn;
                    break;
                }
            }
        }

        if (!matched.isEmpty()) {
            // A remembered pad back under another joystick slot: re-key it in place.
            DeviceEntry e = m_entries.take(matched);
            const int row = indexOfUsn(matched);
            m_rows[row] = key;
            adoptLivePad(e, pad);
            m_entries.insert(key, e);
            emitRowChanged(key, kLiveRoles);
            DeviceEntry& stored = m_entries[key];
            ensureInterface(stored, key);
            if (stored.kv.value(kSelected).toBool(false))
                engageInterface(stored, key);
            saveRegistry();
            syncSelected();
            continue;
        }

        DeviceEntry fresh;
        adoptLivePad(fresh, pad);
        const int row = int(m_rows.size());
        beginInsertRows(QModelIndex(), row, row);
        m_entries.insert(key, fresh);
        m_rows.append(key);
        endInsertRows();
        emit countChanged();
        emit providerEventOccurred(RegistryEvents::detected(pad->name(), key));
    }

    for (int i = 0; i < m_rows.size(); ++i) {
        const QString usn = m_rows.at(i);
        auto it = m_entries.find(usn);
        if (liveKeys.contains(usn) || it == m_entries.end() || !it->connected)
            continue;
        DeviceEntry& e = *it;
        const bool wasSelected = e.kv.value(kSelected).toBool(false);
        QString name = e.info.value(kName).toString().trimmed();
        if (name.isEmpty())
            name = usn;
        e.connected = false;
        e.manette.clear();
        e.linkState = 0;
        refreshProfiles(e);
        if (!wasSelected) {
            if (e.ifaceOwned && e.iface)
                e.iface->deleteLater();
            e.iface.clear();
            e.ifaceOwned = false;
        } else {
            ensureInterface(e, usn);
        }
        emitRowChanged(usn, {ConnectedRole, LinkStateRole, JsonRole, ActiveProfileIdRole,
                             ActiveProfileNameRole, ActiveProfilePositionRole, ProfileCountRole,
                             HasProfileCarouselRole, ImageRole, NameRole});
        emit providerEventOccurred(wasSelected ? RegistryEvents::selectedDisconnected(name, usn)
                                               : RegistryEvents::removed(name, usn));
    }

    saveRegistry();
    syncSelected();
}
