// The kept meta.json digests answer exactly as a fresh read of the disk would, after every kind of
// change a user can make by hand, and read nothing again when nothing changed: with the kernel's
// change notices and by stat alone, as where none can be had.
#include "changewatch.h"
#include "profilemetacache.h"
#include "support/testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_ProfileMetaCache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("notices");
        QTest::newRow("with change notices") << true;
        QTest::newRow("by stat alone") << false;
    }

    void init()
    {
        QFETCH_GLOBAL(bool, notices);
        ProfileMetaCache::clear(notices);
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_root);
        writeMeta("a", "Pad A");
        writeMeta("b", "Pad B");
    }

    void followsChangesOnDisk_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("a definition added is listed")
            << "add" << QStringList{"a:Pad A", "b:Pad B", "c:Pad C"};
        QTest::newRow("a definition removed is gone") << "remove" << QStringList{"b:Pad B"};
        QTest::newRow("a renamed folder is listed under its new name")
            << "rename" << QStringList{"b:Pad B", "z:Pad A"};
        QTest::newRow("a device re-linked by hand is seen") << "relink" << QStringList{"a:Pad Q", "b:Pad B"};
        QTest::newRow("a meta.json no longer a definition is dropped") << "retype" << QStringList{"b:Pad B"};
        QTest::newRow("a meta.json replaced by a folder is dropped") << "folder" << QStringList{"b:Pad B"};
        QTest::newRow("a meta.json edited through a hard link elsewhere is seen")
            << "hardlink" << QStringList{"a:Pad Q", "b:Pad B"};
        QTest::newRow("a root whose path now leads to another folder is listed again")
            << "reroot" << QStringList{"a:Pad Q", "b:Pad B"};
        QTest::newRow("a change made while the notices overflowed is seen")
            << "overflow" << QStringList{"a:Pad Q", "b:Pad B"};
        QTest::newRow("a root removed lists nothing") << "noroot" << QStringList{};
    }

    void followsChangesOnDisk()
    {
        QFETCH(QString, change);
        QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B"}));
        const QString a = m_root + "/a";
        if (change == "add") {
            writeMeta("c", "Pad C");
        } else if (change == "remove") {
            QVERIFY(QDir(a).removeRecursively());
        } else if (change == "rename") {
            QVERIFY(QDir().rename(a, m_root + "/z"));
        } else if (change == "relink") {
            // Same size and the same modification time, as a copy keeping dates would leave it.
            writeMeta("a", "Pad Q");
        } else if (change == "retype") {
            QVERIFY(TestSupport::writeFile(a + "/meta.json", R"({"type":"Other"})"));
        } else if (change == "folder") {
            QVERIFY(QFile::remove(a + "/meta.json"));
            QVERIFY(QDir().mkpath(a + "/meta.json"));
        } else if (change == "hardlink") {
            const QString other = m_dir.filePath("other.json");
            QCOMPARE(::link(QFile::encodeName(a + "/meta.json"), QFile::encodeName(other)), 0);
            listing(); // kept again after the link count changed
            writeMetaAt(other, "Pad Q");
        } else if (change == "reroot") {
            // Only a folder above the root moves: nothing happens to the root itself. The new
            // root lists the same names.
            QVERIFY(QDir().rename(m_dir.filePath("parent"), m_dir.filePath("moved")));
            writeMeta("a", "Pad Q");
            writeMeta("b", "Pad B");
        } else if (change == "noroot") {
            QVERIFY(QDir(m_root).removeRecursively());
        } else if (change == "overflow") {
            // Created and removed in turn, so the kernel merges none of the notices: more than its
            // queue holds (16,384 by default).
            const QString noise = m_root + "/b/noise";
            for (int i = 0; i < 10000; ++i) {
                QVERIFY(TestSupport::writeFile(noise, ""));
                QVERIFY(QFile::remove(noise));
            }
            writeMeta("a", "Pad Q");
        }
        QTEST(listing(), "expected");
    }

    // A fresh file's times could stay the same through a second write within the file system's
    // clock tick, so only an aged one may be kept; within a batch it is read once.
    void onlyAFreshlyWrittenFileIsReadAgain_data()
    {
        QTest::addColumn<bool>("aged");
        QTest::addColumn<bool>("inBatch");
        QTest::addColumn<int>("reads");
        QTest::newRow("an unchanged library is not read again") << true << false << 0;
        QTest::newRow("a freshly written file is read again at each look-up") << false << false << 3;
        QTest::newRow("a freshly written file is read once in a batch") << false << true << 1;
    }

    void onlyAFreshlyWrittenFileIsReadAgain()
    {
        QFETCH_GLOBAL(bool, notices);
        QFETCH(bool, aged);
        QFETCH(int, reads);
        QFETCH(bool, inBatch);
        writeMeta("a", "Pad A", aged);
        listing();
        const int before = ProfileMetaCache::readCount();
        std::optional<ProfileMetaCache::Batch> batch;
        if (inBatch)
            batch.emplace();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B"}));
        // Watched from before its read, a fresh file has notices for any later change.
        QCOMPARE(ProfileMetaCache::readCount() - before, notices ? 0 : reads);
    }

    // Within a batch, nested ones included, the first look-up's listing stands; the next batch
    // sees what changed meanwhile.
    void aBatchListsEachRootOnce()
    {
        ProfileMetaCache::clear();
        {
            const ProfileMetaCache::Batch batch;
            // A look-up that stops at the first definition leaves the rest to the next one.
            QVERIFY(
                ProfileMetaCache::findDefinition(m_root, [](const QString&, const auto&) { return true; }));
            QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B"}));
            writeMeta("c", "Pad C");
            const ProfileMetaCache::Batch nested;
            QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B"}));
        }
        const ProfileMetaCache::Batch next;
        QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B", "c:Pad C"}));
    }

    // One stat of a folder stands for its files while the folder's times stay: every change of a
    // file in it moves them, even in a folder aged long ago.
    void aDefinitionsFilesFollowChangesOnDisk_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("a mapping file removed is no longer found") << "map.json"
                                                                   << "remove" << true << false;
        QTest::newRow("a mapping file replaced by a symlink is refused") << "map.json"
                                                                         << "link" << true << false;
        QTest::newRow("a mapping file replaced by a folder is refused") << "map.json"
                                                                        << "folder" << true << false;
        QTest::newRow("a picture added is found") << "image.png"
                                                  << "add" << false << true;
        QTest::newRow("a folder whose path now leads to another folder is checked again")
            << "map.json"
            << "reroot" << true << false;
        QTest::newRow("a folder removed has no files") << "map.json"
                                                       << "gone" << true << false;
    }

    void aDefinitionsFilesFollowChangesOnDisk()
    {
        QFETCH(QString, file);
        QFETCH(QString, change);
        const QString folder = m_root + "/a";
        const QString path = folder + '/' + file;
        QVERIFY(TestSupport::writeFile(folder + "/map.json", "{}"));
        QVERIFY(TestSupport::writeFile(m_dir.filePath("elsewhere.json"), "{}"));
        const timespec aged[2] = {{1704110400, 0}, {1704110400, 0}}; // 2024-01-01
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), aged, 0), 0);
        for (int i = 0; i < 2; ++i) // the second answer comes from what the first one saw
            QTEST(ProfileMetaCache::isRegularFileIn(folder, file), "before");
        if (change == "remove") {
            QVERIFY(QFile::remove(path));
        } else if (change == "link") {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::link(m_dir.filePath("elsewhere.json"), path));
        } else if (change == "folder") {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkpath(path));
        } else if (change == "add") {
            QVERIFY(TestSupport::writeFile(path, "png"));
        } else if (change == "reroot") {
            QVERIFY(QDir().rename(m_dir.filePath("parent"), m_dir.filePath("moved")));
            QVERIFY(QDir().mkpath(folder));
        } else if (change == "gone") {
            QVERIFY(QDir(folder).removeRecursively());
        }
        QTEST(ProfileMetaCache::isRegularFileIn(folder, file), "after");
        const ProfileMetaCache::Batch batch;
        QTEST(ProfileMetaCache::isRegularFileIn(folder, file), "after");
    }

    // A network or pseudo file system is not told of every change: nothing there is taken on trust.
    void onlyLocalFileSystemsAreTrusted()
    {
        ChangeWatch watch;
        QCOMPARE(watch.mark("/proc", ChangeWatch::Target::Folder).wd, -1);
        QVERIFY(!watch.unchanged(watch.mark("/proc/self", ChangeWatch::Target::FolderFollowed)));
    }

private:
    // "<folder>:<first device name>" of every definition, in visiting order.
    QStringList listing() const
    {
        QStringList out;
        ProfileMetaCache::forEachDefinition(m_root, [&out](const QString& folder, const auto& digest) {
            out << QFileInfo(folder).fileName() + ':' + digest.deviceNames.value(0);
        });
        return out;
    }

    // An aged file has a fixed modification time long past, so the cache may keep it.
    void writeMeta(const QString& folder, const QString& deviceName, bool aged = true) const
    {
        const QString dir = m_root + '/' + folder;
        QDir().mkpath(dir);
        writeMetaAt(dir + "/meta.json", deviceName, aged);
    }

    // Written in place, the same inode kept.
    static void writeMetaAt(const QString& path, const QString& deviceName, bool aged = true)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral(R"({"type":"GamepadDefinderMeta","id":"%1","deviceName":"%2"})")
                       .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), deviceName)
                       .toUtf8());
        file.flush();
        if (aged)
            QVERIFY(file.setFileTime(QDateTime(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC),
                                     QFileDevice::FileModificationTime));
    }

    QTemporaryDir m_dir;
    const QString m_root = m_dir.filePath("parent/lib");
};

QTEST_GUILESS_MAIN(tst_ProfileMetaCache)
#include "tst_profilemetacache.moc"
