#include "overlaydocument.h"

#include "overlaygeometry.h"
#include "overlaymapping.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace Overlay {

namespace {

const QString kType = QStringLiteral("InteractiveOverlay");

QString kindToString(Kind kind)
{
    switch (kind) {
    case Kind::DualJoyCross:
        return QStringLiteral("dualJoyCross");
    case Kind::Button:
        return QStringLiteral("button");
    case Kind::SingleJoy:
        break;
    }
    return QStringLiteral("singleJoy");
}

QString scaleModeToString(int mode)
{
    switch (mode) {
    case Stretch:
        return QStringLiteral("Stretch");
    case Cover:
        return QStringLiteral("Cover");
    case Center:
        return QStringLiteral("Center");
    default:
        return QStringLiteral("Contain");
    }
}

int scaleModeFromString(const QString& text)
{
    const QString mode = text.trimmed().toLower();
    if (mode == QLatin1String("stretch"))
        return Stretch;
    if (mode == QLatin1String("cover"))
        return Cover;
    if (mode == QLatin1String("center"))
        return Center;
    return Contain;
}

// Kind from "kind", else from the legacy "src" record, else a plain joystick.
Kind readKind(const QJsonObject& object)
{
    const QString kind = object.value(QStringLiteral("kind")).toString().trimmed().toLower();
    if (kind == QLatin1String("singlejoy"))
        return Kind::SingleJoy;
    if (kind == QLatin1String("dualjoycross"))
        return Kind::DualJoyCross;
    if (kind == QLatin1String("button"))
        return Kind::Button;
    const QJsonObject src = object.value(QStringLiteral("src")).toObject();
    const SourceKey key = parseSourceKey(src.value(QStringLiteral("stringKey")).toString());
    if (key.valid)
        return key.isAxis ? Kind::SingleJoy : Kind::Button;
    const QJsonValue isJoy = src.value(QStringLiteral("isJoy"));
    if (isJoy.isBool())
        return isJoy.toBool() ? Kind::SingleJoy : Kind::Button;
    return Kind::SingleJoy;
}

// A finite number or the default; strings and other types count as missing.
double readFraction(const QJsonObject& object, const char* key, double fallback)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    return std::isfinite(number) ? number : fallback;
}

// Saved sizes are at least 1 pixel; the upper bound keeps the arithmetic in range.
int readSide(const QJsonObject& size, const char* key, int fallback)
{
    const QJsonValue value = size.value(QLatin1String(key));
    const int side = value.isDouble() ? roundToInt(value.toDouble()) : fallback;
    return std::clamp(side, 1, 1000000);
}

QRectF readPosition(const QJsonObject& node, bool backgroundSpace, const QSize& savedSize,
                    const QRect& savedBackground)
{
    QJsonObject geometry = node.value(QStringLiteral("geometry")).toObject();
    if (geometry.isEmpty())
        geometry = node.value(QStringLiteral("pastille")).toObject();
    const double x = readFraction(geometry, "x", 0.1);
    const double y = readFraction(geometry, "y", 0.1);
    const double w = readFraction(geometry, "w", 0.08);
    const double h = readFraction(geometry, "h", 0.08);
    if (backgroundSpace || savedBackground.width() <= 0 || savedBackground.height() <= 0)
        return QRectF(x, y, w, h);
    // Version 1: fractions of the whole overlay as it was saved.
    const QRect pixels(roundToInt(x * savedSize.width()), roundToInt(y * savedSize.height()),
                       std::max(1, roundToInt(w * savedSize.width())),
                       std::max(1, roundToInt(h * savedSize.height())));
    return toBackgroundSpace(pixels, savedBackground);
}

} // namespace

QJsonObject writeDocument(const QVector<DocumentNode>& nodes, const QSize& overlaySize, int scaleMode)
{
    QJsonArray array;
    for (const DocumentNode& entry : nodes) {
        const OverlayNode& node = entry.node;
        QJsonObject sources;
        for (int i = 0; i < node.slotNames.size() && i < node.sources.size(); ++i)
            sources.insert(node.slotNames.at(i), node.sources.at(i).toJson());
        QJsonObject object{
            {QStringLiteral("id"), entry.id.toString(QUuid::WithoutBraces)},
            {QStringLiteral("kind"), kindToString(node.kind)},
            {QStringLiteral("title"), entry.title},
            {QStringLiteral("state"), QStringLiteral("Normal")},
            {QStringLiteral("geometry"), QJsonObject{{QStringLiteral("x"), node.rect.x()},
                                                     {QStringLiteral("y"), node.rect.y()},
                                                     {QStringLiteral("w"), node.rect.width()},
                                                     {QStringLiteral("h"), node.rect.height()}}},
            {QStringLiteral("sources"), sources},
            {QStringLiteral("publishMode"), publishModeToString(node.publishMode)},
            {QStringLiteral("freeAspect"), entry.freeAspect}};
        if (node.kind == Kind::DualJoyCross)
            object.insert(QStringLiteral("split"), node.split);
        array.append(object);
    }
    return QJsonObject{
        {QStringLiteral("type"), kType},
        {QStringLiteral("version"), 4},
        {QStringLiteral("coordSpace"), QStringLiteral("background")},
        {QStringLiteral("overlaySize"), QJsonObject{{QStringLiteral("w"), overlaySize.width()},
                                                    {QStringLiteral("h"), overlaySize.height()}}},
        {QStringLiteral("bgMode"), scaleModeToString(scaleMode)},
        {QStringLiteral("nodes"), array}};
}

void readDocumentSource(const QJsonObject& object, InputSource* source)
{
    const QJsonValue deviceType = object.value(QStringLiteral("deviceType"));
    if (deviceType.isString())
        source->deviceType = deviceType.toString();
    source->deviceId = lenientInt(object.value(QStringLiteral("deviceId")), source->deviceId);
    source->packetId = lenientInt(object.value(QStringLiteral("packetId")), source->packetId);
    const QJsonValue key = object.value(QStringLiteral("stringKey"));
    if (key.isString())
        source->stringKey = key.toString();
    const QJsonValue isJoy = object.value(QStringLiteral("isJoy"));
    if (isJoy.isBool())
        source->isJoy = isJoy.toBool();
    const SourceKey parsed = parseSourceKey(source->stringKey);
    if (parsed.valid)
        source->isJoy = parsed.isAxis;
}

bool readDocument(const QJsonObject& document, const DocumentContext& context, DocumentContents* contents)
{
    if (document.value(QStringLiteral("type")).toString() != kType)
        return false;

    const int version = document.value(QStringLiteral("version")).toInt(1);
    const QJsonObject savedSizeObject = document.value(QStringLiteral("overlaySize")).toObject();
    const QSize savedSize(readSide(savedSizeObject, "w", std::max(1, context.currentSize.width())),
                          readSide(savedSizeObject, "h", std::max(1, context.currentSize.height())));
    const int savedMode = scaleModeFromString(document.value(QStringLiteral("bgMode")).toString());
    const QRect savedBackground = backgroundRect(savedSize, context.pictureSize, savedMode);
    const bool backgroundSpace = document.value(QStringLiteral("coordSpace"))
                                         .toString()
                                         .trimmed()
                                         .compare(QLatin1String("background"), Qt::CaseInsensitive) == 0 ||
                                 version >= 2;

    DocumentContents result;
    result.nextTitleNumber = context.nextTitleNumber;
    const QJsonArray nodes = document.value(QStringLiteral("nodes")).toArray();
    for (const QJsonValue& value : nodes) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        DocumentNode entry;
        const Kind kind = readKind(object);
        entry.node = OverlayNode::create(kind);
        const QString fallbackTitle = defaultTitle(kind, result.nextTitleNumber++);
        const QJsonValue title = object.value(QStringLiteral("title"));
        entry.title = title.isString() ? title.toString() : fallbackTitle;
        if (entry.title.trimmed().isEmpty())
            entry.title = fallbackTitle;
        if (kind == Kind::DualJoyCross)
            entry.node.split = object.value(QStringLiteral("split")).toBool(false);
        const QJsonValue mode = object.value(QStringLiteral("publishMode"));
        if (mode.isString())
            entry.node.publishMode = parsePublishMode(mode.toString());
        const QString id = object.value(QStringLiteral("id")).toString();
        if (!id.isEmpty())
            entry.id = QUuid::fromString(id);
        entry.node.rect = readPosition(object, backgroundSpace, savedSize, savedBackground);
        entry.freeAspect = object.value(QStringLiteral("freeAspect")).toBool(false);

        if (version < 3) {
            const QJsonObject src = object.value(QStringLiteral("src")).toObject();
            if (!src.isEmpty() && !entry.node.sources.isEmpty())
                readDocumentSource(src, &entry.node.sources[0]);
        } else {
            const QJsonObject sources = object.value(QStringLiteral("sources")).toObject();
            for (int i = 0; i < entry.node.slotNames.size(); ++i) {
                const QJsonObject src = sources.value(entry.node.slotNames.at(i)).toObject();
                if (!src.isEmpty())
                    readDocumentSource(src, &entry.node.sources[i]);
            }
        }
        result.nodes.append(entry);
    }
    *contents = result;
    return true;
}

} // namespace Overlay
