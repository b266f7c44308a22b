// The device list model: construction, settings and context.
#include "linkerdevicemodel_p.h"

using namespace LinkerDeviceModelDetail;

LinkerDeviceModel::LinkerDeviceModel(const QString& context, QObject* parent)
    : QAbstractListModel(parent), m_context(context)
{
    registerInputMetaTypes();
    loadRegistry();
    GamepadManager* mgr = manager();
    connect(mgr, &GamepadManager::gamepadsChanged, this, &LinkerDeviceModel::onManagerChanged);
    connect(mgr, &GamepadManager::gamepadAdded, this, &LinkerDeviceModel::onGamepadAdded);
    connect(mgr, &GamepadManager::gamepadRemoved, this, &LinkerDeviceModel::onGamepadRemoved);
    if (m_autoDetect)
        QTimer::singleShot(0, this, &LinkerDeviceModel::onManagerChanged);
}

LinkerDeviceModel::~LinkerDeviceModel()
{
    saveRegistry();
}

GamepadManager* LinkerDeviceModel::manager() const
{
    return GamepadManager::instance();
}

QList<ControlManette*> LinkerDeviceModel::liveGamepads() const
{
    QList<ControlManette*> live;
    for (const QPointer<ControlManette>& pad : manager()->gamepads()) {
        if (pad)
            live.append(pad.data());
    }
    return live;
}

void LinkerDeviceModel::setUniqSelection(bool uniq)
{
    if (m_uniqSelection == uniq)
        return;
    m_uniqSelection = uniq;
    emit uniqSelectionChanged();
}

void LinkerDeviceModel::setAutoDetect(bool enabled)
{
    if (m_autoDetect == enabled)
        return;
    m_autoDetect = enabled;
    if (enabled) {
        manager()->startPolling(GamepadManager::DefaultPollIntervalMs);
        onManagerChanged();
    } else {
        manager()->stopPolling();
    }
    emit autoDetectChanged();
}

void LinkerDeviceModel::setContext(const QString& context)
{
    if (m_context == context)
        return;
    m_context = context;
    emit contextChanged();
    loadRegistry();
    emit previousCountChanged();
    syncSelected();
}

QString LinkerDeviceModel::registryPath() const
{
    return RegistryFile::path(m_context);
}
