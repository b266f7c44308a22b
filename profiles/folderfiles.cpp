#include "folderfiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every return path.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

namespace FolderFiles {

QString plainName(const QString& member, QLatin1String fallback)
{
    if (member.isEmpty() || member == u"." || member == u".." || member.contains(u'/') ||
        member.contains(u'\\') || member.contains(QChar(0)))
        return fallback;
    return member;
}

QString pathIn(const QString& folder, const QString& member, QLatin1String fallback)
{
    return child(folder, plainName(member, fallback));
}

QString child(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

Read readFile(const QString& path, qint64 maxBytes, QByteArray* bytes, Links links, QString* systemError)
{
    const auto failed = [systemError] {
        if (systemError)
            *systemError = qt_error_string(errno);
        return Read::Failed;
    };
    if (bytes)
        bytes->clear();
    if (path.isEmpty())
        return Read::Missing;
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    const Descriptor fd(::open(QFile::encodeName(path).constData(), flags));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Read::Missing;
        return errno == ELOOP ? Read::NotRegular : failed();
    }
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return failed();
    if (!S_ISREG(info.st_mode))
        return Read::NotRegular;
    if (info.st_size > maxBytes)
        return Read::TooLarge;
    // One byte past the size seen tells a file that grew since from one that did not.
    QByteArray data(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == data.size()) {
            if (total > maxBytes)
                return Read::TooLarge;
            data.resize(qsizetype(std::min<qint64>(maxBytes + 1, total * 2 + 4096)));
        }
        const ssize_t n = ::read(fd.get(), data.data() + total, size_t(data.size() - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed();
        }
        if (n == 0)
            break;
        total += n;
    }
    if (total > maxBytes)
        return Read::TooLarge;
    data.truncate(qsizetype(total));
    if (bytes)
        *bytes = std::move(data);
    return Read::Ok;
}

bool stampAt(int folderFd, const QByteArray& relative, Stamp* stamp, Kind kind)
{
    *stamp = Stamp();
    struct stat info;
    if (::fstatat(folderFd, relative.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        (kind == Kind::Regular && !S_ISREG(info.st_mode)) || (kind == Kind::Folder && !S_ISDIR(info.st_mode)))
        return false;
    stamp->device = quint64(info.st_dev);
    stamp->inode = quint64(info.st_ino);
    stamp->size = qint64(info.st_size);
    stamp->modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp->changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return true;
}

bool stampOf(const QString& path, Stamp* stamp, Kind kind)
{
    return stampAt(AT_FDCWD, QFile::encodeName(path), stamp, kind);
}

bool isRegularFile(const QString& path)
{
    struct stat info;
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

bool mayReplace(const QString& path)
{
    // Nothing there, or nothing reachable: the writer's own failure, if any, tells why.
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode);
}

} // namespace FolderFiles
