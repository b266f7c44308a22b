#pragma once

#include "joystickbackend.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QVector>

#include <array>

// In-process controllers for tests, demonstrations and users without hardware.
//
// Tests drive it through the C++ calls below (plug, unplug, setAxis, press, advanceClock). Like SFML,
// the readers return the state captured by the last update(), and plug/unplug raise a connection
// event that the joystick manager's pump picks up (only while the pump is open, as a window would).
//
// A scenario (docs/VIRTUAL_PADS.md) describes the pads present at start and timed events; the
// events whose time has come are applied by update(). With Clock::RealTime (the run-time choice
// through JOYRELAY_VIRTUAL_PADS) time is wall time since construction; with Clock::Manual (tests)
// it moves only through advanceClock().
//
// By default it cannot announce device events, so the joystick manager's poll and pump never rest
// on it; setReportsDeviceEvents(true) makes it behave as SFML with udev does (see restMs()).
class VirtualJoystickBackend : public JoystickBackend
{
public:
    enum class Clock
    {
        Manual,
        RealTime
    };

    struct Pad
    {
        int slot = 0; // 0..7
        QString name = QStringLiteral("Virtual Pad");
        quint32 vendorId = 0;
        quint32 productId = 0;
        QList<int> axes{0, 1, 2, 3, 4, 5, 6, 7}; // present axis indices, 0..7
        int buttons = 32;                        // button count, 0..32
    };

    explicit VirtualJoystickBackend(Clock clock = Clock::Manual);

    // --- C++ driving API -------------------------------------------------------------------------
    // Connects a pad in its slot (replacing one already there); false for a slot outside 0..7.
    bool plug(const Pad& pad);
    void unplug(int slot);
    // Raw position, clamped to -100..100; ignored for an empty slot.
    void setAxis(int slot, int axis, float value);
    void setButton(int slot, int button, bool pressed);
    void press(int slot, int button) { setButton(slot, button, true); }
    void release(int slot, int button) { setButton(slot, button, false); }
    // Manual clock only: moves time forward (ms).
    void advanceClock(qint64 ms);
    // Number of update() calls so far; lets tests see that a refresh happened.
    int updateCount() const { return m_updateCount; }
    bool isEventPumpOpen() const { return m_pumpOpen; }
    // When on, plugging and unplugging report a device event, and restMs() is -1 while no pad is
    // connected, no connection event waits and no scenario event is pending.
    void setReportsDeviceEvents(bool reports) { m_reportsDeviceEvents = reports; }

    // --- Scenario ------------------------------------------------------------------------------
    // Replaces pads and pending events with those of the scenario. On failure nothing changes and
    // error names the problem (with its place in the document).
    bool loadScenario(const QJsonObject& scenario, QString* error = nullptr);
    bool loadScenarioFile(const QString& path, QString* error = nullptr);
    // The run-time backend for a scenario file: on any failure a warning naming the file and the
    // problem is logged and the backend starts with no controller.
    static std::shared_ptr<VirtualJoystickBackend> fromScenarioFile(const QString& path);

    // --- JoystickBackend -----------------------------------------------------------------------
    void update() override;
    bool isConnected(int slot) const override;
    Identification identification(int slot) const override;
    int buttonCount(int slot) const override;
    bool hasAxis(int slot, int axis) const override;
    float axisPosition(int slot, int axis) const override;
    bool isButtonPressed(int slot, int button) const override;
    quint32 buttonMask(int slot) const override;
    void openEventPump() override;
    void closeEventPump() override;
    bool takeConnectionEvents() override;
    qint64 nowMs() const override;
    qint64 restMs() const override;

private:
    struct SlotState
    {
        bool connected = false;
        Identification id;
        quint8 axisMask = 0; // bit a set when axis a is present
        int buttonCount = 0;
        std::array<float, AxisCount> axes{};
        quint32 buttons = 0; // bit b set when button b is down
    };
    struct Event
    {
        enum Kind
        {
            Axis,
            Button,
            Plug,
            Unplug
        } kind = Axis;
        qint64 at = 0;
        int slot = 0;
        int index = 0; // axis or button
        float value = 0;
        bool pressed = false;
        Pad pad;
    };

    static bool validSlot(int slot) { return slot >= 0 && slot < SlotCount; }
    void connectionChanged();
    void applyDueEvents();
    void apply(const Event& event);
    void restartScenario();

    Clock m_clock;
    QElapsedTimer m_wallClock;
    qint64 m_manualMs = 0;

    std::array<SlotState, SlotCount> m_live{};
    std::array<SlotState, SlotCount> m_snapshot{};
    bool m_dirty = false;
    int m_updateCount = 0;

    bool m_pumpOpen = false;
    bool m_connectionEvent = false;
    bool m_reportsDeviceEvents = false;

    QList<Pad> m_initialPads;
    QVector<Event> m_events; // sorted by time
    int m_nextEvent = 0;
    qint64 m_cycleStartMs = 0;
    bool m_loop = false;
    qint64 m_period = 0; // length of one looping cycle
};
