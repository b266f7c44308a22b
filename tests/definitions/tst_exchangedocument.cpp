#include "exchangedocument.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QImage>

using namespace ExchangeDocument;

class tst_ExchangeDocument : public QObject
{
    Q_OBJECT

    static QByteArray png()
    {
        QImage image(40, 30, QImage::Format_ARGB32);
        image.fill(Qt::blue);
        QBuffer buffer; // opened by the writer
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
        return {{"type", "TavonGamepad"}, {"overlay", overlay()}, {"imageBase64", QString(png().toBase64())}};
    }
    QTemporaryDir m_dir;

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("suffix");
        auto row = [](const char* name, const QString& text, const QString& sanitized, const char* suffix) {
            QTest::newRow(name) << text << sanitized << QString(suffix);
        };
        row("a slash and a colon become underscores", "Pad/left:2", "Pad_left_2", "png");
        row("empty gives Gamepad and png", "", "Gamepad", "png");
        row("accents and hyphens stay", " Caméra-2 ", "Caméra-2", "png");
        row("dots and long texts are cut down", QString(70, '.'), QString(64, '_'), "png");
        row("eight letters and digits pass, lowered", "JPEG2000", "JPEG2000", "jpeg2000");
        row("a path climbing out gives png", "png/../x", "png____x", "png");
    }

    void names()
    {
        QFETCH(QString, text);
        QTEST(sanitizedName(text), "name");
        QTEST(safeImageSuffix(text.trimmed()), "suffix");
    }

    void readerErrors()
    {
        QString error;
        bool refused = true;
        QVERIFY(!parseClipboardDocument("hello", nullptr, &error, &refused) && !refused);
        QCOMPARE(error, QString::fromUtf8("Données presse‑papier invalides (illegal value)"));
        error.clear();
        QVERIFY(!parseClipboardDocument(QByteArray(MaxDocumentBytes + 1, ' '), nullptr, &error, &refused));
        QVERIFY(refused && error.isEmpty()); // not parsed: the caller shows its own failure

        const QString missing = m_dir.filePath("none.tavon.json");
        QVERIFY(!readDocumentFile(missing, nullptr, &error, &refused) && !refused);
        QCOMPARE(error, QString::fromUtf8("Impossible d’ouvrir %1").arg(missing));
        const QString broken = m_dir.filePath("broken.json");
        QVERIFY(TestSupport::writeFile(broken, "{\"type\":"));
        QVERIFY(!readDocumentFile(broken, nullptr, &error));
        QVERIFY2(error.startsWith(QStringLiteral("JSON invalide dans %1 (").arg(broken)), qPrintable(error));
    }

    void validateRefusesHostileDocuments_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // null removes the key
        QTest::addColumn<bool>("ok");
        const QString base64 = QString(png().toBase64());
        // Bytes after the end of a PNG are ignored by its reader; one more makes sure there is padding.
        const QString unpadded =
            QString((png() + QByteArray(png().size() % 3 == 0 ? 1 : 0, '\0')).toBase64()).remove('=');
        auto row = [](const char* name, const char* key, const QJsonValue& value, bool ok) {
            QTest::newRow(name) << QString(key) << value << ok;
        };
        row("another type is refused", "type", "TavonGamepad2", false);
        row("no overlay is refused", "overlay", QJsonValue(), false);
        row("an empty overlay is refused", "overlay", QJsonObject(), false);
        row("10,000 nodes pass", "overlay", overlay(MaxOverlayNodes), true);
        row("10,001 nodes are refused", "overlay", overlay(MaxOverlayNodes + 1), false);
        row("Base64 that does not decode is refused", "imageBase64", "iVBO*w==", false);
        row("Base64 of a picture this Qt cannot read passes", "imageBase64", "bm90IGFuIGltYWdl", true);
        row("Base64 without padding passes", "imageBase64", unpadded, true);
        row("Base64 with a line break is refused", "imageBase64", QString(base64).replace(8, 1, '\n'), false);
        row("a number as picture is refused", "imageBase64", 12, false);
        row("no picture at all passes", "imageBase64", QJsonValue(), true);
    }

    void validateRefusesHostileDocuments()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QJsonObject doc = validDocument();
        if (value.isNull())
            doc.remove(key);
        else
            doc.insert(key, value);
        QTEST(validateDocument(doc, nullptr), "ok");
    }

    // Before the names went through a set, this list took minutes to check and so failed by the
    // test's time limit; one pass takes a fraction of a second.
    void aMillionNamesAreReadInOnePass()
    {
        QJsonArray names{"", "  "};
        for (int i = 0; i < 1000000; ++i)
            names.append(QStringLiteral("Pad %1").arg(i));
        names.append("PAD 7");
        const QJsonObject doc{{"deviceNames", names}};
        QVERIFY(isLinked(doc));
        QVERIFY(!isLinked({{"deviceNames", QJsonArray{"", " ", 3}}, {"deviceName", "\t"}}));
        const QStringList read = deviceNames(doc);
        QCOMPARE(read.size(), 1000000);
        QCOMPARE(read.last(), "Pad 999999");
    }

    void documentTextAndHostileSuffix()
    {
        DefinitionRecord source;
        source.folder = m_dir.path();
        source.imagePath = m_dir.filePath("Source.PNG");
        source.deviceNames = QStringList{" Pad ", "pad"};
        QVERIFY(TestSupport::writeFile(source.imagePath, png()));
        const QByteArray overlayText = QJsonDocument(overlay(3)).toJson();
        QJsonObject doc = buildDocument(source, overlayText);
        QCOMPARE(doc.value("imageExt").toString(), QStringLiteral("png"));
        QCOMPARE(deviceNames(doc), QStringList{"Pad"});
        // The text written for files and the clipboard is that document.
        for (bool indented : {true, false}) {
            QJsonObject written =
                QJsonDocument::fromJson(documentBytes(source, overlayText, indented)).object();
            written.insert("createdAt", doc.value("createdAt"));
            QCOMPARE(written, doc);
        }

        // A hostile suffix and no name: the picture still lands inside the new folder.
        doc.insert("imageExt", "png/../../../escaped");
        Contents contents;
        QVERIFY(validateDocument(doc, &contents));
        DefinitionRecord created;
        QVERIFY(createDefinition(contents, m_dir.filePath("profiles"), &created));
        QCOMPARE(created.name, QStringLiteral("Gamepad importé"));
        QCOMPARE(created.imagePath, QDir(created.folder).filePath("image.png"));
        QCOMPARE(TestSupport::readFile(created.imagePath), png());
        QCOMPARE(QDir(m_dir.filePath("profiles")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                 1);
    }

    void failedWriteLeavesNothingBehind()
    {
        Contents contents;
        QVERIFY(validateDocument(validDocument(), &contents));
        contents.picture = QByteArray(64 * 1024, 'x'); // past the file size limit below
        QString error;
        // A file where the root folder should be: nothing to create, no message of its own.
        QVERIFY(TestSupport::writeFile(m_dir.filePath("file"), "x"));
        QVERIFY(!createDefinition(contents, m_dir.filePath("file"), nullptr, &error) && error.isEmpty());
        bool ok = true;
        {
            const TestSupport::FileSizeLimit limit(16 * 1024);
            ok = createDefinition(contents, m_dir.filePath("failed"), nullptr, &error);
        }
        QVERIFY(!ok);
        QVERIFY2(error.startsWith(QString::fromUtf8("Échec écriture image : ")), qPrintable(error));
        QVERIFY(QDir(m_dir.filePath("failed")).isEmpty());
    }
};

QTEST_MAIN(tst_ExchangeDocument)
#include "tst_exchangedocument.moc"
