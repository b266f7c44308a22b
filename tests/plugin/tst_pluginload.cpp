// Loads the built plugin file exactly as a host does (QPluginLoader, cast by the interface
// identifier) and follows one button press of a virtual pad to the action the host's engine fires.
#include "deviceactionrouter.h"
#include "hostsession.h"
#include "icominterfacemodelprovider.h"
#include "support/testsupport.h"

#include <QPluginLoader>
#include <QPointer>
#include <QStandardPaths>

class tst_PluginLoad : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName("tst_pluginload");
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir(data).removeRecursively();

        // A pad in slot 0 pressing button 2 every 700 ms, seen only by the plugin's own input runtime.
        const QString scenario = m_dir.filePath("pads.json");
        QVERIFY(TestSupport::writeFile(scenario, R"({ "loop": true, "period": 700,
            "pads": [ { "slot": 0, "name": "Road Pad", "vendorId": "0x045e", "productId": "0x028e",
                        "axes": [0, 1], "buttons": 8 } ],
            "events": [ { "at": 300, "slot": 0, "button": 2, "pressed": true },
                        { "at": 450, "slot": 0, "button": 2, "pressed": false } ] })"));
        qputenv("JOYRELAY_VIRTUAL_PADS", scenario.toLocal8Bit());

        // With no definition at all, a pad announces the shared fallback mapping file.
        QVERIFY(TestSupport::writeFile(data + "/GamepadProfiles/configActionGamepad.json", R"({ "bridges": [
            { "src": { "deviceType": "gamepade", "deviceId": 0, "packetId": 1, "stringKey": "but_2",
                       "isJoy": false },
              "action": "photo.capture", "args": { "count": 2 } } ] })"));
    }

    void metadataNamesTheProvider()
    {
        QPluginLoader loader(QStringLiteral(JOYRELAY_PLUGIN_FILE));
        const QJsonObject meta = loader.metaData();
        QCOMPARE(meta.value("IID").toString(), QStringLiteral(IComInterfaceModelProvider_iid));
        QCOMPARE(meta.value("className").toString(), "JoyrelayProvider");
        QVERIFY(meta.value("MetaData").toObject().isEmpty());
    }

    void oneProviderPerProcess()
    {
        QPluginLoader first(QStringLiteral(JOYRELAY_PLUGIN_FILE));
        QPluginLoader second(QStringLiteral(JOYRELAY_PLUGIN_FILE));
        QObject* root = first.instance();
        QVERIFY2(root, qPrintable(first.errorString()));
        QCOMPARE(second.instance(), root);
        auto* provider = qobject_cast<IComInterfaceModelProvider*>(root);
        QVERIFY(provider);
        QCOMPARE(root->metaObject()->className(), "JoyrelayProvider");
        QCOMPARE(provider->vendorName(), "tavon");
        QVERIFY(!provider->icon().pixmap(32, 32).isNull()); // compiled into the plugin file
        // Loading registers the calibration records for queued signals and variants.
        for (const char* name : {"GamepadCalibration::AxisSettings", "GamepadCalibration::ButtonSettings",
                                 "GamepadCalibration::GateSettings", "GamepadCalibration::CalibrationSet"})
            QVERIFY2(QMetaType::fromName(name).isValid(), name);

        // A destroyed provider is replaced by a new one at the next request.
        QPointer<QObject> old = root;
        delete root;
        QVERIFY(old.isNull());
        QObject* again = first.instance();
        QVERIFY(again && second.instance() == again);
        QCOMPARE(again->metaObject()->className(), "JoyrelayProvider");
    }

    void buttonPressReachesAnAction()
    {
        HostSession session;
        QString error;
        QVERIFY2(session.loadPlugin(QStringLiteral(JOYRELAY_PLUGIN_FILE), &error), qPrintable(error));
        QSignalSpy events(session.provider(), &IComInterfaceModelProvider::eventPosted);
        QSignalSpy actions(&session, &HostSession::actionFired);
        session.start("road", true);

        QTRY_COMPARE_WITH_TIMEOUT(session.viewModel()->rowCount(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(session.routers().size(), 1, 5000);
        IComInterface* pad = session.routers().first()->device();
        QCOMPARE(pad->deviceType(), IComInterface::gamepade);
        QTRY_COMPARE_WITH_TIMEOUT(pad->status(), IComInterface::connected, 5000);
        QVERIFY(session.routers().first()->mappingPath().endsWith(
            QStringLiteral("GamepadProfiles/configActionGamepad.json")));

        QTRY_VERIFY_WITH_TIMEOUT(actions.count() >= 1, 5000);
        QCOMPARE(actions.first().mid(1, 4),
                 (QVariantList{"photo.capture", QJsonObject{{"count", 2}}, "but_2", true}));

        QStringList titles;
        for (const auto& args : events)
            titles << args.at(0).value<ComProviderEvent>().title;
        QVERIFY2(titles.contains("Gamepad detected") && titles.contains("Gamepad connected"),
                 qPrintable(titles.join(QLatin1Char(','))));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_PluginLoad)
#include "tst_pluginload.moc"
