#include "registryfile.h"

#include "jsonio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

namespace RegistryFile {

QString path(const QString& context)
{
    // Plain concatenation: an empty context must not turn "/TavonCom" into an absolute path.
    const QString contextFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + context;
    QDir().mkpath(contextFolder);
    const QString folder = contextFolder + QStringLiteral("/TavonCom");
    // The host normally provides TavonCom; create it so the registry is saved without it too.
    QDir().mkpath(folder);
    return folder + QStringLiteral("/gamepads.json");
}

QJsonDocument read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll());
}

bool write(const QString& path, const QJsonObject& root)
{
    const QString tmp = path + QStringLiteral(".tmp");
    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    if (!JsonIo::writeAll(file, QJsonDocument(root).toJson(QJsonDocument::Compact))) {
        file.close();
        QFile::remove(tmp);
        return false;
    }
    file.close();
    // rename(2) replaces the old file in one step: there is never a moment without a registry.
    return std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) == 0;
}

} // namespace RegistryFile

namespace RegistryEvents {

namespace {

ComProviderEvent make(int severity, const char* title, const char* message, const QString& name,
                      const QString& usn)
{
    ComProviderEvent event;
    event.severity = severity;
    event.title = QCoreApplication::translate("LinkerDeviceModel", title);
    event.message = QCoreApplication::translate("LinkerDeviceModel", message).arg(name, usn);
    event.source = QStringLiteral("Gamepad");
    return event;
}

} // namespace

ComProviderEvent detected(const QString& name, const QString& usn)
{
    return make(0, QT_TRANSLATE_NOOP("LinkerDeviceModel", "Gamepad detected"),
                QT_TRANSLATE_NOOP("LinkerDeviceModel", "%1 (%2) is now available."), name, usn);
}

ComProviderEvent removed(const QString& name, const QString& usn)
{
    return make(0, QT_TRANSLATE_NOOP("LinkerDeviceModel", "Gamepad removed"),
                QT_TRANSLATE_NOOP("LinkerDeviceModel", "%1 (%2) is no longer available."), name, usn);
}

ComProviderEvent selectedDisconnected(const QString& name, const QString& usn)
{
    return make(1, QT_TRANSLATE_NOOP("LinkerDeviceModel", "Selected gamepad disconnected"),
                QT_TRANSLATE_NOOP("LinkerDeviceModel", "%1 (%2) is no longer available."), name, usn);
}

ComProviderEvent connected(const QString& name, const QString& usn)
{
    return make(0, QT_TRANSLATE_NOOP("LinkerDeviceModel", "Gamepad connected"),
                QT_TRANSLATE_NOOP("LinkerDeviceModel", "%1 (%2) is connected."), name, usn);
}

ComProviderEvent connectionLost(const QString& name, const QString& usn)
{
    return make(1, QT_TRANSLATE_NOOP("LinkerDeviceModel", "Gamepad connection lost"),
                QT_TRANSLATE_NOOP("LinkerDeviceModel", "%1 (%2) is no longer responding."), name, usn);
}

} // namespace RegistryEvents
