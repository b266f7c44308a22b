#include "mappingfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace MappingFile {

Bridge::Mode parseMode(const QString& text)
{
    QString t = text.trimmed().toLower();
    t.remove(QLatin1Char('_'));
    if (t == QLatin1String("activeonly"))
        return Bridge::Mode::ActiveOnly;
    if (t == QLatin1String("always"))
        return Bridge::Mode::Always;
    return Bridge::Mode::OnChange;
}

QString modeText(Bridge::Mode mode)
{
    switch (mode) {
    case Bridge::Mode::ActiveOnly:
        return QStringLiteral("activeOnly");
    case Bridge::Mode::Always:
        return QStringLiteral("always");
    case Bridge::Mode::OnChange:
        break;
    }
    return QStringLiteral("onChange");
}

QList<Bridge> bridges(const QJsonObject& mapping)
{
    QList<Bridge> out;
    const QJsonArray list = mapping.value(QLatin1String("bridges")).toArray();
    for (const QJsonValue& value : list) {
        const QJsonObject o = value.toObject();
        Bridge b;
        b.key = o.value(QLatin1String("src"))
                    .toObject()
                    .value(QLatin1String("stringKey"))
                    .toString()
                    .trimmed()
                    .toLower();
        b.joyXKey = o.value(QLatin1String("joyXKey")).toString().trimmed().toLower();
        b.joyYKey = o.value(QLatin1String("joyYKey")).toString().trimmed().toLower();
        b.groupKey = o.value(QLatin1String("publishGroupKey")).toString().trimmed();
        b.mode = parseMode(o.value(QLatin1String("publishMode")).toString());
        b.action = o.value(QLatin1String("action")).toString().trimmed();
        b.args = o.value(QLatin1String("args")).toObject();
        if (b.action.isEmpty()) {
            for (const QJsonValue& d : o.value(QLatin1String("dst")).toArray()) {
                const QJsonObject dst = d.toObject();
                QString name = dst.value(QLatin1String("ref")).toString().trimmed();
                if (name.isEmpty())
                    name = dst.value(QLatin1String("action")).toString().trimmed();
                if (name.isEmpty())
                    continue;
                b.action = name;
                if (b.args.isEmpty())
                    b.args = dst.value(QLatin1String("args")).toObject();
                break;
            }
        }
        if ((b.key.isEmpty() && !b.isCombined()) || b.action.isEmpty() ||
            b.action.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
            continue;
        out.append(b);
    }
    return out;
}

bool read(const QString& path, QList<Bridge>* out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("%1 is not a JSON object (%2)").arg(path, parseError.errorString());
        return false;
    }
    *out = bridges(doc.object());
    return true;
}

} // namespace MappingFile
