#pragma once

// Dialogs answered by a script instead of a person, for the editors' tests and the sequence
// check: every dialog is recorded as "kind|title|text"; answers come from the queue, then from the
// fallback when one is set (null = cancel).
#include "editordialogs.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVariant>

#include <functional>

class ScriptedDialogs : public EditorDialogs
{
public:
    QStringList shown;
    QVariantList answers; // text, item, file names or a bool for questions; null = cancel
    // Asked with the dialog's kind ("question", "text", "item", "open", "save", "folder") once the
    // queue is empty.
    std::function<QVariant(const QString& kind)> fallback;

    void information(QWidget*, const QString& title, const QString& text) override
    {
        record("information", title, text);
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        record("warning", title, text);
    }
    void critical(QWidget*, const QString& title, const QString& text) override
    {
        record("critical", title, text);
    }
    bool question(QWidget*, const QString& title, const QString& text) override
    {
        record("question", title, text);
        return next("question").toBool();
    }
    bool getText(QWidget*, const QString& title, const QString& label, const QString& text,
                 QString* answer) override
    {
        record("text", title, label + "=" + text);
        return give("text", answer);
    }
    bool getItem(QWidget*, const QString& title, const QString& label, const QStringList& items, int current,
                 QString* answer) override
    {
        record("item", title, label + "=" + items.join(",") + "@" + QString::number(current));
        return give("item", answer);
    }
    QString getOpenFileName(QWidget*, const QString& title, const QString&, const QString& filter) override
    {
        record("open", title, filter);
        return next("open").toString();
    }
    QString getSaveFileName(QWidget*, const QString& title, const QString&, const QString& filter) override
    {
        record("save", title, filter);
        return next("save").toString();
    }
    QString getExistingDirectory(QWidget*, const QString& title, const QString&) override
    {
        record("folder", title, QString());
        return next("folder").toString();
    }
    // The messages (not the questions or prompts) shown so far.
    QStringList messages() const
    {
        return shown.filter(QRegularExpression(QStringLiteral("^(information|warning|critical)\\|")));
    }

private:
    void record(const char* kind, const QString& title, const QString& text)
    {
        shown.append(QString::fromLatin1(kind) + QLatin1Char('|') + title + QLatin1Char('|') + text);
    }
    QVariant next(const char* kind)
    {
        if (!answers.isEmpty())
            return answers.takeFirst();
        return fallback ? fallback(QString::fromLatin1(kind)) : QVariant();
    }
    bool give(const char* kind, QString* answer)
    {
        const QVariant value = next(kind);
        if (value.isNull())
            return false;
        *answer = value.toString();
        return true;
    }
};
