#pragma once

#include "metakeys.h"
#include "profilestore.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>

// What the editor keeps per listed definition; the disk form is the folder's "meta.json".
struct DefinitionRecord
{
    QUuid id;
    QString name;
    QString folder;
    QString imagePath;                               // full path of the picture
    QString overlayPath;                             // full path of the overlay document
    QStringList deviceNames;                         // trimmed, unique ignoring case, first-seen order
    QString createdAt;                               // ISO 8601, UTC
    QString calibrationMode = MetaKeys::ModeInherit; // "inherit" or "override"
    QString calibrationOverrideFile;                 // file name; empty unless "override"
    int vendorId = 0;                                // USB ids, 0 when unknown
    int productId = 0;
    ProfileScope scope = ProfileScope::Shared;
};

Q_DECLARE_METATYPE(DefinitionRecord)
