#pragma once

#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

// One communication interface of the host (here: one game controller).
// Declared exactly as the host declares it: the order of signals and virtual operations is part
// of the binary and meta-object contract with the host.
class IComInterface : public QObject
{
    Q_OBJECT
public:
    enum DeviceType
    {
        gimbal = 0,
        videoprocessing = 1,
        gps = 2,
        controler = 3,
        gamepade = 4,
        motor = 5,
        userType = 6,
        mavlink = 7,
    };
    Q_ENUM(DeviceType)

    enum ComStatus
    {
        noCom = 0,
        waitingForEngagment = 1,
        degraded = 2,
        connected = 3,
    };
    Q_ENUM(ComStatus)

    explicit IComInterface(QObject* parent = nullptr) : QObject(parent) {}
    ~IComInterface() override = default;

    // Engages the device; the target is interface specific.
    virtual void connectDevice(const QString& target) = 0;
    virtual void disconnectDevice() = 0;
    // Disconnects and emits finished().
    virtual void closeDevice() = 0;
    virtual int reservedQuery() = 0;
    // Compact JSON text describing the device and its live state.
    virtual QString infoJson() = 0;
    virtual void reservedCommand() = 0;
    // Host commands addressed to one device number; catId is interface specific.
    virtual void sendData(int deviceId, int catId, const QString& propertyName, const QVariant& value) = 0;
    virtual DeviceType deviceType() = 0;
    // Mapping configuration files the host's action machinery should load for this interface.
    virtual QStringList noCodeApp() = 0;
    virtual QVariant readData() = 0;
    virtual ComStatus status() = 0;
    virtual QJsonArray fonctions() = 0;

Q_SIGNALS:
    void finished();
    void statusChanged(IComInterface::ComStatus status);
    void noCodeAppChanged(const QStringList& files);
    void fonctionsChanged(const QJsonArray& fonctions);
    // Element i of propertyName names the value in element i of values.
    void dataChanged(int deviceId, int catId, const QStringList& propertyName, const QVariantList& values);
    void dataChanged(const QString& deviceName, const QString& catName, const QStringList& propertyName,
                     const QVariantList& values);
};

Q_DECLARE_METATYPE(IComInterface*)
