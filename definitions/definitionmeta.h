#pragma once

#include "definitionrecord.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// A definition folder's "meta.json": reading it into a DefinitionRecord, writing it back, and
// listing every definition of the profile store.
namespace DefinitionMeta {

// folder / "meta.json".
QString metaPath(const QString& folder);

// Reads the folder's meta.json into *record. False (record untouched) when the file is unreadable,
// not a "GamepadDefinderMeta" document, has no id or its overlay file does not exist.
bool loadDefinition(const QString& folder, DefinitionRecord* record);
// The same from a meta.json document already read.
bool recordFromMeta(const QString& folder, const QJsonObject& meta, DefinitionRecord* record);

// The meta document of a record; createdAt defaults to now, modifiedAt is now.
QJsonObject buildMeta(const DefinitionRecord& record);

// Normalises the record (scope, device names, createdAt, calibration mode and override file) and
// writes folder / "meta.json" atomically. On failure returns false with a French error text.
bool writeMeta(DefinitionRecord& record, QString* error = nullptr);

// A JSON number gives its integer value; a text is read as hexadecimal with an optional "0x".
// Anything else, or a text that does not parse, gives 0.
int parseUsbId(const QJsonValue& value);
// "0x" followed by at least four lower-case hexadecimal digits.
QString usbIdText(int id);

// Trimmed, empty ones dropped, first occurrence ignoring case kept.
QStringList normalizedDeviceNames(const QStringList& names);
// "deviceNames" merged with "deviceName" (in front when new), normalised.
QStringList readDeviceNames(const QJsonObject& meta);

// "override" when the text is "override" ignoring case and surrounding blanks, else "inherit".
QString normalizedCalibrationMode(const QString& mode);

// Valid definitions of every search root in search-root order, then in each root's directory
// order; an id found in an earlier root hides later copies.
QList<DefinitionRecord> listDefinitions();

} // namespace DefinitionMeta
