// PNG snapshots: one definition rendered at 1920 x 1080 (with and without the PNG file), and the
// batch of 100 definitions read from disk into one folder, as "Snapshots PNG (tous)" runs it.
#include "benchmain.h"
#include "controllerpicture.h"
#include "jsonio.h"
#include "snapshots.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

namespace {

QTemporaryDir* g_dir = nullptr;
QString g_picture;
QVector<Snapshots::Item> g_items;

// Twelve pastilles of the three kinds, the way a full controller definition looks.
QJsonObject overlay(const QSize& size)
{
    QJsonArray nodes;
    for (int i = 0; i < 12; ++i) {
        const char* kind = i < 2 ? "dualJoyCross" : (i < 4 ? "singleJoy" : "button");
        nodes.append(QJsonObject{
            {"kind", kind},
            {"title", QStringLiteral("Input %1").arg(i)},
            {"geometry",
             QJsonObject{{"x", 0.08 * (i % 6) + 0.1}, {"y", i < 6 ? 0.3 : 0.6}, {"w", 0.09}, {"h", 0.12}}},
            {"sources", QJsonObject{{"main", QJsonObject{{"stringKey", QStringLiteral("but_%1").arg(i)}}}}}});
    }
    return {{"type", "InteractiveOverlay"},
            {"version", 4},
            {"coordSpace", "background"},
            {"overlaySize", QJsonObject{{"w", size.width()}, {"h", size.height()}}},
            {"nodes", nodes}};
}

void setUp()
{
    g_picture = g_dir->filePath("picture.png");
    drawControllerPicture(QSize(1600, 960)).save(g_picture);
    for (int i = 0; i < 100; ++i) {
        const QString path = g_dir->filePath(QStringLiteral("overlay%1.json").arg(i));
        JsonIo::writeJsonAtomically(path, overlay(QSize(1280, 720)));
        g_items.append({QStringLiteral("Manette %1").arg(i % 10), g_picture, path, {}, false});
    }
}

void BM_RenderSnapshot1080p(benchmark::State& state)
{
    const QJsonObject document = overlay(QSize(1920, 1080));
    for (auto _ : state) {
        const QPixmap pixmap = Snapshots::renderSnapshot(document, g_picture, QSize());
        if (pixmap.isNull())
            state.SkipWithError("render failed");
        benchmark::DoNotOptimize(pixmap.cacheKey());
    }
}
BENCHMARK(BM_RenderSnapshot1080p)->Unit(benchmark::kMillisecond);

// What one "Snapshot PNG…" costs after its dialog: render and write the PNG file.
void BM_SnapshotFile1080p(benchmark::State& state)
{
    const QJsonObject document = overlay(QSize(1920, 1080));
    const QString folder = g_dir->filePath("single");
    QDir().mkpath(folder);
    for (auto _ : state) {
        const QPixmap pixmap = Snapshots::renderSnapshot(document, g_picture, QSize());
        const QString written = Snapshots::saveUnderFreeName(pixmap, folder, QStringLiteral("snapshot"));
        if (written.isEmpty())
            state.SkipWithError("save failed");
        state.PauseTiming();
        QFile::remove(written);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SnapshotFile1080p)->Unit(benchmark::kMillisecond);

void BM_Batch100(benchmark::State& state)
{
    int run = 0;
    int count = 0;
    for (auto _ : state) {
        const QString folder = g_dir->filePath(QStringLiteral("batch%1").arg(run++));
        QStringList errors;
        if (!Snapshots::exportToFolder(folder, g_items, QSize(1000, 700), &count, &errors) || count != 100)
            state.SkipWithError("batch failed");
        state.PauseTiming();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["files"] = count;
}
BENCHMARK(BM_Batch100)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    setUp();
    return runBenchmarks(argc, argv);
}
