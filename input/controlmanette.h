#pragma once

#include "icominterface.h"
#include "joystickbackend.h"
#include "sampletimer.h"

#include <QHash>
#include <QMetaType>
#include <QString>

#include <array>
#include <memory>

struct ProfileSummary;
namespace GamepadCalibration {
struct CalibrationSet;
} // namespace GamepadCalibration

// One game controller as a host communication interface of type gamepade.
//
// It carries the controller's identity (joystick slot, name, USB ids), the profile it is used with,
// its live state (calibrated and raw axes, buttons, gate states) and the calibration in force. Once
// engaged by connectDevice() it samples its joystick every 10 ms (interval changeable by the host's
// "pollingInterval" command), runs each reading through the calibration and reports changes as
// per-input signals, property notifications and the dataChanged pair the host routes to actions
// under the keys "joy_<axis>", "but_<button>" and the gates' keys. noCodeApp() names the mapping
// file ("configActionGamepad.json") that applies to this controller.
//
// Devices are created by GamepadManager for connected slots and by the device list model for
// remembered controllers (slot -1: never samples). Everything runs on the GUI thread.
class ControlManette : public IComInterface
{
    Q_OBJECT
    Q_PROPERTY(int deviceId READ deviceId WRITE setDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString profileName READ profileName WRITE setProfileName NOTIFY profileNameChanged)
    Q_PROPERTY(
        QString activeProfileId READ activeProfileId WRITE setActiveProfileId NOTIFY activeProfileIdChanged)
    Q_PROPERTY(uint vendorId READ vendorId WRITE setVendorId NOTIFY vendorIdChanged)
    Q_PROPERTY(uint productId READ productId WRITE setProductId NOTIFY productIdChanged)
    Q_PROPERTY(bool connected READ isConnected WRITE setConnected NOTIFY connectedChanged)
    Q_PROPERTY(QVariantList axes READ axes NOTIFY axesChanged)
    Q_PROPERTY(QVariantList rawAxes READ rawAxes NOTIFY rawAxesChanged)
    Q_PROPERTY(QVariantList buttons READ buttons NOTIFY buttonsChanged)

public:
    static constexpr int AxisCount = JoystickBackend::AxisCount;     // X, Y, Z, R, U, V, PovX, PovY
    static constexpr int ButtonCount = JoystickBackend::ButtonCount; // 0..31
    static constexpr int DefaultSampleIntervalMs = 10;

    // Uses the process-wide joystick backend (JoystickBackends::current()).
    explicit ControlManette(int slot, QObject* parent = nullptr);
    ControlManette(int slot, std::shared_ptr<JoystickBackend> backend, QObject* parent = nullptr);
    ~ControlManette() override;

    // --- IComInterface ---------------------------------------------------------------------------
    // Engages the device (the target is not used): reloads the calibration and samples every 10 ms.
    void connectDevice(const QString& target) override;
    void disconnectDevice() override;
    void closeDevice() override;
    int reservedQuery() override;
    QString infoJson() override;
    void reservedCommand() override;
    // Commands for this device number only: "pollingInterval" (ms), "resetBias", "reloadCalibration".
    void sendData(int deviceId, int catId, const QString& propertyName, const QVariant& value) override;
    DeviceType deviceType() override;
    // The mapping file that applies to this controller, resolved afresh on every call.
    QStringList noCodeApp() override;
    QVariant readData() override;
    ComStatus status() override;
    QJsonArray fonctions() override;

    // --- Properties --------------------------------------------------------------------------------
    int deviceId() const { return m_deviceId; }
    void setDeviceId(int deviceId);
    QString name() const { return m_name; }
    void setName(const QString& name);
    QString profileName() const { return m_profileName; }
    void setProfileName(const QString& profileName);
    QString activeProfileId() const { return m_activeProfileId; }
    void setActiveProfileId(const QString& activeProfileId);
    uint vendorId() const { return m_vendorId; }
    void setVendorId(uint vendorId);
    uint productId() const { return m_productId; }
    void setProductId(uint productId);
    bool isConnected() const { return m_connected; }
    void setConnected(bool connected);
    QVariantList axes() const;
    QVariantList rawAxes() const;
    QVariantList buttons() const;

    // Live state by index (0 outside the range).
    double axisValue(int axis) const;
    double rawAxisValue(int axis) const;
    bool buttonPressed(int button) const;
    bool axisPresent(int axis) const;
    // Buttons the controller reports (0 when none is connected); the device still samples 32.
    int buttonCount() const;
    // Gate key to inside state, as last evaluated.
    QHash<QString, bool> gateStates() const;

    // --- Calibration and profile -----------------------------------------------------------------
    GamepadCalibration::CalibrationSet calibration() const;
    // "Defaults", "Base device" or "Profile override".
    QString calibrationSourceLabel() const;
    QString calibrationPath() const;
    // "<name>|<vendor>|<product>|<profile id>": name and profile trimmed and lower-cased, ids in
    // decimal. A change of it reloads the calibration at the next sampling step.
    QString calibrationKey() const;

    // Calibration back to defaults and live state reset.
    Q_INVOKABLE void resetAllBias();
    // Resolves the calibration again (base file, profile override or defaults).
    Q_INVOKABLE void reloadCalibration();
    // Reloads the calibration, then re-announces the mapping file through noCodeAppChanged.
    void refreshMapping();
    // The same just after the next sampling step, once for all the requests made until then (the
    // editor's save and the device list's refresh each ask for one).
    void requestMappingRefresh();
    // Picture of the controller: the active profile's, a matching definition's, or the host's
    // ":/new/prefix1/ressources/menette_id_<productId>.png".
    QString imagePath() const;
    // The profile the device is used with: the active one when it still has a mapping file, else
    // the first profile for the device name, else an empty summary.
    ProfileSummary activeProfileSummary() const;

    // --- Sampling --------------------------------------------------------------------------------
    // One sampling step; the sample timer calls it, tests and benchmarks may call it directly.
    void sample();
    bool isSampling() const { return m_sampleTimer.isActive(); }
    int sampleIntervalMs() const { return m_sampleTimer.interval(); }
    JoystickBackend* backend() const { return m_backend.get(); }

Q_SIGNALS:
    void axisChanged(int axis, double value);
    void buttonChanged(int button, bool pressed);
    void gateChanged(const QString& key, bool value);
    void axesChanged();
    void rawAxesChanged();
    void buttonsChanged();
    void deviceIdChanged();
    void nameChanged();
    void profileNameChanged();
    void activeProfileIdChanged();
    void vendorIdChanged();
    void productIdChanged();
    void connectedChanged();

private:
    struct State;

    void readIdentification();
    void resetLiveState();
    void restartClock();

    std::shared_ptr<JoystickBackend> m_backend;
    int m_deviceId = 0;
    QString m_name;
    QString m_profileName;
    QString m_activeProfileId;
    quint32 m_vendorId = 0;
    quint32 m_productId = 0;
    bool m_connected = false;
    bool m_mappingRefreshRequested = false;
    std::unique_ptr<State> d;  // live state and calibration
    SampleTimer m_sampleTimer; // on absolute deadlines
};

Q_DECLARE_METATYPE(ControlManette*)
