#include "scenariorecorder.h"

#include <QJsonDocument>
#include <QSaveFile>

namespace {

QString hexId(quint32 id)
{
    return QStringLiteral("0x%1").arg(id, 4, 16, QLatin1Char('0'));
}

bool sameIdentity(const JoystickBackend::Identification& a, const JoystickBackend::Identification& b)
{
    return a.name == b.name && a.vendorId == b.vendorId && a.productId == b.productId;
}

} // namespace

ScenarioRecorder::Slot ScenarioRecorder::read(int slot) const
{
    Slot s;
    s.connected = m_backend.isConnected(slot);
    if (!s.connected)
        return s;
    s.id = m_backend.identification(slot);
    s.buttonCount = m_backend.buttonCount(slot);
    for (int a = 0; a < JoystickBackend::AxisCount; ++a) {
        if (m_backend.hasAxis(slot, a)) {
            s.axisMask |= quint8(1u << a);
            s.axes[size_t(a)] = m_backend.axisPosition(slot, a);
        }
    }
    for (int b = 0; b < s.buttonCount; ++b) {
        if (m_backend.isButtonPressed(slot, b))
            s.buttons |= 1u << b;
    }
    return s;
}

QJsonObject ScenarioRecorder::padObject(int slot, const Slot& pad) const
{
    QJsonArray axes;
    for (int a = 0; a < JoystickBackend::AxisCount; ++a) {
        if (pad.axisMask & (1u << a))
            axes.append(a);
    }
    return {{QStringLiteral("slot"), slot},
            {QStringLiteral("name"), pad.id.name},
            {QStringLiteral("vendorId"), hexId(pad.id.vendorId)},
            {QStringLiteral("productId"), hexId(pad.id.productId)},
            {QStringLiteral("axes"), axes},
            {QStringLiteral("buttons"), pad.buttonCount}};
}

// A pad appears with its axes centred and its buttons up: everything else is an event.
void ScenarioRecorder::noteChanges(int slot, const Slot& from, const Slot& to, qint64 at)
{
    for (int a = 0; a < JoystickBackend::AxisCount; ++a) {
        if ((to.axisMask & (1u << a)) && to.axes[size_t(a)] != from.axes[size_t(a)])
            m_events.append(QJsonObject{{QStringLiteral("at"), at},
                                        {QStringLiteral("slot"), slot},
                                        {QStringLiteral("axis"), a},
                                        {QStringLiteral("value"), double(to.axes[size_t(a)])}});
    }
    for (int b = 0; b < to.buttonCount; ++b) {
        const bool pressed = to.buttons & (1u << b);
        if (pressed != bool(from.buttons & (1u << b)))
            m_events.append(QJsonObject{{QStringLiteral("at"), at},
                                        {QStringLiteral("slot"), slot},
                                        {QStringLiteral("button"), b},
                                        {QStringLiteral("pressed"), pressed}});
    }
}

void ScenarioRecorder::start(qint64 startMs)
{
    m_startMs = startMs;
    m_pads = QJsonArray();
    m_events = QJsonArray();
    for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot) {
        m_slots[size_t(slot)] = read(slot);
        const Slot& pad = m_slots[size_t(slot)];
        if (pad.connected) {
            m_pads.append(padObject(slot, pad));
            noteChanges(slot, Slot{}, pad, 0);
        }
    }
}

void ScenarioRecorder::step(qint64 nowMs)
{
    const qint64 at = qMax<qint64>(0, nowMs - m_startMs);
    for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot) {
        Slot& last = m_slots[size_t(slot)];
        const Slot now = read(slot);
        if (!now.connected) {
            if (last.connected)
                m_events.append(QJsonObject{{QStringLiteral("at"), at}, {QStringLiteral("unplug"), slot}});
            last = now;
            continue;
        }
        // Another controller in the slot between two steps counts as a new one.
        if (!last.connected || !sameIdentity(last.id, now.id) || last.axisMask != now.axisMask ||
            last.buttonCount != now.buttonCount) {
            m_events.append(
                QJsonObject{{QStringLiteral("at"), at}, {QStringLiteral("plug"), padObject(slot, now)}});
            last = Slot{};
        }
        noteChanges(slot, last, now, at);
        last = now;
    }
}

QJsonObject ScenarioRecorder::scenario() const
{
    return {{QStringLiteral("pads"), m_pads},
            {QStringLiteral("events"), m_events},
            {QStringLiteral("loop"), false}};
}

bool ScenarioRecorder::save(const QString& path, QString* error) const
{
    const auto line = [](const QJsonValue& v) {
        return QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
    };
    QByteArray text = "{\"pads\": [";
    for (qsizetype i = 0; i < m_pads.size(); ++i)
        text += (i ? ",\n  " : "\n  ") + line(m_pads.at(i));
    text += "],\n \"events\": [";
    for (qsizetype i = 0; i < m_events.size(); ++i)
        text += (i ? ",\n  " : "\n  ") + line(m_events.at(i));
    text += "],\n \"loop\": false}\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
