// The SFML backend for real, on a machine without controllers: under an X server (xvfb-run in
// scripts/test.sh) the pump window exists; without a display the process must not be aborted and
// connection changes are watched by polling instead.
#include "gamepadmanager.h"
#include "sfmljoystickbackend.h"

#include <QSignalSpy>
#include <QTest>

class tst_SfmlJoystickBackend : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void withoutDisplay()
    {
        const QByteArray display = qgetenv("DISPLAY"); // given back for the test with a display
        qunsetenv("DISPLAY");
        QVERIFY(!SfmlJoystickBackend::canOpenDisplay());
        auto backend = std::make_shared<SfmlJoystickBackend>();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^No display available"));
        runManagerQuietly(backend);
        QVERIFY(!backend->hasPumpWindow());
        if (!display.isEmpty())
            qputenv("DISPLAY", display);
    }

    void withDisplay()
    {
        if (!SfmlJoystickBackend::canOpenDisplay())
            QSKIP("No X display (run through scripts/test.sh, which provides one)");
        auto backend = std::make_shared<SfmlJoystickBackend>();
        JoystickBackends::install(backend);
        GamepadManager* manager = GamepadManager::instance();
        // The server may refuse the first try right after the check above left it without clients.
        QTRY_VERIFY(backend->hasPumpWindow());
        delete manager;
        QVERIFY(!backend->hasPumpWindow()); // the manager owns the window's lifetime
        JoystickBackends::install(nullptr);
        runManagerQuietly(std::make_shared<SfmlJoystickBackend>());
    }

private:
    static void runManagerQuietly(const std::shared_ptr<SfmlJoystickBackend>& backend)
    {
        JoystickBackends::install(backend);
        GamepadManager* manager = GamepadManager::instance();
        QSignalSpy changed(manager, &GamepadManager::gamepadsChanged); // also sent with each add or removal
        QVERIFY(manager->isPumping());
        const int callsBefore = backend->sfmlCallCount();
        if (backend->watchesDeviceEvents()) {
            // Nothing to do until udev speaks: the timers rest after the first refresh and drain,
            // the only calls that reach SFML without controllers and device events.
            QTRY_VERIFY(manager->isResting());
            QVERIFY2(backend->sfmlCallCount() - callsBefore <= 2,
                     qPrintable(QString::number(backend->sfmlCallCount())));
        } else {
            // Polled instead: several polls go by, none finding a controller.
            QTRY_VERIFY(backend->sfmlCallCount() - callsBefore >= 3);
        }
        QVERIFY(manager->gamepads().isEmpty());
        QCOMPARE(changed.count(), 0);
        for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot)
            QVERIFY(!backend->isConnected(slot));
        delete manager;
        JoystickBackends::install(nullptr);
    }
};

QTEST_GUILESS_MAIN(tst_SfmlJoystickBackend)
#include "tst_sfmljoystickbackend.moc"
