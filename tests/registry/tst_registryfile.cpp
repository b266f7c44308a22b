#include "registryfile.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class tst_RegistryFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void pathCreatesTheContextAndTavonComFolders();
    void writeIsCompactAndReplacesTheFile();
    void unreadableContent_data();
    void unreadableContent();
    void failedWriteKeepsTheOldFile();
    void eventTexts_data();
    void eventTexts();
};

void tst_RegistryFile::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("tst_registryfile"));
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
}

void tst_RegistryFile::pathCreatesTheContextAndTavonComFolders()
{
    const QString root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString path = RegistryFile::path(QStringLiteral("ctxA"));
    QCOMPARE(path, root + QStringLiteral("/ctxA/TavonCom/gamepads.json"));
    QVERIFY(QFileInfo(root + QStringLiteral("/ctxA/TavonCom")).isDir());
    // An empty context stays below the application data folder.
    QCOMPARE(RegistryFile::path(QString()), root + QStringLiteral("//TavonCom/gamepads.json"));
    QVERIFY(QFileInfo(root + QStringLiteral("/TavonCom")).isDir());
}

void tst_RegistryFile::writeIsCompactAndReplacesTheFile()
{
    const QString path = RegistryFile::path(QStringLiteral("ctxB"));
    QVERIFY(RegistryFile::write(path, QJsonObject{{QStringLiteral("lastCount"), 1}}));
    QVERIFY(RegistryFile::write(path, QJsonObject{{QStringLiteral("lastCount"), 2}}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("{\"lastCount\":2}"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".tmp")));
    QCOMPARE(RegistryFile::read(path).object().value(QStringLiteral("lastCount")).toInt(), 2);
}

void tst_RegistryFile::unreadableContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("trailing comma in object") << QByteArray("{\"devices\": {},}");
    QTest::newRow("array at the root") << QByteArray("[1, 2]");
    QTest::newRow("empty file") << QByteArray();
}

void tst_RegistryFile::unreadableContent()
{
    QFETCH(QByteArray, content);
    const QString path = RegistryFile::path(QStringLiteral("ctxC"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    QVERIFY(!RegistryFile::read(path).isObject());
    QVERIFY(!RegistryFile::read(path + QStringLiteral(".missing")).isObject());
}

void tst_RegistryFile::failedWriteKeepsTheOldFile()
{
    const QString path = RegistryFile::path(QStringLiteral("ctxD"));
    QVERIFY(RegistryFile::write(path, QJsonObject{{QStringLiteral("lastCount"), 7}}));
    // A folder where the temporary file should be: the write cannot open it.
    QVERIFY(QDir().mkpath(path + QStringLiteral(".tmp")));
    QVERIFY(!RegistryFile::write(path, QJsonObject{{QStringLiteral("lastCount"), 8}}));
    QCOMPARE(RegistryFile::read(path).object().value(QStringLiteral("lastCount")).toInt(), 7);

    // A file where the TavonCom folder should be: nothing is written, nothing crashes.
    const QString root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(QDir().mkpath(root + QStringLiteral("/ctxE")));
    QFile blocker(root + QStringLiteral("/ctxE/TavonCom"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString blocked = RegistryFile::path(QStringLiteral("ctxE"));
    QVERIFY(!RegistryFile::write(blocked, QJsonObject{{QStringLiteral("lastCount"), 1}}));
    QVERIFY(!QFile::exists(blocked));

    // A size limit cuts the new registry short: the old one stays, no temporary file is left.
    QDir().rmdir(path + QStringLiteral(".tmp"));
    QJsonObject big{{QStringLiteral("lastCount"), 9},
                    {QStringLiteral("pad"), QString(4096, QLatin1Char('p'))}};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    const bool written = RegistryFile::write(path, big);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!written);
    QCOMPARE(RegistryFile::read(path).object().value(QStringLiteral("lastCount")).toInt(), 7);
    QVERIFY(!QFile::exists(path + QStringLiteral(".tmp")));
}

void tst_RegistryFile::eventTexts_data()
{
    QTest::addColumn<ComProviderEvent>("event");
    QTest::addColumn<int>("severity");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    const QString n = QStringLiteral("Pad X");
    const QString u = QStringLiteral("gp:4");
    QTest::newRow("new pad") << RegistryEvents::detected(n, u) << 0 << QStringLiteral("Gamepad detected")
                             << QStringLiteral("Pad X (gp:4) is now available.");
    QTest::newRow("unselected pad gone")
        << RegistryEvents::removed(n, u) << 0 << QStringLiteral("Gamepad removed")
        << QStringLiteral("Pad X (gp:4) is no longer available.");
    QTest::newRow("selected pad gone")
        << RegistryEvents::selectedDisconnected(n, u) << 1 << QStringLiteral("Selected gamepad disconnected")
        << QStringLiteral("Pad X (gp:4) is no longer available.");
    QTest::newRow("device connected")
        << RegistryEvents::connected(n, u) << 0 << QStringLiteral("Gamepad connected")
        << QStringLiteral("Pad X (gp:4) is connected.");
    QTest::newRow("device stopped responding")
        << RegistryEvents::connectionLost(n, u) << 1 << QStringLiteral("Gamepad connection lost")
        << QStringLiteral("Pad X (gp:4) is no longer responding.");
}

void tst_RegistryFile::eventTexts()
{
    QFETCH(ComProviderEvent, event);
    QTEST(int(event.severity), "severity");
    QTEST(event.title, "title");
    QTEST(event.message, "message");
    QCOMPARE(event.source, QStringLiteral("Gamepad"));
}

QTEST_GUILESS_MAIN(tst_RegistryFile)
#include "tst_registryfile.moc"
