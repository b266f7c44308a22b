// The configuration window with the demo definitions and the demo pad moving, in its three modes.
#include "gallery.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "manetteconfigurationwidget.h"
#include "virtualjoystickbackend.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>

namespace {

const QString kHostDir = QStringLiteral(JOYRELAY_HOST_DIR);

void seedDemoDefinitions(const QString& dataRoot)
{
    const QDir source(QDir(kHostDir).filePath(QStringLiteral("demo/definitions")));
    const QDir target(QDir(dataRoot).filePath(QStringLiteral("GamepadProfiles")));
    for (const QString& name : source.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        target.mkpath(name);
        const QDir folder(source.filePath(name));
        for (const QString& file : folder.entryList(QDir::Files))
            QFile::copy(folder.filePath(file), QDir(target.filePath(name)).filePath(file));
    }
}

QJsonObject demoServices()
{
    QFile file(QDir(kHostDir).filePath(QStringLiteral("actioncatalog.json")));
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Waits until the scenario clock reaches ms (its 8 s loop restarts from 0).
void runUntil(const QElapsedTimer& clock, qint64 ms)
{
    if (clock.elapsed() < ms)
        Gallery::run(int(ms - clock.elapsed()));
}

int editorPages(const Gallery::Context& context)
{
    qApp->setProperty("hx.currentLogin", QStringLiteral("demo"));
    qApp->setProperty("hx.canEditSharedGamepads", false);
    seedDemoDefinitions(context.dataRoot);
    delete GamepadManager::existingInstance();
    QElapsedTimer clock;
    clock.start();
    JoystickBackends::install(VirtualJoystickBackend::fromScenarioFile(
        QDir(kHostDir).filePath(QStringLiteral("demo/virtual-pads.json"))));
    GamepadManager::instance();

    // The window as the plugin hands it to the host.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Gamepad"));
    auto* form = new ManetteConfigurationWidget(&window);
    window.setCentralWidget(form);
    window.resize(1280, 800);
    form->setServices(demoServices());
    GamepadDefinder* editor = form->editor();
    editor->listWidget()->setCurrentRow(0);
    window.show();

    // Calibration while the demo pad's stick is pushed (0.8 s to 1.7 s of its loop).
    editor->findChild<QPushButton*>(QStringLiteral("modeCalibrationButton"))->click();
    runUntil(clock, 1300);
    bool ok = Gallery::shoot(&window, context, QStringLiteral("editor-calibration.png"), 0);

    // Mapping: the stick pastille selected, an action armed and waiting for the pad.
    editor->findChild<QPushButton*>(QStringLiteral("modeMappingButton"))->click();
    editor->overlay()->selectNode(0);
    editor->clickQuickAction(1);
    ok = Gallery::shoot(&window, context, QStringLiteral("editor-mapping.png"), 400) && ok;

    // Edit: the add tools, the zoom stick selected with its publish mode.
    editor->findChild<QPushButton*>(QStringLiteral("modeEditButton"))->click();
    editor->overlay()->selectNode(1);
    ok = Gallery::shoot(&window, context, QStringLiteral("editor-edit.png"), 400) && ok;

    window.hide();
    delete GamepadManager::existingInstance();
    JoystickBackends::install(nullptr);
    return ok ? 0 : 1;
}

} // namespace

JOY_GALLERY_PAGE("editor", "Configuration window in Calibration, Mapping and Edit modes, demo pad moving",
                 editorPages);
