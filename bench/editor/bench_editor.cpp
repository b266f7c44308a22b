// The configuration window over a data root of 1,000 definitions (warm file cache): opening it to
// the first painted frame, switching the current definition, and one autosave.
#include "benchlibrary.h"
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
    BenchLibrary::populate(kDefinitions);
    delete openWindow(); // warm the file cache once before timing

    return runBenchmarks(argc, argv);
}
