// Export and import of one definition whose picture is a 4 MB PNG, as the editor's export and
// import run them without their dialogs (document built, written, read back, checked, created).
#include "benchmain.h"
#include "definitionmeta.h"
#include "exchangedocument.h"
#include "jsonio.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

QTemporaryDir* g_dir = nullptr;
DefinitionRecord g_record;
QString g_exportPath;
qint64 g_pictureBytes = 0;

// Noise does not compress: 1340 x 1000 RGB pixels give a PNG of about 4 MB.
void writePicture(const QString& path)
{
    QImage image(1340, 1000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    image.save(path, "PNG");
    g_pictureBytes = QFileInfo(path).size();
}

QJsonObject overlay()
{
    QJsonArray nodes;
    for (int i = 0; i < 24; ++i)
        nodes.append(QJsonObject{
            {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
            {"kind", i % 3 == 0 ? "singleJoy" : "button"},
            {"title", QStringLiteral("but_%1").arg(i)},
            {"geometry", QJsonObject{{"x", 0.03 * i}, {"y", 0.4}, {"w", 0.08}, {"h", 0.08}}},
            {"sources", QJsonObject{{"main", QJsonObject{{"stringKey", QStringLiteral("but_%1").arg(i)}}}}}});
    return {{"type", "InteractiveOverlay"}, {"version", 4}, {"coordSpace", "background"}, {"nodes", nodes}};
}

void setUp()
{
    const QString folder = g_dir->filePath("source");
    QDir().mkpath(folder);
    g_record.id = QUuid::createUuid();
    g_record.name = QStringLiteral("Bench pad");
    g_record.folder = folder;
    g_record.imagePath = folder + "/image.png";
    g_record.overlayPath = folder + "/overlay.json";
    writePicture(g_record.imagePath);
    JsonIo::writeJsonAtomically(g_record.overlayPath, overlay());
    g_exportPath = g_dir->filePath("Bench pad.tavon.json");
    // The file BM_Import reads, so that it runs on its own too.
    QFile overlayFile(g_record.overlayPath);
    overlayFile.open(QIODevice::ReadOnly);
    JsonIo::writeBytesAtomically(g_exportPath,
                                 ExchangeDocument::documentBytes(g_record, overlayFile.readAll(), true));
}

// The document text of the record and the overlay, written indented and atomically.
void BM_Export(benchmark::State& state)
{
    QFile overlayFile(g_record.overlayPath);
    overlayFile.open(QIODevice::ReadOnly);
    const QByteArray overlayText = overlayFile.readAll();
    for (auto _ : state) {
        const QByteArray bytes = ExchangeDocument::documentBytes(g_record, overlayText, true);
        if (!JsonIo::writeBytesAtomically(g_exportPath, bytes))
            state.SkipWithError("export failed");
    }
    state.counters["picture_MB"] = double(g_pictureBytes) / (1024 * 1024);
    state.counters["file_MB"] = double(QFileInfo(g_exportPath).size()) / (1024 * 1024);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// Read the exported file, run the checks (the picture is decoded once), create the definition.
void BM_Import(benchmark::State& state)
{
    const QString root = g_dir->filePath("imported");
    for (auto _ : state) {
        QJsonObject document;
        ExchangeDocument::Contents contents;
        DefinitionRecord created;
        if (!ExchangeDocument::readDocumentFile(g_exportPath, &document) ||
            !ExchangeDocument::validateDocument(document, &contents) ||
            !ExchangeDocument::createDefinition(contents, root, &created)) {
            state.SkipWithError("import failed");
            break;
        }
        state.PauseTiming();
        QDir(created.folder).removeRecursively();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

// Copy and paste: the same document through the compact clipboard text.
void BM_CopyPaste(benchmark::State& state)
{
    QFile overlayFile(g_record.overlayPath);
    overlayFile.open(QIODevice::ReadOnly);
    const QByteArray overlayText = overlayFile.readAll();
    const QString root = g_dir->filePath("pasted");
    for (auto _ : state) {
        const QByteArray bytes = ExchangeDocument::documentBytes(g_record, overlayText, false);
        QJsonObject document;
        ExchangeDocument::Contents contents;
        DefinitionRecord created;
        if (!ExchangeDocument::parseClipboardDocument(bytes, &document) ||
            !ExchangeDocument::validateDocument(document, &contents) ||
            !ExchangeDocument::createDefinition(contents, root, &created)) {
            state.SkipWithError("paste failed");
            break;
        }
        state.PauseTiming();
        QDir(created.folder).removeRecursively();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CopyPaste)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    setUp();
    return runBenchmarks(argc, argv);
}
