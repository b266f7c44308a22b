#pragma once

#include "joystickbackend.h"

#include <QElapsedTimer>

#include <array>
#include <memory>

// The operating system's joysticks through SFML (sf::Joystick and a hidden 1 x 1 window whose event
// queue reports controllers being plugged in or pulled out). Written for SFML 3 and built against
// SFML 2.5 as well; every version difference stays in the .cpp.
//
// SFML aborts the process when a window cannot reach an X display. openEventPump() therefore checks
// first that a display can be opened; when none can, it creates no window and update() detects
// connection changes itself by comparing each slot's connected state with the previous update. A
// named display that refuses the first try (an X server resetting after its last client left) is
// tried again at the next pump drains, never by waiting on the GUI thread; the warning comes when
// the last try fails.
//
// Idle cost: on Linux SFML learns of controllers through udev's device events. While no controller
// is connected and udev announced nothing since a call that began and ended with none connected, a
// refresh or a drain can change nothing, so update() and takeConnectionEvents() skip the SFML calls
// (each costs eight system calls); they still run at least once a second. (A pad that a failed
// read disconnected, udev saying nothing, is opened again by the next call.) restMs() tells the joystick
// manager so, and each arrival of a device event is reported through activity(). Without the event socket
// nothing is skipped and restMs() stays 0.
class SfmlJoystickBackend : public JoystickBackend
{
public:
    SfmlJoystickBackend();
    ~SfmlJoystickBackend() override;

    // True when a graphical session is reachable (always on platforms without X11).
    static bool canOpenDisplay();
    // Whether the pump window exists (false before openEventPump() and without a display).
    bool hasPumpWindow() const;

    void update() override;
    bool isConnected(int slot) const override;
    Identification identification(int slot) const override;
    int buttonCount(int slot) const override;
    bool hasAxis(int slot, int axis) const override;
    float axisPosition(int slot, int axis) const override;
    bool isButtonPressed(int slot, int button) const override;
    void openEventPump() override;
    void closeEventPump() override;
    bool takeConnectionEvents() override;
    qint64 nowMs() const override;
    qint64 restMs() const override;

    // Whether udev's device events are watched (the skips above are possible).
    bool watchesDeviceEvents() const;
    // SFML refreshes (sf::Joystick::update() and window drains) made so far.
    int sfmlCallCount() const { return m_sfmlCalls; }

private:
    struct PumpWindow;
    struct NameCache;
    struct DeviceEvents;
    // When the last SFML call of one kind (refresh or drain) happened, and what it saw (a pad
    // connected at its start or end).
    struct LastCall
    {
        qint64 atMs = -1;
        quint64 deviceEvents = 0;
        bool anyConnected = false;
    };
    bool mayChange(LastCall& last);
    bool anyConnected() const;
    bool owesCall(const LastCall& last) const;
    void createWindow(void* display);
    void retryDisplay();

    std::unique_ptr<PumpWindow> m_window;
    std::unique_ptr<NameCache> m_names; // converted names, so a steady poll converts nothing
    std::unique_ptr<DeviceEvents> m_deviceEvents;
    LastCall m_lastUpdate;
    LastCall m_lastDrain;
    int m_displayRetries = 0;
    int m_sfmlCalls = 0;
    bool m_pumpOpen = false;
    // Window-less detection: the slots' connected states at the previous update.
    std::array<bool, SlotCount> m_lastConnected{};
    bool m_connectionEvent = false;
    QElapsedTimer m_clock;
};
