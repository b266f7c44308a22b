#pragma once

#include "controlmanette.h"
#include "joystickbackend.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QTimer;

// The process-wide joystick manager: keeps the joystick state fresh, watches for controllers being
// plugged in or pulled out, and keeps one ControlManette per connected joystick slot (children of
// the manager, created on arrival, deleted on departure).
//
// Timers, all on the GUI thread: poll (100 ms) refreshes the joystick state, pump (50 ms) drains
// connection events, and a discovery runs 250 ms after a batch of them. autoDetectGamePad false
// stops both timers; the devices keep sampling on their own. The two timers are coarse, so Qt
// aligns their deadlines and the poll fires in the same wake-up as every second pump (20 wake-ups
// a second); a poll within one sampling interval of a sampling step's refresh leaves it out.
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

    bool isPolling() const;
    int pollIntervalMs() const;
    bool isPumping() const;
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

    std::shared_ptr<JoystickBackend> m_backend;
    QList<QPointer<ControlManette>> m_gamepads;
    bool m_autoDetectGamePad = true;
    int m_pollIntervalMs = DefaultPollIntervalMs;
    QTimer* m_pollTimer = nullptr;
    QTimer* m_pumpTimer = nullptr;
};

// Registers the meta-types of the input runtime ("ControlManette*", "QPointer<ControlManette>"
// convertible to QObject*, "QList<QPointer<ControlManette>>") and those of the host. Idempotent.
void registerInputMetaTypes();
