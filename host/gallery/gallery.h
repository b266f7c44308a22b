#pragma once

// joyrelay-gallery: shows the plugin's widgets with realistic content, without the host, and
// saves a screenshot of each. Pages register themselves; each page file is compiled into the
// program (not a library) so that its registration is never dropped by the linker.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace Gallery {

struct Context
{
    QString outDir;     // where the screenshots go
    QString dataRoot;   // a private application data folder (test mode), emptied at start
    int durationMs = 0; // how long a live page runs before its screenshot (0: the page decides)
};

using PageFunction = std::function<int(const Context&)>; // 0 on success

bool registerPage(const char* name, const char* summary, PageFunction run);

// Shows the widget, lets the event loop run for waitMs (live timers and previews move), then
// grabs it into outDir/fileName. Returns false when the file cannot be written.
bool shoot(QWidget* widget, const Context& context, const QString& fileName, int waitMs = 300);

// Spins the event loop for ms milliseconds.
void run(int ms);

} // namespace Gallery

#define JOY_GALLERY_CONCAT2(a, b) a##b
#define JOY_GALLERY_CONCAT(a, b) JOY_GALLERY_CONCAT2(a, b)
#define JOY_GALLERY_PAGE(name, summary, function)                                                            \
    static const bool JOY_GALLERY_CONCAT(galleryPage_, __LINE__) =                                           \
        Gallery::registerPage(name, summary, function)
