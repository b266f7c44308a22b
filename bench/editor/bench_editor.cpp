// The configuration window over a data root of 1,000 definitions (warm file cache): opening it to
// the first painted frame, switching the current definition, and one autosave.
#include "benchmain.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "manetteconfigurationwidget.h"
#include "profilestore.h"
#include "virtualjoystickbackend.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QUuid>

namespace {

constexpr int kDefinitions = 1000;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QJsonObject source(const QString& key, bool joy)
{
    return {{"deviceType", "gamepade"}, {"deviceId", 0}, {"packetId", 1}, {"stringKey", key}, {"isJoy", joy}};
}

// Five pastilles (a two-axis stick, a stick, three buttons) with their bridges, like a real pad.
void populate()
{
    QImage picture(640, 480, QImage::Format_ARGB32);
    picture.fill(QColor(40, 60, 80));
    QByteArray png;
    {
        QFile::remove(QDir::temp().filePath("bench_editor_pad.png"));
        picture.save(QDir::temp().filePath("bench_editor_pad.png"));
        QFile file(QDir::temp().filePath("bench_editor_pad.png"));
        file.open(QIODevice::ReadOnly);
        png = file.readAll();
    }
    QJsonArray nodes;
    QJsonArray bridges;
    const auto add = [&](const QString& kind, const QString& title, const QJsonObject& sources, double x) {
        nodes.append(QJsonObject{{"kind", kind},
                                 {"title", title},
                                 {"geometry", QJsonObject{{"x", x}, {"y", 0.3}, {"w", 0.12}, {"h", 0.16}}},
                                 {"sources", sources}});
        for (auto it = sources.begin(); it != sources.end(); ++it)
            bridges.append(QJsonObject{{"src", it.value()}, {"action", "bench.action"}});
    };
    add("dualJoyCross", "Stick", {{"x", source("joy_0", true)}, {"y", source("joy_1", true)}}, 0.1);
    add("singleJoy", "Zoom", {{"main", source("joy_2", true)}}, 0.3);
    for (int b = 0; b < 3; ++b)
        add("button", QString("B%1").arg(b), {{"main", source(QString("but_%1").arg(b), false)}},
            0.5 + b * 0.1);
    const QByteArray overlay = QJsonDocument(QJsonObject{{"type", "InteractiveOverlay"},
                                                         {"version", 4},
                                                         {"coordSpace", "background"},
                                                         {"overlaySize", QJsonObject{{"w", 800}, {"h", 600}}},
                                                         {"nodes", nodes}})
                                   .toJson();
    const QByteArray mapping =
        QJsonDocument(QJsonObject{{"signals", QJsonArray()}, {"bridges", bridges}}).toJson();
    for (int i = 0; i < kDefinitions; ++i) {
        const QString root =
            i % 4 == 0 ? ProfileStore::userProfilesRoot() : ProfileStore::sharedProfilesRoot();
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QDir folder(QDir(root).filePath(id));
        const QJsonObject meta{{"type", "GamepadDefinderMeta"},
                               {"version", 4},
                               {"id", id},
                               {"name", QString("Pad %1").arg(i, 4, 10, QChar('0'))},
                               {"image", "image.png"},
                               {"overlayFile", "overlay.json"},
                               {"deviceNames", QJsonArray{QString("Bench Pad %1").arg(i % 50)}}};
        writeFile(folder.filePath("meta.json"), QJsonDocument(meta).toJson());
        writeFile(folder.filePath("overlay.json"), overlay);
        writeFile(folder.filePath("configActionGamepad.json"), mapping);
        writeFile(folder.filePath("image.png"), png);
    }
}

// Runs the event loop until the window has painted once.
class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

QMainWindow* openWindow()
{
    auto* window = new QMainWindow;
    window->resize(1023, 772);
    window->setCentralWidget(new ManetteConfigurationWidget(window));
    return window;
}

void BM_OpenConfigurationWindow(benchmark::State& state)
{
    for (auto _ : state) {
        PaintWatch watch;
        QMainWindow* window = openWindow();
        window->findChild<QWidget*>("widgetOverlay")->installEventFilter(&watch);
        window->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.PauseTiming();
        delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenConfigurationWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SwitchDefinition(benchmark::State& state)
{
    std::unique_ptr<QMainWindow> window(openWindow());
    window->show();
    QCoreApplication::processEvents();
    auto* list = window->findChild<QListWidget*>("listWidget");
    int row = 0;
    for (auto _ : state) {
        row = (row + 1) % 2;
        list->setCurrentRow(row);
        QCoreApplication::processEvents(); // the new pastilles are laid out and painted
    }
}
BENCHMARK(BM_SwitchDefinition)->Unit(benchmark::kMillisecond);

void BM_Autosave(benchmark::State& state)
{
    std::unique_ptr<QMainWindow> window(openWindow());
    window->show();
    QCoreApplication::processEvents();
    auto* editor = window->findChild<GamepadDefinder*>("ManageGamepade");
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor->overlay()->setTitle(1, QString("Zoom %1").arg(++n)); // marks the definition dirty
        state.ResumeTiming();
        if (!editor->flushPendingSave()) // what the 250 ms timer runs
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_Autosave)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("JoyBench"));
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdg.path()));
    app.setProperty("hx.currentLogin", QStringLiteral("bench"));
    app.setProperty("hx.canEditSharedGamepads", true);
    JoystickBackends::install(std::make_shared<VirtualJoystickBackend>());
    GamepadManager::instance();
    populate();
    delete openWindow(); // warm the file cache once before timing

    return runBenchmarks(argc, argv);
}
