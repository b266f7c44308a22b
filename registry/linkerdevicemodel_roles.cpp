// LinkerDeviceModel: the model interface, its roles and the writable roles.
#include "linkerdevicemodel_p.h"
#include "picturefile.h"

using namespace LinkerDeviceModelDetail;

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
        // A definition's picture is decoded only through PictureFile; resources are the host's.
        if (image.userType() == QMetaType::QString)
            return image.toString().startsWith(u':') ? QIcon(image.toString())
                                                     : QIcon(PictureFile::pixmap(image.toString()));
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
