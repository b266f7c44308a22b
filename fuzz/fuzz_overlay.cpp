// overlay.json: readDocument over the input, then write, read and write again; the same through
// the overlay widget (loadFromJson / toJson), which places a pastille widget for every node.
#include "fuzzchecks.h"

#include "interactiveoverlay.h"
#include "overlaydocument.h"

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

} // namespace

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
