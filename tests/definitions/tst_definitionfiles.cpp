// The files of a definition: its meta.json (the normalised document written back, the listing over
// the search roots; which folders are definitions and the members read with their defaults are
// pinned down by the folder fuzz seeds and fuzz/expected/definitionfolder), the
// JSON object reader with its error texts, the atomic writers that leave the old file in place
// when the new content cannot be written in full (a file where the folder should be is checked for
// each writer with the file fault tests), and the picture store that converts to the format the
// target's name asks for, copies a file that is no picture unchanged and tells its failures.
#include "definitionmeta.h"
#include "imagestore.h"
#include "jsonio.h"
#include "picturefile.h"
#include "support/testsupport.h"

#include <QImage>
#include <QImageReader>

using namespace TestSupport;

class tst_DefinitionFiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_data = std::make_unique<DataRoot>(); }
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
        QTest::newRow("a png into a png suffix is kept byte for byte") << "image.png" << QByteArray("png");
    }

    void imageTakesFormatOfTarget()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, format);
        if (format == "jpeg" && !QImageReader::supportedImageFormats().contains("jpeg"))
            QSKIP("no JPEG image plugin on this machine");
        // Stored without compression, which an encoder would have changed.
        const QString source = m_dir.filePath("uncompressed.png");
        QVERIFY(QImage(m_png).save(source, "PNG", 100));
        const QString path = m_data->path() + "/" + target;
        QString error;
        QVERIFY2(ImageStore::storeImage(source, path, &error), qPrintable(error));
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), QSize(8, 6));
        QCOMPARE(readFile(path) == readFile(source), format == "png");
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

    void imageFailures()
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

    // Folders made by new or duplicate hold the same picture file: decoded once whatever the path,
    // while a file changed in place is decoded again.
    void samePictureDecodedOnce()
    {
        const QByteArray red = readFile(m_png);
        QImage other(4, 4, QImage::Format_RGB32);
        other.fill(Qt::blue);
        QVERIFY(other.save(m_data->path() + "/c.png", "PNG"));
        QVERIFY(writeFile(m_data->path() + "/a.png", red));
        QVERIFY(writeFile(m_data->path() + "/b.png", red));
        const int before = PictureFile::decodeCount();
        const auto shown = [&](const char* name) {
            return PictureFile::pixmap(m_data->path() + name).size();
        };
        QCOMPARE(shown("/a.png"), QSize(8, 6));
        QCOMPARE(shown("/b.png"), QSize(8, 6));
        QCOMPARE(shown("/c.png"), QSize(4, 4));
        QCOMPARE(PictureFile::decodeCount(), before + 2);
        QVERIFY(QFile::remove(m_data->path() + "/b.png"));
        QVERIFY(QFile::copy(m_data->path() + "/c.png", m_data->path() + "/b.png"));
        QCOMPARE(shown("/b.png"), QSize(4, 4));
        QCOMPARE(PictureFile::thumbnail(m_data->path() + "/a.png", QSize(4, 4)).size(), QSize(4, 3));
        QCOMPARE(PictureFile::thumbnail(m_data->path() + "/b.png", QSize(4, 4)).size(), QSize(4, 4));
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
        const QString path = m_data->path() + "/read.json";
        if (!content.isNull())
            QVERIFY(writeFile(path, content));

        bool readOk = !ok;
        QString error;
        QCOMPARE(JsonIo::readJsonObject(path, &readOk, &error), json(ok ? R"({"a": 1})" : "{}"));
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
            FileSizeLimit limit(1024);
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

    void usbIds_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<int>("id");
        QTest::newRow("number") << QJsonValue(1118) << 1118;
        QTest::newRow("text with upper-case 0X and blanks") << QJsonValue(" 0X045e ") << 1118;
        QTest::newRow("bare hexadecimal text") << QJsonValue("45e") << 1118;
        QTest::newRow("text that is no number") << QJsonValue("pad") << 0;
        QTest::newRow("only the prefix") << QJsonValue("0x") << 0;
        QTest::newRow("boolean") << QJsonValue(true) << 0;
    }

    void usbIds()
    {
        QFETCH(QJsonValue, value);
        QTEST(DefinitionMeta::parseUsbId(value), "id");
        QCOMPARE(DefinitionMeta::usbIdText(1118) + DefinitionMeta::usbIdText(0x12345), "0x045e0x12345");
    }

    void writeMetaNormalisesRecordAndFile()
    {
        const Definition def =
            writeDefinition(m_data->userRoot(), json(R"({"modifiedAt": "2024-05-01T12:00:00Z",
            "calibrationMode": "OVERRIDE", "vendorId": 1118, "productId": "0x045E", "name": "Pad",
            "deviceNames": [" X ", "x", "", "Y"]})"),
                            Overlay);
        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(def.folder, &record));
        record.deviceNames.append(" y ");
        record.scope = ProfileScope::Shared; // stale: writing recomputes it
        QString error;
        QVERIFY2(DefinitionMeta::writeMeta(record, &error), qPrintable(error));
        QCOMPARE(record.scope, ProfileScope::User);
        QCOMPARE(record.deviceNames, (QStringList{"X", "Y"}));
        QCOMPARE(record.calibrationOverrideFile, "calibration.override.json");

        QJsonObject written = readJson(def.folder + "/meta.json");
        const QString modifiedAt = written.take("modifiedAt").toString();
        QVERIFY(modifiedAt.endsWith('Z') && QDateTime::fromString(modifiedAt, Qt::ISODate).isValid());
        QCOMPARE(written,
                 json(R"({"type": "GamepadDefinderMeta", "version": 4, "id": ")" + def.id.toLatin1() +
                      R"(", "name": "Pad", "image": "image.png", "overlayFile": "overlay.json",
            "config": "configActionGamepad.json", "deviceName": "X", "deviceNames": ["X", "Y"],
            "createdAt": "2024-05-01T12:00:00Z", "calibrationMode": "override",
            "calibrationOverrideFile": "calibration.override.json", "vendorId": "0x045e",
            "productId": "0x045e"})"));

        // Any other mode is inherit, which names no override file; a blank creation time is now; a
        // record without overlay path names the default file.
        record.calibrationMode = "something else";
        record.createdAt = " ";
        record.vendorId = 0;
        record.overlayPath.clear();
        QVERIFY(DefinitionMeta::writeMeta(record));
        QVERIFY(record.calibrationMode == "inherit" && record.calibrationOverrideFile.isEmpty());
        QVERIFY(QDateTime::fromString(record.createdAt, Qt::ISODate).isValid());
        written = readJson(def.folder + "/meta.json");
        QVERIFY(!written.contains("calibrationOverrideFile"));
        QCOMPARE(
            QStringList({written.value("calibrationMode").toString(), written.value("createdAt").toString(),
                         written.value("vendorId").toString(), written.value("overlayFile").toString()}),
            QStringList({"inherit", record.createdAt, "0x0000", "overlay.json"}));
    }

    void listDefinitionsFirstRootWins()
    {
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        writeDefinition(m_data->sharedRoot(), {{"name", "Shared"}}, Overlay, id);
        const QString mine = writeDefinition(m_data->userRoot(), {{"name", "Mine"}}, Overlay, id).folder;
        const QString old =
            writeDefinition(m_data->path() + "/Gamepads", {}, Overlay, "00000000-0000-4000-8000-00000000000a")
                .folder;
        const QString sharedB =
            writeDefinition(m_data->sharedRoot(), {}, Overlay, "bbbbbbbb-0000-4000-8000-000000000000").folder;
        const QString sharedA =
            writeDefinition(m_data->sharedRoot(), {}, Overlay, "aaaaaaaa-0000-4000-8000-000000000000").folder;
        writeDefinition(m_data->sharedRoot(), {}, MetaOnly);                   // no overlay: not listed
        writeDefinition(m_data->path() + "/bob/GamepadProfiles", {}, Overlay); // another user's area

        const QList<DefinitionRecord> records = DefinitionMeta::listDefinitions();
        QStringList folders;
        for (const DefinitionRecord& record : records)
            folders << record.folder;
        QCOMPARE(folders, (QStringList{mine, sharedA, sharedB, old}));
        QCOMPARE(records.first().name, "Mine");
        QCOMPARE(records.first().scope, ProfileScope::User);

        // The listing reads through the kept documents: a hand edit is seen all the same.
        QJsonObject meta = JsonIo::readJsonObject(mine + "/meta.json");
        meta.insert("name", "Renamed by hand");
        QVERIFY(JsonIo::writeJsonAtomically(mine + "/meta.json", meta));
        QCOMPARE(DefinitionMeta::listDefinitions().first().name, "Renamed by hand");
    }

private:
    std::unique_ptr<DataRoot> m_data;
    QTemporaryDir m_dir;
    QString m_png;
};

QTEST_MAIN(tst_DefinitionFiles)
#include "tst_definitionfiles.moc"
