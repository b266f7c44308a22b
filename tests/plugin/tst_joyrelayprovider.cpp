#include "deviceitemdelegate.h"
#include "gamepadmanager.h"
#include "joyrelayprovider.h"
#include "linkerdevicemodel.h"
#include "profilestore.h"
#include "registryfile.h"
#include "virtualjoystickbackend.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMainWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUuid>

class tst_JoyrelayProvider : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName("tst_joyrelayprovider");
    }

    void init()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
        JoystickBackends::install(std::make_shared<VirtualJoystickBackend>());
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
        JoyrelayProvider provider;
        QCOMPARE(provider.metaObject()->className(), "JoyrelayProvider");
        QCOMPARE(provider.vendorName(), "tavon");
        QCOMPARE(provider.displayName(), "Gamepad");
        QCOMPARE(provider.reservedQueryA(), 0);
        QCOMPARE(provider.reservedQueryB(), 0);
        QVERIFY(provider.serviceInfo().isEmpty());
        QVERIFY(qobject_cast<IComInterfaceModelProvider*>(&provider));
        QVERIFY(provider.qt_metacast(IComInterfaceModelProvider_iid));
        QVERIFY(provider.qt_metacast("IComInterfaceModelProvider"));
    }

    void selectedInterfacesWithoutModel()
    {
        JoyrelayProvider provider;
        QList<IComInterface*> interfaces{reinterpret_cast<IComInterface*>(&provider)};
        QJsonArray info{1, 2};
        provider.selectedInterfaces(interfaces, info);
        QVERIFY(interfaces.isEmpty());
        QVERIFY(info.isEmpty());
    }

    void modelIsCreatedOnce()
    {
        JoyrelayProvider provider;
        QObject otherOwner;
        QAbstractItemModel* first = provider.model("first", m_owner);
        QAbstractItemModel* second = provider.model("second", &otherOwner);
        QCOMPARE(first, second);
        QCOMPARE(first->parent(), m_owner);
        QCOMPARE(qobject_cast<LinkerDeviceModel*>(first)->context(), "first");
    }

    void delegateFirstThenModelIsWiredOnce()
    {
        // A remembered pad with three definitions: every wired cycle request moves it one profile on.
        for (int i = 0; i < 3; ++i) {
            const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
            QDir folder(QDir(ProfileStore::sharedProfilesRoot()).filePath(id));
            folder.mkpath(".");
            QFile meta(folder.filePath("meta.json"));
            QVERIFY(meta.open(QIODevice::WriteOnly));
            meta.write(QJsonDocument(QJsonObject{{"type", "GamepadDefinderMeta"},
                                                 {"id", id},
                                                 {"name", QStringLiteral("P%1").arg(i)},
                                                 {"deviceNames", QJsonArray{"Pad"}}})
                           .toJson());
            QFile config(folder.filePath("configActionGamepad.json"));
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write("{}");
        }
        const QJsonObject record{{"deviceId", "0"}, {"name", "Pad"}};
        RegistryFile::write(RegistryFile::path("ctx"),
                            QJsonObject{{"devices", QJsonObject{{"gp:0", record}, {"gp:1", record}}}});

        JoyrelayProvider provider;
        auto* delegate = qobject_cast<DeviceItemDelegate*>(provider.delegate(m_owner));
        QVERIFY(delegate);
        QCOMPARE(delegate->parent(), m_owner);
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", m_owner));
        QCOMPARE(provider.delegate(m_owner), delegate);
        provider.model("ctx", m_owner);
        QCOMPARE(model->count(), 2);

        emit delegate->cycleProfile("gp:0", 1);
        QCOMPARE(model->index(0, 0).data(LinkerDeviceModel::ActiveProfilePositionRole).toInt(), 2);
        emit delegate->toggledSelect("gp:0", true);
        QVERIFY(model->isSelected("gp:0"));
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        emit delegate->requestDelete("gp:1");
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model->count(), 1);
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
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), "Gamepad");
        QCOMPARE(provider.configurationWindow(&parent), window);
        delete window;
        QMainWindow* again = provider.configurationWindow(&parent);
        QVERIFY(again);
        QCOMPARE(again->windowTitle(), "Gamepad");
    }

    void modelEventsReachTheHostUnchanged()
    {
        JoyrelayProvider provider;
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", m_owner));
        QSignalSpy posted(&provider, &IComInterfaceModelProvider::eventPosted);
        ComProviderEvent event;
        event.severity = 1;
        event.title = QStringLiteral("Gamepad connection lost");
        event.message = QStringLiteral("Pad (gp:2) is no longer responding.");
        event.source = QStringLiteral("Gamepad");
        emit model->providerEventOccurred(event);
        QCOMPARE(posted.count(), 1);
        const auto got = posted.at(0).at(0).value<ComProviderEvent>();
        QCOMPARE(got.severity, 1);
        QCOMPARE(got.title, event.title);
        QCOMPARE(got.message, event.message);
        QCOMPARE(got.source, event.source);
    }

    void selectionIsForwarded()
    {
        JoyrelayProvider provider;
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", m_owner));
        QSignalSpy forwarded(&provider, &IComInterfaceModelProvider::selectedInterfacesChanged);
        const QJsonArray info{QJsonObject{{"name", "x"}}};
        emit model->selectedInterfacesChanged({}, info);
        QCOMPARE(forwarded.count(), 1);
        QCOMPARE(forwarded.at(0).at(1).toJsonArray(), info);
    }

private:
    QObject* m_owner = nullptr;
};

QTEST_MAIN(tst_JoyrelayProvider)
#include "tst_joyrelayprovider.moc"
