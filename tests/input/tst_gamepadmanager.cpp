// Discovery and the joystick manager's timers on the virtual backend. Discovery is called directly
// where timing does not matter; the 250 ms delay after a connection event is waited for as a
// condition and checked as a lower bound, which a loaded machine cannot break. The rest of the poll
// and pump while no pad is plugged in is tested on the SFML driver (tst_sfmldriver).
#include "gamepadmanager.h"
#include "support/testsupport.h"

#include <QCoreApplication>
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
        m_log.clear();
    }

    void instanceWithoutControllers()
    {
        GamepadManager* manager = watched();
        QCOMPARE(manager, GamepadManager::instance());
        QCOMPARE(manager->parent(), QCoreApplication::instance());
        QVERIFY(manager->isPolling() && m_pads->isEventPumpOpen());
        QCOMPARE(manager->pollIntervalMs(), 100);
        discover(manager);
        QVERIFY(QMetaObject::invokeMethod(manager, "poll"));
        QCOMPARE(m_log, QStringList());
        const int updates = m_pads->updateCount();
        QTRY_VERIFY(m_pads->updateCount() > updates + 2); // no device events: the grid never rests
        QVERIFY(!manager->isResting());
        // A second discovery with nothing changed stays silent too.
        m_pads->plug(pad(0));
        discover(manager);
        discover(manager);
        QCOMPARE(m_log, (QStringList{"changed", "added 0", "changed"}));
    }

    // Connection changes reach the list one discovery delay after the event, as one discovery.
    void connectionBurstsAndRemovals()
    {
        m_pads->plug(pad(2));
        GamepadManager* manager = watched();
        QPointer<ControlManette> device = manager->gamepadForSlot(2); // found at once in a later slot
        QVERIFY(device && device->parent() == manager && manager->gamepads().size() == 1);
        QSignalSpy added(manager, &GamepadManager::gamepadAdded);
        QElapsedTimer sincePlug;
        sincePlug.start();
        m_pads->plug(pad(5));
        m_pads->plug(pad(1));
        QVERIFY(added.wait(10000));
        QVERIFY2(sincePlug.elapsed() >= GamepadManager::DiscoveryDelayMs - 5,
                 qPrintable(QString::number(sincePlug.elapsed())));
        // One discovery adds both, each with the new list, before its closing notification.
        QTRY_COMPARE(m_log, (QStringList{"changed", "added 1", "changed", "added 5", "changed"}));

        bool aliveWhenRemoved = false;
        connect(manager, &GamepadManager::gamepadRemoved, this, [&] { aliveWhenRemoved = !device.isNull(); });
        m_pads->unplug(2);
        QTRY_VERIFY_WITH_TIMEOUT(m_log.size() >= 7, 10000);
        QCOMPARE(m_log.mid(5, 2), (QStringList{"removed 2", "changed"}));
        QVERIFY(aliveWhenRemoved); // deleted later by the event loop, not during the signal
        QCOMPARE(manager->gamepads().size(), 2);
        QTRY_VERIFY(device.isNull());
    }

    void deviceDeletedElsewhereIsDroppedWithMinusOne()
    {
        m_pads->plug(pad(0));
        m_pads->plug(pad(1));
        GamepadManager* manager = watched();
        delete manager->gamepadForSlot(0);
        QCOMPARE(manager->gamepads().size(), 2); // the guarded entry stays until the next discovery
        m_pads->unplug(0);                       // the slot is free again, so no new device replaces it
        discover(manager);
        // The new list, then the closing notification.
        QCOMPARE(m_log, (QStringList{"removed -1", "changed", "changed"}));
        QCOMPARE(manager->gamepads().size(), 1);
        QCOMPARE(manager->gamepads().first()->deviceId(), 1);
    }

    void autoDetectAndPollingSwitches()
    {
        GamepadManager* manager = watched();
        manager->startPolling(200); // already running: keeps its interval
        QCOMPARE(manager->pollIntervalMs(), 100);
        manager->setAutoDetectGamePad(false);
        QVERIFY(!manager->isPolling() && !manager->isPumping());
        m_pads->plug(pad(4));
        manager->setAutoDetectGamePad(true); // discovered at once
        QVERIFY(manager->isPolling() && manager->isPumping());
        manager->setAutoDetectGamePad(true);
        manager->stopPolling();
        QVERIFY(!manager->isPolling() && !manager->isPumping());
        m_pads->plug(pad(6));
        manager->startPolling(200);
        QCOMPARE(m_log.filter(QRegularExpression("^(switched|added)")),
                 (QStringList{"switched", "added 4", "switched", "added 6"}));
        QVERIFY(manager->pollIntervalMs() == 200 && manager->isPumping());
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
    // The manager, its signals logged as "changed", "added <slot>", "removed <slot>", "switched".
    GamepadManager* watched()
    {
        GamepadManager* manager = GamepadManager::instance();
        connect(manager, &GamepadManager::gamepadsChanged, this, [this] { m_log << "changed"; });
        connect(manager, &GamepadManager::gamepadAdded, this, [this](ControlManette* device) {
            m_log << QStringLiteral("added %1").arg(device->deviceId());
        });
        connect(manager, &GamepadManager::gamepadRemoved, this,
                [this](int slot) { m_log << QStringLiteral("removed %1").arg(slot); });
        connect(manager, &GamepadManager::autoDetectGamePadChanged, this, [this] { m_log << "switched"; });
        return manager;
    }
    static void discover(GamepadManager* manager)
    {
        QVERIFY(QMetaObject::invokeMethod(manager, "discoverDevices"));
    }
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    QStringList m_log;
};

QTEST_GUILESS_MAIN(tst_GamepadManager)
#include "tst_gamepadmanager.moc"
