#include "gamepadconfigwidget.h"

#include "calibrationuicommon.h"
#include "controlmanette.h"
#include "editordialogs.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadbuttoncalibrationwidget.h"
#include "gamepadgatecalibrationwidget.h"
#include "guidedcalibrationdialog.h"
#include "hostlogging.h"
#include "metakeys.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayoutItem>
#include <QScrollArea>
#include <QSet>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

using namespace GamepadCalibration;

namespace {

// "gate_<n>" above every numbered key in use, then the first free one.
QString nextFreeGateKey(const QList<GateSettings>& gates)
{
    QSet<QString> taken;
    int candidate = 0;
    for (const GateSettings& gate : gates) {
        const QString key = gate.key.trimmed();
        taken.insert(key);
        if (key.startsWith(QLatin1String("gate_"))) {
            bool ok = false;
            const int n = key.mid(5).toInt(&ok, 10);
            if (ok && n >= candidate)
                candidate = n + 1;
        }
    }
    QString key = defaultGateKey(candidate);
    while (taken.contains(key))
        key = defaultGateKey(++candidate);
    return key;
}

} // namespace

GamepadConfigWidget::GamepadConfigWidget(QWidget* parent) : QWidget(parent)
{
    registerCalibrationMetaTypes();
    qRegisterMetaType<GateSource2D>();
    m_baseSet = defaultCalibration(kAxisCount, kButtonCount);
    m_profileSet = m_baseSet;
    buildUi();

    m_liveTimer.setInterval(LiveIntervalMs);
    connect(&m_liveTimer, &QTimer::timeout, this, &GamepadConfigWidget::updateLiveValues);
    m_liveTimer.start();
    m_saveTimer.setParent(this); // named, so a test driving the page can run it without waiting
    m_saveTimer.setObjectName(QStringLiteral("calibrationSaveTimer"));
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setTimerType(Qt::PreciseTimer); // never earlier than 220 ms after the last edit
    m_saveTimer.setInterval(SaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &GamepadConfigWidget::flushSave);

    reload();
}

GamepadConfigWidget::~GamepadConfigWidget()
{
    // An edit made just before the page closes is still written; the editor listening to the
    // signals may already be half destroyed, so they stay silent.
    if (m_dirty) {
        const QSignalBlocker blocker(this);
        QString error;
        if (!save(&error))
            qCWarning(lcGamepadUi) << "Calibration not saved on close:" << error;
    }
}

// --- Context ------------------------------------------------------------------------------------

void GamepadConfigWidget::setDevice(ControlManette* device)
{
    if (device == m_device.data())
        return;
    saveBeforeLeaving();
    m_device = device;
    reload();
}

ControlManette* GamepadConfigWidget::device() const
{
    return m_device.data();
}

void GamepadConfigWidget::setProfileContext(const ProfileCalibrationContext& context)
{
    saveBeforeLeaving();
    m_profile = context;
    reload();
}

void GamepadConfigWidget::clearProfileContext()
{
    saveBeforeLeaving();
    m_profile = ProfileCalibrationContext();
    reload();
}

void GamepadConfigWidget::setGateSources(const QList<GateSource2D>& sources)
{
    const bool changed = sources != m_gateSources;
    if (changed)
        m_gateSources = sources;
    CalibrationSet repaired = currentSetRef();
    if (repairGateSources(repaired)) {
        setCurrentSet(sanitized(repaired));
        rebuildAxisCards();
        scheduleSave();
    } else if (changed) {
        for (GamepadGateCalibrationWidget* card : std::as_const(m_gateCards))
            card->setSources(m_gateSources);
        refreshHeader();
    }
}

DeviceIdentity GamepadConfigWidget::liveIdentity() const
{
    DeviceIdentity id;
    if (const ControlManette* device = m_device.data()) {
        id.name = device->name().trimmed();
        id.vendorId = device->vendorId();
        id.productId = device->productId();
    }
    if (id.isBlank()) {
        id.name = m_profile.deviceName.trimmed();
        id.vendorId = m_profile.vendorId;
        id.productId = m_profile.productId;
    }
    return id;
}

DeviceIdentity GamepadConfigWidget::identity() const
{
    return m_identity;
}

bool GamepadConfigWidget::isConnected() const
{
    const ControlManette* device = m_device.data();
    return device && device->isConnected();
}

QString GamepadConfigWidget::targetPath() const
{
    return m_editScope == 1 ? overrideCalibrationPath(m_profile) : baseCalibrationEditPath(identity());
}

CalibrationSet GamepadConfigWidget::currentCalibration() const
{
    return m_editScope == 1 ? m_profileSet : m_baseSet;
}

CalibrationSet& GamepadConfigWidget::currentSetRef()
{
    return m_editScope == 1 ? m_profileSet : m_baseSet;
}

void GamepadConfigWidget::setCurrentSet(const CalibrationSet& set)
{
    currentSetRef() = set;
}

QString GamepadConfigWidget::profileIdText() const
{
    return m_profile.profileId.toString(QUuid::WithoutBraces);
}

void GamepadConfigWidget::report(bool fileChanged)
{
    // The context takes the ids it reports, so an editor that stores them and hands the context
    // back finds it unchanged.
    const DeviceIdentity id = identity();
    m_profile.vendorId = id.vendorId;
    m_profile.productId = id.productId;
    emit profileCalibrationMetadataChanged(m_profile.calibrationMode, m_profile.calibrationOverrideFile,
                                           id.vendorId, id.productId);
    if (fileChanged)
        emit calibrationSaved();
}

bool GamepadConfigWidget::prepareProfileWrite(QString* error)
{
    if (!m_writeGuard)
        return true;
    ProfileCalibrationContext context = m_profile;
    if (!m_writeGuard(&context, error))
        return false;
    m_profile.profileFolder = context.profileFolder;
    m_profile.scope = context.scope;
    return true;
}

QString GamepadConfigWidget::profileTitle() const
{
    return m_profile.profileName.trimmed().isEmpty() ? tr("Profil sans nom")
                                                     : m_profile.profileName.trimmed();
}

void GamepadConfigWidget::confirmThen(const QString& question, void (GamepadConfigWidget::*action)())
{
    if (EditorDialogService::current()->question(this, tr("Calibration"), question))
        (this->*action)();
}

void GamepadConfigWidget::showError(const QString& error)
{
    m_error = error;
    qCWarning(lcGamepadUi) << "Calibration:" << error;
    refreshHeader();
}

void GamepadConfigWidget::saveBeforeLeaving()
{
    // The pending edit belongs to the target in force now, not to the next one.
    if (m_dirty)
        flushSave();
}

// --- Loading and the cards ----------------------------------------------------------------------

void GamepadConfigWidget::reload()
{
    saveBeforeLeaving();
    m_saveTimer.stop();
    m_dirty = false;
    m_error.clear();

    m_identity = liveIdentity();
    // Another calibration: every card starts closed; the same one read again keeps what is open.
    const QString loadedFor =
        QStringList{m_profile.profileId.toString(), m_profile.profileFolder, m_identity.name,
                    QString::number(m_identity.vendorId), QString::number(m_identity.productId)}
            .join(QLatin1Char('|'));
    if (loadedFor != m_loadedFor) {
        for (GamepadAxisCalibrationWidget* card : std::as_const(m_axisCards))
            card->setExpanded(false);
        for (GamepadButtonCalibrationWidget* card : std::as_const(m_buttonCards))
            card->setExpanded(false);
    }
    m_loadedFor = loadedFor;
    const DeviceIdentity& id = m_identity;
    m_runtime = resolveCalibration(id, m_profile, kAxisCount, kButtonCount);

    QStringList problems;
    m_baseSet = defaultCalibration(kAxisCount, kButtonCount);
    CalibrationSet loaded;
    QString error;
    if (!m_runtime.basePath.isEmpty()) {
        if (loadCalibrationFile(m_runtime.basePath, &loaded, &error, kAxisCount, kButtonCount))
            m_baseSet = loaded;
        else if (!error.isEmpty())
            problems << tr("%1 : %2").arg(QFileInfo(m_runtime.basePath).fileName(), error);
    }
    m_profileSet = m_baseSet;
    const QString overridePath = overrideCalibrationPath(m_profile);
    if (!overridePath.isEmpty() && QFileInfo::exists(overridePath)) {
        error.clear();
        if (loadCalibrationFile(overridePath, &loaded, &error, kAxisCount, kButtonCount))
            m_profileSet = loaded;
        else if (!error.isEmpty())
            problems << tr("%1 : %2").arg(QFileInfo(overridePath).fileName(), error);
    }
    m_editScope = profileUsable() && isOverrideMode(m_profile.calibrationMode) ? 1 : 0;

    rebuildAxisCards();
    m_dirty = false;
    if (!problems.isEmpty())
        showError(problems.join(QLatin1Char('\n')));
}

void GamepadConfigWidget::buildCards()
{
    QWidget* content = m_scroll->widget();
    for (int i = 0; i < kAxisCount; ++i) {
        auto* card = new GamepadAxisCalibrationWidget(content);
        card->setAxis(i, CalibrationUi::axisLetter(i));
        connect(card, &GamepadAxisCalibrationWidget::settingsChanged, this, [this, i](const AxisSettings& s) {
            CalibrationSet& current = currentSetRef();
            if (i < current.axes.size())
                current.axes[i] = s;
            current = sanitized(current);
            scheduleSave();
        });
        connect(card, &GamepadAxisCalibrationWidget::captureRequested, this,
                [this, card, i](GamepadAxisCalibrationWidget::CaptureTarget target) {
                    if (isConnected())
                        card->applyCapture(target, m_device->rawAxisValue(i));
                });
        m_cardsLayout->addWidget(card);
        m_axisCards.append(card);
    }

    m_addGateButton = new QToolButton(content);
    m_addGateButton->setObjectName(QStringLiteral("addGateButton"));
    m_addGateButton->setIcon(CalibrationUi::icon(CalibrationUi::Icon::AddGate));
    m_addGateButton->setIconSize(QSize(20, 20));
    m_addGateButton->setFixedSize(32, 32);
    m_addGateButton->setCursor(Qt::PointingHandCursor);
    m_addGateButton->setToolTip(tr("Ajouter une gate circulaire sur une pastille Dual XY."));
    m_addGateButton->setAccessibleName(m_addGateButton->toolTip());
    connect(m_addGateButton, &QToolButton::clicked, this, &GamepadConfigWidget::addGate);
    m_cardsLayout->addWidget(makeSectionHeader(
        tr("Gates"), tr("Declenche des signaux booleens quand un stick entre ou sort d'un cercle."),
        m_addGateButton));

    m_buttonsHeader = makeSectionHeader(
        tr("Boutons"), tr("Regle quels evenements bouton sont envoyes, avec debounce et repeat."));
    m_cardsLayout->addWidget(m_buttonsHeader);
    for (int i = 0; i < kButtonCount; ++i) {
        auto* card = new GamepadButtonCalibrationWidget(content);
        card->setIndex(i);
        connect(card, &GamepadButtonCalibrationWidget::settingsChanged, this,
                [this, i](const ButtonSettings& s) {
                    CalibrationSet& current = currentSetRef();
                    if (i < current.buttons.size())
                        current.buttons[i] = s;
                    current = sanitized(current);
                    scheduleSave();
                });
        m_cardsLayout->addWidget(card);
        m_buttonCards.append(card);
    }
    m_cardsLayout->addStretch(1);
}

GamepadGateCalibrationWidget* GamepadConfigWidget::makeGateCard()
{
    auto* card = new GamepadGateCalibrationWidget(m_scroll->widget());
    card->setChangedCallback([this, card](const GateSettings& s) {
        const int index = m_gateCards.indexOf(card);
        CalibrationSet& current = currentSetRef();
        if (index < 0 || index >= current.gates.size())
            return;
        current.gates[index] = s;
        current = sanitized(current);
        scheduleSave();
    });
    card->setCaptureCentreCallback([this, card]() { captureGateCentre(card); });
    card->setRemoveCallback([this, card]() { removeGate(card); });
    return card;
}

void GamepadConfigWidget::rebuildAxisCards()
{
    // The 8 axis and 32 button cards stay and take the new settings; gate cards follow the list.
    if (m_axisCards.isEmpty())
        buildCards();
    const bool connected = isConnected();
    const bool editable = !targetPath().isEmpty();
    ControlManette* device = m_device.data();
    const CalibrationSet& set = currentSetRef();

    for (int i = 0; i < m_axisCards.size(); ++i) {
        GamepadAxisCalibrationWidget* card = m_axisCards.at(i);
        card->setSettings(set.axes.value(i));
        card->setLiveRaw(connected ? device->rawAxisValue(i) : 0.0);
        card->setCaptureEnabled(connected);
        card->setEditable(editable);
    }

    while (m_gateCards.size() > set.gates.size()) {
        // The card may be the one whose delete button is being handled: it goes once that is over,
        // and leaves the page at once.
        GamepadGateCalibrationWidget* card = m_gateCards.takeLast();
        m_cardsLayout->removeWidget(card);
        card->hide();
        card->setParent(nullptr);
        card->deleteLater();
    }
    while (m_gateCards.size() < set.gates.size()) {
        GamepadGateCalibrationWidget* card = makeGateCard();
        m_cardsLayout->insertWidget(m_cardsLayout->indexOf(m_buttonsHeader), card);
        m_gateCards.append(card);
    }
    for (int i = 0; i < m_gateCards.size(); ++i) {
        GamepadGateCalibrationWidget* card = m_gateCards.at(i);
        const GateSettings& gate = set.gates.at(i);
        card->setSources(m_gateSources);
        card->setSettings(gate);
        card->setConnected(connected);
        card->setLiveValues(connected ? device->axisValue(gate.xAxis) : 0.0,
                            connected ? device->axisValue(gate.yAxis) : 0.0);
        card->setEditable(editable);
    }

    for (int i = 0; i < m_buttonCards.size(); ++i) {
        GamepadButtonCalibrationWidget* card = m_buttonCards.at(i);
        card->setSettings(set.buttons.value(i));
        card->setPressed(connected && device->buttonPressed(i));
        card->setEditable(editable);
    }
    refreshHeader();
}

// --- Saving ---------------------------------------------------------------------------------------

void GamepadConfigWidget::scheduleSave()
{
    if (targetPath().isEmpty())
        return;
    m_dirty = true;
    m_saveTimer.start(SaveDelayMs);
}

void GamepadConfigWidget::flushSave()
{
    savePending();
}

bool GamepadConfigWidget::savePending(QString* error)
{
    if (!m_dirty)
        return true;
    m_saveTimer.stop();
    QString failure;
    if (save(&failure))
        return true;
    if (!failure.isEmpty())
        showError(failure);
    // The edit stays pending, with the error in the header: it lands by itself once the problem
    // is gone instead of waiting for the next edit.
    if (m_dirty)
        m_saveTimer.start(SaveRetryMs);
    if (error)
        *error = failure;
    return false;
}

bool GamepadConfigWidget::save(QString* error)
{
    if (targetPath().isEmpty()) {
        if (error)
            *error = tr("Aucun fichier de calibration cible.");
        return false;
    }
    if (m_editScope == 1 && !prepareProfileWrite(error))
        return false;
    const DeviceIdentity id = identity();
    if (!saveCalibrationFile(targetPath(), currentSetRef(), id, profileIdText(), error))
        return false;
    m_error.clear();
    m_dirty = false;
    m_runtime = resolveCalibration(id, m_profile, kAxisCount, kButtonCount);
    refreshHeader();
    report(true);
    return true;
}

bool GamepadConfigWidget::ensureOverride(QString* error)
{
    if (!profileUsable()) {
        if (error)
            *error = tr("Aucun profil selectionne pour creer un override.");
        return false;
    }
    const QString path = overrideCalibrationPath(m_profile);
    if (path.isEmpty()) {
        if (error)
            *error = tr("Chemin d'override invalide.");
        return false;
    }
    if (QFileInfo::exists(path)) {
        CalibrationSet loaded;
        m_profileSet =
            loadCalibrationFile(path, &loaded, nullptr, kAxisCount, kButtonCount) ? loaded : m_baseSet;
        return true;
    }
    m_profileSet = m_baseSet;
    if (!prepareProfileWrite(error))
        return false;
    return saveCalibrationFile(overrideCalibrationPath(m_profile), m_profileSet, identity(), profileIdText(),
                               error);
}

// --- Slots ------------------------------------------------------------------------------------------

void GamepadConfigWidget::updateLiveValues()
{
    // A device that went away, or came with another name, indexes another base file.
    if (liveIdentity() != m_identity) {
        reload();
        return;
    }
    ControlManette* device = m_device.data();
    const bool connected = device && device->isConnected();
    const QString target = targetPath();
    const bool editable = !target.isEmpty();
    for (int i = 0; i < m_axisCards.size(); ++i) {
        GamepadAxisCalibrationWidget* card = m_axisCards.at(i);
        card->setLiveRaw(connected ? device->rawAxisValue(i) : 0.0);
        card->setEditable(editable);
        card->setCaptureEnabled(connected);
        card->setAbsent(connected && !device->axisPresent(i));
    }
    const QList<GateSettings>& gates = currentSetRef().gates;
    for (int i = 0; i < m_gateCards.size(); ++i) {
        GamepadGateCalibrationWidget* card = m_gateCards.at(i);
        const int x = i < gates.size() ? gates.at(i).xAxis : -1;
        const int y = i < gates.size() ? gates.at(i).yAxis : -1;
        card->setLiveValues(connected ? device->axisValue(x) : 0.0, connected ? device->axisValue(y) : 0.0);
        card->setConnected(connected);
        card->setEditable(editable);
    }
    for (int i = 0; i < m_buttonCards.size(); ++i) {
        GamepadButtonCalibrationWidget* card = m_buttonCards.at(i);
        card->setPressed(connected && device->buttonPressed(i));
        card->setEditable(editable);
        card->setAbsent(connected && i >= device->buttonCount());
    }
    refreshHeader(target, connected);
}

void GamepadConfigWidget::onScopeComboChanged(int index)
{
    const auto revert = [this]() {
        const QSignalBlocker blocker(m_scopeCombo);
        m_scopeCombo->setCurrentIndex(m_editScope);
    };
    if (index < 0 || index > 1 || (index == 0 && identity().isBlank()) || (index == 1 && !profileUsable())) {
        revert();
        return;
    }
    saveBeforeLeaving();
    if (index == 1) {
        QString error;
        if (!ensureOverride(&error)) {
            revert();
            showError(error);
            return;
        }
    }
    m_editScope = index;
    m_error.clear();
    if (index == 1) {
        m_profile.calibrationMode = MetaKeys::ModeOverride;
        // A profile naming its own override file keeps it; otherwise the default name is recorded.
        if (m_profile.calibrationOverrideFile.trimmed().isEmpty())
            m_profile.calibrationOverrideFile = MetaKeys::DefaultOverrideFile;
    } else {
        m_profile.calibrationMode = MetaKeys::ModeInherit;
    }
    m_runtime = resolveCalibration(identity(), m_profile, kAxisCount, kButtonCount);
    rebuildAxisCards();
    report(false);
}

void GamepadConfigWidget::captureRestForAll()
{
    ControlManette* device = m_device.data();
    if (!device || !device->isConnected())
        return;
    CalibrationSet& current = currentSetRef();
    const int count = qMin<int>(current.axes.size(), qMin(kAxisCount, int(ControlManette::AxisCount)));
    for (int i = 0; i < count; ++i)
        current.axes[i].restRaw = device->rawAxisValue(i);
    current = sanitized(current);
    rebuildAxisCards();
    scheduleSave();
}

void GamepadConfigWidget::startGuidedCalibration()
{
    ControlManette* device = m_device.data();
    const QString target = targetPath();
    if (!device || !device->isConnected() || target.isEmpty())
        return;
    // The sticks are the definition's two-axis pastilles; without any, the usual pair layouts
    // (X/Y on the left, U/V on the right where Linux puts a second stick).
    QList<GuidedCalibration::Pair> sticks;
    for (const GateSource2D& source : std::as_const(m_gateSources)) {
        const bool known = std::any_of(sticks.begin(), sticks.end(), [&](const GuidedCalibration::Pair& p) {
            return p.x == source.xAxis && p.y == source.yAxis;
        });
        if (source.isUsable() && !known)
            sticks.append({source.xAxis, source.yAxis});
    }
    if (sticks.isEmpty())
        sticks = {{0, 1}, {4, 5}};
    auto* dialog =
        new GuidedCalibrationDialog(device, currentCalibration(), sticks, m_targetLabel->text(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog, target]() {
        // Measured for one file: a page that moved on to another meanwhile does not take it.
        if (targetPath() != target) {
            showError(tr("Calibration guidée non appliquée : la calibration éditée a changé entre-temps."));
            return;
        }
        currentSetRef() = sanitized(dialog->proposed());
        rebuildAxisCards();
        m_dirty = true;
        flushSave();
    });
    dialog->open();
}

void GamepadConfigWidget::copyBaseToProfile()
{
    if (!profileUsable())
        return;
    saveBeforeLeaving();
    const QString mode = m_profile.calibrationMode;
    const QString file = m_profile.calibrationOverrideFile;
    m_profile.calibrationMode = MetaKeys::ModeOverride;
    if (m_profile.calibrationOverrideFile.trimmed().isEmpty())
        m_profile.calibrationOverrideFile = MetaKeys::DefaultOverrideFile;
    // The button promises a copy of the base, also over an override that exists already.
    QString error;
    const bool written =
        prepareProfileWrite(&error) && saveCalibrationFile(overrideCalibrationPath(m_profile), m_baseSet,
                                                           identity(), profileIdText(), &error);
    if (!written) {
        m_profile.calibrationMode = mode;
        m_profile.calibrationOverrideFile = file;
        showError(error.isEmpty() ? tr("Chemin d'override invalide.") : error);
        return;
    }
    m_profileSet = m_baseSet;
    m_editScope = 1;
    m_dirty = false;
    m_error.clear();
    m_runtime = resolveCalibration(identity(), m_profile, kAxisCount, kButtonCount);
    rebuildAxisCards();
    report(true);
}

void GamepadConfigWidget::deleteOverride()
{
    if (!profileUsable())
        return;
    // A pending base edit is still saved; a pending override edit goes with its file.
    if (m_editScope == 0)
        saveBeforeLeaving();
    m_saveTimer.stop();
    m_dirty = false;
    QString error;
    if (QFileInfo::exists(overrideCalibrationPath(m_profile))) {
        if (!prepareProfileWrite(&error)) {
            showError(error);
            return;
        }
        QFile file(overrideCalibrationPath(m_profile));
        if (!file.remove())
            error = tr("%1 : %2").arg(QFileInfo(file.fileName()).fileName(), file.errorString());
    }
    m_profile.calibrationMode = MetaKeys::ModeInherit;
    m_profile.calibrationOverrideFile.clear();
    m_editScope = 0;
    reload();
    if (!error.isEmpty())
        showError(error);
    report(true);
}

void GamepadConfigWidget::resetCurrentCalibration()
{
    setCurrentSet(defaultCalibration(kAxisCount, kButtonCount));
    rebuildAxisCards();
    scheduleSave();
}

// --- Gates ----------------------------------------------------------------------------------------

void GamepadConfigWidget::addGate()
{
    if (targetPath().isEmpty() || m_gateSources.isEmpty())
        return;
    const GateSource2D& source = m_gateSources.constFirst();
    if (!source.isUsable())
        return;
    CalibrationSet set = currentSetRef();
    GateSettings gate = defaultGate(set.gates.size());
    gate.key = nextFreeGateKey(set.gates);
    gate.source2dKey = source.key.trimmed();
    gate.xAxis = source.xAxis;
    gate.yAxis = source.yAxis;
    set.gates.append(gate);
    setCurrentSet(sanitized(set));
    rebuildAxisCards();
    scheduleSave();
}

void GamepadConfigWidget::removeGate(GamepadGateCalibrationWidget* card)
{
    const int index = m_gateCards.indexOf(card);
    if (index < 0 || targetPath().isEmpty())
        return;
    CalibrationSet set = currentSetRef();
    if (index >= set.gates.size())
        return;
    set.gates.removeAt(index);
    setCurrentSet(sanitized(set));
    rebuildAxisCards();
    scheduleSave();
}

void GamepadConfigWidget::captureGateCentre(GamepadGateCalibrationWidget* card)
{
    ControlManette* device = m_device.data();
    const int index = m_gateCards.indexOf(card);
    if (!device || !device->isConnected() || index < 0)
        return;
    GateSettings s = card->settings();
    s.centerX = device->axisValue(s.xAxis);
    s.centerY = device->axisValue(s.yAxis);
    card->setSettings(s);
    CalibrationSet& current = currentSetRef();
    if (index < current.gates.size()) {
        current.gates[index] = s;
        current = sanitized(current);
        scheduleSave();
    }
}

bool GamepadConfigWidget::repairGateSources(CalibrationSet& set) const
{
    bool changed = false;
    for (GateSettings& gate : set.gates) {
        const GateSource2D* found = nullptr;
        const QString key = gate.source2dKey.trimmed();
        for (const GateSource2D& source : m_gateSources) {
            if (source.isUsable() && source.key == key) {
                found = &source;
                break;
            }
        }
        for (int i = 0; !found && i < m_gateSources.size(); ++i) {
            const GateSource2D& source = m_gateSources.at(i);
            if (source.isUsable() && source.xAxis == gate.xAxis && source.yAxis == gate.yAxis)
                found = &source;
        }
        if (!found)
            continue;
        if (gate.source2dKey != found->key || gate.xAxis != found->xAxis || gate.yAxis != found->yAxis) {
            gate.source2dKey = found->key;
            gate.xAxis = found->xAxis;
            gate.yAxis = found->yAxis;
            changed = true;
        }
    }
    return changed;
}

void GamepadConfigWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_liveTimer.isActive())
        m_liveTimer.start();
    updateLiveValues();
}

void GamepadConfigWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_liveTimer.stop();
}
