// The real SFML driver over mocked kernel joysticks (mockjoysticks/; CTest runs the program under
// umockdev-wrapper): discovery and its timing, the identity the device list's registry keeps,
// readings through calibration to the host's dataChanged, hot-plug and faults of the node. Last,
// a mocked pad recorded as a scenario and replayed through the virtual backend must give the host
// the same stream. Time is real for the scripts (waited for as conditions) and stepped by hand for
// the recording.
#include "gamepadmanager.h"
#include "linkerdevicemodel.h"
#include "mockjoysticks.h"
#include "registryfile.h"
#include "sampletimer.h"
#include "scenariorecorder.h"
#include "sfmljoystickbackend.h"
#include "support/testsupport.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>

#include <linux/joystick.h>

#include <algorithm>
#include <cerrno>
#include <functional>

using namespace TestSupport;

namespace {

const QString kContext = QStringLiteral("driver");

// The pads the scripts plug in; the default is an XInput pad (8 axes, 11 buttons) on USB port 1.
MockJoysticks::Pad described(const QString& kind)
{
    MockJoysticks::Pad pad;
    if (kind == "twin") {
        pad.usbPort = 2;
    } else if (kind == "bare") { // ids from the node's udev properties, no axis
        pad = {"Bare Box", 0x1234, 0xabcd, {}, {}, 4, false};
    } else if (kind == "wide") {
        pad.name = "Wide Deck";
        pad.axisMap = QByteArray::fromHex("0001");
        pad.buttons = 40;
    } else if (kind == "noname") {
        pad.nameFails = true;
        pad.usb = false;
    } else if (kind == "latin1") {
        pad.name = "Manette \xe9t\xe9";
        pad.usbPort = 3;
    }
    return pad;
}

// Counts sampling steps, so that a script can let a few go by.
class CountedSfml : public SfmlJoystickBackend
{
public:
    void noteSampleRefresh() override
    {
        ++steps;
        SfmlJoystickBackend::noteSampleRefresh();
    }
    int steps = 0;
};

QString changeSet(const QStringList& keys, const QVariantList& values)
{
    QStringList parts;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QVariant& v = values.value(i);
        parts << keys.at(i) + "=" +
                     (v.typeId() == QMetaType::Bool ? v.toString() : QString::number(v.toDouble(), 'g', 4));
    }
    return parts.join(',');
}

// Timers armed by the manager and its children: the wake-ups it has asked for.
int armedTimers(QObject* manager)
{
    int count = int(QAbstractEventDispatcher::instance()->registeredTimers(manager).size());
    for (QObject* child : manager->findChildren<QObject*>()) {
        count += int(QAbstractEventDispatcher::instance()->registeredTimers(child).size());
        if (auto* clock = qobject_cast<SampleTimer*>(child))
            count += clock->isActive() ? 1 : 0; // a timerfd, not a Qt timer
    }
    return count;
}

// Hands every change set the host gets from the pad to `sink` as "gp:<slot> <key>=<value>,...".
void report(ControlManette* pad, QObject* context, const std::function<void(const QString&)>& sink)
{
    QObject::connect(
        pad,
        qOverload<const QString&, const QString&, const QStringList&, const QVariantList&>(
            &IComInterface::dataChanged),
        context, [pad, sink](const QString&, const QString&, const QStringList& k, const QVariantList& v) {
            sink(QStringLiteral("gp:%1 %2").arg(pad->deviceId()).arg(changeSet(k, v)));
        });
}

bool noneConnected()
{
    SfmlJoystickBackend probe;
    probe.update();
    for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot) {
        if (probe.isConnected(slot))
            return false;
    }
    return true;
}

} // namespace

class tst_SfmlDriver : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(MockJoysticks::available(), "run under umockdev-wrapper");
        m_mock = std::make_unique<MockJoysticks>(); // before SFML's first look at udev
        m_display = qgetenv("DISPLAY");
    }

    void init()
    {
        m_data = std::make_unique<DataRoot>();
        // The XInput pad's triggers (axes Z and R) rest at -100.
        QVERIFY(writeFile(ProfileStore::sharedProfilesRoot() + "/_deviceCalibration/045e_028e_mock_pad.json",
                          R"({"type": "GamepadCalibration", "axes": [{}, {},
                              {"mode": "trigger", "restRaw": -100, "deadzoneRadius": 0},
                              {"mode": "trigger", "restRaw": -100, "deadzoneRadius": 0}]})"));
    }

    void cleanup()
    {
        m_model.reset();
        delete GamepadManager::existingInstance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        JoystickBackends::install(nullptr);
        QVERIFY(!m_backend || !m_backend->hasPumpWindow()); // the manager owns the window's lifetime
        m_backend.reset();
        for (int pad : std::as_const(m_pads))
            m_mock->unplug(pad);
        m_pads.clear();
        m_kinds.clear();
        m_stream.clear();
        QTRY_VERIFY(noneConnected());
        if (!m_display.isEmpty())
            qputenv("DISPLAY", m_display);
        m_data.reset();
    }

    // The first use of SFML in the process finds what is plugged in at once. With nothing plugged
    // in, the manager rests until udev speaks, waking only at SFML's own once-a-second deadline;
    // a pad plugged in then ends the rest and is found no sooner than the discovery delay.
    void restsWithoutPadsUntilOneIsPluggedIn()
    {
        plug("xpad");
        GamepadManager* manager = startHost();
        QVERIFY(manager->gamepadForSlot(0) && !manager->isResting());
        QCOMPARE(manager->gamepadForSlot(0)->name(), "Mock Pad");
        m_mock->unplug(m_pads.takeFirst());
        QTRY_VERIFY(manager->gamepads().isEmpty());
        QVERIFY(m_backend->watchesDeviceEvents());
        QTRY_VERIFY(manager->isResting());
        QCOMPARE(armedTimers(manager), 1); // the deadline's wake-up, nothing else
        const int calls = m_backend->sfmlCallCount();
        QTRY_VERIFY_WITH_TIMEOUT(m_backend->sfmlCallCount() > calls, 10000);
        QTRY_VERIFY(manager->isResting());
        QElapsedTimer sincePlug;
        sincePlug.start();
        plug("xpad");
        QTRY_VERIFY(manager->gamepadForSlot(0));
        QVERIFY2(sincePlug.elapsed() >= GamepadManager::DiscoveryDelayMs,
                 qPrintable(QString::number(sincePlug.elapsed())));
        QVERIFY(!manager->isResting());
    }

    // Scripts: "+xpad" plugs a pad of that kind (pads numbered in order), "+1" plugs pad 1 again,
    // "-1" pulls it out; "0:a2=-32767" moves kernel axis 2 of pad 0, "0:b3+" / "0:b3-" press and
    // release its button 3, "0:t9=1" sends an event of type 9, "0:eio" fails its next read with
    // EIO, "0:cut" cuts its next event short; "sel:gp:0" selects a row. "?" shows what the host got
    // since the last "?" (then lets sampling steps go by to see that nothing follows), "rows" the
    // device list (after a plug or pull-out, no sooner than the discovery delay).
    void driver_data()
    {
        QTest::addColumn<bool>("display"); // the pump window, when there is a display to open it on
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("shown"); // " | " between the shown items
        const char* connected = "gp:0 'Mock Pad' 45e:28e connected";
        QTest::newRow("stick, trigger through its calibration, hat and buttons reach the host")
            << true << "+xpad rows sel:gp:0 ? 0:a0=17694 ? 0:a2=0 ? 0:a2=32767 0:a6=-32767 0:b3+ ? 0:b3- ?"
            << QString(connected) +
                   " | - | gp:0 joy_0=50 | gp:0 joy_2=50 | gp:0 joy_2=100,joy_6=-100,but_3=true | -";
        QTest::newRow("a pad without axes has its ids from udev properties")
            << true << "+bare rows sel:gp:0 0:b0+ 0:b3+ ? 0:a0=32767 ?"
            << "gp:0 'Bare Box' 1234:abcd connected | gp:0 but_0=true,but_3=true | -";
        QTest::newRow("of 40 buttons the first 32 reach the host") << true << "+wide sel:gp:0 0:b31+ 0:b35+ ?"
                                                                   << "gp:0 but_31=true";
        QTest::newRow("a name the driver does not give, and one not in UTF-8")
            << true << "+noname +latin1 rows"
            << "gp:0 'Unknown Joystick' 45e:28e connected, gp:1 'Manette t' 45e:28e connected";
        QTest::newRow("unknown events, a cut event and a read error leave the pad reading")
            << true << "+xpad sel:gp:0 0:t9=1 0:a0=32767 ? 0:a0=-32767 0:cut 0:a1=32767 0:b2+ ? 0:eio ?"
            << "gp:0 joy_0=100 | gp:0 joy_0=-100,but_2=true | gp:0 joy_1=100";
        const char* hotPlug = "+xpad rows sel:gp:0 0:b1+ ? -0 rows ? +0 rows 0:b1+ ?";
        const QString hotPlugShown = QString(connected) + " | gp:0 but_1=true | " +
                                     "gp:0 'Mock Pad' 45e:28e absent selected | - | " + connected +
                                     " selected | gp:0 but_1=true";
        QTest::newRow("a selected pad pulled out and plugged back in") << true << hotPlug << hotPlugShown;
        QTest::newRow("the same without a display, watched by polling") << false << hotPlug << hotPlugShown;
        QTest::newRow("identical pads keep apart when plugged back in swapped order")
            << true
            << "+xpad +twin rows sel:gp:0 sel:gp:1 0:a0=32767 1:a1=32767 ? -0 -1 rows +1 +0 rows "
               "1:a0=-32767 0:a1=-32767 ?"
            << "gp:0 'Mock Pad' 45e:28e connected, gp:1 'Mock Pad' 45e:28e connected | "
               "gp:0 joy_0=100, gp:1 joy_1=100 | "
               "gp:0 'Mock Pad' 45e:28e absent selected, gp:1 'Mock Pad' 45e:28e absent selected | "
               "gp:0 'Mock Pad' 45e:28e connected selected, gp:1 'Mock Pad' 45e:28e connected selected | "
               "gp:0 joy_0=-100, gp:1 joy_1=-100";
    }

    void driver()
    {
        QFETCH(bool, display);
        QFETCH(QString, script);
        QFETCH(QString, shown);
        const bool window = display && !m_display.isEmpty(); // else watched by polling
        if (!window) {
            qunsetenv("DISPLAY");
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^No display available"));
        }
        startHost();
        if (window)
            QTRY_VERIFY(m_backend->hasPumpWindow()); // the server may refuse the first try
        else
            QVERIFY(!m_backend->hasPumpWindow());
        QStringList expected = shown.split(" | ");
        QElapsedTimer sinceConnectionChange;
        for (const QString& step : script.split(' ')) {
            const int pad = step.mid(1).toInt();
            const QString action = step.section(':', 1);
            if (step.startsWith('+') && step.at(1).isLetter()) {
                plug(step.mid(1));
                sinceConnectionChange.start();
            } else if (step.startsWith('+')) {
                m_pads[pad] = m_mock->plug(described(m_kinds[pad]));
                sinceConnectionChange.start();
            } else if (step.startsWith('-')) {
                m_mock->unplug(m_pads[pad]);
                sinceConnectionChange.start();
            } else if (step == "?" || step == "rows") {
                QVERIFY2(!expected.isEmpty(), "more shown steps than shown items");
                const QString want = expected.takeFirst();
                if (step == "?") {
                    QTRY_COMPARE(stream(), want);
                    const QList<ControlManette*> live = GamepadManager::instance()->liveGamepads();
                    if (std::any_of(live.begin(), live.end(),
                                    [](ControlManette* p) { return p->isSampling(); })) {
                        const int steps = m_backend->steps;
                        QTRY_VERIFY(m_backend->steps >= steps + 4);
                    }
                    QCOMPARE(stream(), want);
                    m_stream.clear();
                } else {
                    QTRY_COMPARE(rows(), want);
                    if (sinceConnectionChange.isValid())
                        QVERIFY2(sinceConnectionChange.elapsed() >= GamepadManager::DiscoveryDelayMs,
                                 qPrintable(QString::number(sinceConnectionChange.elapsed())));
                    sinceConnectionChange.invalidate();
                }
            } else if (step.startsWith("sel:")) {
                QTRY_VERIFY(m_model->indexOfUsn(step.mid(4)) >= 0);
                m_model->setSelected(step.mid(4), true);
            } else {
                act(m_pads.value(step.section(':', 0, 0).toInt()), action);
            }
        }
        QVERIFY(expected.isEmpty());
    }

    void recordingReplaysTheSameStream();

private:
    void plug(const QString& kind)
    {
        m_kinds << kind;
        m_pads << m_mock->plug(described(kind));
    }

    void act(int pad, const QString& action)
    {
        const int number = action.mid(1).section('=', 0, 0).section('+', 0, 0).section('-', 0, 0).toInt();
        const qint16 value = qint16(action.section('=', 1).toInt());
        if (action == "eio")
            m_mock->failReads(pad, EIO);
        else if (action == "cut")
            m_mock->cutNextEvent(pad);
        else if (action.startsWith('a'))
            m_mock->moveAxis(pad, number, value);
        else if (action.startsWith('b'))
            m_mock->setButton(pad, number, action.endsWith('+'));
        else
            m_mock->send(pad, quint8(number), 0, value);
    }

    // The host's side: the device list over the SFML backend, and the inputs of every interface it
    // hands over as selected.
    GamepadManager* startHost()
    {
        m_backend = std::make_shared<CountedSfml>();
        JoystickBackends::install(m_backend);
        m_model = std::make_unique<LinkerDeviceModel>(kContext);
        m_model->setUniqSelection(false);
        connect(m_model.get(), &LinkerDeviceModel::selectedInterfacesChanged, this,
                [this](const QList<IComInterface*>& interfaces) {
                    for (IComInterface* iface : interfaces)
                        follow(qobject_cast<ControlManette*>(iface));
                });
        QCoreApplication::processEvents(); // the model's first reconciliation
        return GamepadManager::instance();
    }

    void follow(ControlManette* pad)
    {
        if (!pad || pad->property("followed").toBool())
            return;
        pad->setProperty("followed", true);
        report(pad, this, [this](const QString& changes) { m_stream << changes; });
    }

    // What the host got, by device ("-" for nothing); each device's reports in their order.
    QString stream() const
    {
        QStringList byDevice = m_stream;
        std::stable_sort(byDevice.begin(), byDevice.end(), [](const QString& a, const QString& b) {
            return a.section(' ', 0, 0) < b.section(' ', 0, 0);
        });
        return byDevice.isEmpty() ? QStringLiteral("-") : byDevice.join(", ");
    }

    // "<usn> '<name>' <vendor>:<product> connected|absent[ selected]" per row, the ids as the
    // registry file keeps them.
    QString rows() const
    {
        const QJsonObject devices =
            RegistryFile::read(RegistryFile::path(kContext)).object().value("devices").toObject();
        QStringList list;
        for (int r = 0; r < m_model->count(); ++r) {
            const QModelIndex index = m_model->index(r, 0);
            const QString usn = index.data(LinkerDeviceModel::UsnRole).toString();
            const QJsonObject record = devices.value(usn).toObject();
            list << QStringLiteral("%1 '%2' %3:%4 %5%6")
                        .arg(usn, index.data(LinkerDeviceModel::NameRole).toString(),
                             record.value("vendorIdHex").toString(), record.value("productIdHex").toString(),
                             index.data(LinkerDeviceModel::ConnectedRole).toBool() ? "connected" : "absent",
                             index.data(LinkerDeviceModel::SelectedRole).toBool() ? " selected" : "");
        }
        return list.join(", ");
    }

    std::unique_ptr<MockJoysticks> m_mock;
    QByteArray m_display;
    std::unique_ptr<DataRoot> m_data;
    std::shared_ptr<CountedSfml> m_backend;
    std::unique_ptr<LinkerDeviceModel> m_model;
    QList<int> m_pads;
    QStringList m_kinds;
    QStringList m_stream;
};

namespace {

// One run on a 10 ms grid stepped by hand, as a host sees it: every device the manager finds is
// engaged; "<time> gp:<slot> <changes>" per change set. `before` acts at each step's time,
// `after` follows the sampling.
QStringList steppedRun(const std::shared_ptr<JoystickBackend>& backend, qint64 lastMs,
                       const std::function<void(qint64)>& before, const std::function<void(qint64)>& after)
{
    GamepadManager manager(backend); // not the shared instance: its timers never start
    QStringList stream;
    qint64 now = 0;
    QObject::connect(&manager, &GamepadManager::gamepadAdded, &manager, [&](ControlManette* pad) {
        pad->connectDevice(QString());
        pad->sendData(pad->deviceId(), 1, "pollingInterval", 3600000); // sampled by the steps below
        report(pad, pad,
               [&](const QString& changes) { stream << QStringLiteral("%1 %2").arg(now).arg(changes); });
    });
    for (now = 0; now <= lastMs; now += ControlManette::DefaultSampleIntervalMs) {
        before(now);
        QCoreApplication::processEvents(); // udev's device events reach the SFML backend
        QMetaObject::invokeMethod(&manager, "discoverDevices");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (ControlManette* pad : manager.liveGamepads())
            pad->sample();
        after(now);
    }
    return stream;
}

} // namespace

// Recorded from the mocked pad through SFML (plugged in, pulled out, plugged back in), the file
// replays through the virtual backend into the same keys, values and order, within one interval.
void tst_SfmlDriver::recordingReplaysTheSameStream()
{
    auto sfml = std::make_shared<SfmlJoystickBackend>();
    ScenarioRecorder recorder(*sfml);
    const qint64 base = m_mock->nowMs();
    m_kinds << "xpad";
    m_pads << m_mock->plug(described("xpad"));
    const auto at = [base](qint64 ms, quint8 type, quint8 number, qint16 value) {
        return MockJoysticks::Event{base + ms, type, number, value};
    };
    m_mock->play(m_pads[0], {at(30, JS_EVENT_AXIS, 0, 17694), at(30, JS_EVENT_BUTTON, 3, 1),
                             at(60, JS_EVENT_AXIS, 2, 32767), at(90, JS_EVENT_BUTTON, 3, 0),
                             at(120, JS_EVENT_AXIS, 6, -32767), at(150, JS_EVENT_AXIS, 0, 0)});
    const QStringList live = steppedRun(
        sfml, 400,
        [&](qint64 t) {
            m_mock->advanceClock(t ? ControlManette::DefaultSampleIntervalMs : 0);
            if (t == 200)
                m_mock->unplug(m_pads[0]);
            if (t == 300) {
                m_pads[0] = m_mock->plug(described("xpad"));
                m_mock->play(m_pads[0], {at(340, JS_EVENT_AXIS, 1, -32767), at(370, JS_EVENT_BUTTON, 10, 1)});
            }
        },
        [&](qint64 t) { t ? recorder.step(t) : recorder.start(0); });
    const auto withoutTimes = [](QStringList stream) {
        for (QString& line : stream)
            line = line.section(' ', 1);
        return stream;
    };
    QCOMPARE(withoutTimes(live), (QStringList{"gp:0 joy_0=50,but_3=true", "gp:0 joy_2=100", "gp:0 joy_6=-100",
                                              "gp:0 joy_0=0", "gp:0 joy_1=-100", "gp:0 but_10=true"}));

    const QString file = m_data->path() + "/recorded.json";
    QVERIFY(recorder.save(file));
    auto pads = std::make_shared<VirtualJoystickBackend>();
    QString error;
    QVERIFY2(pads->loadScenarioFile(file, &error), qPrintable(error));
    const QStringList replayed = steppedRun(
        pads, 400, [&](qint64 t) { pads->advanceClock(t ? ControlManette::DefaultSampleIntervalMs : 0); },
        [](qint64) {});
    QCOMPARE(withoutTimes(replayed), withoutTimes(live));
    for (qsizetype i = 0; i < live.size(); ++i)
        QVERIFY2(qAbs(live[i].section(' ', 0, 0).toInt() - replayed[i].section(' ', 0, 0).toInt()) <=
                     ControlManette::DefaultSampleIntervalMs,
                 qPrintable(live[i] + " / " + replayed[i]));
}

QTEST_GUILESS_MAIN(tst_SfmlDriver)
#include "tst_sfmldriver.moc"
