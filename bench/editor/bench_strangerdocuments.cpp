// Paste and import of exchange documents nobody would write by hand, through the editor's own
// slots (clipboard, file dialog answered): how long the GUI thread is held, and how much memory a
// paste takes on top of the document already on the clipboard.
//   sixty MiB of "0,"       the overlay's node list of 30 million small values: refused unparsed
//   a million names         12 MB of distinct device names: read, found linked at the first
//   just under the values   56 MiB of 1.9 million 31-byte strings: parsed, refused by its nodes
//   a 32 MiB picture        a 43 MiB document whose picture is at the limit: accepted and created
// peak_x is the peak resident memory of one call above what the process held just before it (the
// document included), as a multiple of the document's size; the target is below 10.
#include "benchmain.h"
#include "editordialogs.h"
#include "exchangedocument.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "virtualjoystickbackend.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>

namespace {

// Every dialog answered at once; the import dialog with the document's path.
class Answers : public EditorDialogs
{
public:
    QString file;
    void information(QWidget*, const QString&, const QString&) override {}
    void warning(QWidget*, const QString&, const QString&) override {}
    void critical(QWidget*, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&) override { return false; }
    bool getText(QWidget*, const QString&, const QString&, const QString&, QString*) override
    {
        return false;
    }
    bool getItem(QWidget*, const QString&, const QString&, const QStringList&, int, QString*) override
    {
        return false;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return file;
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
};

Answers g_answers;
GamepadDefinder* g_editor = nullptr;
QTemporaryDir* g_dir = nullptr;

QByteArray head(const char* overlayNodes)
{
    return QByteArray(
               R"({"type":"TavonGamepad","version":3,"name":"Stranger","overlay":{"type":"InteractiveOverlay","nodes":[)") +
           overlayNodes;
}

QByteArray document(int which)
{
    const qint64 size = qint64(60) * 1024 * 1024;
    QByteArray text;
    if (which == 0) {
        text = head("0");
        text.reserve(size + 16);
        while (text.size() < size)
            text += ",0";
        text += "]}}";
    } else if (which == 1) {
        text = head("{}") + "]},\"deviceNames\":[\"Pad 0\"";
        for (int i = 1; i < 1000000; ++i)
            text += ",\"Pad " + QByteArray::number(i) + '"';
        text += "]}";
    } else if (which == 2) {
        text = head("\"abcdefghijklmnopqrstuvwxyz0\"");
        for (int i = 1; i < 1900000; ++i)
            text += ",\"abcdefghijklmnopqrstuvwxyz0\"";
        text += "]}}";
    } else {
        text = head("{}") + "]},\"imageExt\":\"png\",\"imageBase64\":\"";
        text += QByteArray(FolderFiles::Limits::PictureBytes / 3 * 3, 'x').toBase64() + "\"}";
    }
    return text;
}

// Resident memory now, and the peak since the last reset, in bytes (Linux).
qint64 statusBytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Removes the definitions an accepted document made, so every iteration starts alike.
void forgetCreated()
{
    for (const QString& name :
         QDir(ProfileStore::userProfilesRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(QDir(ProfileStore::userProfilesRoot()).filePath(name)).removeRecursively();
}

// range(1): 0 under the editor's own MIME type, 1 as plain text from another program.
void BM_Paste(benchmark::State& state)
{
    const QByteArray text = document(int(state.range(0)));
    auto* mime = new QMimeData;
    if (state.range(1) == 0)
        mime->setData(ExchangeDocument::MimeType, text);
    else
        mime->setText(QString::fromUtf8(text));
    QGuiApplication::clipboard()->setMimeData(mime);
    double worst = 0;
    for (auto _ : state) {
        const qint64 before = statusBytes("VmRSS:");
        resetPeak();
        QMetaObject::invokeMethod(g_editor, "actionPaste");
        worst = std::max(worst, double(statusBytes("VmHWM:") - before) / double(text.size()));
        state.PauseTiming();
        forgetCreated();
        state.ResumeTiming();
    }
    QGuiApplication::clipboard()->clear();
    state.counters["doc_MB"] = double(text.size()) / (1024 * 1024);
    state.counters["peak_x"] = worst;
}

void BM_Import(benchmark::State& state)
{
    g_answers.file = g_dir->filePath(QStringLiteral("stranger.tavon.json"));
    QFile file(g_answers.file);
    file.open(QIODevice::WriteOnly);
    const qint64 size = file.write(document(int(state.range(0))));
    file.close();
    for (auto _ : state) {
        QMetaObject::invokeMethod(g_editor, "actionImport");
        state.PauseTiming();
        forgetCreated();
        state.ResumeTiming();
    }
    state.counters["doc_MB"] = double(size) / (1024 * 1024);
}

BENCHMARK(BM_Paste)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("JoyBenchStranger"));
    QTemporaryDir xdg;
    g_dir = &xdg;
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdg.path()));
    app.setProperty("hx.currentLogin", QStringLiteral("bench"));
    JoystickBackends::install(std::make_shared<VirtualJoystickBackend>());
    GamepadManager::instance();
    EditorDialogService::install(&g_answers);
    GamepadDefinder editor;
    g_editor = &editor;
    return runBenchmarks(argc, argv);
}
