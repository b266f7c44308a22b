// Meta-object facts the host relies on when it talks to the plugin: they are compiled into the
// plugin from the host's declarations, so any drift breaks the host silently.
#include "comproviderevent.h"
#include "hostlogging.h"
#include "hostmetatypes.h"
#include "icominterface.h"
#include "icominterfacemodelprovider.h"

#include <QMetaEnum>
#include <QMetaMethod>
#include <QTest>

class tst_HostContract : public QObject
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

    void signalsInDeclarationOrder_data()
    {
        QTest::addColumn<bool>("provider");
        QTest::addColumn<QList<QByteArray>>("signatures");
        QTest::newRow("the interface's signals")
            << false
            << QList<QByteArray>{"finished()",
                                 "statusChanged(IComInterface::ComStatus)",
                                 "noCodeAppChanged(QStringList)",
                                 "fonctionsChanged(QJsonArray)",
                                 "dataChanged(int,int,QStringList,QVariantList)",
                                 "dataChanged(QString,QString,QStringList,QVariantList)"};
        QTest::newRow("the provider's signals")
            << true
            << QList<QByteArray>{"selectedInterfacesChanged(QList<IComInterface*>,QJsonArray)",
                                 "servicesChanged(QJsonObject)", "eventPosted(ComProviderEvent)"};
    }

    void signalsInDeclarationOrder()
    {
        QFETCH(bool, provider);
        QFETCH(QList<QByteArray>, signatures);
        const QMetaObject& mo =
            provider ? IComInterfaceModelProvider::staticMetaObject : IComInterface::staticMetaObject;
        QList<QByteArray> declared; // every signal of the class, in the order moc lists them
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            if (mo.method(i).methodType() == QMetaMethod::Signal)
                declared << mo.method(i).methodSignature();
        QCOMPARE(declared, signatures);
    }

    void enumerations_data()
    {
        QTest::addColumn<QByteArray>("enumName");
        QTest::addColumn<QStringList>("keys"); // key i has value i
        QTest::newRow("device types, host spelling")
            << QByteArray("DeviceType") << QStringList{"gimbal",   "videoprocessing", "gps",      "controler",
                                                       "gamepade", "motor",           "userType", "mavlink"};
        QTest::newRow("communication status, host spelling")
            << QByteArray("ComStatus")
            << QStringList{"noCom", "waitingForEngagment", "degraded", "connected"};
    }

    void enumerations()
    {
        QFETCH(QByteArray, enumName);
        QFETCH(QStringList, keys);
        const QMetaObject& mo = IComInterface::staticMetaObject;
        const QMetaEnum e = mo.enumerator(mo.indexOfEnumerator(enumName.constData()));
        QStringList declared; // a key whose value is not its place is marked
        for (int i = 0; i < e.keyCount(); ++i)
            declared << QString::fromLatin1(e.key(i)) + (e.value(i) == i ? "" : "?");
        QCOMPARE(declared, keys);
    }

    void metaTypesRegisteredByName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("expectedId");
        QTest::newRow("interface pointer") << QByteArray("IComInterface*") << qMetaTypeId<IComInterface*>();
        QTest::newRow("interface list")
            << QByteArray("QList<IComInterface*>") << qMetaTypeId<QList<IComInterface*>>();
        QTest::newRow("provider event") << QByteArray("ComProviderEvent") << qMetaTypeId<ComProviderEvent>();
        QTest::newRow("device type enum")
            << QByteArray("IComInterface::DeviceType") << qMetaTypeId<IComInterface::DeviceType>();
        QTest::newRow("status enum") << QByteArray("IComInterface::ComStatus")
                                     << qMetaTypeId<IComInterface::ComStatus>();
    }

    void metaTypesRegisteredByName()
    {
        QFETCH(QByteArray, name);
        QTEST(QMetaType::fromName(name).id(), "expectedId");
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
};

QTEST_GUILESS_MAIN(tst_HostContract)
#include "tst_hostcontract.moc"
