// The host's action catalog ({"sharedActionCatalog": [...]} or the bare array): readCatalog over
// the input, sorted and shown as the action choice shows it; then every action's binding made
// from its defaults, shown in the parameter fields and made again from what they show, twice.
#include "fuzzchecks.h"

#include "actioncatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace FuzzChecks {

namespace {

// What the fields of the action parameter editor show for a binding.
QStringList fieldTexts(const ActionCatalog::ActionDescriptor& action, const QJsonObject& binding)
{
    QStringList texts;
    const QJsonObject args = binding.value(QStringLiteral("args")).toObject();
    for (const ActionCatalog::ParameterDescriptor& parameter : action.parameters)
        texts.append(ActionCatalog::argumentText(args.value(parameter.name)));
    return texts;
}

} // namespace

QString actionCatalog(const QByteArray& input)
{
    const QJsonDocument document = QJsonDocument::fromJson(input);
    const QJsonArray catalog = document.isArray()
                                   ? document.array()
                                   : document.object().value(QStringLiteral("sharedActionCatalog")).toArray();
    const QVector<ActionCatalog::ActionDescriptor> actions = ActionCatalog::readCatalog(catalog);
    QSet<QString> names;
    for (const ActionCatalog::ActionDescriptor& action : actions) {
        if (action.name.isEmpty() || names.contains(action.name.toLower()))
            return QStringLiteral("an empty or repeated action name was kept: \"%1\"").arg(action.name);
        names.insert(action.name.toLower());
        QSet<QString> parameters;
        for (const ActionCatalog::ParameterDescriptor& parameter : action.parameters) {
            if (parameter.name.isEmpty() || parameters.contains(parameter.name))
                return QStringLiteral("%1: an empty or repeated parameter was kept").arg(action.name);
            parameters.insert(parameter.name);
        }
        ActionCatalog::displayText(action);

        const QJsonObject first = ActionCatalog::makeBinding(action, {});
        const QJsonObject second = ActionCatalog::makeBinding(action, fieldTexts(action, first));
        const QJsonObject third = ActionCatalog::makeBinding(action, fieldTexts(action, second));
        // Unquoting an expression takes one level of backslashes off each time it is shown, so an
        // argument is stable only once its text no longer changes by it.
        const QJsonObject secondArgs = second.value(QStringLiteral("args")).toObject();
        const QJsonObject thirdArgs = third.value(QStringLiteral("args")).toObject();
        for (const ActionCatalog::ParameterDescriptor& parameter : action.parameters) {
            const QJsonValue kept = secondArgs.value(parameter.name);
            if (kept.isString() && ActionCatalog::unquoteExpression(kept.toString()) != kept.toString())
                continue;
            if (kept != thirdArgs.value(parameter.name))
                return compareBytes(qPrintable(action.name + QStringLiteral(" binding")),
                                    QJsonDocument(second).toJson(QJsonDocument::Compact),
                                    QJsonDocument(third).toJson(QJsonDocument::Compact));
        }
    }
    QVector<ActionCatalog::ActionDescriptor> sorted = actions;
    ActionCatalog::sortByGroupAndTitle(&sorted);
    if (sorted.size() != actions.size())
        return QStringLiteral("sorting changed the number of actions");
    return {};
}

} // namespace FuzzChecks
