// One sampling step of a gamepad device: what it reports, under which keys, in which order, and
// what it keeps quiet about. Steps are run directly; time moves through the virtual backend clock.
#include "controlmanette.h"
#include "profilestore.h"
#include "support/testsupport.h"

#include <QLoggingCategory>

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
        QLoggingCategory::setFilterRules(QString());
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
        QTest::newRow("a stick at rest is silent, a move reports in order, a move under 0.5 is only stored")
            << QByteArray() << all << "s t1000 s a0=54 s a0=54.4 s ?a0"
            << "- | - | axis 0 50 / data 0 1 joy_0=50 / data gamepad gamepad joy_0=50 / axes / raw | raw | "
               "a0=50.4";
        QTest::newRow("a raw move just under a tenth is quiet but stored")
            << QByteArray() << all << "a2=10 S a2=10.09999 s ?r2"
            << "- | r2=10.1";
        QTest::newRow("a raw move of 0.11 notifies") << QByteArray() << all << "a2=10 S a2=10.11 s ?r2"
                                                     << "raw | r2=10.11";
        QTest::newRow("a press reports, a hold does not repeat by default, a release only changes the state")
            << QByteArray() << all << "p3 s t2000 s r3 s ?b3"
            << "button 3 true / data 0 1 but_3=true / data gamepad gamepad but_3=true / buttons | - | "
               "buttons | "
               "b3=false";
        QTest::newRow("a pad without axis 1 never evaluates the gate") << gate << QList<int>{0, 2} << "s ?g"
                                                                       << "- | g=";
        QTest::newRow("a gate state survives steps, not reloads")
            << gate << QList<int>{0, 1} << "s s ?g reload ?g s"
            << "gate stick true / data 0 1 stick=true / data gamepad gamepad stick=true | - | g=stick | g= | "
               "gate stick true / data 0 1 stick=true / data gamepad gamepad stick=true";
        QTest::newRow("one step reports axis, gate and button in one change set")
            << QByteArray(R"({"type": "GamepadCalibration",
                             "gates": [{"key": "right", "centerX": 50, "centerY": 0, "radius": 10}]})")
            << all << "S a0=54 p3 s"
            << "axis 0 50 / gate right true / button 3 true / data 0 1 joy_0=50,right=true,but_3=true / "
               "data gamepad gamepad joy_0=50,right=true,but_3=true / axes / raw / buttons";
        // The manager deletes a lost device; it does not stop itself, and resumes in the same slot.
        QTest::newRow("a lost pad reports once and resumes when back before discovery")
            << QByteArray() << all << "unplug s s plug p0 s"
            << "connected 0 | - | connected 1 / button 0 true / data 0 1 but_0=true / "
               "data gamepad gamepad but_0=true / buttons";
    }

    void scenario()
    {
        QFETCH(QByteArray, calibration);
        QFETCH(QList<int>, axes);
        QFETCH(QString, script);
        if (!calibration.isEmpty())
            writeCalibration(calibration);
        plug(axes);
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
                plug(axes);
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
        plug();
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
