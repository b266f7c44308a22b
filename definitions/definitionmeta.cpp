#include "definitionmeta.h"
#include "folderfiles.h"
#include "profilemetacache.h"
#include "profilestore.h"

#include "jsonio.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSet>

#include <cmath>
#include <functional>
#include <limits>

namespace {

QString joined(const QString& folder, const QString& name)
{
    return QDir(folder).filePath(name);
}

QString nowUtc()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// Text member, or the fallback when it is missing or not a string.
QString textOr(const QJsonObject& meta, QLatin1String key, const QString& fallback)
{
    const QJsonValue value = meta.value(key);
    return value.isString() ? value.toString() : fallback;
}

// The name meta.json keeps for one of the folder's files: the path's last component, trailing
// separators ignored. A path naming the folder itself, or no file at all, gives the default name:
// a hand-edited "image.png/" or "" must not make the folder's own name the picture's on the next
// save.
QString fileMember(const QString& path, const QString& folder, QLatin1String fallback)
{
    QString file = path;
    while (file.size() > 1 && file.endsWith(u'/'))
        file.chop(1);
    const QString name = QFileInfo(file).fileName();
    if (name.isEmpty() || name == u"." || name == u".." || QDir::cleanPath(file) == QDir::cleanPath(folder))
        return fallback;
    return name;
}

} // namespace

namespace DefinitionMeta {

QString metaPath(const QString& folder)
{
    return joined(folder, MetaKeys::MetaFileName);
}

bool loadDefinition(const QString& folder, DefinitionRecord* record)
{
    bool ok = false;
    const QJsonObject meta = JsonIo::readJsonObject(metaPath(folder), &ok, nullptr, JsonIo::Language::French,
                                                    FolderFiles::Limits::MetaBytes);
    return ok && recordFromMeta(folder, meta, record);
}

namespace {

// A record from a meta.json document. The device names and whether the overlay is a regular file
// come from the caller: a listing has the first in its digests and the second in its folder checks.
bool recordFrom(const QString& folder, const QJsonObject& meta, const QStringList& deviceNames,
                const std::function<bool(const QString& overlayName)>& overlayIsFile,
                DefinitionRecord* record)
{
    if (meta.value(MetaKeys::Type).toString() != MetaKeys::TypeValue)
        return false;
    DefinitionRecord loaded;
    loaded.id = QUuid::fromString(meta.value(MetaKeys::Id).toString());
    loaded.name = textOr(meta, MetaKeys::Name, QStringLiteral("Gamepad"));
    loaded.folder = folder;
    // Names of the folder's own files only: an absolute path or "../" names someone else's file.
    loaded.imagePath = FolderFiles::pathIn(folder, textOr(meta, MetaKeys::Image, MetaKeys::DefaultImageFile),
                                           MetaKeys::DefaultImageFile);
    const QString overlayName = FolderFiles::plainName(
        textOr(meta, MetaKeys::OverlayFile, MetaKeys::DefaultOverlayFile), MetaKeys::DefaultOverlayFile);
    loaded.overlayPath = FolderFiles::child(folder, overlayName);
    loaded.deviceNames = deviceNames;
    loaded.createdAt = meta.value(MetaKeys::CreatedAt).toString().trimmed();
    if (loaded.createdAt.isEmpty())
        loaded.createdAt = meta.value(MetaKeys::ModifiedAt).toString().trimmed();
    loaded.calibrationMode = normalizedCalibrationMode(meta.value(MetaKeys::CalibrationMode).toString());
    loaded.calibrationOverrideFile = meta.value(MetaKeys::CalibrationOverrideFile).toString().trimmed();
    if (!loaded.calibrationOverrideFile.isEmpty())
        loaded.calibrationOverrideFile =
            FolderFiles::plainName(loaded.calibrationOverrideFile, MetaKeys::DefaultOverrideFile);
    loaded.vendorId = parseUsbId(meta.value(MetaKeys::VendorId));
    loaded.productId = parseUsbId(meta.value(MetaKeys::ProductId));
    loaded.scope = ProfileStore::scopeOfFolder(folder);

    // Without an id or an overlay there is nothing the editor could show or save.
    if (loaded.id.isNull() || !overlayIsFile(overlayName))
        return false;
    if (record)
        *record = loaded;
    return true;
}

} // namespace

bool recordFromMeta(const QString& folder, const QJsonObject& meta, DefinitionRecord* record)
{
    return recordFrom(
        folder, meta, readDeviceNames(meta),
        [&folder](const QString& name) {
            return FolderFiles::isRegularFile(FolderFiles::child(folder, name));
        },
        record);
}

QJsonObject buildMeta(const DefinitionRecord& record)
{
    const QStringList names = normalizedDeviceNames(record.deviceNames);
    const QString mode = normalizedCalibrationMode(record.calibrationMode);
    const QString createdAt = record.createdAt.trimmed();

    QJsonObject meta;
    meta.insert(MetaKeys::Type, MetaKeys::TypeValue);
    meta.insert(MetaKeys::Version, MetaKeys::VersionValue);
    meta.insert(MetaKeys::Id, record.id.toString(QUuid::WithoutBraces));
    meta.insert(MetaKeys::Name, record.name);
    meta.insert(MetaKeys::Image, fileMember(record.imagePath, record.folder, MetaKeys::DefaultImageFile));
    meta.insert(MetaKeys::OverlayFile,
                fileMember(record.overlayPath, record.folder, MetaKeys::DefaultOverlayFile));
    meta.insert(MetaKeys::Config, MetaKeys::DefaultConfigFile);
    meta.insert(MetaKeys::DeviceName, names.isEmpty() ? QString() : names.constFirst());
    meta.insert(MetaKeys::DeviceNames, QJsonArray::fromStringList(names));
    meta.insert(MetaKeys::CreatedAt, createdAt.isEmpty() ? nowUtc() : createdAt);
    meta.insert(MetaKeys::ModifiedAt, nowUtc());
    meta.insert(MetaKeys::CalibrationMode, mode);
    meta.insert(MetaKeys::VendorId, usbIdText(record.vendorId));
    meta.insert(MetaKeys::ProductId, usbIdText(record.productId));
    if (mode == MetaKeys::ModeOverride) {
        const QString file = record.calibrationOverrideFile.trimmed();
        meta.insert(MetaKeys::CalibrationOverrideFile,
                    file.isEmpty() ? QString(MetaKeys::DefaultOverrideFile) : file);
    }
    return meta;
}

bool writeMeta(DefinitionRecord& record, QString* error)
{
    record.scope = ProfileStore::scopeOfFolder(record.folder);
    record.deviceNames = normalizedDeviceNames(record.deviceNames);
    record.createdAt = record.createdAt.trimmed();
    if (record.createdAt.isEmpty())
        record.createdAt = nowUtc();
    record.calibrationMode = normalizedCalibrationMode(record.calibrationMode);
    if (record.calibrationMode == MetaKeys::ModeOverride) {
        record.calibrationOverrideFile = record.calibrationOverrideFile.trimmed();
        if (record.calibrationOverrideFile.isEmpty())
            record.calibrationOverrideFile = MetaKeys::DefaultOverrideFile;
    } else {
        record.calibrationOverrideFile.clear();
    }
    return JsonIo::writeJsonAtomically(metaPath(record.folder), buildMeta(record), error, true);
}

int parseUsbId(const QJsonValue& value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (!std::isfinite(number) || number < std::numeric_limits<int>::min() ||
            number > std::numeric_limits<int>::max())
            return 0;
        return static_cast<int>(number);
    }
    QString text = value.toString().trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    bool ok = false;
    const uint id = text.toUInt(&ok, 16);
    return ok ? static_cast<int>(id) : 0;
}

QString usbIdText(int id)
{
    return QStringLiteral("0x%1").arg(static_cast<uint>(id), 4, 16, QLatin1Char('0'));
}

QStringList normalizedDeviceNames(const QStringList& names)
{
    QStringList result;
    QSet<QString> seen;
    for (const QString& name : names) {
        const QString trimmed = name.trimmed();
        if (trimmed.isEmpty())
            continue;
        const QString key = ProfileStore::deviceNameKey(trimmed);
        if (!seen.contains(key)) {
            seen.insert(key);
            result.append(trimmed);
        }
    }
    return result;
}

QStringList readDeviceNames(const QJsonObject& meta)
{
    return ProfileStore::metaDeviceNames(meta);
}

QString normalizedCalibrationMode(const QString& mode)
{
    return mode.trimmed().compare(MetaKeys::ModeOverride, Qt::CaseInsensitive) == 0
               ? QString(MetaKeys::ModeOverride)
               : QString(MetaKeys::ModeInherit);
}

QList<DefinitionRecord> listDefinitions()
{
    QList<DefinitionRecord> records;
    QSet<QString> listed;
    // The meta.json documents kept by the profile cache: a file unchanged since it was last read
    // costs a stat, not a read, and the look-ups that follow a listing share it.
    const ProfileMetaCache::Batch batch;
    for (const QString& root : ProfileStore::searchRoots()) {
        ProfileMetaCache::forEachDefinition(
            root, [&](const QString& folder, const ProfileMetaCache::Digest& d) {
                DefinitionRecord record;
                const auto overlayIsFile = [&folder](const QString& name) {
                    return ProfileMetaCache::isRegularFileIn(folder, name);
                };
                if (!recordFrom(folder, d.meta, d.deviceNames, overlayIsFile, &record))
                    return;
                const QString key = record.id.toString(QUuid::WithoutBraces).toLower();
                if (listed.contains(key))
                    return;
                listed.insert(key);
                records.append(record);
            });
    }
    return records;
}

} // namespace DefinitionMeta
