// GamepadDefinder: the followed controller, learning from live input, quick mapping and the gate
// names of two-axis pastilles.
#include "gamepaddefinder.h"

#include "calibrationfiles.h"
#include "gamepadconfigwidget.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "overlaymapping.h"

#include <QLabel>
#include <QListWidget>

#include <cmath>

namespace {

// Axis number of a "joy_<n>" key (0..7), -1 for anything else.
int axisOfKey(const QString& key)
{
    const QString text = key.trimmed();
    if (!text.startsWith(QLatin1String("joy_"), Qt::CaseInsensitive))
        return -1;
    bool ok = false;
    const int axis = text.mid(4).toInt(&ok, 10);
    return ok && axis >= 0 && axis <= 7 ? axis : -1;
}

bool isJoystickNode(InteractiveOverlay::ElementKind kind)
{
    return kind == InteractiveOverlay::SingleJoy || kind == InteractiveOverlay::DualJoyCross;
}

} // namespace

void GamepadDefinder::onGamepadsChanged()
{
    refreshConnectedPads();
    updateRealGamepads();
    chooseFollowedController();
    updateLinkMarkers();
}

void GamepadDefinder::refreshConnectedPads()
{
    QList<ConnectedPad> pads;
    if (GamepadManager* manager = GamepadManager::existingInstance()) {
        for (ControlManette* device : manager->liveGamepads()) {
            // The manager keeps a device only while its joystick slot is connected.
            if (device->name().trimmed().isEmpty())
                continue;
            pads.append({device->name().trimmed(), device->vendorId(), device->productId()});
        }
    }
    m_library.setConnectedPads(pads);
    setTagBarNames(m_library.isValidRow(m_currentRow) ? m_library.at(m_currentRow).deviceNames
                                                      : QStringList());
}

void GamepadDefinder::updateRealGamepads()
{
    QList<QPointer<ControlManette>> linked;
    const QStringList names =
        m_library.isValidRow(m_currentRow) ? m_library.at(m_currentRow).deviceNames : QStringList();
    if (GamepadManager* manager = GamepadManager::existingInstance()) {
        for (ControlManette* device : manager->liveGamepads()) {
            if (names.contains(device->name().trimmed(), Qt::CaseInsensitive))
                linked.append(device);
        }
    }
    if (linked != m_realGamepads) {
        m_realGamepads = linked;
        emit realGamepadsChanged();
    }
}

void GamepadDefinder::chooseFollowedController()
{
    const QStringList names =
        m_library.isValidRow(m_currentRow) ? m_library.at(m_currentRow).deviceNames : QStringList();
    if (names.isEmpty()) {
        follow(nullptr);
        return;
    }
    if (m_followed) {
        const QString name = m_followed->name().trimmed();
        if (names.contains(name, Qt::CaseInsensitive) && m_library.connectedPad(name))
            return;
    }
    ControlManette* chosen = nullptr;
    GamepadManager* manager = GamepadManager::existingInstance();
    for (const QString& name : names) {
        if (!m_library.connectedPad(name) || !manager)
            continue;
        for (ControlManette* device : manager->liveGamepads()) {
            if (device->name().trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
                chosen = device;
                break;
            }
        }
        break;
    }
    follow(chosen);
}

void GamepadDefinder::follow(ControlManette* device)
{
    if (device == m_followed && (device || m_followConnections.isEmpty()))
        return;
    for (const QMetaObject::Connection& connection : std::as_const(m_followConnections))
        disconnect(connection);
    m_followConnections.clear();
    endPendingCapture();
    m_followed = device;
    m_gateCrossings.reset(device ? device->gateStates() : QHash<QString, bool>());
    if (device) {
        // A pad already sampling (the host drives it) is followed as it is: connecting it again
        // would reset its live state and reload its calibration under the host's feet.
        if (!device->isSampling())
            device->connectDevice(QString());
        m_followConnections = {
            connect(device, &ControlManette::axisChanged, this, &GamepadDefinder::onAxisChanged),
            connect(device, &ControlManette::buttonChanged, this, &GamepadDefinder::onButtonChanged),
            // Only crossings: a gate announced again after a calibration reload binds nothing.
            connect(device, &ControlManette::gateChanged, this,
                    [this](const QString& key, bool inside) {
                        if (m_gateCrossings.isCrossing(key, inside))
                            onGateChanged(key, inside);
                    }),
            connect(device, &QObject::destroyed, this, [this]() { follow(nullptr); }),
        };
    }
    if (m_closing)
        return;
    updateCalibrationSide();
    if (!hasConnectedController() && !m_armedAction.isEmpty())
        disarm();
    refreshHint();
    refreshInspector();
}

namespace {

GamepadCalibration::ProfileCalibrationContext contextOf(const DefinitionRecord& record)
{
    GamepadCalibration::ProfileCalibrationContext context;
    context.profileId = record.id;
    context.profileName = record.name;
    context.profileFolder = record.folder;
    context.deviceName = record.deviceNames.value(0);
    context.vendorId = quint32(record.vendorId);
    context.productId = quint32(record.productId);
    context.scope = record.scope;
    context.calibrationMode =
        record.calibrationMode.isEmpty() ? QStringLiteral("inherit") : record.calibrationMode;
    context.calibrationOverrideFile = record.calibrationOverrideFile;
    return context;
}

bool sameContext(const GamepadCalibration::ProfileCalibrationContext& a,
                 const GamepadCalibration::ProfileCalibrationContext& b)
{
    return a.profileId == b.profileId && a.profileName == b.profileName &&
           a.profileFolder == b.profileFolder && a.deviceName == b.deviceName && a.vendorId == b.vendorId &&
           a.productId == b.productId && a.scope == b.scope && a.calibrationMode == b.calibrationMode &&
           a.calibrationOverrideFile == b.calibrationOverrideFile;
}

} // namespace

void GamepadDefinder::updateCalibrationSide()
{
    if (!m_calibrationEditor || m_closing)
        return;
    // Without a row the page edits nothing, shown or not: no later edit can recreate a deleted folder.
    if (!m_library.isValidRow(m_currentRow)) {
        if (!m_calibrationEditor->profileContext().profileId.isNull())
            m_calibrationEditor->clearProfileContext();
        m_calibrationEditor->setDevice(nullptr);
        return;
    }
    // A hidden page is brought up to date when Calibration mode is shown again.
    if (m_editorMode != CalibrationMode)
        return;
    // Each change of context or device reloads the page's files: only real changes are passed on.
    const GamepadCalibration::ProfileCalibrationContext context = contextOf(m_library.at(m_currentRow));
    if (!sameContext(context, m_calibrationEditor->profileContext()))
        m_calibrationEditor->setProfileContext(context);
    m_calibrationEditor->setDevice(m_followed);
    updateGateSources();
}

bool GamepadDefinder::prepareCalibrationWrite(GamepadCalibration::ProfileCalibrationContext* context,
                                              QString* error)
{
    const int row = m_library.rowOf({context->profileId, context->profileFolder});
    QString why;
    if (row < 0 || !m_library.makeEditable(row, &why)) {
        if (error)
            *error = row < 0 ? tr("Profil introuvable.")
                             : tr("Impossible de preparer une configuration locale : %1").arg(why);
        return false;
    }
    const DefinitionRecord& record = m_library.at(row);
    context->profileFolder = record.folder;
    context->scope = record.scope;
    refreshRow(row);
    return true;
}

void GamepadDefinder::updateGateSources()
{
    if (m_calibrationEditor && !m_closing && m_editorMode == CalibrationMode)
        m_calibrationEditor->setGateSources(twoAxisSources());
}

void GamepadDefinder::onCalibrationSaved()
{
    recomputeGateNames();
    refreshInspector();
    scheduleDeviceRefresh();
}

QList<GateSource2D> GamepadDefinder::twoAxisSources() const
{
    QList<GateSource2D> sources;
    for (int i = 0; i < m_overlay->nodeCount(); ++i) {
        if (m_overlay->nodeKind(i) != InteractiveOverlay::DualJoyCross)
            continue;
        GateSource2D source;
        source.key = m_overlay->nodeId(i);
        source.displayName = m_overlay->nodeTitle(i);
        source.xAxis = axisOfKey(m_overlay->nodeSource(i, QStringLiteral("x")).stringKey);
        source.yAxis = axisOfKey(m_overlay->nodeSource(i, QStringLiteral("y")).stringKey);
        sources.append(source);
    }
    return sources;
}

void GamepadDefinder::recomputeGateNames()
{
    QStringList identifiers;
    QList<int> sticks;
    for (int i = 0; i < m_overlay->nodeCount(); ++i) {
        if (m_overlay->nodeKind(i) != InteractiveOverlay::DualJoyCross)
            continue;
        sticks.append(i);
        const QString id = m_overlay->nodeId(i).trimmed();
        if (!id.isEmpty())
            identifiers.append(id);
    }
    if (!m_library.isValidRow(m_currentRow) || sticks.isEmpty())
        return;
    const DefinitionRecord& record = m_library.at(m_currentRow);
    GamepadCalibration::DeviceIdentity identity;
    if (m_followed && record.deviceNames.contains(m_followed->name().trimmed(), Qt::CaseInsensitive)) {
        identity = {m_followed->name().trimmed(), m_followed->vendorId(), m_followed->productId()};
    } else {
        identity = {record.deviceNames.value(0), quint32(record.vendorId), quint32(record.productId)};
    }
    const GamepadCalibration::ResolvedCalibration resolved =
        GamepadCalibration::resolveCalibration(identity, contextOf(record), 8, 32);
    const QList<GamepadCalibration::GateSettings>& gates = resolved.calibration.gates;
    // Each stick's list is set once, from the calibration's gates and then the gates it has a
    // binding for: a gate that keeps its name keeps its binding, even while the calibration in
    // force (another pad's, or none) lacks it.
    for (int node : std::as_const(sticks)) {
        const QString id = m_overlay->nodeId(node).trimmed();
        const int xAxis = axisOfKey(m_overlay->nodeSource(node, QStringLiteral("x")).stringKey);
        const int yAxis = axisOfKey(m_overlay->nodeSource(node, QStringLiteral("y")).stringKey);
        QStringList names;
        for (const GamepadCalibration::GateSettings& gate : gates) {
            const QString key = gate.key.trimmed();
            if (key.isEmpty() || names.contains(key))
                continue;
            const QString source = gate.source2dKey.trimmed();
            const bool belongs = identifiers.contains(source)
                                     ? source == id
                                     : xAxis >= 0 && yAxis >= 0 && gate.xAxis == xAxis && gate.yAxis == yAxis;
            if (belongs)
                names.append(key);
        }
        for (const QString& gate : m_overlay->nodeGateNames(node)) {
            if (!names.contains(gate) && !Overlay::isBindingEmpty(m_overlay->nodeGateBinding(node, gate)))
                names.append(gate);
        }
        m_overlay->setGateNames(node, names);
    }
}

// --- Quick mapping and learning ----------------------------------------------------------------------

void GamepadDefinder::onAxisChanged(int axis, double value)
{
    if (std::abs(value) < AxisThreshold)
        return;
    if (!m_armedAction.isEmpty()) {
        quickMap(QStringLiteral("joy_%1").arg(axis), false);
        return;
    }
    const int listening = m_overlay->listeningIndex();
    if (listening < 0)
        return;
    if (!isJoystickNode(m_overlay->nodeKind(listening))) {
        // A gate is crossed by moving its stick: that movement belongs to the gate being learnt.
        if (!m_hasGateCandidate)
            endPendingCapture();
        return;
    }
    m_candidateAxis = axis;
    m_candidateAxisValue = value;
    offerCandidate();
}

void GamepadDefinder::onButtonChanged(int button, bool pressed)
{
    if (!pressed)
        return;
    if (!m_armedAction.isEmpty()) {
        quickMap(QStringLiteral("but_%1").arg(button), false);
        return;
    }
    const int listening = m_overlay->listeningIndex();
    if (listening < 0)
        return;
    if (m_overlay->nodeKind(listening) != InteractiveOverlay::Button) {
        endPendingCapture();
        return;
    }
    m_candidateButton = button;
    offerCandidate();
}

void GamepadDefinder::onGateChanged(const QString& key, bool inside)
{
    if (!m_armedAction.isEmpty()) {
        quickMap(key, true);
        return;
    }
    const int listening = m_overlay->listeningIndex();
    if (listening < 0)
        return;
    // A stick being learnt crosses its gates on the way: they neither fit nor spoil its capture.
    if (m_overlay->nodeKind(listening) != InteractiveOverlay::Button)
        return;
    m_candidateGate = key;
    m_candidateGateInside = inside;
    m_hasGateCandidate = true;
    offerCandidate();
}

void GamepadDefinder::offerCandidate()
{
    if (!m_captureTimer.isActive())
        m_captureTimer.start();
}

void GamepadDefinder::endPendingCapture()
{
    m_captureTimer.stop();
    m_candidateAxis = -1;
    m_candidateAxisValue = 0.0;
    m_candidateButton = -1;
    m_candidateGate.clear();
    m_candidateGateInside = false;
    m_hasGateCandidate = false;
}

void GamepadDefinder::onCaptureTimeout()
{
    const int listening = m_overlay->listeningIndex();
    QString key;
    if (listening >= 0) {
        const InteractiveOverlay::ElementKind kind = m_overlay->nodeKind(listening);
        if (isJoystickNode(kind) && m_candidateAxis >= 0)
            key = QStringLiteral("joy_%1").arg(m_candidateAxis);
        else if (kind == InteractiveOverlay::Button && m_candidateButton >= 0)
            key = QStringLiteral("but_%1").arg(m_candidateButton);
        else if (kind == InteractiveOverlay::Button && m_hasGateCandidate)
            key = m_candidateGate.trimmed();
    }
    if (!key.isEmpty()) {
        m_overlay->assignLearntKey(key);
        refreshInspector();
    }
    endPendingCapture();
}

void GamepadDefinder::quickMap(const QString& key, bool isGate)
{
    const QString action = m_armedAction;
    bool bound = m_overlay->bindActionToKey(key, action);
    if (isGate) {
        // Gates are mapping targets of their stick pastille, not slots: bind them by name.
        const QJsonObject binding{{QStringLiteral("ref"), action}, {QStringLiteral("action"), action}};
        for (int i = 0; i < m_overlay->nodeCount(); ++i) {
            if (m_overlay->nodeGateNames(i).contains(key.trimmed()))
                bound = m_overlay->setGateBinding(i, key.trimmed(), binding) || bound;
        }
    }
    if (bound) {
        disarm();
        refreshHint();
        refreshInspector();
        // Said until the next change of the hint: what was bound to what.
        m_hintLabel->setText(tr("« %1 » affectée à %2.").arg(action, key.trimmed()));
        return;
    }
    m_hintLabel->setText(isGate ? tr("Aucune pastille n'est liee a \"%1\" pour \"%2\".").arg(key, action)
                                : tr("Aucune pastille n'est liée à \"%1\" pour \"%2\".").arg(key, action));
}
