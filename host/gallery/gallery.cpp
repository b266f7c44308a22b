#include "gallery.h"
#include "joyrelaytranslations.h"
#include "hosttheme.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QPixmap>
#include <QStandardPaths>
#include <QTextStream>
#include <QWidget>

#include <cstdio>

namespace Gallery {

namespace {

struct Page
{
    QString summary;
    PageFunction run;
};

QMap<QString, Page>& pages()
{
    static QMap<QString, Page> all;
    return all;
}

} // namespace

bool registerPage(const char* name, const char* summary, PageFunction run)
{
    pages().insert(QString::fromUtf8(name), Page{QString::fromUtf8(summary), std::move(run)});
    return true;
}

void run(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMax<qint64>(1, ms - clock.elapsed())));
}

bool shoot(QWidget* widget, const Context& context, const QString& fileName, int waitMs)
{
    widget->show();
    widget->raise();
    run(waitMs);
    const QString path = QDir(context.outDir).filePath(fileName);
    const bool ok = widget->grab().save(path);
    QTextStream(stdout) << (ok ? "wrote " : "could not write ") << path << Qt::endl;
    return ok;
}

} // namespace Gallery

int main(int argc, char** argv)
{
    // Without a display the pages still render (offscreen), which is enough for the screenshots.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Joyrelay"));
    QApplication::setApplicationName(QStringLiteral("joyrelay-gallery"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the plugin's widgets with demo content and saves a screenshot of each page."));
    parser.addHelpOption();
    const QCommandLineOption listOpt(QStringLiteral("list"), QStringLiteral("List the pages."));
    const QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("Screenshot folder."),
                                    QStringLiteral("dir"), QStringLiteral("."));
    const QCommandLineOption durationOpt(
        QStringLiteral("duration"), QStringLiteral("Milliseconds a live page runs before its screenshot."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption rawOpt(
        QStringLiteral("raw-theme"),
        QStringLiteral("Leave the style sheets' colour placeholders unresolved."));
    parser.addOptions({listOpt, outOpt, durationOpt, rawOpt});
    parser.addPositionalArgument(QStringLiteral("pages"), QStringLiteral("Pages to show (all when none)."));
    parser.process(app);

    QTextStream out(stdout);
    const auto& all = Gallery::pages();
    if (parser.isSet(listOpt)) {
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            out << it.key() << "\t" << it.value().summary << Qt::endl;
        return 0;
    }
    if (!parser.isSet(rawOpt))
        HostTheme::installResolver();
    // As the plugin does when it is loaded: English texts for an English locale (LANG=en_US.UTF-8).
    JoyrelayTranslations::install();

    QStandardPaths::setTestModeEnabled(true);
    Gallery::Context context;
    context.outDir = QDir(parser.value(outOpt)).absolutePath();
    context.durationMs = parser.value(durationOpt).toInt();
    context.dataRoot = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(context.outDir);

    QStringList chosen = parser.positionalArguments();
    if (chosen.isEmpty())
        chosen = all.keys();
    int failures = 0;
    for (const QString& name : chosen) {
        const auto it = all.constFind(name);
        if (it == all.cend()) {
            out << "unknown page: " << name << Qt::endl;
            ++failures;
            continue;
        }
        QDir(context.dataRoot).removeRecursively();
        QDir().mkpath(context.dataRoot);
        if (it.value().run(context) != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
