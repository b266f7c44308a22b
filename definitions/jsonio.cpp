#include "jsonio.h"

#include "folderfiles.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

namespace {

enum Message
{
    CannotOpen,
    InvalidJson,
    CannotWrite,
    Incomplete,
    CommitFailed,
    NotAnObject,
    TooLarge
};

QString message(JsonIo::Language language, Message which)
{
    if (language == JsonIo::Language::English) {
        static const char* const english[] = {"Cannot open %1",
                                              "Invalid JSON in %1 (%2)",
                                              "Cannot write %1",
                                              "Write failed for %1",
                                              "Commit failed for %1 (%2)",
                                              "not an object",
                                              "File too large: %1 (over %2 MiB)"};
        return QString::fromLatin1(english[which]);
    }
    // Shown by the definition editor; translated in its context.
    static const char* const french[] = {
        QT_TRANSLATE_NOOP("GamepadDefinder", "Impossible d’ouvrir %1"),
        QT_TRANSLATE_NOOP("GamepadDefinder", "JSON invalide dans %1 (%2)"),
        QT_TRANSLATE_NOOP("GamepadDefinder", "Impossible d’écrire %1"),
        QT_TRANSLATE_NOOP("GamepadDefinder", "Écriture incomplète dans %1"),
        QT_TRANSLATE_NOOP("GamepadDefinder", "Impossible de valider l’écriture de %1 (%2)"),
        QT_TRANSLATE_NOOP("GamepadDefinder", "le document n’est pas un objet"),
        QT_TRANSLATE_NOOP("GamepadDefinder", "Fichier trop volumineux : %1 (plus de %2 Mio)"),
    };
    return QCoreApplication::translate("GamepadDefinder", french[which]);
}

} // namespace

namespace JsonIo {

QJsonObject readJsonObject(const QString& path, bool* ok, QString* error, Language language, qint64 maxBytes)
{
    if (ok)
        *ok = false;
    QByteArray bytes;
    const FolderFiles::Read read = FolderFiles::readFile(path, maxBytes, &bytes);
    if (read != FolderFiles::Read::Ok) {
        if (error)
            *error = read == FolderFiles::Read::TooLarge
                         ? message(language, TooLarge)
                               .arg(path, QString::number(maxBytes / FolderFiles::Limits::MiB))
                         : message(language, CannotOpen).arg(path);
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        const QString reason = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                            : message(language, NotAnObject);
        if (error)
            *error = message(language, InvalidJson).arg(path, reason);
        return {};
    }
    if (ok)
        *ok = true;
    return doc.object();
}

bool writeAll(QFileDevice& file, const QByteArray& bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error, Language language)
{
    QSaveFile file(path);
    // A save file writes through a symlink to its target, and opens a FIFO or device to "replace" it.
    if (!FolderFiles::mayReplace(path) || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = message(language, CannotWrite).arg(path);
        return false;
    }
    if (!writeAll(file, bytes)) {
        file.cancelWriting();
        if (error)
            *error = message(language, Incomplete).arg(path);
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = message(language, CommitFailed).arg(path, file.errorString());
        return false;
    }
    return true;
}

bool writeJsonAtomically(const QString& path, const QJsonObject& object, QString* error, bool indented,
                         Language language)
{
    const QByteArray bytes =
        QJsonDocument(object).toJson(indented ? QJsonDocument::Indented : QJsonDocument::Compact);
    return writeBytesAtomically(path, bytes, error, language);
}

} // namespace JsonIo
