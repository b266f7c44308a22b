#include "snapshots.h"

#include "exchangedocument.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "picturefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QProgressDialog>

namespace Snapshots {

namespace {

QString tr(const char* text)
{
    // Shown by the definition editor; translated in its context.
    return QCoreApplication::translate("GamepadDefinder", text);
}

// Qt maps a PNG "quality" q to the zlib level (100 - q) * 9 / 91.
constexpr int kPngQuality = 85;

int side(const QJsonObject& size, const char* key, int fallback, int last)
{
    int value = size.value(QLatin1String(key)).toInt(fallback);
    if (value < 1)
        value = fallback;
    return value < 1 ? last : value;
}

} // namespace

QSize snapshotSize(const QJsonObject& overlayDocument, const QSize& fallback)
{
    const QJsonObject size = overlayDocument.value(QStringLiteral("overlaySize")).toObject();
    return QSize(side(size, "w", fallback.width(), 800), side(size, "h", fallback.height(), 600));
}

QPixmap renderSnapshot(const QJsonObject& overlayDocument, const QString& picturePath, const QSize& fallback,
                       QString* error)
{
    if (overlayDocument.isEmpty()) {
        if (error)
            *error = tr("Overlay vide.");
        return {};
    }
    const QSize size = snapshotSize(overlayDocument, fallback);
    if (size.width() > MaxSide || size.height() > MaxSide ||
        qint64(size.width()) * size.height() > MaxPixels) {
        if (error)
            *error = tr("Snapshot trop grand : %1 x %2").arg(size.width()).arg(size.height());
        return {};
    }

    InteractiveOverlay overlay;
    overlay.setAttribute(Qt::WA_DontShowOnScreen);
    overlay.resize(size);
    if (!picturePath.isEmpty())
        overlay.setBackgroundPixmap(PictureFile::pixmap(picturePath));
    if (!overlay.loadFromJson(overlayDocument)) {
        if (error)
            *error = tr("Format de configuration non reconnu.");
        return {};
    }
    overlay.setMode(InteractiveOverlay::Mapping);
    overlay.show();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    overlay.render(&pixmap, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    overlay.hide();
    return pixmap;
}

QString saveUnderFreeName(const QPixmap& pixmap, const QString& folder, const QString& name)
{
    const QDir dir(folder);
    const QImage image = pixmap.toImage();
    for (int counter = 0; counter < 1000000; ++counter) {
        const QString path = dir.filePath(counter == 0 ? name + QStringLiteral(".png")
                                                       : QStringLiteral("%1_%2.png").arg(name).arg(counter));
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        // NewOnly: a file that appeared since the check is skipped, never replaced.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path))
                continue;
            return QString();
        }
        QImageWriter writer(&file, "png");
        // zlib level 1 instead of 6: files a little larger, written in a third of the time.
        writer.setQuality(kPngQuality);
        if (writer.write(image) && file.flush())
            return path;
        file.close();
        file.remove();
        return QString();
    }
    return QString();
}

bool exportToFolder(const QString& folder, const QVector<Item>& items, const QSize& fallback, int* count,
                    QStringList* errors, const Progress& progress)
{
    QStringList issues;
    int written = 0;
    auto finish = [&](bool ok) {
        if (count)
            *count = written;
        if (errors)
            *errors = issues;
        return ok;
    };
    if (folder.trimmed().isEmpty()) {
        issues.append(tr("Dossier de sortie vide."));
        return finish(false);
    }
    if (!QDir().mkpath(folder)) {
        issues.append(tr("Impossible de créer le dossier : %1").arg(folder));
        return finish(false);
    }

    const int total = items.size();
    if (progress && total > 0 && !progress(0, total))
        return finish(true);
    for (int i = 0; i < total; ++i) {
        const Item& item = items.at(i);
        QJsonObject document = item.document;
        QString error;
        bool ok = true;
        if (!item.useDocument)
            document = JsonIo::readJsonObject(item.overlayPath, &ok, &error);
        if (ok) {
            const QPixmap pixmap = renderSnapshot(document, item.imagePath, fallback, &error);
            if (pixmap.isNull()) {
                ok = false;
            } else if (saveUnderFreeName(pixmap, folder, ExchangeDocument::sanitizedName(item.name))
                           .isEmpty()) {
                ok = false;
                error = tr("Échec sauvegarde PNG");
            } else {
                ++written;
            }
        }
        if (!ok)
            issues.append(QStringLiteral("%1 : %2").arg(item.name, error));
        if (progress && !progress(i + 1, total))
            break;
    }
    return finish(true);
}

BatchProgress::BatchProgress(QWidget* parent, int total)
    : m_dialog(
          std::make_unique<QProgressDialog>(tr("Génération des snapshots…"), tr("Annuler"), 0, total, parent))
{
    m_dialog->setWindowTitle(tr("Snapshots PNG"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500); // short batches finish before it would appear
    m_dialog->setAutoClose(true);
    m_dialog->setValue(0);
}

BatchProgress::~BatchProgress() = default;

bool BatchProgress::step(int done, int total)
{
    m_dialog->setMaximum(total);
    m_dialog->setLabelText(tr("Snapshot %1 sur %2…").arg(done).arg(total));
    m_dialog->setValue(done);
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

Progress BatchProgress::callback()
{
    return [this](int done, int total) { return step(done, total); };
}

} // namespace Snapshots
