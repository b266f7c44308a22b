// Whole definition folders as anyone may make them: the input builds one folder (any files, meta.json
// with any values, symlinks, FIFOs, sub-folders) in the shared or the user's area of a private data
// root, beside a neighbour definition and protected files inside and outside the data root. The
// check then lists it, opens it, shows its picture, saves it (which copies a shared definition to
// the user's area), duplicates and renames it, writes its calibration override, copies it to the
// clipboard and pastes it, and runs the mapping panel's load and save and the devices' fallbacks on
// it. It fails when any call opened or created something the folder must not reach
// (OpenRecorder), when any protected file changed, or when a record or document names a file
// outside its folder.
//
// Input: lines; a line starting with "@" starts an entry, the lines up to the next entry are a
// file's content.
//   @shared | @user           where the folder lives (shared by default)
//   @ops losdrcxmpu           what runs after the listing, in this order (see runOne); without it,
//                             "o" and three others the input's hash picks, so that each
//                             execution stays cheap and every operation still runs often
//   @file <name>              a file of the folder with the lines that follow
//   @link <name> <target>     a symlink; @fifo <name>, @dir <name>
//   @picture <name> <format> <width> <height>   a plain picture in any format Qt writes (gif, ico…)
// In names, targets and contents, $OUT, $ROOT, $NEIGHBOUR and $FOLDER stand for the folder outside
// the data root, the data root, the neighbour definition and the folder itself.
#include "fuzzchecks.h"
#include "openrecorder.h"

#include "actionlinker.h"
#include "calibrationfiles.h"
#include "controlmanette.h"
#include "definitionlibrary.h"
#include "definitionmeta.h"
#include "editordialogs.h"
#include "exchangedocument.h"
#include "folderfiles.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "overlaymapping.h"
#include "picturefile.h"
#include "profilestore.h"
#include "snapshots.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QJsonDocument>

#include <algorithm>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace FuzzChecks {

namespace {

const QString kFolderId = QStringLiteral("3c9d2e7a-5b14-4f6a-9c2d-8e7f6a5b4c3d");
const QString kNeighbourId = QStringLiteral("7a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d");
// Every protected file holds it; the input cannot (it is taken out), so a document or file that
// carries it took it from a protected file.
const QByteArray kMarker = "JOYRELAY-SENTINEL";

// The dialogs of the library operations: a name when asked, nothing else chosen.
class Answers : public EditorDialogs
{
public:
    void information(QWidget*, const QString&, const QString&) override {}
    void warning(QWidget*, const QString&, const QString&) override {}
    void critical(QWidget*, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&) override { return false; }
    bool getText(QWidget*, const QString&, const QString&, const QString&, QString* answer) override
    {
        *answer = QStringLiteral("Renamed");
        return true;
    }
    bool getItem(QWidget*, const QString&, const QString&, const QStringList&, int, QString*) override
    {
        return false;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
};

QString realPath(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// The protected files and folders, and what each must still hold after a check.
struct Place
{
    QString dataRoot;
    QString outside;
    QString neighbour;
    QString seeded; // the definition fuzzsupport.cpp writes for the registry check
    OpenRecorder::Watch watch;
    std::map<QString, QByteArray> kept; // path -> content, or the listing of a folder
};

QByteArray stateOf(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "missing";
    if (S_ISFIFO(info.st_mode))
        return "fifo";
    if (S_ISDIR(info.st_mode))
        return QDir(path)
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
            .join(QLatin1Char('|'))
            .toUtf8();
    return "file:" + readFile(path);
}

void protect(Place* place, const QString& path, bool readable = false)
{
    const std::string real = QFile::encodeName(realPath(path)).toStdString();
    if (!readable && QFileInfo(path).isDir())
        place->watch.protectedFolders.push_back(real);
    else if (!readable)
        place->watch.protectedFiles.push_back(real);
    place->kept[path] = stateOf(path);
}

const Place& place()
{
    static const Place kept = [] {
        Place p;
        p.dataRoot = ProfileStore::dataRoot();
        p.outside = scratchPath(QStringLiteral("outside"));
        const QString shared = ProfileStore::sharedProfilesRoot();
        p.neighbour = QDir(shared).filePath(kNeighbourId);
        p.seeded = QDir(ProfileStore::userProfilesRoot())
                       .filePath(QStringLiteral("5b0c3f7e-9d1a-4c2b-8e6f-0a1b2c3d4e5f"));
        writeFile(p.outside + QStringLiteral("/secret.txt"), kMarker + " outside");
        writeFile(p.outside + QStringLiteral("/folder/kept.txt"), kMarker + " outside folder");
        ::mkfifo(QFile::encodeName(p.outside + QStringLiteral("/fifo")).constData(), 0600);
        writeFile(p.dataRoot + QStringLiteral("/secret.txt"), kMarker + " data root");
        const QJsonObject meta{{QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta")},
                               {QStringLiteral("id"), kNeighbourId},
                               {QStringLiteral("name"), QString::fromLatin1(kMarker)},
                               // A pad that is never plugged in: nothing has a reason to read its files.
                               {QStringLiteral("deviceName"), QStringLiteral("Neighbour Pad")},
                               {QStringLiteral("calibrationMode"), QStringLiteral("override")}};
        writeFile(p.neighbour + QStringLiteral("/meta.json"), QJsonDocument(meta).toJson());
        for (const char* name :
             {"overlay.json", "configActionGamepad.json", "image.png", "calibration.override.json"})
            writeFile(QDir(p.neighbour).filePath(QLatin1String(name)), "{\"" + kMarker + "\": 1}");
        p.watch.dataRoot = QFile::encodeName(realPath(p.dataRoot)).toStdString();
        for (const char* name : {"secret.txt", "fifo", "folder"})
            protect(&p, QDir(p.outside).filePath(QLatin1String(name)));
        protect(&p, p.dataRoot + QStringLiteral("/secret.txt"));
        for (const char* name :
             {"overlay.json", "configActionGamepad.json", "image.png", "calibration.override.json"})
            protect(&p, QDir(p.neighbour).filePath(QLatin1String(name)));
        // The listings read the other definitions' meta.json and look at their overlays.
        protect(&p, p.neighbour + QStringLiteral("/meta.json"), true);
        protect(&p, p.neighbour, true);
        protect(&p, p.seeded + QStringLiteral("/meta.json"), true);
        protect(&p, p.seeded + QStringLiteral("/overlay.json"));
        return p;
    }();
    return kept;
}

QByteArray substituted(QByteArray text, const Place& p, const QString& folder)
{
    text.replace(kMarker, "x");
    text.replace("$NEIGHBOUR", QFile::encodeName(p.neighbour));
    text.replace("$FOLDER", QFile::encodeName(folder));
    text.replace("$OUT", QFile::encodeName(p.outside));
    text.replace("$ROOT", QFile::encodeName(p.dataRoot));
    return text;
}

// A new path of the folder for an entry name; empty when the name would leave the folder or
// something stands there already (the input builds the folder, it never writes through its own
// symlinks or into its own FIFOs).
QString entryPath(const QString& folder, const QByteArray& name)
{
    const QString text = QFile::decodeName(name).trimmed();
    const QStringList parts = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || text.startsWith(QLatin1Char('/')) || text.contains(QChar(0)) ||
        parts.contains(QStringLiteral("..")) || parts.contains(QStringLiteral(".")))
        return {};
    QString path = folder;
    for (int i = 0; i < parts.size(); ++i) {
        path += QLatin1Char('/') + parts.at(i);
        struct stat info;
        const bool exists = ::lstat(QFile::encodeName(path).constData(), &info) == 0;
        if (i + 1 < parts.size() && exists && !S_ISDIR(info.st_mode))
            return {};
        if (i + 1 == parts.size() && exists)
            return {};
    }
    return path;
}

// Pictures encoded once per format and size. Sides above 64 pixels are 64, or 5000 past the pixel
// limit: encoding is what an input would otherwise spend its time on.
QByteArray picture(const QByteArray& format, int width, int height)
{
    const auto side = [](int n) { return n > 4096 ? 5000 : std::clamp(n, 1, 64); };
    width = side(width);
    height = side(height);
    static std::map<QByteArray, QByteArray> made;
    const QByteArray key = format + ' ' + QByteArray::number(width) + 'x' + QByteArray::number(height);
    auto found = made.find(key);
    if (found != made.end())
        return found->second;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    if (made.size() > 256)
        made.clear();
    return made[key] = buffer.data();
}

struct Input
{
    bool shared = true;
    QByteArray ops;
};

// Builds the folder from the input; the folder where it lives is removed first, with everything
// earlier inputs made in the two areas.
Input build(const QByteArray& input, const Place& p, const QString& folder)
{
    Input parsed;
    QString file;
    QByteArray content;
    auto flush = [&] {
        if (!file.isEmpty())
            writeFile(file, substituted(content, p, folder));
        file.clear();
        content.clear();
    };
    QDir().mkpath(folder);
    for (const QByteArray& line : input.split('\n')) {
        if (!line.startsWith('@')) {
            if (!file.isEmpty())
                content += line + '\n';
            continue;
        }
        flush();
        const QByteArray word = line.mid(1, line.indexOf(' ') < 0 ? -1 : line.indexOf(' ') - 1).trimmed();
        const QByteArray rest = line.indexOf(' ') < 0 ? QByteArray() : line.mid(line.indexOf(' ') + 1);
        if (word == "user" || word == "shared") {
            parsed.shared = word == "shared";
        } else if (word == "ops") {
            parsed.ops = rest.trimmed().left(16);
        } else if (word == "file") {
            file = entryPath(folder, rest);
        } else if (word == "dir") {
            if (const QString path = entryPath(folder, rest); !path.isEmpty())
                QDir().mkpath(path);
        } else if (word == "fifo") {
            if (const QString path = entryPath(folder, rest); !path.isEmpty())
                ::mkfifo(QFile::encodeName(path).constData(), 0600);
        } else if (word == "picture") {
            const QList<QByteArray> parts = rest.trimmed().split(' ');
            const QString path = entryPath(folder, parts.value(0));
            if (!path.isEmpty() && parts.size() == 4)
                writeFile(path, picture(parts.at(1).left(8), parts.at(2).toInt(), parts.at(3).toInt()));
        } else if (word == "link") {
            const QList<QByteArray> parts = rest.trimmed().split(' ');
            const QString path = entryPath(folder, parts.value(0));
            if (!path.isEmpty() && parts.size() > 1) {
                QDir().mkpath(QFileInfo(path).path());
                // Its target is where the check may be led astray, never written here.
                ::symlink(substituted(parts.value(1), p, folder).constData(),
                          QFile::encodeName(path).constData());
            }
        }
    }
    flush();
    if (parsed.ops.isNull()) {
        QByteArray pool = "sdrcxmup";
        parsed.ops = "o";
        for (size_t seed = qHash(input); parsed.ops.size() < 4; seed /= pool.size() + 1) {
            const int at = int(seed % size_t(pool.size()));
            parsed.ops += pool.at(at);
            pool.remove(at, 1);
        }
    }
    return parsed;
}

// Takes away every definition but the neighbour and the seeded one, and the base calibrations.
void clearAreas(const Place& p)
{
    for (const QString& root : {ProfileStore::sharedProfilesRoot(), ProfileStore::userProfilesRoot()}) {
        const QDir dir(root);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
            const QString path = dir.filePath(name);
            if (path == p.neighbour || path == p.seeded)
                continue;
            if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
                QDir(path).removeRecursively();
            else
                QFile::remove(path);
        }
    }
}

bool insideFolder(const QString& path, const QString& folder)
{
    return QFileInfo(QDir::cleanPath(path)).path() == QDir::cleanPath(folder);
}

QString namesOwnFiles(const DefinitionRecord& record)
{
    if (insideFolder(record.imagePath, record.folder) && insideFolder(record.overlayPath, record.folder))
        return {};
    return QStringLiteral("a record names a file outside its folder: ") + record.imagePath +
           QLatin1Char(' ') + record.overlayPath;
}

ActionLinker& linker()
{
    static ActionLinker* panel = new ActionLinker; // lives as long as the process
    return *panel;
}

GamepadCalibration::ProfileCalibrationContext contextOf(const DefinitionRecord& record)
{
    GamepadCalibration::ProfileCalibrationContext context;
    context.profileId = record.id;
    context.profileName = record.name;
    context.profileFolder = record.folder;
    context.calibrationMode = record.calibrationMode;
    context.calibrationOverrideFile = record.calibrationOverrideFile;
    return context;
}

// One operation on the row of the folder; a failure text when a record or document names a file
// outside its folder.
QString runOne(char op, DefinitionLibrary& library, int& row)
{
    const GamepadCalibration::DeviceIdentity pad{QStringLiteral("Fuzz Pad A"), 0x045e, 0x028e};
    if (op == 'u') {
        // The pad the folder may name ("Fuzz Pad A"): its picture, mapping file and calibration.
        if (ControlManette* device = GamepadManager::instance()->gamepadForSlot(0)) {
            device->imagePath();
            device->noCodeApp();
            device->reloadCalibration();
        }
        return {};
    }
    if (!library.isValidRow(row))
        return {};
    const DefinitionRecord record = library.at(row);
    bool ok = false;
    const QJsonObject overlay = JsonIo::readJsonObject(record.overlayPath, &ok);
    const QByteArray overlayBytes = QJsonDocument(overlay).toJson();
    switch (op) {
    case 'o': {
        QJsonObject mapping;
        Overlay::loadMappingFile(ProfileStore::configPath(record.folder), &mapping);
        PictureFile::pixmap(record.imagePath);
        GamepadCalibration::resolveCalibration(pad, contextOf(record));
        ProfileStore::summaryById(record.id);
        for (const QString& name : record.deviceNames.mid(0, 2))
            ProfileStore::profilesForDevice(name);
        break;
    }
    case 'p':
        PictureFile::thumbnail(record.imagePath, QSize(80, 56));
        Snapshots::renderSnapshot(
            overlay.isEmpty() ? QJsonObject{{QStringLiteral("type"), QStringLiteral("InteractiveOverlay")}}
                              : overlay,
            record.imagePath, QSize(64, 48));
        break;
    case 's':
        library.save(row, overlayBytes, [&] {
            return Overlay::saveMappingFile(ProfileStore::configPath(library.at(row).folder), QJsonArray());
        });
        break;
    case 'd':
        library.duplicate(row);
        break;
    case 'r':
        library.rename(row);
        break;
    case 'c': {
        library.setCalibrationMetadata(row, QStringLiteral("override"), record.calibrationOverrideFile,
                                       0x045e, 0x028e);
        const GamepadCalibration::ProfileCalibrationContext context = contextOf(library.at(row));
        const QString path = GamepadCalibration::overrideCalibrationPath(context);
        GamepadCalibration::saveCalibrationFile(path, GamepadCalibration::defaultCalibration(), pad);
        GamepadCalibration::loadCalibrationFile(path, nullptr);
        break;
    }
    case 'x': {
        const QByteArray text = ExchangeDocument::documentBytes(record, overlayBytes, false);
        if (text.contains(kMarker))
            return QStringLiteral("the copied document carries a protected file");
        QJsonObject document;
        ExchangeDocument::Contents contents;
        DefinitionRecord created;
        if (ExchangeDocument::parseClipboardDocument(text, &document) &&
            !ExchangeDocument::isLinked(document) && ExchangeDocument::validateDocument(document, &contents))
            ExchangeDocument::createDefinition(contents, ProfileStore::defaultProfilesRoot(), &created);
        break;
    }
    case 'm': {
        linker().loadGamepadSnapshot(record.id, record.name, record.deviceNames, overlay, record.imagePath);
        ActionLinker::saveProfileMapping(
            record.id, linker().overlay()->materializeMapping().value(QStringLiteral("bridges")).toArray());
        break;
    }
    default:
        break;
    }
    return {};
}

} // namespace

QString describeFolder(const QByteArray& input)
{
    const Place& p = place();
    clearAreas(p);
    const bool user = input.startsWith("@user") || input.contains("\n@user");
    const QString root = user ? ProfileStore::userProfilesRoot() : ProfileStore::sharedProfilesRoot();
    const QString folder = QDir(root).filePath(kFolderId);
    build(input, p, folder);
    const QDir dir(folder);
    const auto file = [&dir](const QString& path) {
        return path.isEmpty() ? QStringLiteral("-") : dir.relativeFilePath(path);
    };
    const auto scope = [](ProfileScope s) {
        return s == ProfileScope::User ? QStringLiteral("user") : QStringLiteral("shared");
    };
    QStringList lines;
    DefinitionRecord r;
    if (DefinitionMeta::loadDefinition(folder, &r))
        lines << QStringLiteral("record '%1' %2 %3 [%4] created %5 %6 '%7' %8:0x%9 %10")
                     .arg(r.name, file(r.imagePath), file(r.overlayPath), r.deviceNames.join(','),
                          r.createdAt, r.calibrationMode, r.calibrationOverrideFile)
                     .arg(r.vendorId)
                     .arg(r.productId, 0, 16)
                     .arg(scope(r.scope));
    else
        lines << QStringLiteral("no record");
    const ProfileSummary s = ProfileStore::readSummary(folder);
    lines << QStringLiteral("summary %1 '%2' %3/[%4] %5 %6 %7")
                 .arg(s.id.isNull() ? QStringLiteral("no-id") : QStringLiteral("id"), s.name, s.deviceName,
                      s.deviceNames.join(','), file(s.configPath), file(s.imagePath), scope(s.scope));
    lines << QStringLiteral("mapping file %1").arg(file(ProfileStore::configPath(folder)));
    QStringList listed;
    for (const DefinitionRecord& record : DefinitionMeta::listDefinitions())
        listed << (record.folder == folder ? QStringLiteral("this")
                                           : QDir(root).relativeFilePath(record.folder));
    lines << QStringLiteral("listed %1").arg(listed.join(' '));
    QStringList offered;
    for (const QString& name : s.deviceNames.mid(0, 3)) {
        for (const ProfileSummary& found : ProfileStore::profilesForDevice(name))
            offered << (found.folder == folder ? name : QStringLiteral("%1:other").arg(name));
    }
    lines << QStringLiteral("offered to %1").arg(offered.join(','));
    return lines.join(QLatin1Char('\n'));
}

QString definitionFolder(const QByteArray& input)
{
    const Place& p = place();
    clearAreas(p);
    const bool user = input.startsWith("@user") || input.contains("\n@user");
    const QString root = user ? ProfileStore::userProfilesRoot() : ProfileStore::sharedProfilesRoot();
    const QString folder = QDir(root).filePath(kFolderId);
    const Input parsed = build(input, p, folder);

    Answers answers;
    DefinitionLibrary library(&answers);
    OpenRecorder::start(p.watch);
    QString failure;
    int row = -1;
    for (const char op : QByteArray("l") + parsed.ops) {
        if (op == 'l') {
            library.reload();
            row = -1;
            for (int r = 0; r < library.count(); ++r) {
                if (QDir::cleanPath(library.at(r).folder) == QDir::cleanPath(folder))
                    row = r;
            }
            ProfileStore::readSummary(folder);
        } else {
            failure = runOne(op, library, row);
        }
        if (failure.isEmpty() && library.isValidRow(row))
            failure = namesOwnFiles(library.at(row));
        if (!failure.isEmpty())
            break;
    }
    const std::string violation = OpenRecorder::stop();
    // The mapping panel's and the snapshot's pastilles are deleted later; without this every input
    // would leave them behind, and the process would grow and slow down.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!violation.empty())
        return QString::fromStdString(violation);
    if (!failure.isEmpty())
        return failure;
    for (const auto& [path, state] : p.kept) {
        if (stateOf(path) != state)
            return QStringLiteral("a protected file changed: ") + path;
    }
    for (const DefinitionRecord& record : library.records()) {
        QByteArray picture;
        FolderFiles::readFile(record.imagePath, FolderFiles::Limits::PictureBytes, &picture);
        if (picture.contains(kMarker) && record.folder != p.neighbour)
            return QStringLiteral("a definition's picture holds a protected file: ") + record.imagePath;
    }
    return {};
}

} // namespace FuzzChecks
