#pragma once

#include <QByteArray>
#include <QHash>

// Whether a file or folder may have changed since a mark was taken on it, from the kernel's change
// notices (inotify on Linux). "Unchanged" means no notice came for it since the mark: no write, no
// attribute change, no entry created, removed or renamed inside (a folder), and it was not itself
// moved or removed. A caller takes the mark before it reads what it keeps, so a change made at any
// time after the read has a notice.
//
// Only the notices of local file systems are trusted: a network or FUSE file system is not told of
// the changes other machines or its server make. Where no notice can be had (another system, the
// watch limit reached, a foreign file system, notices lost to a full queue), the answer is "may have
// changed" and the caller checks the file itself. Nothing follows a symlink. GUI thread only.
class ChangeWatch
{
public:
    struct Mark
    {
        int wd = -1;      // the kernel's watch; -1 when nothing watches
        quint64 tick = 0; // when the mark was taken, in this watch's own count
    };

    ChangeWatch() = default;
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    enum class Target
    {
        File,
        Folder,
        FolderFollowed // a folder or a symlink to one, watched where it leads
    };

    // Starts watching what is at path now; an invalid mark when it cannot be watched.
    Mark mark(const QByteArray& path, Target target);
    // Takes in the notices queued so far. Call it before a series of unchanged() questions.
    void collect();
    bool unchanged(const Mark& mark) const;

    // Stops every watch and forgets every mark; with enabled false, marks stay invalid until it
    // is called again with true (the callers then check everything themselves).
    void reset(bool enabled = true);

private:
    bool open();

    int m_fd = -1;
    bool m_enabled = true;
    bool m_failed = false;
    quint64 m_tick = 0;
    quint64 m_lost = 0;               // tick of the last queue overflow: every mark before it is void
    QHash<int, quint64> m_lastNotice; // watch -> tick of its last notice
};
