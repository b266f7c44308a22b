// The gamepad device as the host sees it: identity, status, commands, infoJson, calibration
// reloads and the profile-dependent picture. Driven by the virtual backend and a private data root.
#include "controlmanette.h"
#include "inputfixtures.h"
#include "virtualjoystickbackend.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

using namespace InputFixtures;

class tst_ControlManette : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void metaObjectDeclaration();
    void newDeviceReadsItsSlot();
    void deviceWithoutJoystick();
    void connectAndDisconnect();
    void closeDevice();
    void sendData_data();
    void sendData();
    void pollingIntervalCommand();
    void propertyWritersNotifyOnChangeOnly();
    void infoJson();
    void calibrationReloadFollowsKey_data();
    void calibrationReloadFollowsKey();
    void calibrationFromBaseFileAndOverride();
    void resetBiasCommandRestoresDefaults();
    void activeProfileSummary();
    void imagePath();

private:
    std::unique_ptr<ControlManette> device(int slot = 0)
    {
        return std::make_unique<ControlManette>(slot, m_pads);
    }
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    QString m_root;
};

void tst_ControlManette::init()
{
    m_root = resetDataRoot();
    m_pads = std::make_shared<VirtualJoystickBackend>();
    VirtualJoystickBackend::Pad pad;
    pad.slot = 2;
    pad.name = QStringLiteral("Pad Pro");
    pad.vendorId = 0x045e;
    pad.productId = 654;
    m_pads->plug(pad);
    pad.slot = 0;
    m_pads->plug(pad);
}

void tst_ControlManette::cleanup()
{
    m_pads.reset();
}

void tst_ControlManette::metaObjectDeclaration()
{
    const QMetaObject& mo = ControlManette::staticMetaObject;
    const QList<QByteArray> signatures{"axisChanged(int,double)",   "buttonChanged(int,bool)",
                                       "gateChanged(QString,bool)", "axesChanged()",
                                       "rawAxesChanged()",          "buttonsChanged()",
                                       "deviceIdChanged()",         "nameChanged()",
                                       "profileNameChanged()",      "activeProfileIdChanged()",
                                       "vendorIdChanged()",         "productIdChanged()",
                                       "connectedChanged()",        "resetAllBias()",
                                       "reloadCalibration()"};
    QCOMPARE(mo.methodCount() - mo.methodOffset(), signatures.size());
    for (int i = 0; i < signatures.size(); ++i)
        QCOMPARE(mo.method(mo.methodOffset() + i).methodSignature(), signatures.at(i));
    const QList<QByteArray> properties{"deviceId",  "name",      "profileName", "activeProfileId", "vendorId",
                                       "productId", "connected", "axes",        "rawAxes",         "buttons"};
    QCOMPARE(mo.propertyCount() - mo.propertyOffset(), properties.size());
    for (int i = 0; i < properties.size(); ++i) {
        const QMetaProperty p = mo.property(mo.propertyOffset() + i);
        QCOMPARE(QByteArray(p.name()), properties.at(i));
        QCOMPARE(p.isWritable(), i < 7);
    }
    QCOMPARE(QByteArray(mo.property(mo.indexOfProperty("vendorId")).typeName()), QByteArray("uint"));

    auto pad = device(2); // the first device registers the input meta-types
    QVERIFY(QMetaType::fromName("ControlManette*").isValid());
    m_pads->setAxis(2, 0, 54.f);
    m_pads->press(2, 1);
    pad->connectDevice(QString());
    pad->sample();
    const QVariantList axes = pad->property("axes").toList();
    const QVariantList buttons = pad->property("buttons").toList();
    QCOMPARE(axes.size(), 8);
    QCOMPARE(pad->property("rawAxes").toList().size(), 8);
    QCOMPARE(buttons.size(), 32);
    QCOMPARE(axes.first().metaType(), QMetaType::fromType<double>());
    QCOMPARE(axes.first().toDouble(), 50.0);
    QCOMPARE(buttons.at(1).metaType(), QMetaType::fromType<bool>());
    QVERIFY(buttons.at(1).toBool());
}

void tst_ControlManette::newDeviceReadsItsSlot()
{
    auto pad = device(2);
    QCOMPARE(pad->deviceId(), 2);
    QCOMPARE(pad->name(), QStringLiteral("Pad Pro"));
    QCOMPARE(pad->vendorId(), 0x045eu);
    QCOMPARE(pad->productId(), 654u);
    QCOMPARE(pad->status(), IComInterface::noCom);
    QCOMPARE(pad->deviceType(), IComInterface::gamepade);
    QVERIFY(!pad->isSampling());
    QCOMPARE(pad->reservedQuery(), 0);
    QVERIFY(!pad->readData().isValid());
    QVERIFY(pad->fonctions().isEmpty());
    QCOMPARE(pad->calibrationSourceLabel(), QStringLiteral("Defaults"));
}

void tst_ControlManette::deviceWithoutJoystick()
{
    const int updates = m_pads->updateCount();
    auto pad = device(-1);
    QCOMPARE(m_pads->updateCount(), updates); // no identification read
    QCOMPARE(pad->deviceId(), -1);
    QVERIFY(pad->name().isEmpty());
    QSignalSpy status(pad.get(), &IComInterface::statusChanged);
    pad->connectDevice(QString());
    QCOMPARE(pad->status(), IComInterface::noCom);
    QCOMPARE(status.count(), 0);
    QSignalSpy axes(pad.get(), &ControlManette::axisChanged);
    QTest::qWait(40);
    QCOMPARE(axes.count(), 0);
}

void tst_ControlManette::connectAndDisconnect()
{
    auto pad = device(2);
    QSignalSpy status(pad.get(), &IComInterface::statusChanged);
    QSignalSpy connected(pad.get(), &ControlManette::connectedChanged);

    pad->disconnectDevice(); // not connected: nothing
    QCOMPARE(status.count() + connected.count(), 0);

    pad->connectDevice(QStringLiteral("ignored"));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first().first().value<IComInterface::ComStatus>(), IComInterface::connected);
    QCOMPARE(connected.count(), 1);
    QCOMPARE(pad->status(), IComInterface::connected);
    QVERIFY(pad->isSampling());
    QCOMPARE(pad->sampleIntervalMs(), 10);

    pad->connectDevice(QString());
    QCOMPARE(status.count(), 1);

    pad->disconnectDevice();
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.last().first().value<IComInterface::ComStatus>(), IComInterface::noCom);
    QCOMPARE(connected.count(), 2);
    QVERIFY(!pad->isSampling());
    QCOMPARE(pad->status(), IComInterface::noCom);
}

void tst_ControlManette::closeDevice()
{
    auto pad = device(2);
    pad->connectDevice(QString());
    QStringList order;
    connect(pad.get(), &IComInterface::statusChanged, this, [&] { order << QStringLiteral("status"); });
    connect(pad.get(), &IComInterface::finished, this, [&] { order << QStringLiteral("finished"); });
    pad->closeDevice();
    QCOMPARE(order, (QStringList{QStringLiteral("status"), QStringLiteral("finished")}));
    order.clear();
    pad->closeDevice();
    QCOMPARE(order, QStringList{QStringLiteral("finished")});
}

void tst_ControlManette::sendData_data()
{
    QTest::addColumn<int>("deviceNumber");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("interval");
    QTest::newRow("interval for this device") << 2 << "pollingInterval" << QVariant(25) << 25;
    QTest::newRow("interval as text") << 2 << "pollingInterval" << QVariant(QStringLiteral("40")) << 40;
    QTest::newRow("interval for another device") << 3 << "pollingInterval" << QVariant(25) << 10;
    QTest::newRow("interval that is no number")
        << 2 << "pollingInterval" << QVariant(QStringLiteral("x")) << 10;
    QTest::newRow("name compared exactly") << 2 << "PollingInterval" << QVariant(25) << 10;
    QTest::newRow("unknown command") << 2 << "vibrate" << QVariant(1) << 10;
}

void tst_ControlManette::sendData()
{
    QFETCH(int, deviceNumber);
    QFETCH(QString, property);
    QFETCH(QVariant, value);
    QFETCH(int, interval);
    auto pad = device(2);
    pad->connectDevice(QString());
    pad->sendData(deviceNumber, 7, property, value);
    QCOMPARE(pad->sampleIntervalMs(), interval);
    QVERIFY(pad->isSampling());
}

void tst_ControlManette::pollingIntervalCommand()
{
    auto pad = device(2);
    pad->connectDevice(QString());
    pad->sendData(2, 1, QStringLiteral("pollingInterval"), 25);
    QCOMPARE(pad->sampleIntervalMs(), 25);
    const int updates = m_pads->updateCount();
    QTRY_VERIFY(m_pads->updateCount() > updates + 2); // the timer drives sampling
    pad->connectDevice(QString());
    QCOMPARE(pad->sampleIntervalMs(), 10);
}

void tst_ControlManette::propertyWritersNotifyOnChangeOnly()
{
    auto pad = device(2);
    QSignalSpy name(pad.get(), &ControlManette::nameChanged);
    QSignalSpy profileName(pad.get(), &ControlManette::profileNameChanged);
    QSignalSpy profileId(pad.get(), &ControlManette::activeProfileIdChanged);
    QSignalSpy vendor(pad.get(), &ControlManette::vendorIdChanged);
    QSignalSpy slot(pad.get(), &ControlManette::deviceIdChanged);
    for (int round = 0; round < 2; ++round) {
        pad->setName(QStringLiteral("Other"));
        pad->setProfileName(QStringLiteral("Racing"));
        pad->setActiveProfileId(QStringLiteral("abc"));
        pad->setVendorId(1);
        pad->setDeviceId(5);
    }
    for (QSignalSpy* spy : {&name, &profileName, &profileId, &vendor, &slot})
        QCOMPARE(spy->count(), 1);
    QVERIFY(pad->setProperty("productId", 77u));
    QCOMPARE(pad->productId(), 77u);
}

void tst_ControlManette::infoJson()
{
    auto pad = device(2);
    pad->setActiveProfileId(QStringLiteral("p-1"));
    pad->connectDevice(QString());
    m_pads->setAxis(2, 0, 54.f);
    m_pads->press(2, 31);
    pad->sample();

    const QString text = pad->infoJson();
    QVERIFY(!text.contains(QLatin1Char('\n')));
    const QJsonObject info = QJsonDocument::fromJson(text.toUtf8()).object();
    QCOMPARE(info.value(QLatin1String("deviceId")).toInt(), 2);
    QCOMPARE(info.value(QLatin1String("name")).toString(), QStringLiteral("Pad Pro"));
    QCOMPARE(info.value(QLatin1String("activeProfileId")).toString(), QStringLiteral("p-1"));
    QCOMPARE(info.value(QLatin1String("vendorId")).toString(), QStringLiteral("0x45e"));
    QCOMPARE(info.value(QLatin1String("productId")).toString(), QStringLiteral("0x28e"));
    QCOMPARE(info.value(QLatin1String("connected")).toBool(), true);
    QCOMPARE(info.value(QLatin1String("calibrationSource")).toString(), QStringLiteral("Defaults"));
    QCOMPARE(info.value(QLatin1String("calibrationPath")).toString(), QString());
    const QJsonArray raw = info.value(QLatin1String("rawAxes")).toArray();
    const QJsonArray axes = info.value(QLatin1String("axes")).toArray();
    const QJsonArray buttons = info.value(QLatin1String("buttons")).toArray();
    QCOMPARE(raw.size(), 8);
    QCOMPARE(axes.size(), 8);
    QCOMPARE(buttons.size(), 32);
    QCOMPARE(raw.at(0).toDouble(), 54.0);
    QCOMPARE(axes.at(0).toDouble(), 50.0);
    QVERIFY(buttons.at(31).toBool());
    QVERIFY(!buttons.at(0).toBool());
    QVERIFY(info.value(QLatin1String("gates")).isObject());
}

void tst_ControlManette::calibrationReloadFollowsKey_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("reloads");
    QTest::newRow("another profile") << "profile"
                                     << "2f6c0d2e-0000-4000-8000-000000000002" << true;
    QTest::newRow("same profile in upper case") << "profile"
                                                << "2F6C0D2E-0000-4000-8000-000000000001" << false;
    QTest::newRow("same profile with blanks") << "profile"
                                              << "  2f6c0d2e-0000-4000-8000-000000000001 " << false;
    QTest::newRow("another name") << "name"
                                  << "Pad Lite" << true;
    QTest::newRow("same name in other case") << "name"
                                             << "PAD PRO" << false;
    QTest::newRow("another product") << "product"
                                     << "655" << true;
}

void tst_ControlManette::calibrationReloadFollowsKey()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, reloads);
    auto pad = device(2);
    pad->setActiveProfileId(QStringLiteral("2f6c0d2e-0000-4000-8000-000000000001"));
    pad->connectDevice(QString());
    pad->sample();

    VirtualJoystickBackend::Pad changed;
    changed.slot = 2;
    changed.name = field == QLatin1String("name") ? value : QStringLiteral("Pad Pro");
    changed.vendorId = 0x045e;
    changed.productId = field == QLatin1String("product") ? value.toUInt() : 654;
    m_pads->plug(changed);
    if (field == QLatin1String("profile"))
        pad->setActiveProfileId(value);

    LogRecorder log;
    pad->sample();
    QCOMPARE(log.count(QStringLiteral("Gamepad calibration reloaded")), reloads ? 1 : 0);
    pad->sample();
    QCOMPARE(log.count(QStringLiteral("Gamepad calibration reloaded")), reloads ? 1 : 0);
}

void tst_ControlManette::calibrationFromBaseFileAndOverride()
{
    const QString shared = ProfileStore::sharedProfilesRoot();
    const QString base = QDir(shared).filePath(QStringLiteral("_deviceCalibration/045e_028e_pad_pro.json"));
    QVERIFY(writeFile(
        base, R"({ "type": "GamepadCalibration", "version": 3, "axes": [ { "deadzoneRadius": 60 } ] })"));

    auto pad = device(2);
    pad->connectDevice(QString());
    QCOMPARE(pad->calibrationSourceLabel(), QStringLiteral("Base device"));
    QCOMPARE(pad->calibrationPath(), base);
    m_pads->setAxis(2, 0, 54.f); // inside the wide dead zone
    pad->sample();
    QCOMPARE(pad->axisValue(0), 0.0);

    // A profile for this pad asking for its own override.
    const Definition def = writeDefinition(
        shared, QJsonObject{{QStringLiteral("name"), QStringLiteral("Course")},
                            {QStringLiteral("deviceNames"), QJsonArray{QStringLiteral("Pad Pro")}},
                            {QStringLiteral("calibrationMode"), QStringLiteral("Override")}});
    const QString override = QDir(def.folder).filePath(QStringLiteral("calibration.override.json"));
    QVERIFY(writeFile(override, R"({ "type": "GamepadCalibration", "axes": [ { "deadzoneRadius": 0 } ] })"));
    pad->setActiveProfileId(def.id);
    pad->sample(); // the key changed: reloaded before reading
    QCOMPARE(pad->calibrationSourceLabel(), QStringLiteral("Profile override"));
    QCOMPARE(pad->calibrationPath(), override);
    QVERIFY(pad->axisValue(0) > 50.0);

    QJsonObject info = QJsonDocument::fromJson(pad->infoJson().toUtf8()).object();
    QCOMPARE(info.value(QLatin1String("calibrationSource")).toString(), QStringLiteral("Profile override"));
    QCOMPARE(info.value(QLatin1String("calibrationPath")).toString(), override);
}

void tst_ControlManette::resetBiasCommandRestoresDefaults()
{
    const QString base = QDir(ProfileStore::sharedProfilesRoot())
                             .filePath(QStringLiteral("_deviceCalibration/045e_028e_pad_pro.json"));
    QVERIFY(writeFile(base, R"({ "type": "GamepadCalibration", "axes": [ { "deadzoneRadius": 60 } ] })"));
    auto pad = device(2);
    pad->connectDevice(QString());
    m_pads->setAxis(2, 1, -80.f);
    pad->sample();
    QVERIFY(pad->rawAxisValue(1) < 0);

    pad->sendData(2, 1, QStringLiteral("resetBias"), QVariant());
    QCOMPARE(pad->calibrationSourceLabel(), QStringLiteral("Defaults"));
    QVERIFY(pad->calibrationPath().isEmpty());
    QCOMPARE(pad->rawAxisValue(1), 0.0);

    pad->sendData(2, 1, QStringLiteral("reloadCalibration"), QVariant());
    QCOMPARE(pad->calibrationSourceLabel(), QStringLiteral("Base device"));
}

void tst_ControlManette::activeProfileSummary()
{
    const QString shared = ProfileStore::sharedProfilesRoot();
    const QJsonObject forPad{{QStringLiteral("deviceName"), QStringLiteral("pad pro")}};
    QJsonObject zebraMeta = forPad;
    zebraMeta.insert(QStringLiteral("name"), QStringLiteral("Zebra"));
    writeDefinition(shared, zebraMeta);
    QJsonObject alphaMeta = forPad;
    alphaMeta.insert(QStringLiteral("name"), QStringLiteral("Alpha"));
    const Definition alpha = writeDefinition(shared, alphaMeta);
    QJsonObject otherMeta{{QStringLiteral("name"), QStringLiteral("Other")},
                          {QStringLiteral("deviceName"), QStringLiteral("Joystick")}};
    const Definition other = writeDefinition(shared, otherMeta);
    QJsonObject unmappedMeta = otherMeta;
    const Definition unmapped = writeDefinition(shared, unmappedMeta, false);

    auto pad = device(2);
    QCOMPARE(pad->activeProfileSummary().id, QUuid::fromString(alpha.id)); // first by name

    pad->setActiveProfileId(other.id.toUpper());
    QCOMPARE(pad->activeProfileSummary().id, QUuid::fromString(other.id));

    pad->setActiveProfileId(unmapped.id); // no mapping file: not usable as active profile
    QCOMPARE(pad->activeProfileSummary().id, QUuid::fromString(alpha.id));

    pad->setName(QStringLiteral("Unknown pad"));
    const ProfileSummary none = pad->activeProfileSummary();
    QVERIFY(none.id.isNull());
    QVERIFY(none.name.isEmpty());
    QCOMPARE(none.scope, ProfileScope::Shared);
}

void tst_ControlManette::imagePath()
{
    auto pad = device(2);
    QCOMPARE(pad->imagePath(), QStringLiteral(":/new/prefix1/ressources/menette_id_654.png"));

    const QString shared = ProfileStore::sharedProfilesRoot();
    const QString user = ProfileStore::userProfilesRoot();
    // A definition naming the pad, with its picture but without a mapping file.
    const Definition named =
        writeDefinition(user,
                        {{QStringLiteral("deviceNames"), QJsonArray{QStringLiteral(" PAD PRO ")}},
                         {QStringLiteral("image"), QStringLiteral("pic.png")}},
                        false, true);
    QCOMPARE(pad->imagePath(), QDir(named.folder).filePath(QStringLiteral("pic.png")));

    // The active profile's picture wins.
    const Definition active =
        writeDefinition(shared, {{QStringLiteral("deviceName"), QStringLiteral("Other")}}, true, true);
    pad->setActiveProfileId(active.id);
    QCOMPARE(pad->imagePath(), QDir(active.folder).filePath(QStringLiteral("image.png")));

    // A nameless pad never matches by name.
    pad->setActiveProfileId(QString());
    pad->setName(QString());
    QCOMPARE(pad->imagePath(), QStringLiteral(":/new/prefix1/ressources/menette_id_654.png"));
}

QTEST_GUILESS_MAIN(tst_ControlManette)
#include "tst_controlmanette.moc"
