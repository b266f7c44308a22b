#include "virtualjoystickbackend.h"

#include "hostlogging.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 DefaultHoldAfterLastEventMs = 1000; // a looping scenario keeps its final state this long

// Scenario reading: each helper fills `error` with the member's place when the value is wrong.
struct Reader
{
    QString* error;

    bool fail(const QString& where, const QString& what)
    {
        if (error)
            *error = QStringLiteral("%1: %2").arg(where, what);
        return false;
    }

    bool integer(const QJsonValue& v, const QString& where, qint64 lo, qint64 hi, qint64* out)
    {
        if (!v.isDouble())
            return fail(where, QStringLiteral("expected a number"));
        const double d = v.toDouble();
        if (d != std::floor(d) || d < double(lo) || d > double(hi))
            return fail(where, QStringLiteral("expected a whole number from %1 to %2").arg(lo).arg(hi));
        *out = qint64(d);
        return true;
    }

    bool integer(const QJsonValue& v, const QString& where, int lo, int hi, int* out)
    {
        qint64 wide = 0;
        if (!integer(v, where, qint64(lo), qint64(hi), &wide))
            return false;
        *out = int(wide);
        return true;
    }

    // USB ids: a number, or a "0x" text in hexadecimal.
    bool usbId(const QJsonValue& v, const QString& where, quint32* out)
    {
        if (v.isUndefined()) {
            *out = 0;
            return true;
        }
        if (v.isString()) {
            const QString text = v.toString().trimmed();
            bool ok = false;
            const qulonglong id = text.mid(2).toULongLong(&ok, 16);
            if (!text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || !ok || id > 0xFFFFFFFFull)
                return fail(where, QStringLiteral("expected a number or a \"0x\" hexadecimal text"));
            *out = quint32(id);
            return true;
        }
        qint64 id = 0;
        if (!integer(v, where, qint64(0), qint64(0xFFFFFFFF), &id))
            return false;
        *out = quint32(id);
        return true;
    }

    bool pad(const QJsonValue& v, const QString& where, VirtualJoystickBackend::Pad* out)
    {
        if (!v.isObject())
            return fail(where, QStringLiteral("expected an object"));
        const QJsonObject o = v.toObject();
        VirtualJoystickBackend::Pad p;
        if (!integer(o.value(QLatin1String("slot")), where + QLatin1String(".slot"), 0,
                     JoystickBackend::SlotCount - 1, &p.slot))
            return false;
        const QJsonValue name = o.value(QLatin1String("name"));
        if (!name.isUndefined()) {
            if (!name.isString())
                return fail(where + QLatin1String(".name"), QStringLiteral("expected a text"));
            p.name = name.toString();
        }
        if (!usbId(o.value(QLatin1String("vendorId")), where + QLatin1String(".vendorId"), &p.vendorId) ||
            !usbId(o.value(QLatin1String("productId")), where + QLatin1String(".productId"), &p.productId))
            return false;
        const QJsonValue axes = o.value(QLatin1String("axes"));
        if (!axes.isUndefined()) {
            if (!axes.isArray())
                return fail(where + QLatin1String(".axes"),
                            QStringLiteral("expected an array of axis indices"));
            p.axes.clear();
            const QJsonArray list = axes.toArray();
            for (int i = 0; i < list.size(); ++i) {
                int axis = 0;
                if (!integer(list.at(i), where + QStringLiteral(".axes[%1]").arg(i), 0,
                             JoystickBackend::AxisCount - 1, &axis))
                    return false;
                p.axes.append(axis);
            }
        }
        const QJsonValue buttons = o.value(QLatin1String("buttons"));
        if (!buttons.isUndefined() &&
            !integer(buttons, where + QLatin1String(".buttons"), 0, JoystickBackend::ButtonCount, &p.buttons))
            return false;
        *out = p;
        return true;
    }
};

} // namespace

VirtualJoystickBackend::VirtualJoystickBackend(Clock clock) : m_clock(clock)
{
    m_wallClock.start();
}

bool VirtualJoystickBackend::plug(const Pad& pad)
{
    if (!validSlot(pad.slot))
        return false;
    SlotState s;
    s.connected = true;
    s.id = {pad.name, pad.vendorId, pad.productId};
    for (int axis : pad.axes) {
        if (axis >= 0 && axis < AxisCount)
            s.axisMask |= quint8(1u << axis);
    }
    s.buttonCount = std::clamp(pad.buttons, 0, int(ButtonCount));
    m_live[pad.slot] = s;
    m_dirty = true;
    connectionChanged();
    return true;
}

void VirtualJoystickBackend::unplug(int slot)
{
    if (!validSlot(slot) || !m_live[slot].connected)
        return;
    m_live[slot] = SlotState{};
    m_dirty = true;
    connectionChanged();
}

void VirtualJoystickBackend::setAxis(int slot, int axis, float value)
{
    if (!validSlot(slot) || !m_live[slot].connected || axis < 0 || axis >= AxisCount)
        return;
    m_live[slot].axes[axis] = std::isnan(value) ? 0.f : std::clamp(value, -100.f, 100.f);
    m_dirty = true;
}

void VirtualJoystickBackend::setButton(int slot, int button, bool pressed)
{
    if (!validSlot(slot) || !m_live[slot].connected || button < 0 || button >= m_live[slot].buttonCount)
        return;
    const quint32 bit = 1u << button;
    m_live[slot].buttons = pressed ? (m_live[slot].buttons | bit) : (m_live[slot].buttons & ~bit);
    m_dirty = true;
}

void VirtualJoystickBackend::advanceClock(qint64 ms)
{
    if (ms > 0)
        m_manualMs += ms;
}

qint64 VirtualJoystickBackend::nowMs() const
{
    return m_clock == Clock::RealTime ? m_wallClock.elapsed() : m_manualMs;
}

void VirtualJoystickBackend::connectionChanged()
{
    // A window created later starts from the current state: only an open pump records the change.
    if (m_pumpOpen)
        m_connectionEvent = true;
    if (m_reportsDeviceEvents)
        reportDeviceEvent();
}

void VirtualJoystickBackend::update()
{
    ++m_updateCount;
    applyDueEvents();
    if (m_dirty) {
        m_snapshot = m_live;
        m_dirty = false;
    }
}

bool VirtualJoystickBackend::isConnected(int slot) const
{
    return validSlot(slot) && m_snapshot[slot].connected;
}

JoystickBackend::Identification VirtualJoystickBackend::identification(int slot) const
{
    return validSlot(slot) ? m_snapshot[slot].id : Identification{};
}

int VirtualJoystickBackend::buttonCount(int slot) const
{
    return validSlot(slot) ? m_snapshot[slot].buttonCount : 0;
}

bool VirtualJoystickBackend::hasAxis(int slot, int axis) const
{
    return validSlot(slot) && axis >= 0 && axis < AxisCount && (m_snapshot[slot].axisMask & (1u << axis));
}

float VirtualJoystickBackend::axisPosition(int slot, int axis) const
{
    return hasAxis(slot, axis) ? m_snapshot[slot].axes[axis] : 0.f;
}

bool VirtualJoystickBackend::isButtonPressed(int slot, int button) const
{
    return validSlot(slot) && button >= 0 && button < m_snapshot[slot].buttonCount &&
           (m_snapshot[slot].buttons & (1u << button));
}

quint32 VirtualJoystickBackend::buttonMask(int slot) const
{
    if (!validSlot(slot))
        return 0;
    const int count = std::clamp(m_snapshot[slot].buttonCount, 0, ButtonCount);
    const quint32 present = count >= ButtonCount ? ~0u : (1u << count) - 1;
    return m_snapshot[slot].buttons & present;
}

void VirtualJoystickBackend::openEventPump()
{
    m_pumpOpen = true;
    m_connectionEvent = false;
}

void VirtualJoystickBackend::closeEventPump()
{
    m_pumpOpen = false;
    m_connectionEvent = false;
}

bool VirtualJoystickBackend::takeConnectionEvents()
{
    const bool any = m_connectionEvent;
    m_connectionEvent = false;
    return any;
}

qint64 VirtualJoystickBackend::restMs() const
{
    if (!m_reportsDeviceEvents || m_connectionEvent || m_dirty || m_nextEvent < m_events.size() || m_loop)
        return 0;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (m_live[slot].connected || m_snapshot[slot].connected)
            return 0;
    }
    return -1;
}

// --- Scenario --------------------------------------------------------------------------------------

bool VirtualJoystickBackend::loadScenario(const QJsonObject& scenario, QString* error)
{
    Reader read{error};
    QList<Pad> pads;
    const QJsonValue padsValue = scenario.value(QLatin1String("pads"));
    if (!padsValue.isUndefined() && !padsValue.isArray())
        return read.fail(QStringLiteral("pads"), QStringLiteral("expected an array"));
    const QJsonArray padList = padsValue.toArray();
    for (int i = 0; i < padList.size(); ++i) {
        Pad pad;
        if (!read.pad(padList.at(i), QStringLiteral("pads[%1]").arg(i), &pad))
            return false;
        pads.append(pad);
    }

    QVector<Event> events;
    const QJsonValue eventsValue = scenario.value(QLatin1String("events"));
    if (!eventsValue.isUndefined() && !eventsValue.isArray())
        return read.fail(QStringLiteral("events"), QStringLiteral("expected an array"));
    const QJsonArray eventList = eventsValue.toArray();
    for (int i = 0; i < eventList.size(); ++i) {
        const QString where = QStringLiteral("events[%1]").arg(i);
        if (!eventList.at(i).isObject())
            return read.fail(where, QStringLiteral("expected an object"));
        const QJsonObject o = eventList.at(i).toObject();
        Event e;
        if (!read.integer(o.value(QLatin1String("at")), where + QLatin1String(".at"), qint64(0),
                          qint64(1) << 40, &e.at))
            return false;
        if (o.contains(QLatin1String("plug"))) {
            e.kind = Event::Plug;
            if (!read.pad(o.value(QLatin1String("plug")), where + QLatin1String(".plug"), &e.pad))
                return false;
        } else if (o.contains(QLatin1String("unplug"))) {
            e.kind = Event::Unplug;
            if (!read.integer(o.value(QLatin1String("unplug")), where + QLatin1String(".unplug"), 0,
                              SlotCount - 1, &e.slot))
                return false;
        } else if (o.contains(QLatin1String("axis")) || o.contains(QLatin1String("button"))) {
            if (!read.integer(o.value(QLatin1String("slot")), where + QLatin1String(".slot"), 0,
                              SlotCount - 1, &e.slot))
                return false;
            if (o.contains(QLatin1String("axis"))) {
                e.kind = Event::Axis;
                if (!read.integer(o.value(QLatin1String("axis")), where + QLatin1String(".axis"), 0,
                                  AxisCount - 1, &e.index))
                    return false;
                const QJsonValue value = o.value(QLatin1String("value"));
                if (!value.isDouble())
                    return read.fail(where + QLatin1String(".value"), QStringLiteral("expected a number"));
                e.value = float(std::clamp(value.toDouble(), -100.0, 100.0));
            } else {
                e.kind = Event::Button;
                if (!read.integer(o.value(QLatin1String("button")), where + QLatin1String(".button"), 0,
                                  ButtonCount - 1, &e.index))
                    return false;
                const QJsonValue pressed = o.value(QLatin1String("pressed"));
                if (!pressed.isBool())
                    return read.fail(where + QLatin1String(".pressed"),
                                     QStringLiteral("expected true or false"));
                e.pressed = pressed.toBool();
            }
        } else {
            return read.fail(where,
                             QStringLiteral("expected one of \"axis\", \"button\", \"plug\" or \"unplug\""));
        }
        events.append(e);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.at < b.at; });

    const QJsonValue loop = scenario.value(QLatin1String("loop"));
    if (!loop.isUndefined() && !loop.isBool())
        return read.fail(QStringLiteral("loop"), QStringLiteral("expected true or false"));
    qint64 period = events.isEmpty() ? 0 : events.last().at + DefaultHoldAfterLastEventMs;
    const QJsonValue periodValue = scenario.value(QLatin1String("period"));
    if (!periodValue.isUndefined()) {
        const qint64 minimum = std::max<qint64>(1, events.isEmpty() ? 1 : events.last().at);
        if (!read.integer(periodValue, QStringLiteral("period"), minimum, qint64(1) << 40, &period))
            return false;
    }

    m_initialPads = pads;
    m_events = events;
    m_loop = loop.toBool();
    m_period = period;
    restartScenario();
    m_cycleStartMs = nowMs();
    return true;
}

bool VirtualJoystickBackend::loadScenarioFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("the document is not a JSON object");
        return false;
    }
    return loadScenario(doc.object(), error);
}

std::shared_ptr<VirtualJoystickBackend> VirtualJoystickBackend::fromScenarioFile(const QString& path)
{
    auto backend = std::make_shared<VirtualJoystickBackend>(Clock::RealTime);
    QString error;
    if (!backend->loadScenarioFile(path, &error))
        qCWarning(lcGamepadInput).noquote()
            << QStringLiteral("Virtual gamepad scenario \"%1\" not loaded: %2; starting without controllers.")
                   .arg(path, error);
    return backend;
}

void VirtualJoystickBackend::restartScenario()
{
    // One connection event, and only when the set of plugged pads really differs afterwards.
    const std::array<SlotState, SlotCount> before = m_live;
    const bool pending = m_connectionEvent;
    for (int slot = 0; slot < SlotCount; ++slot)
        unplug(slot);
    for (const Pad& pad : std::as_const(m_initialPads))
        plug(pad);
    m_nextEvent = 0;
    bool changed = false;
    for (int slot = 0; slot < SlotCount; ++slot) {
        const SlotState& a = before[slot];
        const SlotState& b = m_live[slot];
        changed = changed || a.connected != b.connected || a.id.name != b.id.name ||
                  a.id.vendorId != b.id.vendorId || a.id.productId != b.id.productId ||
                  a.axisMask != b.axisMask || a.buttonCount != b.buttonCount;
    }
    m_connectionEvent = pending || (changed && m_pumpOpen);
}

void VirtualJoystickBackend::apply(const Event& e)
{
    switch (e.kind) {
    case Event::Axis:
        setAxis(e.slot, e.index, e.value);
        break;
    case Event::Button:
        setButton(e.slot, e.index, e.pressed);
        break;
    case Event::Plug:
        plug(e.pad);
        break;
    case Event::Unplug:
        unplug(e.slot);
        break;
    }
}

void VirtualJoystickBackend::applyDueEvents()
{
    if (m_events.isEmpty())
        return;
    const qint64 now = nowMs();
    for (;;) {
        if (m_nextEvent < m_events.size()) {
            const Event& e = m_events.at(m_nextEvent);
            if (m_cycleStartMs + e.at > now)
                return;
            apply(e);
            ++m_nextEvent;
            continue;
        }
        if (!m_loop || m_period <= 0 || now < m_cycleStartMs + m_period)
            return;
        // Skip whole cycles a long pause jumped over; only the running one is replayed.
        const qint64 cycles = (now - m_cycleStartMs) / m_period;
        m_cycleStartMs += std::max<qint64>(1, cycles) * m_period;
        restartScenario();
    }
}
