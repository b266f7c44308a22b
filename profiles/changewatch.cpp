#include "changewatch.h"

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

namespace {

#if defined(Q_OS_LINUX)
// Local file systems, whose notices cover every change whoever makes it. Anything else (NFS, SMB,
// FUSE, 9p...) is checked by stat every time.
bool noticesEveryChange(const QByteArray& path)
{
    struct statfs fs;
    if (::statfs(path.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
    case 0x794C7630: // overlayfs
    case 0x2FC12FC1: // zfs
    case 0xCA451A4E: // bcachefs
    case 0x52654973: // reiserfs
    case 0x3153464A: // jfs
    case 0x4D44:     // vfat, msdos
    case 0x2011BAB0: // exfat
    case 0x7366746E: // ntfs3
        return true;
    default:
        return false;
    }
}

// Everything that changes what a reader of the file or folder would see, or where it is.
constexpr uint32_t Events = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                            IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
#endif

} // namespace

ChangeWatch::~ChangeWatch()
{
    reset(false);
}

bool ChangeWatch::open()
{
#if defined(Q_OS_LINUX)
    if (m_fd < 0 && m_enabled && !m_failed) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        m_failed = m_fd < 0; // no instance left: every answer is "may have changed"
    }
    return m_fd >= 0;
#else
    return false;
#endif
}

ChangeWatch::Mark ChangeWatch::mark(const QByteArray& path, Target target)
{
    Mark mark;
#if defined(Q_OS_LINUX)
    if (!open() || !noticesEveryChange(path))
        return mark;
    // IN_MASK_ADD: one inode has one watch, whichever path or kind asked for it.
    uint32_t flags = Events | IN_MASK_ADD;
    if (target != Target::FolderFollowed)
        flags |= IN_DONT_FOLLOW;
    if (target != Target::File)
        flags |= IN_ONLYDIR;
    mark.wd = ::inotify_add_watch(m_fd, path.constData(), flags);
    if (mark.wd >= 0)
        mark.tick = ++m_tick;
#else
    Q_UNUSED(path);
    Q_UNUSED(target);
#endif
    return mark;
}

void ChangeWatch::collect()
{
#if defined(Q_OS_LINUX)
    if (m_fd < 0)
        return;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0) {
            if (length < 0 && errno == EINTR)
                continue;
            break; // EAGAIN: nothing more queued
        }
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // A watch removed (IN_IGNORED) keeps its last tick: a later watch given the same
            // number must not make an old mark look current.
            if (event->mask & IN_Q_OVERFLOW)
                m_lost = ++m_tick;
            else if (event->wd >= 0)
                m_lastNotice.insert(event->wd, ++m_tick);
            at += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
        }
    }
    // Each file replaced takes a new watch number: past this many, start again rather than keep
    // the numbers of long gone files (every mark taken so far is then void).
    if (m_lastNotice.size() > 100000) {
        m_lastNotice.clear();
        m_lost = ++m_tick;
    }
#endif
}

bool ChangeWatch::unchanged(const Mark& mark) const
{
    return mark.wd >= 0 && m_fd >= 0 && mark.tick > m_lost && m_lastNotice.value(mark.wd, 0) < mark.tick;
}

void ChangeWatch::reset(bool enabled)
{
#if defined(Q_OS_LINUX)
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
    m_enabled = enabled;
    m_failed = false;
    m_lastNotice.clear();
    // Marks taken before stay void: their watches are gone with the descriptor, and a new one
    // numbers its watches from 1 again.
    m_lost = ++m_tick;
}
