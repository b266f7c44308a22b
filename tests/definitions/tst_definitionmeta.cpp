// A definition's meta.json: which folders are definitions, the members read with their defaults,
// the normalised document written back, and the listing over the search roots.
#include "definitionmeta.h"
#include "support/testsupport.h"

using namespace TestSupport;

class tst_DefinitionMeta : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_data = std::make_unique<DataRoot>(); }

    void brokenFolderIsNoDefinition_data()
    {
        QTest::addColumn<QByteArray>("meta"); // null for no meta.json
        QTest::addColumn<bool>("withOverlay");
        const QByteArray id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1();
        QTest::newRow("missing meta.json") << QByteArray() << true;
        QTest::newRow("truncated document")
            << QByteArray("{\"type\":\"GamepadDefinderMeta\",\"id\":\"" + id) << true;
        QTest::newRow("another type")
            << QByteArray("{\"type\":\"GamepadDefinder\",\"id\":\"" + id + "\"}") << true;
        QTest::newRow("malformed id")
            << QByteArray(R"({"type":"GamepadDefinderMeta","id":"not-a-uuid"})") << true;
        QTest::newRow("no overlay file")
            << QByteArray("{\"type\":\"GamepadDefinderMeta\",\"id\":\"" + id + "\"}") << false;
    }

    void brokenFolderIsNoDefinition()
    {
        QFETCH(QByteArray, meta);
        QFETCH(bool, withOverlay);
        const QString folder = m_data->sharedRoot() + "/def";
        QVERIFY(QDir().mkpath(folder));
        if (!meta.isNull())
            QVERIFY(writeFile(folder + "/meta.json", meta));
        if (withOverlay)
            QVERIFY(writeFile(folder + "/overlay.json", "{}"));
        DefinitionRecord record;
        record.name = "untouched";
        QVERIFY(!DefinitionMeta::loadDefinition(folder, &record));
        QCOMPARE(record.name, "untouched");
        QVERIFY(DefinitionMeta::listDefinitions().isEmpty());
    }

    void loadReadsMembers()
    {
        const Definition def =
            writeDefinition(m_data->userRoot(), json(R"({"name": " Spaced ", "image": "pic.jpg",
            "overlayFile": "layout.json", "deviceNames": ["A", " a ", "  ", "C"], "deviceName": " B ",
            "modifiedAt": " 2024-05-01T12:00:00Z ", "calibrationMode": "OVERRIDE",
            "calibrationOverrideFile": " mine.json ", "vendorId": 1118, "productId": "0x028E"})"),
                            Overlay);
        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(def.folder, &record));
        QCOMPARE(record.id, QUuid::fromString(def.id));
        QCOMPARE(record.folder, def.folder);
        // No createdAt: modifiedAt stands in.
        QCOMPARE(describe(record),
                 "' Spaced ' pic.jpg layout.json B,A,C 2024-05-01T12:00:00Z override mine.json "
                 "1118:0x28e user");
    }

    void loadFallsBackOnWrongTypes()
    {
        const Definition def = writeDefinition(m_data->sharedRoot(), json(R"({"name": 12, "image": true,
            "deviceNames": "Pad", "createdAt": "  ", "calibrationMode": 1, "vendorId": [1]})"),
                                               Overlay);
        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(def.folder, &record));
        QCOMPARE(describe(record), "'Gamepad' image.png overlay.json   inherit  0:0x0 shared");
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
    }

    void writeMetaKeepsOnlyAFileName_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("written");
        QTest::newRow("a file in a sub-folder is named by its file name")
            << QString("pictures/pad.png") << QString("pad.png");
        QTest::newRow("a trailing slash is ignored") << QString("pad.png/") << QString("pad.png");
        QTest::newRow("an empty name gives the default") << QString("") << QString("image.png");
        QTest::newRow("the folder itself gives the default") << QString(".") << QString("image.png");
        QTest::newRow("the parent folder gives the default") << QString("..") << QString("image.png");
    }

    void writeMetaKeepsOnlyAFileName()
    {
        QFETCH(QString, image);
        QFETCH(QString, written);
        const Definition def = writeDefinition(m_data->userRoot(), {{"image", image}}, Overlay);
        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(def.folder, &record));
        QString error;
        QVERIFY2(DefinitionMeta::writeMeta(record, &error), qPrintable(error));
        QCOMPARE(readJson(def.folder + "/meta.json").value("image").toString(), written);
        // Read back, the name stays what it is.
        QVERIFY(DefinitionMeta::loadDefinition(def.folder, &record));
        QVERIFY2(DefinitionMeta::writeMeta(record, &error), qPrintable(error));
        QCOMPARE(readJson(def.folder + "/meta.json").value("image").toString(), written);
    }

    void writeMetaInheritDropsOverrideFile()
    {
        DefinitionRecord record;
        record.id = QUuid::createUuid();
        record.folder = m_data->sharedRoot() + "/" + record.id.toString(QUuid::WithoutBraces);
        QVERIFY(QDir().mkpath(record.folder));
        record.calibrationMode = "something else";
        record.calibrationOverrideFile = "stale.json";
        QVERIFY(DefinitionMeta::writeMeta(record));
        QCOMPARE(record.calibrationMode, "inherit");
        QVERIFY(record.calibrationOverrideFile.isEmpty() && !record.createdAt.isEmpty());
        const QJsonObject written = readJson(record.folder + "/meta.json");
        QCOMPARE(written["calibrationMode"].toString(), "inherit");
        QVERIFY(!written.contains("calibrationOverrideFile"));
        QCOMPARE(written["createdAt"].toString(), record.createdAt);
        QCOMPARE(written["vendorId"].toString(), "0x0000");
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
    }

private:
    // "'<name>' <image> <overlay> <names> <createdAt> <mode> <override file> <vendor>:<product> <scope>",
    // files relative to the folder.
    static QString describe(const DefinitionRecord& r)
    {
        const QDir folder(r.folder);
        return QStringLiteral("'%1' %2 %3 %4 %5 %6 %7 %8:0x%9 %10")
            .arg(r.name, folder.relativeFilePath(r.imagePath), folder.relativeFilePath(r.overlayPath),
                 r.deviceNames.join(','), r.createdAt, r.calibrationMode, r.calibrationOverrideFile)
            .arg(r.vendorId)
            .arg(r.productId, 0, 16)
            .arg(r.scope == ProfileScope::User ? "user" : "shared");
    }
    std::unique_ptr<DataRoot> m_data;
};

QTEST_GUILESS_MAIN(tst_DefinitionMeta)
#include "tst_definitionmeta.moc"
