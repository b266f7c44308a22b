#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>

// What the device look-ups need of each definition folder's meta.json, kept between calls.
//
// Nothing kept is trusted blindly. Where the kernel's change notices cover a root (ChangeWatch:
// Linux, local file systems), every call asks them what changed since each entry was checked, and
// checks again only that: a folder added, removed or renamed in the root, a meta.json written,
// replaced or removed, a root path that now leads elsewhere (its device and inode are compared at
// every call). Everywhere else every call lists the search root again and compares each meta.json's
// device, inode, size and modification and change times with those of the read that filled the
// entry; a file modified less than RacyWindowMs before it was read could change again within the
// same tick of the file system's clock, its times unmoved, so such an entry is read anew on every
// call until it has aged. GUI thread only.
namespace ProfileMetaCache {

inline constexpr qint64 RacyWindowMs = 2000; // FAT keeps modification times to 2 s

struct Digest
{
    QUuid id;                // meta "id"; null when missing or not a UUID
    QString name;            // meta "name", trimmed
    QStringList deviceNames; // ProfileStore::metaDeviceNames of the document
    QStringList deviceKeys;  // ProfileStore::deviceNameKey of each
    // File names of the folder (FolderFiles::plainName): anything that is not a plain file name,
    // an absolute path or "../x" included, gives the default name.
    QString configFile; // meta "config" trimmed, or configActionGamepad.json
    QString imageFile;  // meta "image" trimmed, or image.png
    // The same two members as the device fallbacks read them: the text as it stands, the default
    // when it is no plain file name (empty included) or not a string.
    QString configMember;
    QString imageMember;
    quint32 vendorId = 0;  // meta "vendorId": hexadecimal text, every "0x" removed; else 0
    quint32 productId = 0; // meta "productId", the same way
    QJsonObject meta;      // the whole document, for readers that need more (the editor's listing)

    // What a look-up found of the folder's files (ProfileStore fills it): forgotten at every check
    // of the folder, so it stands only while notices say nothing changed there.
    struct Files
    {
        QString configPath; // empty when configFile is no regular file
        QString imagePath;  // empty when imageFile is no regular file
    };
    mutable std::optional<Files> files;
};

// Calls visit for each folder of root (in QDir's name order, ignoring case) whose meta.json is a
// "GamepadDefinderMeta" document. folder is the cleaned path of the definition folder.
void forEachDefinition(const QString& root,
                       const std::function<void(const QString& folder, const Digest& digest)>& visit);
// The same, stopping at the first folder for which visit returns true; true when one did.
bool findDefinition(const QString& root,
                    const std::function<bool(const QString& folder, const Digest& digest)>& visit);

// While one lives (nested ones count as one), each root is listed and each meta.json compared with
// its file once: the look-ups of one operation (every device's profiles after a save, every
// device's mapping) share what the first one saw instead of listing a thousand folders each. Open
// one around a loop of look-ups on the GUI thread, never across a return to the event loop.
class Batch
{
public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // The batch open now (each outermost one takes the next number), 0 outside any: what is
    // looked up once per batch can be kept under it.
    static quint64 current();
};

// FolderFiles::isRegularFile of a plain file name (FolderFiles::plainName) inside a definition
// folder, answered from what was seen while the folder stays as it was at the check: creating,
// removing, renaming or replacing a file in a folder moves its times and sends a notice, so one
// check of the folder stands for all its files. Where notices cover the folder, it is checked
// again after one (or when the path of the folder holding it leads elsewhere); elsewhere it is
// stamped once per batch, and at each call outside one, and one changed less than RacyWindowMs
// before is checked afresh each time it is stamped.
bool isRegularFileIn(const QString& folder, const QString& fileName);

// Checks every entry of each root, as forEachDefinition does, then gives a number that moves
// whenever a definition linked to the device name of deviceKey (ProfileStore::deviceNameKey) may
// have changed since: read again, its folder's files changed, added to a root or gone, or
// everything forgotten. Where no notice covers a definition it moves at every check, so an answer
// kept while it stays is the answer a fresh look-up would give.
quint64 changeFor(const QStringList& roots, const QString& deviceKey);

// Reads of meta.json files made so far (a check for tests and benchmarks).
int readCount();
// Forgets everything kept. With changeNotices false, no notice is used until the next clear():
// every call checks by stat, as where no notice can be had (for tests and benchmarks).
void clear(bool changeNotices = true);

} // namespace ProfileMetaCache
