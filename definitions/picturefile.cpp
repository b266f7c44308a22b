#include "picturefile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <list>

namespace {

using FolderFiles::Limits::PicturePixels;

// A reader that uses only the handler of the bytes' own format: no guess from a suffix, no other
// plugin trying its luck.
bool openReader(QBuffer* buffer, QImageReader* reader, const QByteArray& bytes)
{
    const QByteArray format = PictureFile::formatOf(bytes);
    if (format.isEmpty())
        return false;
    buffer->setData(bytes);
    if (!buffer->open(QIODevice::ReadOnly))
        return false;
    reader->setAutoDetectImageFormat(false);
    reader->setFormat(format);
    reader->setDevice(buffer);
    return true;
}

bool withinLimit(const QSize& size)
{
    return size.isValid() && !size.isEmpty() && qint64(size.width()) * size.height() <= PicturePixels;
}

struct Kept
{
    QString path;
    FolderFiles::Stamp stamp;
    QByteArray bytes; // the file as read, when small enough to be compared with another one's
    QPixmap pixmap;
};

// The last few pictures: one editor, one linker and a handful of device cards show at most a few
// at a time, and each may weigh up to 64 MiB decoded.
constexpr std::size_t kKept = 6;
std::list<Kept> g_kept; // most recent first
int g_decodes = 0;

// Definitions made by new or duplicate carry their picture byte for byte, so many folders of a
// library hold the same file: a picture whose bytes were decoded recently under another path is
// not decoded again. Files up to this size are kept for the comparison (a controller photo is a
// few hundred KiB; the decoded picture weighs far more than its file anyway).
constexpr qsizetype kComparedBytes = 4 * 1024 * 1024;

struct Thumb
{
    QByteArray bytes;
    QSize box;
    QImage image;
};
constexpr std::size_t kThumbs = 32; // a screenful of library rows, about 70 KiB each
std::list<Thumb> g_thumbs;          // most recent first

} // namespace

namespace PictureFile {

QByteArray formatOf(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (bytes.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (bytes.startsWith("BM"))
        return "bmp";
    return {};
}

QSize sizeOf(const QByteArray& bytes)
{
    QBuffer buffer;
    QImageReader reader;
    if (!openReader(&buffer, &reader, bytes))
        return {};
    return reader.size();
}

QImage decode(const QByteArray& bytes, const QSize& scaledTo)
{
    QBuffer buffer;
    QImageReader reader;
    if (!openReader(&buffer, &reader, bytes) || !withinLimit(reader.size()))
        return {};
    if (scaledTo.isValid() && !scaledTo.isEmpty())
        reader.setScaledSize(scaledTo);
    return reader.read();
}

QImage read(const QString& path, const QSize& scaledTo, FolderFiles::Links links)
{
    QByteArray bytes;
    if (FolderFiles::readFile(path, FolderFiles::Limits::PictureBytes, &bytes, links) !=
        FolderFiles::Read::Ok)
        return {};
    return decode(bytes, scaledTo);
}

QSize size(const QString& path)
{
    QByteArray bytes;
    if (FolderFiles::readFile(path, FolderFiles::Limits::PictureBytes, &bytes) != FolderFiles::Read::Ok)
        return {};
    return sizeOf(bytes);
}

QImage thumbnail(const QString& path, const QSize& box)
{
    QByteArray bytes;
    if (FolderFiles::readFile(path, FolderFiles::Limits::PictureBytes, &bytes) != FolderFiles::Read::Ok)
        return {};
    for (auto it = g_thumbs.begin(); it != g_thumbs.end(); ++it) {
        if (it->box == box && it->bytes == bytes) {
            g_thumbs.splice(g_thumbs.begin(), g_thumbs, it);
            return it->image;
        }
    }
    const QSize full = sizeOf(bytes);
    const QImage image = full.isValid() ? decode(bytes, full.scaled(box, Qt::KeepAspectRatio)) : QImage();
    if (bytes.size() <= kComparedBytes) {
        g_thumbs.push_front({bytes, box, image});
        if (g_thumbs.size() > kThumbs)
            g_thumbs.pop_back();
    }
    return image;
}

QPixmap pixmap(const QString& path)
{
    if (path.isEmpty() || path.startsWith(u':'))
        return {};
    FolderFiles::Stamp stamp;
    FolderFiles::stampOf(path, &stamp);
    for (auto it = g_kept.begin(); it != g_kept.end(); ++it) {
        if (it->path == path && it->stamp == stamp) {
            g_kept.splice(g_kept.begin(), g_kept, it);
            return g_kept.front().pixmap;
        }
    }
    QByteArray bytes;
    const bool readable =
        FolderFiles::readFile(path, FolderFiles::Limits::PictureBytes, &bytes) == FolderFiles::Read::Ok;
    const bool compared = readable && bytes.size() <= kComparedBytes;
    const auto same = std::find_if(g_kept.begin(), g_kept.end(), [&](const Kept& kept) {
        return compared && !kept.bytes.isEmpty() && kept.bytes == bytes;
    });
    QPixmap shown;
    if (same != g_kept.end()) {
        shown = same->pixmap;
    } else {
        ++g_decodes;
        shown = QPixmap::fromImage(readable ? decode(bytes) : QImage());
    }
    g_kept.remove_if([&path](const Kept& kept) { return kept.path == path; });
    g_kept.push_front({path, stamp, compared ? bytes : QByteArray(), shown});
    if (g_kept.size() > kKept)
        g_kept.pop_back();
    return g_kept.front().pixmap;
}

QPixmap fitted(const QString& path, const QSize& size)
{
    const QPixmap full = pixmap(path);
    if (full.isNull() || (full.width() <= size.width() && full.height() <= size.height()))
        return full;
    return full.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

int decodeCount()
{
    return g_decodes;
}

} // namespace PictureFile
