#pragma once

#include "controlmanette.h"
#include "joystickbackend.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class SampleTimer;

// The process-wide joystick manager: keeps the joystick state fresh, watches for controllers being
// plugged in or pulled out, and keeps one ControlManette per connected joystick slot (children of
// the manager, created on arrival, deleted on departure).
//
// Timers, all on the GUI thread: poll (100 ms) refreshes the joystick state, pump (50 ms) drains
// connection events, and a discovery runs 250 ms after a batch of them. autoDetectGamePad false
// stops both; the devices keep sampling on their own. Both run on one fixed grid from their start,
// driven by one timer armed for the next due tick, so a poll falls in the same wake-up as every
// second pump (20 wake-ups a second); a poll within one sampling interval of a sampling step's
// refresh leaves it out.
//
// Rest: when the backend says that nothing can change before its next device event
// (JoystickBackend::restMs(); SFML with udev and no controller connected), the two stay running
// for every observer but no wake-up is armed, except one at the backend's own deadline (once a
// second for SFML), where the poll and the pump run together. A device event ends the rest at the
// next tick of the grid, where the timers would have fired had they kept waking up, so discovery
// still comes 250 ms after the pump that sees the connection.
//
// Tests: install a virtual backend before the first instance() call,
//     auto pads = std::make_shared<VirtualJoystickBackend>();
//     JoystickBackends::install(pads);
//     GamepadManager* manager = GamepadManager::instance();
// and `delete GamepadManager::instance()` to start over (the next call builds a fresh manager on the
// backend installed then). JOYRELAY_VIRTUAL_PADS=<scenario file> selects a virtual backend at run time.
class GamepadManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(
        QList<QPointer<ControlManette>> gamepads READ gamepads WRITE setGamepads NOTIFY gamepadsChanged)
    Q_PROPERTY(bool autoDetectGamePad READ autoDetectGamePad WRITE setAutoDetectGamePad NOTIFY
                   autoDetectGamePadChanged)

public:
    static constexpr int DefaultPollIntervalMs = 100;
    static constexpr int PumpIntervalMs = 50;
    static constexpr int DiscoveryDelayMs = 250; // after a batch of connection events

    // Uses the process-wide joystick backend (JoystickBackends::current()). Starts no timer.
    explicit GamepadManager(QObject* parent = nullptr);
    GamepadManager(std::shared_ptr<JoystickBackend> backend, QObject* parent = nullptr);
    ~GamepadManager() override;

    // The shared instance, created on first use as a child of the application object (of
    // parentHint when there is none), with discovery run and polling started.
    static GamepadManager* instance(QObject* parentHint = nullptr);
    // The shared instance when it exists, else null; creates nothing.
    static GamepadManager* existingInstance();

    // Discovers, then starts the timers that are not running when autoDetectGamePad is true. A
    // running poll timer keeps its interval.
    void startPolling(int intervalMs);
    void stopPolling();

    QList<QPointer<ControlManette>> gamepads() const { return m_gamepads; }
    void setGamepads(const QList<QPointer<ControlManette>>& gamepads);
    bool autoDetectGamePad() const { return m_autoDetectGamePad; }
    void setAutoDetectGamePad(bool enabled);

    // Live devices only (entries whose object still exists).
    QList<ControlManette*> liveGamepads() const;
    // The live device of a joystick slot, or null.
    ControlManette* gamepadForSlot(int slot) const;

    bool isPolling() const { return m_polling; }
    int pollIntervalMs() const { return m_polling ? m_runningPollMs : m_pollIntervalMs; }
    bool isPumping() const { return m_pumping; }
    // Polling and pumping, but resting (see above).
    bool isResting() const { return m_resting; }
    JoystickBackend* backend() const { return m_backend.get(); }

Q_SIGNALS:
    void gamepadsChanged();
    void gamepadAdded(ControlManette* gamepad);
    void gamepadRemoved(int deviceId);
    void autoDetectGamePadChanged();

private Q_SLOTS:
    void poll();
    void discoverDevices();

private:
    void pump();
    void startTimers();
    void onAutoDetectChanged();
    void onTick();
    void onDeviceEvent();
    void armTick();

    std::shared_ptr<JoystickBackend> m_backend;
    QList<QPointer<ControlManette>> m_gamepads;
    bool m_autoDetectGamePad = true;
    int m_pollIntervalMs = DefaultPollIntervalMs; // asked for; the running poll keeps its own
    int m_runningPollMs = DefaultPollIntervalMs;
    bool m_polling = false;
    bool m_pumping = false;
    bool m_resting = false;
    // Manager-clock times (ms): the next tick of each grid, and a resting wake-up (-1: none).
    qint64 m_nextPollMs = 0;
    qint64 m_nextPumpMs = 0;
    qint64 m_restUntilMs = -1;
    SampleTimer* m_tick = nullptr; // single shot, armed for the next due tick (times: gridMs())
};

// Registers the meta-types of the input runtime ("ControlManette*", "QPointer<ControlManette>"
// convertible to QObject*, "QList<QPointer<ControlManette>>") and those of the host. Idempotent.
void registerInputMetaTypes();
