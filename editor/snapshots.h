#pragma once

#include <QJsonObject>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

// PNG snapshots of definitions: the controller picture with its pastilles as the overlay shows
// them in Mapping mode, rendered off screen.
namespace Snapshots {

// Larger documents are refused rather than allocating gigabytes for one picture.
inline constexpr int MaxSide = 16384;                    // pixels
inline constexpr qint64 MaxPixels = qint64(8192) * 8192; // width x height

// The document's "overlaySize" ("w", "h"), each side falling back to fallback's, then to 800 x 600.
QSize snapshotSize(const QJsonObject& overlayDocument, const QSize& fallback);

// Renders the document over the picture (none when picturePath is empty). A null pixmap on
// failure, with "Overlay vide.", "Format de configuration non reconnu." or the size refusal.
QPixmap renderSnapshot(const QJsonObject& overlayDocument, const QString& picturePath, const QSize& fallback,
                       QString* error = nullptr);

// One definition of a batch. The overlay is the document given (the editor's unsaved state of the
// current definition), else read from overlayPath.
struct Item
{
    QString name;
    QString imagePath;
    QString overlayPath;
    QJsonObject document;
    bool useDocument = false;
};

// Called with (files handled, total) before the first item and after each one; false stops the
// batch after the file just written.
using Progress = std::function<bool(int done, int total)>;

// Writes pixmap into folder as "<name>.png", or "<name>_<n>.png" with the first free n from 1,
// never replacing an existing file. The path written, or empty on failure.
QString saveUnderFreeName(const QPixmap& pixmap, const QString& folder, const QString& name);

// Renders every item into folder under its sanitised name. False only when the folder is empty
// ("Dossier de sortie vide.") or cannot be created ("Impossible de créer le dossier : %1");
// otherwise true with the number of files written, and "<name> : <reason>" per item skipped.
bool exportToFolder(const QString& folder, const QVector<Item>& items, const QSize& fallback, int* count,
                    QStringList* errors, const Progress& progress = {});

// The cancellable progress of a long batch: a window-modal dialog that appears only when the batch
// runs long, and keeps the window responsive by processing events between files.
class BatchProgress
{
public:
    BatchProgress(QWidget* parent, int total);
    ~BatchProgress();
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    // Usable as a Progress callback.
    bool step(int done, int total);
    Progress callback();
    QProgressDialog* dialog() const { return m_dialog.get(); }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace Snapshots
