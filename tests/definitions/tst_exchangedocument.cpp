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

    void documentTextIsTheDocument()
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
