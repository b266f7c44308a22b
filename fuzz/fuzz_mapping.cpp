// configActionGamepad.json: loadMappingFile over the input, its bridges applied to a fixed overlay
// and materialised again, then saved (read-merge-write), read, applied and saved once more.
#include "fuzzchecks.h"

#include "overlaymapping.h"

#include <QJsonArray>

namespace FuzzChecks {

namespace {

using Overlay::Kind;

struct Pastille
{
    Kind kind;
    bool split;
    QStringList keys; // one per slot
    QString title;
    QStringList gates;
    QString id;
};

// Every case the bridges can meet: a plain stick, a combined and a split two-axis stick, buttons,
// a pastille reached only by its title, gates, and a key shared by two pastilles.
const QVector<Pastille>& pastilles()
{
    static const QVector<Pastille> list{
        {Kind::SingleJoy, false, {QStringLiteral("joy_0")}, QStringLiteral("Joy 1"), {}, {}},
        {Kind::DualJoyCross,
         false,
         {QStringLiteral("joy_1"), QStringLiteral("joy_2")},
         QStringLiteral("Double Joy 2"),
         {QStringLiteral("gate_0")},
         QStringLiteral("0d5e8f5a-2b1c-4f6e-8a3d-9b7c6e5f4a01")},
        {Kind::DualJoyCross,
         true,
         {QStringLiteral("joy_3"), QStringLiteral("joy_4")},
         QStringLiteral("Double Joy 3"),
         {},
         QStringLiteral("1e6f9a6b-3c2d-4a7f-9b4e-ac8d7f6a5b02")},
        {Kind::Button, false, {QStringLiteral("but_0")}, QStringLiteral("Bouton 4"), {}, {}},
        {Kind::Button,
         false,
         {QString()},
         QStringLiteral("Bouton 5"),
         {QStringLiteral("gate_1"), QStringLiteral("Gate_1")},
         {}},
        {Kind::SingleJoy, false, {QStringLiteral("joy_0")}, QStringLiteral("Joy 6"), {}, {}},
    };
    return list;
}

QVector<Overlay::OverlayNode> freshNodes()
{
    QVector<Overlay::OverlayNode> nodes;
    for (const Pastille& p : pastilles()) {
        Overlay::OverlayNode node = Overlay::OverlayNode::create(p.kind);
        node.split = p.split;
        for (int i = 0; i < node.sources.size() && i < p.keys.size(); ++i)
            node.sources[i].stringKey = p.keys.at(i);
        node.gateNames = p.gates;
        node.gateBindings = QVector<QJsonObject>(p.gates.size());
        nodes.append(node);
    }
    return nodes;
}

const QJsonArray& catalog()
{
    static const QJsonArray entries{
        QJsonObject{{QStringLiteral("name"), QStringLiteral("camera.pan")},
                    {QStringLiteral("params"),
                     QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("yawRate")},
                                            {QStringLiteral("default"), QStringLiteral("param:joy_0")}},
                                QJsonObject{{QStringLiteral("name"), QStringLiteral("pitchRate")},
                                            {QStringLiteral("default"), QStringLiteral("param:joy_1")}}}}},
        QJsonObject{{QStringLiteral("name"), QStringLiteral("camera.zoom")},
                    {QStringLiteral("params"),
                     QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("rate")},
                                            {QStringLiteral("default"), 0.0}}}}}};
    return entries;
}

// The bridges of the mapping once applied to a fresh overlay.
QJsonArray rematerialised(const QJsonObject& mapping)
{
    QVector<Overlay::OverlayNode> nodes = freshNodes();
    QStringList titles;
    for (const Pastille& p : pastilles())
        titles.append(p.title);
    Overlay::applyBridges(&nodes, titles, mapping);
    QVector<Overlay::MappingNode> entries;
    for (int i = 0; i < nodes.size(); ++i)
        entries.append({&nodes.at(i), pastilles().at(i).id, titles.at(i)});
    return Overlay::materializeMapping(entries, catalog()).value(QStringLiteral("bridges")).toArray();
}

} // namespace

QString mapping(const QByteArray& input)
{
    const QString path = scratchPath(QStringLiteral("mapping/configActionGamepad.json"));
    writeFile(path, input);
    QJsonObject read;
    if (Overlay::loadMappingFile(path, &read) != Overlay::MappingLoad::Loaded)
        return {};

    // Service references merge once: the same list again adds only the nameless ones, as always.
    const QJsonValue references = read.value(QStringLiteral("ref"));
    QJsonArray services = catalog();
    Overlay::mergeServiceReferences(&services, references);
    const qsizetype merged = services.size();
    Overlay::mergeServiceReferences(&services, references);
    qsizetype nameless = 0;
    for (const QJsonValue& reference : references.toArray()) {
        const QJsonValue name =
            reference.isObject() ? reference.toObject().value(QStringLiteral("name")) : reference;
        nameless += name.toString().trimmed().isEmpty() ? 1 : 0;
    }
    if (services.size() != merged + nameless)
        return QStringLiteral("merging the same service references twice added named ones");

    // The editor's save and the mapping panel's (which keeps extra destinations), input by input.
    Overlay::MappingFileOptions options;
    options.keepExtraDestinations = input.size() % 2 == 1;
    QString error;
    if (!Overlay::saveMappingFile(path, rematerialised(read), &error, options))
        return QStringLiteral("save failed: ") + error;
    const QByteArray first = readFile(path);
    QJsonObject again;
    if (Overlay::loadMappingFile(path, &again) != Overlay::MappingLoad::Loaded)
        return QStringLiteral("its own file was rejected");
    if (!Overlay::saveMappingFile(path, rematerialised(again), &error, options))
        return QStringLiteral("second save failed: ") + error;
    return compareBytes("mapping file", first, readFile(path));
}

} // namespace FuzzChecks
