// The virtual backend stands in for SFML in every runtime test, so its SFML-like behaviour (state
// visible after update(), connection events only through an open pump) and its scenario reader
// are checked here.
#include "support/testsupport.h"
#include "virtualjoystickbackend.h"

using TestSupport::json;

class tst_VirtualJoystickBackend : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readingsFollowUpdateAndThePadsShape()
    {
        VirtualJoystickBackend pads;
        pads.plug(TestSupport::pad(2));
        pads.openEventPump();
        QVERIFY(!pads.takeConnectionEvents()); // plugged before the pump existed
        pads.setAxis(2, 1, 54.f);
        QVERIFY(!pads.isConnected(2));
        pads.update();
        QVERIFY(pads.isConnected(2) && pads.axisPosition(2, 1) == 54.f);
        pads.plug(TestSupport::pad(1));
        pads.unplug(2);
        QVERIFY(pads.takeConnectionEvents()); // one answer for the whole batch
        QVERIFY(!pads.takeConnectionEvents());
        pads.closeEventPump();
        pads.unplug(1);
        QVERIFY(!pads.takeConnectionEvents());

        // The pad's shape limits what it reads.
        VirtualJoystickBackend::Pad pad;
        pad.axes = {0, 1};
        pad.buttons = 4;
        pads.plug(pad);
        pads.setAxis(0, 2, 30.f); // absent axis
        pads.setAxis(0, 0, 250.f);
        pads.press(0, 4); // beyond the button count
        QCOMPARE(after(pads, 0), "0 Virtual Pad 0:0 2 axes 4 buttons a0=100");
        QVERIFY(pads.axisPosition(0, 2) == 0.f && !pads.isButtonPressed(0, 4));
        QVERIFY(!pads.isConnected(-1) && !pads.isConnected(8));
        QVERIFY(!pads.plug(VirtualJoystickBackend::Pad{8}));
    }

    // Scenario time: events apply in time order, not file order, as the clock reaches them.
    void scenarioEventsFollowTheClock()
    {
        VirtualJoystickBackend pads;
        QString error;
        QVERIFY2(
            pads.loadScenario(json(R"({ "pads": [ { "slot": 0, "name": "Virtual Pad", "vendorId": "0x045e",
                "productId": "0x028e", "axes": [0, 1, 2, 3, 4, 5], "buttons": 12 } ],
            "events": [ { "at": 800, "slot": 0, "button": 3, "pressed": true },
                        { "at": 500, "slot": 0, "axis": 0, "value": 54.0 },
                        { "at": 900, "slot": 0, "button": 3, "pressed": false },
                        { "at": 1500, "plug": { "slot": 1, "name": "Second Pad", "vendorId": 1118, "productId": 654,
                                                "axes": [0, 1], "buttons": 4 } },
                        { "at": 2500, "unplug": 0 } ],
            "loop": false })"),
                              &error),
            qPrintable(error));
        pads.openEventPump();
        QStringList seen;
        for (qint64 ms : {0, 499, 1, 300, 100, 600, 5000, 5000})
            seen << after(pads, ms);
        const QString first = "0 Virtual Pad 45e:28e 6 axes 12 buttons a0=";
        const QString second = "1 Second Pad 45e:28e 2 axes 4 buttons a0=0";
        QCOMPARE(seen, (QStringList{first + "0", first + "0", first + "54", first + "54 b3", first + "54",
                                    "event | " + first + "54 | " + second, "event | " + second,
                                    second})); // no loop
    }

    void loopingScenarioStartsOver()
    {
        VirtualJoystickBackend pads;
        QVERIFY(pads.loadScenario(json(R"({ "pads": [ { "slot": 0, "name": "P" } ],
            "events": [ { "at": 100, "slot": 0, "axis": 1, "value": -20 }, { "at": 200, "unplug": 0 } ],
            "loop": true, "period": 300 })")));
        pads.openEventPump();
        const QString pad = "0 P 0:0 8 axes 32 buttons a0=0";
        QCOMPARE(after(pads, 0), pad);
        QCOMPARE(after(pads, 250), "event");
        QCOMPARE(after(pads, 50), "event | " + pad); // 300: the pads are back as at the start
        QCOMPARE(pads.axisPosition(0, 1), 0.f);
        after(pads, 100); // 400 = 300 + 100
        QCOMPARE(pads.axisPosition(0, 1), -20.f);
        QCOMPARE(after(pads, 3000 * 100), "event | " + pad); // a long pause replays only the running cycle

        // A loop that plugs nothing in or out restarts without a connection event.
        QVERIFY(pads.loadScenario(json(R"({ "pads": [ { "slot": 2, "name": "Q" } ],
            "events": [ { "at": 100, "slot": 2, "button": 0, "pressed": true } ], "loop": true })")));
        pads.takeConnectionEvents();
        QCOMPARE(after(pads, 1100), "2 Q 0:0 8 axes 32 buttons a0=0"); // one second after the last event
    }

    void badScenario_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("where");
        auto row = [](const char* name, const char* document, const char* where) {
            QTest::newRow(name) << QByteArray(document) << QString(where);
        };
        row("pads not an array", R"({ "pads": {} })", "pads");
        row("slot out of range", R"({ "pads": [ { "slot": 8 } ] })", "pads[0].slot");
        row("id text without 0x", R"({ "pads": [ { "slot": 0, "vendorId": "045e" } ] })", "pads[0].vendorId");
        row("axis index out of range", R"({ "pads": [ { "slot": 0, "axes": [0, 9] } ] })", "pads[0].axes[1]");
        row("event without time", R"({ "events": [ { "slot": 0, "axis": 0, "value": 1 } ] })",
            "events[0].at");
        row("event of no known kind", R"({ "events": [ { "at": 5, "slot": 0 } ] })", "events[0]");
        row("button without state", R"({ "events": [ { "at": 5, "slot": 0, "button": 1 } ] })",
            "events[0].pressed");
        row("loop not a boolean", R"({ "loop": "yes" })", "loop");
    }

    void badScenario()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, where);
        VirtualJoystickBackend pads;
        pads.plug({});
        QString error;
        QVERIFY(!pads.loadScenario(QJsonDocument::fromJson(document).object(), &error));
        QVERIFY2(error.startsWith(where + QLatin1Char(':')), qPrintable(error));
        pads.update();
        QVERIFY(pads.isConnected(0)); // a rejected scenario changes nothing
    }

    void unreadableScenarioFileStartsEmpty_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing file") << QByteArray() << "No such file";
        QTest::newRow("array at top level") << QByteArray("[]") << "not a JSON object";
    }

    void unreadableScenarioFileStartsEmpty()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = dir.filePath("pads.json");
        if (!content.isEmpty())
            QVERIFY(TestSupport::writeFile(path, content));
        const QString message = QStringLiteral("Virtual gamepad scenario \"%1\" not loaded: ").arg(path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^" + QRegularExpression::escape(message) +
                                                              ".*" + QRegularExpression::escape(problem)));
        const auto pads = VirtualJoystickBackend::fromScenarioFile(path);
        QVERIFY(pads);
        pads->update();
        for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot)
            QVERIFY(!pads->isConnected(slot));
    }

private:
    // Advances the clock by ms and describes what a reader sees: "event" when connection events
    // are pending, then each connected pad with its identity, shape, axis 0 and pressed buttons.
    static QString after(VirtualJoystickBackend& pads, qint64 ms)
    {
        pads.advanceClock(ms);
        pads.update();
        QStringList seen;
        if (pads.takeConnectionEvents())
            seen << "event";
        for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot) {
            if (!pads.isConnected(slot))
                continue;
            const auto id = pads.identification(slot);
            int axes = 0;
            for (int axis = 0; axis < 8; ++axis)
                axes += pads.hasAxis(slot, axis) ? 1 : 0;
            QString text = QString::asprintf("%d %s %x:%x %d axes %d buttons a0=%g", slot,
                                             qPrintable(id.name), id.vendorId, id.productId, axes,
                                             pads.buttonCount(slot), double(pads.axisPosition(slot, 0)));
            for (int button = 0; button < pads.buttonCount(slot); ++button)
                text += pads.isButtonPressed(slot, button) ? QStringLiteral(" b%1").arg(button) : QString();
            seen << text;
        }
        return seen.join(" | ");
    }
};

QTEST_GUILESS_MAIN(tst_VirtualJoystickBackend)
#include "tst_virtualjoystickbackend.moc"
