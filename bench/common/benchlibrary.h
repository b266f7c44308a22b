#pragma once

// A library of definitions like a user's: five pastilles each (a two-axis stick, a stick, three
// buttons) with their bridges and a 640 x 480 picture, a quarter in the user's area and the rest
// in the shared one, linked to "Bench Pad 0" to "Bench Pad <pads - 1>" in turn. The pictures are
// the same file in every folder, as new and duplicate leave them, or with distinctPictures one of
// its own in each (one pixel differs), as in a library of many controllers.
#include "profilestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace BenchLibrary {

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

inline QJsonObject source(const QString& key, bool joy)
{
    return {{"deviceType", "gamepade"}, {"deviceId", 0}, {"packetId", 1}, {"stringKey", key}, {"isJoy", joy}};
}

inline void populate(int definitions, int pads = 50, bool distinctPictures = false)
{
    QImage picture(640, 480, QImage::Format_ARGB32);
    picture.fill(QColor(40, 60, 80));
    QByteArray png;
    {
        QFile::remove(QDir::temp().filePath("bench_library_pad.png"));
        picture.save(QDir::temp().filePath("bench_library_pad.png"));
        QFile file(QDir::temp().filePath("bench_library_pad.png"));
        file.open(QIODevice::ReadOnly);
        png = file.readAll();
    }
    QJsonArray nodes;
    QJsonArray bridges;
    const auto add = [&](const QString& kind, const QString& title, const QJsonObject& sources, double x) {
        nodes.append(QJsonObject{{"kind", kind},
                                 {"title", title},
                                 {"geometry", QJsonObject{{"x", x}, {"y", 0.3}, {"w", 0.12}, {"h", 0.16}}},
                                 {"sources", sources}});
        for (auto it = sources.begin(); it != sources.end(); ++it)
            bridges.append(QJsonObject{{"src", it.value()}, {"action", "bench.action"}});
    };
    add("dualJoyCross", "Stick", {{"x", source("joy_0", true)}, {"y", source("joy_1", true)}}, 0.1);
    add("singleJoy", "Zoom", {{"main", source("joy_2", true)}}, 0.3);
    for (int b = 0; b < 3; ++b)
        add("button", QString("B%1").arg(b), {{"main", source(QString("but_%1").arg(b), false)}},
            0.5 + b * 0.1);
    const QByteArray overlay = QJsonDocument(QJsonObject{{"type", "InteractiveOverlay"},
                                                         {"version", 4},
                                                         {"coordSpace", "background"},
                                                         {"overlaySize", QJsonObject{{"w", 800}, {"h", 600}}},
                                                         {"nodes", nodes}})
                                   .toJson();
    const QByteArray mapping =
        QJsonDocument(QJsonObject{{"signals", QJsonArray()}, {"bridges", bridges}}).toJson();
    for (int i = 0; i < definitions; ++i) {
        const QString root =
            i % 4 == 0 ? ProfileStore::userProfilesRoot() : ProfileStore::sharedProfilesRoot();
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QDir folder(QDir(root).filePath(id));
        const QJsonObject meta{{"type", "GamepadDefinderMeta"},
                               {"version", 4},
                               {"id", id},
                               {"name", QString("Pad %1").arg(i, 4, 10, QChar('0'))},
                               {"image", "image.png"},
                               {"overlayFile", "overlay.json"},
                               {"deviceNames", QJsonArray{QString("Bench Pad %1").arg(i % pads)}}};
        writeFile(folder.filePath("meta.json"), QJsonDocument(meta).toJson());
        writeFile(folder.filePath("overlay.json"), overlay);
        writeFile(folder.filePath("configActionGamepad.json"), mapping);
        if (distinctPictures) {
            QImage own = picture;
            own.setPixel(i % 640, (i / 640) % 480, qRgb(i % 256, 0, 0));
            own.save(folder.filePath("image.png"), "PNG");
        } else {
            writeFile(folder.filePath("image.png"), png);
        }
    }
}

} // namespace BenchLibrary
