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
