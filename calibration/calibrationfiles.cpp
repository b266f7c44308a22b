#include "calibrationfiles.h"

#include "folderfiles.h"
#include "jsonio.h"
#include "metakeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

// Folder below every search root that holds the base files of controller models.
const QLatin1String kBaseFolder("_deviceCalibration");

// Longest sanitised name kept in a file name, in characters.
constexpr int kMaxNameLength = 64;

QString hexDigits(quint32 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

namespace GamepadCalibration {

QString calibrationSourceLabel(CalibrationSource source)
{
    switch (source) {
    case CalibrationSource::BaseDevice:
        return QStringLiteral("Base device");
    case CalibrationSource::ProfileOverride:
        return QStringLiteral("Profile override");
    case CalibrationSource::Defaults:
        break;
    }
    return QStringLiteral("Defaults");
}

QString sanitizedDeviceName(const QString& name)
{
    QString text = name.trimmed().toLower();
    for (QChar& c : text) {
        if (!c.isLetter() && !c.isDigit())
            c = QLatin1Char('_');
    }
    while (text.contains(QLatin1String("__")))
        text.replace(QLatin1String("__"), QLatin1String("_"));
    text = text.left(kMaxNameLength).trimmed();
    return text.isEmpty() ? QStringLiteral("unknown") : text;
}

QString baseCalibrationFileName(const DeviceIdentity& identity)
{
    return QStringLiteral("%1_%2_%3.json")
        .arg(hexDigits(identity.vendorId), hexDigits(identity.productId), sanitizedDeviceName(identity.name));
}

QString findBaseCalibrationFile(const DeviceIdentity& identity)
{
    if (identity.isBlank())
        return QString();
    const QString fileName = baseCalibrationFileName(identity);
    const QStringList roots = ProfileStore::searchRoots();
    for (const QString& root : roots) {
        const QString candidate = QDir(QDir(root).filePath(kBaseFolder)).filePath(fileName);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QString();
}

QString baseCalibrationSavePath(const DeviceIdentity& identity)
{
    if (identity.isBlank())
        return QString();
    const QString root = ProfileStore::defaultProfilesRoot();
    if (root.isEmpty())
        return QString();
    return QDir(QDir(root).filePath(kBaseFolder)).filePath(baseCalibrationFileName(identity));
}

QString baseCalibrationEditPath(const DeviceIdentity& identity)
{
    const QString found = findBaseCalibrationFile(identity);
    if (!found.isEmpty() &&
        (ProfileStore::scopeOfFolder(found) == ProfileScope::User || ProfileStore::canEditShared()))
        return found;
    return baseCalibrationSavePath(identity);
}

QString overrideCalibrationPath(const ProfileCalibrationContext& context)
{
    if (!context.isUsable())
        return QString();
    // Only a file of the profile's own folder: meta.json may come from anyone.
    return FolderFiles::pathIn(context.profileFolder, context.calibrationOverrideFile.trimmed(),
                               MetaKeys::DefaultOverrideFile);
}

bool isOverrideMode(const QString& mode)
{
    return mode.trimmed().compare(MetaKeys::ModeOverride, Qt::CaseInsensitive) == 0;
}

bool loadCalibrationFile(const QString& path, CalibrationSet* set, QString* error, int axisCount,
                         int buttonCount)
{
    if (set)
        *set = defaultCalibration(axisCount, buttonCount);
    // A folder in the file's place counts as no file at all.
    if (path.trimmed().isEmpty() || !QFileInfo(path).isFile())
        return false;
    QByteArray bytes;
    QString systemError;
    const FolderFiles::Read read = FolderFiles::readFile(path, FolderFiles::Limits::CalibrationBytes, &bytes,
                                                         FolderFiles::Links::Refuse, &systemError);
    if (read != FolderFiles::Read::Ok) {
        if (error && read == FolderFiles::Read::TooLarge)
            *error =
                QCoreApplication::translate("GamepadCalibration", "Fichier trop volumineux (plus de %1 Mio).")
                    .arg(FolderFiles::Limits::CalibrationBytes / FolderFiles::Limits::MiB);
        else if (error)
            *error =
                read == FolderFiles::Read::Failed
                    ? systemError
                    : QCoreApplication::translate("GamepadCalibration", "Ce n’est pas un fichier ordinaire.");
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        if (error) {
            *error = parseError.error != QJsonParseError::NoError
                         ? parseError.errorString()
                         : QCoreApplication::translate("GamepadCalibration",
                                                       "Le fichier ne contient pas d’objet JSON.");
        }
        return false;
    }
    bool ok = false;
    const CalibrationSet parsed = calibrationFromJson(doc.object(), &ok, error, axisCount, buttonCount);
    if (!ok)
        return false;
    if (set)
        *set = parsed;
    return true;
}

bool saveCalibrationFile(const QString& path, const CalibrationSet& set, const DeviceIdentity& identity,
                         const QString& profileId, QString* error)
{
    if (path.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("Empty path");
        return false;
    }
    // A symlink would be written through to its target, a FIFO or device opened.
    if (!FolderFiles::mayReplace(path)) {
        if (error)
            *error = QCoreApplication::translate("GamepadCalibration", "Ce n’est pas un fichier ordinaire.");
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Written beside the target and renamed over it, so a failed write keeps the last good file; the
    // message is the editors' French one, naming the file.
    const QByteArray bytes =
        QJsonDocument(calibrationToJson(set, identity, profileId)).toJson(QJsonDocument::Indented);
    return JsonIo::writeBytesAtomically(path, bytes, error);
}

ResolvedCalibration resolveCalibration(const DeviceIdentity& identity,
                                       const ProfileCalibrationContext& context, int axisCount,
                                       int buttonCount)
{
    ResolvedCalibration resolved;
    resolved.calibration = defaultCalibration(axisCount, buttonCount);

    resolved.basePath = findBaseCalibrationFile(identity);
    CalibrationSet loaded;
    if (!resolved.basePath.isEmpty() &&
        loadCalibrationFile(resolved.basePath, &loaded, nullptr, axisCount, buttonCount)) {
        resolved.calibration = loaded;
        resolved.source = CalibrationSource::BaseDevice;
        resolved.sourcePath = resolved.basePath;
    }

    resolved.overridePath = overrideCalibrationPath(context);
    // The override replaces the base set as a whole; a broken one leaves the base in force.
    if (context.isUsable() && isOverrideMode(context.calibrationMode) && !resolved.overridePath.isEmpty() &&
        loadCalibrationFile(resolved.overridePath, &loaded, nullptr, axisCount, buttonCount)) {
        resolved.calibration = loaded;
        resolved.source = CalibrationSource::ProfileOverride;
        resolved.sourcePath = resolved.overridePath;
    }

    resolved.calibration = sanitized(resolved.calibration, axisCount, buttonCount);
    return resolved;
}

} // namespace GamepadCalibration
