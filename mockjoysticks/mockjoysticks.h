#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>

// Kernel joysticks mocked in user space, for the tests and benchmarks that run the real SFML
// backend on machines without controllers. A umockdev testbed holds, per pad, the sysfs devices a
// USB or virtual joystick shows (a USB device and interface, an input device, its jsN node) and
// answers what joydev answers on that node: the ioctls SFML asks (axis map, name, button and axis
// counts), the start-up burst of JS_EVENT_INIT events at every open, then one js_event per read
// until EAGAIN, and ENODEV once the pad is pulled out. Plugging and unplugging send the "add" and
// "remove" uevents udev would.
//
// The program must run under umockdev-wrapper (the tests' CTest command does) and create the
// MockJoysticks before its first sf::Joystick call: SFML scans udev once, when first used.
//
// Thread safety: umockdev answers the node's calls on its own worker thread while the program
// drives the pads from its thread; every call here may come from any thread.
class MockJoysticks
{
public:
    struct Pad
    {
        QByteArray name = "Mock Pad"; // JSIOCGNAME's answer: bytes, as the driver reports them
        quint16 vendorId = 0x045e;
        quint16 productId = 0x028e;
        // JSIOCGAXMAP: the ABS_* code of each kernel axis number (default: an XInput pad's 8 axes,
        // X, Y, left trigger Z, RX, RY, right trigger RZ, hat X, hat Y).
        QByteArray axisMap = QByteArray::fromHex("0001020304051011");
        QList<qint16> axisValues{0, 0, -32767, 0, 0, -32767}; // at plugging; the triggers rest out
        int buttons = 11;
        // Where the ids live: a USB parent's idVendor / idProduct, else the node's own udev
        // properties ID_VENDOR_ID / ID_MODEL_ID. Either way the sysfs path differs per usbPort.
        bool usb = true;
        int usbPort = 1;
        bool nameFails = false; // JSIOCGNAME answers EINVAL
    };

    // One js_event of a timed stream (play()); at is in milliseconds of the mock's clock.
    struct Event
    {
        qint64 at = 0;
        quint8 type = 0; // JS_EVENT_BUTTON, JS_EVENT_AXIS or anything else
        quint8 number = 0;
        qint16 value = 0;
    };

    MockJoysticks();
    ~MockJoysticks();
    MockJoysticks(const MockJoysticks&) = delete;
    MockJoysticks& operator=(const MockJoysticks&) = delete;

    // False unless the program runs under umockdev-wrapper.
    static bool available();

    // Adds a pad under /dev/input/jsN, N the lowest free number as joydev picks it, and announces
    // it; returns the pad's handle for the calls below.
    int plug(const Pad& pad);
    // Reads fail with ENODEV from now on, udev announces the removal and the devices go.
    void unplug(int pad);
    QString devnode(int pad) const;

    // The current value of a kernel axis or button changes: every open reader gets the event.
    void moveAxis(int pad, int number, qint16 value);
    void setButton(int pad, int number, bool pressed);
    // Any event, unknown types included; the state the start-up burst reports does not follow.
    void send(int pad, quint8 type, quint8 number, qint16 value);

    // Faults of the node: its next `count` reads fail with errno `error`; the next event sent
    // reaches the readers cut to its first 4 bytes (and is lost).
    void failReads(int pad, int error, int count = 1);
    void cutNextEvent(int pad);

    // A timed stream: the events of a pad are sent when the mock's clock reaches their time
    // (advanceClock), as a driver would write them.
    void play(int pad, const QList<Event>& events);
    void advanceClock(qint64 ms);
    qint64 nowMs() const;

    // Opens of the pad's node so far, and events sent but not yet read by its open readers.
    int opens(int pad) const;
    int unread(int pad) const;

    struct State; // shared with umockdev's worker thread

private:
    std::unique_ptr<State> d;
};
