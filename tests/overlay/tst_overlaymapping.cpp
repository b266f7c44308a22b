#include "overlaymapping.h"
#include "support/testsupport.h"

using namespace Overlay;

namespace {

QJsonObject action(const QString& name, const QJsonObject& args = {})
{
    QJsonObject binding{{"ref", name}, {"action", name}};
    if (!args.isEmpty())
        binding.insert("args", args);
    return binding;
}

OverlayNode nodeWithKeys(Kind kind, const QStringList& keys)
{
    OverlayNode node = OverlayNode::create(kind);
    for (int i = 0; i < keys.size() && i < node.sources.size(); ++i)
        node.sources[i].stringKey = keys.at(i);
    return node;
}

QJsonArray bridgesOf(const QVector<OverlayNode>& nodes, const QJsonArray& catalog = {})
{
    QVector<MappingNode> entries;
    for (int i = 0; i < nodes.size(); ++i)
        entries.append({&nodes.at(i), QStringLiteral("id-%1").arg(i), QString()});
    const QJsonObject mapping = materializeMapping(entries, catalog);
    [&] { QCOMPARE(mapping.keys(), QStringList{"bridges"}); }();
    return mapping.value("bridges").toArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(TestSupport::writeFile(path, bytes));
}

} // namespace

class tst_OverlayMapping : public QObject
{
    Q_OBJECT
private slots:
    void publishModes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode");
        QTest::newRow("active_only in capitals") << "ACTIVE_ONLY" << int(PublishMode::ActiveOnly);
        QTest::newRow("activeonly with blanks around") << "  activeonly " << int(PublishMode::ActiveOnly);
        QTest::newRow("activeOnly as written") << "activeOnly" << int(PublishMode::ActiveOnly);
        QTest::newRow("empty text") << "" << int(PublishMode::OnChange);
        QTest::newRow("any other word") << "active only" << int(PublishMode::OnChange);
    }

    void publishModes()
    {
        QFETCH(QString, text);
        QFETCH(int, mode);
        QCOMPARE(int(parsePublishMode(text)), mode);
        // What is written reads back as the same mode.
        QCOMPARE(parsePublishMode(publishModeToString(PublishMode(mode))), PublishMode(mode));
    }

    void sourceKeys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isAxis");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("valid");
        QTest::newRow("axis key") << "joy_2" << true << 2 << true;
        QTest::newRow("button in capitals") << "BUT_3" << false << 3 << true;
        QTest::newRow("axis followed by a letter") << "joy_x" << true << -1 << false;
        QTest::newRow("signed number") << "but_-1" << false << -1 << false;
        QTest::newRow("number too large") << "joy_99999999999" << true << -1 << false;
        QTest::newRow("gate key") << "gate_1" << true << -1 << false;
    }

    void sourceKeys()
    {
        QFETCH(QString, text);
        QFETCH(bool, isAxis);
        QFETCH(int, index);
        QFETCH(bool, valid);
        const SourceKey key = parseSourceKey(text);
        QCOMPARE(key.isAxis, isAxis);
        QCOMPARE(key.index, index);
        QCOMPARE(key.valid, valid);
    }

    void emptyBindings_data()
    {
        QTest::addColumn<QJsonObject>("binding");
        QTest::addColumn<bool>("empty");
        QTest::newRow("none in capitals") << QJsonObject{{"ref", "NoNe"}} << true;
        QTest::newRow("blank ref and no action")
            << QJsonObject{{"ref", "  "}, {"args", QJsonObject{{"a", 1}}}} << true;
        QTest::newRow("ref wins over action") << QJsonObject{{"ref", "jump"}, {"action", "none"}} << false;
        QTest::newRow("action when ref is blank") << QJsonObject{{"ref", ""}, {"action", "fire"}} << false;
    }

    void emptyBindings()
    {
        QFETCH(QJsonObject, binding);
        QFETCH(bool, empty);
        QCOMPARE(isBindingEmpty(binding), empty);
    }

    void noPastillesGiveNoBridges() { QCOMPARE(bridgesOf({}), QJsonArray()); }

    void buttonBridgeHasNoPublishMode()
    {
        OverlayNode button = nodeWithKeys(Kind::Button, {"but_1"});
        button.bindings[0] = action("jump");
        OverlayNode stick = nodeWithKeys(Kind::SingleJoy, {"joy_0"});
        stick.bindings[0] = action("steer");
        const QJsonArray bridges = bridgesOf({button, stick});
        QCOMPARE(bridges.size(), 2);
        const QJsonObject first = bridges.at(0).toObject();
        QVERIFY(!first.contains("publishMode"));
        QCOMPARE(first.value("action").toString(), "jump");
        QCOMPARE(first.value("src").toObject(), (QJsonObject{{"deviceType", "gamepade"},
                                                             {"deviceId", 0},
                                                             {"packetId", 1},
                                                             {"stringKey", "but_1"},
                                                             {"isJoy", false}}));
        QCOMPARE(bridges.at(1).toObject().value("publishMode").toString(), "activeOnly");
        QVERIFY(!bridges.at(1).toObject().contains("publishGroupKey"));
    }

    void slotBridgesCarryArgsAndSkipHalfMadeSlots()
    {
        OverlayNode withArgs = nodeWithKeys(Kind::Button, {"but_2"});
        withArgs.bindings[0] = action(" zoom ", QJsonObject{{"step", 2}});
        OverlayNode noKey = nodeWithKeys(Kind::Button, {"  "});
        noKey.bindings[0] = action("fire");
        OverlayNode noneAction = nodeWithKeys(Kind::Button, {"but_3"});
        noneAction.bindings[0] = action("NONE");
        const QJsonArray bridges = bridgesOf({withArgs, noKey, noneAction});
        QCOMPARE(bridges.size(), 1);
        const QJsonObject bridge = bridges.first().toObject();
        QCOMPARE(bridge.value("action").toString(), "zoom");
        QCOMPARE(bridge.value("args").toObject(), (QJsonObject{{"step", 2}}));
        QVERIFY(!bridge.contains("dst"));
    }

    void combinedStickSharesOneGroup()
    {
        OverlayNode stick = nodeWithKeys(Kind::DualJoyCross, {"joy_0", "joy_1"});
        stick.bindings[1] = action("look");
        stick.publishMode = PublishMode::Always;
        const QJsonArray bridges = bridgesOf({stick});
        QCOMPARE(bridges.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QJsonObject bridge = bridges.at(i).toObject();
            QCOMPARE(bridge.value("src").toObject().value("stringKey").toString(), QString("joy_%1").arg(i));
            QCOMPARE(bridge.value("joyXKey").toString(), "joy_0");
            QCOMPARE(bridge.value("joyYKey").toString(), "joy_1");
            QCOMPARE(bridge.value("publishMode").toString(), "always");
            QCOMPARE(bridge.value("publishGroupKey").toString(), "id-0");
            QCOMPARE(bridge.value("action").toString(), "look");
        }
    }

    void combinedStickWithMissingKeyYieldsNothing()
    {
        OverlayNode stick = nodeWithKeys(Kind::DualJoyCross, {"joy_0", ""});
        stick.bindings[0] = action("look");
        stick.bindings[1] = action("look");
        QCOMPARE(bridgesOf({stick}).size(), 0);
        OverlayNode unbound = nodeWithKeys(Kind::DualJoyCross, {"joy_0", "joy_1"});
        unbound.bindings[0] = action("none");
        QCOMPARE(bridgesOf({unbound}).size(), 0);
    }

    void splitStickMapsAxesIndependently()
    {
        OverlayNode stick = nodeWithKeys(Kind::DualJoyCross, {"joy_2", "joy_3"});
        stick.split = true;
        stick.bindings[0] = action("pan");
        stick.bindings[1] = action("tilt");
        const QJsonArray bridges = bridgesOf({stick});
        QCOMPARE(bridges.size(), 2);
        QCOMPARE(bridges.at(0).toObject().value("action").toString(), "pan");
        QCOMPARE(bridges.at(1).toObject().value("action").toString(), "tilt");
        QVERIFY(!bridges.at(0).toObject().contains("joyXKey"));
        QVERIFY(!bridges.at(0).toObject().contains("publishGroupKey"));
        QCOMPARE(bridges.at(0).toObject().value("publishMode").toString(), "activeOnly");
    }

    void joystickParameterStep()
    {
        const QJsonArray catalog = QJsonDocument::fromJson(R"([
            {"name": "other", "params": [{"name": "joy", "default": "param:joy_wrong"}]},
            {"name": "MoveCam", "params": [{"name": "joy", "default": " PARAM:JOY_LEFT "},
                                           {"name": "speed", "default": "1"},
                                           {"name": " ", "default": "param:joy_blank"}]},
            {"name": "movecam", "params": [{"name": "speed", "default": "param:joy_second"}]}])")
                                       .array();
        OverlayNode stick = nodeWithKeys(Kind::DualJoyCross, {"joy_0", "joy_1"});
        stick.bindings[0] = action("movecam", QJsonObject{{"joy", " ARG_0 "}, {"speed", "arg_0"}, {"n", 3}});
        stick.bindings[1] = stick.bindings[0];
        const QJsonObject args = bridgesOf({stick}, catalog).first().toObject().value("args").toObject();
        QCOMPARE(args, (QJsonObject{{"joy", "PARAM:JOY_LEFT"}, {"speed", "arg_0"}, {"n", 3}}));

        // Split axes are not a joystick: their arguments stay as bound.
        stick.split = true;
        QCOMPARE(
            bridgesOf({stick}, catalog).first().toObject().value("args").toObject().value("joy").toString(),
            QString(" ARG_0 "));
    }

    void gateBridges()
    {
        OverlayNode stick = nodeWithKeys(Kind::DualJoyCross, {"joy_0", ""});
        stick.gateNames = {" gate_up ", " ", "gate_down"};
        stick.gateBindings = {action("up", QJsonObject{{"k", true}}), action("left"), QJsonObject()};
        const QJsonArray bridges = bridgesOf({stick});
        QCOMPARE(bridges.size(), 1);
        const QJsonObject bridge = bridges.first().toObject();
        QCOMPARE(bridge.value("src").toObject(), (QJsonObject{{"deviceType", "gamepade"},
                                                              {"deviceId", 0},
                                                              {"packetId", 1},
                                                              {"stringKey", "gate_up"},
                                                              {"isJoy", false}}));
        QVERIFY(!bridge.contains("publishMode"));
        QCOMPARE(bridge.value("action").toString(), "up");
        QCOMPARE(bridge.value("args").toObject(), (QJsonObject{{"k", true}}));
    }

    void applyBindsByKeyThenTitle()
    {
        QVector<OverlayNode> nodes{nodeWithKeys(Kind::Button, {"but_1"}), nodeWithKeys(Kind::Button, {""}),
                                   nodeWithKeys(Kind::Button, {"BUT_1"}), nodeWithKeys(Kind::Button, {""})};
        const QStringList titles{"A", "Start", "B", "start"};
        const QJsonObject mapping = QJsonDocument::fromJson(R"({"bridges": [
            {"src": {"stringKey": " But_1 "}, "action": "fire", "args": {"power": 2}},
            {"src": {"stringKey": "START"}, "dst": [{"x": 1}, {"ref": "pause"}]},
            {"src": {"stringKey": "but_9"}, "action": "lost"},
            "not an object"]})")
                                        .object();
        QVERIFY(applyBridges(&nodes, titles, mapping));
        const QJsonObject fire{{"ref", "fire"}, {"action", "fire"}, {"args", QJsonObject{{"power", 2}}}};
        QCOMPARE(nodes.at(0).bindings.first(), fire);
        QCOMPARE(nodes.at(2).bindings.first(), fire); // one key, several slots: all bound
        QCOMPARE(nodes.at(1).bindings.first(), (QJsonObject{{"ref", "pause"}}));
        QCOMPARE(nodes.at(3).bindings.first(), QJsonObject()); // only the first titled pastille
        QCOMPARE(nodes.at(1).sources.first().stringKey, "start");
    }

    void applyUpdatesSourcesAndPublishMode()
    {
        QVector<OverlayNode> nodes{nodeWithKeys(Kind::SingleJoy, {"joy_4"})};
        const QJsonObject mapping = QJsonDocument::fromJson(R"({"bridges": [{"src": {"stringKey": "joy_4",
            "isJoy": false, "deviceType": " pad ", "deviceId": "5", "packetId": 2.7}, "publishMode": "always",
            "action": "x"}]})")
                                        .object();
        QVERIFY(applyBridges(&nodes, {"J"}, mapping));
        const InputSource& source = nodes.first().sources.first();
        QCOMPARE(source.isJoy, false);
        QCOMPARE(source.deviceType, "pad");
        QCOMPARE(source.deviceId, 5);
        QCOMPARE(source.packetId, 2);
        QCOMPARE(nodes.first().publishMode, PublishMode::Always);

        // Missing or unusable members keep what the slot had.
        const QJsonObject sparse = QJsonDocument::fromJson(R"({"bridges": [{"src": {"stringKey": "joy_4",
            "isJoy": "yes", "deviceType": "  ", "deviceId": [1]}, "action": "y"}]})")
                                       .object();
        QVERIFY(applyBridges(&nodes, {"J"}, sparse));
        QCOMPARE(nodes.first().sources.first().deviceId, 5);
        QCOMPARE(nodes.first().sources.first().deviceType, "pad");
        QCOMPARE(nodes.first().publishMode, PublishMode::Always);
    }

    void applyCombinedStickAndGates()
    {
        OverlayNode stick = nodeWithKeys(Kind::DualJoyCross, {"joy_0", "joy_1"});
        stick.gateNames = {"Gate_A"};
        stick.gateBindings = {QJsonObject()};
        QVector<OverlayNode> nodes{stick};
        const QJsonObject mapping = QJsonDocument::fromJson(R"({"bridges": [
            {"src": {"stringKey": "joy_1"}, "action": "look"},
            {"src": {"stringKey": "gate_a"}, "action": "dash"}]})")
                                        .object();
        QVERIFY(applyBridges(&nodes, {"Stick"}, mapping));
        QCOMPARE(nodes.first().bindings.at(0).value("ref").toString(), "look");
        QCOMPARE(nodes.first().bindings.at(1).value("ref").toString(), "look");
        QCOMPARE(nodes.first().gateBindings.first().value("ref").toString(), "dash");
    }

    void applyResetsBindingsAndReportsMisses()
    {
        QVector<OverlayNode> nodes{nodeWithKeys(Kind::Button, {"but_0"})};
        nodes[0].bindings[0] = action("old");
        QVERIFY(!applyBridges(&nodes, {"B"}, QJsonObject()));
        QCOMPARE(nodes.first().bindings.first(), action("old"));
        QVERIFY(!applyBridges(&nodes, {"B"}, QJsonObject{{"bridges", "nope"}}));
        QCOMPARE(nodes.first().bindings.first(), QJsonObject());
    }

    void serviceReferencesMerge()
    {
        QJsonArray services{QJsonObject{{"name", "Camera"}, {"params", QJsonArray()}}};
        const QJsonArray refs{" camera ", QJsonObject{{"name", "Lights"}}, "lights", QJsonObject{{"x", 1}},
                              ""};
        QVERIFY(mergeServiceReferences(&services, refs));
        QCOMPARE(services.size(), 4);
        QCOMPARE(services.at(1).toObject().value("name").toString(), "Lights");
        QCOMPARE(services.at(2), QJsonValue(QJsonObject{{"x", 1}}));
        QCOMPARE(services.at(3), QJsonValue(""));
        QJsonArray unchanged{QJsonObject{{"name", "a"}}};
        QVERIFY(!mergeServiceReferences(&unchanged, QJsonArray{"A"}));
        QVERIFY(!mergeServiceReferences(&unchanged, QJsonValue("a")));
    }

    void saveKeepsHostSectionsAndReplacesBridges()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("configActionGamepad.json");
        writeFile(path, R"({"signals": [1], "onStartup": [{"a": 1}], "onClose": ["x"], "timers": [2],
            "custom": {"keep": true}, "refs": [3], "ref": ["Camera"], "bridges": [{"old": true}]})");
        const QJsonArray bridges{
            QJsonObject{{"src", QJsonObject{{"stringKey", "but_1"}}}, {"action", "fire"}}};
        QVERIFY(saveMappingFile(path, bridges));
        const QJsonObject saved = TestSupport::readJson(path);
        QCOMPARE(saved.value("signals").toArray(), QJsonArray{1});
        QCOMPARE(saved.value("onStartup").toArray(), (QJsonArray{QJsonObject{{"a", 1}}}));
        QCOMPARE(saved.value("onClose").toArray(), QJsonArray{"x"});
        QCOMPARE(saved.value("timers").toArray(), QJsonArray{2});
        QCOMPARE(saved.value("custom").toObject(), (QJsonObject{{"keep", true}}));
        QCOMPARE(saved.value("ref"), QJsonValue(QJsonArray()));
        QVERIFY(!saved.contains("refs"));
        QCOMPARE(saved.value("bridges").toArray(), bridges);

        // An empty overlay saves an empty bridge list and leaves the host sections alone.
        QVERIFY(saveMappingFile(path, QJsonArray()));
        QCOMPARE(TestSupport::readJson(path).value("bridges"), QJsonValue(QJsonArray()));
        QCOMPARE(TestSupport::readJson(path).value("signals").toArray(), QJsonArray{1});
    }

    void saveStartsFreshWhenFileIsMissingOrBroken()
    {
        QTemporaryDir dir;
        const QString nested = dir.filePath("a/b/configActionGamepad.json");
        QVERIFY(saveMappingFile(nested, QJsonArray()));
        const QJsonObject fresh = TestSupport::readJson(nested);
        for (const char* key : {"signals", "onStartup", "onClose", "timers", "ref", "bridges"})
            QCOMPARE(fresh.value(QLatin1String(key)), QJsonValue(QJsonArray()));
        QCOMPARE(fresh.size(), 6);

        const QString broken = dir.filePath("broken.json");
        writeFile(broken, "{ \"signals\": [1], ");
        QVERIFY(saveMappingFile(broken, QJsonArray()));
        QCOMPARE(TestSupport::readJson(broken).value("signals"), QJsonValue(QJsonArray()));
    }

    void saveFailsWhereAFileBlocksTheFolder()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("profile"), "I am a file");
        const QString path = dir.filePath("profile/configActionGamepad.json");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Gamepad mapping save failed error= .*"));
        QString error;
        QVERIFY(!saveMappingFile(path, QJsonArray(), &error));
        QVERIFY(error.contains(path));

        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Gamepad mapping save failed error= \"Cannot write .*"));
        MappingFileOptions english;
        english.englishErrors = true;
        QVERIFY(!saveMappingFile(path, QJsonArray(), &error, english));
        QVERIFY(error.startsWith("Cannot write "));
    }

    void saveKeepsExtraDestinations()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("configActionGamepad.json");
        writeFile(path, R"({"bridges": [
            {"src": {"stringKey": "but_1", "deviceType": "other"}, "dst": [{"ref": "a"}, {"ref": "wrong"}]},
            {"src": {"stringKey": "BUT_1 ", "deviceType": ""}, "dst": [{"ref": "a"}, {"ref": "b"}, {"ref": "c"}]},
            {"src": {"stringKey": "but_2"}, "dst": [{"ref": "z"}, {"ref": "y"}]}]})");
        const QJsonArray bridges{
            QJsonObject{{"src", QJsonObject{{"stringKey", "but_1"}, {"deviceType", "gamepade"}}},
                        {"dst", QJsonArray{QJsonObject{{"action", QJsonObject{{"op", 1}}}}}}},
            QJsonObject{{"src", QJsonObject{{"stringKey", "but_2"}}}, {"action", "named"}}};
        MappingFileOptions options;
        options.keepExtraDestinations = true;
        QVERIFY(saveMappingFile(path, bridges, nullptr, options));
        const QJsonArray saved = TestSupport::readJson(path).value("bridges").toArray();
        QCOMPARE(saved.at(0).toObject().value("dst").toArray(),
                 (QJsonArray{QJsonObject{{"action", QJsonObject{{"op", 1}}}}, QJsonObject{{"ref", "b"}},
                             QJsonObject{{"ref", "c"}}}));
        QVERIFY(!saved.at(1).toObject().contains("dst"));

        // The editor's save does not carry them over.
        QVERIFY(saveMappingFile(path, bridges));
        QCOMPARE(TestSupport::readJson(path).value("bridges").toArray(), bridges);
    }

    void loadMappingFile()
    {
        QTemporaryDir dir;
        QJsonObject mapping{{"untouched", true}};
        QCOMPARE(Overlay::loadMappingFile(dir.filePath("none.json"), &mapping), MappingLoad::Missing);
        QCOMPARE(mapping, (QJsonObject{{"untouched", true}}));

        const QString broken = dir.filePath("broken.json");
        writeFile(broken, "[1, 2]");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Gamepad mapping load failed error= .*"));
        QString error;
        QCOMPARE(Overlay::loadMappingFile(broken, &mapping, &error), MappingLoad::Failed);
        QVERIFY(error.contains(broken));

        const QString good = dir.filePath("good.json");
        writeFile(good, R"({"bridges": []})");
        QCOMPARE(Overlay::loadMappingFile(good, &mapping), MappingLoad::Loaded);
        QCOMPARE(mapping, (QJsonObject{{"bridges", QJsonArray()}}));
    }
};

QTEST_GUILESS_MAIN(tst_OverlayMapping)
#include "tst_overlaymapping.moc"
