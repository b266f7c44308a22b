#include "sfmljoystickbackend.h"

#include "hostlogging.h"

#include <SFML/Config.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Joystick.hpp>
#include <SFML/Window/VideoMode.hpp>
#include <SFML/Window/Window.hpp>

#if SFML_VERSION_MAJOR >= 3
#include <optional>
#endif

namespace {

// X11 connection helpers, defined at the end of the file (null when no display can be reached;
// always a dummy non-null value where SFML needs no X server).
void* openDisplayConnection();
void closeDisplayConnection(void* display);

bool validSlot(int slot)
{
    return slot >= 0 && slot < JoystickBackend::SlotCount;
}

sf::Joystick::Axis toAxis(int axis)
{
    return static_cast<sf::Joystick::Axis>(axis);
}

QString fromSfString(const sf::String& text)
{
    const auto utf8 = text.toUtf8(); // std::basic_string of 8-bit units in SFML 2.5 and 3
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()), qsizetype(utf8.size()));
}

} // namespace

struct SfmlJoystickBackend::PumpWindow
{
    sf::Window window;

    PumpWindow()
    {
        // 1 x 1 pixel, 32 bits, undecorated, windowed, default context settings: it exists only to
        // receive joystick connection events and is never shown.
#if SFML_VERSION_MAJOR >= 3
        window.create(sf::VideoMode({1u, 1u}, 32u), "sfml-joy-pump", sf::Style::None, sf::State::Windowed,
                      sf::ContextSettings{});
#else
        window.create(sf::VideoMode(1u, 1u, 32u), "sfml-joy-pump", sf::Style::None, sf::ContextSettings());
#endif
        window.setVisible(false);
        (void)window.setActive(false);
    }

    // Drains the queue; true when a joystick was connected or disconnected.
    bool drain()
    {
        bool connection = false;
#if SFML_VERSION_MAJOR >= 3
        while (const std::optional<sf::Event> event = window.pollEvent()) {
            if (event->is<sf::Event::JoystickConnected>() || event->is<sf::Event::JoystickDisconnected>())
                connection = true;
        }
#else
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::JoystickConnected || event.type == sf::Event::JoystickDisconnected)
                connection = true;
        }
#endif
        return connection;
    }
};

struct SfmlJoystickBackend::NameCache
{
    std::array<sf::String, JoystickBackend::SlotCount> raw;
    std::array<QString, JoystickBackend::SlotCount> text;
};

SfmlJoystickBackend::SfmlJoystickBackend() : m_names(std::make_unique<NameCache>())
{
    m_clock.start();
}

SfmlJoystickBackend::~SfmlJoystickBackend() = default;

bool SfmlJoystickBackend::hasPumpWindow() const
{
    return m_window != nullptr;
}

void SfmlJoystickBackend::update()
{
    sf::Joystick::update();
    if (m_window || !m_pumpOpen)
        return;
    for (int slot = 0; slot < SlotCount; ++slot) {
        const bool connected = sf::Joystick::isConnected(unsigned(slot));
        if (connected != m_lastConnected[slot])
            m_connectionEvent = true;
        m_lastConnected[slot] = connected;
    }
}

bool SfmlJoystickBackend::isConnected(int slot) const
{
    return validSlot(slot) && sf::Joystick::isConnected(unsigned(slot));
}

JoystickBackend::Identification SfmlJoystickBackend::identification(int slot) const
{
    if (!validSlot(slot))
        return {};
    const sf::Joystick::Identification id = sf::Joystick::getIdentification(unsigned(slot));
    if (id.name != m_names->raw[slot]) {
        m_names->raw[slot] = id.name;
        m_names->text[slot] = fromSfString(id.name);
    }
    return {m_names->text[slot], quint32(id.vendorId), quint32(id.productId)};
}

int SfmlJoystickBackend::buttonCount(int slot) const
{
    return validSlot(slot) ? int(sf::Joystick::getButtonCount(unsigned(slot))) : 0;
}

bool SfmlJoystickBackend::hasAxis(int slot, int axis) const
{
    return validSlot(slot) && axis >= 0 && axis < AxisCount &&
           sf::Joystick::hasAxis(unsigned(slot), toAxis(axis));
}

float SfmlJoystickBackend::axisPosition(int slot, int axis) const
{
    if (!validSlot(slot) || axis < 0 || axis >= AxisCount)
        return 0.f;
    return sf::Joystick::getAxisPosition(unsigned(slot), toAxis(axis));
}

bool SfmlJoystickBackend::isButtonPressed(int slot, int button) const
{
    return validSlot(slot) && button >= 0 && button < ButtonCount &&
           sf::Joystick::isButtonPressed(unsigned(slot), unsigned(button));
}

void SfmlJoystickBackend::openEventPump()
{
    if (m_pumpOpen)
        return;
    m_pumpOpen = true;
    m_connectionEvent = false;
    // Our connection stays open while SFML opens its own, so an X server that resets when its last
    // client leaves (Xvfb does) cannot vanish in between.
    if (void* display = openDisplayConnection()) {
        m_window = std::make_unique<PumpWindow>();
        closeDisplayConnection(display);
        return;
    }
    qCWarning(lcGamepadInput) << "No display available for the joystick event window;"
                                 " watching connections by polling instead";
    sf::Joystick::update();
    for (int slot = 0; slot < SlotCount; ++slot)
        m_lastConnected[slot] = sf::Joystick::isConnected(unsigned(slot));
}

void SfmlJoystickBackend::closeEventPump()
{
    m_window.reset();
    m_pumpOpen = false;
    m_connectionEvent = false;
}

bool SfmlJoystickBackend::takeConnectionEvents()
{
    bool any = m_connectionEvent;
    m_connectionEvent = false;
    if (m_window && m_window->drain())
        any = true;
    return any;
}

qint64 SfmlJoystickBackend::nowMs() const
{
    return m_clock.elapsed();
}

bool SfmlJoystickBackend::canOpenDisplay()
{
    void* display = openDisplayConnection();
    closeDisplayConnection(display);
    return display != nullptr;
}

// Last in the file: Xlib's macros (None, Bool, Window...) would clash with SFML's names above.
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
#include <QThread>

#include <X11/Xlib.h>

namespace {

void* openDisplayConnection()
{
    // The same call SFML makes, and aborts on. A server resetting after its last client left
    // refuses connections for a moment, so a named display gets a few more tries (~200 ms).
    const bool named = !qEnvironmentVariableIsEmpty("DISPLAY");
    for (int attempt = 0;; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr))
            return display;
        if (!named || attempt == 4)
            return nullptr;
        QThread::msleep(40);
    }
}

void closeDisplayConnection(void* display)
{
    if (display)
        XCloseDisplay(static_cast<Display*>(display));
}

} // namespace
#else
namespace {

void* openDisplayConnection()
{
    static int dummy = 0;
    return &dummy;
}

void closeDisplayConnection(void*) {}

} // namespace
#endif
