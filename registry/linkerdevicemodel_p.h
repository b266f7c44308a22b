#pragma once

// Shared by the files of LinkerDeviceModel (model interface, selection and profiles,
// reconciliation, registry): the registry member names and small formatting helpers.
#include "controlmanette.h"
#include "gamepadmanager.h"
#include "linkerdevicemodel.h"
#include "registryfile.h"

#include <QImage>
#include <QJsonDocument>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QTimer>

namespace LinkerDeviceModelDetail {

inline const QString kSelected = QStringLiteral("selected");
inline const QString kNameOverride = QStringLiteral("nameOverride");
inline const QString kProduct = QStringLiteral("product");
inline const QString kActiveProfileId = QStringLiteral("activeProfileId");
inline const QString kImagePath = QStringLiteral("imagePath");
inline const QString kDeviceId = QStringLiteral("deviceId");
inline const QString kVendorHex = QStringLiteral("vendorIdHex");
inline const QString kProductHex = QStringLiteral("productIdHex");
inline const QString kName = QStringLiteral("name");

inline QString hex(uint value)
{
    return QString::number(value, 16);
}

inline QString padKey(int deviceId)
{
    return QStringLiteral("gp:%1").arg(deviceId);
}

inline QString idText(const QUuid& id)
{
    return id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
}

// Sets one member of an entry's persisted object. QJsonObject (Qt 6.4) keeps the text of a
// replaced string in its buffer once the object has been copied, and reconciliations and profile
// refreshes set these members again and again for the life of the host: a rebuilt object stays
// the size of its members.
inline void setMember(QJsonObject& object, const QString& key, const QJsonValue& value)
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
inline const QList<int> kLiveRoles = {
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
inline const QList<int> kProfileRoles = {
    LinkerDeviceModel::NameRole,
    LinkerDeviceModel::ImageRole,
    LinkerDeviceModel::JsonRole,
    LinkerDeviceModel::ActiveProfileIdRole,
    LinkerDeviceModel::ActiveProfileNameRole,
    LinkerDeviceModel::ActiveProfilePositionRole,
    LinkerDeviceModel::ProfileCountRole,
    LinkerDeviceModel::HasProfileCarouselRole,
};

} // namespace LinkerDeviceModelDetail
