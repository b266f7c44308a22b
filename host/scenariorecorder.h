#pragma once

#include "joystickbackend.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <array>

// Records what the joysticks of a backend do as a virtual-pad scenario (docs/VIRTUAL_PADS.md), so
// that --scenario replays it: the pads connected at the start, then every plug, unplug, axis move
// and button change with its time. Raw axis positions are kept exactly as read, so a replay gives
// the same calibrated values.
//
// It reads the state the backend's last update() captured: the caller refreshes, then calls
// step() (the stand-in host does both every 10 ms for --record).
class ScenarioRecorder
{
public:
    explicit ScenarioRecorder(const JoystickBackend& backend) : m_backend(backend) {}

    // The pads connected now become the scenario's "pads"; times count from startMs.
    void start(qint64 startMs);
    // Notes every change since the previous step at nowMs (ms on the same clock as start).
    void step(qint64 nowMs);

    int eventCount() const { return int(m_events.size()); }
    QJsonObject scenario() const;
    // The scenario as a file: one event per line; false with the file's error text on failure.
    bool save(const QString& path, QString* error = nullptr) const;

private:
    struct Slot
    {
        bool connected = false;
        JoystickBackend::Identification id;
        quint8 axisMask = 0;
        int buttonCount = 0;
        std::array<float, JoystickBackend::AxisCount> axes{};
        quint32 buttons = 0;
    };

    Slot read(int slot) const;
    QJsonObject padObject(int slot, const Slot& pad) const;
    void noteChanges(int slot, const Slot& from, const Slot& to, qint64 at);

    const JoystickBackend& m_backend;
    std::array<Slot, JoystickBackend::SlotCount> m_slots{};
    QJsonArray m_pads;
    QJsonArray m_events;
    qint64 m_startMs = 0;
};
