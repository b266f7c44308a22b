#pragma once

#include "comproviderevent.h"
#include "icominterface.h"

#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QtPlugin>

class QAbstractItemModel;
class QAbstractItemDelegate;
class QMainWindow;
class QWidget;

// The object a device plugin hands to the host. The host casts the plugin's root object to this
// interface by its identifier (IComInterfaceModelProvider_iid).
class IComInterfaceModelProvider : public QObject
{
    Q_OBJECT
public:
    explicit IComInterfaceModelProvider(QObject* parent = nullptr) : QObject(parent) {}
    ~IComInterfaceModelProvider() override = default;

    virtual QString vendorName() = 0;
    virtual QString displayName() = 0;
    // Item model listing the provider's interfaces; owned by the provider.
    virtual QAbstractItemModel* model(const QString& context, QObject* parent) = 0;
    virtual QAbstractItemDelegate* delegate(QObject* parent) = 0;
    // Fills both out-arguments with the interfaces the user selected and one info entry each.
    virtual void selectedInterfaces(QList<IComInterface*>& interfaces, QJsonArray& info) = 0;
    virtual QMainWindow* configurationWindow(QWidget* parent) = 0;
    virtual int reservedQueryA() = 0;
    virtual int reservedQueryB() = 0;
    virtual QJsonObject serviceInfo() = 0;
    virtual void setServices(const QJsonObject& services) = 0;
    virtual QIcon icon() = 0;

Q_SIGNALS:
    void selectedInterfacesChanged(const QList<IComInterface*>& selectedIfaces, const QJsonArray& info);
    void servicesChanged(const QJsonObject& services);
    void eventPosted(const ComProviderEvent& event);
};

#define IComInterfaceModelProvider_iid "org.hostapp.IComInterfaceModelProvider/1.1"
Q_DECLARE_INTERFACE(IComInterfaceModelProvider, IComInterfaceModelProvider_iid)

Q_DECLARE_METATYPE(QList<IComInterface*>)
