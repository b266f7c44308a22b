// LinkerDeviceModel: loading and saving the registry file, and link-state events.
#include "linkerdevicemodel_p.h"

using namespace LinkerDeviceModelDetail;

// ---- Registry ----------------------------------------------------------------------------------

void LinkerDeviceModel::loadRegistry()
{
    const QJsonDocument doc = RegistryFile::read(registryPath());
    QHash<QString, ControlManette*> live;
    for (ControlManette* pad : liveGamepads())
        live.insert(padKey(pad->deviceId()), pad);

    beginResetModel();
    // Entries of the previous registry let go of their interfaces and device handlers.
    for (DeviceEntry& e : m_entries) {
        if (e.ifaceOwned && e.iface)
            e.iface->deleteLater();
        if (e.manette)
            disconnect(e.manette, nullptr, this, nullptr);
    }
    m_rows.clear();
    m_entries.clear();
    if (doc.isObject()) {
        const QJsonObject root = doc.object();
        m_previousCount = root.value(QStringLiteral("lastCount")).toInt(0);
        const QJsonObject devices = root.value(QStringLiteral("devices")).toObject();
        // QJsonObject iterates its keys sorted, so rows come back ordered by usn.
        for (auto it = devices.constBegin(); it != devices.constEnd(); ++it) {
            const QString usn = it.key();
            if (usn.isEmpty())
                continue;
            QJsonObject record = it.value().toObject();
            DeviceEntry e;
            e.kv = record.value(QStringLiteral("kv")).toObject();
            record.remove(QStringLiteral("kv"));
            e.info = record;
            ControlManette* pad = live.value(usn);
            // A live pad of the stored name gets the same look-up again when it is adopted.
            if (!pad || pad->name().trimmed() != e.info.value(kName).toString().trimmed())
                refreshProfiles(e);
            if (pad)
                adoptLivePad(e, pad);
            m_entries.insert(usn, e);
            m_rows.append(usn);
        }
    } else {
        m_previousCount = 0;
    }
    endResetModel();
    emit countChanged();
    emit previousCountChanged();

    for (const QString& usn : std::as_const(m_rows)) {
        DeviceEntry& e = m_entries[usn];
        if (!e.kv.value(kSelected).toBool(false))
            continue;
        ensureInterface(e, usn);
        if (e.manette)
            engageInterface(e, usn);
    }
    QTimer::singleShot(0, this, &LinkerDeviceModel::syncSelected);
}

void LinkerDeviceModel::saveRegistry()
{
    QJsonObject devices;
    for (const QString& usn : std::as_const(m_rows)) {
        const auto it = m_entries.constFind(usn);
        if (it == m_entries.constEnd())
            continue;
        // A live pad is saved with the picture its card shows, worked out at its last refresh.
        QJsonObject record = it->manette ? liveIdentity(it->manette.data(), it->padImagePath) : it->info;
        record.insert(QStringLiteral("kv"), it->kv);
        devices.insert(usn, record);
    }
    const QJsonObject root{{QStringLiteral("devices"), devices},
                           {QStringLiteral("lastCount"), int(m_rows.size())}};
    RegistryFile::write(registryPath(), root);
}

void LinkerDeviceModel::onLinkStateChanged(const QString& usn)
{
    auto it = m_entries.find(usn);
    if (it == m_entries.end())
        return;
    DeviceEntry& e = *it;
    const bool connectedNow = e.manette && e.manette->isConnected();
    const int old = e.linkState;
    e.linkState = connectedNow ? 2 : 0;
    emitRowChanged(usn, {LinkStateRole});
    const QString name = e.manette ? e.manette->name() : e.info.value(kName).toString();
    if (!connectedNow && old == 2)
        emit providerEventOccurred(RegistryEvents::connectionLost(name, usn));
    if (connectedNow && old != 2)
        emit providerEventOccurred(RegistryEvents::connected(name, usn));
    syncSelected();
}
