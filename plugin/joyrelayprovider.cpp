#include "joyrelayprovider.h"

#include "calibrationsettings.h"
#include "deviceitemdelegate.h"
#include "hostmetatypes.h"
#include "linkerdevicemodel.h"

#include <QMainWindow>

JoyrelayProvider::JoyrelayProvider(QObject* parent) : IComInterfaceModelProvider(parent)
{
    registerHostMetaTypes();
    GamepadCalibration::registerCalibrationMetaTypes();
}

JoyrelayProvider::~JoyrelayProvider() = default;

QString JoyrelayProvider::vendorName()
{
    return QStringLiteral("tavon");
}

QString JoyrelayProvider::displayName()
{
    return QStringLiteral("Gamepad");
}

QAbstractItemModel* JoyrelayProvider::model(const QString& context, QObject* parent)
{
    if (!m_model) {
        m_model = new LinkerDeviceModel(context, parent);
        connect(m_model, &LinkerDeviceModel::selectedInterfacesChanged, this,
                &IComInterfaceModelProvider::selectedInterfacesChanged);
        connect(m_model, &LinkerDeviceModel::providerEventOccurred, this, &JoyrelayProvider::onModelEvent);
    }
    wire();
    return m_model;
}

QAbstractItemDelegate* JoyrelayProvider::delegate(QObject* parent)
{
    if (!m_delegate)
        m_delegate = new DeviceItemDelegate(parent);
    wire();
    return m_delegate;
}

void JoyrelayProvider::selectedInterfaces(QList<IComInterface*>& interfaces, QJsonArray& info)
{
    if (!m_model) {
        interfaces.clear();
        info = QJsonArray();
        return;
    }
    m_model->collectSelected(interfaces, info);
}

QMainWindow* JoyrelayProvider::configurationWindow(QWidget* parent)
{
    if (!m_configWindow) {
        m_configWindow = new QMainWindow(parent);
        m_configWindow->setWindowTitle(QStringLiteral("Gamepad"));
    }
    wire();
    return m_configWindow;
}

int JoyrelayProvider::reservedQueryA()
{
    return 0;
}

int JoyrelayProvider::reservedQueryB()
{
    return 0;
}

QJsonObject JoyrelayProvider::serviceInfo()
{
    return {};
}

void JoyrelayProvider::setServices(const QJsonObject& services)
{
    m_services = services;
    if (m_configWidget)
        QMetaObject::invokeMethod(m_configWidget, "setServices", Q_ARG(QJsonObject, m_services));
}

QIcon JoyrelayProvider::icon()
{
    return QIcon(QStringLiteral(":/icon/ressources/console-video.png"));
}

void JoyrelayProvider::onModelEvent(const ComProviderEvent& event)
{
    emit eventPosted(event);
}

void JoyrelayProvider::wire()
{
    if (m_model && m_delegate) {
        connect(m_delegate, &DeviceItemDelegate::requestDelete, m_model, &LinkerDeviceModel::deleteDevice,
                Qt::UniqueConnection);
        connect(m_delegate, &DeviceItemDelegate::toggledSelect, m_model, &LinkerDeviceModel::setSelected,
                Qt::UniqueConnection);
        connect(m_delegate, &DeviceItemDelegate::cycleProfile, m_model, &LinkerDeviceModel::cycleProfile,
                Qt::UniqueConnection);
    }
}
