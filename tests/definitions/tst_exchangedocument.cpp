#include "definitionmeta.h"
#include "exchangedocument.h"
#include "jsonio.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace ExchangeDocument;

class tst_ExchangeDocument : public QObject
{
    Q_OBJECT

private slots:
    void buildDocumentCarriesNamePictureAndOverlay();
    void sanitizedName_data();
    void sanitizedName();
    void safeImageSuffix_data();
    void safeImageSuffix();
    void parseClipboard_data();
    void parseClipboard();
    void readDocumentFileErrors();
    void validateRefusesHostileDocuments_data();
    void validateRefusesHostileDocuments();
    void copyThenCreateGivesANewDefinition();
    void hostileSuffixStaysInsideTheFolder();
    void failedWriteLeavesNothingBehind();

private:
    static QByteArray pngBytes();
    static QJsonObject overlayDocument(int nodes = 1);
    static QJsonObject validDocument();
    QTemporaryDir m_dir;
};

QByteArray tst_ExchangeDocument::pngBytes()
{
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(QColor(20, 120, 200));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QJsonObject tst_ExchangeDocument::overlayDocument(int nodes)
{
    QJsonArray array;
    for (int i = 0; i < nodes; ++i)
        array.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("button")}});
    return {{QStringLiteral("type"), QStringLiteral("InteractiveOverlay")}, {QStringLiteral("nodes"), array}};
}

QJsonObject tst_ExchangeDocument::validDocument()
{
    return {{QStringLiteral("type"), QStringLiteral("TavonGamepad")},
            {QStringLiteral("name"), QStringLiteral("Pad")},
            {QStringLiteral("overlay"), overlayDocument()},
            {QStringLiteral("imageBase64"), QString::fromLatin1(pngBytes().toBase64())},
            {QStringLiteral("imageExt"), QStringLiteral("png")}};
}

void tst_ExchangeDocument::buildDocumentCarriesNamePictureAndOverlay()
{
    const QString picture = m_dir.filePath(QStringLiteral("Pic.PNG"));
    QVERIFY(JsonIo::writeBytesAtomically(picture, pngBytes()));
    DefinitionRecord record;
    record.name = QStringLiteral("Drone");
    record.imagePath = picture;
    record.deviceNames = {QStringLiteral(" Pad "), QStringLiteral("pad"), QStringLiteral("Stick")};
    const QJsonObject doc = buildDocument(record, QJsonDocument(overlayDocument(2)).toJson());

    QCOMPARE(doc.value("type").toString(), QStringLiteral("TavonGamepad"));
    QCOMPARE(doc.value("version").toInt(), 3);
    QCOMPARE(doc.value("name").toString(), QStringLiteral("Drone"));
    QCOMPARE(doc.value("overlay").toObject(), overlayDocument(2));
    QCOMPARE(QByteArray::fromBase64(doc.value("imageBase64").toString().toLatin1()), pngBytes());
    QCOMPARE(doc.value("imageExt").toString(), QStringLiteral("png"));
    QCOMPARE(doc.value("deviceName").toString(), QStringLiteral("Pad"));
    QCOMPARE(deviceNames(doc), QStringList({"Pad", "Stick"}));
    QVERIFY(isLinked(doc));
    QVERIFY(QDateTime::fromString(doc.value("createdAt").toString(), Qt::ISODate).isValid());

    // An unreadable picture and overlay text give empty members, and no name means unlinked.
    record.imagePath = m_dir.filePath(QStringLiteral("missing.jpg"));
    record.deviceNames.clear();
    const QJsonObject bare = buildDocument(record, "not json");
    QCOMPARE(bare.value("imageBase64").toString(), QString());
    QCOMPARE(bare.value("overlay").toObject(), QJsonObject());
    QVERIFY(!isLinked(bare));
    // The clipboard carries the compact text.
    QVERIFY(!toClipboardBytes(bare).contains('\n'));
}

void tst_ExchangeDocument::sanitizedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a slash and a colon become underscores") << "Pad/left:2"
                                                            << "Pad_left_2";
    QTest::newRow("an empty name gives Gamepad") << ""
                                                 << "Gamepad";
    QTest::newRow("only blanks give Gamepad") << "   "
                                              << "Gamepad";
    QTest::newRow("dots cannot climb out of the folder") << "../x"
                                                         << "___x";
    QTest::newRow("accents, hyphens and blanks stay") << " Caméra - drone "
                                                      << "Caméra - drone";
    QTest::newRow("long names are cut to 64") << QString(80, 'a') << QString(64, 'a');
}

void tst_ExchangeDocument::sanitizedName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(ExchangeDocument::sanitizedName(name), expected);
}

void tst_ExchangeDocument::safeImageSuffix_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("capitals are lowered") << "JPG"
                                          << "jpg";
    QTest::newRow("eight letters and digits pass") << "abcd1234"
                                                   << "abcd1234";
    QTest::newRow("nine characters give png") << "abcde1234"
                                              << "png";
    QTest::newRow("empty gives png") << ""
                                     << "png";
    QTest::newRow("a path gives png") << "png/../../evil"
                                      << "png";
    QTest::newRow("a blank gives png") << "jp g"
                                       << "png";
    QTest::newRow("a non-ASCII letter gives png") << "pné"
                                                  << "png";
}

void tst_ExchangeDocument::safeImageSuffix()
{
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(ExchangeDocument::safeImageSuffix(suffix), expected);
}

void tst_ExchangeDocument::parseClipboard_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("errorStart");
    const QByteArray valid = toClipboardBytes(validDocument());
    QTest::newRow("a copied document parses") << valid << true << false << "";
    QTest::newRow("text from another program is invalid")
        << QByteArray("hello") << false << false << QString::fromUtf8("Données presse‑papier invalides (");
    QTest::newRow("an array is invalid")
        << QByteArray("[1]") << false << false
        << QString::fromUtf8("Données presse‑papier invalides (not an object)");
    QTest::newRow("another type is unexpected") << QByteArray(R"({"type":"tavongamepad"})") << false << false
                                                << QString::fromUtf8("Type inattendu dans le presse‑papier.");
    QTest::newRow("more than 64 MiB is refused unparsed")
        << QByteArray(MaxDocumentBytes + 1, ' ') << false << true << "";
}

void tst_ExchangeDocument::parseClipboard()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(bool, refused);
    QFETCH(QString, errorStart);
    QJsonObject doc;
    QString error;
    bool wasRefused = !refused;
    QCOMPARE(parseClipboardDocument(bytes, &doc, &error, &wasRefused), ok);
    QCOMPARE(wasRefused, refused);
    QVERIFY2(errorStart.isEmpty() ? error.isEmpty() : error.startsWith(errorStart), qPrintable(error));
    QCOMPARE(doc.isEmpty(), !ok);
}

void tst_ExchangeDocument::readDocumentFileErrors()
{
    QString error;
    bool refused = true;
    const QString missing = m_dir.filePath(QStringLiteral("none.tavon.json"));
    QVERIFY(!readDocumentFile(missing, nullptr, &error, &refused));
    QCOMPARE(error, QString::fromUtf8("Impossible d’ouvrir %1").arg(missing));
    QVERIFY(!refused);

    const QString broken = m_dir.filePath(QStringLiteral("broken.json"));
    QVERIFY(JsonIo::writeBytesAtomically(broken, "{\"type\":"));
    QVERIFY(!readDocumentFile(broken, nullptr, &error));
    QVERIFY2(error.startsWith(QStringLiteral("JSON invalide dans %1 (").arg(broken)), qPrintable(error));

    // A sparse file just past the limit is refused without being read.
    const QString huge = m_dir.filePath(QStringLiteral("huge.json"));
    QFile file(huge);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MaxDocumentBytes + 1));
    file.close();
    error.clear();
    QVERIFY(!readDocumentFile(huge, nullptr, &error, &refused));
    QVERIFY(refused);
    QVERIFY(error.isEmpty());

    QJsonObject doc;
    const QString good = m_dir.filePath(QStringLiteral("good.tavon.json"));
    QVERIFY(JsonIo::writeJsonAtomically(good, validDocument()));
    QVERIFY(readDocumentFile(good, &doc, &error, &refused));
    QCOMPARE(doc, validDocument());
}

void tst_ExchangeDocument::validateRefusesHostileDocuments_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<bool>("ok");
    QTest::newRow("the valid document passes") << "name" << QJsonValue("Pad") << true;
    QTest::newRow("another type is refused") << "type" << QJsonValue("TavonGamepad2") << false;
    QTest::newRow("no overlay is refused") << "overlay" << QJsonValue() << false;
    QTest::newRow("an empty overlay is refused") << "overlay" << QJsonValue(QJsonObject()) << false;
    QTest::newRow("10,000 nodes pass") << "overlay" << QJsonValue(overlayDocument(MaxOverlayNodes)) << true;
    QTest::newRow("10,001 nodes are refused")
        << "overlay" << QJsonValue(overlayDocument(MaxOverlayNodes + 1)) << false;
    QTest::newRow("Base64 that does not decode is refused")
        << "imageBase64" << QJsonValue("iVBO*w==") << false;
    QTest::newRow("Base64 of a non-image is refused")
        << "imageBase64" << QJsonValue(QString::fromLatin1(QByteArray("not a picture").toBase64())) << false;
    QTest::newRow("a truncated picture is refused")
        << "imageBase64" << QJsonValue(QString::fromLatin1(pngBytes().left(60).toBase64())) << false;
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
    Contents contents;
    QCOMPARE(validateDocument(doc, &contents), ok);
}

void tst_ExchangeDocument::copyThenCreateGivesANewDefinition()
{
    QTemporaryDir root;
    const QString picture = root.filePath(QStringLiteral("source.png"));
    QVERIFY(JsonIo::writeBytesAtomically(picture, pngBytes()));
    DefinitionRecord source;
    source.id = QUuid::createUuid();
    source.name = QStringLiteral("Drone");
    source.imagePath = picture;

    QJsonObject doc;
    QVERIFY(parseClipboardDocument(
        toClipboardBytes(buildDocument(source, QJsonDocument(overlayDocument(3)).toJson())), &doc));
    Contents contents;
    QVERIFY(validateDocument(doc, &contents));
    DefinitionRecord created;
    QVERIFY(createDefinition(contents, root.path(), &created));

    QVERIFY(created.id != source.id && !created.id.isNull());
    QCOMPARE(QFileInfo(created.folder).fileName(), created.id.toString(QUuid::WithoutBraces));
    QCOMPARE(created.name, QStringLiteral("Drone"));
    QCOMPARE(created.calibrationMode, QStringLiteral("inherit"));
    QVERIFY(created.deviceNames.isEmpty());
    QCOMPARE(QFileInfo(created.imagePath).fileName(), QStringLiteral("image.png"));
    QFile image(created.imagePath);
    QVERIFY(image.open(QIODevice::ReadOnly));
    QCOMPARE(image.readAll(), pngBytes());
    QCOMPARE(JsonIo::readJsonObject(created.overlayPath), overlayDocument(3));
    QCOMPARE(JsonIo::readJsonObject(QDir(created.folder).filePath("configActionGamepad.json")),
             defaultMappingSkeleton());
}

void tst_ExchangeDocument::hostileSuffixStaysInsideTheFolder()
{
    QTemporaryDir root;
    QJsonObject doc = validDocument();
    doc.insert("imageExt", "png/../../../escaped");
    doc.remove("name");
    Contents contents;
    QVERIFY(validateDocument(doc, &contents));
    DefinitionRecord created;
    QVERIFY(createDefinition(contents, root.path(), &created));
    QCOMPARE(created.name, QStringLiteral("Gamepad importé"));
    QCOMPARE(created.imagePath, QDir(created.folder).filePath("image.png"));
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(created.folder).fileName()});
    QVERIFY(!QFileInfo::exists(QDir(root.path()).filePath("../escaped")));
}

void tst_ExchangeDocument::failedWriteLeavesNothingBehind()
{
    QTemporaryDir root;
    Contents contents;
    QVERIFY(validateDocument(validDocument(), &contents));
    contents.picture = QByteArray(64 * 1024, 'x'); // past the file size limit below
    DefinitionRecord created;
    QString error;

    // A file where the root folder should be: nothing to create, no message of its own.
    const QString blocked = root.filePath(QStringLiteral("file"));
    QVERIFY(JsonIo::writeBytesAtomically(blocked, "x"));
    QVERIFY(!createDefinition(contents, blocked, &created, &error));
    QVERIFY(error.isEmpty());

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 16 * 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool ok = createDefinition(contents, root.filePath("profiles"), &created, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!ok);
    QVERIFY2(error.startsWith(QString::fromUtf8("Échec écriture image : ")), qPrintable(error));
    QCOMPARE(QDir(root.filePath("profiles")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

QTEST_MAIN(tst_ExchangeDocument)
#include "tst_exchangedocument.moc"
