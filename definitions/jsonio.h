#pragma once

#include "folderfiles.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class QFileDevice;

// Small file operations every definition file goes through.
namespace JsonIo {

// Error texts are French for the editors; English where they end up in logs and host-facing panels.
enum class Language
{
    French,
    English
};

// Reads a file holding one JSON object: a regular file (no symlink, no FIFO or device) of at most
// maxBytes, checked before reading. A missing or refused file, a parse error or a non-object
// document yields an empty object, ok = false and an error text; ok and error may be null.
QJsonObject readJsonObject(const QString& path, bool* ok = nullptr, QString* error = nullptr,
                           Language language = Language::French,
                           qint64 maxBytes = FolderFiles::Limits::OverlayBytes);

// Writes every byte to an open file, retrying short writes; false when the device refuses the
// rest (disk full, size limit). Open the file Unbuffered: Qt 6.4 commits a buffered save file
// whose bytes failed to reach the disk, which would replace a good file by a truncated one.
bool writeAll(QFileDevice& file, const QByteArray& bytes);

// Writes through a save file committed by rename, so a failure leaves the old file untouched.
// What stands at path must be a regular file (or nothing): a symlink, FIFO or device is refused
// with the open error, never written through.
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                          Language language = Language::French);

// As writeBytesAtomically with the object serialised indented (or compact).
bool writeJsonAtomically(const QString& path, const QJsonObject& object, QString* error = nullptr,
                         bool indented = true, Language language = Language::French);

} // namespace JsonIo
