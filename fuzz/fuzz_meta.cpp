// A definition's meta.json through both of its readers: the device look-ups (the profile meta
// cache and the profile summary, which must agree) and the editor's loadDefinition, then
// writeMeta, load and write again.
#include "fuzzchecks.h"

#include "definitionmeta.h"
#include "profilemetacache.h"
#include "profilestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace FuzzChecks {

namespace {

bool sameRecord(const DefinitionRecord& a, const DefinitionRecord& b)
{
    return a.id == b.id && a.name == b.name && a.folder == b.folder && a.imagePath == b.imagePath &&
           a.overlayPath == b.overlayPath && a.deviceNames == b.deviceNames && a.createdAt == b.createdAt &&
           a.calibrationMode == b.calibrationMode && a.calibrationOverrideFile == b.calibrationOverrideFile &&
           a.vendorId == b.vendorId && a.productId == b.productId && a.scope == b.scope;
}

// The written document without its time of writing.
QJsonObject writtenMeta(const QString& folder)
{
    bool ok = false;
    QJsonObject meta = parseObject(readFile(DefinitionMeta::metaPath(folder)), &ok);
    meta.remove(QStringLiteral("modifiedAt"));
    return meta;
}

QString writtenAgain(const QString& folder, const QJsonObject& written)
{
    DefinitionRecord second;
    if (!DefinitionMeta::loadDefinition(folder, &second))
        return QStringLiteral("its own meta.json was rejected");
    QString error;
    if (!DefinitionMeta::writeMeta(second, &error))
        return QStringLiteral("second writeMeta failed: ") + error;
    if (writtenMeta(folder) != written)
        return QStringLiteral("meta.json changed through its own write");
    DefinitionRecord third;
    if (!DefinitionMeta::loadDefinition(folder, &third) || !sameRecord(second, third))
        return QStringLiteral("the record changed through its own meta.json");
    return {};
}

// What the device look-ups read of the folder: the cached digest and a fresh summary agree.
QString lookedUp(const QString& root, const QString& folder)
{
    bool listed = false;
    ProfileMetaCache::Digest digest;
    ProfileMetaCache::forEachDefinition(root, [&](const QString& seen, const ProfileMetaCache::Digest& d) {
        listed = listed || seen == folder;
        if (seen == folder)
            digest = d;
    });
    const ProfileSummary summary = ProfileStore::readSummary(folder);
    if (listed != !summary.folder.isEmpty())
        return QStringLiteral("the meta cache and the profile summary disagree on the folder");
    if (listed &&
        (digest.id != summary.id || digest.name != summary.name || digest.deviceNames != summary.deviceNames))
        return QStringLiteral("the meta cache and the profile summary read different values");
    return {};
}

} // namespace

QString meta(const QByteArray& input)
{
    const QString folder = scratchPath(QStringLiteral("meta/6b7e0c1d-2f3a-4b5c-8d9e-0f1a2b3c4d5e"));
    writeFile(DefinitionMeta::metaPath(folder), input);
    writeFile(QDir(folder).filePath(QStringLiteral("overlay.json")), "{}");

    if (const QString failure = lookedUp(scratchPath(QStringLiteral("meta")), folder); !failure.isEmpty())
        return failure;
    DefinitionRecord first;
    if (!DefinitionMeta::loadDefinition(folder, &first))
        return {};
    QString error;
    if (!DefinitionMeta::writeMeta(first, &error))
        return QStringLiteral("writeMeta failed: ") + error;
    // Only the file names of the picture and the overlay are written: a document that named a file
    // in a sub-folder now names one beside meta.json. It is created for the second reading and
    // removed again, so that the next input finds the folder as this one did.
    const QString overlay = QDir(folder).filePath(QFileInfo(first.overlayPath).fileName());
    const bool created = !QFileInfo(overlay).isFile() && writeFile(overlay, "{}");
    const QString failure = writtenAgain(folder, writtenMeta(folder));
    if (created)
        QFile::remove(overlay);
    return failure;
}

} // namespace FuzzChecks
