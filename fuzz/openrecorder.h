#pragma once

#include <string>
#include <vector>

// Watches every open and mkdir of the process while a check runs on a definition folder built from
// an input. The C library's open, open64, openat, openat64, mkdir and mkdirat are replaced in any
// program that links this file (the folder fuzz target and the corpus replay), and hand every call
// on to the real ones. While watching, a call is a violation when
// - a path below the data root leads out of it (through a symlink, or "..");
// - it reaches one of the protected files, by any path, or anything below /proc or /sys;
// - it would block or never end: a FIFO, device or socket opened without O_NONBLOCK, anywhere
//   (/dev/null and the random devices aside);
// - it creates a folder outside the data root or inside a protected folder.
// Nothing else is judged: Qt may open its plugins and fonts.
namespace OpenRecorder {

struct Watch
{
    std::string dataRoot;                      // absolute, without a trailing slash
    std::vector<std::string> protectedFiles;   // never opened while watching
    std::vector<std::string> protectedFolders; // never created in, nothing opened below
};

void start(const Watch& watch);
// Stops watching; the first violation seen, or an empty text.
std::string stop();

} // namespace OpenRecorder
