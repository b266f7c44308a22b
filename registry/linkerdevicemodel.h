#pragma once

#include "comproviderevent.h"
#include "icominterface.h"
#include "profilestore.h"

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QStringList>

class ControlManette;
class GamepadManager;

// Every gamepad the plugin knows, live or remembered from earlier runs, as a one-column list for
// the host's device views. Keyed by usn ("gp:<joystick slot>" for a live pad). Holds each pad's
// user-chosen name, selection and active profile, engages the selected pads' interfaces, keeps the
// registry file of its context up to date and posts connection events.
//
// Selection: with uniqSelection (default) at most one pad is selected. A selected pad that is not
// plugged in is represented by a stand-alone ControlManette owned by the model, so the host always
// gets one interface per selected pad through selectedInterfacesChanged.
class LinkerDeviceModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(bool uniqSelection READ uniqSelection WRITE setUniqSelection NOTIFY uniqSelectionChanged)
    Q_PROPERTY(bool autoDetect READ autoDetect WRITE setAutoDetect NOTIFY autoDetectChanged)
    Q_PROPERTY(int previousCount READ previousCount NOTIFY previousCountChanged)
    Q_PROPERTY(QString context READ context WRITE setContext NOTIFY contextChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Roles
    {
        UsnRole = Qt::UserRole + 1,
        NameRole,
        IpRole,
        SelectedRole,
        ConnectedRole,
        VideoInterfacesRole,
        JsonRole,
        ProductRole,
        ImageRole,
        ModelRole,
        LinkStateRole,
        ActiveProfileIdRole,
        ActiveProfileNameRole,
        ActiveProfilePositionRole,
        ProfileCountRole,
        HasProfileCarouselRole,
    };
    Q_ENUM(Roles)

    // Link state of a row: 0 idle, 1 link requested, 2 the device reported connected.
    struct DeviceEntry
    {
        QPointer<ControlManette> manette;
        QJsonObject info; // persisted identity: deviceId, vendorIdHex, productIdHex, name, imagePath
        QJsonObject kv; // persisted user values: nameOverride, selected, product, activeProfileId, imagePath
        QStringList videoInterfaces;
        QIcon icon;
        QString product;
        QList<ProfileSummary> profiles;
        bool connected = false;
        int linkState = 0;
        QPointer<IComInterface> iface;
        bool ifaceOwned = false;
        // The live pad's picture as of its last profile push; reading it scans the definitions,
        // too slow for every repaint.
        QString padImagePath;
    };

    explicit LinkerDeviceModel(const QString& context, QObject* parent = nullptr);
    ~LinkerDeviceModel() override;

    bool uniqSelection() const { return m_uniqSelection; }
    void setUniqSelection(bool uniq);
    bool autoDetect() const { return m_autoDetect; }
    void setAutoDetect(bool enabled);
    int previousCount() const { return m_previousCount; }
    QString context() const { return m_context; }
    void setContext(const QString& context);
    int count() const { return int(m_rows.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE int indexOfUsn(const QString& usn) const;
    Q_INVOKABLE QString usnForRow(int row) const;
    Q_INVOKABLE bool isSelected(const QString& usn) const;
    Q_INVOKABLE void setSelected(const QString& usn, bool sel);
    Q_INVOKABLE bool deleteDevice(const QString& usn);
    Q_INVOKABLE bool cycleProfile(const QString& usn, int delta);
    Q_INVOKABLE bool setActiveProfile(const QString& usn, const QString& profileId);
    Q_INVOKABLE IComInterface* interfaceForRow(int row) const;

    // The selected interfaces and one info object each, without emitting anything.
    void collectSelected(QList<IComInterface*>& interfaces, QJsonArray& infos);
    // Registry file of the current context.
    QString registryPath() const;

public Q_SLOTS:
    void syncSelected();
    void refreshProfilesCatalog();
    // The same refresh, just after the pads' next sampling step: an edit's save returns without
    // it, and the edits made until then share one.
    void scheduleProfilesCatalogRefresh();

Q_SIGNALS:
    void uniqSelectionChanged();
    void autoDetectChanged();
    void previousCountChanged();
    void contextChanged();
    void countChanged();
    void selectedInterfacesChanged(const QList<IComInterface*>& selectedIfaces, const QJsonArray& infos);
    void providerEventOccurred(const ComProviderEvent& event);

private Q_SLOTS:
    void onManagerChanged();
    void onGamepadAdded(ControlManette* gp);
    void onGamepadRemoved(int deviceId);

private:
    GamepadManager* manager() const;
    QList<ControlManette*> liveGamepads() const;
    void emitRowChanged(const QString& usn, const QList<int>& roles);

    // Registry persistence and link-state events.
    void loadRegistry();
    void saveRegistry();
    void onLinkStateChanged(const QString& usn);

    // Per-entry steps of the reconciliation.
    void adoptLivePad(DeviceEntry& entry, ControlManette* pad);
    void buildCapabilities(DeviceEntry& entry) const;
    void refreshProfiles(DeviceEntry& entry) const;
    void pushActiveProfile(DeviceEntry& entry) const;
    void ensureInterface(DeviceEntry& entry, const QString& usn);
    void engageInterface(DeviceEntry& entry, const QString& usn);
    bool changeActiveProfile(const QString& usn, DeviceEntry& entry, const QString& requestedId, bool reload);

    static int activeProfileIndex(const DeviceEntry& entry);
    static QString activeProfileId(const DeviceEntry& entry);
    static QString fingerprint(const QString& name, const QString& vendorHex, const QString& productHex);
    static QString entryFingerprint(const DeviceEntry& entry);
    static QJsonObject liveIdentity(ControlManette* pad, const QString& imagePath);
    QVariant imageValue(const DeviceEntry& entry) const;

    bool m_uniqSelection = true;
    bool m_autoDetect = true;
    QString m_context;
    QStringList m_rows;
    QHash<QString, DeviceEntry> m_entries;
    int m_previousCount = 0;
    bool m_catalogRefreshScheduled = false;
};
