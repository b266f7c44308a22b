#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

// The host's action catalog as the editors read it, and the typing rules that turn the texts of an
// action's parameter fields into the typed arguments of a binding ({"ref", "action", "args"}).
// Widget-free: the catalog comes from the host and may be malformed, so every reader here takes
// any JSON and falls back to defaults instead of failing.
namespace ActionCatalog {

struct ParameterDescriptor
{
    QString name;
    QString type;        // "int", "double", "bool", "string" or the host's own lower-cased word
    QString defaultText; // what an empty field stands for
};

struct ActionDescriptor
{
    QString name;  // trimmed, never empty
    QString label; // may be empty: the name is shown then
    QString group; // trimmed, may be empty
    QString deviceType;
    QVector<ParameterDescriptor> parameters;
};

// Group name shown for actions without one.
QString noGroupName();

// "integer", "int32", "int64" -> "int"; "double", "float", "number" -> "double"; "boolean", "bool"
// -> "bool"; empty -> "string"; any other word lower-cased.
QString normalizedType(const QString& preferredType);
// The text an empty field stands for, from the parameter's "default" value.
QString defaultText(const QJsonValue& value, const QString& type);
ParameterDescriptor readParameter(const QJsonObject& parameter);

// The visible actions of a catalog, in catalog order: non-object entries, hidden entries and
// entries without a name are skipped, and so is a later entry repeating a name (ignoring case).
// Parameters without a name or repeating one are skipped too.
QVector<ActionDescriptor> readCatalog(const QJsonArray& catalog);
// Stable sort by group ("Sans groupe" when empty), then by title, both locale-aware.
void sortByGroupAndTitle(QVector<ActionDescriptor>* actions);

QString title(const ActionDescriptor& action);
// "Group / Title(type name = default, ...)": what the action choice shows.
QString displayText(const ActionDescriptor& action);

// Expressions ("transform(...)", "state(...)") arrive with escaped quotes; they are shown and
// stored with plain ones.
QString unquoteExpression(const QString& text);
// The text shown in a parameter field for an argument value (empty for a value it cannot show).
QString argumentText(const QJsonValue& value);
// The argument for a field text (already trimmed; the default text when the field is empty).
QJsonValue typedArgument(const QString& text, const QString& type);
// What a field of that type must hold when typedArgument cannot make it a value of the type (a
// "bool" field holding "oui"); empty when the text is fine (empty, an expression or "arg_0").
QString argumentProblem(const QString& text, const QString& type);

// The action a binding names: "ref" trimmed, else "action" as a trimmed string.
QString bindingActionName(const QJsonObject& binding);
// True for the names that mean "no action": empty or "none" in any case.
bool isNoActionName(const QString& name);
// {"ref": name, "action": name, "args": {...}}; fieldTexts holds one text per parameter (missing
// or empty ones take the parameter's default text).
QJsonObject makeBinding(const ActionDescriptor& action, const QStringList& fieldTexts);

} // namespace ActionCatalog
