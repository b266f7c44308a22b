#pragma once

#include "overlaynode.h"

#include <QJsonObject>
#include <QUuid>

// The "overlay.json" document: pastille kinds, titles, positions and sources (no actions).
namespace Overlay {

// One pastille as the document carries it: the node plus the fields its widget owns.
struct DocumentNode
{
    OverlayNode node;
    QUuid id;
    QString title;
    bool freeAspect = false;
};

// Builds a version 4 document. Each node's rect is written as it stands; the caller substitutes
// the widget's current rectangle for a rect that was never placed.
QJsonObject writeDocument(const QVector<DocumentNode>& nodes, const QSize& overlaySize, int scaleMode);

// What reading needs to know about the overlay it loads into.
struct DocumentContext
{
    QSize currentSize; // the overlay widget now
    QSize pictureSize; // the current background picture (empty when none)
    int currentScaleMode = Contain;
    int nextTitleNumber = 1; // the overlay's running title number
};

struct DocumentContents
{
    QVector<DocumentNode> nodes; // rects are in background space
    int nextTitleNumber = 1;     // the running number after the nodes read
};

// Reads versions 1 to 4. False (and contents untouched) when "type" is not "InteractiveOverlay";
// every other malformed member takes its default.
bool readDocument(const QJsonObject& document, const DocumentContext& context, DocumentContents* contents);

// Fills a source from a document source object over its current values.
void readDocumentSource(const QJsonObject& object, InputSource* source);

} // namespace Overlay
