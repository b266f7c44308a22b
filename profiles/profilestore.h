#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>

// Area a definition folder lives in: the current user's own area or the shared one.
enum class ProfileScope : int
{
    User = 0,
    Shared = 1
};

// "user" for User, "shared" for anything else.
QString profileScopeText(ProfileScope scope);

// A located definition folder.
struct ProfileRef
{
    QString folder; // cleaned absolute path of the definition folder
    ProfileScope scope = ProfileScope::Shared;
    bool valid = false;
};

// What the run time and the device list know of a definition without opening its editor.
struct ProfileSummary
{
    QUuid id;                // meta "id"; null when unreadable
    QString name;            // meta "name", trimmed
    QString deviceName;      // first entry of deviceNames, or empty
    QStringList deviceNames; // device names the definition applies to
    QString folder;          // cleaned path of the definition folder
    QString configPath;      // mapping file; empty when it does not exist
    QString imagePath;       // picture; empty when it does not exist
    ProfileScope scope = ProfileScope::Shared;
};

Q_DECLARE_METATYPE(ProfileRef)
Q_DECLARE_METATYPE(ProfileSummary)

// Where gamepad definitions live and how they are found. Stateless: every call reads the host's
// application properties and the disk anew.
//
// Layout below the data root: <login>/GamepadProfiles (user), GamepadProfiles (shared),
// <login>/Gamepads and Gamepads (older areas, searched last).
namespace ProfileStore {

// Application data folder, or ~/.tavon when Qt has none; cleaned.
QString dataRoot();
// Host property "hx.currentLogin", trimmed and lower-cased; empty without an application object.
QString currentLogin();
// Host property "hx.canEditSharedGamepads"; false without an application object.
bool canEditShared();

// A null login means the current login. Empty when the data root or the login is empty.
QString userProfilesRoot(const QString& login = QString());
QString userGamepadsRoot(const QString& login = QString());
QString sharedProfilesRoot();
QString sharedGamepadsRoot();

// User profiles, shared profiles, user gamepads, shared gamepads; empty ones and case-insensitive
// duplicates dropped.
QStringList searchRoots();
// Where new definitions go: the shared root for users allowed to edit it, else the user's own.
QString defaultProfilesRoot();
// User when the path lies (ignoring case) below one of the current user's roots, else Shared.
ProfileScope scopeOfFolder(const QString& path);

// Summary of a definition folder; an empty summary when its meta.json is unreadable or not a
// "GamepadDefinderMeta" document.
ProfileSummary readSummary(const QString& folder);
// Definitions with a mapping file whose device names hold deviceName (ignoring case). One entry per
// id (the first search root wins), sorted by name ignoring case, then User before Shared, then id.
QList<ProfileSummary> profilesForDevice(const QString& deviceName);
// First search root holding a folder named by the id; invalid when none.
ProfileRef findProfileFolder(const QUuid& id);
// readSummary of findProfileFolder(id); an empty summary when not found.
ProfileSummary summaryById(const QUuid& id);
// Mapping file of a definition: meta "config" or "configActionGamepad.json"; empty for no folder.
QString configPath(const QString& folder);

// Makes ref live in the target scope's profiles root, copying the folder there when it is not
// there yet (an existing destination is used as is). The source folder stays. On failure returns
// false with a French error text.
bool relocateProfile(ProfileRef& ref, ProfileScope targetScope, QString* error = nullptr);
// Copies a file or a folder tree (hidden entries skipped). Only folders and regular files of at most
// FolderFiles::Limits::CopiedFileBytes are copied; symlinks and special files are left out. A
// missing source counts as success.
bool copyRecursively(const QString& source, const QString& destination);
// Device names of a meta document: "deviceNames" trimmed, blanks and case-insensitive duplicates
// dropped, then "deviceName" in front when it is new.
QStringList metaDeviceNames(const QJsonObject& meta);
// Two names are the same device when their keys are equal, exactly when QString::compare ignoring
// case finds them equal; name lists deduplicate through a set of keys.
QString deviceNameKey(const QString& name);
// True only when the file is a regular file (no symlink) of at most FolderFiles::Limits::MetaBytes
// and holds a JSON object, which is then stored in *object.
bool readJsonObjectFile(const QString& path, QJsonObject* object);

} // namespace ProfileStore
