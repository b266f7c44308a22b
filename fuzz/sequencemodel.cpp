#include "sequencemodel.h"

#include "calibrationfiles.h"
#include "definitionmeta.h"
#include "fuzzchecks.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "overlaymapping.h"
#include "profilestore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QPixmap>

#include <sys/stat.h>

namespace Sequence {

namespace {

QString actionOf(const QJsonObject& binding)
{
    return Overlay::isBindingEmpty(binding) ? QString() : Overlay::bindingActionName(binding);
}

QString describe(const Pastille& p)
{
    QStringList gates;
    for (auto it = p.gates.cbegin(); it != p.gates.cend(); ++it)
        gates.append(it.key() + QLatin1Char('=') + it.value());
    return QStringLiteral("%1 [%2] keys %3 actions %4 gates %5")
        .arg(p.title)
        .arg(p.kind)
        .arg(p.keys.join(QLatin1Char(',')), p.actions.join(QLatin1Char(',')), gates.join(QLatin1Char(',')));
}

} // namespace

QMap<QString, Pastille> pastillesOf(const InteractiveOverlay* overlay)
{
    QMap<QString, Pastille> result;
    for (int i = 0; i < overlay->nodeCount(); ++i) {
        Pastille p;
        p.kind = int(overlay->nodeKind(i));
        p.title = overlay->nodeTitle(i);
        const QStringList slotNames = overlay->nodeSlotNames(i);
        QString combinedAction;
        bool everyKey = true;
        for (const QString& slot : slotNames) {
            const QString key = overlay->nodeSource(i, slot).stringKey.trimmed().toLower();
            const QString action = actionOf(overlay->nodeBinding(i, slot));
            p.keys.append(key);
            p.actions.append(key.isEmpty() ? QString() : action);
            everyKey = everyKey && !key.isEmpty();
            if (combinedAction.isEmpty())
                combinedAction = action;
        }
        if (p.kind == InteractiveOverlay::DualJoyCross && !overlay->nodeSplit(i)) {
            for (QString& action : p.actions)
                action = everyKey ? combinedAction : QString();
        }
        for (const QString& gate : overlay->nodeGateNames(i)) {
            const QString action = actionOf(overlay->nodeGateBinding(i, gate));
            if (!action.isEmpty())
                p.gates.insert(gate, action);
        }
        result.insert(overlay->nodeId(i), p);
    }
    return result;
}

Definition readFolder(const QString& folder, const Definition& expected)
{
    Definition actual;
    DefinitionRecord record;
    bool ok = false;
    const QJsonObject meta = JsonIo::readJsonObject(QDir(folder).filePath(QStringLiteral("meta.json")), &ok);
    actual.name = meta.value(QStringLiteral("name")).toString();
    actual.devices = DefinitionMeta::readDeviceNames(meta);
    actual.mode =
        DefinitionMeta::normalizedCalibrationMode(meta.value(QStringLiteral("calibrationMode")).toString());
    const QString overlayPath = QDir(folder).filePath(QStringLiteral("overlay.json"));
    if (expected.broken) {
        actual.broken = true;
        actual.brokenOverlay = FuzzChecks::readFile(overlayPath);
        return actual;
    }
    InteractiveOverlay overlay;
    overlay.resize(800, 600);
    overlay.setServicesLocked(true);
    overlay.loadFromJson(JsonIo::readJsonObject(overlayPath, &ok));
    for (int i = 0; i < overlay.nodeCount(); ++i) {
        const Pastille wanted = expected.pastilles.value(overlay.nodeId(i));
        overlay.setGateNames(i, wanted.gates.keys());
    }
    QJsonObject mapping;
    if (Overlay::loadMappingFile(ProfileStore::configPath(folder), &mapping) == Overlay::MappingLoad::Loaded)
        overlay.applyMapping(mapping);
    actual.pastilles = pastillesOf(&overlay);
    return actual;
}

QString difference(const QString& what, const Definition& expected, const Definition& actual)
{
    const auto differs = [&what](const QString& field, const QString& want, const QString& got) {
        return QStringLiteral("%1: %2 is \"%3\", expected \"%4\"").arg(what, field, got, want);
    };
    if (expected.name != actual.name)
        return differs(QStringLiteral("name"), expected.name, actual.name);
    if (expected.devices != actual.devices)
        return differs(QStringLiteral("devices"), expected.devices.join(QLatin1Char(',')),
                       actual.devices.join(QLatin1Char(',')));
    if (expected.mode != actual.mode)
        return differs(QStringLiteral("calibration mode"), expected.mode, actual.mode);
    if (expected.broken != actual.broken)
        return QStringLiteral("%1: the unreadable overlay was replaced").arg(what);
    if (expected.broken)
        return expected.brokenOverlay == actual.brokenOverlay
                   ? QString()
                   : QStringLiteral("%1: the unreadable overlay file was rewritten").arg(what);
    const QStringList ids = expected.pastilles.keys();
    if (ids != actual.pastilles.keys())
        return differs(QStringLiteral("pastilles"), ids.join(QLatin1Char(',')),
                       actual.pastilles.keys().join(QLatin1Char(',')));
    for (const QString& id : ids) {
        if (expected.pastilles.value(id) != actual.pastilles.value(id))
            return differs(QStringLiteral("pastille %1").arg(id.left(8)),
                           describe(expected.pastilles.value(id)), describe(actual.pastilles.value(id)));
    }
    return {};
}

Snapshot snapshot(const QString& root)
{
    Snapshot files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info
        {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        files.insert(path, QByteArray::number(qint64(info.st_size)) + ' ' +
                               QByteArray::number(quint64(info.st_ino)) + ' ' +
                               QByteArray::number(qint64(info.st_mtim.tv_sec)) + '.' +
                               QByteArray::number(qint64(info.st_mtim.tv_nsec)));
    }
    return files;
}

namespace {

// One definition of the start library: id, name, area and linked controllers.
struct StartDefinition
{
    const char* id;
    const char* name;
    bool shared;
    QStringList devices;
};

// A pastille of the start library: kind, title, key per slot, action per slot.
struct Node
{
    InteractiveOverlay::ElementKind kind;
    const char* title;
    QStringList keys;
    QStringList actions;
    QString gateAction;
};

QString writeFolder(const StartDefinition& definition, const QList<Node>& nodes, const QString& picture,
                    QString* dualId)
{
    const QString root =
        definition.shared ? ProfileStore::sharedProfilesRoot() : ProfileStore::userProfilesRoot();
    const QString folder = QDir(root).filePath(QString::fromLatin1(definition.id));
    QDir().mkpath(folder);
    QFile::copy(picture, QDir(folder).filePath(QStringLiteral("image.png")));
    InteractiveOverlay overlay;
    overlay.resize(800, 600);
    overlay.setBackgroundPixmap(QPixmap(picture));
    for (int n = 0; n < nodes.size(); ++n) {
        const Node& node = nodes.at(n);
        const int i =
            overlay.addNode(QPointF(150 + 180 * n, 300), node.kind, QString::fromLatin1(node.title));
        const QStringList slotNames = overlay.nodeSlotNames(i);
        for (int s = 0; s < slotNames.size() && s < node.keys.size(); ++s) {
            overlay.setSource(i, slotNames.at(s), node.kind != InteractiveOverlay::Button, node.keys.at(s));
            const QString action = node.actions.value(s);
            if (!action.isEmpty())
                overlay.setBinding(i, slotNames.at(s),
                                   {{QStringLiteral("ref"), action}, {QStringLiteral("action"), action}});
        }
        if (!node.gateAction.isEmpty()) {
            overlay.setGateNames(i, {QStringLiteral("gate_0")});
            overlay.setGateBinding(
                i, QStringLiteral("gate_0"),
                {{QStringLiteral("ref"), node.gateAction}, {QStringLiteral("action"), node.gateAction}});
            *dualId = overlay.nodeId(i);
        }
    }
    JsonIo::writeJsonAtomically(QDir(folder).filePath(QStringLiteral("overlay.json")), overlay.toJson());
    Overlay::saveMappingFile(ProfileStore::configPath(folder),
                             overlay.materializeMapping().value(QStringLiteral("bridges")).toArray());
    DefinitionRecord record;
    record.id = QUuid::fromString(QLatin1String(definition.id));
    record.name = QString::fromLatin1(definition.name);
    record.folder = folder;
    record.imagePath = QDir(folder).filePath(QStringLiteral("image.png"));
    record.overlayPath = QDir(folder).filePath(QStringLiteral("overlay.json"));
    record.deviceNames = definition.devices;
    record.calibrationMode = QStringLiteral("inherit");
    if (definition.devices.value(0) == QLatin1String("Fuzz Pad A")) {
        record.vendorId = 0x045e;
        record.productId = 0x028e;
    }
    DefinitionMeta::writeMeta(record);
    return folder;
}

} // namespace

void writeStartLibrary(const QString& picture)
{
    using K = InteractiveOverlay::ElementKind;
    const QString padA = QStringLiteral("Fuzz Pad A");
    QString dualId;
    writeFolder({"0000000a-0000-4000-8000-000000000001", "Alpha", false, {padA}},
                {{K::SingleJoy, "Stick", {"joy_0"}, {"camera.zoom"}, {}},
                 {K::Button, "A", {"but_2"}, {"recording.toggle"}, {}},
                 {K::DualJoyCross, "Dual", {"joy_2", "joy_3"}, {}, QStringLiteral("camera.pan")}},
                picture, &dualId);
    writeFolder({"0000000b-0000-4000-8000-000000000002", "Beta", false, {}},
                {{K::Button, "B", {"but_0"}, {"camera.pan"}, {}}, {K::SingleJoy, "S", {"joy_0"}, {}, {}}},
                picture, &dualId);
    writeFolder({"0000000c-0000-4000-8000-000000000003", "Gamma", true, {padA}},
                {{K::Button, "C", {"but_1"}, {"recording.toggle"}, {}},
                 {K::DualJoyCross, "Duo", {"joy_0", "joy_1"}, {}, {}}},
                picture, &dualId);
    writeFolder({"0000000d-0000-4000-8000-000000000004", "Delta", true, {}},
                {{K::Button, "D", {"but_1"}, {}, {}}}, picture, &dualId);
    // Its overlay cannot be read: opening it warns, and nothing may write over it.
    const QString broken =
        writeFolder({"0000000e-0000-4000-8000-000000000005", "Omega", false, {QStringLiteral("Fuzz Pad B")}},
                    {{K::Button, "E", {"but_0"}, {"camera.pan"}, {}}}, picture, &dualId);
    FuzzChecks::writeFile(QDir(broken).filePath(QStringLiteral("overlay.json")), "{\"type\": \"Interactive");

    using namespace GamepadCalibration;
    CalibrationSet set = defaultCalibration();
    GateSettings gate = defaultGate(0);
    gate.xAxis = 2;
    gate.yAxis = 3;
    gate.source2dKey = dualId;
    set.gates = {gate};
    const DeviceIdentity identity{padA, 0x045e, 0x028e};
    saveCalibrationFile(baseCalibrationSavePath(identity), set, identity);
}

} // namespace Sequence
