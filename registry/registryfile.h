#pragma once

#include "comproviderevent.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// The device registry file: one compact JSON document per host context,
// <AppData>/<context>/TavonCom/gamepads.json, holding {"devices": {usn: record}, "lastCount": n}.
namespace RegistryFile {

// Path of the registry for a context. Creates the context folder and its "TavonCom" folder, so a
// fresh machine gets a working registry.
QString path(const QString& context);

// Whole document; a missing, unreadable or non-JSON file gives an empty (null) document.
QJsonDocument read(const QString& path);

// Writes compact JSON to path + ".tmp", then replaces the file by renaming it over the old one in
// one step. Silent on failure: the old file stays when the temporary file cannot be created or
// written in full. Returns whether the rename happened.
bool write(const QString& path, const QJsonObject& root);

} // namespace RegistryFile

// Provider events of the device registry. Texts are English, translated in the device list
// model's context before the name and usn are filled in.
namespace RegistryEvents {

ComProviderEvent detected(const QString& name, const QString& usn);
ComProviderEvent removed(const QString& name, const QString& usn);
ComProviderEvent selectedDisconnected(const QString& name, const QString& usn);
ComProviderEvent connected(const QString& name, const QString& usn);
ComProviderEvent connectionLost(const QString& name, const QString& usn);

} // namespace RegistryEvents
