// One sampling step of a gamepad device: what it reports, under which keys, in which order, and
// what it keeps quiet about. Steps are run directly; time moves through the virtual backend clock.
#include "controlmanette.h"
#include "inputfixtures.h"
#include "virtualjoystickbackend.h"

#include <QLoggingCategory>
#include <QTest>

using namespace InputFixtures;

class tst_GamepadSampling : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void restingControllerIsSilent();
    void stickMoveReportsInOrder();
    void rawMoveThreshold_data();
    void rawMoveThreshold();
    void smallCalibratedMoveIsStoredNotReported();
    void buttonPressHoldRelease();
    void repeatFollowsBackendClock();
    void gateNeedsBothAxes_data();
    void gateNeedsBothAxes();
    void gateStateSurvivesStepsNotReloads();
    void oneChangeSetPerStep();
    void connectionLoss();

private:
    void plug(QList<int> axes = {0, 1, 2, 3, 4, 5, 6, 7});
    void writeCalibration(const QByteArray& document);
    void record();
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    std::unique_ptr<ControlManette> m_device;
    QStringList m_events;
};

void tst_GamepadSampling::init()
{
    resetDataRoot();
    m_pads = std::make_shared<VirtualJoystickBackend>();
    m_events.clear();
}

void tst_GamepadSampling::cleanup()
{
    m_device.reset();
    m_pads.reset();
    QLoggingCategory::setFilterRules(QString());
}

void tst_GamepadSampling::plug(QList<int> axes)
{
    VirtualJoystickBackend::Pad pad;
    pad.slot = 1;
    pad.name = QStringLiteral("Pad");
    pad.vendorId = 0x045e;
    pad.productId = 0x028e;
    pad.axes = axes;
    m_pads->plug(pad);
    if (!m_device) {
        m_device = std::make_unique<ControlManette>(1, m_pads);
        m_device->connectDevice(QString());
        m_device->sendData(1, 1, QStringLiteral("pollingInterval"), 3600000); // steps run by hand
        record();
    }
}

// The pad's base calibration file; the next reload picks it up.
void tst_GamepadSampling::writeCalibration(const QByteArray& document)
{
    QVERIFY(writeFile(QDir(ProfileStore::sharedProfilesRoot())
                          .filePath(QStringLiteral("_deviceCalibration/045e_028e_pad.json")),
                      document));
}

void tst_GamepadSampling::record()
{
    ControlManette* d = m_device.get();
    auto list = [](const QStringList& keys, const QVariantList& values) {
        QStringList parts;
        for (int i = 0; i < keys.size(); ++i)
            parts << keys.at(i) + QLatin1Char('=') + values.value(i).toString();
        return parts.join(QLatin1Char(','));
    };
    connect(d, &ControlManette::axisChanged, this,
            [this](int a, double v) { m_events << QStringLiteral("axis %1 %2").arg(a).arg(v); });
    connect(d, &ControlManette::buttonChanged, this, [this](int b, bool p) {
        m_events << QStringLiteral("button %1 %2").arg(b).arg(QVariant(p).toString());
    });
    connect(d, &ControlManette::gateChanged, this, [this](const QString& k, bool v) {
        m_events << QStringLiteral("gate %1 %2").arg(k, QVariant(v).toString());
    });
    connect(d, qOverload<int, int, const QStringList&, const QVariantList&>(&IComInterface::dataChanged),
            this, [this, list](int id, int cat, const QStringList& k, const QVariantList& v) {
                m_events << QStringLiteral("data %1 %2 %3").arg(id).arg(cat).arg(list(k, v));
            });
    connect(d,
            qOverload<const QString&, const QString&, const QStringList&, const QVariantList&>(
                &IComInterface::dataChanged),
            this,
            [this, list](const QString& id, const QString& cat, const QStringList& k, const QVariantList& v) {
                m_events << QStringLiteral("data %1 %2 %3").arg(id, cat, list(k, v));
            });
    connect(d, &ControlManette::axesChanged, this, [this] { m_events << QStringLiteral("axes"); });
    connect(d, &ControlManette::rawAxesChanged, this, [this] { m_events << QStringLiteral("raw"); });
    connect(d, &ControlManette::buttonsChanged, this, [this] { m_events << QStringLiteral("buttons"); });
    connect(d, &ControlManette::connectedChanged, this,
            [this, d] { m_events << QStringLiteral("connected %1").arg(d->isConnected()); });
}

void tst_GamepadSampling::restingControllerIsSilent()
{
    plug();
    m_device->sample();
    m_pads->advanceClock(1000);
    m_device->sample();
    QCOMPARE(m_events, QStringList());
}

void tst_GamepadSampling::stickMoveReportsInOrder()
{
    plug();
    QLoggingCategory::setFilterRules(QStringLiteral("hx.plugin.gamepad.input.axis.debug=true"));
    LogRecorder log;
    m_pads->setAxis(1, 0, 54.f);
    m_device->sample();
    QCOMPARE(m_events,
             (QStringList{"axis 0 50", "data 0 1 joy_0=50", "data gamepad gamepad joy_0=50", "axes", "raw"}));
    QCOMPARE(log.count(QStringLiteral("Gamepad axis updated")), 1);
    QVERIFY2(log.lines().contains(
                 QStringLiteral("Gamepad axis updated key= \"joy_0\" raw= 54 value= 50 rest= false")),
             qPrintable(log.lines().join(QLatin1Char('\n'))));
}

void tst_GamepadSampling::rawMoveThreshold_data()
{
    QTest::addColumn<float>("to");
    QTest::addColumn<bool>("notified");
    QTest::newRow("raw move just under a tenth") << 10.09999f << false;
    QTest::newRow("raw move of 0.11") << 10.11f << true;
}

void tst_GamepadSampling::rawMoveThreshold()
{
    QFETCH(float, to);
    QFETCH(bool, notified);
    plug();
    m_pads->setAxis(1, 2, 10.f);
    m_device->sample();
    m_events.clear();
    m_pads->setAxis(1, 2, to);
    m_device->sample();
    QCOMPARE(m_events.contains(QStringLiteral("raw")), notified);
    QCOMPARE(m_device->rawAxisValue(2), double(to)); // stored either way
}

void tst_GamepadSampling::smallCalibratedMoveIsStoredNotReported()
{
    plug();
    m_pads->setAxis(1, 0, 54.f);
    m_device->sample();
    m_events.clear();
    m_pads->setAxis(1, 0, 54.4f);
    m_device->sample();
    QCOMPARE(m_events, QStringList{"raw"});
    QVERIFY(m_device->axisValue(0) > 50.4);
}

void tst_GamepadSampling::buttonPressHoldRelease()
{
    plug();
    m_pads->press(1, 3);
    m_device->sample();
    QCOMPARE(m_events, (QStringList{"button 3 true", "data 0 1 but_3=true", "data gamepad gamepad but_3=true",
                                    "buttons"}));
    m_events.clear();
    m_pads->advanceClock(2000);
    m_device->sample(); // held: no repeat by default
    QCOMPARE(m_events, QStringList());
    m_pads->release(1, 3);
    m_device->sample(); // release not reported, but the state changed
    QCOMPARE(m_events, QStringList{"buttons"});
    QVERIFY(!m_device->buttonPressed(3));
}

void tst_GamepadSampling::repeatFollowsBackendClock()
{
    writeCalibration(R"({ "type": "GamepadCalibration", "buttons": [ {}, {}, {},
        { "repeatOnPress": true, "repeatDelayMs": 350, "repeatIntervalMs": 120 } ] })");
    plug();
    QCOMPARE(m_device->calibrationSourceLabel(), QStringLiteral("Base device"));
    QLoggingCategory::setFilterRules(QStringLiteral("hx.plugin.gamepad.input.axis.debug=true"));
    LogRecorder log;

    m_pads->press(1, 3);
    m_device->sample(); // pressed at 0 ms
    QList<qint64> reports{0};
    QList<qint64> repeats;
    connect(m_device.get(), &ControlManette::buttonChanged, this, [&] {
        reports << m_pads->nowMs();
        repeats << m_pads->nowMs();
    });
    for (int step = 0; step < 70; ++step) { // 10 ms steps up to 700 ms
        m_pads->advanceClock(10);
        m_device->sample();
    }
    QCOMPARE(repeats, (QList<qint64>{350, 470, 590}));
    QCOMPARE(log.count(QStringLiteral("Gamepad button updated key= \"but_3\" pressed= true repeat= false")),
             1);
    QCOMPARE(log.count(QStringLiteral("Gamepad button updated key= \"but_3\" pressed= true repeat= true")),
             3);

    repeats.clear();
    m_pads->advanceClock(1000); // a late step yields one repeat
    m_device->sample();
    QCOMPARE(repeats.size(), 1);
}

void tst_GamepadSampling::gateNeedsBothAxes_data()
{
    QTest::addColumn<QList<int>>("axes");
    QTest::addColumn<int>("reports");
    QTest::newRow("pad without axis 1") << QList<int>{0, 2} << 0;
    QTest::newRow("pad with both axes") << QList<int>{0, 1} << 1;
}

void tst_GamepadSampling::gateNeedsBothAxes()
{
    QFETCH(QList<int>, axes);
    QFETCH(int, reports);
    writeCalibration(
        R"({ "type": "GamepadCalibration", "gates": [ { "xAxis": 0, "yAxis": 1, "radius": 20 } ] })");
    plug(axes);
    m_device->sample(); // the centre is inside the gate
    QCOMPARE(m_events.filter(QStringLiteral("gate ")).size(), reports);
    QCOMPARE(m_device->gateStates().size(), reports);
}

void tst_GamepadSampling::gateStateSurvivesStepsNotReloads()
{
    writeCalibration(R"({ "type": "GamepadCalibration", "gates": [ { "key": "stick", "radius": 20 } ] })");
    plug();
    m_device->sample();
    QCOMPARE(m_events,
             (QStringList{"gate stick true", "data 0 1 stick=true", "data gamepad gamepad stick=true"}));
    m_events.clear();
    m_device->sample();
    QCOMPARE(m_events, QStringList());
    QCOMPARE(m_device->gateStates().value(QStringLiteral("stick")), true);

    m_device->reloadCalibration();
    QVERIFY(m_device->gateStates().isEmpty());
    m_device->sample(); // starts from outside again
    QCOMPARE(m_events.first(), QStringLiteral("gate stick true"));
}

void tst_GamepadSampling::oneChangeSetPerStep()
{
    writeCalibration(R"({ "type": "GamepadCalibration",
                          "gates": [ { "key": "right", "centerX": 50, "centerY": 0, "radius": 10 } ] })");
    plug();
    m_device->sample();
    m_events.clear();
    m_pads->setAxis(1, 0, 54.f);
    m_pads->press(1, 3);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.plugin.gamepad.input.axis.debug=true"));
    LogRecorder log;
    m_device->sample();
    QVERIFY(log.lines().contains(
        QStringLiteral("Gamepad gate updated key= \"right\" inside= true value= true distance= 0")));
    QCOMPARE(m_events,
             (QStringList{"axis 0 50", "gate right true", "button 3 true",
                          "data 0 1 joy_0=50,right=true,but_3=true",
                          "data gamepad gamepad joy_0=50,right=true,but_3=true", "axes", "raw", "buttons"}));
}

void tst_GamepadSampling::connectionLoss()
{
    plug();
    m_pads->unplug(1);
    m_device->sample();
    QCOMPARE(m_events, QStringList{"connected 0"});
    m_events.clear();
    m_device->sample();
    QCOMPARE(m_events, QStringList());
    QVERIFY(m_device->isSampling()); // the manager deletes it; the device does not stop itself

    plug(); // back in the same slot before discovery: sampling resumes
    m_pads->press(1, 0);
    m_device->sample();
    QCOMPARE(m_events.first(), QStringLiteral("connected 1"));
    QVERIFY(m_events.contains(QStringLiteral("button 0 true")));
}

QTEST_GUILESS_MAIN(tst_GamepadSampling)
#include "tst_gamepadsampling.moc"
