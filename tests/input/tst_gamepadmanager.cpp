// Discovery and the joystick manager's timers on the virtual backend. Discovery is called directly
// where timing does not matter; the 250 ms delay after a connection event is waited for as a
// condition and checked as a lower bound, which a loaded machine cannot break.
#include "gamepadmanager.h"
#include "support/testsupport.h"

#include <QElapsedTimer>

using TestSupport::pad;

class tst_GamepadManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_pads = TestSupport::virtualPads(); }
    void cleanup()
    {
        delete GamepadManager::existingInstance();
        QVERIFY(!GamepadManager::existingInstance());
        JoystickBackends::install(nullptr);
        m_pads.reset();
    }

    void instanceWithoutControllers()
    {
        GamepadManager* manager = GamepadManager::instance();
        QCOMPARE(manager, GamepadManager::instance());
        QCOMPARE(manager->parent(), QCoreApplication::instance());
        QVERIFY(manager->isPolling() && m_pads->isEventPumpOpen());
        QCOMPARE(manager->pollIntervalMs(), 100);

        QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
        QSignalSpy added(manager, &GamepadManager::gamepadAdded);
        QSignalSpy removed(manager, &GamepadManager::gamepadRemoved);
        discover(manager);
        QVERIFY(QMetaObject::invokeMethod(manager, "poll"));
        QCOMPARE(changed.count() + added.count() + removed.count(), 0);

        // A second discovery with nothing changed stays silent too.
        m_pads->plug(pad(0));
        discover(manager);
        QCOMPARE(added.count(), 1);
        discover(manager);
        QCOMPARE(changed.count() + added.count() + removed.count(), 3);
    }

    void burstOfConnectionsIsOneDiscovery()
    {
        GamepadManager* manager = GamepadManager::instance();
        QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
        QList<int> addedSlots;
        QList<int> changesAtAdd; // one discovery adds both before its closing notification
        QElapsedTimer sincePlug;
        qint64 firstAddMs = -1;
        connect(manager, &GamepadManager::gamepadAdded, this, [&](ControlManette* device) {
            if (firstAddMs < 0)
                firstAddMs = sincePlug.elapsed();
            addedSlots.append(device->deviceId());
            changesAtAdd.append(int(changed.count()));
        });

        sincePlug.start();
        m_pads->plug(pad(5));
        m_pads->plug(pad(1));
        QTRY_COMPARE_WITH_TIMEOUT(addedSlots.size(), 2, 10000);
        QCOMPARE(addedSlots, (QList<int>{1, 5}));
        QCOMPARE(changesAtAdd, (QList<int>{1, 2}));
        QCOMPARE(changed.count(), 3);
        QVERIFY2(firstAddMs >= GamepadManager::DiscoveryDelayMs - 5, qPrintable(QString::number(firstAddMs)));
    }

    void pulledOutControllerIsRemoved()
    {
        m_pads->plug(pad(2));
        GamepadManager* manager = GamepadManager::instance();
        QPointer<ControlManette> device = manager->gamepadForSlot(2); // found at once in a later slot
        QVERIFY(device && device->parent() == manager && manager->gamepads().size() == 1);

        QStringList order;
        bool aliveWhenRemoved = false;
        connect(manager, &GamepadManager::gamepadRemoved, this, [&](int slot) {
            order << QStringLiteral("removed %1").arg(slot);
            aliveWhenRemoved = !device.isNull();
        });
        connect(manager, &GamepadManager::gamepadsChanged, this, [&] { order << QStringLiteral("changed"); });
        m_pads->unplug(2);
        QTRY_VERIFY_WITH_TIMEOUT(order.size() >= 2, 10000);
        QCOMPARE(order.mid(0, 2), (QStringList{"removed 2", "changed"}));
        QVERIFY(aliveWhenRemoved); // deleted later by the event loop, not during the signal
        QVERIFY(manager->gamepads().isEmpty());
        QTRY_VERIFY(device.isNull());
    }

    void deviceDeletedElsewhereIsDroppedWithMinusOne()
    {
        m_pads->plug(pad(0));
        m_pads->plug(pad(1));
        GamepadManager* manager = GamepadManager::instance();
        delete manager->gamepadForSlot(0);
        QCOMPARE(manager->gamepads().size(), 2); // the guarded entry stays until the next discovery

        QSignalSpy removed(manager, &GamepadManager::gamepadRemoved);
        QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
        m_pads->unplug(0); // the slot is free again, so no new device replaces it
        discover(manager);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().first().toInt(), -1);
        QCOMPARE(manager->gamepads().size(), 1);
        QCOMPARE(manager->gamepads().first()->deviceId(), 1);
        QCOMPARE(changed.count(), 2); // the new list, then the closing notification
    }

    void autoDetectSwitch()
    {
        GamepadManager* manager = GamepadManager::instance();
        QSignalSpy switched(manager, &GamepadManager::autoDetectGamePadChanged);
        QSignalSpy added(manager, &GamepadManager::gamepadAdded);

        manager->setAutoDetectGamePad(false);
        QCOMPARE(switched.count(), 1);
        QVERIFY(!manager->isPolling() && !manager->isPumping());
        m_pads->plug(pad(4));

        manager->setAutoDetectGamePad(true);
        QCOMPARE(switched.count(), 2);
        QCOMPARE(added.count(), 1); // discovered at once
        QVERIFY(manager->isPolling() && manager->isPumping());

        manager->setAutoDetectGamePad(true);
        QCOMPARE(switched.count(), 2);
        QCOMPARE(added.count(), 1);
    }

    void startPollingKeepsRunningInterval()
    {
        GamepadManager* manager = GamepadManager::instance();
        manager->startPolling(200);
        QCOMPARE(manager->pollIntervalMs(), 100);
        manager->stopPolling();
        QVERIFY(!manager->isPolling() && !manager->isPumping());
        m_pads->plug(pad(6));
        QSignalSpy added(manager, &GamepadManager::gamepadAdded);
        manager->startPolling(200);
        QCOMPARE(added.count(), 1);
        QCOMPARE(manager->pollIntervalMs(), 200);
        QVERIFY(manager->isPumping());

        const int updates = m_pads->updateCount();
        QTRY_VERIFY(m_pads->updateCount() > updates); // the poll timer refreshes the joystick state

        manager->setAutoDetectGamePad(false);
        manager->startPolling(100); // discovers, but starts nothing while detection is off
        QVERIFY(!manager->isPolling());
    }

    void pollLeavesOutARefreshJustMadeBySampling()
    {
        m_pads->plug(pad(0));
        GamepadManager* manager = GamepadManager::instance();
        int updates = m_pads->updateCount();
        QVERIFY(QMetaObject::invokeMethod(manager, "poll"));
        QCOMPARE(m_pads->updateCount(), updates + 1); // no sampling step yet

        manager->gamepadForSlot(0)->sample();
        updates = m_pads->updateCount();
        QVERIFY(QMetaObject::invokeMethod(manager, "poll"));
        // Read after the poll, so a slow machine cannot make the rule look broken.
        if (m_pads->msSinceSampleRefresh() < ControlManette::DefaultSampleIntervalMs)
            QCOMPARE(m_pads->updateCount(), updates);
    }

private:
    static void discover(GamepadManager* manager)
    {
        QVERIFY(QMetaObject::invokeMethod(manager, "discoverDevices"));
    }
    std::shared_ptr<VirtualJoystickBackend> m_pads;
};

QTEST_GUILESS_MAIN(tst_GamepadManager)
#include "tst_gamepadmanager.moc"
