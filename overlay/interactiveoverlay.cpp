#include "interactiveoverlay.h"

#include "overlaydocument.h"
#include "overlaygeometry.h"
#include "overlaymapping.h"

#include <QResizeEvent>

#include <algorithm>

namespace {
Overlay::Kind toKind(InteractiveOverlay::ElementKind kind)
{
    return static_cast<Overlay::Kind>(kind);
}
} // namespace

static_assert(int(InteractiveOverlay::DualJoyCross) == int(Overlay::Kind::DualJoyCross) &&
                  int(TouchArea::DualJoyCross) == int(Overlay::Kind::DualJoyCross) &&
                  int(InteractiveOverlay::Button) == int(Overlay::Kind::Button),
              "element kinds share their values");
static_assert(int(InteractiveOverlay::Always) == int(Overlay::PublishMode::Always) &&
                  int(InteractiveOverlay::ActiveOnly) == int(Overlay::PublishMode::ActiveOnly),
              "publish modes share their values");

InteractiveOverlay::InteractiveOverlay(QWidget* parent)
    : OverlayLines(parent), m_titlePrompt(defaultTitlePrompt())
{
    connect(this, &OverlayLines::backgroundPixmapChanged, this, &InteractiveOverlay::relayout);
    connect(this, &OverlayLines::backgroundScaleModeChanged, this, &InteractiveOverlay::relayout);
}

InteractiveOverlay::PublishMode InteractiveOverlay::parsePublishMode(const QString& text)
{
    return static_cast<PublishMode>(Overlay::parsePublishMode(text));
}

QString InteractiveOverlay::publishModeToString(PublishMode mode)
{
    return Overlay::publishModeToString(static_cast<Overlay::PublishMode>(mode));
}

void InteractiveOverlay::setExternalServices(const QJsonArray& services)
{
    if (services == m_externalServices)
        return;
    m_externalServices = services;
    emit externalServicesChanged();
}

void InteractiveOverlay::setMode(Mode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    refreshAll();
}

Overlay::OverlayNode InteractiveOverlay::node(int index) const
{
    return isValidIndex(index) ? m_nodes.at(index) : Overlay::OverlayNode();
}

TouchArea* InteractiveOverlay::pastille(int index) const
{
    return isValidIndex(index) ? m_widgets.at(index).data() : nullptr;
}

int InteractiveOverlay::indexOfPastille(const TouchArea* area) const
{
    for (int i = 0; i < m_widgets.size(); ++i) {
        if (area && m_widgets.at(i) == area)
            return i;
    }
    return -1;
}

TouchArea* InteractiveOverlay::createPastille(Overlay::Kind kind, const QString& title)
{
    auto* area = new TouchArea(this);
    area->setElementKind(static_cast<TouchArea::ElementKind>(kind));
    area->setFixedSize(Overlay::newPastilleSize(kind));
    area->setFreeAspect(Overlay::isJoystickKind(kind));
    area->setTitle(title);
    area->setTitlePrompt(m_titlePrompt);
    watchChild(area);
    area->show();
    return area;
}

void InteractiveOverlay::connectPastille(TouchArea* area)
{
    connect(area, &TouchArea::clicked, this, &InteractiveOverlay::onPastilleClicked);
    connect(area, &TouchArea::activated, this, &InteractiveOverlay::onPastilleActivated);
    connect(area, &TouchArea::moved, this, &InteractiveOverlay::onPastilleGeometryChanged);
    connect(area, &TouchArea::resized, this, &InteractiveOverlay::onPastilleGeometryChanged);
    connect(area, &TouchArea::requestDelete, this, &InteractiveOverlay::onPastilleDeleteRequested);
    connect(area, &TouchArea::requestDuplicate, this, &InteractiveOverlay::onPastilleDuplicateRequested);
    connect(area, &TouchArea::titleEdited, this, &InteractiveOverlay::dirty);
}

void InteractiveOverlay::refreshPastille(int index)
{
    TouchArea* area = pastille(index);
    if (!area)
        return;
    const Overlay::OverlayNode& node = m_nodes.at(index);
    area->setElementKind(static_cast<TouchArea::ElementKind>(node.kind));
    area->setEditable(m_mode == Edit);
    area->setBound(node.isBound());
    area->setSubLabels(node.kind == Overlay::Kind::DualJoyCross
                           ? QStringList{QStringLiteral("X"), QStringLiteral("Y")}
                           : QStringList());
    if (index == m_listeningIndex) {
        area->startListening(m_listeningSlot);
    } else {
        area->stopListening();
        area->setActive(index == m_selectedIndex);
    }
}

void InteractiveOverlay::refreshAll()
{
    for (int i = 0; i < m_nodes.size(); ++i)
        refreshPastille(i);
}

void InteractiveOverlay::updateRectFromWidget(int index)
{
    TouchArea* area = pastille(index);
    if (!area)
        return;
    m_nodes[index].rect = Overlay::toBackgroundSpace(area->geometry(), backgroundRect());
}

void InteractiveOverlay::placeWidget(int index, const QRect& background)
{
    TouchArea* area = pastille(index);
    const QRectF& rect = m_nodes.at(index).rect;
    if (!area || !rect.isValid() || background.isEmpty())
        return;
    const QRect target = Overlay::fromBackgroundSpace(rect, background);
    area->setFixedSize(target.size());
    area->move(target.topLeft());
}

int InteractiveOverlay::addNode(const QPointF& centre, ElementKind kind, const QString& title)
{
    const Overlay::Kind nodeKind = toKind(kind);
    QString name = title.trimmed();
    if (name.isEmpty())
        name = Overlay::defaultTitle(nodeKind, m_titleCounter++);
    TouchArea* area = createPastille(nodeKind, name);
    const QSize size = area->size();
    area->move(Overlay::roundToInt(centre.x() - size.width() / 2.0),
               Overlay::roundToInt(centre.y() - size.height() / 2.0));
    m_nodes.append(Overlay::OverlayNode::create(nodeKind));
    m_widgets.append(area);
    const int index = m_nodes.size() - 1;
    connectPastille(area);
    refreshPastille(index);
    if (!backgroundRect().isEmpty())
        updateRectFromWidget(index);
    selectNode(index);
    emit dirty();
    return index;
}

bool InteractiveOverlay::removeNode(int index)
{
    if (!isValidIndex(index))
        return false;
    if (TouchArea* area = m_widgets.at(index)) {
        area->disconnect(this);
        area->hide();
        area->deleteLater();
    }
    m_nodes.removeAt(index);
    m_widgets.removeAt(index);
    if (m_listeningIndex == index) {
        m_listeningIndex = -1;
        m_listeningSlot.clear();
    } else if (m_listeningIndex > index) {
        --m_listeningIndex;
    }
    if (m_selectedIndex == index)
        m_selectedIndex = std::min(index, int(m_nodes.size()) - 1);
    else if (m_selectedIndex > index)
        --m_selectedIndex;
    refreshAll();
    emit selectedNodeChanged(m_selectedIndex);
    update();
    return true;
}

int InteractiveOverlay::duplicateSelected()
{
    const int source = m_selectedIndex;
    TouchArea* original = pastille(source);
    if (!original)
        return -1;
    const Overlay::OverlayNode copied = m_nodes.at(source);
    TouchArea* area = createPastille(copied.kind, tr("%1 copie").arg(original->title()));
    area->setFixedSize(original->size());
    area->move(original->pos() + QPoint(28, 28));
    area->setFreeAspect(original->freeAspect());

    Overlay::OverlayNode node = Overlay::OverlayNode::create(copied.kind);
    node.split = copied.split;
    node.rect = copied.rect;
    node.slotNames = copied.slotNames;
    node.slotLabels = copied.slotLabels;
    node.sources = copied.sources;
    node.bindings = copied.bindings;
    m_nodes.append(node);
    m_widgets.append(area);
    const int index = m_nodes.size() - 1;
    // The copy sits beside the original, so its rect follows its widget.
    if (!backgroundRect().isEmpty())
        updateRectFromWidget(index);
    connectPastille(area);
    refreshPastille(index);
    selectNode(index);
    emit dirty();
    return index;
}

void InteractiveOverlay::selectNode(int index)
{
    if (index < -1 || index >= m_nodes.size())
        index = -1;
    if (index == m_selectedIndex) {
        refreshPastille(index);
        return;
    }
    const int previous = m_selectedIndex;
    m_selectedIndex = index;
    refreshPastille(previous);
    refreshPastille(index);
    emit selectedNodeChanged(index);
}

bool InteractiveOverlay::startListening(int index, const QString& slotName)
{
    if (!isValidIndex(index))
        return false;
    const int slot = m_nodes.at(index).slotIndex(slotName);
    if (slot < 0 || slot >= m_nodes.at(index).sources.size())
        return false;
    selectNode(index);
    const int previous = m_listeningIndex;
    m_listeningIndex = index;
    m_listeningSlot = m_nodes.at(index).slotNames.at(slot);
    if (previous != index)
        refreshPastille(previous);
    refreshPastille(index);
    emit dirty();
    return true;
}

void InteractiveOverlay::stopListening()
{
    const int previous = m_listeningIndex;
    m_listeningIndex = -1;
    m_listeningSlot.clear();
    refreshPastille(previous);
    emit selectedNodeChanged(m_selectedIndex);
}

bool InteractiveOverlay::assignLearntKey(const QString& key)
{
    if (!isValidIndex(m_listeningIndex))
        return false;
    Overlay::OverlayNode& node = m_nodes[m_listeningIndex];
    const int slot = node.slotIndex(m_listeningSlot);
    if (slot < 0 || slot >= node.sources.size())
        return false;
    Overlay::InputSource& source = node.sources[slot];
    source.stringKey = key.trimmed();
    const Overlay::SourceKey parsed = Overlay::parseSourceKey(source.stringKey);
    if (parsed.valid)
        source.isJoy = parsed.isAxis;

    QStringList keys;
    for (const Overlay::InputSource& each : std::as_const(node.sources)) {
        if (!each.stringKey.trimmed().isEmpty())
            keys.append(each.stringKey.trimmed());
    }
    QString title;
    if (node.sources.size() == 1) {
        title = source.stringKey;
    } else if (node.kind == Overlay::Kind::DualJoyCross && node.sources.size() >= 2) {
        const Overlay::SourceKey x = Overlay::parseSourceKey(node.sources.at(0).stringKey);
        const Overlay::SourceKey y = Overlay::parseSourceKey(node.sources.at(1).stringKey);
        title = (x.valid && x.isAxis && y.valid && y.isAxis) ? tr("Joy %1/%2").arg(x.index).arg(y.index)
                                                             : keys.join(QStringLiteral(" / "));
    } else {
        title = keys.join(QStringLiteral(" / "));
    }
    if (TouchArea* area = pastille(m_listeningIndex); area && !title.isEmpty())
        area->setTitle(title);
    refreshPastille(m_listeningIndex);
    stopListening();
    emit dirty();
    return true;
}

bool InteractiveOverlay::setSource(int index, const QString& slotName, bool isJoy, const QString& key,
                                   int deviceId, int packetId, const QString& deviceType)
{
    if (!isValidIndex(index))
        return false;
    Overlay::OverlayNode& node = m_nodes[index];
    const int slot = node.slotIndex(slotName);
    if (slot < 0 || slot >= node.sources.size())
        return false;
    Overlay::InputSource& source = node.sources[slot];
    source.stringKey = key.trimmed();
    source.isJoy = isJoy;
    const Overlay::SourceKey parsed = Overlay::parseSourceKey(source.stringKey);
    if (parsed.valid)
        source.isJoy = parsed.isAxis;
    source.deviceId = deviceId;
    source.packetId = packetId;
    if (!deviceType.trimmed().isEmpty())
        source.deviceType = deviceType.trimmed();
    refreshPastille(index);
    emit dirty();
    return true;
}

bool InteractiveOverlay::setBinding(int index, const QString& slotName, const QJsonObject& binding)
{
    if (!isValidIndex(index))
        return false;
    Overlay::OverlayNode& node = m_nodes[index];
    const int slot = node.slotIndex(slotName);
    if (slot < 0 || slot >= node.bindings.size())
        return false;
    if (node.isCombinedStick()) {
        for (QJsonObject& each : node.bindings)
            each = binding;
    } else {
        node.bindings[slot] = binding;
    }
    emit dirty();
    return true;
}

bool InteractiveOverlay::setGateBinding(int index, const QString& gateName, const QJsonObject& binding)
{
    if (!isValidIndex(index))
        return false;
    Overlay::OverlayNode& node = m_nodes[index];
    const int gate = node.gateIndex(gateName);
    if (gate < 0 || gate >= node.gateBindings.size())
        return false;
    node.gateBindings[gate] = binding;
    emit dirty();
    return true;
}

bool InteractiveOverlay::setSplit(int index, bool split)
{
    if (!isValidIndex(index))
        return false;
    Overlay::OverlayNode& node = m_nodes[index];
    if (node.kind != Overlay::Kind::DualJoyCross || node.split == split)
        return false;
    QJsonObject binding = node.bindings.value(0);
    for (const QJsonObject& each : std::as_const(node.bindings)) {
        if (!Overlay::isBindingEmpty(each)) {
            binding = each;
            break;
        }
    }
    node.split = split;
    if (!Overlay::isBindingEmpty(binding)) {
        for (QJsonObject& each : node.bindings)
            each = binding;
    }
    emit dirty();
    return true;
}

bool InteractiveOverlay::setGateNames(int index, const QStringList& names)
{
    if (!isValidIndex(index) || m_nodes.at(index).kind != Overlay::Kind::DualJoyCross)
        return false;
    Overlay::OverlayNode& node = m_nodes[index];
    QStringList gateNames;
    QVector<QJsonObject> gateBindings;
    for (const QString& raw : names) {
        const QString name = raw.trimmed();
        if (name.isEmpty() || gateNames.contains(name))
            continue;
        const int previous = node.gateNames.indexOf(name);
        gateNames.append(name);
        gateBindings.append(previous >= 0 ? node.gateBindings.value(previous) : QJsonObject());
    }
    node.gateNames = gateNames;
    node.gateBindings = gateBindings;
    return true;
}

bool InteractiveOverlay::setPublishMode(int index, PublishMode mode)
{
    if (!isValidIndex(index))
        return false;
    const auto value = static_cast<Overlay::PublishMode>(mode);
    if (m_nodes.at(index).publishMode == value)
        return true;
    m_nodes[index].publishMode = value;
    emit dirty();
    return true;
}

bool InteractiveOverlay::setTitle(int index, const QString& title)
{
    TouchArea* area = pastille(index);
    if (!area)
        return false;
    area->setTitle(title);
    return true;
}

bool InteractiveOverlay::bindActionToKey(const QString& rawKey, const QString& rawAction)
{
    const QString key = rawKey.trimmed();
    const QString action = rawAction.trimmed();
    if (key.isEmpty() || action.isEmpty())
        return false;
    const QJsonObject binding{{QStringLiteral("ref"), action}, {QStringLiteral("action"), action}};
    bool bound = false;
    for (int n = 0; n < m_nodes.size(); ++n) {
        Overlay::OverlayNode& node = m_nodes[n];
        bool nodeBound = false;
        for (int i = 0; i < node.sources.size() && i < node.bindings.size(); ++i) {
            if (node.sources.at(i).stringKey.trimmed().compare(key, Qt::CaseInsensitive) != 0)
                continue;
            node.bindings[i] = binding;
            nodeBound = true;
        }
        if (!nodeBound && !node.bindings.isEmpty() && pastille(n) &&
            pastille(n)->title().compare(key, Qt::CaseInsensitive) == 0) {
            node.bindings[0] = binding;
            nodeBound = true;
        }
        if (nodeBound && node.isCombinedStick()) {
            for (QJsonObject& each : node.bindings)
                each = binding;
        }
        bound = bound || nodeBound;
    }
    if (bound)
        emit dirty();
    return bound;
}

InteractiveOverlay::ElementKind InteractiveOverlay::nodeKind(int index) const
{
    return isValidIndex(index) ? static_cast<ElementKind>(m_nodes.at(index).kind) : SingleJoy;
}

QString InteractiveOverlay::nodeId(int index) const
{
    const TouchArea* area = pastille(index);
    return area ? area->id().toString(QUuid::WithoutBraces) : QString();
}

QString InteractiveOverlay::nodeTitle(int index) const
{
    const TouchArea* area = pastille(index);
    return area ? area->title() : QString();
}

InteractiveOverlay::PublishMode InteractiveOverlay::nodePublishMode(int index) const
{
    return isValidIndex(index) ? static_cast<PublishMode>(m_nodes.at(index).publishMode) : OnChange;
}

bool InteractiveOverlay::nodeSplit(int index) const
{
    return isValidIndex(index) && m_nodes.at(index).split;
}

QStringList InteractiveOverlay::nodeSlotNames(int index) const
{
    return isValidIndex(index) ? m_nodes.at(index).slotNames : QStringList();
}

QStringList InteractiveOverlay::nodeSlotLabels(int index) const
{
    return isValidIndex(index) ? m_nodes.at(index).slotLabels : QStringList();
}

Overlay::InputSource InteractiveOverlay::nodeSource(int index, const QString& slotName) const
{
    if (!isValidIndex(index))
        return {};
    const Overlay::OverlayNode& node = m_nodes.at(index);
    const int slot = node.slotIndex(slotName);
    if (slot < 0 || slot >= node.sources.size())
        return Overlay::InputSource::forKind(node.kind);
    return node.sources.at(slot);
}

QJsonObject InteractiveOverlay::nodeBinding(int index, const QString& slotName) const
{
    if (!isValidIndex(index))
        return {};
    const Overlay::OverlayNode& node = m_nodes.at(index);
    if (node.isCombinedStick()) {
        for (const QJsonObject& each : node.bindings) {
            if (!Overlay::isBindingEmpty(each))
                return each;
        }
    }
    const int slot = node.slotIndex(slotName);
    return slot >= 0 ? node.bindings.value(slot) : QJsonObject();
}

QStringList InteractiveOverlay::nodeGateNames(int index) const
{
    return isValidIndex(index) ? m_nodes.at(index).gateNames : QStringList();
}

QJsonObject InteractiveOverlay::nodeGateBinding(int index, const QString& gateName) const
{
    if (!isValidIndex(index))
        return {};
    const int gate = m_nodes.at(index).gateIndex(gateName);
    return gate >= 0 ? m_nodes.at(index).gateBindings.value(gate) : QJsonObject();
}

void InteractiveOverlay::relayout()
{
    const QRect background = backgroundRect();
    for (int i = 0; i < m_nodes.size(); ++i)
        placeWidget(i, background);
    update();
}

void InteractiveOverlay::resizeEvent(QResizeEvent* event)
{
    m_lastSize = event->size();
    OverlayLines::resizeEvent(event);
    relayout();
}

QJsonObject InteractiveOverlay::toJson() const
{
    const QRect background = backgroundRect();
    QVector<Overlay::DocumentNode> entries;
    for (int i = 0; i < m_nodes.size(); ++i) {
        const TouchArea* area = m_widgets.at(i);
        if (!area)
            continue;
        Overlay::DocumentNode entry;
        entry.node = m_nodes.at(i);
        if (!entry.node.rect.isValid())
            entry.node.rect = Overlay::toBackgroundSpace(area->geometry(), background);
        entry.id = area->id();
        entry.title = area->title();
        entry.freeAspect = area->freeAspect();
        entries.append(entry);
    }
    return Overlay::writeDocument(entries, size(), backgroundScaleMode());
}

void InteractiveOverlay::clearNodes()
{
    for (int i = m_nodes.size() - 1; i >= 0; --i) {
        if (TouchArea* area = m_widgets.at(i)) {
            area->disconnect(this);
            area->hide();
            area->deleteLater();
        }
    }
    m_nodes.clear();
    m_widgets.clear();
    m_listeningIndex = -1;
    m_listeningSlot.clear();
    const bool hadSelection = m_selectedIndex != -1;
    m_selectedIndex = -1;
    if (hadSelection)
        emit selectedNodeChanged(-1);
}

bool InteractiveOverlay::loadFromJson(const QJsonObject& document)
{
    Overlay::DocumentContext context;
    context.currentSize = size();
    context.pictureSize = backgroundPictureSize();
    context.currentScaleMode = backgroundScaleMode();
    context.nextTitleNumber = m_titleCounter;
    Overlay::DocumentContents contents;
    if (!Overlay::readDocument(document, context, &contents))
        return false;

    clearNodes();
    m_titleCounter = contents.nextTitleNumber;
    const QRect background = backgroundRect();
    for (const Overlay::DocumentNode& entry : std::as_const(contents.nodes)) {
        TouchArea* area = createPastille(entry.node.kind, entry.title);
        if (!entry.id.isNull())
            area->setId(entry.id);
        area->setFreeAspect(entry.freeAspect);
        m_nodes.append(entry.node);
        m_widgets.append(area);
        const int index = m_nodes.size() - 1;
        placeWidget(index, background);
        connectPastille(area);
        refreshPastille(index);
    }
    update();
    return true;
}

QJsonObject InteractiveOverlay::materializeMapping() const
{
    QVector<Overlay::MappingNode> entries;
    for (int i = 0; i < m_nodes.size(); ++i)
        entries.append({&m_nodes.at(i), nodeId(i), nodeTitle(i)});
    return Overlay::materializeMapping(entries, m_actionCatalog);
}

bool InteractiveOverlay::applyMapping(const QJsonObject& mapping)
{
    if (mapping.isEmpty())
        return false;
    if (!m_servicesLocked) {
        QJsonArray services = m_externalServices;
        if (Overlay::mergeServiceReferences(&services, mapping.value(QStringLiteral("ref")))) {
            m_externalServices = services;
            emit externalServicesChanged();
            m_actionCatalog = m_externalServices;
        }
    }
    QStringList titles;
    QStringList ids;
    for (int i = 0; i < m_nodes.size(); ++i) {
        titles.append(nodeTitle(i));
        ids.append(nodeId(i));
    }
    const bool reached = Overlay::applyBridges(&m_nodes, titles, mapping, ids);
    refreshAll();
    return reached;
}

bool InteractiveOverlay::openFirstToolboxSettings()
{
    return false;
}

void InteractiveOverlay::onPastilleClicked(TouchArea* area)
{
    selectNode(indexOfPastille(area));
}

void InteractiveOverlay::onPastilleActivated(const QUuid& id, const QString& title)
{
    if (m_mode == Mapping)
        emit pastilleActivated(id, title);
}

void InteractiveOverlay::onPastilleGeometryChanged()
{
    const int index = indexOfPastille(qobject_cast<TouchArea*>(sender()));
    if (index < 0)
        return;
    updateRectFromWidget(index);
    update();
    emit dirty();
}

void InteractiveOverlay::onPastilleDeleteRequested(TouchArea* area)
{
    if (removeNode(indexOfPastille(area)))
        emit dirty();
}

void InteractiveOverlay::onPastilleDuplicateRequested(TouchArea* area)
{
    const int index = indexOfPastille(area);
    if (index < 0)
        return;
    selectNode(index);
    duplicateSelected();
}
