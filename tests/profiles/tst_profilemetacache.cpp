// The kept meta.json digests answer exactly as a fresh read of the disk would, after every kind of
// change a user can make by hand, and read nothing again when nothing changed.
#include "profilemetacache.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_ProfileMetaCache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void followsChangesOnDisk_data();
    void followsChangesOnDisk();
    void unchangedLibraryIsNotReadAgain();
    void freshlyWrittenFileIsReadAgain();

private:
    // "<folder>:<first device name>" of every definition, in visiting order.
    QStringList listing() const;
    void writeMeta(const QString& folder, const QString& deviceName, bool aged = true) const;
    QTemporaryDir m_dir;
};

void tst_ProfileMetaCache::init()
{
    ProfileMetaCache::clear();
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    writeMeta("a", "Pad A");
    writeMeta("b", "Pad B");
}

QStringList tst_ProfileMetaCache::listing() const
{
    QStringList out;
    ProfileMetaCache::forEachDefinition(m_dir.path(), [&out](const QString& folder, const auto& digest) {
        out << QFileInfo(folder).fileName() + ':' + digest.deviceNames.value(0);
    });
    return out;
}

// An aged file has a fixed modification time long past, so the cache may keep it.
void tst_ProfileMetaCache::writeMeta(const QString& folder, const QString& deviceName, bool aged) const
{
    const QString dir = m_dir.filePath(folder);
    QDir().mkpath(dir);
    QFile file(dir + "/meta.json");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral(R"({"type":"GamepadDefinderMeta","id":"%1","deviceName":"%2"})")
                   .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), deviceName)
                   .toUtf8());
    file.flush();
    if (aged)
        QVERIFY(file.setFileTime(QDateTime(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC),
                                 QFileDevice::FileModificationTime));
}

void tst_ProfileMetaCache::followsChangesOnDisk_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("a definition added is listed") << "add" << QStringList{"a:Pad A", "b:Pad B", "c:Pad C"};
    QTest::newRow("a definition removed is gone") << "remove" << QStringList{"b:Pad B"};
    QTest::newRow("a renamed folder is listed under its new name")
        << "rename" << QStringList{"b:Pad B", "z:Pad A"};
    QTest::newRow("a device re-linked by hand is seen") << "relink" << QStringList{"a:Pad Q", "b:Pad B"};
    QTest::newRow("a meta.json no longer a definition is dropped") << "retype" << QStringList{"b:Pad B"};
    QTest::newRow("a meta.json replaced by a folder is dropped") << "folder" << QStringList{"b:Pad B"};
}

void tst_ProfileMetaCache::followsChangesOnDisk()
{
    QFETCH(QString, change);
    QFETCH(QStringList, expected);
    QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B"}));
    const QString a = m_dir.filePath("a");
    if (change == "add") {
        writeMeta("c", "Pad C");
    } else if (change == "remove") {
        QVERIFY(QDir(a).removeRecursively());
    } else if (change == "rename") {
        QVERIFY(QDir().rename(a, m_dir.filePath("z")));
    } else if (change == "relink") {
        // Same size and the same modification time, as a copy keeping dates would leave it.
        writeMeta("a", "Pad Q");
    } else if (change == "retype") {
        QFile file(a + "/meta.json");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(R"({"type":"Other"})");
    } else if (change == "folder") {
        QVERIFY(QFile::remove(a + "/meta.json"));
        QVERIFY(QDir().mkpath(a + "/meta.json"));
    }
    QCOMPARE(listing(), expected);
}

void tst_ProfileMetaCache::unchangedLibraryIsNotReadAgain()
{
    listing();
    const int reads = ProfileMetaCache::readCount();
    QCOMPARE(listing(), (QStringList{"a:Pad A", "b:Pad B"}));
    QCOMPARE(ProfileMetaCache::readCount(), reads);
}

void tst_ProfileMetaCache::freshlyWrittenFileIsReadAgain()
{
    // Its times could stay the same through a second write within the file system's clock tick.
    writeMeta("a", "Pad A", false);
    listing();
    const int reads = ProfileMetaCache::readCount();
    listing();
    QCOMPARE(ProfileMetaCache::readCount(), reads + 1);
}

QTEST_GUILESS_MAIN(tst_ProfileMetaCache)
#include "tst_profilemetacache.moc"
