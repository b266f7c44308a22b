#pragma once

#include "gatecrossing.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QUuid>
#include <QWidget>

class InteractiveOverlay;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTimer;

// The compact mapping panel the host shows for a linked gamepad profile: the profile's overlay in
// Mapping mode and the available actions beside it. Click an action, then press a button, move an
// axis (at least 40 of 100) or enter a gate on the controller: the action is bound to every
// pastille slot with that input key, and the profile's mapping file is rewritten 250 ms after the
// first change of a burst, keeping the extra "dst" entries of the old file.
//
// The host creates it by its registered type name "ActionLinker" (no parent) and connects the
// editor window's currentGamepadChanged and deviceSelectionChanged to loadGamepadSnapshot and
// onDeviceSelectionChanged. Live input comes from the first connected controller named by the
// profile; the panel follows the joystick manager's device list.
class ActionLinker : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QJsonArray externalServices READ externalServices WRITE setExternalServices NOTIFY
                   externalServicesChanged)

public:
    static constexpr int SaveDelayMs = 250;
    static constexpr double AxisThreshold = 40.0; // |calibrated value| that counts as a deliberate move

    Q_INVOKABLE explicit ActionLinker(QWidget* parent = nullptr);
    ~ActionLinker() override;

    QJsonArray externalServices() const { return m_externalServices; }
    void setExternalServices(const QJsonArray& services);

    InteractiveOverlay* overlay() const { return m_overlay; }
    QUuid profileId() const { return m_profileId; }
    QStringList deviceNames() const { return m_deviceNames; }
    QString armedAction() const { return m_armedAction; }
    // The controller whose input signals reach the panel now, or null.
    QObject* wiredDevice() const { return m_wiredDevice; }

    // Rewrites the mapping file of the profile (found from the current login) with these bridges:
    // the read-merge-write of the editor, except that a bridge naming its action through "dst"
    // keeps the extra destinations of the old file's bridge for the same input, and failures are
    // logged in English. False when the profile cannot be found or the file cannot be written.
    static bool saveProfileMapping(const QUuid& profileId, const QJsonArray& bridges);

signals:
    void externalServicesChanged();

public slots:
    void loadGamepadSnapshot(const QUuid& id, const QString& name, const QStringList& deviceNames,
                             const QJsonObject& overlay, const QString& imagePath);
    void onDeviceSelectionChanged(const QStringList& deviceNames);
    void onInputButtonChanged(int button, bool pressed);
    void onInputAxisChanged(int axis, double value);
    void onInputGateChanged(const QString& key, bool inside);

private:
    void buildUi();
    void fillActionList();
    void onActionClicked(QListWidgetItem* item);
    void arm(const QString& action);
    void disarm();
    void bindArmed(const QString& key);
    void onOverlayDirty();
    void saveMapping();
    bool linkedDeviceConnected() const;
    void updatePanelVisibility();
    void rewire();
    void onDevicesChanged();

    // Fields in this order: overlay, side panel, profile, device names, loading, armed action,
    // input connections, save timer.
    InteractiveOverlay* m_overlay = nullptr;
    QFrame* m_panel = nullptr;
    QLabel* m_title = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_hint = nullptr;
    QUuid m_profileId;
    QStringList m_deviceNames;
    bool m_loading = false;
    QString m_armedAction;
    QMetaObject::Connection m_buttonConnection;
    QMetaObject::Connection m_axisConnection;
    QMetaObject::Connection m_gateConnection;
    QMetaObject::Connection m_destroyedConnection;
    QTimer* m_saveTimer = nullptr;

    QJsonArray m_externalServices;
    QPointer<QObject> m_wiredDevice;
    GateCrossingFilter m_gateCrossings; // of the wired device
};

// Registers ActionLinker under its type name so that QMetaType::fromName("ActionLinker").create()
// builds one without parent. Idempotent; returns the type id.
int registerActionLinkerType();
