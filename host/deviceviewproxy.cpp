#include "deviceviewproxy.h"

#include <QFile>
#include <QIcon>

QString DeviceViewProxy::resolvePicture(const QString& path)
{
    if (path.startsWith(QLatin1String(":/new/prefix1/ressources/menette_id_")) && !QFile::exists(path))
        return QString::fromLatin1(GenericPicture);
    return path;
}

QVariant DeviceViewProxy::data(const QModelIndex& index, int role) const
{
    const QVariant value = QIdentityProxyModel::data(index, role);
    const bool imageRole =
        sourceModel() && sourceModel()->roleNames().value(role) == QByteArrayLiteral("image");
    if (imageRole && value.userType() == QMetaType::QString)
        return resolvePicture(value.toString());
    if (role == Qt::DecorationRole && value.userType() == QMetaType::QIcon && sourceModel()) {
        const int image = sourceModel()->roleNames().key(QByteArrayLiteral("image"), -1);
        const QVariant source = image >= 0 ? QIdentityProxyModel::data(index, image) : QVariant();
        if (source.userType() == QMetaType::QString)
            return QIcon(resolvePicture(source.toString()));
    }
    return value;
}
