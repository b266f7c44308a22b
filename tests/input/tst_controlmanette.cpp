// The gamepad device as the host sees it: identity, status, commands, infoJson, calibration
// reloads and the profile-dependent picture. Driven by the virtual backend and a private data root.
#include "controlmanette.h"
#include "profilestore.h"
#include "support/testsupport.h"

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
        m_pads->plug(pad(2));
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
        auto pad = device(2); // the first device registers the input meta-types
        QVERIFY(QMetaType::fromName("ControlManette*").isValid());
    }

    void lifeCycle()
    {
        auto pad = device(2);
        QCOMPARE(pad->status(), IComInterface::noCom);
        QCOMPARE(int(pad->deviceType()), 4);
        QVERIFY(pad->reservedQuery() == 0 && !pad->readData().isValid() && pad->fonctions().isEmpty());
        QSignalSpy status(pad.get(), &IComInterface::statusChanged);
        QSignalSpy connected(pad.get(), &ControlManette::connectedChanged);
        pad->disconnectDevice(); // not connected: nothing
        QCOMPARE(status.count() + connected.count(), 0);

        pad->connectDevice("ignored");
        pad->connectDevice(QString()); // a second call emits nothing more
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.first().first().value<IComInterface::ComStatus>(), IComInterface::connected);
        QCOMPARE(connected.count(), 1);
        pad->disconnectDevice();
        QCOMPARE(status.last().first().value<IComInterface::ComStatus>(), IComInterface::noCom);
        QVERIFY(!pad->isSampling());

        pad->connectDevice(QString());
        QStringList order;
        connect(pad.get(), &IComInterface::statusChanged, this, [&] { order << "status"; });
        connect(pad.get(), &IComInterface::finished, this, [&] { order << "finished"; });
        pad->closeDevice();
        pad->closeDevice();
        QCOMPARE(order, (QStringList{"status", "finished", "finished"}));

        // A device without joystick reads nothing and never connects.
        const int updates = m_pads->updateCount();
        auto none = device(-1);
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
        auto pad = device(2);
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
        auto pad = device(2);
        pad->setActiveProfileId("p-1");
        pad->connectDevice(QString());
        m_pads->setAxis(2, 0, 54.f);
        m_pads->press(2, 31);
        pad->sample();
        QCOMPARE(pad->property("rawAxes").toList().value(0),
                 QVariant(54.0)); // read by name, as the host does
        QCOMPARE(pad->property("axes").toList().value(0), QVariant(50.0));
        QCOMPARE(pad->property("buttons").toList().value(31), QVariant(true));

        const QString text = pad->infoJson();
        QVERIFY(!text.contains(QLatin1Char('\n')));
        QJsonObject info = json(text.toUtf8());
        QCOMPARE(info.take("rawAxes").toArray().at(0).toDouble(), 54.0);
        QCOMPARE(info.take("axes").toArray().at(0).toDouble(), 50.0);
        const QJsonArray buttons = info.take("buttons").toArray();
        QVERIFY(buttons.size() == 32 && buttons.at(31).toBool() && !buttons.at(0).toBool());
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
        m_pads->plug(TestSupport::pad(2, "Pad 1118"));
        auto pad = device(2);
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
        const QString shared = ProfileStore::sharedProfilesRoot();
        const QString base = shared + "/_deviceCalibration/045e_028e_pad_pro.json";
        QVERIFY(writeFile(base, R"({ "type": "GamepadCalibration", "axes": [ { "deadzoneRadius": 60 } ] })"));
        auto pad = device(2);
        pad->connectDevice(QString());
        QCOMPARE(pad->calibrationSourceLabel(), "Base device");
        QCOMPARE(pad->calibrationPath(), base);
        m_pads->setAxis(2, 0, 54.f); // inside the wide dead zone
        pad->sample();
        QCOMPARE(pad->axisValue(0), 0.0);

        // A profile for this pad asking for its own override.
        const Definition def = writeDefinition(
            shared,
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

    void activeProfileAndPicture()
    {
        const QString resource = ":/new/prefix1/ressources/menette_id_654.png";
        auto pad = device(2);
        QCOMPARE(pad->imagePath(), resource);
        // A definition naming the pad, with its picture but without a mapping file: no profile.
        const Definition named =
            writeDefinition(ProfileStore::userProfilesRoot(),
                            {{"deviceNames", QJsonArray{" PAD PRO "}}, {"image", "pic.png"}}, Image);
        QCOMPARE(pad->imagePath(), named.folder + "/pic.png");
        QVERIFY(pad->activeProfileSummary().id.isNull());
        // The active profile's picture wins; its id is compared ignoring case.
        const Definition active =
            writeDefinition(ProfileStore::sharedProfilesRoot(), {{"deviceName", "Other"}}, Config | Image);
        pad->setActiveProfileId(active.id.toUpper());
        QCOMPARE(pad->imagePath(), active.folder + "/image.png");
        QCOMPARE(pad->activeProfileSummary().id, QUuid::fromString(active.id));
        // A nameless pad never matches by name.
        pad->setActiveProfileId(QString());
        pad->setName(QString());
        QCOMPARE(pad->imagePath(), resource);
    }

private:
    std::unique_ptr<ControlManette> device(int slot)
    {
        return std::make_unique<ControlManette>(slot, m_pads);
    }
    std::unique_ptr<DataRoot> m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
};

QTEST_GUILESS_MAIN(tst_ControlManette)
#include "tst_controlmanette.moc"
