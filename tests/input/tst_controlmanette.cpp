// The gamepad device as the host sees it: identity, status, commands, infoJson, calibration
// reloads, the profile-dependent picture and the mapping file it names (active profile, then
// definitions by name or USB ids, then "<vendor>_<product>" folders and root files, then the shared
// fallback); and one sampling step: what it reports, under which keys, in which order, and what it
// keeps quiet about. Steps are run directly, time moves through the virtual backend's clock.
#include "controlmanette.h"
#include "profilestore.h"
#include "support/testsupport.h"

#include <QLoggingCategory>
#include <QMetaEnum>
#include <QMetaProperty>

using namespace TestSupport;

class tst_ControlManette : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<DataRoot>();
        m_pads = std::make_shared<VirtualJoystickBackend>();
    }
    void cleanup()
    {
        m_device.reset();
        m_events.clear();
        QLoggingCategory::setFilterRules(QString());
    }

    void metaObjectDeclaration()
    {
        const QMetaObject& mo = ControlManette::staticMetaObject;
        QList<QByteArray> methods;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            methods << mo.method(i).methodSignature();
        QCOMPARE(methods, (QList<QByteArray>{"axisChanged(int,double)", "buttonChanged(int,bool)",
                                             "gateChanged(QString,bool)", "axesChanged()", "rawAxesChanged()",
                                             "buttonsChanged()", "deviceIdChanged()", "nameChanged()",
                                             "profileNameChanged()", "activeProfileIdChanged()",
                                             "vendorIdChanged()", "productIdChanged()", "connectedChanged()",
                                             "resetAllBias()", "reloadCalibration()"}));
        QStringList properties; // "type name", "=" after the writable ones
        for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
            const QMetaProperty p = mo.property(i);
            properties << QStringLiteral("%1 %2%3").arg(p.typeName(), p.name(), p.isWritable() ? "=" : "");
        }
        QCOMPARE(properties, (QStringList{"int deviceId=", "QString name=", "QString profileName=",
                                          "QString activeProfileId=", "uint vendorId=", "uint productId=",
                                          "bool connected=", "QVariantList axes", "QVariantList rawAxes",
                                          "QVariantList buttons"}));
        auto pad = plug(2); // the first device registers the input meta-types
        QVERIFY(QMetaType::fromName("ControlManette*").isValid());
    }

    void lifeCycle()
    {
        auto pad = plug(2);
        QCOMPARE(pad->status(), IComInterface::noCom);
        QCOMPARE(int(pad->deviceType()), 4);
        QVERIFY(pad->reservedQuery() == 0 && !pad->readData().isValid() && pad->fonctions().isEmpty());
        QStringList seen;
        connect(pad.get(), &IComInterface::statusChanged, this, [&](IComInterface::ComStatus status) {
            seen << QMetaEnum::fromType<IComInterface::ComStatus>().valueToKey(status);
        });
        connect(pad.get(), &ControlManette::connectedChanged, this, [&] { seen << "connectedChanged"; });
        connect(pad.get(), &IComInterface::finished, this, [&] { seen << "finished"; });
        pad->disconnectDevice(); // not connected: nothing
        pad->connectDevice("ignored");
        pad->connectDevice(QString()); // a second call emits nothing more
        pad->disconnectDevice();
        QVERIFY(!pad->isSampling());
        pad->connectDevice(QString());
        pad->closeDevice();
        pad->closeDevice();
        QCOMPARE(seen, (QStringList{"connectedChanged", "connected", "connectedChanged", "noCom",
                                    "connectedChanged", "connected", "connectedChanged", "noCom", "finished",
                                    "finished"}));

        // A device without joystick reads nothing and never connects.
        const int updates = m_pads->updateCount();
        auto none = std::make_unique<ControlManette>(-1, m_pads);
        QCOMPARE(m_pads->updateCount(), updates);
        QSignalSpy noneStatus(none.get(), &IComInterface::statusChanged);
        none->connectDevice(QString());
        QCOMPARE(noneStatus.count(), 0);
    }

    void sendData_data()
    {
        QTest::addColumn<int>("deviceNumber");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("interval");
        QTest::newRow("the interval for this device") << 2 << QVariant(25) << 25;
        QTest::newRow("the interval for another device") << 3 << QVariant(25) << 10;
        QTest::newRow("an interval that is no number") << 2 << QVariant("x") << 10;
    }

    void sendData()
    {
        QFETCH(int, deviceNumber);
        QFETCH(QVariant, value);
        auto pad = plug(2);
        pad->connectDevice(QString());
        pad->sendData(deviceNumber, 7, "pollingInterval", value);
        QTEST(pad->sampleIntervalMs(), "interval");
        const int updates = m_pads->updateCount();
        QTRY_VERIFY(m_pads->updateCount() > updates + 2); // the timer drives sampling
        pad->connectDevice(QString());
        QCOMPARE(pad->sampleIntervalMs(), 10);
    }

    void infoJson()
    {
        auto pad = plug(2);
        pad->setActiveProfileId("p-1");
        pad->connectDevice(QString());
        m_pads->setAxis(2, 0, 54.f);
        m_pads->press(2, 31);
        pad->sample();
        const QString text = pad->infoJson();
        QVERIFY(!text.contains(QLatin1Char('\n')));
        QJsonObject info = json(text.toUtf8());
        for (const char* list : {"rawAxes", "axes", "buttons"}) // the lists as the host reads them by name
            QCOMPARE(info.take(list).toArray().toVariantList(), pad->property(list).toList());
        QCOMPARE(pad->property("rawAxes").toList().value(0), QVariant(54.0));
        QCOMPARE(pad->property("axes").toList().value(0), QVariant(50.0));
        QCOMPARE(pad->property("buttons").toList().mid(30), (QVariantList{false, true})); // 32 of them
        QCOMPARE(info, (QJsonObject{{"deviceId", 2},
                                    {"name", "Pad Pro"},
                                    {"activeProfileId", "p-1"},
                                    {"vendorId", "0x45e"},
                                    {"productId", "0x28e"},
                                    {"connected", true},
                                    {"calibrationSource", "Defaults"},
                                    {"calibrationPath", ""},
                                    {"gates", QJsonObject()}}));
    }

    void calibrationReloadFollowsKey_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("product");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<bool>("reloads");
        // The pad starts as "Pad 1118" (1118 is its vendor id) with profile ...0001.
        const QString p1 = "2f6c0d2e-0000-4000-8000-000000000001";
        auto row = [](const char* row, const char* name, uint product, const QString& profile, bool reloads) {
            QTest::newRow(row) << QString(name) << product << profile << reloads;
        };
        row("another profile reloads", "Pad 1118", 654, "2f6c0d2e-0000-4000-8000-000000000002", true);
        row("the same profile in upper case does not", "Pad 1118", 654, p1.toUpper(), false);
        row("the same profile with blanks does not", "Pad 1118", 654, "  " + p1 + " ", false);
        row("the same name in other case does not", "PAD 1118", 654, p1, false);
        row("another product reloads", "Pad 1118", 655, p1, true);
        row("a name holding %2 is not substituted again", "Pad %2", 654, p1, true);
    }

    void calibrationReloadFollowsKey()
    {
        QFETCH(QString, name);
        QFETCH(uint, product);
        QFETCH(QString, profile);
        auto pad = plug(2, "Pad 1118");
        pad->setActiveProfileId("2f6c0d2e-0000-4000-8000-000000000001");
        pad->connectDevice(QString());
        pad->sample();

        m_pads->plug(TestSupport::pad(2, name, 0x045e, product));
        pad->setActiveProfileId(profile);
        LogRecorder log;
        pad->sample();
        pad->sample();
        QTEST(log.count("Gamepad calibration reloaded") == 1, "reloads");
    }

    void calibrationFromBaseFileAndOverride()
    {
        const QString base = shared() + "/_deviceCalibration/045e_028e_pad_pro.json";
        QVERIFY(writeFile(base, R"({ "type": "GamepadCalibration", "axes": [ { "deadzoneRadius": 60 } ] })"));
        auto pad = plug(2);
        pad->connectDevice(QString());
        QCOMPARE(pad->calibrationSourceLabel(), "Base device");
        QCOMPARE(pad->calibrationPath(), base);
        m_pads->setAxis(2, 0, 54.f); // inside the wide dead zone
        pad->sample();
        QCOMPARE(pad->axisValue(0), 0.0);

        // A profile for this pad asking for its own override.
        const Definition def = writeDefinition(
            shared(),
            {{"name", "Course"}, {"deviceNames", QJsonArray{"Pad Pro"}}, {"calibrationMode", "Override"}});
        const QString override = def.folder + "/calibration.override.json";
        QVERIFY(
            writeFile(override, R"({ "type": "GamepadCalibration", "axes": [ { "deadzoneRadius": 0 } ] })"));
        pad->setActiveProfileId(def.id);
        pad->sample(); // the key changed: reloaded before reading
        QCOMPARE(pad->calibrationSourceLabel(), "Profile override");
        QVERIFY(pad->axisValue(0) > 50.0);
        QCOMPARE(json(pad->infoJson().toUtf8()).value("calibrationPath"), override);

        // resetBias falls back to defaults until the next reload.
        m_pads->setAxis(2, 1, -80.f);
        pad->sample();
        pad->sendData(2, 1, "resetBias", QVariant());
        QCOMPARE(pad->calibrationSourceLabel(), "Defaults");
        QVERIFY(pad->calibrationPath().isEmpty());
        QCOMPARE(pad->rawAxisValue(1), 0.0);
        pad->sendData(2, 1, "reloadCalibration", QVariant());
        QCOMPARE(pad->calibrationSourceLabel(), "Profile override");
    }

    // The active profile's mapping file and picture win; its id is compared ignoring case.
    void activeProfileWins()
    {
        const QString resource = ":/new/prefix1/ressources/menette_id_654.png";
        auto pad = plug(2);
        QCOMPARE(pad->imagePath(), resource);
        // A definition naming the pad, with its picture but without a mapping file: no profile.
        const Definition named = writeDefinition(
            m_data->userRoot(), {{"deviceNames", QJsonArray{" PAD PRO "}}, {"image", "pic.png"}}, Image);
        QCOMPARE(pad->imagePath(), named.folder + "/pic.png");
        QVERIFY(pad->activeProfileSummary().id.isNull());
        const Definition mapped = writeDefinition(m_data->userRoot(), {{"deviceName", "Pad Pro"}});
        QCOMPARE(pad->noCodeApp(), QStringList{config(mapped)});
        const Definition active = writeDefinition(shared(), {{"deviceName", "Other"}}, Config | Image);
        pad->setActiveProfileId(active.id.toUpper());
        QCOMPARE(pad->imagePath(), active.folder + "/image.png");
        QCOMPARE(pad->activeProfileSummary().id, QUuid::fromString(active.id));
        QCOMPARE(pad->noCodeApp(), QStringList{config(active)});
        // A nameless pad never matches by name.
        pad->setActiveProfileId(QString());
        pad->setName(QString());
        QCOMPARE(pad->imagePath(), resource);
    }

    void nameBeatsIdentifiers()
    {
        // The identifier match comes first in folder order. The named definition has no UUID, so
        // it is no profile of the pad and only the definition scan can find it.
        writeDefinition(shared(), {{"vendorId", "0x045e"}, {"productId", "0x02fd"}}, Config,
                        "00000000-0000-4000-8000-000000000001");
        const Definition named =
            writeDefinition(shared(), {{"deviceNames", QJsonArray{"pad PRO"}}}, Config, "zz-legacy");
        auto device = plug(0, " Pad Pro ", 0x045e, 0x02fd);
        QVERIFY(device->activeProfileSummary().id.isNull());
        QCOMPARE(device->noCodeApp(), QStringList{config(named)});
    }

    void identifiersMatchNamelessPad_data()
    {
        QTest::addColumn<QJsonObject>("meta");
        QTest::addColumn<QString>("file"); // empty: the shared fallback
        const QString map = "configActionGamepad.json";
        QTest::newRow("hexadecimal texts match")
            << QJsonObject{{"vendorId", "0x045e"}, {"productId", "0x02fd"}} << map;
        QTest::newRow("texts without prefix match")
            << QJsonObject{{"vendorId", "45E"}, {"productId", "2FD"}} << map;
        QTest::newRow("another vendor's ids never match")
            << QJsonObject{{"vendorId", "0x045f"}, {"productId", "0x02fd"}} << "";
        QTest::newRow("numbers are not read") << QJsonObject{{"vendorId", 0x45e}, {"productId", 0x2fd}} << "";
        QTest::newRow("an unparsable vendor never matches")
            << QJsonObject{{"vendorId", "0xZZ"}, {"productId", "0x02fd"}} << "";
        QTest::newRow("\"config\" names the file")
            << QJsonObject{{"vendorId", "0x045e"}, {"productId", "0x02fd"}, {"config", "map.json"}}
            << "map.json";
    }

    // A definition with the pad's ids but without a mapping file comes first and is passed over.
    void identifiersMatchNamelessPad()
    {
        QFETCH(QJsonObject, meta);
        QFETCH(QString, file);
        writeDefinition(shared(), {{"vendorId", "0x045e"}, {"productId", "0x02fd"}}, MetaOnly,
                        "00000000-0000-4000-8000-000000000001");
        const Definition def =
            writeDefinition(shared(), meta, Config, "00000000-0000-4000-8000-000000000002");
        auto device = plug(0, QString(), 0x045E, 0x02FD);
        QCOMPARE(device->noCodeApp(),
                 QStringList{file.isEmpty() ? shared() + "/configActionGamepad.json" : config(def, file)});
    }

    void identifierFolderRootFileAndFallback()
    {
        auto device = plug(0, "Nobody knows me", 0x045E, 0x02FD);
        LogRecorder log;
        const QString rootFile = shared() + "/configActionGamepad.json";
        QCOMPARE(device->noCodeApp(), QStringList{rootFile}); // nothing on disk: the shared file
        QVERIFY(!QFile::exists(rootFile));
        QVERIFY(log.lines().contains(
            QStringLiteral("Gamepad input unmapped choice= QList(\"%1\") profile= \"\"").arg(rootFile)));

        // Then a root file, one in the pad's "<vendor>_<product>" folder, and one in an earlier root.
        for (const QString& file : {rootFile, shared() + "/045e_02fd/configActionGamepad.json",
                                    m_data->userRoot() + "/configActionGamepad.json"}) {
            QVERIFY(writeFile(file, "{}"));
            QCOMPARE(device->noCodeApp(), QStringList{file});
        }
    }

    // Every pad reports as device 0, category 1 (the sampled pad in slot 1 shows it below).
    void definitionScanTakesMembersAsWritten_data()
    {
        QTest::addColumn<QJsonObject>("meta");
        QTest::addColumn<QStringList>("files"); // created in the definition's folder
        QTest::addColumn<QString>("picture");   // empty: the host's resource
        QTest::addColumn<QString>("mapping");   // empty: the shared fallback
        const QString image = "image.png", map = "configActionGamepad.json";
        QTest::newRow("members name the picture and the mapping")
            << QJsonObject{{"image", "pic.png"}, {"config", "map.json"}} << QStringList{"pic.png", "map.json"}
            << "pic.png"
            << "map.json";
        QTest::newRow("missing members mean the default names")
            << QJsonObject{} << QStringList{image, map} << image << map;
        QTest::newRow("members that are not text mean the default names")
            << QJsonObject{{"image", 5}, {"config", true}} << QStringList{image, map} << image << map;
        QTest::newRow("blanks around a name are kept, so no file is found")
            << QJsonObject{{"image", " pic.png "}, {"config", " map.json "}}
            << QStringList{"pic.png", "map.json"} << ""
            << "";
        QTest::newRow("an empty member means the default names")
            << QJsonObject{{"image", ""}, {"config", ""}} << QStringList{image, map} << image << map;
        QTest::newRow("names outside the folder mean the default names")
            << QJsonObject{{"image", "../zz-legacy/pic.png"}, {"config", "/etc/hostname"}}
            << QStringList{"pic.png", "map.json"} << ""
            << "";
    }

    // A definition naming the pad but no profile of it (no UUID), read the way the fallbacks read
    // it; the answers follow an edit of its meta.json and its removal at once.
    void definitionScanTakesMembersAsWritten()
    {
        QFETCH(QJsonObject, meta);
        QFETCH(QStringList, files);
        QFETCH(QString, picture);
        QFETCH(QString, mapping);
        meta.insert("deviceNames", QJsonArray{"Pad Pro"});
        const Definition def = writeDefinition(shared(), meta, MetaOnly, "zz-legacy");
        for (const QString& file : files)
            QVERIFY(writeFile(def.folder + "/" + file, "x"));
        auto pad = plug(0);
        const QString resource = ":/new/prefix1/ressources/menette_id_654.png";
        const QString fallback = shared() + "/configActionGamepad.json";
        QCOMPARE(pad->imagePath(), picture.isEmpty() ? resource : def.folder + "/" + picture);
        QCOMPARE(pad->noCodeApp(), QStringList{mapping.isEmpty() ? fallback : config(def, mapping)});

        QVERIFY(writeFile(def.folder + "/other.png", "x"));
        QVERIFY(
            writeFile(def.folder + "/meta.json",
                      R"({"type": "GamepadDefinderMeta", "deviceName": "Pad Pro", "image": "other.png"})"));
        QCOMPARE(pad->imagePath(), def.folder + "/other.png");
        QVERIFY(QDir(def.folder).removeRecursively());
        QCOMPARE(pad->imagePath(), resource);
        QCOMPARE(pad->noCodeApp(), QStringList{fallback});
    }

    void sameModelSameFile()
    {
        QCOMPARE(plug(0, "Twin", 7, 8)->noCodeApp(), plug(1, "Twin", 7, 8)->noCodeApp());
    }

    void refreshMappingAnnounces()
    {
        auto device = plug(0, "Pad", 1, 2);
        QSignalSpy announced(device.get(), &IComInterface::noCodeAppChanged);
        LogRecorder log;
        device->refreshMapping();
        QCOMPARE(log.count("Gamepad calibration reloaded"), 1);
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.first().first().toStringList(), device->noCodeApp());
        const Definition def = writeDefinition(shared(), {{"deviceName", "pad"}});
        device->refreshMapping();
        QCOMPARE(announced.last().first().toStringList(), QStringList{config(def)});
    }
    // Scripts on pad 1: "a0=54" moves axis 0, "p3"/"r3" press/release button 3, "t10" advances the
    // clock, "s" samples and shows the reports (" / " between them, "-" for none), "S" samples
    // quietly, "reload" reloads the calibration, "unplug"/"plug" pull and put back the pad, and
    // "?a0", "?r0", "?b3", "?g" show the calibrated axis, raw axis, button and gates held.
    void scenario_data()
    {
        QTest::addColumn<QByteArray>("calibration"); // the pad's base file, empty for none
        QTest::addColumn<QList<int>>("axes");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("shown"); // " | " between the shown items
        const QList<int> all{0, 1, 2, 3, 4, 5, 6, 7};
        const QByteArray gate =
            R"({"type": "GamepadCalibration", "gates": [{"key": "stick", "radius": 20}]})";
        const QByteArray right = R"({"type": "GamepadCalibration",
            "gates": [{"key": "right", "centerX": 50, "centerY": 0, "radius": 10}]})";
        auto row = [](const char* name, const QByteArray& calibration, const QList<int>& axes,
                      const char* script, const char* shown) {
            QTest::newRow(name) << calibration << axes << script << QString(shown);
        };
        row("a stick at rest is silent, a move reports in order, a move under 0.5 is only stored", {}, all,
            "s t1000 s a0=54 s a0=54.4 s ?a0",
            "- | - | axis 0 50 / data 0 1 joy_0=50 / data gamepad gamepad joy_0=50 / axes / raw | raw | "
            "a0=50.4");
        row("a raw move just under a tenth is quiet but stored", {}, all, "a2=10 S a2=10.09999 s ?r2",
            "- | r2=10.1");
        row("a raw move of 0.11 notifies", {}, all, "a2=10 S a2=10.11 s ?r2", "raw | r2=10.11");
        row("a press reports, a hold does not repeat by default, a release only changes the state", {}, all,
            "p3 s t2000 s r3 s ?b3",
            "button 3 true / data 0 1 but_3=true / data gamepad gamepad but_3=true / buttons | - | "
            "buttons | b3=false");
        row("a pad without axis 1 never evaluates the gate", gate, {0, 2}, "s ?g", "- | g=");
        row("a gate state survives steps, not reloads", gate, {0, 1}, "s s ?g reload ?g s",
            "gate stick true / data 0 1 stick=true / data gamepad gamepad stick=true | - | g=stick | g= | "
            "gate stick true / data 0 1 stick=true / data gamepad gamepad stick=true");
        row("one step reports axis, gate and button in one change set", right, all, "S a0=54 p3 s",
            "axis 0 50 / gate right true / button 3 true / data 0 1 joy_0=50,right=true,but_3=true / "
            "data gamepad gamepad joy_0=50,right=true,but_3=true / axes / raw / buttons");
        // The manager deletes a lost device; it does not stop itself, and resumes in the same slot.
        row("a lost pad reports once and resumes when back before discovery", {}, all, "unplug s s plug p0 s",
            "connected 0 | - | connected 1 / button 0 true / data 0 1 but_0=true / "
            "data gamepad gamepad but_0=true / buttons");
    }

    void scenario()
    {
        QFETCH(QByteArray, calibration);
        QFETCH(QList<int>, axes);
        QFETCH(QString, script);
        if (!calibration.isEmpty())
            writeCalibration(calibration);
        sampled(axes);
        QStringList shown;
        for (const QString& step : script.split(' ')) {
            const int n = step.mid(1).section('=', 0, 0).toInt();
            if (step == "s" || step == "S") {
                m_events.clear();
                m_device->sample();
                if (step == "s")
                    shown << (m_events.isEmpty() ? "-" : m_events.join(" / "));
            } else if (step == "reload") {
                m_device->reloadCalibration();
            } else if (step == "unplug") {
                m_pads->unplug(1);
            } else if (step == "plug") {
                sampled(axes);
            } else if (step == "?g") {
                shown << "g=" + QStringList(m_device->gateStates().keys()).join(',');
            } else if (step.startsWith('?')) {
                const QChar what = step.at(1);
                const int i = step.mid(2).toInt();
                shown << step.mid(1) + "=" +
                             (what == 'b'   ? QVariant(m_device->buttonPressed(i)).toString()
                              : what == 'r' ? QString::number(m_device->rawAxisValue(i), 'g', 4)
                                            : QString::number(m_device->axisValue(i), 'g', 3));
            } else if (step.startsWith('a')) {
                m_pads->setAxis(1, n, step.section('=', 1).toFloat());
            } else if (step.startsWith('t')) {
                m_pads->advanceClock(n);
            } else {
                m_pads->setButton(1, n, step.startsWith('p'));
            }
        }
        QTEST(shown.join(" | "), "shown");
    }

    // The debug lines of one step, and the repeats of a held button on the backend's clock.
    void logLinesAndRepeats()
    {
        writeCalibration(R"({"type": "GamepadCalibration", "buttons": [{}, {}, {}, {"repeatOnPress": true}],
                             "gates": [{"key": "right", "centerX": 50, "centerY": 0, "radius": 10}]})");
        sampled();
        QCOMPARE(m_device->calibrationSourceLabel(), "Base device");
        m_device->sample();
        QLoggingCategory::setFilterRules("hx.plugin.gamepad.input.axis.debug=true");
        LogRecorder log;
        m_pads->setAxis(1, 0, 54.f);
        m_pads->press(1, 3); // at 0 ms; repeats after 350 ms, then every 120 ms
        m_device->sample();
        QList<qint64> repeats;
        connect(m_device.get(), &ControlManette::buttonChanged, this, [&] { repeats << m_pads->nowMs(); });
        for (int step = 0; step < 70; ++step) {
            m_pads->advanceClock(10);
            m_device->sample();
        }
        QCOMPARE(repeats, (QList<qint64>{350, 470, 590}));
        QCOMPARE(log.lines().mid(0, 3),
                 (QStringList{"Gamepad axis updated key= \"joy_0\" raw= 54 value= 50 rest= false",
                              "Gamepad gate updated key= \"right\" inside= true value= true distance= 0",
                              "Gamepad button updated key= \"but_3\" pressed= true repeat= false"}));
        QCOMPARE(log.count("Gamepad button updated key= \"but_3\" pressed= true repeat= true"), 3);
    }

    // A receiver of gateChanged (the calibration editor) may reload the calibration at once: the step
    // must not go on over the gate list the reload replaced, and the next step starts afresh.
    void reloadFromAGateReceiverEndsTheGatePass()
    {
        writeCalibration(R"({ "type": "GamepadCalibration", "gates": [ { "key": "a", "radius": 20 },
            { "key": "b", "radius": 30 }, { "key": "c", "radius": 40 } ] })");
        sampled();
        int reloads = 0;
        connect(m_device.get(), &ControlManette::gateChanged, this, [&] {
            if (reloads++ == 0)
                m_device->reloadCalibration();
        });
        m_pads->press(1, 0);
        m_device->sample();
        QCOMPARE(m_events.filter(QRegularExpression("^(gate |button |data 0)")),
                 (QStringList{"gate a true", "button 0 true", "data 0 1 a=true,but_0=true"}));
        QVERIFY(m_device->gateStates().isEmpty());
        m_events.clear();
        m_device->sample();
        QCOMPARE(m_events.filter("gate "), (QStringList{"gate a true", "gate b true", "gate c true"}));
    }

private:
    std::unique_ptr<ControlManette> plug(int slot, const QString& name = "Pad Pro", quint32 vendor = 0x045e,
                                         quint32 product = 654)
    {
        m_pads->plug(TestSupport::pad(slot, name, vendor, product));
        return std::make_unique<ControlManette>(slot, m_pads);
    }
    QString shared() const { return ProfileStore::sharedProfilesRoot(); }
    static QString config(const Definition& def, const QString& file = "configActionGamepad.json")
    {
        return def.folder + "/" + file;
    }
    // Pad 1, sampled by hand, its reports recorded in m_events.
    void sampled(const QList<int>& axes = {0, 1, 2, 3, 4, 5, 6, 7})
    {
        VirtualJoystickBackend::Pad p = pad(1, "Pad", 0x045e, 0x028e);
        p.axes = axes;
        m_pads->plug(p);
        if (!m_device) {
            m_device = std::make_unique<ControlManette>(1, m_pads);
            m_device->connectDevice(QString());
            m_device->sendData(1, 1, "pollingInterval", 3600000); // steps run by hand
            record();
        }
    }

    // The pad's base calibration file; the next reload picks it up.
    static void writeCalibration(const QByteArray& document)
    {
        QVERIFY(writeFile(ProfileStore::sharedProfilesRoot() + "/_deviceCalibration/045e_028e_pad.json",
                          document));
    }
    // Every report of the device as text, in the order it comes.
    void record()
    {
        ControlManette* d = m_device.get();
        auto list = [](const QStringList& keys, const QVariantList& values) {
            QStringList parts;
            for (int i = 0; i < keys.size(); ++i)
                parts << keys.at(i) + QLatin1Char('=') + values.value(i).toString();
            return parts.join(QLatin1Char(','));
        };
        auto note = [this](const QString& text) { return [this, text] { m_events << text; }; };
        connect(d, &ControlManette::axisChanged, this,
                [this](int a, double v) { m_events << QStringLiteral("axis %1 %2").arg(a).arg(v); });
        connect(d, &ControlManette::buttonChanged, this, [this](int b, bool p) {
            m_events << QStringLiteral("button %1 %2").arg(b).arg(QVariant(p).toString());
        });
        connect(d, &ControlManette::gateChanged, this, [this](const QString& k, bool v) {
            m_events << QStringLiteral("gate %1 %2").arg(k, QVariant(v).toString());
        });
        connect(d, qOverload<int, int, const QStringList&, const QVariantList&>(&IComInterface::dataChanged),
                this, [=](int id, int cat, const QStringList& k, const QVariantList& v) {
                    m_events << QStringLiteral("data %1 %2 %3").arg(id).arg(cat).arg(list(k, v));
                });
        connect(d,
                qOverload<const QString&, const QString&, const QStringList&, const QVariantList&>(
                    &IComInterface::dataChanged),
                this,
                [=](const QString& id, const QString& cat, const QStringList& k, const QVariantList& v) {
                    m_events << QStringLiteral("data %1 %2 %3").arg(id, cat, list(k, v));
                });
        connect(d, &ControlManette::axesChanged, this, note("axes"));
        connect(d, &ControlManette::rawAxesChanged, this, note("raw"));
        connect(d, &ControlManette::buttonsChanged, this, note("buttons"));
        connect(d, &ControlManette::connectedChanged, this,
                [this, d] { m_events << QStringLiteral("connected %1").arg(d->isConnected()); });
    }

    std::unique_ptr<DataRoot> m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    std::unique_ptr<ControlManette> m_device;
    QStringList m_events;
};

QTEST_GUILESS_MAIN(tst_ControlManette)
#include "tst_controlmanette.moc"
