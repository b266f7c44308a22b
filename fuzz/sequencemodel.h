#pragma once

// What the editor sequence check expects of a library: per definition, the values a user can see
// and set (name, linked controllers, calibration mode, pastilles with their keys and actions), read
// the same way from the editor's memory and from the files on disk, so the two can be compared.
#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

class InteractiveOverlay;

namespace Sequence {

struct Pastille
{
    int kind = 0;
    QString title;
    QStringList keys;             // per slot, trimmed and lower-cased
    QStringList actions;          // per slot: the action that reaches the mapping file, or empty
    QMap<QString, QString> gates; // gate name -> action (bound gates only)
    bool operator==(const Pastille& other) const
    {
        return kind == other.kind && title == other.title && keys == other.keys && actions == other.actions &&
               gates == other.gates;
    }
    bool operator!=(const Pastille& other) const { return !(*this == other); }
};

struct Definition
{
    QString name;
    QStringList devices;
    QString mode; // "inherit" or "override"
    // The overlay did not load: its files must stay as they are.
    bool broken = false;
    QByteArray brokenOverlay;
    QMap<QString, Pastille> pastilles; // by pastille id
};

// Id (without braces) -> definition.
using Library = QMap<QString, Definition>;

// The pastilles as they would reach the mapping file: actions of slots without a key, and of a
// combined stick without both keys, are dropped; a combined stick's action stands in both slots.
QMap<QString, Pastille> pastillesOf(const InteractiveOverlay* overlay);

// The definition as its files hold it: meta.json, overlay.json and the mapping file applied to it.
// Gate names come from the expected pastilles (calibration gives them, not the overlay file).
Definition readFolder(const QString& folder, const Definition& expected);

// "" when equal, else the first difference in words.
QString difference(const QString& what, const Definition& expected, const Definition& actual);

// Every file below root: path -> its size, inode and modification time to the nanosecond, so any
// write shows, even one that leaves the same bytes.
using Snapshot = QHash<QString, QByteArray>;
Snapshot snapshot(const QString& root);

// Writes the library the check starts from below the current data root, with the base
// calibration of the first pad (one gate on the Dual pastille of "Alpha").
void writeStartLibrary(const QString& picturePath);

} // namespace Sequence
