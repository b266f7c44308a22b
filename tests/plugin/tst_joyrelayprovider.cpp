// The host boundary: meta-object facts compiled into the plugin from the host's declarations (any
// drift breaks the host silently), and the provider as the host drives it: names, the one model and
// delegate it wires, services and the configuration window, and the model's events and selection
// passed on to the host.
#include "comproviderevent.h"
#include "deviceitemdelegate.h"
#include "gamepadmanager.h"
#include "hostlogging.h"
#include "hostmetatypes.h"
#include "joyrelayprovider.h"
#include "linkerdevicemodel.h"
#include "registryfile.h"
#include "support/testsupport.h"

#include <QMainWindow>
#include <QMetaEnum>
#include <QMetaMethod>

using namespace TestSupport;

class tst_JoyrelayProvider : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { registerHostMetaTypes(); }

    void classNames()
    {
        QCOMPARE(IComInterface::staticMetaObject.className(), "IComInterface");
        QCOMPARE(IComInterfaceModelProvider::staticMetaObject.className(), "IComInterfaceModelProvider");
        QCOMPARE(IComInterface::staticMetaObject.superClass(), &QObject::staticMetaObject);
        QCOMPARE(IComInterfaceModelProvider::staticMetaObject.superClass(), &QObject::staticMetaObject);
        QCOMPARE(IComInterface::staticMetaObject.propertyCount(),
                 QObject::staticMetaObject.propertyCount()); // no properties of its own
        const QByteArray iid(qobject_interface_iid<IComInterfaceModelProvider*>());
        QVERIFY(iid.endsWith(".IComInterfaceModelProvider/1.1"));
        QVERIFY(iid.count('.') >= 3); // reverse-domain prefix before the interface name
    }

    void signalsInDeclarationOrder()
    {
        const auto declared = [](const QMetaObject& mo) { // in the order moc lists them
            QList<QByteArray> out;
            for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
                if (mo.method(i).methodType() == QMetaMethod::Signal)
                    out << mo.method(i).methodSignature();
            return out;
        };
        QCOMPARE(declared(IComInterface::staticMetaObject),
                 (QList<QByteArray>{"finished()", "statusChanged(IComInterface::ComStatus)",
                                    "noCodeAppChanged(QStringList)", "fonctionsChanged(QJsonArray)",
                                    "dataChanged(int,int,QStringList,QVariantList)",
                                    "dataChanged(QString,QString,QStringList,QVariantList)"}));
        QCOMPARE(declared(IComInterfaceModelProvider::staticMetaObject),
                 (QList<QByteArray>{"selectedInterfacesChanged(QList<IComInterface*>,QJsonArray)",
                                    "servicesChanged(QJsonObject)", "eventPosted(ComProviderEvent)"}));
    }

    // The host's spelling; a key whose value is not its place is marked.
    void enumerations()
    {
        const auto keys = [](const char* name) {
            const QMetaEnum e = IComInterface::staticMetaObject.enumerator(
                IComInterface::staticMetaObject.indexOfEnumerator(name));
            QStringList out;
            for (int i = 0; i < e.keyCount(); ++i)
                out << QString::fromLatin1(e.key(i)) + (e.value(i) == i ? "" : "?");
            return out;
        };
        QCOMPARE(keys("DeviceType"), (QStringList{"gimbal", "videoprocessing", "gps", "controler", "gamepade",
                                                  "motor", "userType", "mavlink"}));
        QCOMPARE(keys("ComStatus"), (QStringList{"noCom", "waitingForEngagment", "degraded", "connected"}));
    }

    void metaTypesRegisteredByName()
    {
        const QList<QPair<QByteArray, int>> types{
            {"IComInterface*", qMetaTypeId<IComInterface*>()},
            {"QList<IComInterface*>", qMetaTypeId<QList<IComInterface*>>()},
            {"ComProviderEvent", qMetaTypeId<ComProviderEvent>()},
            {"IComInterface::DeviceType", qMetaTypeId<IComInterface::DeviceType>()},
            {"IComInterface::ComStatus", qMetaTypeId<IComInterface::ComStatus>()}};
        for (const auto& [name, id] : types)
            QVERIFY2(QMetaType::fromName(name).id() == id, name.constData());
    }

    // Hosts unpack the selection from variants as a generic list (the provider event's travel is
    // checked with the provider).
    void selectionTravelsInVariants()
    {
        const QVariant list = QVariant::fromValue(QList<IComInterface*>{nullptr, nullptr});
        QCOMPARE(QByteArray(list.typeName()), QByteArray("QList<IComInterface*>"));
        QCOMPARE(list.value<QVariantList>().size(), 2);
    }

    void loggingCategories()
    {
        QCOMPARE(lcGamepadInput().categoryName(), "hx.plugin.gamepad.input");
        QCOMPARE(lcGamepadAxis().categoryName(), "hx.plugin.gamepad.input.axis");
        QCOMPARE(lcGamepadUi().categoryName(), "hx.plugin.gamepad.ui");
        QVERIFY(lcGamepadInput().isDebugEnabled() && lcGamepadUi().isDebugEnabled());
        QVERIFY(!lcGamepadAxis().isDebugEnabled() && lcGamepadAxis().isWarningEnabled());
    }

    void init()
    {
        m_data = std::make_unique<DataRoot>();
        m_pads = virtualPads();
        m_owner = new QObject;
    }

    void cleanup()
    {
        delete m_owner;
        delete GamepadManager::existingInstance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        JoystickBackends::install(nullptr);
    }

    void namesAndZeroAnswers()
    {
        JoyrelayProvider provider; // its class name and vendor as loaded: with the plugin file
        QCOMPARE(provider.displayName(), "Gamepad");
        QVERIFY(provider.reservedQueryA() + provider.reservedQueryB() == 0 &&
                provider.serviceInfo().isEmpty());
        QVERIFY(provider.qt_metacast(IComInterfaceModelProvider_iid));
        QVERIFY(provider.qt_metacast("IComInterfaceModelProvider"));

        // Before any model there is nothing selected.
        QList<IComInterface*> interfaces{reinterpret_cast<IComInterface*>(&provider)};
        QJsonArray info{1, 2};
        provider.selectedInterfaces(interfaces, info);
        QVERIFY(interfaces.isEmpty() && info.isEmpty());
    }

    void delegateFirstThenModelIsMadeAndWiredOnce()
    {
        // A remembered pad with three definitions: every wired cycle request moves it one profile on.
        for (int i = 0; i < 3; ++i)
            writeDefinition(m_data->sharedRoot(),
                            {{"name", QString("P%1").arg(i)}, {"deviceNames", QJsonArray{"Pad"}}});
        const QJsonObject record{{"deviceId", "0"}, {"name", "Pad"}};
        RegistryFile::write(RegistryFile::path("ctx"),
                            QJsonObject{{"devices", QJsonObject{{"gp:0", record}, {"gp:1", record}}}});

        JoyrelayProvider provider;
        auto* delegate = qobject_cast<DeviceItemDelegate*>(provider.delegate(m_owner));
        QCOMPARE(delegate->parent(), m_owner);
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", m_owner));
        QCOMPARE(provider.delegate(m_owner), delegate);
        // The model is made once: a second request with another context and owner gets it too.
        QObject otherOwner;
        QCOMPARE(provider.model("second", &otherOwner), model);
        QVERIFY(model->parent() == m_owner && model->context() == "ctx");

        emit delegate->cycleProfile("gp:0", 1);
        QCOMPARE(model->index(0, 0).data(LinkerDeviceModel::ActiveProfilePositionRole).toInt(), 2);
        emit delegate->toggledSelect("gp:0", true);
        QVERIFY(model->isSelected("gp:0"));
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        emit delegate->requestDelete("gp:1");
        QCOMPARE(removed.count(), 1);
    }

    void servicesAreStoredBeforeAnyWindow()
    {
        JoyrelayProvider provider;
        QSignalSpy changed(&provider, &IComInterfaceModelProvider::servicesChanged);
        const QJsonObject services{{"sharedActionCatalog", QJsonArray{QJsonObject{{"name", "a"}}}}};
        provider.setServices(services);
        QCOMPARE(provider.services(), services);
        QCOMPARE(changed.count(), 0);

        QWidget parent;
        QMainWindow* window = provider.configurationWindow(&parent);
        QCOMPARE(window->windowTitle(), "Gamepad");
        QCOMPARE(provider.configurationWindow(&parent), window);
        delete window;
        QMainWindow* again = provider.configurationWindow(&parent);
        QVERIFY(again && again != window);
    }

    void modelEventsAndSelectionReachTheHostUnchanged()
    {
        JoyrelayProvider provider;
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", m_owner));
        QSignalSpy posted(&provider, &IComInterfaceModelProvider::eventPosted);
        QSignalSpy forwarded(&provider, &IComInterfaceModelProvider::selectedInterfacesChanged);
        const ComProviderEvent event{1, "Gamepad connection lost", "Pad (gp:2) is no longer responding.",
                                     "Gamepad"};
        emit model->providerEventOccurred(event);
        const auto got = posted.value(0).value(0).value<ComProviderEvent>(); // through a variant
        QCOMPARE(QStringList({QString::number(got.severity), got.title, got.message, got.source}),
                 QStringList({"1", event.title, event.message, event.source}));

        const QJsonArray info{QJsonObject{{"name", "x"}}};
        emit model->selectedInterfacesChanged({}, info);
        QCOMPARE(forwarded.count(), 1);
        QCOMPARE(forwarded.at(0).at(1).toJsonArray(), info);
    }

private:
    std::unique_ptr<DataRoot> m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    QObject* m_owner = nullptr;
};

QTEST_MAIN(tst_JoyrelayProvider)
#include "tst_joyrelayprovider.moc"
