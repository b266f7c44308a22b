#include "imagestore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
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

} // namespace

namespace ImageStore {

bool storeImage(const QString& source, const QString& target, QString* error)
{
    QImageReader reader(source);
    const QImage image = reader.read();
    if (image.isNull()) {
        // Storing a file onto itself: removing the target would lose it.
        if (QFileInfo(source).absoluteFilePath() == QFileInfo(target).absoluteFilePath() &&
            QFileInfo(source).isFile())
            return true;
        QFile::remove(target);
        if (!QFile::copy(source, target)) {
            if (error)
                *error =
                    QCoreApplication::translate("GamepadDefinder", "Impossible de copier l’image %1 vers %2")
                        .arg(source, target);
            return false;
        }
        return true;
    }

    // Written through a save file so a failed write keeps the previous picture.
    QSaveFile file(target);
    QString writeError;
    // Unbuffered so the encoder sees a short write instead of a commit that keeps a truncated file.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
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
        *error = QCoreApplication::translate("GamepadDefinder", "Échec écriture image %1 (%2)")
                     .arg(target, writeError);
    return false;
}

} // namespace ImageStore
