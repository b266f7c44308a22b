#pragma once

#include <QIdentityProxyModel>

// The host's view of the plugin's device list: serves a generic controller picture when the plugin
// asks for a per-product host image ("menette_id_<product>.png") that the host does not carry.
class DeviceViewProxy : public QIdentityProxyModel
{
    Q_OBJECT
public:
    static constexpr const char* GenericPicture = ":/new/prefix1/ressources/menette_generic.png";

    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override;

    // The picture the host shows for a path the plugin names.
    static QString resolvePicture(const QString& path);
};
