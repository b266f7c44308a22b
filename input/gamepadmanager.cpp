#include "gamepadmanager.h"

#include "hostmetatypes.h"
#include "sampletimer.h"

#include <QCoreApplication>
#include <QMetaType>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {
GamepadManager* g_instance = nullptr;

// The first tick at or after `from` on the grid through `next` (ms); an interval of 0 is due at
// every pass of the event loop, as a 0 ms timer is.
qint64 firstTickFrom(qint64 next, int intervalMs, qint64 from)
{
    if (next >= from)
        return next;
    if (intervalMs <= 0)
        return from;
    return next + (from - next + intervalMs - 1) / intervalMs * intervalMs;
}

bool sameObjects(const QList<QPointer<ControlManette>>& a, const QList<QPointer<ControlManette>>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).data() != b.at(i).data())
            return false;
    }
    return true;
}
} // namespace

void registerInputMetaTypes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerHostMetaTypes();
    qRegisterMetaType<ControlManette*>("ControlManette*");
    qRegisterMetaType<QPointer<ControlManette>>("QPointer<ControlManette>");
    qRegisterMetaType<QList<QPointer<ControlManette>>>("QList<QPointer<ControlManette>>");
    if (!QMetaType::hasRegisteredConverterFunction<QPointer<ControlManette>, QObject*>())
        QMetaType::registerConverter<QPointer<ControlManette>, QObject*>(
            [](const QPointer<ControlManette>& p) -> QObject* { return p.data(); });
}

GamepadManager::GamepadManager(QObject* parent) : GamepadManager(JoystickBackends::current(), parent) {}

GamepadManager::GamepadManager(std::shared_ptr<JoystickBackend> backend, QObject* parent)
    : QObject(parent), m_backend(std::move(backend))
{
    registerInputMetaTypes();
    // On the devices' sampling grid: a poll or pump due with a sampling step wakes the loop once.
    m_tick = new SampleTimer(this);
    connect(m_tick, &SampleTimer::timeout, this, &GamepadManager::onTick);
    m_backend->openEventPump();
    connect(m_backend->activity(), &JoystickActivity::deviceEvent, this, &GamepadManager::onDeviceEvent);
    connect(this, &GamepadManager::autoDetectGamePadChanged, this, &GamepadManager::onAutoDetectChanged);
}

GamepadManager::~GamepadManager()
{
    if (g_instance == this)
        g_instance = nullptr;
    stopPolling();
    m_backend->closeEventPump();
}

GamepadManager* GamepadManager::instance(QObject* parentHint)
{
    if (g_instance)
        return g_instance;
    QObject* parent = QCoreApplication::instance() ? QCoreApplication::instance() : parentHint;
    g_instance = new GamepadManager(parent);
    connect(
        g_instance, &QObject::destroyed, g_instance, [] { g_instance = nullptr; }, Qt::DirectConnection);
    g_instance->m_pollIntervalMs = DefaultPollIntervalMs;
    g_instance->discoverDevices();
    if (g_instance->m_autoDetectGamePad)
        g_instance->startTimers();
    return g_instance;
}

GamepadManager* GamepadManager::existingInstance()
{
    return g_instance;
}

void GamepadManager::startTimers()
{
    // The grids start on a sampling step, so their ticks fall on the devices' own.
    const int step = ControlManette::DefaultSampleIntervalMs;
    const qint64 now = (SampleTimer::gridMs() + step - 1) / step * step;
    // A negative interval starts no poll, as it starts no QTimer.
    if (!m_polling && m_pollIntervalMs >= 0) {
        m_polling = true;
        m_runningPollMs = m_pollIntervalMs;
        m_nextPollMs = now + m_runningPollMs;
    }
    if (!m_pumping) {
        m_pumping = true;
        m_nextPumpMs = now + PumpIntervalMs;
    }
    armTick();
}

void GamepadManager::armTick()
{
    if (!m_polling && !m_pumping) {
        m_tick->stop();
        return;
    }
    const qint64 now = SampleTimer::gridMs();
    qint64 at = std::numeric_limits<qint64>::max();
    if (m_resting) {
        if (m_restUntilMs < 0) {
            m_tick->stop();
            return;
        }
        // On the pump's grid, so that drain is one it would have made anyway.
        at = firstTickFrom(m_nextPumpMs, PumpIntervalMs, m_restUntilMs);
    } else {
        // Ticks missed by a late event loop are not made up; the grid stays.
        if (m_polling) {
            m_nextPollMs = firstTickFrom(m_nextPollMs, m_runningPollMs, now);
            at = m_nextPollMs;
        }
        if (m_pumping) {
            m_nextPumpMs = firstTickFrom(m_nextPumpMs, PumpIntervalMs, now);
            at = std::min(at, m_nextPumpMs);
        }
    }
    m_tick->startAt(at);
}

void GamepadManager::onTick()
{
    const qint64 now = SampleTimer::gridMs();
    // The wake-up of a rest serves the backend's own deadline: refresh and drain together.
    const bool restDeadline = m_resting;
    m_resting = false;
    const bool pollDue = m_polling && (restDeadline || m_nextPollMs <= now);
    const bool pumpDue = m_pumping && (restDeadline || m_nextPumpMs <= now);
    // The order of two coinciding timers started together: poll, then pump.
    if (pollDue) {
        poll();
        m_nextPollMs = firstTickFrom(m_nextPollMs, m_runningPollMs, m_runningPollMs > 0 ? now + 1 : now);
    }
    if (pumpDue) {
        pump();
        m_nextPumpMs = firstTickFrom(m_nextPumpMs, PumpIntervalMs, now + 1);
    }
    if (m_polling && m_pumping) {
        const qint64 rest = m_backend->restMs();
        if (rest != 0) {
            m_resting = true;
            m_restUntilMs = rest < 0 ? -1 : SampleTimer::gridMs() + rest;
        }
    }
    armTick();
}

void GamepadManager::onDeviceEvent()
{
    if (!m_resting)
        return;
    m_resting = false;
    armTick(); // the next tick of the grid, as if it had kept waking up
}

void GamepadManager::startPolling(int intervalMs)
{
    m_pollIntervalMs = intervalMs;
    discoverDevices();
    if (m_autoDetectGamePad)
        startTimers();
}

void GamepadManager::stopPolling()
{
    m_polling = false;
    m_pumping = false;
    m_resting = false;
    m_tick->stop();
}

void GamepadManager::onAutoDetectChanged()
{
    if (m_autoDetectGamePad) {
        discoverDevices();
        // A receiver of the discovery's signals may have switched detection off again.
        if (m_autoDetectGamePad)
            startTimers();
    } else {
        stopPolling();
    }
}

void GamepadManager::setGamepads(const QList<QPointer<ControlManette>>& gamepads)
{
    if (sameObjects(m_gamepads, gamepads))
        return;
    m_gamepads = gamepads;
    emit gamepadsChanged();
}

void GamepadManager::setAutoDetectGamePad(bool enabled)
{
    if (m_autoDetectGamePad == enabled)
        return;
    m_autoDetectGamePad = enabled;
    emit autoDetectGamePadChanged();
}

QList<ControlManette*> GamepadManager::liveGamepads() const
{
    QList<ControlManette*> live;
    for (const QPointer<ControlManette>& pad : m_gamepads) {
        if (pad)
            live.append(pad.data());
    }
    return live;
}

ControlManette* GamepadManager::gamepadForSlot(int slot) const
{
    for (const QPointer<ControlManette>& pad : m_gamepads) {
        if (pad && pad->deviceId() == slot)
            return pad.data();
    }
    return nullptr;
}

void GamepadManager::poll()
{
    // A sampling step refreshed the same state less than one sampling interval ago.
    const qint64 sinceSample = m_backend->msSinceSampleRefresh();
    if (sinceSample >= 0 && sinceSample < ControlManette::DefaultSampleIntervalMs)
        return;
    m_backend->update();
}

void GamepadManager::pump()
{
    // One discovery per drained batch, late enough for the system to finish setting the pad up.
    if (m_backend->takeConnectionEvents())
        QTimer::singleShot(DiscoveryDelayMs, this, &GamepadManager::discoverDevices);
}

void GamepadManager::discoverDevices()
{
    m_backend->update();
    bool changed = false;

    for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot) {
        if (!m_backend->isConnected(slot) || gamepadForSlot(slot))
            continue;
        auto* device = new ControlManette(slot, m_backend, this);
        QList<QPointer<ControlManette>> next = m_gamepads;
        next.append(device);
        setGamepads(next);
        changed = true;
        emit gamepadAdded(device);
    }

    QList<QPointer<ControlManette>> kept;
    const QList<QPointer<ControlManette>> current = m_gamepads;
    for (const QPointer<ControlManette>& pad : current) {
        if (pad && m_backend->isConnected(pad->deviceId())) {
            kept.append(pad);
            continue;
        }
        int number = -1;
        if (pad) {
            number = pad->deviceId();
            pad->deleteLater();
        }
        changed = true;
        emit gamepadRemoved(number);
    }

    if (changed) {
        setGamepads(kept);
        emit gamepadsChanged();
    }
}
