// overlay.json: readDocument over the input, then write, read and write again; the same through
// the overlay widget (loadFromJson / toJson), which places a pastille widget for every node. The
// "reads-*" seeds pin down what each node reads as (fuzz/expected/overlay).
#include "fuzzchecks.h"

#include "interactiveoverlay.h"
#include "overlaydocument.h"
#include "overlaymapping.h"

#include <QCoreApplication>
#include <QEvent>
#include <QJsonDocument>
#include <QPixmap>

namespace FuzzChecks {

namespace {

QByteArray text(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A picture narrower than the widget, so legacy positions go through the contain conversion.
Overlay::DocumentContext fixedContext()
{
    Overlay::DocumentContext context;
    context.currentSize = QSize(640, 400);
    context.pictureSize = QSize(400, 300);
    context.currentScaleMode = Overlay::Contain;
    return context;
}

QString throughWidget(const QJsonObject& document)
{
    InteractiveOverlay widget;
    widget.resize(640, 400);
    widget.setBackgroundPixmap(QPixmap(400, 300));
    widget.setBackgroundScaleMode(OverlayLines::Contain);
    QString failure;
    if (!widget.loadFromJson(document)) {
        failure = QStringLiteral("the widget rejected a document the reader accepts");
    } else {
        const QJsonObject first = widget.toJson();
        if (!widget.loadFromJson(first))
            failure = QStringLiteral("the widget rejected its own document");
        else
            failure = compareBytes("widget document", text(first), text(widget.toJson()));
    }
    return failure;
}

// "<kind> x,y,w,h <publish mode> <title>" (no x,y,w,h for the default 0.1,0.1,0.08,0.08), then
// " <slot>:<key>:<axis|button>:<device id>:<device type>" for each source that differs from a new
// pastille's.
QString describeNode(const Overlay::DocumentNode& entry)
{
    const char* kinds[] = {"singleJoy", "dualJoyCross", "button"};
    const Overlay::OverlayNode& node = entry.node;
    const QRectF& r = node.rect;
    QString text = QLatin1String(kinds[int(node.kind)]);
    if (r != QRectF(0.1, 0.1, 0.08, 0.08))
        text += QStringLiteral(" %1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    text += QStringLiteral(" %1 %2").arg(Overlay::publishModeToString(node.publishMode), entry.title);
    for (int i = 0; i < node.sources.size(); ++i) {
        const Overlay::InputSource& s = node.sources.at(i);
        if (s != Overlay::InputSource::forKind(node.kind))
            text += QStringLiteral(" %1:%2:%3:%4:%5")
                        .arg(node.slotNames.at(i), s.stringKey,
                             s.isJoy ? QStringLiteral("axis") : QStringLiteral("button"))
                        .arg(s.deviceId)
                        .arg(s.deviceType);
    }
    return text;
}

} // namespace

QString describeOverlay(const QByteArray& input)
{
    // An 800 x 400 overlay showing a 400 x 400 picture in Contain mode.
    Overlay::DocumentContext context;
    context.currentSize = QSize(800, 400);
    context.pictureSize = QSize(400, 400);
    context.currentScaleMode = Overlay::Contain;
    bool ok = false;
    Overlay::DocumentContents contents;
    if (!Overlay::readDocument(parseObject(input, &ok), context, &contents))
        return QStringLiteral("refused");
    QStringList nodes;
    for (const Overlay::DocumentNode& entry : contents.nodes)
        nodes << describeNode(entry);
    return nodes.join(QLatin1Char('\n'));
}

QString overlay(const QByteArray& input)
{
    bool ok = false;
    const QJsonObject document = parseObject(input, &ok);
    if (!ok)
        return {};
    const Overlay::DocumentContext context = fixedContext();
    Overlay::DocumentContents contents;
    if (!Overlay::readDocument(document, context, &contents))
        return {};
    const QJsonObject first =
        Overlay::writeDocument(contents.nodes, context.currentSize, context.currentScaleMode);
    Overlay::DocumentContents again;
    if (!Overlay::readDocument(first, context, &again))
        return QStringLiteral("its own document was rejected");
    const QString failure = compareBytes(
        "overlay document", text(first),
        text(Overlay::writeDocument(again.nodes, context.currentSize, context.currentScaleMode)));
    if (!failure.isEmpty())
        return failure;

    const QString widgetFailure = throughWidget(document);
    // The pastilles of the widget are deleted later; without this every input would leave them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return widgetFailure;
}

} // namespace FuzzChecks
