#include "jsonio.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class tst_JsonIo : public QObject
{
    Q_OBJECT

private slots:
    void readJsonObject_data();
    void readJsonObject();
    void writeBytesAtomicallyReplacesFile();
    void failedOpenKeepsOldFile();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void writeJsonAtomicallyLayout();

private:
    static QByteArray contents(const QString& path);
    static void writeFile(const QString& path, const QByteArray& bytes);
    QTemporaryDir m_dir;
};

QByteArray tst_JsonIo::contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_JsonIo::writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void tst_JsonIo::readJsonObject_data()
{
    QTest::addColumn<QByteArray>("content"); // null for no file
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("errorPrefix"); // %1 is the path

    QTest::newRow("object") << QByteArray(R"({"a": 1})") << true << QString();
    QTest::newRow("missing file") << QByteArray() << false << "Impossible d’ouvrir %1";
    QTest::newRow("empty file") << QByteArray("") << false << "JSON invalide dans %1 (";
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\xfe\xff", 4) << false
                                    << "JSON invalide dans %1 (";
    QTest::newRow("truncated object") << QByteArray(R"({"a": [1, 2)") << false << "JSON invalide dans %1 (";
    QTest::newRow("trailing comma in object")
        << QByteArray(R"({"a": 1,})") << false << "JSON invalide dans %1 (";
    QTest::newRow("array document") << QByteArray("[1]") << false << "JSON invalide dans %1 (";
}

void tst_JsonIo::readJsonObject()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QString, errorPrefix);
    const QString path = m_dir.filePath("read.json");
    QFile::remove(path);
    if (!content.isNull())
        writeFile(path, content);

    bool readOk = !ok;
    QString error;
    const QJsonObject object = JsonIo::readJsonObject(path, &readOk, &error);
    QCOMPARE(readOk, ok);
    const QJsonObject expected = ok ? QJsonObject{{"a", 1}} : QJsonObject();
    QCOMPARE(object, expected);
    if (ok) {
        QVERIFY(error.isEmpty());
    } else {
        QVERIFY2(error.startsWith(errorPrefix.arg(path)), qPrintable(error));
        if (errorPrefix.endsWith('('))
            QVERIFY(error.endsWith(')') && error.size() > errorPrefix.arg(path).size() + 1);
    }
    JsonIo::readJsonObject(path); // optional targets
}

void tst_JsonIo::writeBytesAtomicallyReplacesFile()
{
    const QString path = m_dir.filePath("replace.bin");
    QVERIFY(JsonIo::writeBytesAtomically(path, "first"));
    QVERIFY(JsonIo::writeBytesAtomically(path, QByteArray("\x00second", 7)));
    QCOMPARE(contents(path), QByteArray("\x00second", 7));
    QCOMPARE(QDir(m_dir.path()).entryList({"replace.bin*"}, QDir::Files), QStringList{"replace.bin"});
}

void tst_JsonIo::failedOpenKeepsOldFile()
{
    // A file where the folder should be.
    const QString blocker = m_dir.filePath("blocker");
    writeFile(blocker, "old");
    const QString path = blocker + "/meta.json";
    QString error;
    QVERIFY(!JsonIo::writeBytesAtomically(path, "new", &error));
    QCOMPARE(error, QString("Impossible d’écrire %1").arg(path));
    QCOMPARE(contents(blocker), QByteArray("old"));
    QVERIFY(!JsonIo::writeJsonAtomically(path, {{"a", 1}}));
}

void tst_JsonIo::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("a document larger than the write buffer") << 256 * 1024;
    // Below the 16 KiB buffer the bytes only reach the disk at commit, where Qt 6.4 misses the
    // short write.
    QTest::newRow("a small document") << 2048;
}

void tst_JsonIo::failedWriteKeepsOldFile()
{
    QFETCH(int, size);
    // The file size limit binds root too: the new content cannot be written in full.
    const QString path = m_dir.filePath("limited.json");
    const QByteArray old(64, 'o');
    writeFile(path, old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    QString error;
    const bool written = JsonIo::writeBytesAtomically(path, QByteArray(size, 'n'), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QVERIFY2(error == QString("Écriture incomplète dans %1").arg(path) ||
                 error.startsWith(QString("Impossible de valider l’écriture de %1 (").arg(path)),
             qPrintable(error));
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(m_dir.path()).entryList({"limited.json*"}, QDir::Files), QStringList{"limited.json"});
}

void tst_JsonIo::writeJsonAtomicallyLayout()
{
    const QString path = m_dir.filePath("layout.json");
    const QJsonObject object{{"b", 1}, {"a", "x"}};
    QVERIFY(JsonIo::writeJsonAtomically(path, object));
    QCOMPARE(contents(path), QJsonDocument(object).toJson(QJsonDocument::Indented));
    QVERIFY(JsonIo::writeJsonAtomically(path, object, nullptr, false));
    QCOMPARE(contents(path), QByteArray(R"({"a":"x","b":1})"));
}

QTEST_GUILESS_MAIN(tst_JsonIo)
#include "tst_jsonio.moc"
