#pragma once

// Data roots, definition folders, answered dialogs and forced write failures for the editor tests.
#include "scripteddialogs.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <memory>

namespace EditorFixtures {

using TestSupport::FileSizeLimit;
using TestSupport::readFile;
using TestSupport::readJson;
using TestSupport::writeFile;

// A fresh private data root (login "alice", no shared-edit right); returns its path.
inline QString resetDataRoot()
{
    static std::unique_ptr<TestSupport::DataRoot> root;
    root.reset();
    root = std::make_unique<TestSupport::DataRoot>();
    return root->path();
}

// A plain picture (PNG), 64 x 40 unless told, at path.
inline QString writePicture(const QString& path, const QColor& colour = QColor(40, 90, 120),
                            const QSize& size = QSize(64, 40))
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path);
    return path;
}

// One overlay node object: kind "singleJoy", "dualJoyCross" or "button"; keys per slot.
inline QJsonObject node(const QString& kind, const QString& title, const QJsonObject& keys = {})
{
    QJsonObject sources;
    for (auto it = keys.begin(); it != keys.end(); ++it)
        sources.insert(it.key(), QJsonObject{{"stringKey", it.value().toString()}});
    return QJsonObject{{"kind", kind},
                       {"title", title},
                       {"geometry", QJsonObject{{"x", 0.2}, {"y", 0.2}, {"w", 0.15}, {"h", 0.15}}},
                       {"sources", sources}};
}

struct Definition
{
    QString folder;
    QString id;
    QString meta() const { return QDir(folder).filePath("meta.json"); }
    QString file(const QString& name) const { return QDir(folder).filePath(name); }
};

// A complete definition folder (meta, picture, overlay, mapping) below root.
inline Definition writeDefinition(const QString& root, const QString& name, const QStringList& devices = {},
                                  const QJsonArray& nodes = {}, QJsonObject meta = {})
{
    meta.insert("name", name);
    meta.insert("image", "image.png");
    meta.insert("overlayFile", "overlay.json");
    meta.insert("deviceNames", QJsonArray::fromStringList(devices));
    const TestSupport::Definition made = TestSupport::writeDefinition(root, meta, TestSupport::MetaOnly);
    Definition def{made.folder, made.id};
    writePicture(def.file("image.png"));
    const QJsonObject overlay{{"type", "InteractiveOverlay"},
                              {"version", 4},
                              {"coordSpace", "background"},
                              {"overlaySize", QJsonObject{{"w", 800}, {"h", 600}}},
                              {"nodes", nodes}};
    writeFile(def.file("overlay.json"), QJsonDocument(overlay).toJson());
    writeFile(def.file("configActionGamepad.json"),
              R"({"signals": ["keep"], "onStartup": [], "onClose": [], "timers": [], "bridges": []})");
    return def;
}

// Answers the editors' dialogs from a queue and records every one of them as "kind|title|text".
using RecordingDialogs = ScriptedDialogs;

} // namespace EditorFixtures
