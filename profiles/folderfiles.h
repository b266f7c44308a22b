#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QtGlobal>

// The files of a definition folder, which may come from anyone: a shared area, a copied folder,
// a hand-edited meta.json. Every name the folder gives resolves inside it, every read is capped
// before it starts and reaches regular files only, and no writer goes through a symlink.
namespace FolderFiles {

// Largest file of each kind that is read at all (docs/RELIABILITY.md gives the reasons).
namespace Limits {
inline constexpr qint64 MiB = 1024 * 1024;
inline constexpr qint64 MetaBytes = 1 * MiB;         // meta.json: names and ids, a few KB
inline constexpr qint64 OverlayBytes = 16 * MiB;     // overlay.json: up to 10,000 pastilles
inline constexpr qint64 MappingBytes = 16 * MiB;     // configActionGamepad.json, host keys included
inline constexpr qint64 CalibrationBytes = 1 * MiB;  // 8 axes, 32 buttons and a few gates
inline constexpr qint64 PictureBytes = 32 * MiB;     // a controller picture
inline constexpr qint64 DocumentBytes = 64 * MiB;    // an exchange document, file or clipboard
inline constexpr qint64 PicturePixels = 4096 * 4096; // decoded pictures, 64 MiB as ARGB32
// A file copied with a definition folder (relocation): the largest kind above.
inline constexpr qint64 CopiedFileBytes = DocumentBytes;
} // namespace Limits

// The member as a plain file name of the folder: not empty, not "." or "..", without "/", "\" or
// NUL. Anything else (an absolute path, "../x", "sub/x") gives the fallback.
QString plainName(const QString& member, QLatin1String fallback);
// folder / plainName(member, fallback).
QString pathIn(const QString& folder, const QString& member, QLatin1String fallback);
// folder / name for a name read from a folder or a file. Unlike QDir::filePath, a name starting
// with ":" stays below the folder instead of becoming a Qt resource path (or, for writers, a path
// relative to the working folder).
QString child(const QString& folder, const QString& name);

enum class Read
{
    Ok,
    Missing,    // nothing at the path
    NotRegular, // a symlink (unless followed), a folder, a FIFO, a device, a socket
    TooLarge,   // larger than the cap, found before reading
    Failed      // any other error of open or read
};

enum class Links
{
    Refuse, // files a folder names: a symlink is not the folder's file
    Follow  // a file the user chose in a dialog
};

// Reads a whole regular file of at most maxBytes. Opened without blocking (a FIFO never waits for
// a writer) and checked by its open descriptor, so what is read is what was checked; a file that
// grows past the cap while it is read is refused too.
// systemError receives the system's text of a Failed read.
Read readFile(const QString& path, qint64 maxBytes, QByteArray* bytes, Links links = Links::Refuse,
              QString* systemError = nullptr);

// The identity of one version of a file or folder: any write, replacement or removal changes it,
// and a folder's changes with every entry created, removed or renamed in it.
struct Stamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    bool operator==(const Stamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs &&
               changedNs == o.changedNs;
    }
    bool operator!=(const Stamp& o) const { return !(*this == o); }
};

enum class Kind
{
    Any,
    Regular,
    Folder
};

// The stamp of what is at path, not through a symlink: false, and an empty stamp, when nothing is
// there or it is not of that kind. stampAt reads a path relative to an open folder.
bool stampOf(const QString& path, Stamp* stamp, Kind kind = Kind::Any);
bool stampAt(int folderFd, const QByteArray& relative, Stamp* stamp, Kind kind = Kind::Any);

// A regular file, not through a symlink.
bool isRegularFile(const QString& path);
// A writer may replace what is at path: nothing (or nothing reachable), or a regular file that is
// no symlink.
// QSaveFile writes through a symlink to its target, and a FIFO or device must never be opened.
bool mayReplace(const QString& path);

} // namespace FolderFiles
