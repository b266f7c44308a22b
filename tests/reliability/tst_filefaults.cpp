// The writers of definition, calibration and registry files under real failures: killed from
// a child process at random points, a read-only data root, a vanished folder, a file where a
// folder should be and a full disk; and the readers of the same files under a file too large,
// a FIFO or a symlink in its place.
#include "faultfixtures.h"
#include "testsupport.h"

#include "calibrationfiles.h"
#include "definitionmeta.h"
#include "jsonio.h"
#include "linkerdevicemodel.h"
#include "overlaymapping.h"
#include "registryfile.h"
#include "virtualjoystickbackend.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <random>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

using namespace GamepadCalibration;

namespace {

enum Writer
{
    Meta,
    Mapping,
    Definition, // writeBytesAtomically, under every definition file
    Calibration,
    Registry
};
enum Fault
{
    ReadOnlyRoot,
    VanishedFolder,
    FileForFolder,
    FullDisk
};

const QString kId = QStringLiteral("0d5e8f5a-2b1c-4f6e-8a3d-9b7c6e5f4a01");

// Documents large enough that a write takes a few milliseconds; version tells two apart.
QJsonArray bridges(int count, int version)
{
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(QJsonObject{{"src", QJsonObject{{"stringKey", QStringLiteral("but_%1").arg(i % 32)}}},
                                {"action", QStringLiteral("action.%1.%2").arg(i).arg(version)}});
    return list;
}

CalibrationSet calibration(int gates, int version)
{
    CalibrationSet set = defaultCalibration();
    for (int i = 0; i < gates; ++i) {
        GateSettings gate = defaultGate(i);
        gate.radius = 10 + version + i % 50;
        set.gates.append(gate);
    }
    return set;
}

QJsonObject registry(int devices, int version)
{
    QJsonObject list;
    for (int i = 0; i < devices; ++i)
        list.insert(QStringLiteral("gp:%1").arg(i),
                    QJsonObject{{"deviceId", QString::number(i)},
                                {"name", QStringLiteral("Pad %1").arg(version)},
                                {"kv", QJsonObject{{"selected", version == 1}}}});
    return QJsonObject{{"devices", list}, {"lastCount", devices}};
}

// Whether the process has a file below folder open (an unnamed save file shows as "folder/#n (deleted)").
bool holdsFileIn(pid_t pid, const QString& folder)
{
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t size = readlink(QFile::encodeName(fds + fd).constData(), target, sizeof target);
        if (size > 0 && QByteArray(target, size).startsWith(prefix))
            return true;
    }
    return false;
}

} // namespace

class tst_FileFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::virtualPads(); }
    void init();
    void killedWriterLeavesOldOrNewFile_data();
    void killedWriterLeavesOldOrNewFile();
    void faultFailsWithItsErrorAndChangesNothingElse_data();
    void faultFailsWithItsErrorAndChangesNothingElse();
    void deviceListSurvivesBrokenRegistryFolder_data();
    void deviceListSurvivesBrokenRegistryFolder();
    void readersRefuseWhatIsNotTheirFile_data();
    void readersRefuseWhatIsNotTheirFile();

private:
    QString definitionFolder() const;
    QString target(Writer writer) const;
    std::function<bool(int, QString*)> writerFor(Writer writer, int size) const;
    void prepare();
    void breakFolder(Fault fault, const QString& folder);

    std::unique_ptr<TestSupport::DataRoot> m_data;
    QString m_root;
};

void tst_FileFaults::init()
{
    m_data = std::make_unique<TestSupport::DataRoot>();
    m_root = m_data->path();
    prepare();
}

QString tst_FileFaults::definitionFolder() const
{
    return QDir(ProfileStore::userProfilesRoot()).filePath(kId);
}

QString tst_FileFaults::target(Writer writer) const
{
    const QDir folder(definitionFolder());
    const QString config = folder.filePath(QStringLiteral("configActionGamepad.json"));
    const QString paths[] = {DefinitionMeta::metaPath(folder.path()), config, config,
                             folder.filePath(QStringLiteral("calibration.override.json")),
                             QDir(m_root).filePath(QStringLiteral("ctx/TavonCom/gamepads.json"))};
    return paths[writer]; // in the order of Writer
}

// Writes version 0 or 1 through the real writer; size scales the document. The documents are built
// beforehand so that a child killed at a random point spends its time inside the writer.
std::function<bool(int, QString*)> tst_FileFaults::writerFor(Writer writer, int size) const
{
    const QString path = target(writer);
    switch (writer) {
    case Meta:
        return [=](int version, QString* error) {
            DefinitionRecord record;
            record.id = QUuid(kId);
            record.name = QStringLiteral("Pad %1").arg(version);
            record.folder = definitionFolder();
            record.overlayPath = QDir(record.folder).filePath(QStringLiteral("overlay.json"));
            for (int i = 0; i < size; ++i)
                record.deviceNames.append(QStringLiteral("Device %1 %2").arg(i).arg(version));
            record.createdAt = QStringLiteral("2024-05-01T12:00:00Z");
            return DefinitionMeta::writeMeta(record, error);
        };
    case Mapping: {
        const QJsonArray lists[2] = {bridges(size, 0), bridges(size, 1)};
        return [=](int version, QString* error) {
            return Overlay::saveMappingFile(path, lists[version], error);
        };
    }
    case Definition: {
        const QByteArray bytes[2] = {QJsonDocument(QJsonObject{{"bridges", bridges(size, 0)}}).toJson(),
                                     QJsonDocument(QJsonObject{{"bridges", bridges(size, 1)}}).toJson()};
        return [=](int version, QString* error) {
            return JsonIo::writeBytesAtomically(path, bytes[version], error);
        };
    }
    case Calibration: {
        const CalibrationSet sets[2] = {calibration(size, 0), calibration(size, 1)};
        return [=](int version, QString* error) {
            return saveCalibrationFile(path, sets[version], {QStringLiteral("Pad"), 1, 2}, kId, error);
        };
    }
    case Registry:
        break;
    }
    const QJsonObject roots[2] = {registry(size, 0), registry(size, 1)};
    return [=](int version, QString*) { return RegistryFile::write(path, roots[version]); };
}

// A complete data root: one definition with every file, one registry.
void tst_FileFaults::prepare()
{
    QVERIFY(TestSupport::writeFile(QDir(definitionFolder()).filePath(QStringLiteral("overlay.json")), "{}"));
    RegistryFile::path(QStringLiteral("ctx"));
    for (Writer w : {Meta, Mapping, Calibration, Registry}) {
        QString error;
        QVERIFY2(writerFor(w, 50)(0, &error), qPrintable(error));
    }
}

// A full disk is a size limit set around the write itself.
void tst_FileFaults::breakFolder(Fault fault, const QString& folder)
{
    if (fault == ReadOnlyRoot)
        FaultFixtures::setTreeWritable(m_root, false);
    if (fault == VanishedFolder || fault == FileForFolder)
        QVERIFY(QDir(folder).removeRecursively());
    if (fault == FileForFolder)
        QVERIFY(TestSupport::writeFile(folder, "not a folder"));
}

void tst_FileFaults::killedWriterLeavesOldOrNewFile_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<int>("size");
    QTest::newRow("definition file through writeBytesAtomically") << int(Definition) << 3000;
    QTest::newRow("calibration file") << int(Calibration) << 150;
    QTest::newRow("registry file") << int(Registry) << 400;
}

void tst_FileFaults::killedWriterLeavesOldOrNewFile()
{
    QFETCH(int, writer);
    QFETCH(int, size);
    const Writer w = Writer(writer);
    const QString path = target(w);
    const std::function<bool(int, QString*)> writeVersion = writerFor(w, size);
    QByteArray versions[2];
    QElapsedTimer clock;
    clock.start();
    for (int version : {1, 0}) {
        QVERIFY(writeVersion(version, nullptr));
        versions[version] = TestSupport::readFile(path);
    }
    const qint64 writeNs = clock.nsecsElapsed() / 2;
    QVERIFY(!versions[0].isEmpty() && versions[0] != versions[1]);

    std::mt19937 random(20240501);
    std::uniform_int_distribution<qint64> delay(0, 2 * writeNs);
    // Shared with the child: [0] is set around each call of the writer, [1] counts the calls.
    auto* shared = static_cast<volatile int*>(
        mmap(nullptr, 2 * sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    QVERIFY(shared != MAP_FAILED);
    int inWriter = 0;
    int withNewFileOpen = 0;
    // At least 200 kills, and on until 20 of them caught the new file open: on a loaded machine
    // the share of time spent with the file open shrinks, so the count is a condition, not a guess.
    int kills = 0;
    for (; kills < 200 || (withNewFileOpen < 20 && kills < 3000); ++kills) {
        shared[0] = shared[1] = 0;
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            for (int version = 1;; version ^= 1) {
                ++shared[1];
                shared[0] = 1;
                writeVersion(version, nullptr);
                shared[0] = 0;
            }
        }
        // The random point is counted from the child's second write, however late it is scheduled:
        // its first one copies the pages it touches (under AddressSanitizer, their shadow too) and
        // lasts many times a write, which would put every kill before the new file is opened.
        const QDeadlineTimer deadline(10000);
        while (shared[1] < 2 && !deadline.hasExpired())
            sched_yield();
        QVERIFY(shared[1] >= 2);
        const qint64 ns = delay(random);
        const timespec pause{time_t(ns / 1000000000), long(ns % 1000000000)};
        nanosleep(&pause, nullptr);
        // Stopped first, to see where it was: in the writer, and holding the new file open.
        ::kill(child, SIGSTOP);
        int status = 0;
        QCOMPARE(waitpid(child, &status, WUNTRACED), child);
        inWriter += shared[0];
        withNewFileOpen += holdsFileIn(child, QFileInfo(path).absolutePath()) ? 1 : 0;
        ::kill(child, SIGKILL);
        QCOMPARE(waitpid(child, &status, 0), child);

        // A missing file reads as empty, which neither version is.
        const QByteArray bytes = TestSupport::readFile(path);
        QVERIFY2(bytes == versions[0] || bytes == versions[1],
                 qPrintable(QStringLiteral("kill %1 left %2 bytes that are neither version")
                                .arg(kills)
                                .arg(bytes.size())));
    }
    munmap(const_cast<int*>(shared), 2 * sizeof(int));
    qInfo("%d of %d kills inside the writer, %d with the new file open", inWriter, kills, withNewFileOpen);
    // Without this the test could pass by killing the child only between writes.
    QVERIFY(inWriter >= kills * 9 / 10);
    QVERIFY(withNewFileOpen >= 20);
}

void tst_FileFaults::faultFailsWithItsErrorAndChangesNothingElse_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("writes");   // the writer succeeds (it creates a missing folder)
    QTest::addColumn<QString>("error"); // a pattern; %1 stands for the target
    const QString cannotWrite = QStringLiteral("Impossible d’écrire %1");
    // The save file reports a short write, or a commit whose flush failed, by the amount buffered.
    const QString full =
        QStringLiteral("(Écriture incomplète dans %1|Impossible de valider l’écriture de %1 \\(.+\\))");
    // A size limit fails the write itself with EFBIG, not only the sync of a full disk's ENOSPC.
    struct Row
    {
        const char* name;
        Writer writer;
        Fault fault;
        bool writes;
        QString error;
    };
    const Row rows[] = {
        {"meta.json in a read-only data root", Meta, ReadOnlyRoot, false, cannotWrite},
        {"meta.json of a vanished definition folder", Meta, VanishedFolder, false, cannotWrite},
        {"meta.json where a file stands for the folder", Meta, FileForFolder, false, cannotWrite},
        {"meta.json on a full disk", Meta, FullDisk, false, full},
        {"mapping file in a read-only data root", Mapping, ReadOnlyRoot, false, cannotWrite},
        {"mapping file recreates a vanished folder", Mapping, VanishedFolder, true, QString()},
        {"mapping file where a file stands for the folder", Mapping, FileForFolder, false, cannotWrite},
        {"mapping file on a full disk", Mapping, FullDisk, false, full},
        {"calibration file in a read-only data root", Calibration, ReadOnlyRoot, false, cannotWrite},
        {"calibration file recreates a vanished folder", Calibration, VanishedFolder, true, QString()},
        {"calibration file where a file stands for the folder", Calibration, FileForFolder, false,
         cannotWrite},
        {"calibration file on a full disk", Calibration, FullDisk, false, full},
        {"registry in a read-only data root", Registry, ReadOnlyRoot, false, QString()},
        {"registry of a vanished context folder", Registry, VanishedFolder, false, QString()},
        {"registry where a file stands for the folder", Registry, FileForFolder, false, QString()},
        {"registry on a full disk", Registry, FullDisk, false, QString()},
    };
    for (const Row& row : rows)
        QTest::newRow(row.name) << int(row.writer) << int(row.fault) << row.writes << row.error;
}

void tst_FileFaults::faultFailsWithItsErrorAndChangesNothingElse()
{
    QFETCH(int, writer);
    QFETCH(int, fault);
    QFETCH(bool, writes);
    QFETCH(QString, error);
    const Writer w = Writer(writer);
    const QString path = target(w);
    breakFolder(Fault(fault), QFileInfo(path).path());
    const QMap<QString, QByteArray> before = FaultFixtures::snapshot(m_root);

    QString reported;
    bool written = false;
    {
        FaultFixtures::PermissionsEnforced enforced;
        QScopedPointer<TestSupport::FileSizeLimit> limit(
            fault == FullDisk ? new TestSupport::FileSizeLimit(2048) : nullptr);
        written = writerFor(w, 200)(1, &reported);
    }
    QMap<QString, QByteArray> after = FaultFixtures::snapshot(m_root);
    FaultFixtures::setTreeWritable(m_root, true);

    QCOMPARE(written, writes);
    if (writes) {
        // Only the folder and the file itself appear.
        after.remove(QDir(m_root).relativeFilePath(path));
        after.remove(QDir(m_root).relativeFilePath(QFileInfo(path).path()) + QLatin1Char('/'));
    }
    const QRegularExpression expected(QStringLiteral("^%1$").arg(
        QString(error).replace(QStringLiteral("%1"), QRegularExpression::escape(path))));
    QVERIFY2(expected.match(reported).hasMatch(), qPrintable(reported));
    QCOMPARE(after, before);
}

void tst_FileFaults::deviceListSurvivesBrokenRegistryFolder_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("read-only data root") << int(ReadOnlyRoot);
    QTest::newRow("file where the context folder should be") << int(FileForFolder);
    QTest::newRow("full disk") << int(FullDisk);
}

// The model loads and saves at construction, at reconciliation and at destruction; none may crash
// or touch anything when the registry cannot be written.
void tst_FileFaults::deviceListSurvivesBrokenRegistryFolder()
{
    QFETCH(int, fault);
    breakFolder(Fault(fault), QDir(m_root).filePath(QStringLiteral("ctx")));
    const QMap<QString, QByteArray> before = FaultFixtures::snapshot(m_root);
    {
        FaultFixtures::PermissionsEnforced enforced;
        QScopedPointer<TestSupport::FileSizeLimit> limit(
            fault == FullDisk ? new TestSupport::FileSizeLimit(16) : nullptr);
        LinkerDeviceModel model(QStringLiteral("ctx"));
        QCoreApplication::processEvents();
        QCOMPARE(model.count(), fault == FileForFolder ? 0 : 50);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QMap<QString, QByteArray> after = FaultFixtures::snapshot(m_root);
    FaultFixtures::setTreeWritable(m_root, true);
    QCOMPARE(after, before);
}

void tst_FileFaults::readersRefuseWhatIsNotTheirFile_data()
{
    QTest::addColumn<int>("writer"); // the reader of that writer's file
    QTest::addColumn<QString>("fault");
    QTest::addColumn<qint64>("limit");
    const qint64 MiB = 1024 * 1024;
    const struct
    {
        Writer writer;
        const char* name;
        qint64 limit;
    } readers[] = {{Meta, "meta.json", MiB},
                   {Definition, "overlay", 16 * MiB},
                   {Mapping, "mapping file", 16 * MiB},
                   {Calibration, "calibration file", MiB}};
    for (const auto& reader : readers) {
        for (const char* fault : {"one byte too large", "a FIFO", "a symlink"})
            QTest::addRow("%s: %s", reader.name, fault)
                << int(reader.writer) << QString(fault) << reader.limit;
    }
}

// A valid file padded past its kind's limit, or moved away and replaced by a FIFO or a symlink to
// it: read before, refused after, and never waited on.
void tst_FileFaults::readersRefuseWhatIsNotTheirFile()
{
    QFETCH(int, writer);
    QFETCH(QString, fault);
    QFETCH(qint64, limit);
    const QString folder = definitionFolder();
    const QString path =
        writer == Definition ? QDir(folder).filePath("overlay.json") : target(Writer(writer));
    const auto read = [&] {
        bool ok = false;
        QJsonObject mapping;
        switch (writer) {
        case Meta:
            return DefinitionMeta::loadDefinition(folder, nullptr);
        case Definition:
            JsonIo::readJsonObject(path, &ok);
            return ok;
        case Mapping:
            return Overlay::loadMappingFile(path, &mapping) == Overlay::MappingLoad::Loaded;
        default:
            return loadCalibrationFile(path, nullptr);
        }
    };
    QVERIFY(read());
    const QByteArray valid = TestSupport::readFile(path);
    if (fault.startsWith("one byte")) {
        QVERIFY(TestSupport::writeFile(path, valid + QByteArray(limit + 1 - valid.size(), ' ')));
    } else {
        const QString moved = QDir(m_root).filePath("moved.json");
        QVERIFY(QFile::rename(path, moved));
        QVERIFY(fault == "a FIFO" ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                                  : QFile::link(moved, path));
    }
    QVERIFY(!read());
}

QTEST_GUILESS_MAIN(tst_FileFaults)
#include "tst_filefaults.moc"
