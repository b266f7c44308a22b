#pragma once

#include "overlaynode.h"

#include <QJsonArray>
#include <QJsonObject>

// The mapping file ("configActionGamepad.json"): bridges from controller inputs to host actions,
// derived from the pastilles' sources and bindings.
namespace Overlay {

// "activeonly"/"active_only" -> ActiveOnly, "always" -> Always, anything else -> OnChange.
PublishMode parsePublishMode(const QString& text);
QString publishModeToString(PublishMode mode);

// "joy_<n>" (axis) or "but_<n>" (button), trimmed, any case. index is -1 when not valid.
struct SourceKey
{
    bool isAxis = true;
    int index = -1;
    bool valid = false;
};
SourceKey parseSourceKey(const QString& text);

// "ref" trimmed, else "action" as a string trimmed.
QString bindingActionName(const QJsonObject& binding);
// Empty object, empty action name or the action "none" (any case).
bool isBindingEmpty(const QJsonObject& binding);

// Per-node data the mapping needs beside the node itself.
struct MappingNode
{
    const OverlayNode* node = nullptr;
    QString groupKey; // the pastille identifier without braces
    QString title;
};

// {"bridges": [...]} for the nodes in order; catalog: the host's action descriptions, used to
// hand a combined stick's joystick reference to the action parameters that expect one.
QJsonObject materializeMapping(const QVector<MappingNode>& nodes, const QJsonArray& catalog);

// Service references of a mapping's "ref" appended to the services list where their name is new
// (or empty). Returns true when the list changed.
bool mergeServiceReferences(QJsonArray* services, const QJsonValue& references);

// Applies the "bridges" of a mapping onto the nodes: every binding is reset first, then each
// bridge binds the slots (or gates) its source key names, or the first pastille titled like the
// key. A bridge whose "pastilleId" names one of ids binds that pastille only. titles and ids run
// parallel to nodes. True when at least one bridge reached a slot or gate.
bool applyBridges(QVector<OverlayNode>* nodes, const QStringList& titles, const QJsonObject& mapping,
                  const QStringList& ids = {});

// How the read-merge-write of the mapping file behaves for its two callers.
struct MappingFileOptions
{
    // Bridges that name their action through "dst" keep the old file's extra destinations.
    bool keepExtraDestinations = false;
    // Error texts in English ("Cannot write %1", ...) instead of the editor's French texts.
    bool englishErrors = false;
};

// Reads the file, keeps "signals", "onStartup", "onClose", "timers" and unknown keys, empties
// "ref", drops "refs", replaces "bridges" and writes atomically (creating the folder). An
// unreadable or missing file starts from an empty object. Logs "Gamepad mapping save failed
// error=" on failure.
bool saveMappingFile(const QString& path, const QJsonArray& bridges, QString* error = nullptr,
                     const MappingFileOptions& options = {});

// The merged object saveMappingFile would write over the given old file contents.
QJsonObject mergeMapping(const QJsonObject& old, const QJsonArray& bridges, bool keepExtraDestinations);

enum class MappingLoad
{
    Loaded,
    Missing,
    Failed
};
// Reads a mapping file. Missing: no file (no message); Failed: logs "Gamepad mapping load failed
// error=" with the reader's error.
MappingLoad loadMappingFile(const QString& path, QJsonObject* mapping, QString* error = nullptr,
                            const MappingFileOptions& options = {});

} // namespace Overlay
