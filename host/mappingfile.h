#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// What the stand-in host reads from a device's mapping file ("configActionGamepad.json"): its
// bridges, each binding one input key (or a two-axis stick) to one host action.
struct Bridge
{
    enum class Mode
    {
        OnChange,
        ActiveOnly,
        Always
    };

    QString key;     // "src" "stringKey", trimmed and lower-cased
    QString joyXKey; // combined stick only: the x and y keys, lower-cased
    QString joyYKey;
    QString groupKey; // "publishGroupKey"
    Mode mode = Mode::OnChange;
    QString action; // "action", or the first "dst" element's "ref" / "action"
    QJsonObject args;

    bool isCombined() const { return !joyXKey.isEmpty() && !joyYKey.isEmpty(); }
};

namespace MappingFile {

// "onChange", "activeOnly" (also "active_only", any case, blanks around) or "always"; anything
// else (and a missing member) is onChange.
Bridge::Mode parseMode(const QString& text);
QString modeText(Bridge::Mode mode);

// Bridges of a mapping object; bridges without a key or an action are skipped.
QList<Bridge> bridges(const QJsonObject& mapping);

// Reads the file; false with an error text when it is missing or not a JSON object.
bool read(const QString& path, QList<Bridge>* out, QString* error = nullptr);

} // namespace MappingFile
