#include "exchangedocument.h"
#include "jsonio.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace ExchangeDocument;

class tst_ExchangeDocument : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void parseClipboard_data();
    void parseClipboard();
    void readDocumentFileErrors();
    void validateRefusesHostileDocuments_data();
    void validateRefusesHostileDocuments();
    void copyThenCreateGivesANewDefinition();
    void failedWriteLeavesNothingBehind();

private:
    static QByteArray pngBytes()
    {
        QImage image(40, 30, QImage::Format_ARGB32);
        image.fill(Qt::blue);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return buffer.data();
    }
    static QJsonObject overlay(int nodes = 1)
    {
        return {{"type", "InteractiveOverlay"},
                {"nodes", QJsonArray::fromVariantList(QVariantList(nodes, 0))}};
    }
    static QJsonObject validDocument()
    {
        return {{"type", "TavonGamepad"},
                {"name", "Pad"},
                {"overlay", overlay()},
                {"imageBase64", QString::fromLatin1(pngBytes().toBase64())}};
    }
    QTemporaryDir m_dir;
};

void tst_ExchangeDocument::names_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("a slash and a colon become underscores") << "Pad/left:2"
                                                            << "Pad_left_2"
                                                            << "png";
    QTest::newRow("empty gives Gamepad and png") << ""
                                                 << "Gamepad"
                                                 << "png";
    QTest::newRow("accents and hyphens stay, capitals are lowered") << " Caméra-2 "
                                                                    << "Caméra-2"
                                                                    << "png";
    QTest::newRow("dots and long texts are cut down") << QString(70, '.') << QString(64, '_') << "png";
    QTest::newRow("eight letters and digits pass") << "JPEG2000"
                                                   << "JPEG2000"
                                                   << "jpeg2000";
    QTest::newRow("a path climbing out gives png") << "png/../x"
                                                   << "png____x"
                                                   << "png";
    QTest::newRow("a non-ASCII letter gives png") << "pné"
                                                  << "pné"
                                                  << "png";
}

void tst_ExchangeDocument::names()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, suffix);
    QCOMPARE(sanitizedName(text), name);
    QCOMPARE(safeImageSuffix(text.trimmed()), suffix);
}

void tst_ExchangeDocument::parseClipboard_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("error");
    QTest::newRow("a copied document parses") << toClipboardBytes(validDocument()) << false << "";
    QTest::newRow("text from another program is invalid")
        << QByteArray("hello") << false
        << QString::fromUtf8("Données presse‑papier invalides (illegal value)");
    QTest::newRow("an array is invalid")
        << QByteArray("[1]") << false << QString::fromUtf8("Données presse‑papier invalides (not an object)");
    QTest::newRow("another type is unexpected") << QByteArray(R"({"type":"tavongamepad"})") << false
                                                << QString::fromUtf8("Type inattendu dans le presse‑papier.");
    QTest::newRow("more than 64 MiB is refused unparsed")
        << QByteArray(MaxDocumentBytes + 1, ' ') << true << "";
}

void tst_ExchangeDocument::parseClipboard()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, refused);
    QFETCH(QString, error);
    QJsonObject doc;
    QString actual;
    bool wasRefused = !refused;
    QCOMPARE(parseClipboardDocument(bytes, &doc, &actual, &wasRefused), error.isEmpty() && !refused);
    QCOMPARE(wasRefused, refused);
    QCOMPARE(actual, error);
}

void tst_ExchangeDocument::readDocumentFileErrors()
{
    QString error;
    bool refused = true;
    const QString missing = m_dir.filePath("none.tavon.json");
    QVERIFY(!readDocumentFile(missing, nullptr, &error, &refused) && !refused);
    QCOMPARE(error, QString::fromUtf8("Impossible d’ouvrir %1").arg(missing));
    const QString broken = m_dir.filePath("broken.json");
    QVERIFY(JsonIo::writeBytesAtomically(broken, "{\"type\":"));
    QVERIFY(!readDocumentFile(broken, nullptr, &error));
    QVERIFY2(error.startsWith(QStringLiteral("JSON invalide dans %1 (").arg(broken)), qPrintable(error));

    // A sparse file just past the limit is refused without being read.
    QFile huge(m_dir.filePath("huge.json"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(MaxDocumentBytes + 1));
    huge.close();
    QVERIFY(!readDocumentFile(huge.fileName(), nullptr, &error, &refused) && refused);
}

void tst_ExchangeDocument::validateRefusesHostileDocuments_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value"); // null removes the key
    QTest::addColumn<bool>("ok");
    QTest::newRow("another type is refused") << "type" << QJsonValue("TavonGamepad2") << false;
    QTest::newRow("no overlay is refused") << "overlay" << QJsonValue() << false;
    QTest::newRow("an empty overlay is refused") << "overlay" << QJsonValue(QJsonObject()) << false;
    QTest::newRow("10,000 nodes pass") << "overlay" << QJsonValue(overlay(MaxOverlayNodes)) << true;
    QTest::newRow("10,001 nodes are refused")
        << "overlay" << QJsonValue(overlay(MaxOverlayNodes + 1)) << false;
    QTest::newRow("Base64 that does not decode is refused")
        << "imageBase64" << QJsonValue("iVBO*w==") << false;
    QTest::newRow("Base64 of a non-image is refused")
        << "imageBase64" << QJsonValue("bm90IGFuIGltYWdl") << false;
    QTest::newRow("Base64 without padding passes")
        << "imageBase64"
        << QJsonValue(QString::fromLatin1(pngBytes().toBase64(QByteArray::OmitTrailingEquals))) << true;
    QTest::newRow("Base64 with a line break is refused")
        << "imageBase64" << QJsonValue(QString::fromLatin1(pngBytes().toBase64()).insert(8, '\n')) << false;
    QTest::newRow("a number as picture is refused") << "imageBase64" << QJsonValue(12) << false;
    QTest::newRow("no picture at all passes") << "imageBase64" << QJsonValue() << true;
}

void tst_ExchangeDocument::validateRefusesHostileDocuments()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QFETCH(bool, ok);
    QJsonObject doc = validDocument();
    if (value.isNull())
        doc.remove(key);
    else
        doc.insert(key, value);
    QCOMPARE(validateDocument(doc, nullptr), ok);
}

void tst_ExchangeDocument::copyThenCreateGivesANewDefinition()
{
    QTemporaryDir root;
    DefinitionRecord source;
    source.id = QUuid::createUuid();
    source.name = QStringLiteral("Drone");
    source.imagePath = root.filePath("Source.PNG");
    QVERIFY(JsonIo::writeBytesAtomically(source.imagePath, pngBytes()));
    QJsonObject doc = buildDocument(source, QJsonDocument(overlay(3)).toJson());
    QCOMPARE(doc.value("imageExt").toString(), QStringLiteral("png"));
    // The text written for files and the clipboard is that document.
    for (bool indented : {true, false}) {
        QJsonObject written =
            QJsonDocument::fromJson(documentBytes(source, QJsonDocument(overlay(3)).toJson(), indented))
                .object();
        written.insert("createdAt", doc.value("createdAt"));
        QCOMPARE(written, doc);
    }
    QVERIFY(!isLinked(doc));
    source.deviceNames = QStringList{" Pad ", "pad"};
    QCOMPARE(deviceNames(buildDocument(source, {})), QStringList{"Pad"});

    // A hostile suffix and a missing name: the picture still lands inside the new folder.
    doc.insert("imageExt", "png/../../../escaped");
    doc.remove("name");
    QVERIFY(parseClipboardDocument(toClipboardBytes(doc), &doc));
    Contents contents;
    QVERIFY(validateDocument(doc, &contents));
    DefinitionRecord created;
    QVERIFY(createDefinition(contents, root.filePath("profiles"), &created));
    QVERIFY(created.id != source.id && !created.id.isNull());
    QCOMPARE(QFileInfo(created.folder).fileName(), created.id.toString(QUuid::WithoutBraces));
    QCOMPARE(created.name, QStringLiteral("Gamepad importé"));
    QCOMPARE(created.calibrationMode, QStringLiteral("inherit"));
    QVERIFY(created.deviceNames.isEmpty());
    QCOMPARE(created.imagePath, QDir(created.folder).filePath("image.png"));
    QFile image(created.imagePath);
    QVERIFY(image.open(QIODevice::ReadOnly) && image.readAll() == pngBytes());
    QCOMPARE(JsonIo::readJsonObject(created.overlayPath), overlay(3));
    QCOMPARE(JsonIo::readJsonObject(QDir(created.folder).filePath("configActionGamepad.json")),
             defaultMappingSkeleton());
    QCOMPARE(QDir(root.filePath("profiles")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

void tst_ExchangeDocument::failedWriteLeavesNothingBehind()
{
    QTemporaryDir root;
    Contents contents;
    QVERIFY(validateDocument(validDocument(), &contents));
    contents.picture = QByteArray(64 * 1024, 'x'); // past the file size limit below
    QString error;
    // A file where the root folder should be: nothing to create, no message of its own.
    QVERIFY(JsonIo::writeBytesAtomically(root.filePath("file"), "x"));
    QVERIFY(!createDefinition(contents, root.filePath("file"), nullptr, &error) && error.isEmpty());

    bool ok = true;
    {
        TestSupport::FileSizeLimit limit(16 * 1024);
        ok = createDefinition(contents, root.filePath("profiles"), nullptr, &error);
    }
    QVERIFY(!ok);
    QVERIFY2(error.startsWith(QString::fromUtf8("Échec écriture image : ")), qPrintable(error));
    QVERIFY(QDir(root.filePath("profiles")).isEmpty());
}

QTEST_MAIN(tst_ExchangeDocument)
#include "tst_exchangedocument.moc"
