#include "joyrelayprovider.h"

#include "calibrationsettings.h"
#include "deviceitemdelegate.h"
#include "hostmetatypes.h"
#include "joyrelaytranslations.h"
#include "linkerdevicemodel.h"
#include "manetteconfigurationwidget.h"

#include <QMainWindow>

JoyrelayProvider::JoyrelayProvider(QObject* parent) : IComInterfaceModelProvider(parent)
{
    registerHostMetaTypes();
    GamepadCalibration::registerCalibrationMetaTypes();
    // Before any editor or card exists, so every text is built in the user's language.
    JoyrelayTranslations::install();
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
        m_configWindow->resize(1023, 772); // the form's own size
    }
    // A form that outlived its window stays where it is.
    if (!m_configWidget) {
        auto* widget = new ManetteConfigurationWidget(m_configWindow);
        m_configWidget = widget;
        m_configWindow->setCentralWidget(widget);
        widget->setServices(m_services);
        connect(this, &IComInterfaceModelProvider::servicesChanged, widget,
                [this, widget](const QJsonObject&) { widget->setServices(m_services); });
    }
    wire();
    return m_configWindow;
}

ManetteConfigurationWidget* JoyrelayProvider::configurationWidget() const
{
    return m_configWidget;
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
        m_configWidget->setServices(m_services);
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
    if (m_model && m_configWidget)
        connect(m_configWidget, &ManetteConfigurationWidget::profilesCatalogChanged, m_model,
                &LinkerDeviceModel::scheduleProfilesCatalogRefresh, Qt::UniqueConnection);
}
