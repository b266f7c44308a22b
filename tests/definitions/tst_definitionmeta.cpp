#include "definitionmeta.h"
#include "support/testsupport.h"

#include <memory>

class tst_DefinitionMeta : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_data = std::make_unique<TestSupport::DataRoot>(); }

    void brokenFolderIsNoDefinition_data()
    {
        QTest::addColumn<QByteArray>("meta"); // null for no meta.json
        QTest::addColumn<bool>("withOverlay");

        const QByteArray id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1();
        QTest::newRow("missing meta.json") << QByteArray() << true;
        QTest::newRow("binary garbage") << QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF", 10) << true;
        QTest::newRow("truncated document")
            << QByteArray("{\"type\":\"GamepadDefinderMeta\",\"id\":\"" + id) << true;
        QTest::newRow("valid JSON of the wrong shape")
            << QByteArray("[\"GamepadDefinderMeta\",\"" + id + "\"]") << true;
        QTest::newRow("another type")
            << QByteArray("{\"type\":\"GamepadDefinder\",\"id\":\"" + id + "\"}") << true;
        QTest::newRow("no id") << QByteArray(R"({"type":"GamepadDefinderMeta"})") << true;
        QTest::newRow("malformed id")
            << QByteArray(R"({"type":"GamepadDefinderMeta","id":"not-a-uuid"})") << true;
        QTest::newRow("no overlay file")
            << QByteArray("{\"type\":\"GamepadDefinderMeta\",\"id\":\"" + id + "\"}") << false;
    }

    void brokenFolderIsNoDefinition()
    {
        QFETCH(QByteArray, meta);
        QFETCH(bool, withOverlay);
        const QString folder = data() + "/GamepadProfiles/def";
        QVERIFY(QDir().mkpath(folder));
        if (!meta.isNull())
            writeFile(folder + "/meta.json", meta);
        if (withOverlay)
            writeFile(folder + "/overlay.json", "{}");

        DefinitionRecord record;
        record.name = "untouched";
        QVERIFY(!DefinitionMeta::loadDefinition(folder, &record));
        QCOMPARE(record.name, "untouched");
        QVERIFY(DefinitionMeta::listDefinitions().isEmpty());
    }

    void loadReadsMembers()
    {
        QJsonObject meta = validMeta();
        meta["name"] = " Spaced ";
        meta["image"] = "pic.jpg";
        meta["overlayFile"] = "layout.json";
        meta["deviceNames"] = QJsonArray{"A", " a ", "  ", "C"};
        meta["deviceName"] = " B ";
        meta["modifiedAt"] = " 2024-05-01T12:00:00Z ";
        meta["calibrationMode"] = "OVERRIDE";
        meta["calibrationOverrideFile"] = " mine.json ";
        meta["vendorId"] = 1118;
        meta["productId"] = "0x028E";
        const QString folder = writeFolder(data() + "/alice/GamepadProfiles", meta);

        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(folder, &record));
        QCOMPARE(record.id, QUuid::fromString(meta["id"].toString()));
        QCOMPARE(record.name, " Spaced ");
        QCOMPARE(record.folder, folder);
        QCOMPARE(record.imagePath, folder + "/pic.jpg");
        QCOMPARE(record.overlayPath, folder + "/layout.json");
        QCOMPARE(record.deviceNames, (QStringList{"B", "A", "C"}));
        QCOMPARE(record.createdAt, "2024-05-01T12:00:00Z");
        QCOMPARE(record.calibrationMode, "override");
        QCOMPARE(record.calibrationOverrideFile, "mine.json");
        QCOMPARE(record.vendorId, 1118);
        QCOMPARE(record.productId, 0x028e);
        QCOMPARE(record.scope, ProfileScope::User);
    }

    void loadFallsBackOnWrongTypes()
    {
        QJsonObject meta = validMeta();
        meta["name"] = 12;
        meta["image"] = true;
        meta["deviceNames"] = "Pad";
        meta["createdAt"] = "  ";
        meta["calibrationMode"] = 1;
        meta["vendorId"] = QJsonArray{1};
        const QString folder = writeFolder(data() + "/GamepadProfiles", meta);

        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(folder, &record));
        QCOMPARE(record.name, "Gamepad");
        QCOMPARE(record.imagePath, folder + "/image.png");
        QCOMPARE(record.overlayPath, folder + "/overlay.json");
        QVERIFY(record.deviceNames.isEmpty());
        QVERIFY(record.createdAt.isEmpty());
        QCOMPARE(record.calibrationMode, "inherit");
        QCOMPARE(record.vendorId, 0);
        QCOMPARE(record.scope, ProfileScope::Shared);
    }

    void parseUsbId_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<int>("id");

        QTest::newRow("number") << QJsonValue(1118) << 1118;
        QTest::newRow("text with 0x") << QJsonValue("0x045E") << 1118;
        QTest::newRow("text with upper-case 0X and blanks") << QJsonValue(" 0X045e ") << 1118;
        QTest::newRow("bare hexadecimal text") << QJsonValue("45e") << 1118;
        QTest::newRow("text that is no number") << QJsonValue("pad") << 0;
        QTest::newRow("only the prefix") << QJsonValue("0x") << 0;
        QTest::newRow("empty text") << QJsonValue("") << 0;
        QTest::newRow("boolean") << QJsonValue(true) << 0;
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 0;
    }

    void parseUsbId()
    {
        QFETCH(QJsonValue, value);
        QFETCH(int, id);
        QCOMPARE(DefinitionMeta::parseUsbId(value), id);
    }

    void usbIdText()
    {
        QCOMPARE(DefinitionMeta::usbIdText(1118), "0x045e");
        QCOMPARE(DefinitionMeta::usbIdText(0), "0x0000");
        QCOMPARE(DefinitionMeta::usbIdText(0x12345), "0x12345");
    }

    void writeMetaNormalisesRecordAndFile()
    {
        QJsonObject meta = validMeta();
        meta["modifiedAt"] = "2024-05-01T12:00:00Z";
        meta["calibrationMode"] = "OVERRIDE";
        meta["vendorId"] = 1118;
        meta["productId"] = "0x045E";
        meta["deviceNames"] = QJsonArray{" X ", "x", "", "Y"};
        const QString folder = writeFolder(data() + "/alice/GamepadProfiles", meta);

        DefinitionRecord record;
        QVERIFY(DefinitionMeta::loadDefinition(folder, &record));
        record.deviceNames.append(" y ");
        record.scope = ProfileScope::Shared; // stale: writing recomputes it
        QString error;
        QVERIFY2(DefinitionMeta::writeMeta(record, &error), qPrintable(error));
        QCOMPARE(record.scope, ProfileScope::User);
        QCOMPARE(record.deviceNames, (QStringList{"X", "Y"}));
        QCOMPARE(record.calibrationOverrideFile, "calibration.override.json");

        const QJsonObject written = readFile(folder + "/meta.json");
        QCOMPARE(written.keys(),
                 (QStringList{"calibrationMode", "calibrationOverrideFile", "config", "createdAt",
                              "deviceName", "deviceNames", "id", "image", "modifiedAt", "name", "overlayFile",
                              "productId", "type", "vendorId", "version"}));
        QCOMPARE(written["type"].toString(), "GamepadDefinderMeta");
        QCOMPARE(written["version"].toInt(), 4);
        QCOMPARE(written["id"].toString(), meta["id"].toString());
        QCOMPARE(written["image"].toString(), "image.png");
        QCOMPARE(written["overlayFile"].toString(), "overlay.json");
        QCOMPARE(written["config"].toString(), "configActionGamepad.json");
        QCOMPARE(written["deviceName"].toString(), "X");
        QCOMPARE(written["deviceNames"].toArray(), (QJsonArray{"X", "Y"}));
        QCOMPARE(written["createdAt"].toString(), "2024-05-01T12:00:00Z");
        QVERIFY(QDateTime::fromString(written["modifiedAt"].toString(), Qt::ISODate).isValid());
        QVERIFY(written["modifiedAt"].toString().endsWith('Z'));
        QCOMPARE(written["calibrationMode"].toString(), "override");
        QCOMPARE(written["calibrationOverrideFile"].toString(), "calibration.override.json");
        QCOMPARE(written["vendorId"].toString(), "0x045e");
        QCOMPARE(written["productId"].toString(), "0x045e");

        DefinitionRecord reread;
        QVERIFY(DefinitionMeta::loadDefinition(folder, &reread));
        QCOMPARE(reread.createdAt, record.createdAt);
        QCOMPARE(reread.deviceNames, record.deviceNames);
        QCOMPARE(reread.calibrationOverrideFile, record.calibrationOverrideFile);
    }

    void writeMetaInheritDropsOverrideFile()
    {
        DefinitionRecord record;
        record.id = QUuid::createUuid();
        record.folder = data() + "/GamepadProfiles/" + record.id.toString(QUuid::WithoutBraces);
        QVERIFY(QDir().mkpath(record.folder));
        record.calibrationMode = "something else";
        record.calibrationOverrideFile = "stale.json";
        QVERIFY(DefinitionMeta::writeMeta(record));
        QCOMPARE(record.calibrationMode, "inherit");
        QVERIFY(record.calibrationOverrideFile.isEmpty());
        QVERIFY(!record.createdAt.isEmpty());
        const QJsonObject written = readFile(record.folder + "/meta.json");
        QCOMPARE(written["calibrationMode"].toString(), "inherit");
        QVERIFY(!written.contains("calibrationOverrideFile"));
        QCOMPARE(written["createdAt"].toString(), record.createdAt);
        QCOMPARE(written["deviceName"].toString(), QString());
        QCOMPARE(written["vendorId"].toString(), "0x0000");
    }

    void writeMetaIntoMissingFolderFails()
    {
        // A file where the definition folder should be.
        writeFile(data() + "/GamepadProfiles/blocked", "x");
        DefinitionRecord record;
        record.id = QUuid::createUuid();
        record.folder = data() + "/GamepadProfiles/blocked";
        QString error;
        QVERIFY(!DefinitionMeta::writeMeta(record, &error));
        QCOMPARE(error, QString("Impossible d’écrire %1").arg(record.folder + "/meta.json"));
    }

    void listDefinitionsFirstRootWins()
    {
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QJsonObject shared = validMeta(id);
        shared["name"] = "Shared";
        QJsonObject mine = validMeta(id);
        mine["name"] = "Mine";
        writeFolder(data() + "/GamepadProfiles", shared);
        const QString userFolder = writeFolder(data() + "/alice/GamepadProfiles", mine);
        const QString oldFolder =
            writeFolder(data() + "/Gamepads", validMeta("00000000-0000-4000-8000-00000000000a"));
        const QString sharedB =
            writeFolder(data() + "/GamepadProfiles", validMeta("bbbbbbbb-0000-4000-8000-000000000000"));
        const QString sharedA =
            writeFolder(data() + "/GamepadProfiles", validMeta("aaaaaaaa-0000-4000-8000-000000000000"));
        writeFolder(data() + "/GamepadProfiles", validMeta(), false); // no overlay: not listed
        writeFolder(data() + "/bob/GamepadProfiles", validMeta());    // another user's area

        const QList<DefinitionRecord> records = DefinitionMeta::listDefinitions();
        QStringList folders;
        for (const DefinitionRecord& record : records)
            folders << record.folder;
        QCOMPARE(folders, (QStringList{userFolder, sharedA, sharedB, oldFolder}));
        QCOMPARE(records.first().name, "Mine");
        QCOMPARE(records.first().scope, ProfileScope::User);
    }

private:
    QString data() const { return m_data->path(); }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QVERIFY(TestSupport::writeFile(path, bytes));
    }
    static QJsonObject readFile(const QString& path) { return TestSupport::readJson(path); }
    // A folder with meta.json and overlay.json; returns the folder.
    static QString writeFolder(const QString& root, const QJsonObject& meta, bool withOverlay = true)
    {
        const QString folder = root + "/" + meta.value("id").toString("no-id");
        writeFile(folder + "/meta.json", QJsonDocument(meta).toJson());
        if (withOverlay)
            writeFile(folder + "/" + meta.value("overlayFile").toString("overlay.json"), "{}");
        return folder;
    }

    static QJsonObject validMeta(const QString& id = {})
    {
        return QJsonObject{{"type", "GamepadDefinderMeta"},
                           {"id", id.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : id},
                           {"name", "Pad"}};
    }

    std::unique_ptr<TestSupport::DataRoot> m_data;
};

QTEST_GUILESS_MAIN(tst_DefinitionMeta)
#include "tst_definitionmeta.moc"
