#include "actionlinker.h"

#include "controlmanette.h"
#include "gamepadmanager.h"
#include "hostlogging.h"
#include "interactiveoverlay.h"
#include "overlaymapping.h"
#include "picturefile.h"
#include "profilestore.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The panel's look; the first two rule sets are what the host's theme expects to find.
const char* const kPanelStyle =
    "#mappingActionsPanel {  background: rgba(15, 26, 36, 210);  border: none;  border-radius: 8px;}"
    "#mappingActionsTitle {  font-weight: 600;  color: #E8F0F5;}"
    "#mappingActionsList {  background: transparent;  border: none;  color: #E8F0F5;  outline: none;}"
    "#mappingActionsList::item {  padding: 3px 4px;  border-radius: 4px;}"
    "#mappingActionsList::item:hover:enabled {  background: rgba(36, 53, 68, 200);}"
    "#mappingActionsList::item:selected {  background: rgba(65, 145, 255, 150);  color: #FFFFFF;}"
    "#mappingActionsHint {  color: rgba(210, 225, 236, 170);}";

const QColor kGroupColour(143, 167, 182);
constexpr int kActionRole = Qt::UserRole;

QString defaultHint()
{
    return ActionLinker::tr("Cliquez une action puis appuyez sur un bouton.");
}

QList<ControlManette*> liveDevices()
{
    return GamepadManager::instance()->liveGamepads();
}

} // namespace

ActionLinker::ActionLinker(QWidget* parent) : QWidget(parent)
{
    buildUi();
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(SaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &ActionLinker::saveMapping);
    connect(m_overlay, &InteractiveOverlay::dirty, this, &ActionLinker::onOverlayDirty);
    connect(this, &ActionLinker::externalServicesChanged, this, [this] {
        m_overlay->setExternalServices(m_externalServices);
        m_overlay->setActionCatalog(m_externalServices);
        fillActionList();
    });
    connect(GamepadManager::instance(), &GamepadManager::gamepadsChanged, this,
            &ActionLinker::onDevicesChanged);
    fillActionList();
    updatePanelVisibility();
}

ActionLinker::~ActionLinker()
{
    // A binding made just before the panel closes still reaches the file.
    if (m_saveTimer->isActive()) {
        m_saveTimer->stop();
        saveMapping();
    }
}

void ActionLinker::buildUi()
{
    setObjectName(QStringLiteral("Form"));
    setWindowTitle(QStringLiteral("Form"));
    auto* grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(6);

    m_overlay = new InteractiveOverlay(this);
    m_overlay->setObjectName(QStringLiteral("iteractiveoverlay"));
    m_overlay->setMode(InteractiveOverlay::Mapping);
    m_overlay->setBackgroundScaleMode(OverlayLines::Contain);
    m_overlay->setServicesLocked(true);
    m_overlay->setMinimumSize(320, 240);
    m_overlay->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("mappingActionsPanel"));
    m_panel->setStyleSheet(QLatin1String(kPanelStyle));
    m_panel->setMinimumWidth(220);
    m_panel->setMaximumWidth(280);
    auto* column = new QVBoxLayout(m_panel);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    m_title = new QLabel(tr("Actions disponibles"), m_panel);
    m_title->setObjectName(QStringLiteral("mappingActionsTitle"));
    m_list = new QListWidget(m_panel);
    m_list->setObjectName(QStringLiteral("mappingActionsList"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setTextElideMode(Qt::ElideRight);
    m_hint = new QLabel(defaultHint(), m_panel);
    m_hint->setObjectName(QStringLiteral("mappingActionsHint"));
    m_hint->setWordWrap(true);
    column->addWidget(m_title);
    column->addWidget(m_list, 1);
    column->addWidget(m_hint);
    connect(m_list, &QListWidget::itemClicked, this, &ActionLinker::onActionClicked);

    grid->addWidget(m_overlay, 0, 0);
    grid->addWidget(m_panel, 0, 1);
    grid->setColumnStretch(0, 1);
}

void ActionLinker::setExternalServices(const QJsonArray& services)
{
    if (services == m_externalServices)
        return;
    m_externalServices = services;
    emit externalServicesChanged();
}

void ActionLinker::fillActionList()
{
    // Groups in the order the host lists them; within a group, the host's order too.
    QStringList groups;
    QHash<QString, QVector<QJsonObject>> byGroup;
    QSet<QString> seen;
    for (const QJsonValue& value : std::as_const(m_externalServices)) {
        const QJsonObject entry = value.toObject();
        const QString name = entry.value(QStringLiteral("name")).toString().trimmed();
        if (entry.value(QStringLiteral("hidden")).toBool() || name.isEmpty() || seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        QString group = entry.value(QStringLiteral("group")).toString().trimmed();
        if (group.isEmpty())
            group = tr("Sans groupe");
        if (!byGroup.contains(group))
            groups.append(group);
        byGroup[group].append(entry);
    }

    m_list->clear();
    QListWidgetItem* armedItem = nullptr;
    for (const QString& group : std::as_const(groups)) {
        auto* header = new QListWidgetItem(group, m_list);
        header->setFlags(Qt::ItemIsEnabled);
        header->setForeground(kGroupColour);
        QFont font = header->font();
        font.setBold(true);
        header->setFont(font);
        for (const QJsonObject& entry : byGroup.value(group)) {
            const QString name = entry.value(QStringLiteral("name")).toString().trimmed();
            QString label = entry.value(QStringLiteral("label")).toString().trimmed();
            if (label.isEmpty())
                label = name;
            auto* item = new QListWidgetItem(QStringLiteral("  ") + label, m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setData(kActionRole, name);
            item->setToolTip(tr("ID: %1").arg(name));
            if (name == m_armedAction)
                armedItem = item;
        }
    }
    if (m_list->count() == 0) {
        auto* none = new QListWidgetItem(tr("Aucune action"), m_list);
        none->setFlags(Qt::NoItemFlags);
    }
    if (armedItem)
        armedItem->setSelected(true);
    else if (!m_armedAction.isEmpty())
        disarm(); // the armed action left the catalog
}

void ActionLinker::onActionClicked(QListWidgetItem* item)
{
    if (!item || !(item->flags() & Qt::ItemIsEnabled) || !(item->flags() & Qt::ItemIsSelectable))
        return;
    const QString name = item->data(kActionRole).toString();
    if (name.isEmpty())
        return;
    if (name == m_armedAction)
        disarm();
    else
        arm(name);
}

void ActionLinker::arm(const QString& action)
{
    m_armedAction = action;
    m_hint->setText(tr("Appuyez sur un bouton pour mapper \"%1\".").arg(action));
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        if (item->data(kActionRole).toString() == action)
            item->setSelected(true);
    }
}

void ActionLinker::disarm()
{
    m_armedAction.clear();
    m_hint->setText(defaultHint());
    m_list->clearSelection();
}

void ActionLinker::bindArmed(const QString& key)
{
    m_overlay->bindActionToKey(key, m_armedAction);
    disarm();
}

void ActionLinker::onInputButtonChanged(int button, bool pressed)
{
    if (m_armedAction.isEmpty() || !m_overlay || !pressed)
        return;
    bindArmed(QStringLiteral("but_%1").arg(button));
}

void ActionLinker::onInputAxisChanged(int axis, double value)
{
    if (m_armedAction.isEmpty() || !m_overlay || std::abs(value) < AxisThreshold)
        return;
    bindArmed(QStringLiteral("joy_%1").arg(axis));
}

void ActionLinker::onInputGateChanged(const QString& key, bool inside)
{
    Q_UNUSED(inside) // entering or leaving, the gate is the input the user meant
    if (m_armedAction.isEmpty() || !m_overlay)
        return;
    bindArmed(key);
}

void ActionLinker::loadGamepadSnapshot(const QUuid& id, const QString& name, const QStringList& deviceNames,
                                       const QJsonObject& overlay, const QString& imagePath)
{
    Q_UNUSED(name)
    // The previous profile's pending change is written before its overlay is replaced.
    if (m_saveTimer->isActive()) {
        m_saveTimer->stop();
        saveMapping();
    }
    m_loading = true;
    m_profileId = id;
    m_deviceNames = deviceNames;
    m_overlay->setBackgroundPixmap(PictureFile::pixmap(imagePath));
    // No definition (or an unreadable one) shows an empty overlay rather than the previous profile.
    if (!m_overlay->loadFromJson(overlay))
        m_overlay->loadFromJson(QJsonObject{{QStringLiteral("type"), QStringLiteral("InteractiveOverlay")}});

    const ProfileRef ref = ProfileStore::findProfileFolder(id);
    if (ref.valid) {
        QJsonObject mapping;
        const Overlay::MappingFileOptions options{true, true};
        if (Overlay::loadMappingFile(ProfileStore::configPath(ref.folder), &mapping, nullptr, options) ==
            Overlay::MappingLoad::Loaded)
            m_overlay->applyMapping(mapping);
    }
    updatePanelVisibility();
    rewire();
    m_loading = false;
}

void ActionLinker::onDeviceSelectionChanged(const QStringList& deviceNames)
{
    m_deviceNames = deviceNames;
    onDevicesChanged();
}

void ActionLinker::onDevicesChanged()
{
    updatePanelVisibility();
    rewire();
}

bool ActionLinker::linkedDeviceConnected() const
{
    for (const ControlManette* device : liveDevices()) {
        if (m_deviceNames.contains(device->name().trimmed(), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void ActionLinker::updatePanelVisibility()
{
    const bool connected = linkedDeviceConnected();
    m_panel->setVisible(connected);
    if (!connected)
        disarm();
}

void ActionLinker::rewire()
{
    for (QMetaObject::Connection* connection :
         {&m_buttonConnection, &m_axisConnection, &m_gateConnection, &m_destroyedConnection}) {
        disconnect(*connection);
        *connection = {};
    }
    m_wiredDevice = nullptr;
    for (ControlManette* device : liveDevices()) {
        if (!m_deviceNames.contains(device->name().trimmed(), Qt::CaseInsensitive))
            continue;
        m_buttonConnection =
            connect(device, &ControlManette::buttonChanged, this, &ActionLinker::onInputButtonChanged);
        m_axisConnection =
            connect(device, &ControlManette::axisChanged, this, &ActionLinker::onInputAxisChanged);
        // Only crossings: a gate announced again after a calibration reload binds nothing.
        m_gateCrossings.reset(device->gateStates());
        m_gateConnection =
            connect(device, &ControlManette::gateChanged, this, [this](const QString& key, bool inside) {
                if (m_gateCrossings.isCrossing(key, inside))
                    onInputGateChanged(key, inside);
            });
        // A controller deleted by someone else: look again once it is gone.
        m_destroyedConnection =
            connect(device, &QObject::destroyed, this, &ActionLinker::onDevicesChanged, Qt::QueuedConnection);
        m_wiredDevice = device;
        return;
    }
}

void ActionLinker::onOverlayDirty()
{
    if (m_loading || m_profileId.isNull() || m_saveTimer->isActive())
        return;
    m_saveTimer->start();
}

void ActionLinker::saveMapping()
{
    const QJsonArray bridges = m_overlay->materializeMapping().value(QStringLiteral("bridges")).toArray();
    if (!saveProfileMapping(m_profileId, bridges))
        return;
    for (ControlManette* device : liveDevices())
        device->requestMappingRefresh();
}

bool ActionLinker::saveProfileMapping(const QUuid& profileId, const QJsonArray& bridges)
{
    const ProfileRef ref = ProfileStore::findProfileFolder(profileId);
    if (!ref.valid) {
        qCWarning(lcGamepadUi) << "Gamepad mapping materialize failed error="
                               << QStringLiteral("No profile folder for %1 (login %2)")
                                      .arg(profileId.toString(QUuid::WithoutBraces),
                                           ProfileStore::currentLogin());
        return false;
    }
    const Overlay::MappingFileOptions options{true, true};
    // The writer logs "Gamepad mapping save failed error=" itself.
    return Overlay::saveMappingFile(ProfileStore::configPath(ref.folder), bridges, nullptr, options);
}

int registerActionLinkerType()
{
    static const int id = qRegisterMetaType<ActionLinker>("ActionLinker");
    return id;
}
