#pragma once

// Real failures for the reliability tests beside tests/support: permissions that bind root too, a
// picture of a folder tree, and the heap in use.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QtGlobal>

#include <linux/capability.h>
#include <malloc.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define JOY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define JOY_ASAN 1
#endif
#endif
#ifdef JOY_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace FaultFixtures {

// Root ignores file permissions. Clearing these capabilities from the calling thread's effective
// set makes a read-only folder refuse root as well; they stay permitted and come back at the end.
class PermissionsEnforced
{
public:
    PermissionsEnforced() { m_active = setEffective(false); }
    ~PermissionsEnforced()
    {
        if (m_active)
            setEffective(true);
    }

private:
    static bool setEffective(bool raise)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (syscall(SYS_capget, &header, data) != 0)
            return false;
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            const quint32 bit = 1u << (cap % 32);
            if (raise)
                data[cap / 32].effective |= data[cap / 32].permitted & bit;
            else
                data[cap / 32].effective &= ~bit;
        }
        return syscall(SYS_capset, &header, data) == 0;
    }
    bool m_active = false;
};

// Every file below root (relative path to content) and every folder (path to an empty value with
// a trailing slash), so "nothing else changed" is one comparison.
inline QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> tree;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (it.fileInfo().isDir())
            tree.insert(base.relativeFilePath(path) + QLatin1Char('/'), QByteArray());
        else
            tree.insert(base.relativeFilePath(path), file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return tree;
}

// chmod of a whole tree: folders and files read-only, or writable again.
inline void setTreeWritable(const QString& root, bool writable)
{
    const QFile::Permissions read = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions exec = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList paths{root};
    while (it.hasNext())
        paths.append(it.next());
    for (const QString& path : std::as_const(paths)) {
        const bool dir = QFileInfo(path).isDir();
        QFile::setPermissions(path, (dir ? read | exec : read) |
                                        (writable ? QFile::WriteOwner : QFile::Permissions()));
    }
}

// Heap bytes in use (the sanitizer's count in an instrumented build, where freed blocks wait in
// quarantine and the resident size says little).
inline qint64 heapInUse()
{
#ifdef JOY_ASAN
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}

} // namespace FaultFixtures
