#pragma once

#include "folderfiles.h"

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

// Controller pictures, which come with definitions from anyone. Only PNG, JPEG and BMP are decoded
// (told by their bytes, whatever the file is called), never more than
// FolderFiles::Limits::PicturePixels, and never from a file the folder rules refuse; every other
// image plugin of the host (SVG, TIFF, ...) is kept away from stranger bytes. Every view of a
// definition picture goes through here.
namespace PictureFile {

// "png", "jpeg" or "bmp" by the bytes' signature; empty for anything else.
QByteArray formatOf(const QByteArray& bytes);
// Width and height from the header of an allowed picture; invalid otherwise.
QSize sizeOf(const QByteArray& bytes);
// The decoded picture, at scaledTo when that is valid; null when the format is not allowed, the
// header claims more pixels than the limit, or the bytes do not decode.
QImage decode(const QByteArray& bytes, const QSize& scaledTo = QSize());

// The same from a file of at most FolderFiles::Limits::PictureBytes ("" and unreadable files give
// a null image). links: Follow only for a file the user chose in a dialog.
QImage read(const QString& path, const QSize& scaledTo = QSize(),
            FolderFiles::Links links = FolderFiles::Links::Refuse);
QSize size(const QString& path);
// Decoded straight to a size that fits box, keeping the aspect (JPEG decodes at that size).
QImage thumbnail(const QString& path, const QSize& box);

// The picture at path as a pixmap, decoded once per version of the file (same inode, size and
// times) and shared by every view that shows it: the editor, snapshots, the action linker, the
// device cards. A refused picture is remembered too, as a null pixmap. A resource path (":/...",
// the host's own pictures) gives a null pixmap: callers keep QIcon for those. GUI thread only.
QPixmap pixmap(const QString& path);
// pixmap(path) scaled down to fit size (never up), as QIcon::pixmap fits a file's picture.
QPixmap fitted(const QString& path, const QSize& size);

// Pictures decoded so far by pixmap() (a check for tests and benchmarks).
int decodeCount();

} // namespace PictureFile
