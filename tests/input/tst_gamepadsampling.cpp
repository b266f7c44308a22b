// One sampling step of a gamepad device: what it reports, under which keys, in which order, and
// what it keeps quiet about. Steps are run directly; time moves through the virtual backend clock.
#include "controlmanette.h"
#include "profilestore.h"
#include "support/testsupport.h"

#include <QDir>
#include <QLoggingCategory>
#include <QTest>

using namespace TestSupport;

class tst_GamepadSampling : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_data = std::make_unique<DataRoot>(); }
    void cleanup()
    {
        m_device.reset();
        m_pads = std::make_shared<VirtualJoystickBackend>();
        m_events.clear();
        axisDebug(false);
    }

    void stickMoveReportsInOrder()
    {
        plug();
        m_device->sample(); // at rest with the default calibration: silent
        m_pads->advanceClock(1000);
        m_device->sample();
        QCOMPARE(m_events, QStringList());

        axisDebug(true);
        LogRecorder log;
        m_pads->setAxis(1, 0, 54.f);
        m_device->sample();
        QCOMPARE(m_events, (QStringList{"axis 0 50", "data 0 1 joy_0=50", "data gamepad gamepad joy_0=50",
                                        "axes", "raw"}));
        QCOMPARE(log.lines(),
                 QStringList{"Gamepad axis updated key= \"joy_0\" raw= 54 value= 50 rest= false"});

        // A calibrated move under 0.5 is stored, not reported.
        m_events.clear();
        m_pads->setAxis(1, 0, 54.4f);
        m_device->sample();
        QCOMPARE(m_events, QStringList{"raw"});
        QVERIFY(m_device->axisValue(0) > 50.4);
    }

    void rawMoveThreshold_data()
    {
        QTest::addColumn<float>("to");
        QTest::addColumn<bool>("notified");
        QTest::newRow("a raw move just under a tenth is quiet") << 10.09999f << false;
        QTest::newRow("a raw move of 0.11 notifies") << 10.11f << true;
    }

    void rawMoveThreshold()
    {
        QFETCH(float, to);
        plug();
        m_pads->setAxis(1, 2, 10.f);
        m_device->sample();
        m_events.clear();
        m_pads->setAxis(1, 2, to);
        m_device->sample();
        QTEST(m_events.contains("raw"), "notified");
        QCOMPARE(m_device->rawAxisValue(2), double(to)); // stored either way
    }

    void buttonPressHoldRelease()
    {
        plug();
        m_pads->press(1, 3);
        m_device->sample();
        QCOMPARE(m_events, (QStringList{"button 3 true", "data 0 1 but_3=true",
                                        "data gamepad gamepad but_3=true", "buttons"}));
        m_events.clear();
        m_pads->advanceClock(2000);
        m_device->sample(); // held: no repeat by default
        QCOMPARE(m_events, QStringList());
        m_pads->release(1, 3);
        m_device->sample(); // release not reported, but the state changed
        QCOMPARE(m_events, QStringList{"buttons"});
        QVERIFY(!m_device->buttonPressed(3));
    }

    void repeatFollowsBackendClock()
    {
        writeCalibration(R"({ "type": "GamepadCalibration", "buttons": [ {}, {}, {},
            { "repeatOnPress": true, "repeatDelayMs": 350, "repeatIntervalMs": 120 } ] })");
        plug();
        QCOMPARE(m_device->calibrationSourceLabel(), "Base device");
        axisDebug(true);
        LogRecorder log;

        m_pads->press(1, 3);
        m_device->sample(); // pressed at 0 ms
        QList<qint64> repeats;
        connect(m_device.get(), &ControlManette::buttonChanged, this, [&] { repeats << m_pads->nowMs(); });
        for (int step = 0; step < 70; ++step) { // 10 ms steps up to 700 ms
            m_pads->advanceClock(10);
            m_device->sample();
        }
        QCOMPARE(repeats, (QList<qint64>{350, 470, 590}));
        QCOMPARE(log.count("Gamepad button updated key= \"but_3\" pressed= true repeat= false"), 1);
        QCOMPARE(log.count("Gamepad button updated key= \"but_3\" pressed= true repeat= true"), 3);
    }

    void gateNeedsBothAxes_data()
    {
        QTest::addColumn<QList<int>>("axes");
        QTest::addColumn<int>("reports");
        QTest::newRow("a pad without axis 1 never evaluates the gate") << QList<int>{0, 2} << 0;
        QTest::newRow("a pad with both axes does") << QList<int>{0, 1} << 1;
    }

    void gateNeedsBothAxes()
    {
        QFETCH(QList<int>, axes);
        QFETCH(int, reports);
        writeCalibration(
            R"({ "type": "GamepadCalibration", "gates": [ { "xAxis": 0, "yAxis": 1, "radius": 20 } ] })");
        plug(axes);
        m_device->sample(); // the centre is inside the gate
        QCOMPARE(m_events.filter("gate ").size(), reports);
        QCOMPARE(m_device->gateStates().size(), reports);
    }

    void gateStateSurvivesStepsNotReloads()
    {
        writeCalibration(
            R"({ "type": "GamepadCalibration", "gates": [ { "key": "stick", "radius": 20 } ] })");
        plug();
        m_device->sample();
        QCOMPARE(m_events,
                 (QStringList{"gate stick true", "data 0 1 stick=true", "data gamepad gamepad stick=true"}));
        m_events.clear();
        m_device->sample();
        QCOMPARE(m_events, QStringList());
        QCOMPARE(m_device->gateStates().value("stick"), true);

        m_device->reloadCalibration();
        QVERIFY(m_device->gateStates().isEmpty());
        m_device->sample(); // starts from outside again
        QCOMPARE(m_events.first(), "gate stick true");
    }

    // A receiver of gateChanged (the calibration editor) may reload the calibration at once: the step
    // must not go on over the gate list the reload replaced, and the next step starts afresh.
    void reloadFromAGateReceiverEndsTheGatePass()
    {
        writeCalibration(R"({ "type": "GamepadCalibration", "gates": [ { "key": "a", "radius": 20 },
            { "key": "b", "radius": 30 }, { "key": "c", "radius": 40 } ] })");
        plug();
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

    void oneChangeSetPerStep()
    {
        writeCalibration(R"({ "type": "GamepadCalibration",
                              "gates": [ { "key": "right", "centerX": 50, "centerY": 0, "radius": 10 } ] })");
        plug();
        m_device->sample();
        m_events.clear();
        m_pads->setAxis(1, 0, 54.f);
        m_pads->press(1, 3);
        axisDebug(true);
        LogRecorder log;
        m_device->sample();
        QVERIFY(
            log.lines().contains("Gamepad gate updated key= \"right\" inside= true value= true distance= 0"));
        QCOMPARE(m_events, (QStringList{"axis 0 50", "gate right true", "button 3 true",
                                        "data 0 1 joy_0=50,right=true,but_3=true",
                                        "data gamepad gamepad joy_0=50,right=true,but_3=true", "axes", "raw",
                                        "buttons"}));
    }

    void connectionLoss()
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
        QCOMPARE(m_events.first(), "connected 1");
        QVERIFY(m_events.contains("button 0 true"));
    }

private:
    void plug(const QList<int>& axes = {0, 1, 2, 3, 4, 5, 6, 7})
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
    static void axisDebug(bool on)
    {
        QLoggingCategory::setFilterRules(on ? "hx.plugin.gamepad.input.axis.debug=true" : QString());
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
    std::shared_ptr<VirtualJoystickBackend> m_pads = std::make_shared<VirtualJoystickBackend>();
    std::unique_ptr<ControlManette> m_device;
    QStringList m_events;
};

QTEST_GUILESS_MAIN(tst_GamepadSampling)
#include "tst_gamepadsampling.moc"
