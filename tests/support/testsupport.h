#pragma once

// Fixtures shared by the test programs (library joy_testsupport; joy_add_test links it):
//   TestSupport::DataRoot data;                  // private data folder while `data` lives
//   writeDefinition(data.sharedRoot(), {{"deviceName", "Pad"}}, Files::Config | Files::Image);
//   auto pads = virtualPads({pad(0, "Pad", 0x45e, 0x28e)});   // installed as the process backend
//   LogRecorder log; ... log.count("Gamepad calibration reloaded");
// It brings the Qt Test, file and JSON headers most tests use.
#include "virtualjoystickbackend.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <memory>

namespace TestSupport {

// Points XDG_DATA_HOME at a fresh temporary folder (so ProfileStore::dataRoot() lies inside it)
// and sets the host's login and shared-edit properties on the application object.
class DataRoot
{
public:
    explicit DataRoot(const QVariant& login = QStringLiteral("alice"), bool canEditShared = false);
    QString path() const;       // ProfileStore::dataRoot()
    QString sharedRoot() const; // <data>/GamepadProfiles
    QString userRoot() const;   // <data>/<login>/GamepadProfiles
    static void setLogin(const QVariant& login, bool canEditShared = false);

private:
    QTemporaryDir m_dir;
};

// Writes bytes, creating the folders; false when the file cannot be written.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
QJsonObject readJson(const QString& path);
// The object of a JSON text (empty when the text is no object).
QJsonObject json(const QByteArray& text);
// The member at a "/"-separated path of nested objects ("devices/gp:0/kv/selected"); undefined
// when a step is missing.
QJsonValue jsonAt(const QJsonObject& object, const QString& path);

enum Files
{
    MetaOnly = 0,
    Config = 1, // the mapping file ("config" of meta, default configActionGamepad.json)
    Image = 2,  // a stand-in picture ("image" of meta, default image.png)
    Overlay = 4 // an empty overlay document ("overlayFile" of meta, default overlay.json)
};

struct Definition
{
    QString folder;
    QString id;
};

// A definition folder below root named by id (a new UUID when empty); "type" and "id" are filled in.
Definition writeDefinition(const QString& root, QJsonObject meta, int files = Config,
                           const QString& id = QString());

// A pad description for the virtual backend; axes 0..7 and 32 buttons unless changed.
VirtualJoystickBackend::Pad pad(int slot, const QString& name = QStringLiteral("Pad Pro"),
                                quint32 vendorId = 0x045e, quint32 productId = 654);
// A manual-clock virtual backend holding pads, installed as the process-wide backend.
std::shared_ptr<VirtualJoystickBackend> virtualPads(const QList<VirtualJoystickBackend::Pad>& pads = {});

// Limits the size of files this process may write (RLIMIT_FSIZE, SIGXFSZ ignored) while it lives:
// a real "disk full" for the writers under test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    bool isActive() const { return m_active; }

private:
    bool m_active = false;
    qint64 m_savedCurrent = 0;
    void (*m_savedHandler)(int) = nullptr;
};

// Collects the messages of the process while it lives (they still reach the previous handler).
class LogRecorder
{
public:
    LogRecorder();
    ~LogRecorder();
    int count(const QString& start) const;
    QStringList lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

} // namespace TestSupport
