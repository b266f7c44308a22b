#include "mockjoysticks.h"

#include <umockdev.h>

#include <linux/joystick.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace {

struct Queued
{
    js_event event;
    bool cut; // delivered as its first 4 bytes only
};

// One open file of a node: joydev queues every event for each reader separately.
struct Reader
{
    UMockdevIoctlClient* client = nullptr;
    std::deque<Queued> queue;
};

struct PadState
{
    MockJoysticks::State* owner = nullptr;
    MockJoysticks::Pad pad;
    int number = 0; // N of /dev/input/jsN
    QByteArray devnode;
    QList<QByteArray> syspaths; // child first, the order they go in
    UMockdevIoctlBase* handler = nullptr;
    bool plugged = true;
    std::vector<qint16> axes;
    std::vector<bool> buttons;
    std::vector<Reader> readers;
    int opens = 0;
    int failures = 0;
    int failError = 0;
    bool cutNext = false;
    QList<MockJoysticks::Event> timed; // not yet sent, by time
};

} // namespace

struct MockJoysticks::State
{
    UMockdevTestbed* bed = nullptr;
    mutable std::mutex lock;                     // the pads below, against umockdev's worker thread
    std::vector<std::unique_ptr<PadState>> pads; // by handle
    qint64 clockMs = 0;
    int nextInput = 0;

    PadState* at(int pad) const
    {
        return pad >= 0 && pad < int(pads.size()) ? pads[size_t(pad)].get() : nullptr;
    }
};

namespace {

js_event makeEvent(qint64 atMs, quint8 type, quint8 number, qint16 value)
{
    js_event e{};
    e.time = quint32(atMs);
    e.type = type;
    e.number = number;
    e.value = value;
    return e;
}

// Copies `bytes` into the caller's buffer of an ioctl and completes it with `result`.
void answer(UMockdevIoctlClient* client, const void* bytes, size_t size, long result)
{
    GError* error = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
    if (!data) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    std::memcpy(data->data, bytes, size);
    umockdev_ioctl_client_complete(client, result, 0);
    g_object_unref(data);
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto* pad = static_cast<PadState*>(user);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const size_t size = _IOC_SIZE(request);
    std::lock_guard<std::mutex> guard(pad->owner->lock);
    if (_IOC_TYPE(request) != 'j') {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
    switch (_IOC_NR(request)) {
    case _IOC_NR(JSIOCGVERSION): {
        const quint32 version = JS_VERSION;
        answer(client, &version, sizeof version, 0);
        break;
    }
    case _IOC_NR(JSIOCGAXES): {
        const quint8 count = quint8(pad->pad.axisMap.size());
        answer(client, &count, 1, 0);
        break;
    }
    case _IOC_NR(JSIOCGBUTTONS): {
        const quint8 count = quint8(pad->pad.buttons);
        answer(client, &count, 1, 0);
        break;
    }
    case _IOC_NR(JSIOCGAXMAP): {
        QByteArray map(qsizetype(size), '\0');
        std::memcpy(map.data(), pad->pad.axisMap.constData(),
                    std::min(size_t(pad->pad.axisMap.size()), size));
        answer(client, map.constData(), size, 0);
        break;
    }
    case _IOC_NR(JSIOCGNAME(0)): {
        if (pad->pad.nameFails) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            break;
        }
        // As joydev: the name with its terminating zero, cut to the caller's buffer.
        QByteArray name(qsizetype(size), '\0');
        const size_t length = std::min(size, size_t(pad->pad.name.size()) + 1);
        std::memcpy(name.data(), pad->pad.name.constData(), std::min(size_t(pad->pad.name.size()), size));
        answer(client, name.constData(), size, long(length));
        break;
    }
    default:
        umockdev_ioctl_client_complete(client, -1, EINVAL);
    }
    return TRUE;
}

gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto* pad = static_cast<PadState*>(user);
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> guard(pad->owner->lock);
    if (!pad->plugged) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    if (pad->failures > 0) {
        --pad->failures;
        umockdev_ioctl_client_complete(client, -1, pad->failError);
        return TRUE;
    }
    const auto reader = std::find_if(pad->readers.begin(), pad->readers.end(),
                                     [client](const Reader& r) { return r.client == client; });
    if (reader == pad->readers.end() || reader->queue.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
    }
    if (reader->queue.front().cut) {
        const js_event e = reader->queue.front().event;
        reader->queue.pop_front();
        const size_t part = std::min(size_t(buffer->data_len), sizeof e.time);
        std::memcpy(buffer->data, &e, part);
        umockdev_ioctl_client_complete(client, long(part), 0);
        return TRUE;
    }
    // Whole events only, as many as fit, as joydev does.
    size_t count = 0;
    while (count < size_t(buffer->data_len) / sizeof(js_event) && !reader->queue.empty() &&
           !reader->queue.front().cut) {
        std::memcpy(buffer->data + count++ * sizeof(js_event), &reader->queue.front().event,
                    sizeof(js_event));
        reader->queue.pop_front();
    }
    if (count == 0)
        umockdev_ioctl_client_complete(client, -1, EINVAL);
    else
        umockdev_ioctl_client_complete(client, long(count * sizeof(js_event)), 0);
    return TRUE;
}

// umockdev drops a client when its file is closed (it emits no "client-vanished" here).
void onClientGone(gpointer user, GObject* client)
{
    auto* pad = static_cast<PadState*>(user);
    std::lock_guard<std::mutex> guard(pad->owner->lock);
    pad->readers.erase(std::remove_if(pad->readers.begin(), pad->readers.end(),
                                      [client](const Reader& r) { return G_OBJECT(r.client) == client; }),
                       pad->readers.end());
}

// Each open starts with joydev's start-up burst: every button, then every axis, as it stands.
void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto* pad = static_cast<PadState*>(user);
    std::lock_guard<std::mutex> guard(pad->owner->lock);
    Reader reader;
    reader.client = client;
    const qint64 now = pad->owner->clockMs;
    for (size_t b = 0; b < pad->buttons.size(); ++b)
        reader.queue.push_back(
            {makeEvent(now, JS_EVENT_BUTTON | JS_EVENT_INIT, quint8(b), pad->buttons[b]), false});
    for (size_t a = 0; a < pad->axes.size(); ++a)
        reader.queue.push_back(
            {makeEvent(now, JS_EVENT_AXIS | JS_EVENT_INIT, quint8(a), pad->axes[a]), false});
    pad->readers.push_back(std::move(reader));
    ++pad->opens;
    g_object_weak_ref(G_OBJECT(client), onClientGone, pad);
}

QByteArray hex4(quint16 id)
{
    return QByteArray::number(id, 16).rightJustified(4, '0');
}

} // namespace

MockJoysticks::MockJoysticks() : d(std::make_unique<State>())
{
    d->bed = umockdev_testbed_new();
}

MockJoysticks::~MockJoysticks()
{
    {
        std::lock_guard<std::mutex> guard(d->lock);
        for (const auto& pad : d->pads) {
            for (const Reader& reader : pad->readers)
                g_object_weak_unref(G_OBJECT(reader.client), onClientGone, pad.get());
            pad->readers.clear();
        }
    }
    for (const auto& pad : d->pads) {
        if (pad->handler) {
            umockdev_testbed_detach_ioctl(d->bed, pad->devnode.constData(), nullptr);
            g_object_unref(pad->handler);
        }
    }
    g_object_unref(d->bed);
}

bool MockJoysticks::available()
{
    // umockdev_in_mock_environment() only turns true once a testbed exists, preloaded or not.
    return qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("libumockdev-preload"));
}

int MockJoysticks::plug(const Pad& pad)
{
    auto state = std::make_unique<PadState>();
    PadState* p = state.get();
    p->owner = d.get();
    p->pad = pad;
    p->axes.assign(size_t(pad.axisMap.size()), 0);
    for (size_t a = 0; a < p->axes.size() && a < size_t(pad.axisValues.size()); ++a)
        p->axes[a] = pad.axisValues[qsizetype(a)];
    p->buttons.assign(size_t(std::max(pad.buttons, 0)), false);
    UMockdevIoctlBase* stale = nullptr;
    int input = 0;
    int handle = 0;
    {
        std::lock_guard<std::mutex> guard(d->lock);
        std::vector<bool> taken;
        for (const auto& other : d->pads) {
            if (other->plugged) {
                taken.resize(std::max(taken.size(), size_t(other->number) + 1));
                taken[size_t(other->number)] = true;
            }
        }
        while (size_t(p->number) < taken.size() && taken[size_t(p->number)])
            ++p->number;
        // The node of an unplugged pad keeps answering ENODEV until the number is taken again.
        for (const auto& other : d->pads) {
            if (!other->plugged && other->number == p->number && other->handler)
                stale = std::exchange(other->handler, nullptr);
        }
        input = d->nextInput++;
        handle = int(d->pads.size());
        d->pads.push_back(std::move(state));
    }
    p->devnode = "/dev/input/js" + QByteArray::number(p->number);
    if (stale) {
        umockdev_testbed_detach_ioctl(d->bed, p->devnode.constData(), nullptr);
        g_object_unref(stale);
    }

    const QByteArray port = QByteArray::number(pad.usbPort);
    const QByteArray usbDevice = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + port;
    const QByteArray usbInterface = usbDevice + "/1-" + port + ":1.0";
    const QByteArray inputDevice = (pad.usb ? usbInterface : QByteArray("/devices/virtual")) +
                                   "/input/input" + QByteArray::number(input);
    const QByteArray js = inputDevice + "/js" + QByteArray::number(p->number);
    const QByteArray ids = hex4(pad.vendorId) + "/" + hex4(pad.productId);
    QByteArray text = "P: " + js + "\nN: input/js" + QByteArray::number(p->number) +
                      "=00\nE: DEVNAME=" + p->devnode +
                      "\nE: SUBSYSTEM=input\nE: ID_INPUT=1\nE: ID_INPUT_JOYSTICK=1\n";
    if (!pad.usb)
        text += "E: ID_VENDOR_ID=" + hex4(pad.vendorId) + "\nE: ID_MODEL_ID=" + hex4(pad.productId) + "\n";
    text += "\nP: " + inputDevice + "\nE: SUBSYSTEM=input\nE: PRODUCT=3/" + ids + "/110\n";
    p->syspaths = {"/sys" + js, "/sys" + inputDevice};
    if (pad.usb) {
        text += "\nP: " + usbInterface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n";
        text += "\nP: " + usbDevice +
                "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + hex4(pad.vendorId) +
                "\nA: idProduct=" + hex4(pad.productId) + "\n";
        p->syspaths += {"/sys" + usbInterface, "/sys" + usbDevice};
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(d->bed, text.constData(), &error)) {
        qWarning("MockJoysticks: %s", error->message);
        g_clear_error(&error);
    }
    p->handler = umockdev_ioctl_base_new();
    g_signal_connect(p->handler, "handle-ioctl", G_CALLBACK(onIoctl), p);
    g_signal_connect(p->handler, "handle-read", G_CALLBACK(onRead), p);
    g_signal_connect(p->handler, "client-connected", G_CALLBACK(onConnected), p);
    if (!umockdev_testbed_attach_ioctl(d->bed, p->devnode.constData(), p->handler, &error)) {
        qWarning("MockJoysticks: %s", error->message);
        g_clear_error(&error);
    }
    // Only the node's own uevent: a mocked listener holds few messages (net.unix.max_dgram_qlen,
    // often 10) and umockdev aborts when one is full.
    umockdev_testbed_uevent(d->bed, p->syspaths.first().constData(), "add");
    return handle;
}

void MockJoysticks::unplug(int pad)
{
    QList<QByteArray> paths;
    {
        std::lock_guard<std::mutex> guard(d->lock);
        PadState* p = d->at(pad);
        if (!p || !p->plugged)
            return;
        p->plugged = false;
        paths = p->syspaths;
    }
    // umockdev sends nothing by itself on removal; children go before their parents.
    umockdev_testbed_uevent(d->bed, paths.first().constData(), "remove");
    for (const QByteArray& path : paths)
        umockdev_testbed_remove_device(d->bed, path.constData());
}

QString MockJoysticks::devnode(int pad) const
{
    std::lock_guard<std::mutex> guard(d->lock);
    const PadState* p = d->at(pad);
    return p ? QString::fromLatin1(p->devnode) : QString();
}

void MockJoysticks::send(int pad, quint8 type, quint8 number, qint16 value)
{
    std::lock_guard<std::mutex> guard(d->lock);
    PadState* p = d->at(pad);
    if (!p || !p->plugged)
        return;
    for (Reader& reader : p->readers)
        reader.queue.push_back({makeEvent(d->clockMs, type, number, value), p->cutNext});
    p->cutNext = false;
}

void MockJoysticks::moveAxis(int pad, int number, qint16 value)
{
    {
        std::lock_guard<std::mutex> guard(d->lock);
        PadState* p = d->at(pad);
        if (p && number >= 0 && size_t(number) < p->axes.size())
            p->axes[size_t(number)] = value;
    }
    send(pad, JS_EVENT_AXIS, quint8(number), value);
}

void MockJoysticks::setButton(int pad, int number, bool pressed)
{
    {
        std::lock_guard<std::mutex> guard(d->lock);
        PadState* p = d->at(pad);
        if (p && number >= 0 && size_t(number) < p->buttons.size())
            p->buttons[size_t(number)] = pressed;
    }
    send(pad, JS_EVENT_BUTTON, quint8(number), pressed ? 1 : 0);
}

void MockJoysticks::failReads(int pad, int error, int count)
{
    std::lock_guard<std::mutex> guard(d->lock);
    if (PadState* p = d->at(pad)) {
        p->failures = count;
        p->failError = error;
    }
}

void MockJoysticks::cutNextEvent(int pad)
{
    std::lock_guard<std::mutex> guard(d->lock);
    if (PadState* p = d->at(pad))
        p->cutNext = true;
}

void MockJoysticks::play(int pad, const QList<Event>& events)
{
    std::lock_guard<std::mutex> guard(d->lock);
    if (PadState* p = d->at(pad)) {
        p->timed += events;
        std::stable_sort(p->timed.begin(), p->timed.end(),
                         [](const Event& a, const Event& b) { return a.at < b.at; });
    }
}

void MockJoysticks::advanceClock(qint64 ms)
{
    QList<std::pair<int, Event>> due;
    {
        std::lock_guard<std::mutex> guard(d->lock);
        d->clockMs += std::max<qint64>(ms, 0);
        for (size_t i = 0; i < d->pads.size(); ++i) {
            QList<Event>& timed = d->pads[i]->timed;
            while (!timed.isEmpty() && timed.first().at <= d->clockMs)
                due.append({int(i), timed.takeFirst()});
        }
    }
    for (const auto& [pad, e] : due) {
        if (e.type == JS_EVENT_AXIS)
            moveAxis(pad, e.number, e.value);
        else if (e.type == JS_EVENT_BUTTON)
            setButton(pad, e.number, e.value != 0);
        else
            send(pad, e.type, e.number, e.value);
    }
}

qint64 MockJoysticks::nowMs() const
{
    std::lock_guard<std::mutex> guard(d->lock);
    return d->clockMs;
}

int MockJoysticks::opens(int pad) const
{
    std::lock_guard<std::mutex> guard(d->lock);
    const PadState* p = d->at(pad);
    return p ? p->opens : 0;
}

int MockJoysticks::unread(int pad) const
{
    std::lock_guard<std::mutex> guard(d->lock);
    const PadState* p = d->at(pad);
    int count = 0;
    if (p) {
        for (const Reader& reader : p->readers)
            count += int(reader.queue.size());
    }
    return count;
}
