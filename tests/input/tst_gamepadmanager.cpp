// Discovery and the joystick manager's timers, on the virtual backend (real Qt timers: the pump
// runs every 50 ms and a discovery follows a batch of connection events 250 ms later).
#include "gamepadmanager.h"
#include "virtualjoystickbackend.h"

#include <QCoreApplication>
#include <QMetaProperty>
#include <QSequentialIterable>
#include <QSignalSpy>
#include <QTest>

class tst_GamepadManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void instanceWithoutControllers();
    void controllerInLaterSlot();
    void burstOfConnectionsIsOneDiscovery();
    void pulledOutControllerIsRemoved();
    void deviceDeletedElsewhereIsDroppedWithMinusOne();
    void unchangedDiscoveryIsSilent();
    void autoDetectSwitch();
    void startPollingKeepsRunningInterval();
    void gamepadsPropertyThroughMetaObject();

private:
    static VirtualJoystickBackend::Pad pad(int slot)
    {
        VirtualJoystickBackend::Pad p;
        p.slot = slot;
        p.name = QStringLiteral("Pad %1").arg(slot);
        return p;
    }
    static void discover(GamepadManager* manager)
    {
        QVERIFY(QMetaObject::invokeMethod(manager, "discoverDevices"));
    }
    std::shared_ptr<VirtualJoystickBackend> m_pads;
};

void tst_GamepadManager::init()
{
    m_pads = std::make_shared<VirtualJoystickBackend>();
    JoystickBackends::install(m_pads);
}

void tst_GamepadManager::cleanup()
{
    delete GamepadManager::existingInstance();
    QVERIFY(!GamepadManager::existingInstance());
    JoystickBackends::install(nullptr);
    m_pads.reset();
}

void tst_GamepadManager::instanceWithoutControllers()
{
    GamepadManager* manager = GamepadManager::instance();
    QCOMPARE(manager, GamepadManager::instance());
    QCOMPARE(manager->parent(), QCoreApplication::instance());
    QVERIFY(manager->gamepads().isEmpty());
    QVERIFY(manager->isPolling());
    QVERIFY(manager->isPumping());
    QCOMPARE(manager->pollIntervalMs(), 100);
    QVERIFY(m_pads->isEventPumpOpen());

    QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
    QSignalSpy added(manager, &GamepadManager::gamepadAdded);
    QTest::qWait(200);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(added.count(), 0);
}

void tst_GamepadManager::controllerInLaterSlot()
{
    m_pads->plug(pad(3));
    GamepadManager* manager = GamepadManager::instance();
    QCOMPARE(manager->gamepads().size(), 1);
    ControlManette* device = manager->gamepads().first();
    QVERIFY(device);
    QCOMPARE(device->deviceId(), 3);
    QCOMPARE(device->name(), QStringLiteral("Pad 3"));
    QCOMPARE(device->parent(), manager);
    QCOMPARE(manager->gamepadForSlot(3), device);
}

void tst_GamepadManager::burstOfConnectionsIsOneDiscovery()
{
    GamepadManager* manager = GamepadManager::instance();
    QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
    QList<int> addedSlots;
    connect(manager, &GamepadManager::gamepadAdded, this,
            [&](ControlManette* device) { addedSlots.append(device->deviceId()); });

    m_pads->plug(pad(5));
    m_pads->plug(pad(1));
    QTest::qWait(150); // the discovery waits 250 ms after the pump saw the events
    QVERIFY(addedSlots.isEmpty());
    QTRY_COMPARE(addedSlots.size(), 2);
    QCOMPARE(addedSlots, (QList<int>{1, 5}));
    // One discovery: one change per arrival and the closing one; a second discovery would add more.
    QTest::qWait(400);
    QCOMPARE(changed.count(), 3);
}

void tst_GamepadManager::pulledOutControllerIsRemoved()
{
    m_pads->plug(pad(2));
    GamepadManager* manager = GamepadManager::instance();
    QPointer<ControlManette> device = manager->gamepadForSlot(2);
    QVERIFY(device);

    QStringList order;
    bool aliveWhenRemoved = false;
    connect(manager, &GamepadManager::gamepadRemoved, this, [&](int slot) {
        order << QStringLiteral("removed %1").arg(slot);
        aliveWhenRemoved = !device.isNull();
    });
    connect(manager, &GamepadManager::gamepadsChanged, this, [&] { order << QStringLiteral("changed"); });
    m_pads->unplug(2);
    QTRY_VERIFY(!order.isEmpty());
    QCOMPARE(order.first(), QStringLiteral("removed 2"));
    QVERIFY(order.size() >= 2);
    QCOMPARE(order.at(1), QStringLiteral("changed"));
    QVERIFY(aliveWhenRemoved); // deleted later by the event loop, not during the signal
    QVERIFY(manager->gamepads().isEmpty());
    QTRY_VERIFY(device.isNull());
}

void tst_GamepadManager::deviceDeletedElsewhereIsDroppedWithMinusOne()
{
    m_pads->plug(pad(0));
    m_pads->plug(pad(1));
    GamepadManager* manager = GamepadManager::instance();
    QCOMPARE(manager->gamepads().size(), 2);
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

void tst_GamepadManager::unchangedDiscoveryIsSilent()
{
    m_pads->plug(pad(0));
    GamepadManager* manager = GamepadManager::instance();
    QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
    QSignalSpy added(manager, &GamepadManager::gamepadAdded);
    QSignalSpy removed(manager, &GamepadManager::gamepadRemoved);
    discover(manager);
    QCOMPARE(changed.count() + added.count() + removed.count(), 0);
}

void tst_GamepadManager::autoDetectSwitch()
{
    GamepadManager* manager = GamepadManager::instance();
    QSignalSpy switched(manager, &GamepadManager::autoDetectGamePadChanged);
    QSignalSpy added(manager, &GamepadManager::gamepadAdded);

    manager->setAutoDetectGamePad(false);
    QCOMPARE(switched.count(), 1);
    QVERIFY(!manager->isPolling());
    QVERIFY(!manager->isPumping());
    m_pads->plug(pad(4));
    QTest::qWait(400);
    QCOMPARE(added.count(), 0); // nobody drains the connection event

    manager->setAutoDetectGamePad(true);
    QCOMPARE(switched.count(), 2);
    QCOMPARE(added.count(), 1); // discovered at once
    QVERIFY(manager->isPolling());
    QVERIFY(manager->isPumping());

    manager->setAutoDetectGamePad(true);
    QCOMPARE(switched.count(), 2);
    QCOMPARE(added.count(), 1);
}

void tst_GamepadManager::startPollingKeepsRunningInterval()
{
    GamepadManager* manager = GamepadManager::instance();
    manager->startPolling(200);
    QCOMPARE(manager->pollIntervalMs(), 100);
    manager->stopPolling();
    QVERIFY(!manager->isPolling());
    QVERIFY(!manager->isPumping());
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

void tst_GamepadManager::gamepadsPropertyThroughMetaObject()
{
    m_pads->plug(pad(0));
    GamepadManager* manager = GamepadManager::instance();
    const QMetaObject* mo = manager->metaObject();
    QCOMPARE(mo->method(mo->methodOffset()).name(), QByteArray("gamepadsChanged"));
    QCOMPARE(mo->method(mo->methodOffset() + 1).methodSignature(),
             QByteArray("gamepadAdded(ControlManette*)"));
    QCOMPARE(mo->method(mo->methodOffset() + 2).methodSignature(), QByteArray("gamepadRemoved(int)"));
    QCOMPARE(mo->method(mo->methodOffset() + 3).name(), QByteArray("autoDetectGamePadChanged"));

    const QMetaProperty gamepads = mo->property(mo->indexOfProperty("gamepads"));
    QCOMPARE(gamepads.typeName(), "QList<QPointer<ControlManette>>");
    const QVariant value = gamepads.read(manager);
    QVERIFY(value.canView<QVariantList>() || value.canConvert<QVariantList>());
    const QSequentialIterable iterable = value.value<QSequentialIterable>();
    QCOMPARE(iterable.size(), 1);
    const QVariant first = iterable.at(0);
    QCOMPARE(first.metaType(), QMetaType::fromName("QPointer<ControlManette>"));
    QCOMPARE(first.value<QObject*>(), manager->gamepadForSlot(0));
    QVERIFY(QMetaType::fromName("ControlManette*").isValid());

    QSignalSpy changed(manager, &GamepadManager::gamepadsChanged);
    manager->setGamepads(manager->gamepads());
    QCOMPARE(changed.count(), 0);
    QVERIFY(gamepads.write(manager, QVariant::fromValue(QList<QPointer<ControlManette>>())));
    QCOMPARE(changed.count(), 1);
}

QTEST_GUILESS_MAIN(tst_GamepadManager)
#include "tst_gamepadmanager.moc"
