#pragma once

// Private data root and definition folders for the device tests.
#include "profilestore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QStringList>
#include <QUuid>

namespace InputFixtures {

// A fresh, empty data root below Qt's test-mode location, with the login "alice".
inline QString resetDataRoot()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::instance()->setProperty("hx.currentLogin", QStringLiteral("alice"));
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", false);
    const QString root = ProfileStore::dataRoot();
    QDir(root).removeRecursively();
    QDir().mkpath(root);
    return root;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Definition
{
    QString folder;
    QString id;
};

// A definition folder named by a new id below root; meta gets "type" and "id" filled in. The
// mapping file and the picture are written when asked, under their default names unless meta
// names others.
inline Definition writeDefinition(const QString& root, QJsonObject meta, bool withConfig = true,
                                  bool withImage = false, const QString& id = QString())
{
    Definition def;
    def.id = id.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : id;
    def.folder = QDir(root).filePath(def.id);
    meta.insert(QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta"));
    if (!meta.contains(QStringLiteral("id")))
        meta.insert(QStringLiteral("id"), def.id);
    writeFile(QDir(def.folder).filePath(QStringLiteral("meta.json")), QJsonDocument(meta).toJson());
    if (withConfig) {
        const QString config =
            meta.value(QStringLiteral("config")).toString(QStringLiteral("configActionGamepad.json"));
        writeFile(QDir(def.folder).filePath(config), "{}");
    }
    if (withImage) {
        const QString image = meta.value(QStringLiteral("image")).toString(QStringLiteral("image.png"));
        writeFile(QDir(def.folder).filePath(image), "png");
    }
    return def;
}

// Collects the messages of the process while it lives (they still reach the previous handler).
class LogRecorder
{
public:
    LogRecorder()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogRecorder::handle);
    }
    ~LogRecorder()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    int count(const QString& start) const
    {
        int n = 0;
        for (const QString& line : m_lines)
            n += line.startsWith(start) ? 1 : 0;
        return n;
    }
    QStringList lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (s_current) {
            s_current->m_lines.append(message);
            if (s_current->m_previous)
                s_current->m_previous(type, context, message);
        }
    }
    inline static LogRecorder* s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

} // namespace InputFixtures
