#include "jsonio.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

namespace {
QString tr(const char* text)
{
    // Shown by the definition editor; translated in its context.
    return QCoreApplication::translate("GamepadDefinder", text);
}
} // namespace

namespace JsonIo {

QJsonObject readJsonObject(const QString& path, bool* ok, QString* error)
{
    if (ok)
        *ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = tr("Impossible d’ouvrir %1").arg(path);
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        const QString reason = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                            : QStringLiteral("not an object");
        if (error)
            *error = tr("JSON invalide dans %1 (%2)").arg(path, reason);
        return {};
    }
    if (ok)
        *ok = true;
    return doc.object();
}

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = tr("Impossible d’écrire %1").arg(path);
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        if (error)
            *error = tr("Écriture incomplète dans %1").arg(path);
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = tr("Impossible de valider l’écriture de %1 (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool writeJsonAtomically(const QString& path, const QJsonObject& object, QString* error, bool indented)
{
    const QByteArray bytes =
        QJsonDocument(object).toJson(indented ? QJsonDocument::Indented : QJsonDocument::Compact);
    return writeBytesAtomically(path, bytes, error);
}

} // namespace JsonIo
