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

#include <QAbstractEventDispatcher>
#include <QThread>

#include <algorithm>
#include <functional>

#if defined(Q_OS_LINUX)
#include <QSocketNotifier>

#include <cerrno>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// X11 connection helpers, defined at the end of the file (null when no display can be reached;
// always a dummy non-null value where SFML needs no X server).
void* openDisplayConnection();
void closeDisplayConnection(void* display);
bool displayIsNamed();

constexpr int DisplayRetries = 4;     // further tries, one per pump drain (50 ms apart)
constexpr qint64 ForcedCallMs = 1000; // an SFML refresh or drain at least this often

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

#if defined(Q_OS_LINUX)
// udev's processed device events, the multicast group SFML's own udev monitor listens to. Only the
// arrival of a message matters: each one counts as possible controller activity.
struct SfmlJoystickBackend::DeviceEvents
{
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    quint64 count = 0;
    std::function<void()> arrived; // after each batch of messages

    explicit DeviceEvents(std::function<void()> onArrival) : arrived(std::move(onArrival))
    {
        if (!QAbstractEventDispatcher::instance())
            return;
        fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
        if (fd < 0)
            return;
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = 2; // libudev's "udev" group
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { receive(); });
    }

    ~DeviceEvents()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }

    void receive()
    {
        char buffer[8192];
        const quint64 before = count;
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && errno != ENOBUFS) // an overflow lost messages: still activity
                break;
            ++count;
        }
        if (count != before && arrived)
            arrived();
    }

    bool active() const { return fd >= 0; }
};
#else
struct SfmlJoystickBackend::DeviceEvents
{
    quint64 count = 0;
    explicit DeviceEvents(std::function<void()>) {}
    bool active() const { return false; }
};
#endif

SfmlJoystickBackend::SfmlJoystickBackend() : m_names(std::make_unique<NameCache>())
{
    m_clock.start();
}

SfmlJoystickBackend::~SfmlJoystickBackend() = default;

bool SfmlJoystickBackend::hasPumpWindow() const
{
    return m_window != nullptr;
}

bool SfmlJoystickBackend::watchesDeviceEvents() const
{
    return m_deviceEvents && m_deviceEvents->active();
}

bool SfmlJoystickBackend::anyConnected() const
{
    for (unsigned slot = 0; slot < unsigned(SlotCount); ++slot) {
        if (sf::Joystick::isConnected(slot)) // SFML's last refreshed state, no system call
            return true;
    }
    return false;
}

// False only when an SFML call of this kind could not change anything since the last one.
bool SfmlJoystickBackend::mayChange(LastCall& last)
{
    const qint64 now = m_clock.elapsed();
    const bool connected = anyConnected();
    if (watchesDeviceEvents() && !connected && !last.anyConnected &&
        m_deviceEvents->count == last.deviceEvents && last.atMs >= 0 && now - last.atMs < ForcedCallMs)
        return false;
    last.atMs = now;
    last.deviceEvents = m_deviceEvents ? m_deviceEvents->count : 0;
    last.anyConnected = connected;
    ++m_sfmlCalls;
    return true;
}

void SfmlJoystickBackend::update()
{
    if (!mayChange(m_lastUpdate))
        return;
    sf::Joystick::update();
    // A pad lost without a word from udev (a failed read) is opened again by SFML's next refresh:
    // only a call that began and ended with nothing connected lets the next ones be left out.
    m_lastUpdate.anyConnected = m_lastUpdate.anyConnected || anyConnected();
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

void SfmlJoystickBackend::createWindow(void* display)
{
    // Our connection stays open while SFML opens its own, so an X server that resets when its last
    // client leaves (Xvfb does) cannot vanish in between.
    m_window = std::make_unique<PumpWindow>();
    closeDisplayConnection(display);
    m_lastDrain = LastCall{};
}

void SfmlJoystickBackend::openEventPump()
{
    if (m_pumpOpen)
        return;
    m_pumpOpen = true;
    m_connectionEvent = false;
    m_deviceEvents = std::make_unique<DeviceEvents>([this] { reportDeviceEvent(); });
    m_lastUpdate = LastCall{};
    sf::Joystick::update();
    for (int slot = 0; slot < SlotCount; ++slot)
        m_lastConnected[slot] = sf::Joystick::isConnected(unsigned(slot));
    if (void* display = openDisplayConnection()) {
        createWindow(display);
        return;
    }
    // Meanwhile connections are watched by polling.
    m_displayRetries = displayIsNamed() ? DisplayRetries : 0;
    if (m_displayRetries == 0)
        qCWarning(lcGamepadInput) << "No display available for the joystick event window;"
                                     " watching connections by polling instead";
}

void SfmlJoystickBackend::retryDisplay()
{
    if (m_window || m_displayRetries == 0)
        return;
    --m_displayRetries;
    if (void* display = openDisplayConnection()) {
        m_displayRetries = 0;
        createWindow(display);
        // A change seen by polling meanwhile is reported with the window's first drain.
        return;
    }
    if (m_displayRetries == 0)
        qCWarning(lcGamepadInput) << "No display available for the joystick event window;"
                                     " watching connections by polling instead";
}

void SfmlJoystickBackend::closeEventPump()
{
    m_window.reset();
    m_deviceEvents.reset();
    m_displayRetries = 0;
    m_pumpOpen = false;
    m_connectionEvent = false;
}

bool SfmlJoystickBackend::takeConnectionEvents()
{
    retryDisplay();
    bool any = m_connectionEvent;
    m_connectionEvent = false;
    if (m_window && mayChange(m_lastDrain)) {
        if (m_window->drain())
            any = true;
        m_lastDrain.anyConnected = m_lastDrain.anyConnected || anyConnected();
    }
    return any;
}

qint64 SfmlJoystickBackend::nowMs() const
{
    return m_clock.elapsed();
}

// True when a call of this kind could see something the last one did not.
bool SfmlJoystickBackend::owesCall(const LastCall& last) const
{
    return last.atMs < 0 || last.anyConnected || last.deviceEvents != m_deviceEvents->count;
}

qint64 SfmlJoystickBackend::restMs() const
{
    // Both kinds of call must have seen the latest device event with nothing connected.
    if (!watchesDeviceEvents() || m_connectionEvent || m_displayRetries > 0 || anyConnected() ||
        owesCall(m_lastUpdate) || (m_window && owesCall(m_lastDrain)))
        return 0;
    const qint64 oldest = m_window ? std::min(m_lastUpdate.atMs, m_lastDrain.atMs) : m_lastUpdate.atMs;
    const qint64 left = oldest + ForcedCallMs - m_clock.elapsed();
    // +1: the caller's millisecond clock may lag this one by a truncated millisecond.
    return left > 0 ? left + 1 : 0;
}

bool SfmlJoystickBackend::canOpenDisplay()
{
    // A server resetting after its last client left refuses connections for a moment.
    void* display = openDisplayConnection();
    for (int attempt = 0; !display && displayIsNamed() && attempt < DisplayRetries; ++attempt) {
        QThread::msleep(40);
        display = openDisplayConnection();
    }
    closeDisplayConnection(display);
    return display != nullptr;
}

// Last in the file: Xlib's macros (None, Bool, Window...) would clash with SFML's names above.
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
#include <X11/Xlib.h>

namespace {

// The same call SFML makes, and aborts on; one try, it does not wait.
void* openDisplayConnection()
{
    return XOpenDisplay(nullptr);
}

bool displayIsNamed()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
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

bool displayIsNamed()
{
    return false;
}

void closeDisplayConnection(void*) {}

} // namespace
#endif
