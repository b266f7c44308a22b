// Which mapping file and picture apply to a gamepad device: the active profile's, a definition's
// that names the controller or carries its USB ids, a "<vendor>_<product>" folder, or the shared
// fallback.
#include "controlmanette_p.h"
#include "hostlogging.h"
#include "metakeys.h"
#include "profilestore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {

// "vendorId" / "productId" of a definition: text with every "0x" removed, hexadecimal; else 0.
quint32 definitionId(const QJsonObject& meta, QLatin1String key)
{
    const QJsonValue v = meta.value(key);
    if (!v.isString())
        return 0;
    bool ok = false;
    const uint id = v.toString().remove(QStringLiteral("0x")).toUInt(&ok, 16);
    return ok ? id : 0;
}

// The definition folders of every existing search root, in search order then name order, with
// their meta data when it is a definition's.
template <typename Visit> bool forEachDefinition(Visit visit)
{
    for (const QString& root : ProfileStore::searchRoots()) {
        const QDir dir(root);
        if (!dir.exists())
            continue;
        for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString folder = dir.filePath(entry);
            QJsonObject meta;
            ProfileStore::readJsonObjectFile(QDir(folder).filePath(MetaKeys::MetaFileName), &meta);
            if (meta.value(MetaKeys::Type).toString() != MetaKeys::TypeValue)
                continue;
            if (visit(folder, meta))
                return true;
        }
    }
    return false;
}

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace

void ControlManette::refreshMapping()
{
    reloadCalibration();
    emit noCodeAppChanged(noCodeApp());
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
        forEachDefinition([&](const QString& folder, const QJsonObject& meta) {
            const bool named =
                !name.isEmpty() && ProfileStore::metaDeviceNames(meta).contains(name, Qt::CaseInsensitive);
            if (!named) {
                const quint32 vendor = definitionId(meta, MetaKeys::VendorId);
                const quint32 product = definitionId(meta, MetaKeys::ProductId);
                if (!byIds.isEmpty() || vendor == 0 || product == 0 || vendor != m_vendorId ||
                    product != m_productId)
                    return false;
            }
            const QJsonValue config = meta.value(MetaKeys::Config);
            const QString file = QDir(folder).filePath(
                config.isString() ? config.toString() : QString(MetaKeys::DefaultConfigFile));
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
        forEachDefinition([&](const QString& folder, const QJsonObject& meta) {
            if (!ProfileStore::metaDeviceNames(meta).contains(name, Qt::CaseInsensitive))
                return false;
            const QJsonValue file = meta.value(MetaKeys::Image);
            const QString candidate = QDir(folder).filePath(
                file.isString() ? file.toString() : QString(MetaKeys::DefaultImageFile));
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
