// Which mapping file and picture apply to a gamepad device: the active profile's, a definition's
// that names the controller or carries its USB ids, a "<vendor>_<product>" folder, or the shared
// fallback.
#include "controlmanette_p.h"
#include "folderfiles.h"
#include "hostlogging.h"
#include "metakeys.h"
#include "profilemetacache.h"
#include "profilestore.h"
#include "sampletimer.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The definition folders of every existing search root, in search order then name order, until
// visit returns true. The digests come from the meta.json cache, which checks each file again.
bool findDefinition(const std::function<bool(const QString&, const ProfileMetaCache::Digest&)>& visit)
{
    for (const QString& root : ProfileStore::searchRoots()) {
        if (ProfileMetaCache::findDefinition(root, visit))
            return true;
    }
    return false;
}

// A regular file, not a symlink to one: a folder's names stay inside it.
bool isFile(const QString& path)
{
    return FolderFiles::isRegularFile(path);
}

} // namespace

void ControlManette::refreshMapping()
{
    m_mappingRefreshRequested = false; // a request made before this is answered by it
    reloadCalibration();
    emit noCodeAppChanged(noCodeApp());
}

void ControlManette::requestMappingRefresh()
{
    if (m_mappingRefreshRequested)
        return;
    m_mappingRefreshRequested = true;
    SampleTimer::afterNextTick(
        this,
        [this] {
            if (m_mappingRefreshRequested)
                refreshMapping();
        },
        true);
}

QStringList ControlManette::noCodeApp()
{
    QString path;

    // 1. The active profile's mapping file.
    const ProfileSummary profile = activeProfileSummary();
    if (!profile.id.isNull() && !profile.configPath.isEmpty())
        path = profile.configPath;

    // 2. A definition naming this controller; else the first one carrying its USB ids.
    if (path.isEmpty()) {
        const QString name = m_name.trimmed();
        QString byIds;
        findDefinition([&](const QString& folder, const ProfileMetaCache::Digest& meta) {
            const bool named = !name.isEmpty() && meta.deviceNames.contains(name, Qt::CaseInsensitive);
            if (!named) {
                if (!byIds.isEmpty() || meta.vendorId == 0 || meta.productId == 0 ||
                    meta.vendorId != m_vendorId || meta.productId != m_productId)
                    return false;
            }
            const QString file = QDir(folder).filePath(meta.configMember);
            if (!isFile(file))
                return false;
            (named ? path : byIds) = file;
            return named;
        });
        if (path.isEmpty())
            path = byIds;
    }

    // 3. A "<vendor>_<product>" folder, or a mapping file directly in a search root.
    if (path.isEmpty()) {
        const QString idFolder = QStringLiteral("%1_%2")
                                     .arg(m_vendorId, 4, 16, QLatin1Char('0'))
                                     .arg(m_productId, 4, 16, QLatin1Char('0'));
        for (const QString& root : ProfileStore::searchRoots()) {
            const QDir dir(root);
            const QString byId = QDir(dir.filePath(idFolder)).filePath(MetaKeys::DefaultConfigFile);
            const QString direct = dir.filePath(MetaKeys::DefaultConfigFile);
            if (isFile(byId))
                path = byId;
            else if (isFile(direct))
                path = direct;
            if (!path.isEmpty())
                break;
        }
    }

    // 4. The shared file, even when missing: the host reports that one.
    if (path.isEmpty()) {
        const QString shared = ProfileStore::sharedProfilesRoot();
        if (!shared.isEmpty())
            path = QDir(shared).filePath(MetaKeys::DefaultConfigFile);
    }

    QStringList files;
    if (!path.isEmpty())
        files.append(path);
    qCDebug(lcGamepadInput) << "Gamepad input unmapped choice=" << files << "profile=" << m_activeProfileId;
    return files;
}

QString ControlManette::imagePath() const
{
    const ProfileSummary profile = activeProfileSummary();
    if (!profile.id.isNull() && !profile.configPath.isEmpty() && !profile.imagePath.isEmpty())
        return profile.imagePath;

    const QString name = m_name.trimmed();
    if (!name.isEmpty()) {
        QString image;
        findDefinition([&](const QString& folder, const ProfileMetaCache::Digest& meta) {
            if (!meta.deviceNames.contains(name, Qt::CaseInsensitive))
                return false;
            const QString candidate = QDir(folder).filePath(meta.imageMember);
            if (!isFile(candidate))
                return false;
            image = candidate;
            return true;
        });
        if (!image.isEmpty())
            return image;
    }
    return QStringLiteral(":/new/prefix1/ressources/menette_id_%1.png").arg(m_productId);
}
