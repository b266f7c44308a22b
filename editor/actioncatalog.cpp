#include "actioncatalog.h"

#include <QCollator>
#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ActionCatalog {

namespace {

const QString kRef = QStringLiteral("ref");
const QString kAction = QStringLiteral("action");
const QString kArgs = QStringLiteral("args");

bool isDecimalInteger(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    return pattern.match(text).hasMatch();
}

} // namespace

QString noGroupName()
{
    return QCoreApplication::translate("ActionCatalog", "Sans groupe");
}

QString normalizedType(const QString& preferredType)
{
    const QString type = preferredType.trimmed().toLower();
    if (type == QLatin1String("integer") || type == QLatin1String("int32") || type == QLatin1String("int64"))
        return QStringLiteral("int");
    if (type == QLatin1String("double") || type == QLatin1String("float") || type == QLatin1String("number"))
        return QStringLiteral("double");
    if (type == QLatin1String("boolean") || type == QLatin1String("bool"))
        return QStringLiteral("bool");
    if (type.isEmpty())
        return QStringLiteral("string");
    return type;
}

QString defaultText(const QJsonValue& value, const QString& type)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        if (type == QLatin1String("bool"))
            return QStringLiteral("false");
        if (type == QLatin1String("int"))
            return QStringLiteral("0");
        if (type == QLatin1String("double"))
            return QStringLiteral("0.0");
        return QString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (type == QLatin1String("int")) {
            // Clamped so a huge default cannot overflow the conversion; the largest qint64 rounds
            // up to 2^63 as a double, itself out of range, so the limit is the double below it.
            const double limit = std::nextafter(double(std::numeric_limits<qint64>::max()), 0.0);
            return QString::number(qint64(std::round(std::clamp(number, -limit, limit))));
        }
        return QString::number(number, 'g', 6);
    }
    case QJsonValue::String:
        return value.toString();
    default:
        return QString();
    }
}

ParameterDescriptor readParameter(const QJsonObject& parameter)
{
    ParameterDescriptor out;
    out.name = parameter.value(QStringLiteral("name")).toString().trimmed();
    QString preferred = parameter.value(QStringLiteral("preferredType")).toString();
    // The host's older catalogs spell the key with one "r".
    if (preferred.trimmed().isEmpty())
        preferred = parameter.value(QStringLiteral("preferedType")).toString();
    out.type = normalizedType(preferred);
    out.defaultText = defaultText(parameter.value(QStringLiteral("default")), out.type);
    return out;
}

QVector<ActionDescriptor> readCatalog(const QJsonArray& catalog)
{
    QVector<ActionDescriptor> actions;
    actions.reserve(catalog.size());
    QSet<QString> seen;
    for (const QJsonValue& entry : catalog) {
        if (!entry.isObject())
            continue;
        const QJsonObject object = entry.toObject();
        if (object.value(QStringLiteral("hidden")).toBool())
            continue;
        ActionDescriptor action;
        action.name = object.value(QStringLiteral("name")).toString().trimmed();
        if (action.name.isEmpty() || seen.contains(action.name.toLower()))
            continue;
        seen.insert(action.name.toLower());
        action.label = object.value(QStringLiteral("label")).toString().trimmed();
        action.group = object.value(QStringLiteral("group")).toString().trimmed();
        action.deviceType = object.value(QStringLiteral("deviceType")).toString().trimmed();
        QSet<QString> parameterNames;
        const QJsonArray params = object.value(QStringLiteral("params")).toArray();
        for (const QJsonValue& param : params) {
            if (!param.isObject())
                continue;
            ParameterDescriptor parameter = readParameter(param.toObject());
            // A nameless or repeated parameter has no argument slot of its own.
            if (parameter.name.isEmpty() || parameterNames.contains(parameter.name))
                continue;
            parameterNames.insert(parameter.name);
            action.parameters.append(parameter);
        }
        actions.append(action);
    }
    return actions;
}

void sortByGroupAndTitle(QVector<ActionDescriptor>* actions)
{
    // Sort keys are computed once per entry: a collator comparison per pair is far slower on
    // catalogs of thousands of actions.
    QCollator collator{QLocale()};
    struct Keyed
    {
        QCollatorSortKey group;
        QCollatorSortKey title;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(actions->size()));
    for (qsizetype i = 0; i < actions->size(); ++i) {
        const ActionDescriptor& action = actions->at(i);
        const QString group = action.group.isEmpty() ? noGroupName() : action.group;
        keyed.push_back(Keyed{collator.sortKey(group), collator.sortKey(title(action)), i});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int byGroup = a.group.compare(b.group);
        return byGroup != 0 ? byGroup < 0 : a.title.compare(b.title) < 0;
    });
    QVector<ActionDescriptor> sorted;
    sorted.reserve(actions->size());
    for (const Keyed& k : keyed)
        sorted.append(std::move((*actions)[k.index]));
    *actions = std::move(sorted);
}

QString title(const ActionDescriptor& action)
{
    return action.label.isEmpty() ? action.name : action.label;
}

QString displayText(const ActionDescriptor& action)
{
    // Appended piece by piece: this runs for every action of catalogs thousands long.
    QString text =
        action.group.isEmpty() ? title(action) : action.group + QLatin1String(" / ") + title(action);
    if (action.parameters.isEmpty())
        return text;
    text += QLatin1Char('(');
    for (qsizetype i = 0; i < action.parameters.size(); ++i) {
        const ParameterDescriptor& p = action.parameters.at(i);
        if (i > 0)
            text += QLatin1String(", ");
        text += p.type + QLatin1Char(' ') + p.name;
        if (p.defaultText.isEmpty())
            continue;
        text += QLatin1String(" = ");
        if (p.type == QLatin1String("string"))
            text += QLatin1Char('"') + p.defaultText + QLatin1Char('"');
        else
            text += p.defaultText;
    }
    text += QLatin1Char(')');
    return text;
}

QString unquoteExpression(const QString& text)
{
    if (!text.contains(QLatin1String("transform(")) && !text.contains(QLatin1String("state(")))
        return text;
    QString out = text;
    out.replace(QLatin1String("\\\\\""), QLatin1String("\""));
    out.replace(QLatin1String("\\\""), QLatin1String("\""));
    return out;
}

QString argumentText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return unquoteExpression(value.toString());
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::abs(number) < 9.0e15)
            return QString::number(qint64(number));
        return QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    default:
        return QString();
    }
}

namespace {

// Placeholders and expressions the host resolves at run time, whatever the parameter's type.
bool resolvedByHost(const QString& text)
{
    return text == QLatin1String("arg_0") || text == QLatin1String("arg_1") ||
           text.startsWith(QLatin1String("param:")) || text.startsWith(QLatin1String("transform(")) ||
           text.contains(QLatin1String("state("));
}

} // namespace

QJsonValue typedArgument(const QString& rawText, const QString& type)
{
    const QString text = unquoteExpression(rawText);
    if (resolvedByHost(text))
        return text;
    if (type == QLatin1String("bool")) {
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
            return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
            return false;
        return text;
    }
    if (type == QLatin1String("int")) {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok, 10);
        return ok && isDecimalInteger(text) ? QJsonValue(number) : QJsonValue(text);
    }
    if (type == QLatin1String("double")) {
        bool ok = false;
        const double number = text.toDouble(&ok);
        return ok && std::isfinite(number) ? QJsonValue(number) : QJsonValue(text);
    }
    return text;
}

QString argumentProblem(const QString& rawText, const QString& type)
{
    const QString text = unquoteExpression(rawText.trimmed());
    if (text.isEmpty() || resolvedByHost(text) || !typedArgument(text, type).isString())
        return {};
    if (type == QLatin1String("bool"))
        return QCoreApplication::translate("ActionToolBox", "Attendu : true ou false (ou 1, 0).");
    if (type == QLatin1String("int"))
        return QCoreApplication::translate("ActionToolBox", "Attendu : un nombre entier.");
    if (type == QLatin1String("double"))
        return QCoreApplication::translate("ActionToolBox", "Attendu : un nombre (point décimal).");
    return {};
}

QString bindingActionName(const QJsonObject& binding)
{
    const QString ref = binding.value(kRef).toString().trimmed();
    return ref.isEmpty() ? binding.value(kAction).toString().trimmed() : ref;
}

bool isNoActionName(const QString& name)
{
    const QString trimmed = name.trimmed();
    return trimmed.isEmpty() || trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
}

QJsonObject makeBinding(const ActionDescriptor& action, const QStringList& fieldTexts)
{
    QJsonObject args;
    for (qsizetype i = 0; i < action.parameters.size(); ++i) {
        const ParameterDescriptor& p = action.parameters.at(i);
        QString text = i < fieldTexts.size() ? fieldTexts.at(i).trimmed() : QString();
        if (text.isEmpty())
            text = p.defaultText;
        args.insert(p.name, typedArgument(text, p.type));
    }
    return QJsonObject{{kRef, action.name}, {kAction, action.name}, {kArgs, args}};
}

} // namespace ActionCatalog
