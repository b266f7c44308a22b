#include "imagestore.h"

#include "jsonio.h"
#include "picturefile.h"

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

    // Written through a save file so a failed write keeps the previous picture.
    QSaveFile file(target);
    QString writeError;
    // Unbuffered so the encoder sees a short write instead of a commit that keeps a truncated file.
    if (!FolderFiles::mayReplace(target)) {
        writeError = tr("Impossible d’écrire %1").arg(target);
    } else if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        QImageWriter writer(&file, formatForSuffix(target));
        if (writer.write(image)) {
            if (file.commit())
                return true;
            writeError = file.errorString();
        } else {
            writeError = writer.errorString();
            file.cancelWriting();
        }
    } else {
        writeError = file.errorString();
    }
    if (error)
        *error = tr("Échec écriture image %1 (%2)").arg(target, writeError);
    return false;
}

} // namespace ImageStore
