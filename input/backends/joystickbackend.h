#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <memory>

// A backend's device events, for the joystick manager to end a rest of its poll and pump (see
// JoystickBackend::restMs()).
class JoystickActivity : public QObject
{
    Q_OBJECT
Q_SIGNALS:
    // Something may have been plugged in or pulled out; emitted on the GUI thread.
    void deviceEvent();
};

// The joystick services the input runtime needs, and nothing more. GamepadManager and ControlManette
// talk only to this interface; the operating system is reached through the SFML implementation,
// tests and demonstrations use the virtual one.
//
// Slots, axes and buttons are plain indices: slot 0..7, axis 0..7 in SFML's order (X, Y, Z, R, U,
// V, PovX, PovY), button 0..31. Out-of-range indices read as "not there" (false, 0).
class JoystickBackend
{
public:
    static constexpr int SlotCount = 8;
    static constexpr int AxisCount = 8;
    static constexpr int ButtonCount = 32;

    struct Identification
    {
        QString name; // already converted from UTF-8
        quint32 vendorId = 0;
        quint32 productId = 0;
    };

    virtual ~JoystickBackend() = default;

    // Refreshes the joystick state that the readers below return (sf::Joystick::update()).
    virtual void update() = 0;
    virtual bool isConnected(int slot) const = 0;
    virtual Identification identification(int slot) const = 0;
    virtual int buttonCount(int slot) const = 0;
    virtual bool hasAxis(int slot, int axis) const = 0;
    // Raw position, -100..100.
    virtual float axisPosition(int slot, int axis) const = 0;
    virtual bool isButtonPressed(int slot, int button) const = 0;
    // The pressed buttons, bit b for button b: a sampling step's 32 readings in one call.
    virtual quint32 buttonMask(int slot) const;

    // The connection-event source (the hidden pump window for SFML). The joystick manager opens it
    // when it is created and closes it when it is destroyed.
    virtual void openEventPump() = 0;
    virtual void closeEventPump() = 0;
    // Drains the event source; true when at least one joystick connected or disconnected event
    // arrived since the last call.
    virtual bool takeConnectionEvents() = 0;

    // Monotonic milliseconds used for button timing (debounce, auto-repeat).
    virtual qint64 nowMs() const = 0;

    // How long the joystick manager's poll and pump may rest: 0 while a refresh or a drain could
    // change or report something (a controller connected, an event not yet seen, no way to know),
    // else the real-time milliseconds until the backend wants a call anyway, or -1 for none before
    // the next device event. Only a backend that emits activity()'s deviceEvent() may answer
    // anything but 0.
    virtual qint64 restMs() const { return 0; }
    JoystickActivity* activity() { return &m_activity; }

    // A sampling step calls this after its update(), so the joystick manager's poll can leave out
    // a refresh the same state has just had. Real time (steady clock), whatever nowMs() says.
    virtual void noteSampleRefresh() { m_sampleRefresh.start(); }
    // Milliseconds since the last noteSampleRefresh(); -1 when there was none.
    qint64 msSinceSampleRefresh() const { return m_sampleRefresh.isValid() ? m_sampleRefresh.elapsed() : -1; }

protected:
    void reportDeviceEvent() { emit m_activity.deviceEvent(); }

private:
    QElapsedTimer m_sampleRefresh;
    JoystickActivity m_activity;
};

// The process-wide backend that GamepadManager::instance() and every ControlManette created without
// an explicit backend use.
namespace JoystickBackends {

// The installed backend; on first use creates the default one: a virtual backend playing the
// scenario file named by the environment variable JOYRELAY_VIRTUAL_PADS when it is set and not
// empty, else the SFML backend.
std::shared_ptr<JoystickBackend> current();

// Replaces the process-wide backend. Objects created earlier keep the backend they were built
// with, so install before the first GamepadManager::instance() call, or delete that instance
// first. Passing null restores the default choice on the next current() call.
void install(std::shared_ptr<JoystickBackend> backend);

} // namespace JoystickBackends
