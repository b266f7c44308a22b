#include "imagestore.h"

#include "jsonio.h"
#include "picturefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

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
    const QImage image = PictureFile::decode(bytes);
    if (image.isNull())
        return JsonIo::writeBytesAtomically(target, bytes) || copyFailed();

    // Encoded in memory first: the encoders handle a failing device by jumping out of their own
    // code, which leaks what they had allocated. The bytes then go through a save file, so a failed
    // write keeps the previous picture.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, formatForSuffix(target));
    QString writeError;
    if (!FolderFiles::mayReplace(target)) {
        writeError = tr("Impossible d’écrire %1").arg(target);
    } else if (!writer.write(image)) {
        writeError = writer.errorString();
    } else {
        QSaveFile file(target);
        if (file.open(QIODevice::WriteOnly) && file.write(encoded) == encoded.size() && file.commit())
            return true;
        writeError = file.errorString();
    }
    if (error)
        *error = tr("Échec écriture image %1 (%2)").arg(target, writeError);
    return false;
}

} // namespace ImageStore
