// A user editing a large library while four controllers sample beside the editor: 1,000
// definitions, four virtual pads (real-time clock) engaged at 100 Hz, the provider's configuration
// window open, and a scripted session of user operations replayed every 50 ms from a fixed seed
// (switch rows, arrow through them, drag and rename pastilles, Learn, link and unlink, modes,
// calibration edits in both scopes, new, duplicate, rename, delete, copy, paste). The stall meter
// runs throughout. It prints
//   - the sampling intervals of the four pads (p50, p99, max, steps over 1.5 intervals),
//   - the event loop's lateness against a 1 ms grid and the ten longest stalls with what ran,
//   - each operation's own time on the GUI thread (p50, p99, max, the slowest kinds),
//   - a save audit: after a pastille edit, a link change and a calibration edit, how often each file
//     was written and how often each device re-announced its mapping file.
//   editing_session [--operations N] [--definitions N] [--seed S] [--no-editor] [--distinct-pictures]
// --no-editor runs the same pads and the same clock for as long, without the window: the side by
// side figure that scripts/bench.sh session prints next to the editing one. --distinct-pictures
// gives each definition a picture of its own instead of the same file in every folder.
#include "benchlibrary.h"
#include "controlmanette.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadconfigwidget.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "joyrelayprovider.h"
#include "scripteddialogs.h"
#include "linkerdevicemodel.h"
#include "stallmeter.h"
#include "tagselectionbar.h"
#include "toucharea.h"
#include "virtualjoystickbackend.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QHash>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

#if defined(Q_OS_LINUX)
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

constexpr int PadCount = 4;
constexpr int StepMs = 50; // one user operation every 50 ms

struct Options
{
    int operations = 600;
    int definitions = 1000;
    unsigned seed = 1;
    bool editor = true;
    bool distinctPictures = false;
};

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const auto value = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
        if (std::strcmp(argv[i], "--operations") == 0)
            o.operations = std::max(1, value());
        else if (std::strcmp(argv[i], "--definitions") == 0)
            o.definitions = std::max(1, value());
        else if (std::strcmp(argv[i], "--seed") == 0)
            o.seed = unsigned(value());
        else if (std::strcmp(argv[i], "--no-editor") == 0)
            o.editor = false;
        else if (std::strcmp(argv[i], "--distinct-pictures") == 0)
            o.distinctPictures = true;
    }
    return o;
}

QString ms(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', 2);
}

// Counts the files written below a folder (every name closed after writing or renamed into place).
class WriteCounter
{
public:
    explicit WriteCounter(const QString& root)
    {
#if defined(Q_OS_LINUX)
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return;
        QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        add(root);
        while (it.hasNext())
            add(it.next());
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { drain(); });
#endif
    }
    ~WriteCounter()
    {
#if defined(Q_OS_LINUX)
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    void clear()
    {
        m_writes.clear();
    }
    // Files written more than once since clear(), and how many files were written.
    QStringList repeated() const
    {
        QStringList out;
        for (auto it = m_writes.begin(); it != m_writes.end(); ++it) {
            if (it.value() > 1)
                out.append(QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
        }
        return out;
    }
    qsizetype files() const
    {
        return m_writes.size();
    }
    QStringList names() const
    {
        QStringList out;
        for (auto it = m_writes.begin(); it != m_writes.end(); ++it)
            out.append(QFileInfo(it.key()).fileName());
        out.sort();
        return out;
    }

private:
#if defined(Q_OS_LINUX)
    void add(const QString& dir)
    {
        const int wd = inotify_add_watch(m_fd, QFile::encodeName(dir).constData(),
                                         IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
        if (wd >= 0)
            m_dirs.insert(wd, dir);
    }
    void drain()
    {
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + e->len);
                if (!e->len)
                    continue;
                const QString path = QDir(m_dirs.value(e->wd)).filePath(QFile::decodeName(e->name));
                if (e->mask & IN_ISDIR) { // a folder made or moved here meanwhile is watched (again)
                    add(path);
                    // What was written into it before the watch existed sends no event of its own.
                    QDirIterator inside(path, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
                    while (inside.hasNext()) {
                        const QString found = inside.next();
                        if (QFileInfo(found).isDir())
                            add(found);
                        else
                            ++m_writes[found];
                    }
                    continue;
                }
                if (e->mask & IN_CREATE)
                    continue;
                // A save file's temporary name is gone once it was renamed: only final names count.
                if (QFileInfo::exists(path))
                    ++m_writes[path];
            }
        }
    }
    int m_fd = -1;
    QHash<int, QString> m_dirs;
    std::unique_ptr<QSocketNotifier> m_notifier;
#endif
    QHash<QString, int> m_writes;
};

class Session
{
public:
    Session(const Options& options, std::shared_ptr<VirtualJoystickBackend> pads, QString picture)
        : m_options(options), m_pads(std::move(pads)), m_rng(options.seed), m_picture(std::move(picture))
    {}

    ~Session()
    {
        delete m_window;
        EditorDialogService::install(nullptr);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void open(JoyrelayProvider& provider)
    {
        m_dialogs.fallback = [this](const QString& kind) -> QVariant {
            if (kind == QLatin1String("question"))
                return true;
            if (kind == QLatin1String("text"))
                return QStringLiteral("Session %1").arg(++m_named);
            if (kind == QLatin1String("item"))
                return QStringLiteral("Bench Pad 0");
            if (kind == QLatin1String("open"))
                return m_picture;
            return {};
        };
        EditorDialogService::install(&m_dialogs);
        m_window = provider.configurationWindow(nullptr);
        m_window->resize(1280, 800);
        m_window->show();
        m_editor = m_window->findChild<GamepadDefinder*>();
    }

    // One operation chosen by the seed; returns its name.
    const char* step()
    {
        static const std::vector<std::pair<const char*, int>> weights{
            {"switch row", 22}, {"arrow", 10}, {"drag", 10},  {"rename pastille", 8},
            {"learn", 5},       {"link", 5},   {"unlink", 4}, {"mode", 6},
            {"calibrate", 12},  {"scope", 3},  {"new", 3},    {"duplicate", 3},
            {"rename", 3},      {"delete", 3}, {"copy", 2},   {"paste", 1}};
        static const int total = [] {
            int t = 0;
            for (const auto& w : weights)
                t += w.second;
            return t;
        }();
        int pick = int(m_rng() % unsigned(total));
        const char* op = weights.back().first;
        for (const auto& [name, weight] : weights) {
            if (pick < weight) {
                op = name;
                break;
            }
            pick -= weight;
        }
        if (m_pressed >= 0) { // the button Learn pressed one step ago goes up
            m_pads->release(0, m_pressed);
            m_pressed = -1;
        }
        StallMeter::Label label(op);
        perform(op);
        return op;
    }

    GamepadDefinder* editor() const { return m_editor; }

    // One edit of each kind that saves, each followed by the save delays.
    void audit(const QString& dataRoot)
    {
        // Quitting the session's event loop closed the window (Qt 6 closes every window on quit):
        // the mode buttons and the calibration page act only while it is shown.
        m_window->show();
        QCoreApplication::processEvents();
        WriteCounter writes(dataRoot);
        QHash<QString, int> announced;
        for (ControlManette* device : GamepadManager::instance()->liveGamepads()) {
            const QString name = device->name();
            QObject::connect(device, &IComInterface::noCodeAppChanged,
                             [&announced, name] { ++announced[name]; });
        }
        struct Edit
        {
            const char* what;
            const char* op;
            const char* mode;
        };
        const std::vector<Edit> edits{{"pastille renamed", "rename pastille", "modeEditButton"},
                                      {"controller linked", "link", "modeEditButton"},
                                      {"axis calibrated", "calibrate", "modeCalibrationButton"},
                                      {"controller unlinked", "unlink", "modeEditButton"}};
        // A shared definition (the user's own are listed first): edited in place, as every later save
        // of one the user moved there (the first edit with the right moves a user's own).
        m_editor->listWidget()->setCurrentRow(m_editor->listWidget()->count() - 1);
        for (const auto& [what, op, before] : edits) {
            mode(before);
            QTest::qWait(600); // everything earlier has landed (save delays of 250 and 220 ms)
            writes.clear();
            announced.clear();
            perform(op);
            QTest::qWait(600);

            QStringList devices;
            for (auto it = announced.begin(); it != announced.end(); ++it)
                devices.append(QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
            devices.sort();
            std::printf("save audit, %-20s %lld file(s) written (%s), more than once: %s; mapping "
                        "announced: %s\n",
                        what, static_cast<long long>(writes.files()),
                        qPrintable(writes.names().join(QLatin1String(", "))),
                        writes.repeated().isEmpty() ? "none"
                                                    : qPrintable(writes.repeated().join(QLatin1String(", "))),
                        devices.isEmpty() ? "by no device" : qPrintable(devices.join(QLatin1String(", "))));
        }
    }

private:
    template <typename T> T* visible(QWidget* root, const char* name) const
    {
        T* child = root ? root->findChild<T*>(QLatin1String(name)) : nullptr;
        return child && child->isVisible() && child->isEnabled() ? child : nullptr;
    }

    void perform(const std::string& op)
    {
        QListWidget* list = m_editor->listWidget();
        InteractiveOverlay* overlay = m_editor->overlay();
        GamepadConfigWidget* page = m_editor->calibrationEditor();
        const unsigned r = m_rng();
        const int rows = list->count();
        const int nodes = overlay->nodeCount();
        const int node = nodes > 0 ? int(r % unsigned(nodes)) : -1;
        if (op == "switch row" && rows > 0) {
            list->setCurrentRow(int(r % unsigned(rows)));
        } else if (op == "arrow") {
            QTest::keyClick(list, (r & 1) ? Qt::Key_Down : Qt::Key_Up);
        } else if (op == "drag" && node >= 0) {
            mode("modeEditButton");
            if (TouchArea* area = overlay->pastille(node)) {
                area->move(area->pos() + QPoint(int(r % 9) - 4, int((r >> 4) % 9) - 4) * 6);
                emit area->moved();
            }
        } else if (op == "rename pastille" && node >= 0) {
            overlay->setTitle(node, QStringLiteral("Pastille %1").arg(r % 100));
        } else if (op == "learn" && node >= 0) {
            mode("modeMappingButton");
            overlay->selectNode(node);
            for (QPushButton* button : m_editor->findChildren<QPushButton*>()) {
                if (button->text().startsWith(QLatin1String("Learn")) && button->isVisible()) {
                    button->click();
                    m_pressed = int(r % 8);
                    m_pads->press(0, m_pressed); // sampled by the pad's own clock
                    break;
                }
            }
        } else if (op == "link" || op == "unlink") {
            TagSelectionBar* bar = m_editor->tagBar();
            QStringList tags = bar->selectedTags();
            if (op == "link") {
                // A controller not linked yet, so that a link always changes something.
                for (int k = 0; k < PadCount; ++k) {
                    const QString pad =
                        QStringLiteral("Bench Pad %1").arg((r + unsigned(k)) % unsigned(PadCount));
                    if (!tags.contains(pad)) {
                        tags.append(pad);
                        break;
                    }
                }
            } else if (!tags.isEmpty())
                tags.removeAt(int(r % unsigned(tags.size())));
            if (bar->isEnabled())
                bar->setSelectedTags(tags);
        } else if (op == "mode") {
            static const char* const names[3] = {"modeMappingButton", "modeCalibrationButton",
                                                 "modeEditButton"};
            mode(names[r % 3]);
        } else if (op == "calibrate") {
            mode("modeCalibrationButton");
            page = m_editor->calibrationEditor();
            if (page && page->isVisible()) {
                const QList<GamepadAxisCalibrationWidget*> cards =
                    page->findChildren<GamepadAxisCalibrationWidget*>();
                GamepadAxisCalibrationWidget* card = cards.value(int(r % 8));
                if (card && card->isEditable()) {
                    GamepadCalibration::AxisSettings s = page->currentCalibration().axes.value(int(r % 8));
                    s.deadzoneRadius = double((r >> 3) % 30);
                    emit card->settingsChanged(s);
                }
            }
        } else if (op == "scope") {
            if (QComboBox* scope = visible<QComboBox>(page, "scopeCombo"))
                scope->setCurrentIndex(int(r % 2));
        } else if (op == "new") {
            QMetaObject::invokeMethod(m_editor, "actionNew");
        } else if (op == "duplicate") {
            QMetaObject::invokeMethod(m_editor, "actionDuplicate");
        } else if (op == "rename") {
            QMetaObject::invokeMethod(m_editor, "actionRename");
        } else if (op == "delete") {
            // Only what the session made, so the library keeps its size.
            if (m_editor->currentRow() >= 0 && list->currentItem() &&
                list->currentItem()->text().startsWith(QLatin1String("Session")))
                QMetaObject::invokeMethod(m_editor, "actionDelete");
        } else if (op == "copy") {
            QMetaObject::invokeMethod(m_editor, "actionCopy");
        } else if (op == "paste") {
            QMetaObject::invokeMethod(m_editor, "actionPaste");
        }
    }

    void mode(const char* name)
    {
        if (QPushButton* button = visible<QPushButton>(m_editor, name))
            button->click();
    }

    Options m_options;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    std::mt19937 m_rng;
    QString m_picture;
    ScriptedDialogs m_dialogs;
    QMainWindow* m_window = nullptr;
    GamepadDefinder* m_editor = nullptr;
    int m_named = 0;
    int m_pressed = -1;
};

void printSeries(const char* what, const DurationHistogram& h)
{
    std::printf("%-36s n=%-7lld p50 %7s ms  p99 %7s ms  max %7s ms\n", what,
                static_cast<long long>(h.count()), qPrintable(ms(h.percentileNs(50))),
                qPrintable(ms(h.percentileNs(99))), qPrintable(ms(h.maxNs())));
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    qputenv("JOYRELAY_VIRTUAL_PADS", "");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("editing_session"));
    app.setProperty("hx.currentLogin", QStringLiteral("bench"));
    app.setProperty("hx.canEditSharedGamepads", true);

    auto pads = std::make_shared<VirtualJoystickBackend>(VirtualJoystickBackend::Clock::RealTime);
    for (int slot = 0; slot < PadCount; ++slot) {
        VirtualJoystickBackend::Pad pad;
        pad.slot = slot;
        pad.name = QStringLiteral("Bench Pad %1").arg(slot);
        pad.vendorId = 0x45e;
        pad.productId = 0x28e;
        pads->plug(pad);
    }
    JoystickBackends::install(pads);
    BenchLibrary::populate(options.definitions, PadCount, options.distinctPictures);
    const QString picture = QDir::temp().filePath(QStringLiteral("bench_library_pad.png"));

    JoyrelayProvider provider;
    auto* devices = qobject_cast<LinkerDeviceModel*>(provider.model(QStringLiteral("session"), &app));
    Session session(options, pads, picture);
    StallMeter meter;
    DurationHistogram operationTimes;
    std::map<std::string, DurationHistogram> byKind;
    QTimer steps;
    steps.setTimerType(Qt::PreciseTimer);
    int done = 0;
    QElapsedTimer clock;

    // After the discovery round: engage the four pads, open the window, start measuring.
    QTimer::singleShot(600, [&] {
        const QList<ControlManette*> live = GamepadManager::instance()->liveGamepads();
        for (ControlManette* device : live)
            device->connectDevice(QString());
        devices->setUniqSelection(false);
        for (int row = 0; row < devices->rowCount(); ++row)
            devices->setSelected(devices->usnForRow(row), true);
        if (live.size() != PadCount) {
            std::fprintf(stderr, "editing_session: %lld pads live, %d expected\n",
                         static_cast<long long>(live.size()), PadCount);
            app.exit(2);
            return;
        }
        if (options.editor)
            session.open(provider);
        QCoreApplication::processEvents();
        meter.start();
        clock.start();
        steps.start(StepMs);
    });
    QObject::connect(&steps, &QTimer::timeout, [&] {
        if (done == options.operations) {
            steps.stop();
            meter.stop();
            QTimer::singleShot(0, &app, &QApplication::quit);
            return;
        }
        ++done;
        if (!options.editor)
            return;
        QElapsedTimer took;
        took.start();
        const char* op = session.step();
        const qint64 ns = took.nsecsElapsed();
        operationTimes.add(ns);
        byKind[op].add(ns);
    });
    if (app.exec() != 0)
        return 2;

    std::printf("%s: %d operation step(s) of %d ms over %.1f s, %d definitions, %d pads at 10 ms\n",
                options.editor ? "editing session" : "no editor (same pads, same clock)", done, StepMs,
                double(clock.nsecsElapsed()) / 1e9, options.definitions, PadCount);
    if (options.editor)
        session.audit(data.path());
    printSeries("sampling intervals (4 pads)", meter.sampleIntervals());
    std::printf("%-36s %lld\n", "sampling steps over 1.5 intervals",
                static_cast<long long>(meter.skippedSamples()));
    printSeries("event loop lateness (1 ms grid)", meter.lateness());
    if (options.editor) {
        printSeries("operation on the GUI thread", operationTimes);
        std::vector<std::pair<qint64, std::string>> slowest;
        for (const auto& [name, h] : byKind)
            slowest.emplace_back(h.maxNs(), name);
        std::sort(slowest.rbegin(), slowest.rend());
        std::printf("slowest kinds (max, p50, count):");
        for (const auto& [max, name] : slowest)
            std::printf(" %s %s/%s/%lld;", name.c_str(), qPrintable(ms(max)),
                        qPrintable(ms(byKind[name].percentileNs(50))),
                        static_cast<long long>(byKind[name].count()));
        std::printf("\n");
    }
    std::printf("longest stalls:\n");
    for (const Stall& stall : meter.longest().stalls())
        std::printf("  %s ms at %.3f s: %s\n", qPrintable(ms(stall.lateNs)), double(stall.atNs) / 1e9,
                    qPrintable(stall.what));
    return 0;
}
