// The file helpers of a definition: reading a JSON object file with its error texts, the atomic
// writers that leave the old file in place when the new content cannot be written in full (a file
// where the folder should be is checked for each writer with the file fault tests), and the
// picture store that converts to the format the target's name asks for, copies a file that is no
// picture unchanged and tells its failures in French.
#include "imagestore.h"
#include "jsonio.h"
#include "support/testsupport.h"

#include <QImage>
#include <QImageReader>

using TestSupport::readFile;
using TestSupport::writeFile;

class tst_JsonIo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::red);
        // Saved without a suffix: the reader must recognise it by content.
        m_png = m_dir.filePath("source");
        QVERIFY(image.save(m_png, "PNG"));
    }

    void imageTakesFormatOfTarget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("format");

        QTest::newRow("jpg suffix") << "image.jpg" << QByteArray("jpeg");
        QTest::newRow("upper-case JPEG suffix") << "image.JPEG" << QByteArray("jpeg");
        QTest::newRow("bmp suffix") << "image.bmp" << QByteArray("bmp");
        QTest::newRow("unknown suffix falls back to png") << "image.gif" << QByteArray("png");
        QTest::newRow("no suffix falls back to png") << "image" << QByteArray("png");
    }

    void imageTakesFormatOfTarget()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, format);
        if (format == "jpeg" && !QImageReader::supportedImageFormats().contains("jpeg"))
            QSKIP("no JPEG image plugin on this machine");
        const QString path = m_dir.filePath(target);
        QFile::remove(path);
        QString error;
        QVERIFY2(ImageStore::storeImage(m_png, path, &error), qPrintable(error));
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), QSize(8, 6));
    }

    void nonImageIsCopiedUnchanged()
    {
        const QString source = m_dir.filePath("notes.png");
        const QByteArray bytes("not really a picture\x00\x01", 22);
        QVERIFY(writeFile(source, bytes));
        const QString target = m_dir.filePath("copy.png");
        QVERIFY(writeFile(target, "previous picture"));

        QVERIFY(ImageStore::storeImage(source, target));
        QCOMPARE(readFile(target), bytes);
        QVERIFY(ImageStore::storeImage(source, source)); // onto itself: kept
        QCOMPARE(readFile(source), bytes);
    }

    void failures()
    {
        QString error;
        const QString missing = m_dir.filePath("missing.png");
        const QString target = m_dir.filePath("never.png");
        QVERIFY(!ImageStore::storeImage(missing, target, &error));
        QCOMPARE(error, QString("Impossible de copier l’image %1 vers %2").arg(missing, target));

        // A file where the target folder should be.
        const QString blocked = m_png + "/image.png";
        QVERIFY(!ImageStore::storeImage(m_png, blocked, &error));
        QVERIFY2(error.startsWith(QString("Échec écriture image %1 (").arg(blocked)), qPrintable(error));
        QVERIFY(!ImageStore::storeImage(m_png, blocked)); // no error target
    }

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
            QVERIFY(writeFile(path, content));

        bool readOk = !ok;
        QString error;
        QCOMPARE(JsonIo::readJsonObject(path, &readOk, &error), TestSupport::json(ok ? R"({"a": 1})" : "{}"));
        QCOMPARE(readOk, ok);
        QVERIFY2(ok ? error.isEmpty() : error.startsWith(errorPrefix.arg(path)), qPrintable(error));
        if (errorPrefix.endsWith('(')) // the parser's reason follows
            QVERIFY(error.endsWith(')') && error.size() > errorPrefix.arg(path).size() + 1);
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
        QVERIFY(writeFile(path, old));
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
    QString m_png;
};

QTEST_GUILESS_MAIN(tst_JsonIo)
#include "tst_jsonio.moc"
