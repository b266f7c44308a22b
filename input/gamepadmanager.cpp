#include "gamepadmanager.h"

#include "hostmetatypes.h"

#include <QCoreApplication>
#include <QMetaType>
#include <QTimer>

namespace {
GamepadManager* g_instance = nullptr;

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
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &GamepadManager::poll);
    m_backend->openEventPump();
    m_pumpTimer = new QTimer(this);
    connect(m_pumpTimer, &QTimer::timeout, this, &GamepadManager::pump);
    connect(this, &GamepadManager::autoDetectGamePadChanged, this, &GamepadManager::onAutoDetectChanged);
}

GamepadManager::~GamepadManager()
{
    if (g_instance == this)
        g_instance = nullptr;
    m_pollTimer->stop();
    m_pumpTimer->stop();
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
    if (!m_pollTimer->isActive())
        m_pollTimer->start(m_pollIntervalMs);
    if (!m_pumpTimer->isActive())
        m_pumpTimer->start(PumpIntervalMs);
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
    m_pollTimer->stop();
    m_pumpTimer->stop();
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

bool GamepadManager::isPolling() const
{
    return m_pollTimer->isActive();
}

int GamepadManager::pollIntervalMs() const
{
    return m_pollTimer->isActive() ? m_pollTimer->interval() : m_pollIntervalMs;
}

bool GamepadManager::isPumping() const
{
    return m_pumpTimer->isActive();
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
