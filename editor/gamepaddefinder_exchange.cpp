// GamepadDefinder: export, import, copy and paste of definitions as exchange documents, and PNG
// snapshots. Documents from files and the clipboard come from other people: every one is checked
// (ExchangeDocument::validateDocument) before a single file of the new definition is written.
#include "gamepaddefinder.h"

#include "definitionmeta.h"
#include "editordialogs.h"
#include "exchangedocument.h"
#include "hostlogging.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "profilestore.h"
#include "snapshots.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QListWidget>
#include <QMimeData>
#include <QSignalBlocker>
#include <QStandardPaths>

namespace {

QString picturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QDir::homePath() : pictures;
}

QByteArray fileBytes(const QString& path)
{
    QByteArray bytes;
    FolderFiles::readFile(path, FolderFiles::Limits::OverlayBytes, &bytes);
    return bytes;
}

} // namespace

bool GamepadDefinder::createFromDocument(const QJsonObject& document, int* row)
{
    ExchangeDocument::Contents contents;
    if (!ExchangeDocument::validateDocument(document, &contents))
        return false;
    DefinitionRecord created;
    QString error;
    if (!ExchangeDocument::createDefinition(contents, ProfileStore::defaultProfilesRoot(), &created,
                                            &error)) {
        if (!error.isEmpty())
            dialogs()->warning(this, tr("Import"), error);
        return false;
    }
    m_library.append(created);
    {
        const QSignalBlocker blocker(m_list);
        new QListWidgetItem(m_list);
    }
    *row = m_library.count() - 1;
    refreshRow(*row);
    emitCatalogChanged();
    return true;
}

void GamepadDefinder::actionExport()
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    const DefinitionRecord& record = m_library.at(m_currentRow);
    const QString proposed =
        QDir(QDir::homePath())
            .filePath(ExchangeDocument::sanitizedName(record.name) + ExchangeDocument::FileSuffix);
    QString path = dialogs()->getSaveFileName(this, tr("Exporter le gamepad"), proposed,
                                              ExchangeDocument::exportFilter());
    if (path.isEmpty())
        return;
    if (!DefinitionMeta::normalizedDeviceNames(record.deviceNames).isEmpty()) {
        dialogs()->information(this, tr("Export"),
                               tr("Ce profil est associé à une ou plusieurs manettes. Le copier/coller n’est "
                                  "disponible que pour les profils non liés."));
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += ExchangeDocument::FileSuffix;
    // The overlay as shown, unsaved edits included.
    const QByteArray overlay = QJsonDocument(m_overlay->toJson()).toJson(QJsonDocument::Indented);
    QString error;
    if (!JsonIo::writeBytesAtomically(path, ExchangeDocument::documentBytes(record, overlay, true), &error))
        dialogs()->warning(this, tr("Export"), tr("Échec export : %1").arg(error));
}

void GamepadDefinder::actionImport()
{
    const QString path = dialogs()->getOpenFileName(this, tr("Importer un gamepad"), QDir::homePath(),
                                                    ExchangeDocument::importFilter());
    if (path.isEmpty())
        return;
    const QString failed = tr("Impossible d’importer ce fichier.");
    QJsonObject document;
    QString error;
    bool refused = false;
    if (!ExchangeDocument::readDocumentFile(path, &document, &error, &refused)) {
        dialogs()->warning(this, tr("Import"), refused ? failed : error);
        return;
    }
    if (ExchangeDocument::isLinked(document)) {
        dialogs()->information(this, tr("Import"),
                               tr("Ce fichier est lié à une ou plusieurs manettes. Le coller/importe n’est "
                                  "autorisé que pour des profils non liés."));
        return;
    }
    const CatalogChanges changes(this); // the new row, then the save of the row it replaces
    int row = -1;
    if (!createFromDocument(document, &row)) {
        dialogs()->warning(this, tr("Import"), failed);
        return;
    }
    m_list->setCurrentRow(row);
}

void GamepadDefinder::actionCopy()
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    const DefinitionRecord& record = m_library.at(m_currentRow);
    const QStringList names = DefinitionMeta::normalizedDeviceNames(record.deviceNames);
    if (!names.isEmpty()) {
        dialogs()->information(this, tr("Copier"),
                               tr("Ce profil est associé à « %1 ». Le copier/coller est réservé aux profils "
                                  "non liés.")
                                   .arg(names.join(QStringLiteral(", "))));
        return;
    }
    // The overlay as saved, unlike an export.
    const QByteArray text = ExchangeDocument::documentBytes(record, fileBytes(record.overlayPath), false);
    auto* mime = new QMimeData;
    mime->setData(ExchangeDocument::MimeType, text);
    mime->setText(QString::fromUtf8(text));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void GamepadDefinder::actionPaste()
{
    const QString failed = tr("Impossible de créer le gamepad à partir des données.");
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QJsonObject document;
    QString error;
    bool refused = false;
    if (mime && mime->hasFormat(ExchangeDocument::MimeType)) {
        if (!ExchangeDocument::parseClipboardDocument(mime->data(ExchangeDocument::MimeType), &document,
                                                      &error, &refused)) {
            dialogs()->warning(this, tr("Coller"), refused ? failed : error);
            return;
        }
    } else if (mime && mime->hasText()) {
        const QByteArray text = ExchangeDocument::clipboardText(*mime, &refused);
        if (refused || !ExchangeDocument::parseClipboardDocument(text, &document, nullptr, &refused)) {
            dialogs()->warning(
                this, tr("Coller"),
                refused ? failed : tr("Le presse‑papier ne contient pas de configuration Tavon valide."));
            return;
        }
    } else {
        dialogs()->information(this, tr("Coller"),
                               tr("Aucune configuration Tavon trouvée dans le presse‑papier."));
        return;
    }
    if (ExchangeDocument::isLinked(document)) {
        dialogs()->information(
            this, tr("Coller"),
            tr("Ce profil est lié à une ou plusieurs manettes. Le coller n’est autorisé que "
               "pour des profils non liés."));
        return;
    }
    const CatalogChanges changes(this); // the new row, then the save of the row it replaces
    int row = -1;
    if (!createFromDocument(document, &row)) {
        dialogs()->warning(this, tr("Coller"), failed);
        return;
    }
    m_list->setCurrentRow(row);
}

void GamepadDefinder::actionSnapshot()
{
    if (!m_library.isValidRow(m_currentRow))
        return;
    const DefinitionRecord& record = m_library.at(m_currentRow);
    const QString proposed =
        QDir(picturesFolder())
            .filePath(ExchangeDocument::sanitizedName(record.name) + QStringLiteral(".png"));
    QString path =
        dialogs()->getSaveFileName(this, tr("Exporter snapshot PNG"), proposed, tr("Images PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    QString error;
    const QPixmap pixmap =
        Snapshots::renderSnapshot(m_overlay->toJson(), record.imagePath, m_overlay->size(), &error);
    if (pixmap.isNull())
        dialogs()->warning(this, tr("Snapshot PNG"), tr("Impossible de générer le snapshot : %1").arg(error));
    else if (!pixmap.save(path, "PNG"))
        dialogs()->warning(this, tr("Snapshot PNG"), tr("Échec sauvegarde PNG : %1").arg(path));
}

bool GamepadDefinder::exportSnapshots(const QString& folder, int* count, QStringList* errors,
                                      const std::function<bool(int, int)>& progress)
{
    *count = 0;
    errors->clear();
    if (folder.trimmed().isEmpty()) {
        errors->append(tr("Dossier de sortie vide."));
        return false;
    }
    if (m_library.isValidRow(m_currentRow) && m_dirty) {
        m_suppressCatalogSignal = true;
        const bool saved = saveDefinition(m_currentRow);
        m_suppressCatalogSignal = false;
        if (!saved) {
            errors->append(tr("Impossible de sauvegarder la configuration en cours."));
            return false;
        }
    }
    QVector<Snapshots::Item> items;
    for (int row = 0; row < m_library.count(); ++row) {
        const DefinitionRecord& record = m_library.at(row);
        const bool current = row == m_currentRow;
        items.append({record.name, record.imagePath, record.overlayPath,
                      current ? m_overlay->toJson() : QJsonObject(), current});
    }
    return Snapshots::exportToFolder(folder, items, m_overlay->size(), count, errors, progress);
}

void GamepadDefinder::actionSnapshotAll()
{
    if (m_library.count() == 0)
        return;
    const QString folder =
        dialogs()->getExistingDirectory(this, tr("Choisir un dossier pour les snapshots"), picturesFolder());
    if (folder.isEmpty())
        return;
    Snapshots::BatchProgress progress(this, m_library.count());
    int count = 0;
    QStringList errors;
    const bool ok = exportSnapshots(folder, &count, &errors, progress.callback());
    const QString title = tr("Snapshots PNG");
    if (!ok)
        dialogs()->warning(this, title,
                           errors.isEmpty() ? tr("Impossible de générer les snapshots.")
                                            : errors.join(QLatin1Char('\n')));
    else if (errors.isEmpty())
        dialogs()->information(this, title, tr("Snapshots générés : %1").arg(count));
    else
        dialogs()->warning(this, title,
                           tr("Snapshots générés : %1\nErreurs :\n%2")
                               .arg(QString::number(count), errors.join(QLatin1Char('\n'))));
}

int GamepadDefinder::exportSnapshotsToDir(const QString& outputDir)
{
    int count = 0;
    QStringList errors;
    if (!exportSnapshots(outputDir, &count, &errors, {}))
        return -1;
    for (const QString& error : std::as_const(errors))
        qCWarning(lcGamepadUi) << "Gamepad snapshot issue error=" << error;
    return count;
}
