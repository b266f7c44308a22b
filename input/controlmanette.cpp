#include "controlmanette.h"

#include "controlmanette_p.h"
#include "gamepadmanager.h"
#include "hostlogging.h"
#include "metakeys.h"
#include "profilestore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>

using namespace GamepadCalibration;

ControlManette::ControlManette(int slot, QObject* parent)
    : ControlManette(slot, JoystickBackends::current(), parent)
{}

ControlManette::ControlManette(int slot, std::shared_ptr<JoystickBackend> backend, QObject* parent)
    : IComInterface(parent), m_backend(std::move(backend)), d(std::make_unique<State>())
{
    registerInputMetaTypes();
    d->axisAtRest.fill(true);
    restartClock();
    setDeviceId(slot);
    if (slot == -1)
        return;
    m_backend->update();
    readIdentification();
    connect(&m_sampleTimer, &SampleTimer::timeout, this, &ControlManette::sample);
}

ControlManette::~ControlManette() = default;

// --- Properties ----------------------------------------------------------------------------------

void ControlManette::setDeviceId(int deviceId)
{
    if (m_deviceId == deviceId)
        return;
    m_deviceId = deviceId;
    emit deviceIdChanged();
}

void ControlManette::setName(const QString& name)
{
    if (m_name == name)
        return;
    m_name = name;
    ++d->identity;
    emit nameChanged();
}

void ControlManette::setProfileName(const QString& profileName)
{
    if (m_profileName == profileName)
        return;
    m_profileName = profileName;
    emit profileNameChanged();
}

void ControlManette::setActiveProfileId(const QString& activeProfileId)
{
    if (m_activeProfileId == activeProfileId)
        return;
    m_activeProfileId = activeProfileId;
    ++d->identity;
    emit activeProfileIdChanged();
}

void ControlManette::setVendorId(uint vendorId)
{
    if (m_vendorId == vendorId)
        return;
    m_vendorId = vendorId;
    ++d->identity;
    emit vendorIdChanged();
}

void ControlManette::setProductId(uint productId)
{
    if (m_productId == productId)
        return;
    m_productId = productId;
    ++d->identity;
    emit productIdChanged();
}

void ControlManette::setConnected(bool connected)
{
    if (m_connected == connected)
        return;
    m_connected = connected;
    emit connectedChanged();
}

QVariantList ControlManette::axes() const
{
    QVariantList list;
    list.reserve(AxisCount);
    for (double v : d->axes)
        list.append(v);
    return list;
}

QVariantList ControlManette::rawAxes() const
{
    QVariantList list;
    list.reserve(AxisCount);
    for (double v : d->rawAxes)
        list.append(v);
    return list;
}

QVariantList ControlManette::buttons() const
{
    QVariantList list;
    list.reserve(ButtonCount);
    for (const ButtonState& b : d->buttons)
        list.append(b.pressed);
    return list;
}

double ControlManette::axisValue(int axis) const
{
    return axis >= 0 && axis < AxisCount ? d->axes[axis] : 0.0;
}

double ControlManette::rawAxisValue(int axis) const
{
    return axis >= 0 && axis < AxisCount ? d->rawAxes[axis] : 0.0;
}

bool ControlManette::buttonPressed(int button) const
{
    return button >= 0 && button < ButtonCount && d->buttons[button].pressed;
}

bool ControlManette::axisPresent(int axis) const
{
    return axis >= 0 && axis < AxisCount && d->axisPresent[axis];
}

int ControlManette::buttonCount() const
{
    return m_connected ? std::min(m_backend->buttonCount(m_deviceId), int(ButtonCount)) : 0;
}

QHash<QString, bool> ControlManette::gateStates() const
{
    return d->gateStates;
}

CalibrationSet ControlManette::calibration() const
{
    return d->calibration;
}

QString ControlManette::calibrationSourceLabel() const
{
    return GamepadCalibration::calibrationSourceLabel(d->calibrationSource);
}

QString ControlManette::calibrationPath() const
{
    return d->calibrationPath;
}

QString ControlManette::calibrationKey() const
{
    if (d->keyIdentity != d->identity) {
        d->keyIdentity = d->identity;
        // One multi-argument arg(): a "%2" inside the name must not be substituted again.
        d->currentKey = QStringLiteral("%1|%2|%3|%4")
                            .arg(m_name.trimmed().toLower(), QString::number(m_vendorId),
                                 QString::number(m_productId), m_activeProfileId.trimmed().toLower());
    }
    return d->currentKey;
}

// --- Internal state ------------------------------------------------------------------------------

void ControlManette::readIdentification()
{
    const JoystickBackend::Identification id = m_backend->identification(m_deviceId);
    setVendorId(id.vendorId);
    setProductId(id.productId);
    setName(id.name);
}

void ControlManette::restartClock()
{
    d->clockStartMs = m_backend->nowMs();
}

void ControlManette::resetLiveState()
{
    d->axes.fill(0.0);
    d->rawAxes.fill(0.0);
    d->axisPresent.fill(false);
    d->axisAtRest.fill(true);
    d->buttons.fill(ButtonState{});
    d->pressedMask = 0;
    d->armedMask = 0;
    d->axesSettled = false;
    d->gateStates.clear();
    restartClock();
}

// --- IComInterface -------------------------------------------------------------------------------

void ControlManette::connectDevice(const QString& target)
{
    Q_UNUSED(target)
    const bool wasConnected = m_connected;
    m_backend->update();
    setConnected(m_backend->isConnected(m_deviceId));
    resetLiveState();
    reloadCalibration();
    m_sampleTimer.start(DefaultSampleIntervalMs);
    if (m_connected && !wasConnected)
        emit statusChanged(IComInterface::connected);
}

void ControlManette::disconnectDevice()
{
    if (!m_connected)
        return;
    m_sampleTimer.stop();
    setConnected(false);
    resetLiveState();
    emit statusChanged(IComInterface::noCom);
}

void ControlManette::closeDevice()
{
    disconnectDevice();
    emit finished();
}

int ControlManette::reservedQuery()
{
    return 0;
}

QString ControlManette::infoJson()
{
    QJsonArray raw;
    QJsonArray axes;
    for (int a = 0; a < AxisCount; ++a) {
        raw.append(d->rawAxes[a]);
        axes.append(d->axes[a]);
    }
    QJsonArray buttons;
    for (const ButtonState& b : d->buttons)
        buttons.append(b.pressed);
    QJsonObject gates;
    for (auto it = d->gateStates.cbegin(); it != d->gateStates.cend(); ++it)
        gates.insert(it.key(), it.value());

    QJsonObject info;
    info.insert(QStringLiteral("deviceId"), m_deviceId);
    info.insert(QStringLiteral("name"), m_name);
    info.insert(QStringLiteral("activeProfileId"), m_activeProfileId);
    // No zero padding here, unlike the calibration document.
    info.insert(QStringLiteral("vendorId"), QStringLiteral("0x%1").arg(m_vendorId, 0, 16));
    info.insert(QStringLiteral("productId"), QStringLiteral("0x%1").arg(m_productId, 0, 16));
    info.insert(QStringLiteral("connected"), m_connected);
    info.insert(QStringLiteral("calibrationSource"), calibrationSourceLabel());
    info.insert(QStringLiteral("calibrationPath"), d->calibrationPath);
    info.insert(QStringLiteral("rawAxes"), raw);
    info.insert(QStringLiteral("axes"), axes);
    info.insert(QStringLiteral("buttons"), buttons);
    info.insert(QStringLiteral("gates"), gates);
    return QString::fromUtf8(QJsonDocument(info).toJson(QJsonDocument::Compact));
}

void ControlManette::reservedCommand() {}

void ControlManette::sendData(int deviceId, int catId, const QString& propertyName, const QVariant& value)
{
    Q_UNUSED(catId)
    if (deviceId != m_deviceId)
        return;
    if (propertyName == QLatin1String("pollingInterval")) {
        bool ok = false;
        const int interval = value.toInt(&ok);
        if (ok && interval >= 0) // a timer cannot run with a negative interval
            m_sampleTimer.setInterval(interval);
    } else if (propertyName == QLatin1String("resetBias")) {
        resetAllBias();
    } else if (propertyName == QLatin1String("reloadCalibration")) {
        reloadCalibration();
    }
}

IComInterface::DeviceType ControlManette::deviceType()
{
    return IComInterface::gamepade;
}

QVariant ControlManette::readData()
{
    return QVariant();
}

IComInterface::ComStatus ControlManette::status()
{
    return m_connected ? IComInterface::connected : IComInterface::noCom;
}

QJsonArray ControlManette::fonctions()
{
    return QJsonArray();
}

// --- Calibration and profile ---------------------------------------------------------------------

void ControlManette::resetAllBias()
{
    d->calibration = defaultCalibration(AxisCount, ButtonCount);
    d->calibrationSource = CalibrationSource::Defaults;
    d->calibrationPath.clear();
    resetLiveState();
}

ProfileSummary ControlManette::activeProfileSummary() const
{
    const QUuid id = QUuid::fromString(m_activeProfileId.trimmed());
    if (!id.isNull()) {
        ProfileSummary summary = ProfileStore::summaryById(id);
        if (!summary.id.isNull() && !summary.configPath.isEmpty())
            return summary;
    }
    const QList<ProfileSummary> profiles = ProfileStore::profilesForDevice(m_name);
    if (!profiles.isEmpty())
        return profiles.first();
    return ProfileSummary{};
}

void ControlManette::reloadCalibration()
{
    ProfileCalibrationContext context;
    const ProfileSummary profile = activeProfileSummary();
    if (!profile.id.isNull() && !profile.configPath.isEmpty()) {
        context.profileId = profile.id;
        context.profileName = profile.name;
        context.profileFolder = profile.folder;
        context.deviceName = profile.deviceName;
        context.scope = profile.scope;
        context.vendorId = m_vendorId;
        context.productId = m_productId;
        QJsonObject meta;
        ProfileStore::readJsonObjectFile(QDir(profile.folder).filePath(MetaKeys::MetaFileName), &meta);
        const QJsonValue mode = meta.value(MetaKeys::CalibrationMode);
        context.calibrationMode = mode.isString() ? mode.toString() : QString(MetaKeys::ModeInherit);
        context.calibrationOverrideFile = meta.value(MetaKeys::CalibrationOverrideFile).toString();
    }

    DeviceIdentity identity;
    identity.name = m_name.trimmed();
    identity.vendorId = m_vendorId;
    identity.productId = m_productId;

    const ResolvedCalibration resolved = resolveCalibration(identity, context, AxisCount, ButtonCount);
    d->calibration = resolved.calibration;
    d->calibrationSource = resolved.source;
    d->calibrationPath = resolved.sourcePath;
    d->calibrationKey = calibrationKey();
    d->checkedIdentity = d->identity;
    ++d->calibrationGeneration;
    d->gateStates.clear();
    qCDebug(lcGamepadInput) << "Gamepad calibration reloaded source=" << calibrationSourceLabel()
                            << "path=" << d->calibrationPath << "profile=" << m_activeProfileId;
}
