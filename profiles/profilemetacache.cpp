#include "profilemetacache.h"

#include "changewatch.h"
#include "folderfiles.h"
#include "metakeys.h"
#include "profilestore.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

using FileStamp = FolderFiles::Stamp;

// An open folder to list and to stat from: only the path left below it is walked for each stat.
class OpenRoot
{
public:
    explicit OpenRoot(const QString& root) : m_root(root)
    {
#if defined(Q_OS_UNIX)
        m_dir = ::opendir(QFile::encodeName(root).constData());
#endif
    }
    ~OpenRoot()
    {
#if defined(Q_OS_UNIX)
        if (m_dir)
            ::closedir(m_dir);
#endif
    }
    OpenRoot(const OpenRoot&) = delete;
    OpenRoot& operator=(const OpenRoot&) = delete;

    // The entries QDir::entryList(Dirs | NoDotAndDotDot | NoSymLinks) could list (hidden ones left
    // out), in the file system's own order; folders are told apart from files later, by their
    // meta.json. A symlink is not a definition folder of the root, wherever it points.
    bool list(QByteArrayList* names)
    {
#if defined(Q_OS_UNIX)
        if (!m_dir)
            return false;
        while (const dirent* entry = ::readdir(m_dir)) {
            if (entry->d_name[0] == '.' || entry->d_type == DT_REG || entry->d_type == DT_LNK)
                continue;
            struct stat info;
            if (entry->d_type == DT_UNKNOWN &&
                (::fstatat(::dirfd(m_dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                 !S_ISDIR(info.st_mode)))
                continue;
            names->append(QByteArray(entry->d_name));
        }
        return true;
#else
        const QDir dir(m_root);
        if (!dir.exists())
            return false;
        for (const QString& name :
             dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Unsorted))
            names->append(QFile::encodeName(name));
        return true;
#endif
    }

    // Stamp of a file below the root; false when it does not exist or is not a regular file.
    bool stamp(const QByteArray& relative, FileStamp* stamp) const
    {
#if defined(Q_OS_UNIX)
        return FolderFiles::stampAt(::dirfd(m_dir), relative, stamp, FolderFiles::Kind::Regular);
#else
        const QFileInfo info(QDir(m_root).filePath(QFile::decodeName(relative)));
        if (!info.isFile() || info.isSymLink())
            return false;
        stamp->size = info.size();
        stamp->modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
        stamp->changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
        return true;
#endif
    }

private:
    QString m_root;
#if defined(Q_OS_UNIX)
    DIR* m_dir = nullptr;
#endif
};

// A change made so shortly before now that another one could follow within the same tick of the
// file system's clock without moving the times.
bool isRacy(const FileStamp& stamp)
{
    const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
    return stamp.modifiedNs > nowNs - ProfileMetaCache::RacyWindowMs * 1000000;
}

struct Entry
{
    FileStamp stamp;
    bool read = false;       // filled from the file at least once
    bool racy = true;        // modified too shortly before the read: read again next time
    bool definition = false; // the document is a "GamepadDefinderMeta" object
    ProfileMetaCache::Digest digest;
};

// One folder of a root, with its paths formatted once.
struct Slot
{
    QString name;
    QString folder;      // cleaned path of the definition folder
    QByteArray relative; // the name as listed, below the root
    QByteArray metaPath; // "<name>/meta.json", below the root
    Entry entry;
    // Notices taken before the entry was last checked: while neither has news, the entry stands.
    ChangeWatch::Mark folderMark;
    ChangeWatch::Mark metaMark; // none while meta.json is missing or no regular file
    bool noticed = false;       // both marks cover what the entry was made from
};

// Which folder a path leads to (symlinks followed, as the listing follows them).
struct Identity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool exists = false;

    bool operator==(const Identity& o) const
    {
        return exists && o.exists && device == o.device && inode == o.inode;
    }
};

Identity identityOf(const QString& path)
{
    Identity id;
#if defined(Q_OS_UNIX)
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
        id.device = quint64(info.st_dev);
        id.inode = quint64(info.st_ino);
        id.exists = true;
    }
#else
    Q_UNUSED(path);
#endif
    return id;
}

struct RootState
{
    QByteArrayList listed;     // the last listing, in the file system's order
    std::vector<Slot> entries; // the same names in QDir's order
    quint64 batch = 0;         // the batch in which the listing was made, 0 outside any
    size_t checked = 0;        // entries compared with their file within that batch
    Identity identity;         // the folder the root's path led to at the listing
    ChangeWatch::Mark mark;    // taken before the listing
};

int g_batchDepth = 0;
quint64 g_batch = 0; // the batch open now; each outermost batch takes the next number

// The batch open now, 0 outside any.
quint64 openBatch()
{
    return g_batchDepth > 0 ? g_batch : 0;
}

// What may have changed, for callers that keep answers drawn from the definitions.
quint64 g_tick = 0;
quint64 g_allChanged = 0;              // a change that may touch every device name
QHash<QString, quint64> g_nameChanged; // deviceNameKey -> last change of a definition linked to it

void allChanged()
{
    g_allChanged = ++g_tick;
}

void namesChanged(const Entry& entry)
{
    if (!entry.definition)
        return;
    if (g_nameChanged.size() > 100000) { // names of long gone definitions: start again
        g_nameChanged.clear();
        allChanged();
    }
    const quint64 now = ++g_tick;
    for (const QString& key : entry.digest.deviceKeys)
        g_nameChanged.insert(key, now);
}

ChangeWatch& notices()
{
    static ChangeWatch watch;
    return watch;
}

// Takes in the notices queued so far: at every call outside a batch, once per batch inside one
// (what a batch saw first stands for all of it).
void collectNotices()
{
    static quint64 collectedIn = 0;
    if (g_batchDepth == 0 || collectedIn != g_batch) {
        notices().collect();
        collectedIn = openBatch();
    }
}

QHash<QString, RootState>& roots()
{
    static QHash<QString, RootState> kept;
    return kept;
}

int g_reads = 0;

// "vendorId" / "productId" of a definition: text with every "0x" removed, hexadecimal; else 0.
quint32 definitionId(const QJsonObject& meta, QLatin1String key)
{
    const QJsonValue v = meta.value(key);
    if (!v.isString())
        return 0;
    bool ok = false;
    const uint id = v.toString().remove(QStringLiteral("0x")).toUInt(&ok, 16);
    return ok ? id : 0;
}

// The member as a plain file name of the folder, the default when it is anything else.
QString memberOr(const QJsonObject& meta, QLatin1String key, QLatin1String fallback)
{
    return FolderFiles::plainName(meta.value(key).toString(), fallback);
}

void readEntry(const QString& metaPath, const FileStamp& stamp, Entry* entry)
{
    *entry = Entry();
    entry->stamp = stamp;
    entry->read = true;
    entry->racy = isRacy(stamp);
    ++g_reads;
    QJsonObject meta;
    if (!ProfileStore::readJsonObjectFile(metaPath, &meta) ||
        meta.value(MetaKeys::Type).toString() != MetaKeys::TypeValue)
        return;
    entry->definition = true;
    ProfileMetaCache::Digest& d = entry->digest;
    d.meta = meta;
    d.id = QUuid::fromString(meta.value(MetaKeys::Id).toString());
    d.name = meta.value(MetaKeys::Name).toString().trimmed();
    d.deviceNames = ProfileStore::metaDeviceNames(meta);
    for (const QString& name : std::as_const(d.deviceNames))
        d.deviceKeys.append(ProfileStore::deviceNameKey(name));
    d.configFile = FolderFiles::plainName(meta.value(MetaKeys::Config).toString().trimmed(),
                                          MetaKeys::DefaultConfigFile);
    d.imageFile =
        FolderFiles::plainName(meta.value(MetaKeys::Image).toString().trimmed(), MetaKeys::DefaultImageFile);
    d.configMember = memberOr(meta, MetaKeys::Config, MetaKeys::DefaultConfigFile);
    d.imageMember = memberOr(meta, MetaKeys::Image, MetaKeys::DefaultImageFile);
    d.vendorId = definitionId(meta, MetaKeys::VendorId);
    d.productId = definitionId(meta, MetaKeys::ProductId);
}

// The slots of a changed listing: those of the names that stay are kept with what was read and the
// notices' marks (a folder is the same one while its name stays listed: replacing it is news of
// its own mark), in QDir's order (by the lower-cased name), with new ones merged in.
void relist(const QString& root, const QByteArrayList& listed, RootState* state)
{
    // A folder added or removed leaves the rest of the listing in its order: what differs lies
    // between the longest common start and end of the two listings, and only that is compared.
    const QByteArrayList& before = state->listed;
    qsizetype head = 0;
    while (head < before.size() && head < listed.size() && before.at(head) == listed.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < listed.size() - head &&
           before.at(before.size() - 1 - tail) == listed.at(listed.size() - 1 - tail))
        ++tail;
    const QSet<QByteArray> wasThere(before.cbegin() + head, before.cend() - tail);
    const QSet<QByteArray> isThere(listed.cbegin() + head, listed.cend() - tail);
    std::vector<Slot> kept;
    kept.reserve(size_t(listed.size()));
    for (Slot& slot : state->entries) {
        if (!wasThere.contains(slot.relative) || isThere.contains(slot.relative))
            kept.push_back(std::move(slot));
        else
            namesChanged(slot.entry);
    }
    const QString base = QDir::cleanPath(root) + QLatin1Char('/');
    std::vector<Slot> added;
    for (const QByteArray& raw : isThere) {
        if (wasThere.contains(raw))
            continue;
        Slot slot;
        slot.name = QFile::decodeName(raw);
        slot.folder = base + slot.name;
        slot.relative = raw;
        slot.metaPath = raw + '/' + QByteArray(MetaKeys::MetaFileName.data(), MetaKeys::MetaFileName.size());
        added.push_back(std::move(slot));
    }
    const auto inOrder = [](const Slot& a, const Slot& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    };
    std::sort(added.begin(), added.end(), inOrder);
    std::vector<Slot> entries;
    entries.reserve(kept.size() + added.size());
    std::merge(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()),
               std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::back_inserter(entries), inOrder);
    state->listed = listed;
    state->entries = std::move(entries);
}

// What one definition folder held when it was last checked.
struct FolderFacts
{
    FileStamp stamp;
    bool racy = true;
    quint64 batch = 0;            // the batch in which the stamp was taken, 0 outside any
    QHash<QString, bool> regular; // file name -> regular file
    ChangeWatch::Mark mark;       // taken before the stamp
    Identity parent;              // the folder holding it, when the stamp was taken
    bool watchable = true;        // false once a mark failed: stamped from then on, as elsewhere
};

// The folder holding folder: what its path leads to, looked up once per batch (the folders of one
// root come one after the other, so the last one answers).
Identity parentOf(const QString& folder)
{
    static QString lastParent;
    static quint64 lastBatch = 0;
    static Identity lastIdentity;
    const qsizetype slash = std::max<qsizetype>(folder.lastIndexOf(QLatin1Char('/')), 1);
    const QStringView parent = QStringView(folder).left(slash);
    if (g_batchDepth > 0 && lastBatch == g_batch && parent == lastParent)
        return lastIdentity;
    lastParent = parent.toString();
    lastIdentity = identityOf(lastParent);
    lastBatch = openBatch();
    return lastIdentity;
}

QHash<QString, FolderFacts>& folderFacts()
{
    static QHash<QString, FolderFacts> kept;
    return kept;
}

// Enough for every folder of a large library; past it everything is forgotten at once rather
// than kept for folders long gone.
constexpr qsizetype MaxKeptFolders = 20000;

} // namespace

namespace ProfileMetaCache {

void forEachDefinition(const QString& root,
                       const std::function<void(const QString& folder, const Digest& digest)>& visit)
{
    findDefinition(root, [&visit](const QString& folder, const Digest& digest) {
        visit(folder, digest);
        return false;
    });
}

bool findDefinition(const QString& root,
                    const std::function<bool(const QString& folder, const Digest& digest)>& visit)
{
    // Inside a batch a root listed earlier in the same batch is not listed again, and an entry
    // compared with its file earlier in the batch is taken as it was.
    const auto kept = roots().find(root);
    const bool reuse = g_batchDepth > 0 && kept != roots().end() && kept->batch == g_batch;
    ChangeWatch& watch = notices();
    std::optional<OpenRoot> dir;
    if (!reuse) {
        collectNotices();
        const Identity identity = identityOf(root);
        // Without news of the root and with its path leading to the same folder, the names listed
        // stand (every entry added, removed or renamed in it sends one).
        if (kept == roots().end() || !(kept->identity == identity) || !watch.unchanged(kept->mark)) {
            const ChangeWatch::Mark mark =
                watch.mark(QFile::encodeName(root), ChangeWatch::Target::FolderFollowed);
            dir.emplace(root);
            QByteArrayList listed;
            if (!dir->list(&listed)) {
                if (kept != roots().end()) {
                    roots().erase(kept);
                    allChanged();
                }
                return false;
            }
            RootState& state = roots()[root];
            if (listed != state.listed)
                relist(root, listed, &state);
            // Another folder at the root's path: its entries' marks watch the old one's folders.
            if (!(state.identity == identity)) {
                for (Slot& slot : state.entries)
                    slot.noticed = false;
            }
            state.identity = identity;
            state.mark = mark;
        }
        RootState& state = roots()[root];
        state.batch = openBatch();
        state.checked = 0;
    }
    RootState& state = roots()[root];
    // Entries are watched only where the root is: elsewhere (a network file system, the watch
    // limit reached) each mark would only cost a failed attempt at every call.
    const bool watched = state.mark.wd >= 0;
    QByteArray base;
    for (size_t i = 0; i < state.entries.size(); ++i) {
        Slot& slot = state.entries[i];
        if (i >= state.checked) {
            const bool stands = slot.noticed && watch.unchanged(slot.folderMark) &&
                                (slot.metaMark.wd < 0 || watch.unchanged(slot.metaMark));
            if (!stands) {
                if (watched && base.isEmpty())
                    base = QFile::encodeName(root) + '/';
                // The marks first: a change made after them, even during the read, has a notice.
                slot.folderMark = watched ? watch.mark(base + slot.relative, ChangeWatch::Target::Folder)
                                          : ChangeWatch::Mark();
                slot.metaMark = watched ? watch.mark(base + slot.metaPath, ChangeWatch::Target::File)
                                        : ChangeWatch::Mark();
                if (!dir)
                    dir.emplace(root);
                namesChanged(slot.entry); // what it was linked to, and below what it is now
                FileStamp stamp;
                const bool regular = dir->stamp(slot.metaPath, &stamp);
                if (!regular) {
                    slot.entry = Entry();
                    slot.metaMark = ChangeWatch::Mark(); // its creation is news of the folder
                } else if (!slot.entry.read || slot.entry.racy || !(slot.entry.stamp == stamp)) {
                    readEntry(slot.folder + QLatin1Char('/') + MetaKeys::MetaFileName, stamp, &slot.entry);
                }
                slot.entry.digest.files.reset(); // the folder's files may have changed too
                namesChanged(slot.entry);
                slot.noticed = slot.folderMark.wd >= 0 && (!regular || slot.metaMark.wd >= 0);
            }
            if (state.batch != 0)
                state.checked = i + 1;
        }
        if (slot.entry.definition && visit(slot.folder, slot.entry.digest))
            return true;
    }
    return false;
}

Batch::Batch()
{
    if (g_batchDepth++ == 0)
        ++g_batch;
}

Batch::~Batch()
{
    --g_batchDepth;
}

quint64 Batch::current()
{
    return openBatch();
}

bool isRegularFileIn(const QString& folder, const QString& fileName)
{
    auto it = folderFacts().find(folder);
    bool stands = it != folderFacts().end() && g_batchDepth > 0 && it->batch == g_batch;
    if (!stands && it != folderFacts().end() && it->mark.wd >= 0) {
        collectNotices();
        stands = notices().unchanged(it->mark) && it->parent == parentOf(folder);
    }
    if (!stands) {
        const bool watchable = it == folderFacts().end() || it->watchable;
        const ChangeWatch::Mark mark =
            watchable ? notices().mark(QFile::encodeName(folder), ChangeWatch::Target::Folder)
                      : ChangeWatch::Mark();
        const Identity parent = mark.wd >= 0 ? parentOf(folder) : Identity();
        FileStamp stamp;
        if (!FolderFiles::stampOf(folder, &stamp, FolderFiles::Kind::Folder)) {
            if (it != folderFacts().end())
                folderFacts().erase(it);
            return false;
        }
        if (it == folderFacts().end()) {
            if (folderFacts().size() >= MaxKeptFolders)
                folderFacts().clear();
            it = folderFacts().insert(folder, FolderFacts());
        }
        if (it->racy || it->stamp != stamp)
            it->regular.clear();
        it->stamp = stamp;
        it->racy = isRacy(stamp);
        it->batch = openBatch();
        it->mark = parent.exists ? mark : ChangeWatch::Mark();
        it->parent = parent;
        it->watchable = mark.wd >= 0;
    }
    auto known = it->regular.constFind(fileName);
    if (known == it->regular.constEnd())
        known =
            it->regular.insert(fileName, FolderFiles::isRegularFile(folder + QLatin1Char('/') + fileName));
    return known.value();
}

int readCount()
{
    return g_reads;
}

quint64 changeFor(const QStringList& roots, const QString& deviceKey)
{
    for (const QString& root : roots)
        findDefinition(root, [](const QString&, const Digest&) { return false; });
    return std::max(g_allChanged, g_nameChanged.value(deviceKey, 0));
}

void clear(bool changeNotices)
{
    roots().clear();
    folderFacts().clear();
    g_nameChanged.clear();
    allChanged();
    notices().reset(changeNotices);
}

} // namespace ProfileMetaCache
