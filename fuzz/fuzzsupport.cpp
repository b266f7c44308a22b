#include "fuzzchecks.h"

#include "gamepadmanager.h"
#include "profilestore.h"
#include "virtualjoystickbackend.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTemporaryDir>

#include <memory>

namespace {

QTemporaryDir& scratch()
{
    // Removed with everything the checks wrote when the process ends.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/joyrelay-fuzz-XXXXXX"));
    return dir;
}

// The readers warn about every broken file; millions of inputs would drown the fuzzer's report.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
        std::abort();
    }
}

// A definition that matches the first pad, so the registry's profile carousel has something to show.
void seedDefinition()
{
    const QString folder = QDir(ProfileStore::userProfilesRoot())
                               .filePath(QStringLiteral("5b0c3f7e-9d1a-4c2b-8e6f-0a1b2c3d4e5f"));
    const QJsonObject meta{{QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta")},
                           {QStringLiteral("id"), QStringLiteral("5b0c3f7e-9d1a-4c2b-8e6f-0a1b2c3d4e5f")},
                           {QStringLiteral("name"), QStringLiteral("Fuzz profile")},
                           {QStringLiteral("deviceName"), QStringLiteral("Fuzz Pad A")}};
    FuzzChecks::writeFile(QDir(folder).filePath(QStringLiteral("meta.json")), QJsonDocument(meta).toJson());
    FuzzChecks::writeFile(QDir(folder).filePath(QStringLiteral("overlay.json")),
                          R"({"type":"InteractiveOverlay","version":4,"nodes":[]})");
}

VirtualJoystickBackend::Pad pad(int slot, const QString& name, quint32 vendor, quint32 product, int axes,
                                int buttons)
{
    VirtualJoystickBackend::Pad pad;
    pad.slot = slot;
    pad.name = name;
    pad.vendorId = vendor;
    pad.productId = product;
    pad.axes = pad.axes.mid(0, axes);
    pad.buttons = buttons;
    return pad;
}

} // namespace

namespace FuzzChecks {

void setUp(int argc, char** argv)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch().filePath(QStringLiteral("data"))));
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietHandler);
        static int s_argc = argc; // QApplication keeps a reference to it
        new QApplication(s_argc, argv);
    }
    QCoreApplication::instance()->setProperty("hx.currentLogin", QStringLiteral("fuzz"));
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", false);
    seedDefinition();

    auto pads = std::make_shared<VirtualJoystickBackend>();
    pads->plug(pad(0, QStringLiteral("Fuzz Pad A"), 0x045e, 0x028e, 8, 32));
    pads->plug(pad(1, QStringLiteral("Fuzz Pad B"), 0x054c, 0x05c4, 4, 12));
    delete GamepadManager::existingInstance();
    JoystickBackends::install(pads);
    GamepadManager::instance();
}

QString scratchPath(const QString& name)
{
    return scratch().filePath(name);
}

QJsonObject parseObject(const QByteArray& bytes, bool* ok)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    *ok = error.error == QJsonParseError::NoError && doc.isObject();
    return doc.object();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.readAll() : QByteArray();
}

QString compareBytes(const char* what, const QByteArray& first, const QByteArray& second)
{
    if (first == second)
        return {};
    qsizetype at = 0;
    while (at < first.size() && at < second.size() && first.at(at) == second.at(at))
        ++at;
    return QStringLiteral("%1: the second write differs from the first at byte %2 (%3 / %4)")
        .arg(QLatin1String(what))
        .arg(at)
        .arg(QString::fromUtf8(first.mid(std::max<qsizetype>(0, at - 20), 60)),
             QString::fromUtf8(second.mid(std::max<qsizetype>(0, at - 20), 60)));
}

} // namespace FuzzChecks
