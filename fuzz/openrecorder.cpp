#include "openrecorder.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool g_active = false;
OpenRecorder::Watch g_watch;
std::string g_violation;
thread_local bool t_inside = false; // the checks' own system calls are not judged

bool below(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

std::string dirName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string realPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::string absolute(int dirfd, const char* path)
{
    if (!path)
        return {};
    if (path[0] == '/')
        return path;
    char buffer[PATH_MAX];
    if (dirfd == AT_FDCWD) {
        if (!::getcwd(buffer, sizeof buffer))
            return path;
        return std::string(buffer) + '/' + path;
    }
    const std::string link = "/proc/self/fd/" + std::to_string(dirfd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) + '/' + path : std::string(path);
}

// What the call reaches: symlinks followed (the last one only when followLast), a missing last
// component taken below its resolved folder. Empty when nothing would be reached.
std::string reached(std::string path, bool followLast)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) {
            const std::string folder = realPath(dirName(path));
            return folder.empty() ? std::string() : folder + '/' + baseName(path);
        }
        if (!S_ISLNK(info.st_mode) || !followLast)
            return S_ISLNK(info.st_mode) ? std::string() : realPath(path);
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return {};
        const std::string next(target, std::size_t(n));
        path = next[0] == '/' ? next : dirName(path) + '/' + next;
    }
    return {};
}

void judge(const char* call, const std::string& path, const std::string& target, bool blocks)
{
    if (!g_violation.empty())
        return;
    const auto violation = [&](const char* why) {
        g_violation = std::string(call) + ' ' + path + " -> " + target + ": " + why;
    };
    if (below(path, g_watch.dataRoot) && !target.empty() && !below(target, g_watch.dataRoot))
        return violation("leads out of the data root");
    if (below(target, "/proc") || below(target, "/sys") || below(path, "/proc") || below(path, "/sys"))
        return violation("a file of the system, not of a definition");
    for (const std::string& file : g_watch.protectedFiles) {
        if (target == file || path == file)
            return violation("a protected file");
    }
    for (const std::string& folder : g_watch.protectedFolders) {
        if (below(target, folder) || below(path, folder))
            return violation("inside a protected folder");
    }
    // Qt's own opens of /dev/null and the random devices are no business of a definition.
    struct stat info;
    const bool quiet = target == "/dev/null" || target == "/dev/urandom" || target == "/dev/random";
    if (blocks && !quiet && !target.empty() && ::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
        !S_ISDIR(info.st_mode))
        return violation("a FIFO, device or socket opened without O_NONBLOCK");
}

void onOpen(const char* call, int dirfd, const char* path, int flags)
{
    if (!g_active || t_inside)
        return;
    t_inside = true;
    const std::string full = absolute(dirfd, path);
    judge(call, full, reached(full, !(flags & O_NOFOLLOW)), !(flags & O_NONBLOCK));
    t_inside = false;
}

void onMkdir(const char* call, int dirfd, const char* path)
{
    if (!g_active || t_inside)
        return;
    t_inside = true;
    const std::string full = absolute(dirfd, path);
    std::string target = reached(full, false);
    if (target.empty())
        target = full;
    judge(call, full, target, false);
    if (g_violation.empty() && !below(target, g_watch.dataRoot))
        g_violation = std::string(call) + ' ' + full + ": a folder outside the data root";
    t_inside = false;
}

template <typename Fn> Fn real(const char* name)
{
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

using OpenFn = int (*)(const char*, int, ...);
using OpenAtFn = int (*)(int, const char*, int, ...);
using OpenCheckedFn = int (*)(const char*, int);
using OpenAtCheckedFn = int (*)(int, const char*, int);
using MkdirFn = int (*)(const char*, mode_t);
using MkdirAtFn = int (*)(int, const char*, mode_t);

} // namespace

namespace OpenRecorder {

void start(const Watch& watch)
{
    g_watch = watch;
    g_violation.clear();
    g_active = true;
}

std::string stop()
{
    g_active = false;
    return g_violation;
}

} // namespace OpenRecorder

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const OpenFn next = real<OpenFn>("open");
    onOpen("open", AT_FDCWD, path, flags);
    return next(path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const OpenFn next = real<OpenFn>("open64");
    onOpen("open64", AT_FDCWD, path, flags);
    return next(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const OpenAtFn next = real<OpenAtFn>("openat");
    onOpen("openat", dirfd, path, flags);
    return next(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    static const OpenAtFn next = real<OpenAtFn>("openat64");
    onOpen("openat64", dirfd, path, flags);
    return next(dirfd, path, flags, mode);
}

// The checked variants that _FORTIFY_SOURCE builds call for two-argument opens.
int __open_2(const char* path, int flags)
{
    static const OpenCheckedFn next = real<OpenCheckedFn>("__open_2");
    onOpen("open", AT_FDCWD, path, flags);
    return next(path, flags);
}

int __open64_2(const char* path, int flags)
{
    static const OpenCheckedFn next = real<OpenCheckedFn>("__open64_2");
    onOpen("open64", AT_FDCWD, path, flags);
    return next(path, flags);
}

int __openat_2(int dirfd, const char* path, int flags)
{
    static const OpenAtCheckedFn next = real<OpenAtCheckedFn>("__openat_2");
    onOpen("openat", dirfd, path, flags);
    return next(dirfd, path, flags);
}

int __openat64_2(int dirfd, const char* path, int flags)
{
    static const OpenAtCheckedFn next = real<OpenAtCheckedFn>("__openat64_2");
    onOpen("openat64", dirfd, path, flags);
    return next(dirfd, path, flags);
}

int mkdir(const char* path, mode_t mode)
{
    static const MkdirFn next = real<MkdirFn>("mkdir");
    onMkdir("mkdir", AT_FDCWD, path);
    return next(path, mode);
}

int mkdirat(int dirfd, const char* path, mode_t mode)
{
    static const MkdirAtFn next = real<MkdirAtFn>("mkdirat");
    onMkdir("mkdirat", dirfd, path);
    return next(dirfd, path, mode);
}

} // extern "C"
