#include "overlaymapping.h"

#include "hostlogging.h"
#include "jsonio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

namespace Overlay {

namespace {

const QString kSrc = QStringLiteral("src");
const QString kStringKey = QStringLiteral("stringKey");
const QString kAction = QStringLiteral("action");
const QString kRef = QStringLiteral("ref");
const QString kArgs = QStringLiteral("args");
const QString kDst = QStringLiteral("dst");
const QString kBridges = QStringLiteral("bridges");
// Not read by hosts: the pastille a bridge comes from, so pastilles that share an input key keep
// their own actions when the file is read back; gate bridges say so as well.
const QString kPastilleId = QStringLiteral("pastilleId");
const QString kPastilleGate = QStringLiteral("pastilleGate");

void markOwner(QJsonObject* bridge, const QString& pastilleId)
{
    if (!pastilleId.isEmpty())
        bridge->insert(kPastilleId, pastilleId);
}

// {"ref", "action", "args"} as a bridge's "dst" element carries it.
QJsonObject normalisedBinding(const QJsonObject& binding, const QString& actionName, const QJsonObject& args)
{
    QJsonObject normalised;
    if (!actionName.isEmpty())
        normalised.insert(kRef, actionName);
    const QJsonValue action = binding.value(kAction);
    if (!action.isUndefined() && !action.isNull())
        normalised.insert(kAction, action);
    normalised.insert(kArgs, args);
    return normalised;
}

bool isDeliverable(const QString& actionName, const QJsonObject& normalised)
{
    return !actionName.isEmpty() || normalised.contains(kRef) || normalised.contains(kAction);
}

void appendTarget(QJsonObject* bridge, const QString& actionName, const QJsonObject& normalised,
                  const QJsonObject& args)
{
    if (!actionName.isEmpty())
        bridge->insert(kAction, actionName);
    else
        bridge->insert(kDst, QJsonArray{normalised});
    if (!args.isEmpty())
        bridge->insert(kArgs, args);
}

// A combined stick hands its joystick reference ("param:joy_..." defaults of the catalog) to the
// parameters that still hold the generic first-argument placeholder "arg_0".
QJsonObject joystickArguments(const QJsonObject& args, const QString& actionName, const QJsonArray& catalog)
{
    if (args.isEmpty() || actionName.isEmpty())
        return args;
    QJsonObject entry;
    for (const QJsonValue& value : catalog) {
        const QJsonObject candidate = value.toObject();
        if (candidate.value(QStringLiteral("name")).toString().compare(actionName, Qt::CaseInsensitive) ==
            0) {
            entry = candidate;
            break;
        }
    }
    QHash<QString, QString> joystickDefaults;
    const QJsonArray params = entry.value(QStringLiteral("params")).toArray();
    for (const QJsonValue& value : params) {
        const QJsonObject param = value.toObject();
        const QString name = param.value(QStringLiteral("name")).toString().trimmed();
        const QString fallback = param.value(QStringLiteral("default")).toString().trimmed();
        if (!name.isEmpty() && fallback.startsWith(QLatin1String("param:joy_"), Qt::CaseInsensitive) &&
            !joystickDefaults.contains(name))
            joystickDefaults.insert(name, fallback);
    }
    if (joystickDefaults.isEmpty())
        return args;
    QJsonObject result = args;
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (!joystickDefaults.contains(it.key()) || !it.value().isString())
            continue;
        if (it.value().toString().trimmed().compare(QLatin1String("arg_0"), Qt::CaseInsensitive) == 0)
            result.insert(it.key(), joystickDefaults.value(it.key()));
    }
    return result;
}

void appendCombinedStick(const MappingNode& entry, const QJsonArray& catalog, QJsonArray* bridges)
{
    const OverlayNode& node = *entry.node;
    if (node.sources.size() < 2)
        return;
    QJsonObject binding;
    for (int i = 0; i < node.slotNames.size() && i < node.bindings.size(); ++i) {
        if (!isBindingEmpty(node.bindings.at(i))) {
            binding = node.bindings.at(i);
            break;
        }
    }
    if (binding.isEmpty())
        return;
    for (const InputSource& source : node.sources) {
        if (source.stringKey.trimmed().isEmpty())
            return; // no half-mapped stick: both axes or nothing
    }
    const QString actionName = bindingActionName(binding);
    const QJsonObject args = joystickArguments(binding.value(kArgs).toObject(), actionName, catalog);
    const QJsonObject normalised = normalisedBinding(binding, actionName, args);
    if (!isDeliverable(actionName, normalised))
        return;
    for (const InputSource& source : node.sources) {
        QJsonObject bridge{{kSrc, source.toJson()},
                           {QStringLiteral("joyXKey"), node.sources.at(0).stringKey},
                           {QStringLiteral("joyYKey"), node.sources.at(1).stringKey},
                           {QStringLiteral("publishMode"), publishModeToString(node.publishMode)}};
        if (!entry.groupKey.isEmpty())
            bridge.insert(QStringLiteral("publishGroupKey"), entry.groupKey);
        appendTarget(&bridge, actionName, normalised, args);
        markOwner(&bridge, entry.groupKey);
        bridges->append(bridge);
    }
}

void appendSlots(const MappingNode& entry, QJsonArray* bridges)
{
    const OverlayNode& node = *entry.node;
    for (int i = 0; i < node.slotNames.size() && i < node.sources.size() && i < node.bindings.size(); ++i) {
        const InputSource& source = node.sources.at(i);
        const QJsonObject& binding = node.bindings.at(i);
        if (source.stringKey.trimmed().isEmpty() || isBindingEmpty(binding))
            continue;
        const QString actionName = bindingActionName(binding);
        const QJsonObject args = binding.value(kArgs).toObject();
        const QJsonObject normalised = normalisedBinding(binding, actionName, args);
        if (!isDeliverable(actionName, normalised))
            continue;
        QJsonObject bridge{{kSrc, source.toJson()}};
        if (node.kind != Kind::Button)
            bridge.insert(QStringLiteral("publishMode"), publishModeToString(node.publishMode));
        appendTarget(&bridge, actionName, normalised, args);
        markOwner(&bridge, entry.groupKey);
        bridges->append(bridge);
    }
}

void appendGates(const MappingNode& entry, QJsonArray* bridges)
{
    const OverlayNode& node = *entry.node;
    for (int i = 0; i < node.gateNames.size() && i < node.gateBindings.size(); ++i) {
        const QString name = node.gateNames.at(i).trimmed();
        const QJsonObject& binding = node.gateBindings.at(i);
        if (name.isEmpty() || isBindingEmpty(binding))
            continue;
        const QString actionName = bindingActionName(binding);
        const QJsonObject args = binding.value(kArgs).toObject();
        const QJsonObject normalised = normalisedBinding(binding, actionName, args);
        if (!isDeliverable(actionName, normalised))
            continue;
        InputSource gate;
        gate.isJoy = false;
        gate.stringKey = name;
        QJsonObject bridge{{kSrc, gate.toJson()}};
        appendTarget(&bridge, actionName, normalised, args);
        markOwner(&bridge, entry.groupKey);
        if (!entry.groupKey.isEmpty())
            bridge.insert(kPastilleGate, true);
        bridges->append(bridge);
    }
}

QString referenceName(const QJsonValue& value)
{
    const QString name =
        value.isObject() ? value.toObject().value(QStringLiteral("name")).toString() : value.toString();
    return name.trimmed().toLower();
}

// The binding a bridge carries: its "action" name, else the first usable "dst" element.
QJsonObject bridgeBinding(const QJsonObject& bridge)
{
    const QString name = bridge.value(kAction).toString().trimmed();
    if (!name.isEmpty()) {
        QJsonObject binding{{kRef, name}, {kAction, name}};
        const QJsonObject args = bridge.value(kArgs).toObject();
        if (!args.isEmpty())
            binding.insert(kArgs, args);
        return binding;
    }
    const QJsonArray dst = bridge.value(kDst).toArray();
    for (const QJsonValue& value : dst) {
        const QJsonObject object = value.toObject();
        if (object.contains(kRef) || object.contains(kAction))
            return object;
    }
    return {};
}

struct Target
{
    int node = -1;
    QString name; // slot or gate name
};

void applySource(const QJsonObject& src, const QString& key, InputSource* source)
{
    if (!key.isEmpty())
        source->stringKey = key;
    const QJsonValue isJoy = src.value(QStringLiteral("isJoy"));
    if (isJoy.isBool())
        source->isJoy = isJoy.toBool();
    const QString deviceType = src.value(QStringLiteral("deviceType")).toString().trimmed();
    if (!deviceType.isEmpty())
        source->deviceType = deviceType;
    source->deviceId = lenientInt(src.value(QStringLiteral("deviceId")), source->deviceId);
    source->packetId = lenientInt(src.value(QStringLiteral("packetId")), source->packetId);
}

JsonIo::Language language(const MappingFileOptions& options)
{
    return options.englishErrors ? JsonIo::Language::English : JsonIo::Language::French;
}

bool sameSource(const QJsonObject& a, const QJsonObject& b)
{
    if (a.value(kStringKey)
            .toString()
            .trimmed()
            .compare(b.value(kStringKey).toString().trimmed(), Qt::CaseInsensitive) != 0)
        return false;
    const QString typeA = a.value(QStringLiteral("deviceType")).toString();
    const QString typeB = b.value(QStringLiteral("deviceType")).toString();
    return typeA.isEmpty() || typeB.isEmpty() || typeA == typeB;
}

} // namespace

PublishMode parsePublishMode(const QString& text)
{
    const QString mode = text.trimmed().toLower();
    if (mode == QLatin1String("activeonly") || mode == QLatin1String("active_only"))
        return PublishMode::ActiveOnly;
    if (mode == QLatin1String("always"))
        return PublishMode::Always;
    return PublishMode::OnChange;
}

QString publishModeToString(PublishMode mode)
{
    switch (mode) {
    case PublishMode::ActiveOnly:
        return QStringLiteral("activeOnly");
    case PublishMode::Always:
        return QStringLiteral("always");
    case PublishMode::OnChange:
        break;
    }
    return QStringLiteral("onChange");
}

SourceKey parseSourceKey(const QString& text)
{
    const QString key = text.trimmed().toLower();
    SourceKey result;
    QString digits;
    if (key.startsWith(QLatin1String("joy_"))) {
        result.isAxis = true;
    } else if (key.startsWith(QLatin1String("but_"))) {
        result.isAxis = false;
    } else {
        return result;
    }
    digits = key.mid(4);
    if (digits.isEmpty())
        return result;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return result;
    }
    bool ok = false;
    const int index = digits.toInt(&ok, 10);
    if (ok) {
        result.index = index;
        result.valid = true;
    }
    return result;
}

QString bindingActionName(const QJsonObject& binding)
{
    const QString ref = binding.value(kRef).toString().trimmed();
    if (!ref.isEmpty())
        return ref;
    return binding.value(kAction).toString().trimmed();
}

bool isBindingEmpty(const QJsonObject& binding)
{
    if (binding.isEmpty())
        return true;
    const QString name = bindingActionName(binding);
    return name.isEmpty() || name.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
}

QJsonObject materializeMapping(const QVector<MappingNode>& nodes, const QJsonArray& catalog)
{
    QJsonArray bridges;
    for (const MappingNode& entry : nodes) {
        if (!entry.node)
            continue;
        if (entry.node->isCombinedStick())
            appendCombinedStick(entry, catalog, &bridges);
        else
            appendSlots(entry, &bridges);
        appendGates(entry, &bridges);
    }
    return QJsonObject{{kBridges, bridges}};
}

bool mergeServiceReferences(QJsonArray* services, const QJsonValue& references)
{
    if (!references.isArray())
        return false;
    QSet<QString> names;
    for (const QJsonValue& service : std::as_const(*services))
        names.insert(referenceName(service));
    bool changed = false;
    const QJsonArray array = references.toArray();
    for (const QJsonValue& reference : array) {
        const QString name = referenceName(reference);
        if (!name.isEmpty() && names.contains(name))
            continue;
        names.insert(name);
        services->append(reference);
        changed = true;
    }
    return changed;
}

bool applyBridges(QVector<OverlayNode>* nodes, const QStringList& titles, const QJsonObject& mapping,
                  const QStringList& ids)
{
    if (mapping.isEmpty())
        return false;
    for (OverlayNode& node : *nodes) {
        for (QJsonObject& binding : node.bindings)
            binding = QJsonObject();
        for (QJsonObject& binding : node.gateBindings)
            binding = QJsonObject();
    }

    QHash<QString, QVector<Target>> targets;
    for (int n = 0; n < nodes->size(); ++n) {
        const OverlayNode& node = nodes->at(n);
        for (int i = 0; i < node.slotNames.size() && i < node.sources.size(); ++i) {
            const QString key = node.sources.at(i).stringKey.trimmed().toLower();
            if (!key.isEmpty())
                targets[key].append({n, node.slotNames.at(i)});
        }
        for (const QString& gate : node.gateNames) {
            const QString key = gate.trimmed().toLower();
            if (!key.isEmpty())
                targets[key].append({n, gate});
        }
    }

    bool reached = false;
    const QJsonArray bridges = mapping.value(kBridges).toArray();
    for (const QJsonValue& value : bridges) {
        if (!value.isObject())
            continue;
        const QJsonObject bridge = value.toObject();
        const QJsonObject src = bridge.value(kSrc).toObject();
        const QString key = src.value(kStringKey).toString().trimmed().toLower();
        QVector<Target> found = targets.value(key);
        // A bridge that names a pastille of this overlay binds that pastille only; its gate
        // reappears on it even when the calibration in force no longer names it.
        const QString ownerId = bridge.value(kPastilleId).toString().trimmed();
        const int owner = ownerId.isEmpty() ? -1 : int(ids.indexOf(ownerId));
        if (owner >= 0 && !key.isEmpty() && owner < nodes->size()) {
            QVector<Target> own;
            for (const Target& target : std::as_const(found)) {
                if (target.node == owner)
                    own.append(target);
            }
            OverlayNode& node = (*nodes)[owner];
            if (own.isEmpty() && bridge.value(kPastilleGate).toBool() && node.kind == Kind::DualJoyCross) {
                const QString gate = src.value(kStringKey).toString().trimmed();
                node.gateNames.append(gate);
                node.gateBindings.append(QJsonObject());
                targets[key].append({owner, gate});
                own.append({owner, gate});
            }
            found = own;
        } else if (found.isEmpty() && !key.isEmpty()) {
            for (int n = 0; n < nodes->size() && n < titles.size(); ++n) {
                if (titles.at(n).compare(key, Qt::CaseInsensitive) == 0 &&
                    !nodes->at(n).slotNames.isEmpty()) {
                    found.append({n, nodes->at(n).slotNames.first()});
                    break;
                }
            }
        }
        const QJsonObject binding = bridgeBinding(bridge);
        for (const Target& target : std::as_const(found)) {
            OverlayNode& node = (*nodes)[target.node];
            const int slot = node.slotIndex(target.name);
            if (slot >= 0 && slot < node.sources.size() && slot < node.bindings.size()) {
                if (!binding.isEmpty()) {
                    if (node.isCombinedStick()) {
                        for (QJsonObject& each : node.bindings)
                            each = binding;
                    } else {
                        node.bindings[slot] = binding;
                    }
                }
                applySource(src, key, &node.sources[slot]);
                if (bridge.contains(QStringLiteral("publishMode")))
                    node.publishMode =
                        parsePublishMode(bridge.value(QStringLiteral("publishMode")).toString());
                reached = true;
                continue;
            }
            const int gate = node.gateIndex(target.name);
            if (gate >= 0 && gate < node.gateBindings.size()) {
                if (!binding.isEmpty())
                    node.gateBindings[gate] = binding;
                reached = true;
            }
        }
    }
    return reached;
}

QJsonObject mergeMapping(const QJsonObject& old, const QJsonArray& bridges, bool keepExtraDestinations)
{
    QJsonObject merged = old;
    for (const char* key : {"signals", "onStartup", "onClose", "timers"}) {
        if (!merged.contains(QLatin1String(key)))
            merged.insert(QLatin1String(key), QJsonArray());
    }
    merged.insert(kRef, QJsonArray());
    merged.remove(QStringLiteral("refs"));

    QJsonArray result = bridges;
    if (keepExtraDestinations) {
        const QJsonArray oldBridges = old.value(kBridges).toArray();
        for (int i = 0; i < result.size(); ++i) {
            QJsonObject bridge = result.at(i).toObject();
            if (!bridge.value(kAction).toString().isEmpty())
                continue;
            const QJsonObject src = bridge.value(kSrc).toObject();
            for (const QJsonValue& oldValue : oldBridges) {
                const QJsonObject oldBridge = oldValue.toObject();
                if (!sameSource(src, oldBridge.value(kSrc).toObject()))
                    continue;
                const QJsonArray oldDst = oldBridge.value(kDst).toArray();
                if (oldDst.size() > 1) {
                    QJsonArray dst = bridge.value(kDst).toArray();
                    for (int d = 1; d < oldDst.size(); ++d)
                        dst.append(oldDst.at(d));
                    bridge.insert(kDst, dst);
                    result.replace(i, bridge);
                }
                break;
            }
        }
    }
    merged.insert(kBridges, result);
    return merged;
}

bool saveMappingFile(const QString& path, const QJsonArray& bridges, QString* error,
                     const MappingFileOptions& options)
{
    QJsonObject old;
    if (QFileInfo::exists(path)) {
        bool ok = false;
        old =
            JsonIo::readJsonObject(path, &ok, nullptr, language(options), FolderFiles::Limits::MappingBytes);
        if (!ok)
            old = QJsonObject(); // an unreadable file is replaced, not a reason to keep stale bridges
    }
    const QJsonObject merged = mergeMapping(old, bridges, options.keepExtraDestinations);
    // A file that already holds this mapping is left alone (no write, no sync to disk).
    if (!old.isEmpty() && merged == old)
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString writeError;
    const bool written = JsonIo::writeJsonAtomically(path, merged, &writeError, true, language(options));
    if (!written) {
        qCWarning(lcGamepadUi) << "Gamepad mapping save failed error=" << writeError;
        if (error)
            *error = writeError;
        return false;
    }
    return true;
}

MappingLoad loadMappingFile(const QString& path, QJsonObject* mapping, QString* error,
                            const MappingFileOptions& options)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return MappingLoad::Missing;
    bool ok = false;
    QString readError;
    const QJsonObject object =
        JsonIo::readJsonObject(path, &ok, &readError, language(options), FolderFiles::Limits::MappingBytes);
    if (!ok) {
        qCWarning(lcGamepadUi) << "Gamepad mapping load failed error=" << readError;
        if (error)
            *error = readError;
        return MappingLoad::Failed;
    }
    *mapping = object;
    return MappingLoad::Loaded;
}

} // namespace Overlay
