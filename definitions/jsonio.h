#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Small file operations every definition file goes through.
namespace JsonIo {

// Error texts are French for the editors; English where they end up in logs and host-facing panels.
enum class Language
{
    French,
    English
};

// Reads a file holding one JSON object. A missing file, a parse error or a non-object document
// yields an empty object, ok = false and an error text; ok and error may be null.
QJsonObject readJsonObject(const QString& path, bool* ok = nullptr, QString* error = nullptr,
                           Language language = Language::French);

// Writes through a save file committed by rename, so a failure leaves the old file untouched.
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                          Language language = Language::French);

// As writeBytesAtomically with the object serialised indented (or compact).
bool writeJsonAtomically(const QString& path, const QJsonObject& object, QString* error = nullptr,
                         bool indented = true, Language language = Language::French);

} // namespace JsonIo
