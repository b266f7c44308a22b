// Meta-object facts the host relies on when it talks to the plugin: they are compiled into the
// plugin from the host's declarations, so any drift breaks the host silently.
#include "comproviderevent.h"
#include "hostlogging.h"
#include "hostmetatypes.h"
#include "icominterface.h"
#include "icominterfacemodelprovider.h"

#include <QMetaEnum>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>

static void addSignalRows(const QList<QPair<const char*, QByteArray>>& rows)
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    int index = 0;
    for (const auto& row : rows) {
        QTest::newRow(row.first) << index << row.second;
        ++index;
    }
}

static void checkSignal(const QMetaObject& mo, int index, const QByteArray& signature)
{
    const int absolute = mo.methodOffset() + index;
    QVERIFY(absolute < mo.methodCount());
    const QMetaMethod method = mo.method(absolute);
    QCOMPARE(method.methodType(), QMetaMethod::Signal);
    QCOMPARE(method.methodSignature(), signature);
}

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
    }

    void interfaceSignals_data()
    {
        addSignalRows({
            {"0 finished", "finished()"},
            {"1 status changed", "statusChanged(IComInterface::ComStatus)"},
            {"2 mapping files changed", "noCodeAppChanged(QStringList)"},
            {"3 functions changed", "fonctionsChanged(QJsonArray)"},
            {"4 data changed by numbers", "dataChanged(int,int,QStringList,QVariantList)"},
            {"5 data changed by names", "dataChanged(QString,QString,QStringList,QVariantList)"},
        });
    }

    void interfaceSignals()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, signature);
        checkSignal(IComInterface::staticMetaObject, index, signature);
    }

    void providerSignals_data()
    {
        addSignalRows({
            {"0 selection changed", "selectedInterfacesChanged(QList<IComInterface*>,QJsonArray)"},
            {"1 services changed", "servicesChanged(QJsonObject)"},
            {"2 event posted", "eventPosted(ComProviderEvent)"},
        });
    }

    void providerSignals()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, signature);
        checkSignal(IComInterfaceModelProvider::staticMetaObject, index, signature);
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
        const int index = mo.indexOfEnumerator(enumName.constData());
        QVERIFY(index >= 0);
        const QMetaEnum e = mo.enumerator(index);
        QCOMPARE(e.keyCount(), keys.size());
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(QString::fromLatin1(e.key(i)), keys.at(i));
            QCOMPARE(e.value(i), i);
        }
        QCOMPARE(int(IComInterface::gamepade), 4);
        QCOMPARE(int(IComInterface::connected), 3);
    }

    void metaTypesRegistered_data()
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

    void metaTypesRegistered()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, expectedId);
        const QMetaType byName = QMetaType::fromName(name);
        QVERIFY2(byName.isValid(), name.constData());
        QCOMPARE(byName.id(), expectedId);
    }

    void providerEventTravelsInVariant()
    {
        const ComProviderEvent event{1, "Gamepad disconnected", QStringLiteral("Pad (gp:0) is disconnected."),
                                     "Gamepad"};
        const QVariant v = QVariant::fromValue(event);
        QCOMPARE(QByteArray(v.typeName()), QByteArray("ComProviderEvent"));
        const ComProviderEvent back = v.value<ComProviderEvent>();
        QCOMPARE(back.severity, 1);
        QCOMPARE(back.title, event.title);
        QCOMPARE(back.message, event.message);
        QCOMPARE(back.source, event.source);
    }

    void interfaceListIsSequentialContainer()
    {
        // Hosts unpack the selection from variants as a generic list.
        const QList<IComInterface*> list{nullptr, nullptr};
        const QVariant v = QVariant::fromValue(list);
        QCOMPARE(QByteArray(v.typeName()), QByteArray("QList<IComInterface*>"));
        QVERIFY(v.canConvert<QVariantList>());
        QCOMPARE(v.value<QVariantList>().size(), 2);
    }

    void pluginInterfaceIdentifier()
    {
        const QByteArray iid(qobject_interface_iid<IComInterfaceModelProvider*>());
        QVERIFY(iid.endsWith(".IComInterfaceModelProvider/1.1"));
        QVERIFY(iid.count('.') >= 3); // reverse-domain prefix before the interface name
    }

    void loggingCategories_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("debugOn");
        QTest::addColumn<bool>("warningOn");
        QTest::newRow("input: debug on") << QByteArray("hx.plugin.gamepad.input") << true << true;
        QTest::newRow("axis changes: warnings only")
            << QByteArray("hx.plugin.gamepad.input.axis") << false << true;
        QTest::newRow("editor widgets: debug on") << QByteArray("hx.plugin.gamepad.ui") << true << true;
    }

    void loggingCategories()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, debugOn);
        QFETCH(bool, warningOn);
        const QLoggingCategory* categories[] = {&lcGamepadInput(), &lcGamepadAxis(), &lcGamepadUi()};
        const QLoggingCategory* found = nullptr;
        for (const QLoggingCategory* c : categories) {
            if (name == c->categoryName())
                found = c;
        }
        QVERIFY(found);
        QCOMPARE(found->isDebugEnabled(), debugOn);
        QCOMPARE(found->isWarningEnabled(), warningOn);
    }
};

QTEST_GUILESS_MAIN(tst_HostContract)
#include "tst_hostcontract.moc"
