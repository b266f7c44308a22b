// The configuration window driven by a sequence of user operations read from the input, over a
// small library (user and shared definitions, linked and not, one whose overlay cannot be read),
// checked after every step against a model of what the user did:
//   - no file of a definition the user did not act on changes, nothing is written outside the
//     data root, and the shared area is never written without the right;
//   - every value the user set is on disk once the save delays have passed, unless a failure
//     message was shown;
//   - the highlighted row, the editor's definition and the calibration page's context agree;
//   - operations that change no binding (switching rows, modes, links, calibration) change none.
#include "fuzzchecks.h"
#include "scripteddialogs.h"
#include "sequencemodel.h"

#include "actiontoolbox.h"
#include "calibrationfiles.h"
#include "controlmanette.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadconfigwidget.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "profilestore.h"
#include "tagselectionbar.h"
#include "toucharea.h"
#include "virtualjoystickbackend.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

enum Op
{
    Select,
    Click,
    Arrow,
    Retitle,
    Drag,
    AddPastille,
    RemovePastille,
    Learn,
    QuickMap,
    Bind,
    Link,
    Unlink,
    Mode,
    CalibrationEdit,
    Scope,
    Reset,
    DeleteOverride,
    CopyBase,
    New,
    Duplicate,
    Rename,
    Delete,
    Copy,
    Paste,
    DiskFull,
    Time,
    OpCount
};

// An input is read as up to this many operations, two bytes each (operation, argument).
constexpr int MaxOperations = 128;

const char* const kOpNames[OpCount] = {
    "select", "click",    "arrow",          "retitle",  "drag",   "add",       "remove",
    "learn",  "quickmap", "bind",           "link",     "unlink", "mode",      "calibrate",
    "scope",  "reset",    "deleteoverride", "copybase", "new",    "duplicate", "rename",
    "delete", "copy",     "paste",          "diskfull", "time"};

bool changesContent(Op op)
{
    return op == Retitle || op == Drag || op == AddPastille || op == RemovePastille || op == Learn ||
           op == QuickMap || op == Bind;
}

bool changesMeta(Op op)
{
    return op == Rename || op == Link || op == Unlink || op == Scope || op == CopyBase ||
           op == DeleteOverride || op == Reset || op == CalibrationEdit;
}

const QStringList kNames{QStringLiteral("Zeta"), QStringLiteral("Alpha"), QStringLiteral("Nouvelle"),
                         QStringLiteral("Drone: 1")};
const QStringList kPads{QStringLiteral("Fuzz Pad A"), QStringLiteral("Fuzz Pad B"),
                        QStringLiteral("Autre manette")};

// A full disk while it lives: RLIMIT_FSIZE (the signal ignored) fails every write past 64 bytes.
class DiskFullGuard
{
public:
    DiskFullGuard()
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskFullGuard()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

QString signatureOf(const GamepadCalibration::CalibrationSet& set)
{
    QStringList parts;
    for (const GamepadCalibration::AxisSettings& axis : set.axes)
        parts.append(QString::number(axis.deadzoneRadius, 'f', 2));
    for (const GamepadCalibration::GateSettings& gate : set.gates)
        parts.append(gate.key);
    return parts.join(QLatin1Char(' '));
}

QString fileSignature(const QString& path)
{
    if (!QFileInfo::exists(path))
        return QStringLiteral("absent");
    GamepadCalibration::CalibrationSet set;
    if (!GamepadCalibration::loadCalibrationFile(path, &set))
        return QStringLiteral("unreadable");
    return signatureOf(set);
}

class Session
{
public:
    Session(bool canEditShared, const QString& scratchRoot);
    ~Session();
    bool isReady() const { return m_dir.isValid(); }
    // The first invariant that failed, with the operations that led there; empty when all held.
    QString run(const QByteArray& input);

private:
    QString step(Op op, quint8 arg);
    void perform(Op op, quint8 arg);
    void processEvents();
    void runTimers();
    void finishCapture();
    bool fire(QTimer* timer);
    void sampleInput(int code);
    void sampleDevices();
    QString check(Op op, const Sequence::Snapshot& before, const QString& currentBefore,
                  qsizetype messagesBefore, bool agreed);
    QString checkAgreement() const;
    QString checkFiles(Op op, const Sequence::Snapshot& before, const QString& currentBefore);
    QString checkDisk();
    void adoptNewRows(bool deleted);
    QString currentId() const;
    QString folderId(const QString& path) const;
    const DefinitionRecord* record(const QString& id) const;
    void rememberCalibrationTarget();

    QTemporaryDir m_dir;
    Sequence::Snapshot m_files;
    QString m_data;
    QString m_outside;
    QString m_picture;
    bool m_canEditShared = false;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<GamepadDefinder> m_editor;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    std::optional<DiskFullGuard> m_diskFull;
    quint8 m_arg = 0;
    QString m_announced;
    Sequence::Library m_model;
    QSet<QString> m_excused;               // a failure message was shown while the user edited these
    QHash<QString, QString> m_calibration; // file -> expected signature
    bool m_calibrationExcused = false;
    QStringList m_trace;
};

Session::Session(bool canEditShared, const QString& scratchRoot)
    : m_dir(scratchRoot + QStringLiteral("/sequence-XXXXXX")), m_canEditShared(canEditShared)
{
    if (!m_dir.isValid())
        return;
    m_data = m_dir.filePath(QStringLiteral("data"));
    m_outside = m_dir.filePath(QStringLiteral("outside"));
    m_picture = QDir(m_outside).filePath(QStringLiteral("picture.png"));
    QDir().mkpath(m_outside);
    QImage picture(64, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    picture.save(m_picture);
    FuzzChecks::writeFile(QDir(m_outside).filePath(QStringLiteral("sentinel.txt")), "outside the data root");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data));
    QCoreApplication::instance()->setProperty("hx.currentLogin", QStringLiteral("seq"));
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", canEditShared);
    Sequence::writeStartLibrary(m_picture);

    // Nothing of an earlier input stays: not its clipboard, not the calibration the devices read
    // from its library.
    QGuiApplication::clipboard()->clear();
    for (ControlManette* device : GamepadManager::instance()->liveGamepads())
        device->reloadCalibration();
    // Every input starts with the pads at rest, as the devices last sampled them.
    m_pads = std::dynamic_pointer_cast<VirtualJoystickBackend>(JoystickBackends::current());
    for (int axis = 0; axis < 8; ++axis)
        m_pads->setAxis(0, axis, 0);
    for (int button = 0; button < 32; ++button)
        m_pads->release(0, button);
    sampleDevices();
    m_dialogs.fallback = [this](const QString& kind) -> QVariant {
        if (kind == QLatin1String("question"))
            return bool(m_arg & 1);
        if (kind == QLatin1String("text"))
            return (m_arg & 7) == 7 ? QVariant() : QVariant(kNames.value((m_arg >> 1) % kNames.size()));
        if (kind == QLatin1String("open"))
            return (m_arg & 15) == 15 ? QString() : m_picture;
        if (kind == QLatin1String("item"))
            return (m_arg & 2) ? QVariant(kPads.first()) : QVariant();
        return {};
    };
    EditorDialogService::install(&m_dialogs);
    m_editor = std::make_unique<GamepadDefinder>();
    QObject::connect(m_editor.get(), &GamepadDefinder::currentGamepadChanged, [this](const QUuid& id) {
        m_announced = id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
    });
    m_editor->resize(1100, 720);
    m_editor->setServices(
        QJsonObject{{QStringLiteral("sharedActionCatalog"),
                     QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("camera.zoom")},
                                            {QStringLiteral("group"), QStringLiteral("Caméra")}},
                                QJsonObject{{QStringLiteral("name"), QStringLiteral("camera.pan")},
                                            {QStringLiteral("group"), QStringLiteral("Caméra")}},
                                QJsonObject{{QStringLiteral("name"), QStringLiteral("recording.toggle")}},
                                QJsonObject{{QStringLiteral("name"), QStringLiteral("none")}}}}});
    m_editor->show();
    // Shown, so visibility, focus and clicks are those of a real window, but never painted: the
    // check reads state, not pixels.
    m_editor->setUpdatesEnabled(false);
    processEvents();
    m_announced = currentId(); // opened before anyone listened
    m_files = Sequence::snapshot(m_dir.path());
    for (const DefinitionRecord& r : m_editor->library().records()) {
        const QString id = r.id.toString(QUuid::WithoutBraces);
        Sequence::Definition expected;
        expected.broken = r.name == QLatin1String("Omega");
        expected.pastilles = Sequence::readFolder(r.folder, {}).pastilles;
        for (auto it = expected.pastilles.begin(); it != expected.pastilles.end(); ++it) {
            if (it.value().kind == InteractiveOverlay::DualJoyCross && r.name == QLatin1String("Alpha"))
                it.value().gates.insert(QStringLiteral("gate_0"), QStringLiteral("camera.pan"));
        }
        Sequence::Definition disk = Sequence::readFolder(r.folder, expected);
        disk.pastilles = expected.broken ? QMap<QString, Sequence::Pastille>() : disk.pastilles;
        m_model.insert(id, disk);
    }
}

Session::~Session()
{
    m_diskFull.reset();
    m_editor.reset();
    EditorDialogService::install(nullptr);
    qputenv("XDG_DATA_HOME", QFile::encodeName(FuzzChecks::scratchPath(QStringLiteral("data"))));
    QCoreApplication::instance()->setProperty("hx.currentLogin", QStringLiteral("fuzz"));
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", false);
    if (m_pads) {
        for (int axis = 0; axis < 8; ++axis)
            m_pads->setAxis(0, axis, 0);
        for (int button = 0; button < 32; ++button)
            m_pads->release(0, button);
    }
}

QString Session::run(const QByteArray& input)
{
    for (int i = 0; i + 1 < input.size() && i < 2 * MaxOperations; i += 2) {
        const QString failure = step(Op(quint8(input.at(i)) % OpCount), quint8(input.at(i + 1)));
        if (!failure.isEmpty())
            return failure;
    }
    // Whatever is still pending lands once the disk has room again.
    m_diskFull.reset();
    return step(Time, 0);
}

// Operations run by this process, printed when it ends (a fuzz run's figure is in operations).
std::atomic<qint64> s_operations{0};

void printOperations()
{
    std::fprintf(stderr, "editorsequence: %lld operations\n", static_cast<long long>(s_operations.load()));
}

QString Session::step(Op op, quint8 arg)
{
    static const bool counting = [] { return std::atexit(printOperations) == 0; }();
    Q_UNUSED(counting);
    // Also every 10,000, so a run that is stopped still tells how far it went.
    if (++s_operations % 10000 == 0)
        printOperations();
    m_trace.append(QStringLiteral("%1(%2)").arg(QLatin1String(kOpNames[op])).arg(arg));
    // The files as the last step left them (read once a step).
    const Sequence::Snapshot before = m_files;
    const QString currentBefore = currentId();
    const qsizetype messagesBefore = m_dialogs.messages().size();
    const qsizetype questionsBefore = m_dialogs.shown.filter(QStringLiteral("question|")).size();
    m_arg = arg;
    perform(op, arg);
    processEvents();
    // Time passes for the devices too: each step ends with one sampling step, whatever the
    // devices' own timers did meanwhile (a reload after a save is seen at the same step).
    sampleDevices();
    processEvents();
    // JOY_SEQUENCE_TRACE=1 prints each step and what the editor shows after it.
    static const bool trace = qEnvironmentVariableIntValue("JOY_SEQUENCE_TRACE") != 0;
    if (trace) {
        QStringList shown;
        const QMap<QString, Sequence::Pastille> pastilles = Sequence::pastillesOf(m_editor->overlay());
        for (const Sequence::Pastille& p : pastilles)
            shown.append(p.title + QLatin1Char(':') + p.keys.join(QLatin1Char('+')) + QLatin1Char('=') +
                         p.actions.join(QLatin1Char('+')));
        std::fprintf(stderr, "%s row %d \"%s\": %s\n", qPrintable(m_trace.last()), m_editor->currentRow(),
                     qPrintable(m_editor->library().isValidRow(m_editor->currentRow())
                                    ? m_editor->library().at(m_editor->currentRow()).name
                                    : QString()),
                     qPrintable(shown.join(QStringLiteral(", "))));
        for (const QString& message : m_dialogs.messages().mid(messagesBefore))
            std::fprintf(stderr, "  shown: %s\n", qPrintable(message));
        for (const DefinitionRecord& r : m_editor->library().records())
            std::fprintf(stderr, "  on disk \"%s\": %d pastille(s)\n", qPrintable(r.name),
                         int(Sequence::readFolder(r.folder, {}).pastilles.size()));
    }
    const bool agreed =
        (arg & 1) && m_dialogs.shown.filter(QStringLiteral("question|")).size() > questionsBefore;
    const QString failure = check(op, before, currentBefore, messagesBefore, agreed);
    return failure.isEmpty() ? failure
                             : failure + QStringLiteral("\n  after: ") + m_trace.join(QLatin1Char(' '));
}

void Session::processEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A Learn still listening (a click on a group header of the quick actions arms nothing and leaves
// it so) takes what the operation's input offered once its delay has passed: within that
// operation, as the user sees it, not in whatever operation comes next.
void Session::finishCapture()
{
    if (fire(m_editor->findChild<QTimer*>(QStringLiteral("learnCaptureTimer"))))
        processEvents();
}

// Its timeout now, as if its delay had passed; false when it was not running.
bool Session::fire(QTimer* timer)
{
    if (!timer || !timer->isActive())
        return false;
    timer->stop();
    QMetaObject::invokeMethod(timer, "timeout");
    return true;
}

void Session::runTimers()
{
    static const QStringList names{QStringLiteral("definitionSaveTimer"), QStringLiteral("learnCaptureTimer"),
                                   QStringLiteral("calibrationSaveTimer")};
    for (int round = 0; round < 8; ++round) {
        bool fired = false;
        for (QTimer* timer : m_editor->findChildren<QTimer*>()) {
            if (names.contains(timer->objectName()) && fire(timer))
                fired = true;
        }
        processEvents();
        if (!fired)
            return;
    }
}

void Session::sampleDevices()
{
    for (ControlManette* device : GamepadManager::instance()->liveGamepads())
        device->sample();
}

void Session::sampleInput(int code)
{
    // Axes 0..7 pushed to 80 and back, or one of the buttons 0, 1, 2, 5 pressed and released.
    const auto sample = [this] { sampleDevices(); };
    code %= 12;
    if (code < 8)
        m_pads->setAxis(0, code, 80);
    else
        m_pads->press(0, QList<int>{0, 1, 2, 5}.at(code - 8));
    sample();
    processEvents();
    if (code < 8)
        m_pads->setAxis(0, code, 0);
    else
        m_pads->release(0, QList<int>{0, 1, 2, 5}.at(code - 8));
    sample();
}

template <typename T> T* visibleChild(QWidget* root, const QString& name)
{
    T* child = root->findChild<T*>(name);
    return child && child->isVisible() && child->isEnabled() ? child : nullptr;
}

void Session::perform(Op op, quint8 arg)
{
    GamepadDefinder* editor = m_editor.get();
    QListWidget* list = editor->listWidget();
    InteractiveOverlay* overlay = editor->overlay();
    GamepadConfigWidget* page = editor->calibrationEditor();
    const int rows = list->count();
    const int nodes = overlay->nodeCount();
    const int node = nodes > 0 ? arg % nodes : -1;
    switch (op) {
    case Select:
        if (rows > 0)
            list->setCurrentRow(arg % rows);
        break;
    case Click:
        if (rows > 0)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(arg % rows)).center());
        break;
    case Arrow:
        QTest::keyClick(list, (arg & 1) ? Qt::Key_Down : Qt::Key_Up);
        break;
    case Retitle:
        if (node >= 0 && overlay->isVisible())
            overlay->setTitle(node, kNames.value((arg >> 4) % kNames.size()) + QString::number(arg % 3));
        break;
    case Drag:
        if (node >= 0 && overlay->isVisible() && overlay->mode() == InteractiveOverlay::Edit) {
            TouchArea* area = overlay->pastille(node);
            area->move(area->pos() + QPoint((arg >> 2) % 9 - 4, (arg >> 4) % 9 - 4) * 6);
            emit area->moved();
        }
        break;
    case AddPastille: {
        const QString texts[3] = {QStringLiteral("+ Joy"), QStringLiteral("+ Dual XY"),
                                  QStringLiteral("+ Btn")};
        for (QPushButton* button : editor->findChildren<QPushButton*>()) {
            if (button->text() == texts[arg % 3] && button->isVisible() && button->isEnabled()) {
                button->click();
                break;
            }
        }
        break;
    }
    case RemovePastille:
        if (node >= 0 && overlay->isVisible()) {
            overlay->selectNode(node);
            if (QPushButton* remove =
                    visibleChild<QPushButton>(editor, QStringLiteral("inspectorDeleteButton")))
                remove->click();
        }
        break;
    case Learn:
        if (node >= 0 && overlay->isVisible()) {
            overlay->selectNode(node);
            processEvents();
            for (QPushButton* button : editor->findChildren<QPushButton*>()) {
                if (button->text().startsWith(QLatin1String("Learn")) && button->isVisible()) {
                    button->click();
                    break;
                }
            }
            sampleInput(arg >> 3);
            runTimers();
        }
        break;
    case QuickMap: {
        QListWidget* quick = editor->findChild<QWidget*>(QStringLiteral("gamepadQuickActionsPanel"))
                                 ->findChild<QListWidget*>();
        if (quick && quick->isVisible() && quick->count() > 0) {
            editor->clickQuickAction(arg % quick->count());
            sampleInput(arg >> 3);
            finishCapture();
        }
        break;
    }
    case Bind:
        if (node >= 0 && overlay->isVisible()) {
            overlay->selectNode(node);
            processEvents();
            const QList<ActionToolBox*> boxes = editor->findChildren<ActionToolBox*>();
            for (ActionToolBox* box : boxes) {
                if (box->isVisible()) {
                    QComboBox* choice = box->actionChoice();
                    choice->setCurrentIndex((arg >> 4) % choice->count());
                    break;
                }
            }
        }
        break;
    case Link:
    case Unlink: {
        if (!editor->tagBar()->isVisible())
            break;
        QStringList tags = editor->tagBar()->selectedTags();
        if (op == Link)
            tags.append(kPads.value(arg % kPads.size()));
        else if (!tags.isEmpty())
            tags.removeAt(arg % tags.size());
        editor->tagBar()->setSelectedTags(tags);
        break;
    }
    case Mode: {
        const char* names[3] = {"modeMappingButton", "modeCalibrationButton", "modeEditButton"};
        if (QPushButton* button = visibleChild<QPushButton>(editor, QLatin1String(names[arg % 3])))
            button->click();
        break;
    }
    case CalibrationEdit:
        if (page && page->isVisible()) {
            const QList<GamepadAxisCalibrationWidget*> cards =
                page->findChildren<GamepadAxisCalibrationWidget*>();
            GamepadAxisCalibrationWidget* card = cards.value(arg % 8);
            if (card && card->isEditable()) {
                GamepadCalibration::AxisSettings s = page->currentCalibration().axes.value(arg % 8);
                s.deadzoneRadius = double((arg >> 3) % 30);
                emit card->settingsChanged(s);
            }
        }
        break;
    case Scope:
        if (page && page->isVisible()) {
            if (QComboBox* scope = visibleChild<QComboBox>(page, QStringLiteral("scopeCombo")))
                scope->setCurrentIndex(arg % 2);
        }
        break;
    case Reset:
    case DeleteOverride:
    case CopyBase: {
        const char* name = op == Reset            ? "resetCalibrationButton"
                           : op == DeleteOverride ? "deleteOverrideButton"
                                                  : "copyBaseToProfileButton";
        if (page && page->isVisible()) {
            if (QToolButton* button = visibleChild<QToolButton>(page, QLatin1String(name)))
                button->click();
        }
        break;
    }
    case New:
        QMetaObject::invokeMethod(editor, "actionNew");
        break;
    case Duplicate:
        QMetaObject::invokeMethod(editor, "actionDuplicate");
        break;
    case Rename:
        QMetaObject::invokeMethod(editor, "actionRename");
        break;
    case Delete:
        QMetaObject::invokeMethod(editor, "actionDelete");
        break;
    case Copy:
        QMetaObject::invokeMethod(editor, "actionCopy");
        break;
    case Paste:
        QMetaObject::invokeMethod(editor, "actionPaste");
        break;
    case DiskFull:
        if (m_diskFull)
            m_diskFull.reset();
        else
            m_diskFull.emplace();
        break;
    case Time:
        runTimers();
        break;
    case OpCount:
        break;
    }
}

QString Session::currentId() const
{
    const int row = m_editor->currentRow();
    return m_editor->library().isValidRow(row) ? m_editor->library().at(row).id.toString(QUuid::WithoutBraces)
                                               : QString();
}

const DefinitionRecord* Session::record(const QString& id) const
{
    const int row = m_editor->library().rowOfId(QUuid::fromString(id));
    return row >= 0 ? &m_editor->library().at(row) : nullptr;
}

QString Session::folderId(const QString& path) const
{
    // <data>/[<login>/]GamepadProfiles/<id>/<file>
    const QStringList parts = QDir(m_data).relativeFilePath(path).split(QLatin1Char('/'));
    const int at = parts.indexOf(QStringLiteral("GamepadProfiles"));
    return at >= 0 && at + 2 < parts.size() ? parts.at(at + 1) : QString();
}

void Session::rememberCalibrationTarget()
{
    GamepadConfigWidget* page = m_editor->calibrationEditor();
    if (!page)
        return;
    // What the page shows is what its target holds, or will once its pending edit is saved.
    const QString target = page->targetPath();
    if (!target.isEmpty() && (page->hasPendingEdit() || QFileInfo::exists(target)))
        m_calibration.insert(target, signatureOf(page->currentCalibration()));
    const QString override = GamepadCalibration::overrideCalibrationPath(page->profileContext());
    if (!override.isEmpty() && !QFileInfo::exists(override) && page->editScope() == 0)
        m_calibration.insert(override, QStringLiteral("absent"));
}

QString Session::checkAgreement() const
{
    const int row = m_editor->currentRow();
    QListWidget* list = m_editor->listWidget();
    if (list->currentRow() != row)
        return QStringLiteral("the list shows row %1, the editor row %2").arg(list->currentRow()).arg(row);
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    if (row >= 0 && (selected.size() != 1 || selected.first().row() != row))
        return QStringLiteral("the list highlights another row than the editor's %1").arg(row);
    const QString current = currentId();
    if (m_announced != current)
        return QStringLiteral("the editor announced %1 while showing %2").arg(m_announced, current);
    GamepadConfigWidget* page = m_editor->calibrationEditor();
    const QString pageId = page ? page->profileContext().profileId.toString(QUuid::WithoutBraces) : QString();
    const bool calibrationShown = page && page->isVisible();
    if (row < 0) {
        if (m_editor->overlay()->nodeCount() != 0 || !m_editor->tagBar()->selectedTags().isEmpty() ||
            m_editor->followedController())
            return QStringLiteral("no row is current but the last definition is still shown");
        if (calibrationShown && !page->profileContext().profileId.isNull())
            return QStringLiteral("no row is current but the calibration page edits %1").arg(pageId);
        return {};
    }
    if (calibrationShown) {
        const DefinitionRecord& r = m_editor->library().at(row);
        if (pageId != current ||
            QDir::cleanPath(page->profileContext().profileFolder) != QDir::cleanPath(r.folder))
            return QStringLiteral("the calibration page edits %1 (%2) while the editor shows %3 (%4)")
                .arg(pageId, page->profileContext().profileFolder, current, r.folder);
    }
    return {};
}

QString Session::checkFiles(Op op, const Sequence::Snapshot& before, const QString& currentBefore)
{
    QSet<QString> paths(before.keyBegin(), before.keyEnd());
    m_files = Sequence::snapshot(m_dir.path());
    const Sequence::Snapshot& after = m_files;
    for (auto it = after.keyBegin(); it != after.keyEnd(); ++it)
        paths.insert(*it);
    const QString current = currentId();
    const QString shared = ProfileStore::sharedProfilesRoot();
    for (const QString& path : std::as_const(paths)) {
        if (before.value(path) == after.value(path) && before.contains(path) == after.contains(path))
            continue;
        if (!path.startsWith(m_data + QLatin1Char('/')))
            return QStringLiteral("%1 wrote outside the data root: %2")
                .arg(QLatin1String(kOpNames[op]), path);
        if (!m_canEditShared && path.startsWith(shared + QLatin1Char('/')))
            return QStringLiteral("%1 wrote into the shared area without the right: %2")
                .arg(QLatin1String(kOpNames[op]), path);
        const QString id = folderId(path);
        if (id.isEmpty() || id == currentBefore || id == current || !m_model.contains(id))
            continue;
        if (op == Delete && !record(id))
            continue;
        return QStringLiteral("%1 changed %2 of \"%3\", which the user did not act on")
            .arg(QLatin1String(kOpNames[op]), QFileInfo(path).fileName(), m_model.value(id).name);
    }
    return {};
}

void Session::adoptNewRows(bool deleted)
{
    QSet<QString> listed;
    for (const DefinitionRecord& r : m_editor->library().records()) {
        const QString id = r.id.toString(QUuid::WithoutBraces);
        listed.insert(id);
        // A deleted copy uncovers the definition it was copied from, with that one's values (also
        // when the save before the question made the copy: a user with the shared right edits a
        // personal definition in a shared copy, which the personal one hides once listed again).
        const bool uncovered = deleted;
        if (m_model.contains(id) && !uncovered)
            continue;
        m_model.insert(id, Sequence::readFolder(r.folder, m_model.value(id)));
    }
    for (auto it = m_model.begin(); it != m_model.end();) {
        if (!listed.contains(it.key())) {
            it = m_model.erase(it);
        } else {
            ++it;
        }
    }
}

QString Session::checkDisk()
{
    for (const DefinitionRecord& r : m_editor->library().records()) {
        const QString id = r.id.toString(QUuid::WithoutBraces);
        const Sequence::Definition& expected = m_model[id];
        const QString problem = Sequence::difference(QStringLiteral("on disk, \"%1\"").arg(expected.name),
                                                     expected, Sequence::readFolder(r.folder, expected));
        if (problem.isEmpty()) {
            m_excused.remove(id);
            continue;
        }
        if (!m_excused.contains(id))
            return problem;
        // The user was told: what is on disk is what they have now, unless the editor still
        // holds the edits to save later.
        if (id != currentId() || !m_editor->isDirty())
            m_model[id] = Sequence::readFolder(r.folder, expected);
    }
    for (auto it = m_calibration.begin(); it != m_calibration.end(); ++it) {
        const QString actual = fileSignature(it.key());
        if (actual == it.value())
            continue;
        if (!m_calibrationExcused)
            return QStringLiteral("on disk, %1 holds %2, expected %3").arg(it.key(), actual, it.value());
        it.value() = actual;
    }
    m_calibrationExcused = false;
    return {};
}

QString Session::check(Op op, const Sequence::Snapshot& before, const QString& currentBefore,
                       qsizetype messagesBefore, bool agreed)
{
    QString failure = checkAgreement();
    if (failure.isEmpty())
        failure = checkFiles(op, before, currentBefore);
    if (!failure.isEmpty())
        return failure;
    const QString current = currentId();
    if (m_dialogs.messages().size() > messagesBefore) {
        for (const QString& message : m_dialogs.messages().mid(messagesBefore)) {
            if (!message.startsWith(QLatin1String("information|")) &&
                !message.contains(QLatin1String("|Chargement|"))) {
                m_excused.insert(currentBefore);
                m_excused.insert(current);
            }
        }
    }
    if (m_diskFull)
        m_calibrationExcused = true;
    // Only a delete the user confirmed lists the library anew.
    adoptNewRows(op == Delete && agreed);

    // The values of every row the operation did not act on are those the user left there.
    GamepadDefinder* editor = m_editor.get();
    for (const DefinitionRecord& r : editor->library().records()) {
        const QString id = r.id.toString(QUuid::WithoutBraces);
        Sequence::Definition& expected = m_model[id];
        // An operation that sets these values, or a row whose failed save the user was told of.
        const bool acted = (id == current && changesMeta(op)) || m_excused.contains(id);
        if (acted) {
            expected.name = r.name;
            expected.devices = r.deviceNames;
            expected.mode = r.calibrationMode;
            continue;
        }
        if (expected.name != r.name || expected.devices != r.deviceNames ||
            expected.mode != r.calibrationMode)
            return QStringLiteral("%1 changed \"%2\" (now \"%3\", %4, %5)")
                .arg(QLatin1String(kOpNames[op]), expected.name, r.name, r.deviceNames.join(QLatin1Char(',')),
                     r.calibrationMode);
    }
    if (!current.isEmpty()) {
        Sequence::Definition& expected = m_model[current];
        const QMap<QString, Sequence::Pastille> shown = Sequence::pastillesOf(editor->overlay());
        // Adding a pastille to a definition whose overlay could not be read replaces that overlay,
        // once the user has agreed to.
        if (expected.broken && op == AddPastille && agreed)
            expected.broken = false;
        if (changesContent(op)) {
            if (!expected.broken)
                expected.pastilles = shown;
        } else if (!expected.broken && shown != expected.pastilles && m_excused.contains(current)) {
            // The user was told a save failed: what the row shows now is what they have.
            expected.pastilles = shown;
        } else if (!expected.broken && shown != expected.pastilles) {
            Sequence::Definition seen = expected;
            seen.pastilles = shown;
            return Sequence::difference(QStringLiteral("in the editor after %1, \"%2\"")
                                            .arg(QLatin1String(kOpNames[op]), expected.name),
                                        expected, seen);
        }
    }
    if (op == CalibrationEdit || op == Scope || op == Reset || op == DeleteOverride || op == CopyBase)
        rememberCalibrationTarget();
    // A deleted definition takes its override with it.
    for (auto it = m_calibration.begin(); it != m_calibration.end();) {
        if (!QFileInfo(it.key()).absoluteDir().exists())
            it = m_calibration.erase(it);
        else
            ++it;
    }
    if (op == Time && !m_diskFull)
        return checkDisk();
    return {};
}

} // namespace

namespace FuzzChecks {

QString editorSequence(const QByteArray& input)
{
    if (input.isEmpty())
        return {};
    Session session(input.at(0) & 1, scratchPath(QString()));
    if (!session.isReady())
        return QStringLiteral("no scratch folder");
    return session.run(input.mid(1));
}

} // namespace FuzzChecks
