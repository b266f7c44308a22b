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
// first that a display can be opened; when none can, it logs a warning, creates no window, and
// update() detects connection changes itself by comparing each slot's connected state with the
// previous update.
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

private:
    struct PumpWindow;
    struct NameCache;
    std::unique_ptr<PumpWindow> m_window;
    std::unique_ptr<NameCache> m_names; // converted names, so a steady poll converts nothing
    bool m_pumpOpen = false;
    // Window-less detection: the slots' connected states at the previous update.
    std::array<bool, SlotCount> m_lastConnected{};
    bool m_connectionEvent = false;
    QElapsedTimer m_clock;
};
