#include "linkerdevicemodel.h"

#include "controlmanette.h"
#include "gamepadmanager.h"
#include "registryfile.h"

#include <QImage>
#include <QJsonDocument>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QTimer>

namespace {

const QString kSelected = QStringLiteral("selected");
const QString kNameOverride = QStringLiteral("nameOverride");
const QString kProduct = QStringLiteral("product");
const QString kActiveProfileId = QStringLiteral("activeProfileId");
const QString kImagePath = QStringLiteral("imagePath");
const QString kDeviceId = QStringLiteral("deviceId");
const QString kVendorHex = QStringLiteral("vendorIdHex");
const QString kProductHex = QStringLiteral("productIdHex");
const QString kName = QStringLiteral("name");

QString hex(uint value)
{
    return QString::number(value, 16);
}

QString padKey(int deviceId)
{
    return QStringLiteral("gp:%1").arg(deviceId);
}

QString idText(const QUuid& id)
{
    return id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
}

// Sets one member of an entry's persisted object. QJsonObject (Qt 6.4) keeps the text of a
// replaced string in its buffer once the object has been copied, and reconciliations and profile
// refreshes set these members again and again for the life of the host: a rebuilt object stays
// the size of its members.
void setMember(QJsonObject& object, const QString& key, const QJsonValue& value)
{
    QJsonObject rebuilt;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (it.key() != key)
            rebuilt.insert(it.key(), it.value());
    }
    rebuilt.insert(key, value);
    object = rebuilt;
}

// Roles a reconciliation refreshes on a row whose pad (re)appeared.
const QList<int> kLiveRoles = {
    LinkerDeviceModel::NameRole,
    LinkerDeviceModel::ConnectedRole,
    LinkerDeviceModel::VideoInterfacesRole,
    LinkerDeviceModel::ProductRole,
    LinkerDeviceModel::ImageRole,
    LinkerDeviceModel::ModelRole,
    LinkerDeviceModel::JsonRole,
    LinkerDeviceModel::ActiveProfileIdRole,
    LinkerDeviceModel::ActiveProfileNameRole,
    LinkerDeviceModel::ActiveProfilePositionRole,
    LinkerDeviceModel::ProfileCountRole,
    LinkerDeviceModel::HasProfileCarouselRole,
};

// Roles that follow the active profile.
const QList<int> kProfileRoles = {
    LinkerDeviceModel::NameRole,
    LinkerDeviceModel::ImageRole,
    LinkerDeviceModel::JsonRole,
    LinkerDeviceModel::ActiveProfileIdRole,
    LinkerDeviceModel::ActiveProfileNameRole,
    LinkerDeviceModel::ActiveProfilePositionRole,
    LinkerDeviceModel::ProfileCountRole,
    LinkerDeviceModel::HasProfileCarouselRole,
};

} // namespace

LinkerDeviceModel::LinkerDeviceModel(const QString& context, QObject* parent)
    : QAbstractListModel(parent), m_context(context)
{
    registerInputMetaTypes();
    loadRegistry();
    GamepadManager* mgr = manager();
    connect(mgr, &GamepadManager::gamepadsChanged, this, &LinkerDeviceModel::onManagerChanged);
    connect(mgr, &GamepadManager::gamepadAdded, this, &LinkerDeviceModel::onGamepadAdded);
    connect(mgr, &GamepadManager::gamepadRemoved, this, &LinkerDeviceModel::onGamepadRemoved);
    if (m_autoDetect)
        QTimer::singleShot(0, this, &LinkerDeviceModel::onManagerChanged);
}

LinkerDeviceModel::~LinkerDeviceModel()
{
    saveRegistry();
}

GamepadManager* LinkerDeviceModel::manager() const
{
    return GamepadManager::instance();
}

QList<ControlManette*> LinkerDeviceModel::liveGamepads() const
{
    QList<ControlManette*> live;
    for (const QPointer<ControlManette>& pad : manager()->gamepads()) {
        if (pad)
            live.append(pad.data());
    }
    return live;
}

void LinkerDeviceModel::setUniqSelection(bool uniq)
{
    if (m_uniqSelection == uniq)
        return;
    m_uniqSelection = uniq;
    emit uniqSelectionChanged();
}

void LinkerDeviceModel::setAutoDetect(bool enabled)
{
    if (m_autoDetect == enabled)
        return;
    m_autoDetect = enabled;
    if (enabled) {
        manager()->startPolling(GamepadManager::DefaultPollIntervalMs);
        onManagerChanged();
    } else {
        manager()->stopPolling();
    }
    emit autoDetectChanged();
}

void LinkerDeviceModel::setContext(const QString& context)
{
    if (m_context == context)
        return;
    m_context = context;
    emit contextChanged();
    loadRegistry();
    emit previousCountChanged();
    syncSelected();
}

QString LinkerDeviceModel::registryPath() const
{
    return RegistryFile::path(m_context);
}

// ---- Model interface ---------------------------------------------------------------------------

int LinkerDeviceModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QHash<int, QByteArray> LinkerDeviceModel::roleNames() const
{
    return {{UsnRole, "usn"},
            {NameRole, "name"},
            {IpRole, "ip"},
            {SelectedRole, "selected"},
            {ConnectedRole, "isConnected"},
            {VideoInterfacesRole, "videoInterfaces"},
            {JsonRole, "json"},
            {ProductRole, "product"},
            {ImageRole, "image"},
            {ModelRole, "modelString"},
            {LinkStateRole, "linkState"},
            {ActiveProfileIdRole, "activeProfileId"},
            {ActiveProfileNameRole, "activeProfileName"},
            {ActiveProfilePositionRole, "activeProfilePosition"},
            {ProfileCountRole, "profileCount"},
            {HasProfileCarouselRole, "hasProfileCarousel"}};
}

Qt::ItemFlags LinkerDeviceModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

QVariant LinkerDeviceModel::imageValue(const DeviceEntry& e) const
{
    if (!e.icon.isNull())
        return e.icon;
    if (e.manette && !e.padImagePath.isEmpty())
        return e.padImagePath;
    const int active = activeProfileIndex(e);
    if (active >= 0 && !e.profiles.at(active).imagePath.isEmpty())
        return e.profiles.at(active).imagePath;
    const QString stored = e.info.value(kImagePath).toString();
    if (!stored.isEmpty())
        return stored;
    return {};
}

QVariant LinkerDeviceModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const QString usn = m_rows.at(index.row());
    const auto it = m_entries.constFind(usn);
    if (it == m_entries.constEnd())
        return {};
    const DeviceEntry& e = it.value();
    const int active = activeProfileIndex(e);
    const ProfileSummary* profile = active >= 0 ? &e.profiles.at(active) : nullptr;
    const ControlManette* pad = e.manette.data();

    switch (role) {
    case Qt::DisplayRole:
    case NameRole: {
        const QString override = e.kv.value(kNameOverride).toString();
        if (!override.isEmpty())
            return override;
        if (profile && !profile->name.isEmpty())
            return profile->name;
        if (pad && !pad->name().isEmpty())
            return pad->name();
        return e.info.value(kName).toString();
    }
    case UsnRole:
        return usn;
    case IpRole: {
        if (pad)
            return QStringLiteral("VID:%1 PID:%2").arg(hex(pad->vendorId()), hex(pad->productId()));
        const QString vendor = e.info.value(kVendorHex).toString();
        const QString product = e.info.value(kProductHex).toString();
        if (!vendor.isEmpty() && !product.isEmpty())
            return QStringLiteral("VID:%1 PID:%2").arg(vendor, product);
        return QStringLiteral("ID:%1").arg(e.info.value(kDeviceId).toString());
    }
    case SelectedRole:
        return e.kv.value(kSelected).toBool(false);
    case ConnectedRole:
        return e.connected;
    case VideoInterfacesRole:
        return e.videoInterfaces;
    case JsonRole: {
        QJsonObject json;
        if (pad) {
            json.insert(kDeviceId, pad->deviceId());
            json.insert(kName, pad->name());
            json.insert(QStringLiteral("vendorId"), QStringLiteral("0x%1").arg(hex(pad->vendorId())));
            json.insert(QStringLiteral("productId"), QStringLiteral("0x%1").arg(hex(pad->productId())));
            json.insert(QStringLiteral("connected"), pad->isConnected());
        } else {
            json = e.info;
        }
        json.insert(QStringLiteral("kv"), e.kv);
        return QJsonDocument(json).toJson(QJsonDocument::Compact);
    }
    case ProductRole: {
        if (!e.product.isEmpty())
            return e.product;
        const QString stored = e.kv.value(kProduct).toString();
        if (!stored.isEmpty())
            return stored;
        return pad ? pad->name() : e.info.value(kName).toString();
    }
    case ImageRole:
        return imageValue(e);
    case Qt::DecorationRole: {
        const QVariant image = imageValue(e);
        if (image.userType() == QMetaType::QIcon)
            return image;
        if (image.userType() == QMetaType::QString)
            return QIcon(image.toString());
        return {};
    }
    case Qt::SizeHintRole:
        return QSize(300, 240);
    case ModelRole:
        if (pad)
            return QStringLiteral("%1-%2").arg(hex(pad->vendorId()), hex(pad->productId()));
        return QStringLiteral("%1-%2").arg(e.info.value(kVendorHex).toString(),
                                           e.info.value(kProductHex).toString());
    case LinkStateRole:
        return e.linkState;
    case ActiveProfileIdRole:
        return profile ? idText(profile->id) : QString();
    case ActiveProfileNameRole:
        return profile ? profile->name : QString();
    case ActiveProfilePositionRole:
        return active + 1;
    case ProfileCountRole:
        return int(e.profiles.size());
    case HasProfileCarouselRole:
        return e.profiles.size() > 1;
    default:
        return {};
    }
}

bool LinkerDeviceModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return false;
    const QString usn = m_rows.at(index.row());
    auto it = m_entries.find(usn);
    if (it == m_entries.end())
        return false;

    switch (role) {
    case SelectedRole: {
        const bool sel = value.toBool();
        if (m_uniqSelection && sel) {
            for (const QString& other : std::as_const(m_rows)) {
                if (other == usn)
                    continue;
                DeviceEntry& o = m_entries[other];
                if (!o.kv.value(kSelected).toBool(false))
                    continue;
                o.kv.insert(kSelected, false);
                if (o.iface) {
                    o.iface->disconnectDevice();
                    o.linkState = 0;
                }
                emitRowChanged(other, {SelectedRole, LinkStateRole, JsonRole});
            }
        }
        DeviceEntry& e = m_entries[usn];
        if (e.kv.value(kSelected).toBool(false) != sel) {
            e.kv.insert(kSelected, sel);
            if (!sel) {
                if (e.iface) {
                    e.iface->disconnectDevice();
                    e.linkState = 0;
                }
                if (e.ifaceOwned && e.iface)
                    e.iface->deleteLater();
                e.iface.clear();
                e.ifaceOwned = false;
            } else {
                ensureInterface(e, usn);
                engageInterface(e, usn);
            }
            emitRowChanged(usn, {SelectedRole, LinkStateRole, JsonRole});
            saveRegistry();
        }
        syncSelected();
        return true;
    }
    case NameRole: {
        const QString text = value.toString();
        if (text != it->kv.value(kNameOverride).toString()) {
            it->kv.insert(kNameOverride, text);
            emitRowChanged(usn, {NameRole, JsonRole});
            saveRegistry();
        }
        return true;
    }
    case ProductRole: {
        const QString text = value.toString();
        it->product = text;
        it->kv.insert(kProduct, text);
        emitRowChanged(usn, {ProductRole, JsonRole});
        saveRegistry();
        return true;
    }
    case ImageRole: {
        const int type = value.userType();
        if (type == QMetaType::QIcon || type == QMetaType::QPixmap || type == QMetaType::QImage) {
            if (type == QMetaType::QIcon)
                it->icon = value.value<QIcon>();
            else if (type == QMetaType::QPixmap)
                it->icon = QIcon(value.value<QPixmap>());
            else
                it->icon = QIcon(QPixmap::fromImage(value.value<QImage>()));
            it->kv.remove(kImagePath);
        } else if (type == QMetaType::QString) {
            it->kv.insert(kImagePath, value.toString());
            it->icon = QIcon();
        } else {
            return false;
        }
        emitRowChanged(usn, {ImageRole});
        saveRegistry();
        return true;
    }
    default:
        return false;
    }
}

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

void LinkerDeviceModel::refreshProfilesCatalog()
{
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
            if (auto* pad = qobject_cast<ControlManette*>(e.iface.data()))
                pad->refreshMapping();
        }
    }
    if (anyChanged) {
        saveRegistry();
        syncSelected();
    } else if (anySelected) {
        syncSelected();
    }
}

// ---- Live pads ---------------------------------------------------------------------------------

QJsonObject LinkerDeviceModel::liveIdentity(ControlManette* pad)
{
    return QJsonObject{{kDeviceId, QString::number(pad->deviceId())},
                       {kVendorHex, hex(pad->vendorId())},
                       {kProductHex, hex(pad->productId())},
                       {kName, pad->name()},
                       {kImagePath, pad->imagePath()}};
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
    e.info = liveIdentity(pad);
    buildCapabilities(e);
    refreshProfiles(e);
    setMember(e.info, kImagePath, pad->imagePath());
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
            setMember(e.info, kImagePath, pad->imagePath());
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
            refreshProfiles(e);
            if (ControlManette* pad = live.value(usn))
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
        QJsonObject record = it->manette ? liveIdentity(it->manette.data()) : it->info;
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
