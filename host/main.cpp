// The stand-in host: loads the Joyrelay plugin file like the real host does and shows, or prints,
// everything the plugin hands over. See README "Running the stand-in host".
#include "hostsession.h"
#include "hosttheme.h"
#include "hostwindow.h"
#include "icominterfacemodelprovider.h"
#include "scenariorecorder.h"
#include "sfmljoystickbackend.h"
#include "stallmeter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int RecordStepMs = 10; // the recording steps as often as a device samples

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool wantsHeadless(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--headless") == 0)
            return true;
    }
    return !displayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Copies the shipped demo definitions into the shared profiles area when they are not there yet.
void seedDefinitions(const QString& from, QTextStream& out)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QDir target(QDir(data).filePath(QStringLiteral("GamepadProfiles")));
    const QDir source(from);
    for (const QString& name : source.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // Files the user changed stay; files a newer demo added are filled in.
        const bool fresh = !target.exists(name);
        target.mkpath(name);
        const QDir folder(source.filePath(name));
        for (const QString& file : folder.entryList(QDir::Files)) {
            const QString copy = QDir(target.filePath(name)).filePath(file);
            if (!QFileInfo::exists(copy))
                QFile::copy(folder.filePath(file), copy);
        }
        if (fresh)
            out << "demo definition installed: " << target.filePath(name) << Qt::endl;
    }
}

// The first of these that exists, relative to the host's own folder: the build tree's plugins/, then
// the installed layout; else the plugin file this host was built with.
QString besideHost(const QStringList& candidates, const QString& fallback)
{
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString& candidate : candidates) {
        const QString path = dir.filePath(candidate);
        if (QFileInfo::exists(path))
            return QFileInfo(path).canonicalFilePath();
    }
    return fallback;
}

QString defaultPlugin()
{
    return besideHost(
        {QStringLiteral("../plugins/libjoyrelay.so"), QStringLiteral(JOYRELAY_INSTALLED_PLUGIN)},
        QStringLiteral(JOYRELAY_DEFAULT_PLUGIN));
}

QString defaultCatalog()
{
    return besideHost({QStringLiteral(JOYRELAY_INSTALLED_DATA "/actioncatalog.json")},
                      QStringLiteral(JOYRELAY_HOST_DIR "/actioncatalog.json"));
}

} // namespace

int main(int argc, char** argv)
{
    const bool headless = wantsHeadless(argc, argv);
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Joyrelay"));
    QApplication::setApplicationName(QStringLiteral("joyrelay-host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in host for the Joyrelay device plugin."));
    parser.addHelpOption();
    const QCommandLineOption pluginOpt(QStringLiteral("plugin"), QStringLiteral("Plugin file to load."),
                                       QStringLiteral("file"), defaultPlugin());
    const QCommandLineOption loginOpt(QStringLiteral("login"), QStringLiteral("Value of hx.currentLogin."),
                                      QStringLiteral("name"), QStringLiteral("demo"));
    const QCommandLineOption sharedOpt(QStringLiteral("can-edit-shared"),
                                       QStringLiteral("Set hx.canEditSharedGamepads to true."));
    const QCommandLineOption catalogOpt(QStringLiteral("catalog"),
                                        QStringLiteral("Services JSON with the action catalog."),
                                        QStringLiteral("file"), defaultCatalog());
    const QCommandLineOption contextOpt(QStringLiteral("context"),
                                        QStringLiteral("Context name for the device list."),
                                        QStringLiteral("name"), QStringLiteral("default"));
    const QCommandLineOption scenarioOpt(QStringLiteral("scenario"),
                                         QStringLiteral("Play virtual controllers from a scenario file."),
                                         QStringLiteral("file"));
    const QCommandLineOption seedOpt(QStringLiteral("seed-definitions"),
                                     QStringLiteral("Install the definitions of this folder when missing."),
                                     QStringLiteral("folder"));
    const QCommandLineOption selectOpt(QStringLiteral("auto-select"),
                                       QStringLiteral("Select the first controller when none is selected."));
    const QCommandLineOption headlessOpt(QStringLiteral("headless"),
                                         QStringLiteral("No window; print a transcript."));
    const QCommandLineOption durationOpt(
        QStringLiteral("duration"),
        QStringLiteral("Quit after this many milliseconds (without a window: 8000 by default)."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption configOpt(QStringLiteral("open-configuration"),
                                       QStringLiteral("Open the plugin's configuration window at start."));
    const QCommandLineOption calibrationOpt(
        QStringLiteral("open-calibration"),
        QStringLiteral("Open the configuration window at start on the selected controller's calibration."));
    const QCommandLineOption shotOpt(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window before quitting (and of the configuration window, "
                       "as <name>-configuration.png, when it is open)."),
        QStringLiteral("png"));
    const QCommandLineOption recordOpt(
        QStringLiteral("record"),
        QStringLiteral("Record the machine's controllers into a scenario file that --scenario replays "
                       "(rewritten every second and when the host quits)."),
        QStringLiteral("file"));
    const QCommandLineOption stallOpt(
        QStringLiteral("stall-report"),
        QStringLiteral("Measure how late the event loop runs and how regularly the controllers are sampled, "
                       "and print the report when the host quits."));
    parser.addOptions({pluginOpt, loginOpt, sharedOpt, catalogOpt, contextOpt, scenarioOpt, seedOpt,
                       selectOpt, headlessOpt, durationOpt, configOpt, calibrationOpt, shotOpt, recordOpt,
                       stallOpt});
    parser.process(app);

    QTextStream out(stdout);
    HostTheme::installQtCatalog();
    // The plugin's style sheets name theme colours ("@color.…@") that the host resolves.
    HostTheme::installResolver();
    // The plugin reads the host's application properties and picks its joystick backend on first use.
    app.setProperty("hx.currentLogin", parser.value(loginOpt));
    app.setProperty("hx.canEditSharedGamepads", parser.isSet(sharedOpt));
    if (parser.isSet(scenarioOpt))
        qputenv("JOYRELAY_VIRTUAL_PADS",
                QFileInfo(parser.value(scenarioOpt)).absoluteFilePath().toLocal8Bit());
    if (parser.isSet(seedOpt))
        seedDefinitions(parser.value(seedOpt), out);

    // Started before the plugin, so the report covers everything the host does with it.
    StallMeter stallMeter;
    if (parser.isSet(stallOpt)) {
        if (!stallMeter.start())
            out << "stall report: no fine timer on this platform, sampling intervals only" << Qt::endl;
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&] {
            stallMeter.stop();
            out << stallMeter.report() << Qt::flush;
        });
    }

    HostSession session;
    QObject::connect(&session, &HostSession::transcriptLine, &app,
                     [&out](const QString& line) { out << line << Qt::endl; });
    QString error;
    if (!session.loadPlugin(parser.value(pluginOpt), &error)) {
        out << "cannot load the plugin: " << error << Qt::endl;
        return 1;
    }
    if (!session.loadServices(parser.value(catalogOpt), &error))
        out << "no services: " << error << Qt::endl;
    const bool autoSelect = parser.isSet(selectOpt) || (headless && parser.isSet(scenarioOpt));
    session.start(parser.value(contextOpt), autoSelect);

    // The recording reads the controllers through its own SFML backend, whatever the plugin plays.
    const auto recording = std::make_shared<SfmlJoystickBackend>();
    ScenarioRecorder recorder(*recording);
    QTimer recordTimer;
    int savedEvents = -1;
    const QString recordPath = parser.value(recordOpt);
    const auto saveRecording = [&] {
        if (recorder.eventCount() == savedEvents)
            return;
        if (!recorder.save(recordPath, &error))
            out << "cannot write the recording: " << error << Qt::endl;
        savedEvents = recorder.eventCount();
    };
    if (parser.isSet(recordOpt)) {
        recording->update();
        recorder.start(recording->nowMs());
        saveRecording();
        recordTimer.setTimerType(Qt::PreciseTimer);
        int ticks = 0;
        QObject::connect(&recordTimer, &QTimer::timeout, &app, [&, ticks]() mutable {
            recording->update();
            recorder.step(recording->nowMs());
            if (++ticks % 100 == 0)
                saveRecording();
        });
        recordTimer.start(RecordStepMs);
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&] {
            saveRecording();
            out << "recording: " << recorder.eventCount() << " event(s) in " << recordPath << Qt::endl;
        });
    }

    std::unique_ptr<HostWindow> window;
    if (!headless) {
        window = std::make_unique<HostWindow>(&session);
        window->show();
    }
    if (parser.isSet(calibrationOpt) && window) {
        // After the device list has had a discovery round, so the selected controller is known.
        QTimer::singleShot(400, window.get(), &HostWindow::openCalibration);
    } else if (parser.isSet(configOpt)) {
        if (window) {
            window->openConfiguration();
        } else if (QMainWindow* config = session.provider()->configurationWindow(nullptr)) {
            out << "configuration window: \"" << config->windowTitle() << "\"" << Qt::endl;
        }
    }

    const int duration = parser.value(durationOpt).toInt();
    const QString shot = parser.value(shotOpt);
    if (duration > 0 || headless) {
        QTimer::singleShot(duration > 0 ? duration : 8000, &app, [&]() {
            if (window && !shot.isEmpty()) {
                window->grab().save(shot);
                if (QMainWindow* config = window->configurationWindow(); config && config->isVisible()) {
                    const QFileInfo info(shot);
                    config->grab().save(info.dir().filePath(info.completeBaseName() + "-configuration.png"));
                }
            }
            out << QStringLiteral(
                       "[summary] %1 provider event(s), %2 action(s) fired, %3 interface(s) selected")
                       .arg(session.eventCount())
                       .arg(session.actionCount())
                       .arg(session.routers().size())
                << Qt::endl;
            app.quit();
        });
    }
    const int rc = app.exec();
    window.reset();
    return rc;
}
