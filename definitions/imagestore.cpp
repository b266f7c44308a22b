#include "imagestore.h"

#include "jsonio.h"
#include "picturefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

namespace {

QByteArray formatForSuffix(const QString& target)
{
    const QString suffix = QFileInfo(target).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "jpeg";
    if (suffix == QLatin1String("bmp"))
        return "bmp";
    return "png";
}

QString tr(const char* text)
{
    return QCoreApplication::translate("GamepadDefinder", text);
}

} // namespace

namespace ImageStore {

bool storeImage(const QString& source, const QString& target, QString* error, FolderFiles::Links links)
{
    const auto copyFailed = [&] {
        if (error)
            *error = tr("Impossible de copier l’image %1 vers %2").arg(source, target);
        return false;
    };
    // Storing a file onto itself: it is already there.
    if (QFileInfo(source).absoluteFilePath() == QFileInfo(target).absoluteFilePath() &&
        FolderFiles::isRegularFile(source))
        return true;
    QByteArray bytes;
    if (FolderFiles::readFile(source, FolderFiles::Limits::PictureBytes, &bytes, links) !=
        FolderFiles::Read::Ok)
        return copyFailed();

    QByteArray encoded;
    QString writeError;
    const QByteArray format = formatForSuffix(target);
    if (PictureFile::formatOf(bytes) == format) {
        // Already in the target's format: kept byte for byte. Re-encoding it would cost the GUI
        // thread a decode and an encode (a duplicate, a new definition) and change nothing shown.
        encoded = bytes;
    } else {
        const QImage image = PictureFile::decode(bytes);
        if (image.isNull())
            return JsonIo::writeBytesAtomically(target, bytes) || copyFailed();
        // Encoded in memory first: the encoders handle a failing device by jumping out of their
        // own code, which leaks what they had allocated.
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(image))
            writeError = writer.errorString();
    }
    // Through a save file, unbuffered and checked write by write, so a failed write keeps the
    // previous picture.
    if (writeError.isEmpty() && JsonIo::writeBytesAtomically(target, encoded, &writeError))
        return true;
    if (error)
        *error = tr("Échec écriture image %1 (%2)").arg(target, writeError);
    return false;
}

} // namespace ImageStore
