#include "hosttheme.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <QWidget>

namespace HostTheme {

namespace {

// A dark, cyan-accented palette that matches the plugin's own hard-coded panels.
const QHash<QString, QString>& palette()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("color.tfxBackdropGlow"), QStringLiteral("rgba(110, 200, 215, 60)")},
        {QStringLiteral("color.tfxBackdropMid"), QStringLiteral("rgba(18, 30, 40, 235)")},
        {QStringLiteral("color.tfxBackdropDark"), QStringLiteral("rgb(9, 14, 18)")},
        {QStringLiteral("color.tfxText"), QStringLiteral("#E8F0F5")},
        {QStringLiteral("color.tfxCard1"), QStringLiteral("rgba(22, 36, 47, 225)")},
        {QStringLiteral("color.tfxBorder"), QStringLiteral("rgba(90, 130, 150, 90)")},
        {QStringLiteral("color.tfxAccent"), QStringLiteral("#6EC8D7")},
        {QStringLiteral("color.tfxMutedStrong"), QStringLiteral("#93AEBD")},
        {QStringLiteral("color.tfxPanel"), QStringLiteral("#243544")},
        {QStringLiteral("color.tfxPanelPressed"), QStringLiteral("rgba(14, 24, 32, 200)")},
        {QStringLiteral("color.tfxPanelBorder"), QStringLiteral("rgba(70, 105, 125, 110)")},
        {QStringLiteral("color.tfxPanelHover"), QStringLiteral("#2E4557")},
        {QStringLiteral("color.tfxInputBg"), QStringLiteral("rgba(10, 18, 25, 230)")},
        {QStringLiteral("color.tfxInputBorder"), QStringLiteral("rgba(90, 130, 150, 120)")},
        {QStringLiteral("color.tfxTintStrong"), QStringLiteral("rgba(110, 200, 215, 110)")},
        {QStringLiteral("text.disabled"), QStringLiteral("#5F7482")},
    };
    return table;
}

void resolveWidget(QWidget* widget)
{
    const QString sheet = widget->styleSheet();
    if (!sheet.contains(QLatin1Char('@')))
        return;
    const QString resolved = resolve(sheet);
    if (resolved != sheet)
        widget->setStyleSheet(resolved);
}

class Resolver : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Polish || type == QEvent::StyleChange) && watched->isWidgetType())
            resolveWidget(static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

QString colour(const QString& name)
{
    return palette().value(name);
}

QString resolve(const QString& styleSheet)
{
    if (!styleSheet.contains(QLatin1Char('@')))
        return styleSheet;
    static const QRegularExpression placeholder(QStringLiteral("@([A-Za-z][A-Za-z0-9_.]*)@"));
    QString out;
    out.reserve(styleSheet.size());
    qsizetype last = 0;
    for (auto it = placeholder.globalMatch(styleSheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString value = colour(match.captured(1));
        out += QStringView(styleSheet).mid(last, match.capturedStart() - last);
        out += value.isEmpty() ? match.captured(0) : value;
        last = match.capturedEnd();
    }
    out += QStringView(styleSheet).mid(last);
    return out;
}

void apply(QWidget* root)
{
    if (!root)
        return;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets)
        resolveWidget(widget);
}

void installResolver()
{
    static Resolver* resolver = nullptr;
    if (resolver || !qApp)
        return;
    resolver = new Resolver(qApp);
    qApp->installEventFilter(resolver);
}

bool installQtCatalog(const QLocale& locale)
{
    if (locale.language() == QLocale::English || !QCoreApplication::instance())
        return false;
    // Owned by the application, so it lives as long as the widgets it translates.
    auto* catalog = new QTranslator(QCoreApplication::instance());
    if (!catalog->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete catalog;
        return false;
    }
    QCoreApplication::installTranslator(catalog);
    return true;
}

} // namespace HostTheme
