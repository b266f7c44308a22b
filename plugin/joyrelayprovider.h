#pragma once

#include "icominterfacemodelprovider.h"

#include <QJsonObject>
#include <QPointer>

class DeviceItemDelegate;
class LinkerDeviceModel;
class ManetteConfigurationWidget;

// The object the host obtains from the plugin file: names the provider, hands out the device list
// model and its card delegate, answers with the selected gamepad interfaces, opens the
// configuration window, keeps the host's services object and re-posts registry events.
// One instance per process (the plugin entry point keeps it in a guarded pointer).
class JoyrelayProvider : public IComInterfaceModelProvider
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IComInterfaceModelProvider_iid)
    Q_INTERFACES(IComInterfaceModelProvider)

public:
    explicit JoyrelayProvider(QObject* parent = nullptr);
    ~JoyrelayProvider() override;

    QString vendorName() override;
    QString displayName() override;
    // Created by the first call with that call's context and parent (which owns it).
    QAbstractItemModel* model(const QString& context, QObject* parent) override;
    QAbstractItemDelegate* delegate(QObject* parent) override;
    void selectedInterfaces(QList<IComInterface*>& interfaces, QJsonArray& info) override;
    QMainWindow* configurationWindow(QWidget* parent) override;
    int reservedQueryA() override;
    int reservedQueryB() override;
    QJsonObject serviceInfo() override;
    void setServices(const QJsonObject& services) override;
    QIcon icon() override;

    QJsonObject services() const { return m_services; }
    // The configuration window's form while it exists, else null.
    ManetteConfigurationWidget* configurationWidget() const;

private:
    // Connects delegate and model (and the configuration widget) once both exist; safe to repeat.
    void wire();
    void onModelEvent(const ComProviderEvent& event);

    QPointer<LinkerDeviceModel> m_model;
    QPointer<DeviceItemDelegate> m_delegate;
    QPointer<QMainWindow> m_configWindow;
    QPointer<ManetteConfigurationWidget> m_configWidget; // the window's central form
    QJsonObject m_services;
};
