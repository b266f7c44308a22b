// The overlay's two files. The document: what is written (what every version reads back, and the
// defaults that stand in for missing or mistyped members: the "reads-*" seeds of fuzz/corpus/overlay
// with fuzz/expected/overlay). The mapping file: key and mode spellings,
// the bridges derived from pastilles, bridges applied back onto pastilles, and the read-merge-write
// of the file.
#include "overlaydocument.h"
#include "overlaymapping.h"
#include "support/testsupport.h"

using namespace Overlay;
using TestSupport::json;

Q_DECLARE_METATYPE(QVector<Overlay::OverlayNode>)

namespace {

DocumentNode sampleNode(Kind kind, const QString& title, const QRectF& rect)
{
    DocumentNode entry;
    entry.node = OverlayNode::create(kind);
    entry.node.rect = rect;
    entry.id = QUuid::createUuid();
    entry.title = title;
    entry.freeAspect = kind != Kind::Button;
    return entry;
}

QJsonObject action(const QString& name, const QJsonObject& args = {})
{
    QJsonObject binding{{"ref", name}, {"action", name}};
    if (!args.isEmpty())
        binding.insert("args", args);
    return binding;
}

// A pastille whose slots read the given keys and carry the given bindings, in slot order.
OverlayNode node(Kind kind, const QStringList& keys, const QVector<QJsonObject>& bindings = {})
{
    OverlayNode node = OverlayNode::create(kind);
    for (int i = 0; i < keys.size() && i < node.sources.size(); ++i)
        node.sources[i].stringKey = keys.at(i);
    for (int i = 0; i < bindings.size() && i < node.bindings.size(); ++i)
        node.bindings[i] = bindings.at(i);
    return node;
}

} // namespace

class tst_OverlayFiles : public QObject
{
    Q_OBJECT
private slots:
    void writesFixedMembers()
    {
        QVector<DocumentNode> nodes{sampleNode(Kind::Button, "B", QRectF(0, 0, 0.1, 0.1)),
                                    sampleNode(Kind::DualJoyCross, "D", QRectF(0, 0, 0.2, 0.2))};
        nodes.first().node.publishMode = PublishMode::Always; // "state" is Normal whatever the pastille
        QJsonObject document = writeDocument(nodes, QSize(640, 360), Center);
        const QJsonArray written = document.take("nodes").toArray();
        QCOMPARE(document, json(R"({"type": "InteractiveOverlay", "version": 4, "coordSpace": "background",
                                   "bgMode": "Center", "overlaySize": {"w": 640, "h": 360}})"));
        const QJsonObject button = written.at(0).toObject();
        const QJsonObject dual = written.at(1).toObject();
        QCOMPARE(button.value("state").toString(), "Normal");
        QVERIFY(!button.contains("split") && !button.value("id").toString().startsWith('{'));
        QCOMPARE(button.value("sources").toObject().keys(), QStringList{"main"});
        QCOMPARE(dual.value("split").toBool(true), false);
        QCOMPARE(dual.value("sources").toObject().keys(), (QStringList{"x", "y"}));
    }

    void rejectsForeignType()
    {
        DocumentContents contents;
        contents.nextTitleNumber = 42;
        contents.nodes.append(DocumentNode());
        for (const QJsonValue& type : {QJsonValue("interactiveoverlay"), QJsonValue(4)})
            QVERIFY(!readDocument(QJsonObject{{"type", type}}, DocumentContext(), &contents));
        QVERIFY(contents.nextTitleNumber == 42 && contents.nodes.size() == 1);
    }

    // How the file's words read: publish modes (as written back), source keys and empty bindings.
    void spellings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reading");
        auto row = [](const char* name, const char* text, const char* reading) {
            QTest::newRow(name) << QString(text) << QString(reading);
        };
        row("mode active_only in capitals", "ACTIVE_ONLY", "mode activeOnly");
        row("mode activeonly with blanks around", "  activeonly ", "mode activeOnly");
        row("mode always", "always", "mode always");
        row("mode from an empty text", "", "mode onChange");
        row("mode from any other word", "active only", "mode onChange");
        row("key of an axis", "joy_2", "key axis 2");
        row("key of a button in capitals", "BUT_3", "key button 3");
        row("key of an axis followed by a letter", "joy_x", "key invalid axis");
        row("key with a signed number", "but_-1", "key invalid button");
        row("key with a number too large", "joy_99999999999", "key invalid axis");
        row("key of a gate", "gate_1", "key invalid axis");
        row("binding none in capitals", R"({"ref": "NoNe"})", "binding empty");
        row("binding with a blank ref and no action", R"({"ref": "  ", "args": {"a": 1}})", "binding empty");
        row("binding whose ref wins over its action", R"({"ref": "jump", "action": "none"})", "binding set");
        row("binding with an action and a blank ref", R"({"ref": "", "action": "fire"})", "binding set");
    }

    void spellings()
    {
        QFETCH(QString, text);
        QFETCH(QString, reading);
        if (reading.startsWith("mode ")) {
            QCOMPARE("mode " + publishModeToString(parsePublishMode(text)), reading);
        } else if (reading.startsWith("key ")) {
            const SourceKey key = parseSourceKey(text);
            QCOMPARE(QStringLiteral("key %1%2 %3")
                         .arg(key.valid ? "" : "invalid ", key.isAxis ? "axis" : "button",
                              key.valid ? QString::number(key.index) : QString())
                         .trimmed(),
                     reading);
            QVERIFY(key.valid || key.index == -1);
        } else {
            QCOMPARE(isBindingEmpty(json(text.toUtf8())) ? "binding empty" : "binding set", reading);
        }
    }

    void bridgesOfPastilles_data()
    {
        QTest::addColumn<QVector<OverlayNode>>("nodes");
        QTest::addColumn<QJsonArray>("catalog");
        QTest::addColumn<QStringList>("bridges"); // compact, "src" replaced by its "key"

        OverlayNode button = node(Kind::Button, {"but_1"}, {action("jump")});
        OverlayNode stick = node(Kind::SingleJoy, {"joy_0"}, {action("steer")});
        QTest::newRow("a button bridge has no publish mode, a joystick's has one")
            << QVector<OverlayNode>{button, stick} << QJsonArray()
            << QStringList{R"({"action":"jump","key":"but_1"})",
                           R"({"action":"steer","key":"joy_0","publishMode":"activeOnly"})"};
        QTest::newRow("arguments travel; slots without a key or bound to none give nothing")
            << QVector<OverlayNode>{node(Kind::Button, {"but_2"}, {action(" zoom ", {{"step", 2}})}),
                                    node(Kind::Button, {"  "}, {action("fire")}),
                                    node(Kind::Button, {"but_3"}, {action("NONE")})}
            << QJsonArray() << QStringList{R"({"action":"zoom","args":{"step":2},"key":"but_2"})"};
        OverlayNode combined = node(Kind::DualJoyCross, {"joy_0", "joy_1"}, {{}, action("look")});
        combined.publishMode = PublishMode::Always;
        const QString look = R"({"action":"look","joyXKey":"joy_0","joyYKey":"joy_1","key":"joy_%1",)"
                             R"("publishGroupKey":"id-0","publishMode":"always"})";
        QTest::newRow("a combined stick gives one bridge per axis in one group")
            << QVector<OverlayNode>{combined} << QJsonArray() << QStringList{look.arg(0), look.arg(1)};
        QTest::newRow("a combined stick without a y key gives nothing")
            << QVector<OverlayNode>{node(Kind::DualJoyCross, {"joy_0", ""}, {action("look"), action("look")})}
            << QJsonArray() << QStringList();
        OverlayNode split = node(Kind::DualJoyCross, {"joy_2", "joy_3"}, {action("pan"), action("tilt")});
        split.split = true;
        QTest::newRow("a split stick maps its axes independently")
            << QVector<OverlayNode>{split} << QJsonArray()
            << QStringList{R"({"action":"pan","key":"joy_2","publishMode":"activeOnly"})",
                           R"({"action":"tilt","key":"joy_3","publishMode":"activeOnly"})"};
        OverlayNode gates = node(Kind::DualJoyCross, {"joy_0", ""}, {});
        gates.gateNames = {" gate_up ", " ", "gate_down"};
        gates.gateBindings = {action("up", {{"k", true}}), action("left"), QJsonObject()};
        QTest::newRow("named and bound gates give button bridges")
            << QVector<OverlayNode>{gates} << QJsonArray()
            << QStringList{R"({"action":"up","args":{"k":true},"key":"gate_up","pastilleGate":true})"};

        // The first catalog entry of that name, compared ignoring case, and its first parameter of
        // that name whose default is a joystick reference.
        const QJsonArray catalog = json(R"({"c": [
            {"name": "other", "params": [{"name": "joy", "default": "param:joy_wrong"}]},
            {"name": "MoveCam", "params": [{"name": "joy", "default": " PARAM:JOY_LEFT "},
                                           {"name": "speed", "default": "1"},
                                           {"name": " ", "default": "param:joy_blank"}]},
            {"name": "movecam", "params": [{"name": "speed", "default": "param:joy_second"}]}]})")
                                       .value("c")
                                       .toArray();
        const QJsonObject moveArgs{{"joy", " ARG_0 "}, {"speed", "arg_0"}, {"n", 3}};
        OverlayNode camera = node(Kind::DualJoyCross, {"joy_0", "joy_1"},
                                  {action("movecam", moveArgs), action("movecam", moveArgs)});
        const QString moved =
            R"({"action":"movecam","args":{"joy":"PARAM:JOY_LEFT","n":3,"speed":"arg_0"},)"
            R"("joyXKey":"joy_0","joyYKey":"joy_1","key":"joy_%1","publishGroupKey":"id-0",)"
            R"("publishMode":"activeOnly"})";
        QTest::newRow("a combined stick hands its joystick to the action's joystick parameter")
            << QVector<OverlayNode>{camera} << catalog << QStringList{moved.arg(0), moved.arg(1)};
        camera.split = true;
        const QString asBound = R"({"action":"movecam","args":{"joy":" ARG_0 ","n":3,"speed":"arg_0"},)"
                                R"("key":"joy_%1","publishMode":"activeOnly"})";
        QTest::newRow("split axes are no joystick: their arguments stay as bound")
            << QVector<OverlayNode>{camera} << catalog << QStringList{asBound.arg(0), asBound.arg(1)};
    }

    void bridgesOfPastilles()
    {
        QFETCH(QVector<OverlayNode>, nodes);
        QFETCH(QJsonArray, catalog);
        QVector<MappingNode> entries;
        for (int i = 0; i < nodes.size(); ++i)
            entries.append({&nodes.at(i), QStringLiteral("id-%1").arg(i), QString()});
        const QJsonObject mapping = materializeMapping(entries, catalog);
        QCOMPARE(mapping.keys(), QStringList{"bridges"});
        QStringList bridges;
        for (const QJsonValue& value : mapping.value("bridges").toArray()) {
            QJsonObject bridge = value.toObject();
            const QString key = bridge.value("src").toObject().value("stringKey").toString();
            const QString src =
                R"({"deviceType": "gamepade", "deviceId": 0, "packetId": 1, "stringKey": "%1",)"
                R"( "isJoy": %2})";
            QCOMPARE(bridge.take("src").toObject(),
                     json(src.arg(key, key.startsWith("joy_") ? "true" : "false").toUtf8()));
            // Every bridge names the pastille it comes from.
            QVERIFY(bridge.take("pastilleId").toString().startsWith("id-"));
            bridge.insert("key", key);
            bridges << QString::fromUtf8(QJsonDocument(bridge).toJson(QJsonDocument::Compact));
        }
        QTEST(bridges, "bridges");
    }

    // By key, then by title; a combined stick's axis binds both slots, a gate binds by its name.
    void applyBindsByKeyThenTitle()
    {
        OverlayNode stick = node(Kind::DualJoyCross, {"joy_0", "joy_1"});
        stick.gateNames = {"Gate_A"};
        stick.gateBindings = {QJsonObject()};
        QVector<OverlayNode> nodes{node(Kind::Button, {"but_1"}), node(Kind::Button, {""}),
                                   node(Kind::Button, {"BUT_1"}), node(Kind::Button, {""}), stick};
        const QStringList titles{"A", "Start", "B", "start", "Stick"};
        const QJsonObject mapping = json(R"({"bridges": [
            {"src": {"stringKey": " But_1 "}, "action": "fire", "args": {"power": 2}},
            {"src": {"stringKey": "START"}, "dst": [{"x": 1}, {"ref": "pause"}]},
            {"src": {"stringKey": "but_9"}, "action": "lost"}, "not an object",
            {"src": {"stringKey": "joy_1"}, "action": "look"}, {"src": {"stringKey": "gate_a"}, "action": "dash"}]})");
        QVERIFY(applyBridges(&nodes, titles, mapping));
        const QJsonObject fire{{"ref", "fire"}, {"action", "fire"}, {"args", QJsonObject{{"power", 2}}}};
        // One key, several slots: all bound; one title, several pastilles: only the first.
        const QVector<QJsonObject> firsts{nodes[0].bindings[0], nodes[1].bindings[0], nodes[2].bindings[0],
                                          nodes[3].bindings[0]};
        QCOMPARE(firsts, (QVector<QJsonObject>{fire, QJsonObject{{"ref", "pause"}}, fire, QJsonObject()}));
        QCOMPARE(nodes.at(1).sources.first().stringKey, "start");
        QCOMPARE(nodes.at(4).bindings, (QVector<QJsonObject>{action("look"), action("look")}));
        QCOMPARE(nodes.at(4).gateBindings, QVector<QJsonObject>{action("dash")});
    }

    void applyUpdatesSourcesOrReportsMisses()
    {
        QVector<OverlayNode> nodes{node(Kind::SingleJoy, {"joy_4"})};
        // The second time, missing or unusable members keep what the slot had.
        for (const char* bridge : {R"("src": {"stringKey": "joy_4", "isJoy": false, "deviceType": " pad ",
                                       "deviceId": "5", "packetId": 2.7}, "publishMode": "always")",
                                   R"("src": {"stringKey": "joy_4", "isJoy": "yes", "deviceType": "  ",
                                       "deviceId": [1]})"}) {
            QVERIFY(applyBridges(&nodes, {"J"},
                                 json(QByteArray(R"({"bridges": [{"action": "x", )") + bridge + "}]}")));
            QCOMPARE(nodes.first().sources.first(), (InputSource{false, "pad", 5, 2, "joy_4"}));
            QCOMPARE(nodes.first().publishMode, PublishMode::Always);
        }
        // Without bridges nothing is applied; bridges that are no list reset every binding.
        QVERIFY(!applyBridges(&nodes, {"J"}, QJsonObject()));
        QCOMPARE(nodes.first().bindings.first(), action("x"));
        QVERIFY(!applyBridges(&nodes, {"J"}, QJsonObject{{"bridges", "nope"}}));
        QCOMPARE(nodes.first().bindings.first(), QJsonObject());
    }

    void serviceReferencesMerge()
    {
        const QJsonObject camera{{"name", "Camera"}, {"params", QJsonArray()}};
        QJsonArray services{camera};
        const QJsonArray refs{" camera ", QJsonObject{{"name", "Lights"}}, "lights", QJsonObject{{"x", 1}},
                              ""};
        QVERIFY(mergeServiceReferences(&services, refs));
        QCOMPARE(services,
                 (QJsonArray{services.at(0), QJsonObject{{"name", "Lights"}}, QJsonObject{{"x", 1}}, ""}));
        QJsonArray unchanged{QJsonObject{{"name", "a"}}};
        QVERIFY(!mergeServiceReferences(&unchanged, QJsonArray{"A"}));
        QVERIFY(!mergeServiceReferences(&unchanged, QJsonValue("a")));
    }

    // A missing file is told apart from a broken one, which the save starts over with empty host
    // sections; a file where the folder should be is told in English when asked (the French text
    // and a missing folder are covered by the file fault tests).
    void loadAndSaveOfMissingOrBrokenFiles()
    {
        QTemporaryDir dir;
        QJsonObject mapping{{"untouched", true}};
        QCOMPARE(Overlay::loadMappingFile(dir.filePath("none.json"), &mapping), MappingLoad::Missing);
        const QString broken = dir.filePath("broken.json");
        QVERIFY(TestSupport::writeFile(broken, "{ \"signals\": [1], "));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Gamepad mapping load failed error= .*"));
        QString error;
        QCOMPARE(Overlay::loadMappingFile(broken, &mapping, &error), MappingLoad::Failed);
        QVERIFY(error.contains(broken));
        QCOMPARE(mapping, (QJsonObject{{"untouched", true}}));

        QVERIFY(saveMappingFile(broken, QJsonArray()));
        QCOMPARE(Overlay::loadMappingFile(broken, &mapping), MappingLoad::Loaded);
        QCOMPARE(mapping, json(R"({"signals": [], "onStartup": [], "onClose": [], "timers": [], "ref": [],
                                  "bridges": []})"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Gamepad mapping save failed error= \"Cannot write .*"));
        MappingFileOptions english;
        english.englishErrors = true;
        QVERIFY(!saveMappingFile(broken + "/configActionGamepad.json", QJsonArray(), &error, english));
        QVERIFY(error.startsWith("Cannot write "));
    }

    void saveKeepsHostSectionsAndExtraDestinations()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("configActionGamepad.json");
        QVERIFY(TestSupport::writeFile(path, R"({"bridges": [
            {"src": {"stringKey": "but_1", "deviceType": "other"}, "dst": [{"ref": "a"}, {"ref": "wrong"}]},
            {"src": {"stringKey": "BUT_1 ", "deviceType": ""}, "dst": [{"ref": "a"}, {"ref": "b"}, {"ref": "c"}]},
            {"src": {"stringKey": "but_2"}, "dst": [{"ref": "z"}, {"ref": "y"}]}]})"));
        const QJsonArray bridges{
            QJsonObject{{"src", QJsonObject{{"stringKey", "but_1"}, {"deviceType", "gamepade"}}},
                        {"dst", QJsonArray{QJsonObject{{"action", QJsonObject{{"op", 1}}}}}}},
            QJsonObject{{"src", QJsonObject{{"stringKey", "but_2"}}}, {"action", "named"}}};
        MappingFileOptions options;
        options.keepExtraDestinations = true;
        QVERIFY(saveMappingFile(path, bridges, nullptr, options));
        const QJsonArray saved = TestSupport::readJson(path).value("bridges").toArray();
        QCOMPARE(saved.at(0).toObject().value("dst"),
                 json(R"({"d": [{"action": {"op": 1}}, {"ref": "b"}, {"ref": "c"}]})").value("d"));
        QVERIFY(!saved.at(1).toObject().contains("dst"));

        // The editor's save does not carry them over; the host's sections stay and "refs" goes.
        QVERIFY(TestSupport::writeFile(path, R"({"signals": [1], "onStartup": [{"a": 1}], "onClose": ["x"],
            "timers": [2], "custom": {"keep": true}, "refs": [3], "ref": ["Camera"], "bridges": [{"old": true}]})"));
        QVERIFY(saveMappingFile(path, bridges));
        QJsonObject expected = json(R"({"signals": [1], "onStartup": [{"a": 1}], "onClose": ["x"],
            "timers": [2], "custom": {"keep": true}, "ref": []})");
        expected.insert("bridges", bridges);
        QCOMPARE(TestSupport::readJson(path), expected);
    }
};

QTEST_GUILESS_MAIN(tst_OverlayFiles)
#include "tst_overlayfiles.moc"
