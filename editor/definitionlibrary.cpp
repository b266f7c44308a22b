#include "definitionlibrary.h"

#include "definitionmeta.h"
#include "editordialogs.h"
#include "exchangedocument.h"
#include "hostlogging.h"
#include "imagestore.h"
#include "jsonio.h"
#include "overlaydocument.h"
#include "overlaygeometry.h"
#include "picturefile.h"
#include "profilestore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>

namespace {

// Every text of the library is the definition editor's.
QString imageFilter()
{
    return QCoreApplication::translate("GamepadDefinder", "Images") +
           QStringLiteral(" (*.png *.jpg *.jpeg *.bmp)");
}

// "image.<lower-case suffix>", "image.png" when the source has none.
QString imageFileFor(const QString& source)
{
    const QString suffix = QFileInfo(source).suffix().toLower();
    return QStringLiteral("image.%1").arg(suffix.isEmpty() ? QStringLiteral("png") : suffix);
}

QString nowUtc()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString prepareError(const QString& error)
{
    return QCoreApplication::translate("GamepadDefinder",
                                       "Impossible de preparer une configuration locale : %1")
        .arg(error);
}

// Copies a file over any existing one.
bool replaceFile(const QString& source, const QString& target)
{
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return false;
    return QFile::copy(source, target);
}

} // namespace

DefinitionLibrary::DefinitionLibrary(EditorDialogs* dialogs) : m_dialogs(dialogs) {}

EditorDialogs* DefinitionLibrary::dialogs() const
{
    return m_dialogs ? m_dialogs : EditorDialogService::current();
}

void DefinitionLibrary::warn(const QString& title, const QString& text) const
{
    dialogs()->warning(m_dialogParent, title, text);
}

int DefinitionLibrary::rowOfId(const QUuid& id) const
{
    if (id.isNull())
        return -1;
    for (int row = 0; row < m_records.size(); ++row) {
        if (m_records.at(row).id == id)
            return row;
    }
    return -1;
}

namespace {
QString copyKey(const QUuid& id, const QString& folder)
{
    return id.toString(QUuid::WithoutBraces) + QLatin1Char('|') + folder;
}
} // namespace

int DefinitionLibrary::rowOf(const DefinitionTarget& target) const
{
    const int row = rowOfId(target.id);
    if (row < 0)
        return -1;
    // Follow the copies made since the target was taken (a shared definition edited by a user
    // without the right lives on in that user's copy).
    QString folder = target.folder;
    for (int hops = 0; hops < 4 && folder != m_records.at(row).folder; ++hops)
        folder = m_copies.value(copyKey(target.id, folder), folder);
    return folder == m_records.at(row).folder ? row : -1;
}

bool DefinitionLibrary::makeEditable(int row, QString* error)
{
    if (!isValidRow(row))
        return false;
    DefinitionRecord& record = changing(row);
    const QString before = record.folder;
    if (!ensureEditableCopy(record, error))
        return false;
    if (record.folder != before)
        m_copies.insert(copyKey(record.id, before), record.folder);
    return true;
}

DefinitionTarget DefinitionLibrary::targetOf(int row) const
{
    return isValidRow(row) ? DefinitionTarget{m_records.at(row).id, m_records.at(row).folder}
                           : DefinitionTarget();
}

int DefinitionLibrary::reload(const QUuid& selectId)
{
    m_records = DefinitionMeta::listDefinitions();
    m_linkedNames.reset();
    const int row = rowOfId(selectId);
    if (row >= 0)
        return row;
    return m_records.isEmpty() ? -1 : 0;
}

const QStringList& DefinitionLibrary::linkedNames() const
{
    if (!m_linkedNames) {
        QStringList names;
        QSet<QString> listed;
        for (const DefinitionRecord& record : m_records) {
            for (const QString& name : record.deviceNames) {
                if (!listed.contains(name)) {
                    listed.insert(name);
                    names.append(name);
                }
            }
        }
        m_linkedNames = names;
    }
    return *m_linkedNames;
}

QStringList DefinitionLibrary::connectedPadNames() const
{
    QStringList names;
    for (const ConnectedPad& pad : m_pads) {
        const QString name = pad.name.trimmed();
        if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

const ConnectedPad* DefinitionLibrary::connectedPad(const QString& name) const
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return nullptr;
    for (const ConnectedPad& pad : m_pads) {
        if (pad.name.trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            return &pad;
    }
    return nullptr;
}

bool DefinitionLibrary::isLinkedPadConnected(const DefinitionRecord& record) const
{
    return std::any_of(record.deviceNames.cbegin(), record.deviceNames.cend(),
                       [this](const QString& name) { return connectedPad(name) != nullptr; });
}

bool DefinitionLibrary::ensureEditableCopy(DefinitionRecord& record, QString* error)
{
    const ProfileScope target = ProfileStore::canEditShared() ? ProfileScope::Shared : ProfileScope::User;
    ProfileRef ref;
    ref.folder = record.folder;
    ref.scope = record.scope;
    ref.valid = !record.folder.trimmed().isEmpty();
    // A definition of the user's own area, edited with the right, moves into the shared area
    // instead of being copied: the listing searches the user's area first, so a copy left there
    // would stand for the definition at the next listing and hide every edit made since.
    const QString source = QDir::cleanPath(record.folder);
    const QString userRoot = QDir::cleanPath(ProfileStore::userProfilesRoot());
    const bool moveOwn = target == ProfileScope::Shared && ref.valid && !userRoot.isEmpty() &&
                         QFileInfo(source).absolutePath() == userRoot;
    const QString moved = QDir(ProfileStore::sharedProfilesRoot()).filePath(QFileInfo(source).fileName());
    if (moveOwn && !QFileInfo::exists(moved) && QDir().mkpath(ProfileStore::sharedProfilesRoot()) &&
        QDir().rename(source, moved)) {
        ref = ProfileRef{QDir::cleanPath(moved), ProfileScope::Shared, true};
    } else {
        if (!ProfileStore::relocateProfile(ref, target, error))
            return false;
        // Copied (another file system, or a shared copy already there): the user's copy goes.
        if (moveOwn && QDir::cleanPath(ref.folder) != source && !QDir(source).removeRecursively())
            qCWarning(lcGamepadUi) << "The user's copy of a definition moved to the shared area stays:"
                                   << source;
    }
    DefinitionRecord loaded;
    if (!DefinitionMeta::loadDefinition(ref.folder, &loaded)) {
        if (error)
            *error = QCoreApplication::translate("GamepadDefinder",
                                                 "Impossible de recharger le profil apres copie.");
        return false;
    }
    // The copy's files, the record's own values (they may hold edits not written yet).
    record.folder = loaded.folder;
    record.scope = loaded.scope;
    record.imagePath = loaded.imagePath;
    record.overlayPath = loaded.overlayPath;
    return true;
}

QJsonObject DefinitionLibrary::defaultMapping()
{
    return ExchangeDocument::defaultMappingSkeleton();
}

QJsonObject DefinitionLibrary::defaultOverlay(const QSize& overlaySize, const QString& imagePath)
{
    const QSize size(std::max(1, overlaySize.width()), std::max(1, overlaySize.height()));
    const QSize picture = PictureFile::size(imagePath);
    const QRect background =
        Overlay::backgroundRect(size, picture.isValid() ? picture : QSize(), Overlay::Contain);
    Overlay::DocumentNode start;
    start.node = Overlay::OverlayNode::create(Overlay::Kind::SingleJoy);
    start.id = QUuid::createUuid();
    start.title = QStringLiteral("Start");
    start.freeAspect = Overlay::isJoystickKind(start.node.kind);
    const QSize pastille = Overlay::newPastilleSize(start.node.kind);
    const QRect rect(200 - pastille.width() / 2, 150 - pastille.height() / 2, pastille.width(),
                     pastille.height());
    start.node.rect = Overlay::toBackgroundSpace(rect, background);
    return Overlay::writeDocument({start}, size, Overlay::Contain);
}

QString DefinitionLibrary::askLinkedPad()
{
    const QStringList names = connectedPadNames();
    if (names.isEmpty()) {
        dialogs()->information(
            m_dialogParent, QCoreApplication::translate("GamepadDefinder", "Association manette"),
            QCoreApplication::translate(
                "GamepadDefinder", "Aucune manette connectée n'est disponible.\nVous pouvez créer un profil "
                                   "sans liaison et l’associer plus tard."));
        return QString();
    }
    QString chosen;
    if (!dialogs()->getItem(
            m_dialogParent, QCoreApplication::translate("GamepadDefinder", "Association manette"),
            QCoreApplication::translate("GamepadDefinder", "Choisir la manette à lier :"), names, 0, &chosen))
        return QString();
    return chosen.trimmed();
}

int DefinitionLibrary::createDefinition(const QSize& overlaySize, QString* linkedName)
{
    QString name;
    if (!dialogs()->getText(m_dialogParent, QCoreApplication::translate("GamepadDefinder", "Nouveau gamepad"),
                            QCoreApplication::translate("GamepadDefinder", "Nom du gamepad :"),
                            QStringLiteral("Gamepad"), &name))
        return -1;
    name = name.trimmed();
    if (name.isEmpty())
        name = QStringLiteral("Gamepad");
    const QString picture = dialogs()->getOpenFileName(
        m_dialogParent, QCoreApplication::translate("GamepadDefinder", "Choisir l’image du gamepad"),
        QString(), imageFilter());
    if (picture.isEmpty())
        return -1;
    const QString linked = askLinkedPad();
    const ConnectedPad* pad = connectedPad(linked);

    const QUuid id = QUuid::createUuid();
    const QString root = ProfileStore::defaultProfilesRoot();
    if (root.isEmpty()) {
        warn(QCoreApplication::translate("GamepadDefinder", "Création"),
             QCoreApplication::translate("GamepadDefinder",
                                         "Aucun dossier utilisateur n'est disponible pour ce profil."));
        return -1;
    }
    QDir().mkpath(root);
    const QString folder = QDir(root).filePath(id.toString(QUuid::WithoutBraces));
    QDir().mkpath(folder);

    QString error;
    const QString image = QDir(folder).filePath(imageFileFor(picture));
    if (!ImageStore::storeImage(picture, image, &error)) {
        warn(QCoreApplication::translate("GamepadDefinder", "Création"), error);
        return -1;
    }
    const QString overlay = QDir(folder).filePath(QStringLiteral("overlay.json"));
    if (!JsonIo::writeJsonAtomically(overlay, defaultOverlay(overlaySize, image), &error)) {
        warn(QCoreApplication::translate("GamepadDefinder", "Création"),
             QCoreApplication::translate("GamepadDefinder",
                                         "Impossible d’écrire la configuration par défaut : %1")
                 .arg(error));
        return -1;
    }

    DefinitionRecord record;
    record.id = id;
    record.name = name;
    record.folder = folder;
    record.imagePath = image;
    record.overlayPath = overlay;
    if (!linked.isEmpty())
        record.deviceNames = QStringList{linked};
    record.createdAt = nowUtc();
    record.calibrationMode = QStringLiteral("inherit");
    record.scope = ProfileStore::scopeOfFolder(folder);
    if (pad) {
        record.vendorId = int(pad->vendorId);
        record.productId = int(pad->productId);
    }
    if (!DefinitionMeta::writeMeta(record, &error)) {
        warn(QCoreApplication::translate("GamepadDefinder", "Création"),
             QCoreApplication::translate("GamepadDefinder", "Impossible d’écrire meta.json : %1").arg(error));
        return -1;
    }
    const QString mapping = QDir(folder).filePath(QStringLiteral("configActionGamepad.json"));
    if (!QFileInfo::exists(mapping) && !JsonIo::writeJsonAtomically(mapping, defaultMapping(), &error)) {
        warn(QCoreApplication::translate("GamepadDefinder", "Creation"),
             QCoreApplication::translate("GamepadDefinder", "Echec ecriture mapping : %1").arg(error));
        return -1;
    }

    DefinitionRecord loaded;
    if (!DefinitionMeta::loadDefinition(folder, &loaded))
        return -1;
    append(loaded);
    if (linkedName)
        *linkedName = linked;
    return int(m_records.size()) - 1;
}

bool DefinitionLibrary::save(int row, const std::optional<QByteArray>& overlayBytes,
                             const std::function<bool()>& saveMapping)
{
    if (!isValidRow(row))
        return false;
    const QString title = QCoreApplication::translate("GamepadDefinder", "Sauvegarde");
    QString error;
    if (!makeEditable(row, &error)) {
        dialogs()->critical(m_dialogParent, title, prepareError(error));
        return false;
    }
    DefinitionRecord& record = changing(row);
    // An unchanged overlay (only bindings were edited) is not written again.
    QByteArray current;
    const bool unchanged =
        !overlayBytes || (FolderFiles::readFile(record.overlayPath, FolderFiles::Limits::OverlayBytes,
                                                &current) == FolderFiles::Read::Ok &&
                          current == *overlayBytes);
    if (!unchanged && !JsonIo::writeBytesAtomically(record.overlayPath, *overlayBytes, &error)) {
        warn(title,
             QCoreApplication::translate("GamepadDefinder", "Échec sauvegarde config : %1").arg(error));
        return false;
    }
    if (saveMapping && !saveMapping()) {
        warn(title, QCoreApplication::translate("GamepadDefinder", "Echec sauvegarde mapping."));
        return false;
    }
    if (!DefinitionMeta::writeMeta(record, &error)) {
        warn(title, QCoreApplication::translate("GamepadDefinder", "Échec sauvegarde meta : %1").arg(error));
        return false;
    }
    return true;
}

int DefinitionLibrary::duplicate(int row)
{
    if (!isValidRow(row))
        return -1;
    const DefinitionRecord source = m_records.at(row);
    const QString title = QCoreApplication::translate("GamepadDefinder", "Dupliquer");
    const QUuid id = QUuid::createUuid();
    const QString root = ProfileStore::defaultProfilesRoot();
    if (root.isEmpty()) {
        warn(title, QCoreApplication::translate(
                        "GamepadDefinder", "Aucun dossier utilisateur n'est disponible pour cette copie."));
        return -1;
    }
    const QString folder = QDir(root).filePath(id.toString(QUuid::WithoutBraces));
    QDir().mkpath(folder);

    QString error;
    const QString image = QDir(folder).filePath(imageFileFor(source.imagePath));
    if (!ImageStore::storeImage(source.imagePath, image, &error, FolderFiles::Links::Refuse)) {
        warn(title, error);
        return -1;
    }
    const QString overlay = QDir(folder).filePath(QStringLiteral("overlay.json"));
    if (!replaceFile(source.overlayPath, overlay)) {
        warn(title, QCoreApplication::translate("GamepadDefinder", "Impossible de copier la configuration."));
        return -1;
    }
    const QString sourceMapping = ProfileStore::configPath(source.folder);
    const QString mapping = QDir(folder).filePath(QStringLiteral("configActionGamepad.json"));
    if (FolderFiles::isRegularFile(sourceMapping)) {
        if (!replaceFile(sourceMapping, mapping)) {
            warn(title, QCoreApplication::translate("GamepadDefinder", "Echec copie mapping : %1")
                            .arg(sourceMapping));
            return -1;
        }
    } else if (!QFileInfo::exists(mapping) &&
               !JsonIo::writeJsonAtomically(mapping, defaultMapping(), &error)) {
        warn(title, QCoreApplication::translate("GamepadDefinder", "Echec ecriture mapping : %1").arg(error));
        return -1;
    }

    QString mode = DefinitionMeta::normalizedCalibrationMode(source.calibrationMode);
    QString overrideFile = source.calibrationOverrideFile.trimmed();
    if (mode == QLatin1String("override")) {
        if (overrideFile.isEmpty())
            overrideFile = QStringLiteral("calibration.override.json");
        const QString sourceOverride = QDir(source.folder).filePath(overrideFile);
        if (!FolderFiles::isRegularFile(sourceOverride)) {
            // Nothing to carry over: the copy follows the base calibration.
            mode = QStringLiteral("inherit");
            overrideFile.clear();
        } else if (!replaceFile(sourceOverride, QDir(folder).filePath(overrideFile))) {
            warn(title, QCoreApplication::translate("GamepadDefinder",
                                                    "Impossible de copier la calibration du profil."));
            return -1;
        }
    } else {
        overrideFile.clear();
    }

    DefinitionRecord copy;
    copy.id = id;
    copy.name = source.name + QCoreApplication::translate("GamepadDefinder", " (copie)");
    copy.folder = folder;
    copy.imagePath = image;
    copy.overlayPath = overlay;
    copy.createdAt = nowUtc();
    copy.vendorId = source.vendorId;
    copy.productId = source.productId;
    copy.calibrationMode = mode;
    copy.calibrationOverrideFile = overrideFile;
    copy.scope = ProfileStore::scopeOfFolder(folder);
    if (!DefinitionMeta::writeMeta(copy, &error)) {
        warn(title,
             QCoreApplication::translate("GamepadDefinder", "Impossible d’écrire meta.json : %1").arg(error));
        return -1;
    }
    DefinitionRecord loaded;
    if (!DefinitionMeta::loadDefinition(folder, &loaded))
        return -1;
    append(loaded);
    return int(m_records.size()) - 1;
}

bool DefinitionLibrary::remove(int row)
{
    if (!isValidRow(row))
        return false;
    const DefinitionRecord record = m_records.at(row);
    const DefinitionTarget target = targetOf(row);
    const QString title = QCoreApplication::translate("GamepadDefinder", "Supprimer");
    if (record.scope == ProfileScope::Shared && !ProfileStore::canEditShared()) {
        dialogs()->information(m_dialogParent, title,
                               QCoreApplication::translate(
                                   "GamepadDefinder", "Seul un admin peut supprimer un profil partage."));
        return false;
    }
    if (!dialogs()->question(
            m_dialogParent, title,
            QCoreApplication::translate("GamepadDefinder", "Supprimer « %1 » ?").arg(record.name)))
        return false;
    // Something moved the definition while the question was open: nothing is deleted blindly.
    if (rowOf(target) < 0)
        return false;
    QDir folder(record.folder);
    if (!folder.removeRecursively())
        warn(title, QCoreApplication::translate("GamepadDefinder", "Impossible de supprimer le dossier %1.")
                        .arg(QDir::toNativeSeparators(record.folder)));
    return true;
}

bool DefinitionLibrary::rename(int row)
{
    if (!isValidRow(row))
        return false;
    const QString title = QCoreApplication::translate("GamepadDefinder", "Renommer");
    QString answer;
    if (!dialogs()->getText(m_dialogParent, title,
                            QCoreApplication::translate("GamepadDefinder", "Nouveau nom :"),
                            m_records.at(row).name, &answer))
        return false;
    const QString name = answer.trimmed();
    if (name.isEmpty())
        return false;
    QString error;
    if (!makeEditable(row, &error)) {
        warn(title, prepareError(error));
        return false;
    }
    DefinitionRecord& record = changing(row);
    DefinitionRecord renamed = record;
    renamed.name = name;
    if (!DefinitionMeta::writeMeta(renamed, &error)) {
        warn(title,
             QCoreApplication::translate("GamepadDefinder", "Impossible d’écrire meta.json : %1").arg(error));
        return false;
    }
    record = renamed;
    return true;
}

DefinitionLibrary::ImageChange DefinitionLibrary::changeImage(int row)
{
    if (!isValidRow(row))
        return ImageChange::None;
    const QString title = QCoreApplication::translate("GamepadDefinder", "Image");
    const QString picture = dialogs()->getOpenFileName(
        m_dialogParent, QCoreApplication::translate("GamepadDefinder", "Choisir une nouvelle image"),
        QString(), imageFilter());
    if (picture.isEmpty())
        return ImageChange::None;
    QString error;
    if (!makeEditable(row, &error)) {
        warn(title, prepareError(error));
        return ImageChange::None;
    }
    DefinitionRecord& record = changing(row);
    const QString target = QDir(record.folder).filePath(imageFileFor(picture));
    if (!ImageStore::storeImage(picture, target, &error)) {
        warn(title, error);
        return ImageChange::None;
    }
    record.imagePath = target;
    if (!DefinitionMeta::writeMeta(record, &error))
        warn(title,
             QCoreApplication::translate("GamepadDefinder", "Impossible d’écrire meta.json : %1").arg(error));
    return ImageChange::Changed;
}

DefinitionLibrary::MetaChange DefinitionLibrary::setCalibrationMetadata(int row, const QString& rawMode,
                                                                        const QString& rawFile,
                                                                        quint32 vendorId, quint32 productId)
{
    if (!isValidRow(row))
        return MetaChange::Unchanged;
    const QString mode = DefinitionMeta::normalizedCalibrationMode(rawMode);
    QString file;
    if (mode == QLatin1String("override")) {
        file = rawFile.trimmed();
        if (file.isEmpty())
            file = QStringLiteral("calibration.override.json");
    }
    DefinitionRecord& record = changing(row);
    if (record.calibrationMode == mode && record.calibrationOverrideFile == file &&
        quint32(record.vendorId) == vendorId && quint32(record.productId) == productId)
        return MetaChange::Unchanged;
    const QString title = QCoreApplication::translate("GamepadDefinder", "Calibration");
    QString error;
    if (!makeEditable(row, &error)) {
        warn(title, prepareError(error));
        return MetaChange::PrepareFailed;
    }
    record.calibrationMode = mode;
    record.calibrationOverrideFile = file;
    record.vendorId = int(vendorId);
    record.productId = int(productId);
    if (!DefinitionMeta::writeMeta(record, &error)) {
        warn(title,
             QCoreApplication::translate("GamepadDefinder", "Impossible d’écrire meta.json : %1").arg(error));
        return MetaChange::WriteFailed;
    }
    return MetaChange::Stored;
}
