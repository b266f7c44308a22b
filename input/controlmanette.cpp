#include "controlmanette.h"

#include "calibrationfiles.h"
#include "calibrationprocessing.h"
#include "calibrationsettings.h"
#include "gamepadmanager.h"
#include "hostlogging.h"
#include "metakeys.h"
#include "profilestore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <cmath>

using namespace GamepadCalibration;

namespace {

constexpr double AxisReportThreshold = 0.5; // calibrated units a value must move to be reported
constexpr double RawMoveThreshold = 0.1;    // raw units a reading must move to notify rawAxes

// Change keys, formatted once: the sampler runs 100 times a second.
const QString& axisKey(int axis)
{
    static const std::array<QString, ControlManette::AxisCount> keys = [] {
        std::array<QString, ControlManette::AxisCount> k;
        for (int i = 0; i < ControlManette::AxisCount; ++i)
            k[i] = QStringLiteral("joy_%1").arg(i);
        return k;
    }();
    return keys[axis];
}

const QString& buttonKey(int button)
{
    static const std::array<QString, ControlManette::ButtonCount> keys = [] {
        std::array<QString, ControlManette::ButtonCount> k;
        for (int i = 0; i < ControlManette::ButtonCount; ++i)
            k[i] = QStringLiteral("but_%1").arg(i);
        return k;
    }();
    return keys[button];
}

// The device names a definition's meta data applies to: "deviceNames" trimmed, blanks and
// case-insensitive duplicates dropped, then "deviceName" in front when new.
QStringList definitionDeviceNames(const QJsonObject& meta)
{
    QStringList names;
    const QJsonArray list = meta.value(MetaKeys::DeviceNames).toArray();
    for (const QJsonValue& v : list) {
        const QString name = v.toString().trimmed();
        if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    const QString first = meta.value(MetaKeys::DeviceName).toString().trimmed();
    if (!first.isEmpty() && !names.contains(first, Qt::CaseInsensitive))
        names.prepend(first);
    return names;
}

// "vendorId" / "productId" of a definition: text with every "0x" removed, hexadecimal; else 0.
quint32 definitionId(const QJsonObject& meta, QLatin1String key)
{
    const QJsonValue v = meta.value(key);
    if (!v.isString())
        return 0;
    bool ok = false;
    const uint id = v.toString().remove(QStringLiteral("0x")).toUInt(&ok, 16);
    return ok ? id : 0;
}

// The definition folders of every existing search root, in search order then name order, with
// their meta data when it is a definition's.
template <typename Visit> bool forEachDefinition(Visit visit)
{
    for (const QString& root : ProfileStore::searchRoots()) {
        const QDir dir(root);
        if (!dir.exists())
            continue;
        for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString folder = dir.filePath(entry);
            QJsonObject meta;
            ProfileStore::readJsonObjectFile(QDir(folder).filePath(MetaKeys::MetaFileName), &meta);
            if (meta.value(MetaKeys::Type).toString() != MetaKeys::TypeValue)
                continue;
            if (visit(folder, meta))
                return true;
        }
    }
    return false;
}

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace

struct ControlManette::State
{
    std::array<double, AxisCount> axes{};
    std::array<double, AxisCount> rawAxes{};
    std::array<bool, AxisCount> axisPresent{};
    std::array<bool, AxisCount> axisAtRest{};
    // Per button: last physical state, last emit time, repeat armed, armed state, next repeat.
    std::array<ButtonState, ButtonCount> buttons{};
    QHash<QString, bool> gateStates;

    CalibrationSet calibration = defaultCalibration(AxisCount, ButtonCount);
    CalibrationSource calibrationSource = CalibrationSource::Defaults;
    QString calibrationPath;
    QString calibrationKey;

    // The calibration key of the last inputs it was computed from, so a steady tick compares
    // strings instead of formatting a new key.
    QString keyName;
    quint32 keyVendor = 0;
    quint32 keyProduct = 0;
    QString keyProfile;
    QString currentKey;

    qint64 clockStartMs = -1; // backend time the button clock started at; -1 = not running
};

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
    connect(&m_sampleTimer, &QTimer::timeout, this, &ControlManette::sample);
    m_sampleTimer.setTimerType(Qt::PreciseTimer);
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
    emit activeProfileIdChanged();
}

void ControlManette::setVendorId(uint vendorId)
{
    if (m_vendorId == vendorId)
        return;
    m_vendorId = vendorId;
    emit vendorIdChanged();
}

void ControlManette::setProductId(uint productId)
{
    if (m_productId == productId)
        return;
    m_productId = productId;
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
    if (m_name != d->keyName || m_vendorId != d->keyVendor || m_productId != d->keyProduct ||
        m_activeProfileId != d->keyProfile) {
        d->keyName = m_name;
        d->keyVendor = m_vendorId;
        d->keyProduct = m_productId;
        d->keyProfile = m_activeProfileId;
        d->currentKey = QStringLiteral("%1|%2|%3|%4")
                            .arg(m_name.trimmed().toLower())
                            .arg(m_vendorId)
                            .arg(m_productId)
                            .arg(m_activeProfileId.trimmed().toLower());
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
    d->gateStates.clear();
    qCDebug(lcGamepadInput) << "Gamepad calibration reloaded source=" << calibrationSourceLabel()
                            << "path=" << d->calibrationPath << "profile=" << m_activeProfileId;
}

void ControlManette::refreshMapping()
{
    reloadCalibration();
    emit noCodeAppChanged(noCodeApp());
}

QStringList ControlManette::noCodeApp()
{
    QString path;

    // 1. The active profile's mapping file.
    const ProfileSummary profile = activeProfileSummary();
    if (!profile.id.isNull() && !profile.configPath.isEmpty())
        path = profile.configPath;

    // 2. A definition naming this controller, or carrying its USB ids.
    if (path.isEmpty()) {
        const QString name = m_name.trimmed();
        forEachDefinition([&](const QString& folder, const QJsonObject& meta) {
            bool match = !name.isEmpty() && definitionDeviceNames(meta).contains(name, Qt::CaseInsensitive);
            if (!match) {
                const quint32 vendor = definitionId(meta, MetaKeys::VendorId);
                const quint32 product = definitionId(meta, MetaKeys::ProductId);
                match = vendor != 0 && product != 0 && vendor == m_vendorId && product == m_productId;
            }
            if (!match)
                return false;
            const QJsonValue config = meta.value(MetaKeys::Config);
            const QString file = QDir(folder).filePath(
                config.isString() ? config.toString() : QString(MetaKeys::DefaultConfigFile));
            if (!isFile(file))
                return false;
            path = file;
            return true;
        });
    }

    // 3. A "<vendor>_<product>" folder, or a mapping file directly in a search root.
    if (path.isEmpty()) {
        const QString idFolder = QStringLiteral("%1_%2")
                                     .arg(m_vendorId, 4, 16, QLatin1Char('0'))
                                     .arg(m_productId, 4, 16, QLatin1Char('0'));
        for (const QString& root : ProfileStore::searchRoots()) {
            const QDir dir(root);
            const QString byId = QDir(dir.filePath(idFolder)).filePath(MetaKeys::DefaultConfigFile);
            const QString direct = dir.filePath(MetaKeys::DefaultConfigFile);
            if (isFile(byId))
                path = byId;
            else if (isFile(direct))
                path = direct;
            if (!path.isEmpty())
                break;
        }
    }

    // 4. The shared file, even when missing: the host reports that one.
    if (path.isEmpty()) {
        const QString shared = ProfileStore::sharedProfilesRoot();
        if (!shared.isEmpty())
            path = QDir(shared).filePath(MetaKeys::DefaultConfigFile);
    }

    QStringList files;
    if (!path.isEmpty())
        files.append(path);
    qCDebug(lcGamepadInput) << "Gamepad input unmapped choice=" << files << "profile=" << m_activeProfileId;
    return files;
}

QString ControlManette::imagePath() const
{
    const ProfileSummary profile = activeProfileSummary();
    if (!profile.id.isNull() && !profile.configPath.isEmpty() && !profile.imagePath.isEmpty())
        return profile.imagePath;

    const QString name = m_name.trimmed();
    if (!name.isEmpty()) {
        QString image;
        forEachDefinition([&](const QString& folder, const QJsonObject& meta) {
            if (!definitionDeviceNames(meta).contains(name, Qt::CaseInsensitive))
                return false;
            const QJsonValue file = meta.value(MetaKeys::Image);
            const QString candidate = QDir(folder).filePath(
                file.isString() ? file.toString() : QString(MetaKeys::DefaultImageFile));
            if (!isFile(candidate))
                return false;
            image = candidate;
            return true;
        });
        if (!image.isEmpty())
            return image;
    }
    return QStringLiteral(":/new/prefix1/ressources/menette_id_%1.png").arg(m_productId);
}

// --- Sampling ------------------------------------------------------------------------------------

void ControlManette::sample()
{
    // 1. Connection: a lost controller reports nothing and keeps its last state.
    m_backend->update();
    setConnected(m_backend->isConnected(m_deviceId));
    if (!m_connected)
        return;

    // 2-3. Identity; a new name, id or profile reloads the calibration before reading.
    readIdentification();
    if (calibrationKey() != d->calibrationKey)
        reloadCalibration();

    QStringList keys;
    QVariantList values;
    bool axisReported = false;
    bool rawMoved = false;
    bool buttonEdge = false;
    bool buttonReported = false;
    const AxisSettings defaultAxis;
    const ButtonSettings defaultButton;

    // 4. Axes.
    for (int a = 0; a < AxisCount; ++a) {
        d->axisPresent[a] = m_backend->hasAxis(m_deviceId, a);
        if (!d->axisPresent[a])
            continue;
        const double raw = m_backend->axisPosition(m_deviceId, a);
        if (std::abs(raw - d->rawAxes[a]) > RawMoveThreshold)
            rawMoved = true;
        d->rawAxes[a] = raw;
        const AxisSettings& settings =
            a < d->calibration.axes.size() ? d->calibration.axes.at(a) : defaultAxis;
        const AxisProcessResult r = processAxis(settings, raw);
        const AxisChange c = axisOutputChanged(r, d->axes[a], d->axisAtRest[a], AxisReportThreshold);
        d->axes[a] = c.value;
        d->axisAtRest[a] = c.atRest;
        if (c.changed) {
            keys.append(axisKey(a));
            values.append(c.value);
            emit axisChanged(a, c.value);
            axisReported = true;
            qCDebug(lcGamepadAxis) << "Gamepad axis updated key=" << axisKey(a) << "raw=" << raw
                                   << "value=" << c.value << "rest=" << r.atRest;
        }
    }

    // 5. Gates, over the axes as just updated; only those whose two axes exist on this pad.
    for (const GateSettings& gate : std::as_const(d->calibration.gates)) {
        if (gate.xAxis < 0 || gate.xAxis >= AxisCount || gate.yAxis < 0 || gate.yAxis >= AxisCount ||
            !d->axisPresent[gate.xAxis] || !d->axisPresent[gate.yAxis])
            continue;
        const bool wasInside = d->gateStates.value(gate.key.trimmed(), false);
        const GateEvaluation e = evaluateGate(gate, d->axes.data(), AxisCount, wasInside);
        if (!e.valid)
            continue;
        if (e.changed)
            d->gateStates.insert(e.key, e.inside);
        if (e.shouldEmit) {
            keys.append(e.key);
            values.append(e.output);
            emit gateChanged(e.key, e.output);
            qCDebug(lcGamepadAxis) << "Gamepad gate updated key=" << e.key << "inside=" << e.inside
                                   << "value=" << e.output << "distance=" << e.distance;
        }
    }

    // 6. Buttons, all timed against one reading of the clock.
    if (d->clockStartMs < 0)
        restartClock();
    const qint64 now = m_backend->nowMs() - d->clockStartMs;
    for (int b = 0; b < ButtonCount; ++b) {
        const ButtonSettings& settings =
            b < d->calibration.buttons.size() ? d->calibration.buttons.at(b) : defaultButton;
        const bool pressed = m_backend->isButtonPressed(m_deviceId, b);
        const ButtonStepResult step = stepButton(settings, d->buttons[b], pressed, now);
        if (step.edge)
            buttonEdge = true;
        if (step.report) {
            keys.append(buttonKey(b));
            values.append(pressed);
            emit buttonChanged(b, pressed);
            buttonReported = true;
            qCDebug(lcGamepadAxis) << "Gamepad button updated key=" << buttonKey(b) << "pressed=" << pressed
                                   << "repeat=" << step.repeat;
        }
    }

    // 7-8. One change set for the host, then the property notifications.
    if (!keys.isEmpty()) {
        emit dataChanged(0, 1, keys, values);
        emit dataChanged(QStringLiteral("gamepad"), QStringLiteral("gamepad"), keys, values);
    }
    if (axisReported)
        emit axesChanged();
    if (rawMoved)
        emit rawAxesChanged();
    if (buttonEdge || buttonReported)
        emit buttonsChanged();
}
