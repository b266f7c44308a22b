#include "imagestore.h"

#include <QBuffer>
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

    // Encoded in memory first: the encoders handle a failing device by jumping out of their own
    // code, which leaks what they had allocated. The bytes then go through a save file, so a failed
    // write keeps the previous picture.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, formatForSuffix(target));
    QString writeError;
    if (writer.write(image)) {
        QSaveFile file(target);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return true;
        writeError = file.errorString();
    } else {
        writeError = writer.errorString();
    }
    if (error)
        *error = QCoreApplication::translate("GamepadDefinder", "Échec écriture image %1 (%2)")
                     .arg(target, writeError);
    return false;
}

} // namespace ImageStore
