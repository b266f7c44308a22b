// The registry file: its place per context, the compact write through ".tmp" and rename, and a
// temporary file that cannot be opened. The event texts are checked through the model; a file
// where a folder should be, read-only folders and a full disk with the file fault tests.
#include "registryfile.h"
#include "support/testsupport.h"

#include <memory>

class tst_RegistryFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_data = std::make_unique<TestSupport::DataRoot>(); }

    void pathAndCompactWrite()
    {
        const QString root = m_data->path();
        const QString path = RegistryFile::path("ctxB");
        QCOMPARE(path, root + "/ctxB/TavonCom/gamepads.json");
        QVERIFY(QFileInfo(root + "/ctxB/TavonCom").isDir());
        // An empty context stays below the application data folder.
        QCOMPARE(RegistryFile::path(QString()), root + "//TavonCom/gamepads.json");
        QVERIFY(RegistryFile::write(path, {{"lastCount", 1}}));
        QVERIFY(RegistryFile::write(path, {{"lastCount", 2}}));
        QCOMPARE(TestSupport::readFile(path), "{\"lastCount\":2}");
        QVERIFY(!QFile::exists(path + ".tmp"));
        QVERIFY(!RegistryFile::read(path + ".missing").isObject());
        for (const QByteArray& broken :
             {QByteArray("{\"devices\": {},}"), QByteArray("[1, 2]"), QByteArray()}) {
            QVERIFY(TestSupport::writeFile(path, broken));
            QVERIFY(!RegistryFile::read(path).isObject());
        }
    }

    void failedWriteKeepsTheOldFile()
    {
        const QString path = RegistryFile::path("ctxD");
        QVERIFY(RegistryFile::write(path, {{"lastCount", 7}}));
        // A folder where the temporary file should be: the write cannot open it.
        QVERIFY(QDir().mkpath(path + ".tmp"));
        QVERIFY(!RegistryFile::write(path, {{"lastCount", 8}}));
        QCOMPARE(RegistryFile::read(path).object().value("lastCount").toInt(), 7);
    }

private:
    std::unique_ptr<TestSupport::DataRoot> m_data;
};

QTEST_GUILESS_MAIN(tst_RegistryFile)
#include "tst_registryfile.moc"
