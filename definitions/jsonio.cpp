#include "jsonio.h"

#include <QCoreApplication>
#include <QFile>
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
    NotAnObject
};

QString message(JsonIo::Language language, Message which)
{
    if (language == JsonIo::Language::English) {
        static const char* const english[] = {
            "Cannot open %1",      "Invalid JSON in %1 (%2)",   "Cannot write %1",
            "Write failed for %1", "Commit failed for %1 (%2)", "not an object"};
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
    };
    return QCoreApplication::translate("GamepadDefinder", french[which]);
}

} // namespace

namespace JsonIo {

QJsonObject readJsonObject(const QString& path, bool* ok, QString* error, Language language)
{
    if (ok)
        *ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = message(language, CannotOpen).arg(path);
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
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
