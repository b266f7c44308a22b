#include "profilestore.h"

#include "folderfiles.h"
#include "metakeys.h"
#include "profilemetacache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>

namespace {

QString cleaned(const QString& path)
{
    return path.trimmed().isEmpty() ? QString() : QDir::cleanPath(path);
}

// An absolute second part replaces the first, as QDir::filePath does.
QString joined(const QString& base, const QString& name)
{
    return QDir(base).filePath(name);
}

QString normalizedLogin(const QString& login)
{
    return login.trimmed().toLower();
}

QString loginRoot(const QString& data, const QString& login, QLatin1String area)
{
    if (data.isEmpty() || login.isEmpty())
        return QString();
    return cleaned(joined(joined(data, login), area));
}

// The roots of one call, computed once so a scan over many folders asks the host only once.
struct Roots
{
    QString userProfiles;
    QString userGamepads;
    QString sharedProfiles;
    QString sharedGamepads;
    QStringList search;
};

Roots rootsOf(const QString& data, const QString& login)
{
    Roots roots;
    roots.userProfiles = loginRoot(data, login, QLatin1String("GamepadProfiles"));
    roots.userGamepads = loginRoot(data, login, QLatin1String("Gamepads"));
    if (!data.isEmpty()) {
        roots.sharedProfiles = cleaned(joined(data, QStringLiteral("GamepadProfiles")));
        roots.sharedGamepads = cleaned(joined(data, QStringLiteral("Gamepads")));
    }
    for (const QString& root :
         {roots.userProfiles, roots.sharedProfiles, roots.userGamepads, roots.sharedGamepads}) {
        const QString path = cleaned(root);
        if (!path.isEmpty() && !roots.search.contains(path, Qt::CaseInsensitive))
            roots.search.append(path);
    }
    return roots;
}

// Every look-up asks for the roots, several times per device row: the paths are worked out again
// only when the data folder or the login they derive from changed. GUI thread only.
Roots currentRoots()
{
    static QString lastData;
    static QString lastLogin;
    static Roots last = rootsOf(lastData, lastLogin);
    // The data folder and the login do not change within one batch (it never spans a return to
    // the event loop): a listing of a thousand folders asks for them once, not once per folder.
    static quint64 lastBatch = 0;
    const quint64 batch = ProfileMetaCache::Batch::current();
    if (batch != 0 && batch == lastBatch)
        return last;
    lastBatch = batch;
    const QString data = ProfileStore::dataRoot();
    const QString login = ProfileStore::currentLogin();
    if (data != lastData || login != lastLogin) {
        last = rootsOf(data, login);
        lastData = data;
        lastLogin = login;
    }
    return last;
}

ProfileScope scopeOfCleaned(const Roots& roots, const QString& folder)
{
    for (const QString* root : {&roots.userProfiles, &roots.userGamepads}) {
        if (!root->isEmpty() && folder.startsWith(*root, Qt::CaseInsensitive))
            return ProfileScope::User;
    }
    return ProfileScope::Shared;
}

ProfileScope scopeIn(const Roots& roots, const QString& path)
{
    return scopeOfCleaned(roots, cleaned(path));
}

QString configPathFromMeta(const QString& folder, const QJsonObject& meta, bool metaRead)
{
    if (folder.isEmpty())
        return QString();
    const QString name = metaRead ? meta.value(MetaKeys::Config).toString().trimmed() : QString();
    return FolderFiles::pathIn(folder, name, MetaKeys::DefaultConfigFile);
}

bool readMeta(const QString& folder, QJsonObject* meta)
{
    return ProfileStore::readJsonObjectFile(joined(folder, MetaKeys::MetaFileName), meta) &&
           meta->value(MetaKeys::Type).toString() == MetaKeys::TypeValue;
}

// Fills a summary from an already read meta document.
ProfileSummary summaryFromMeta(const Roots& roots, const QString& folder, const QJsonObject& meta)
{
    ProfileSummary summary;
    summary.id = QUuid::fromString(meta.value(MetaKeys::Id).toString());
    summary.name = meta.value(MetaKeys::Name).toString().trimmed();
    summary.deviceNames = ProfileStore::metaDeviceNames(meta);
    if (!summary.deviceNames.isEmpty())
        summary.deviceName = summary.deviceNames.constFirst();
    summary.folder = folder;
    summary.scope = scopeIn(roots, folder);
    summary.configPath = configPathFromMeta(folder, meta, true);
    summary.imagePath = FolderFiles::pathIn(folder, meta.value(MetaKeys::Image).toString().trimmed(),
                                            MetaKeys::DefaultImageFile);
    if (!FolderFiles::isRegularFile(summary.configPath))
        summary.configPath.clear();
    if (!FolderFiles::isRegularFile(summary.imagePath))
        summary.imagePath.clear();
    return summary;
}

ProfileSummary summaryIn(const Roots& roots, const QString& path)
{
    const QString folder = cleaned(path);
    QJsonObject meta;
    if (folder.isEmpty() || !readMeta(folder, &meta))
        return ProfileSummary();
    return summaryFromMeta(roots, folder, meta);
}

} // namespace

QString profileScopeText(ProfileScope scope)
{
    return scope == ProfileScope::User ? QStringLiteral("user") : QStringLiteral("shared");
}

namespace ProfileStore {

QString dataRoot()
{
    QString root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (root.isEmpty())
        root = QDir::homePath() + QStringLiteral("/.tavon");
    return cleaned(root);
}

QString currentLogin()
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return QString();
    return normalizedLogin(app->property("hx.currentLogin").toString());
}

bool canEditShared()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property("hx.canEditSharedGamepads").toBool();
}

QString userProfilesRoot(const QString& login)
{
    return loginRoot(dataRoot(), login.isNull() ? currentLogin() : normalizedLogin(login),
                     QLatin1String("GamepadProfiles"));
}

QString userGamepadsRoot(const QString& login)
{
    return loginRoot(dataRoot(), login.isNull() ? currentLogin() : normalizedLogin(login),
                     QLatin1String("Gamepads"));
}

QString sharedProfilesRoot()
{
    return currentRoots().sharedProfiles;
}

QString sharedGamepadsRoot()
{
    return currentRoots().sharedGamepads;
}

QStringList searchRoots()
{
    return currentRoots().search;
}

QString defaultProfilesRoot()
{
    const Roots roots = currentRoots();
    return canEditShared() ? roots.sharedProfiles : roots.userProfiles;
}

ProfileScope scopeOfFolder(const QString& path)
{
    return scopeIn(currentRoots(), path);
}

ProfileSummary readSummary(const QString& folder)
{
    return summaryIn(currentRoots(), folder);
}

QList<ProfileSummary> profilesForDevice(const QString& deviceName)
{
    const QString name = deviceName.trimmed();
    if (name.isEmpty())
        return {};
    const Roots roots = currentRoots();
    // The answer given last for the name stands while none of its definitions changed: after an
    // editor's change, only the rows of the names that definition is or was linked to look again.
    struct Answer
    {
        QStringList search;
        QString userProfiles;
        QString userGamepads;
        quint64 change = 0;
        QList<ProfileSummary> profiles;
    };
    static QHash<QString, Answer> answers; // deviceNameKey -> last answer
    const ProfileMetaCache::Batch batch;   // the check below and the look-up share one pass
    const QString key = deviceNameKey(name);
    const quint64 change = ProfileMetaCache::changeFor(roots.search, key);
    if (const auto it = answers.constFind(key);
        it != answers.constEnd() && it->change == change && it->search == roots.search &&
        it->userProfiles == roots.userProfiles && it->userGamepads == roots.userGamepads)
        return it->profiles;
    QList<ProfileSummary> result;
    QSet<QUuid> taken; // the same UUID however its text was cased
    const auto consider = [&](const QString& folder, const ProfileMetaCache::Digest& d) {
        // Cheap checks first: the existence tests of a full summary cost file look-ups.
        if (d.id.isNull() || taken.contains(d.id) || !d.deviceNames.contains(name, Qt::CaseInsensitive))
            return;
        ProfileSummary summary;
        summary.id = d.id;
        summary.name = d.name;
        summary.deviceNames = d.deviceNames;
        summary.deviceName = d.deviceNames.value(0);
        summary.folder = folder;
        summary.scope = scopeOfCleaned(roots, folder);
        if (!d.files) {
            // Plain names of a cleaned folder: what QDir::filePath would give, without its parsing.
            ProfileMetaCache::Digest::Files files;
            if (ProfileMetaCache::isRegularFileIn(folder, d.configFile))
                files.configPath = folder + QLatin1Char('/') + d.configFile;
            if (ProfileMetaCache::isRegularFileIn(folder, d.imageFile))
                files.imagePath = folder + QLatin1Char('/') + d.imageFile;
            d.files = files;
        }
        if (d.files->configPath.isEmpty())
            return;
        summary.configPath = d.files->configPath;
        summary.imagePath = d.files->imagePath;
        taken.insert(d.id);
        result.append(summary);
    };
    // The meta.json digests kept from earlier calls, each checked against its file.
    for (const QString& root : roots.search)
        ProfileMetaCache::forEachDefinition(root, consider);
    std::stable_sort(result.begin(), result.end(), [](const ProfileSummary& a, const ProfileSummary& b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        if (byName != 0)
            return byName < 0;
        if (a.scope != b.scope)
            return a.scope == ProfileScope::User;
        return a.id.toString(QUuid::WithoutBraces) < b.id.toString(QUuid::WithoutBraces);
    });
    if (answers.size() > 1000) // names asked for once and never again
        answers.clear();
    answers.insert(key, Answer{roots.search, roots.userProfiles, roots.userGamepads, change, result});
    return result;
}

ProfileRef findProfileFolder(const QUuid& id)
{
    if (id.isNull())
        return ProfileRef();
    const Roots roots = currentRoots();
    const QString name = id.toString(QUuid::WithoutBraces);
    for (const QString& root : roots.search) {
        const QString candidate = joined(root, name);
        // A symlink in a root is not one of its definition folders (the listings skip it too).
        const QFileInfo info(candidate);
        if (info.isDir() && !info.isSymLink())
            return ProfileRef{cleaned(candidate), scopeIn(roots, candidate), true};
    }
    return ProfileRef();
}

ProfileSummary summaryById(const QUuid& id)
{
    const ProfileRef ref = findProfileFolder(id);
    if (!ref.valid)
        return ProfileSummary();
    return readSummary(ref.folder);
}

QString configPath(const QString& folder)
{
    if (folder.isEmpty())
        return QString();
    QJsonObject meta;
    const bool read = readJsonObjectFile(joined(folder, MetaKeys::MetaFileName), &meta);
    return configPathFromMeta(folder, meta, read);
}

bool relocateProfile(ProfileRef& ref, ProfileScope targetScope, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!ref.valid || ref.folder.trimmed().isEmpty())
        return fail(QCoreApplication::translate("GamepadProfiles", "Profil introuvable."));
    const Roots roots = currentRoots();
    const QString targetRoot =
        targetScope == ProfileScope::Shared ? roots.sharedProfiles : roots.userProfiles;
    if (targetRoot.isEmpty())
        return fail(QCoreApplication::translate(
            "GamepadProfiles", "Aucun dossier de configuration disponible pour cet utilisateur."));
    if (!QDir().mkpath(targetRoot))
        return fail(QCoreApplication::translate("GamepadProfiles", "Impossible de preparer le dossier %1")
                        .arg(targetRoot));
    const QString source = cleaned(ref.folder);
    const QString folderName = QFileInfo(source).fileName();
    if (folderName.isEmpty())
        return fail(QCoreApplication::translate("GamepadProfiles", "Identifiant de profil invalide."));
    const QString destination = cleaned(joined(targetRoot, folderName));
    if (source != destination && !QFileInfo::exists(destination)) {
        if (!copyRecursively(source, destination)) {
            // A half copy would later pass for the relocated definition.
            QDir(destination).removeRecursively();
            return fail(
                QCoreApplication::translate("GamepadProfiles", "Impossible de copier le profil vers %1")
                    .arg(destination));
        }
    }
    ref = ProfileRef{destination, targetScope, true};
    return true;
}

namespace {

// Only folders and regular files are copied: a symlink in a received folder could name any file or
// folder of the machine, and a FIFO would block the copy forever.
bool copyTree(const QString& source, const QString& destination)
{
    const QFileInfo info(source);
    if (!info.exists() || info.isSymLink())
        return true;
    if (info.isFile()) {
        if (info.size() > FolderFiles::Limits::CopiedFileBytes)
            return true;
        QDir().mkpath(QFileInfo(destination).absolutePath());
        QFile::remove(destination);
        return QFile::copy(source, destination);
    }
    if (!info.isDir())
        return true;
    if (!QDir().mkpath(destination))
        return false;
    // A destination inside the source must not be copied into itself.
    const QString destinationPath = QFileInfo(destination).absoluteFilePath();
    const QFileInfoList entries = QDir(source).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.absoluteFilePath() == destinationPath)
            continue;
        if (!copyTree(FolderFiles::child(source, entry.fileName()),
                      FolderFiles::child(destination, entry.fileName())))
            return false;
    }
    return true;
}

} // namespace

bool copyRecursively(const QString& source, const QString& destination)
{
    return copyTree(source, destination);
}

bool readJsonObjectFile(const QString& path, QJsonObject* object)
{
    QByteArray bytes;
    if (FolderFiles::readFile(path, FolderFiles::Limits::MetaBytes, &bytes) != FolderFiles::Read::Ok)
        return false;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    if (object)
        *object = doc.object();
    return true;
}

QString deviceNameKey(const QString& name)
{
    // Code point by code point with simple folding, as QString::compare does for
    // Qt::CaseInsensitive; a lone surrogate stays as it is.
    QString key;
    key.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(c, name.at(i + 1)));
            key.append(QChar::fromUcs4(folded));
            ++i;
        } else {
            key.append(QChar(char16_t(QChar::toCaseFolded(char32_t(c.unicode())))));
        }
    }
    return key;
}

QStringList metaDeviceNames(const QJsonObject& meta)
{
    // A set keeps the work linear: a received list may hold a million names.
    QStringList names;
    QSet<QString> seen;
    const QJsonArray array = meta.value(MetaKeys::DeviceNames).toArray();
    for (const QJsonValue& value : array) {
        const QString name = value.toString().trimmed();
        if (!name.isEmpty() && !seen.contains(deviceNameKey(name))) {
            seen.insert(deviceNameKey(name));
            names.append(name);
        }
    }
    const QString first = meta.value(MetaKeys::DeviceName).toString().trimmed();
    if (!first.isEmpty() && !seen.contains(deviceNameKey(first)))
        names.prepend(first);
    return names;
}

} // namespace ProfileStore
