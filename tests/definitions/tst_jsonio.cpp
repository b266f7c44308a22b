// The JSON helpers: reading an object file with its error texts, and the atomic writers that
// leave the old file in place when the new content cannot be written in full (a file where the
// folder should be is checked for each writer with the file fault tests).
#include "jsonio.h"
#include "support/testsupport.h"

using TestSupport::readFile;

class tst_JsonIo : public QObject
{
    Q_OBJECT
private slots:
    void readJsonObject_data()
    {
        QTest::addColumn<QByteArray>("content"); // null for no file
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("errorPrefix"); // %1 is the path

        QTest::newRow("an object") << QByteArray(R"({"a": 1})") << true << QString();
        QTest::newRow("a missing file") << QByteArray() << false << "Impossible d’ouvrir %1";
        QTest::newRow("an empty file") << QByteArray("") << false << "JSON invalide dans %1 (";
        QTest::newRow("binary garbage")
            << QByteArray("\x00\x01\xfe\xff", 4) << false << "JSON invalide dans %1 (";
        QTest::newRow("a trailing comma in an object")
            << QByteArray(R"({"a": 1,})") << false << "JSON invalide dans %1 (";
        QTest::newRow("an array document is told in French")
            << QByteArray("[1]") << false << "JSON invalide dans %1 (le document n’est pas un objet)";
    }

    void readJsonObject()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ok);
        QFETCH(QString, errorPrefix);
        const QString path = m_dir.filePath("read.json");
        QFile::remove(path);
        if (!content.isNull())
            QVERIFY(TestSupport::writeFile(path, content));

        bool readOk = !ok;
        QString error;
        QCOMPARE(JsonIo::readJsonObject(path, &readOk, &error), TestSupport::json(ok ? R"({"a": 1})" : "{}"));
        QCOMPARE(readOk, ok);
        if (ok) {
            QVERIFY(error.isEmpty());
        } else {
            QVERIFY2(error.startsWith(errorPrefix.arg(path)), qPrintable(error));
            if (errorPrefix.endsWith('('))
                QVERIFY(error.endsWith(')') && error.size() > errorPrefix.arg(path).size() + 1);
        }
        JsonIo::readJsonObject(path); // optional targets
        if (content == "[1]") {
            JsonIo::readJsonObject(path, nullptr, &error, JsonIo::Language::English);
            QCOMPARE(error, QString("Invalid JSON in %1 (not an object)").arg(path));
        }
    }

    void writersReplaceTheFile()
    {
        const QString path = m_dir.filePath("layout.json");
        QVERIFY(JsonIo::writeBytesAtomically(path, "a longer first content"));
        const QJsonObject object{{"b", 1}, {"a", "x"}};
        QVERIFY(JsonIo::writeJsonAtomically(path, object));
        QCOMPARE(readFile(path), QJsonDocument(object).toJson(QJsonDocument::Indented));
        QVERIFY(JsonIo::writeJsonAtomically(path, object, nullptr, false));
        QCOMPARE(readFile(path), QByteArray(R"({"a":"x","b":1})"));
        QCOMPARE(QDir(m_dir.path()).entryList({"layout.json*"}, QDir::Files), QStringList{"layout.json"});
    }

    void failedWriteKeepsOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("a document larger than the write buffer") << 256 * 1024;
        // Below the 16 KiB buffer the bytes only reach the disk at commit, where Qt 6.4 misses
        // the short write.
        QTest::newRow("a small document") << 2048;
    }

    void failedWriteKeepsOldFile()
    {
        QFETCH(int, size);
        // The file size limit binds root too: the new content cannot be written in full.
        const QString path = m_dir.filePath("limited.json");
        const QByteArray old(64, 'o');
        QVERIFY(TestSupport::writeFile(path, old));
        QString error;
        bool written = false;
        {
            TestSupport::FileSizeLimit limit(1024);
            QVERIFY(limit.isActive());
            written = JsonIo::writeBytesAtomically(path, QByteArray(size, 'n'), &error);
        }

        QVERIFY(!written);
        QVERIFY2(error == QString("Écriture incomplète dans %1").arg(path) ||
                     error.startsWith(QString("Impossible de valider l’écriture de %1 (").arg(path)),
                 qPrintable(error));
        QCOMPARE(readFile(path), old);
        QCOMPARE(QDir(m_dir.path()).entryList({"limited.json*"}, QDir::Files), QStringList{"limited.json"});
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_JsonIo)
#include "tst_jsonio.moc"
