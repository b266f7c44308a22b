#include "testsupport.h"

#include "profilestore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QUuid>

#include <csignal>
#include <sys/resource.h>

namespace TestSupport {

namespace {
LogRecorder* g_recorder = nullptr;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_savedCurrent = qint64(limit.rlim_cur);
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(bytes);
    m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = rlim_t(m_savedCurrent);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::signal(SIGXFSZ, m_savedHandler ? m_savedHandler : SIG_DFL);
}

DataRoot::DataRoot(const QVariant& login, bool canEditShared)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path()));
    QDir().mkpath(path());
    setLogin(login, canEditShared);
}

QString DataRoot::path() const
{
    return ProfileStore::dataRoot();
}

QString DataRoot::sharedRoot() const
{
    return path() + QStringLiteral("/GamepadProfiles");
}

QString DataRoot::userRoot() const
{
    return path() + QLatin1Char('/') + QCoreApplication::instance()->property("hx.currentLogin").toString() +
           QStringLiteral("/GamepadProfiles");
}

void DataRoot::setLogin(const QVariant& login, bool canEditShared)
{
    QCoreApplication::instance()->setProperty("hx.currentLogin", login);
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", canEditShared);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject readJson(const QString& path)
{
    return json(readFile(path));
}

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

QJsonValue jsonAt(const QJsonObject& object, const QString& path)
{
    QJsonValue value = object;
    for (const QString& step : path.split(QLatin1Char('/')))
        value = value.toObject().value(step);
    return value;
}

Definition writeDefinition(const QString& root, QJsonObject meta, int files, const QString& id)
{
    Definition def;
    def.id = id.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : id;
    def.folder = QDir(root).filePath(def.id);
    meta.insert(QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta"));
    if (!meta.contains(QStringLiteral("id")))
        meta.insert(QStringLiteral("id"), def.id);
    writeFile(def.folder + QStringLiteral("/meta.json"), QJsonDocument(meta).toJson());
    const auto member = [&](const char* key, const char* fallback) {
        return def.folder + QLatin1Char('/') +
               meta.value(QLatin1String(key)).toString(QLatin1String(fallback));
    };
    if (files & Config)
        writeFile(member("config", "configActionGamepad.json"), "{}");
    if (files & Image)
        writeFile(member("image", "image.png"), "png");
    if (files & Overlay)
        writeFile(member("overlayFile", "overlay.json"), R"({"type": "InteractiveOverlay", "nodes": []})");
    return def;
}

VirtualJoystickBackend::Pad pad(int slot, const QString& name, quint32 vendorId, quint32 productId)
{
    VirtualJoystickBackend::Pad p;
    p.slot = slot;
    p.name = name;
    p.vendorId = vendorId;
    p.productId = productId;
    return p;
}

std::shared_ptr<VirtualJoystickBackend> virtualPads(const QList<VirtualJoystickBackend::Pad>& pads)
{
    auto backend = std::make_shared<VirtualJoystickBackend>();
    for (const VirtualJoystickBackend::Pad& p : pads)
        backend->plug(p);
    JoystickBackends::install(backend);
    return backend;
}

LogRecorder::LogRecorder()
{
    g_recorder = this;
    m_previous = qInstallMessageHandler(&LogRecorder::handle);
}

LogRecorder::~LogRecorder()
{
    qInstallMessageHandler(m_previous);
    g_recorder = nullptr;
}

int LogRecorder::count(const QString& start) const
{
    int n = 0;
    for (const QString& line : m_lines)
        n += line.startsWith(start) ? 1 : 0;
    return n;
}

void LogRecorder::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!g_recorder)
        return;
    g_recorder->m_lines.append(message);
    if (g_recorder->m_previous)
        g_recorder->m_previous(type, context, message);
}

} // namespace TestSupport
