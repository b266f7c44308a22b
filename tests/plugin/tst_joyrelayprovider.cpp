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
        QCoreApplication::setApplicationName(QStringLiteral("tst_joyrelayprovider"));
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
        QCOMPARE(provider.vendorName(), QStringLiteral("tavon"));
        QCOMPARE(provider.displayName(), QStringLiteral("Gamepad"));
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
        QAbstractItemModel* first = provider.model(QStringLiteral("first"), m_owner);
        QAbstractItemModel* second = provider.model(QStringLiteral("second"), &otherOwner);
        QCOMPARE(first, second);
        QCOMPARE(first->parent(), m_owner);
        QCOMPARE(qobject_cast<LinkerDeviceModel*>(first)->context(), QStringLiteral("first"));
    }

    void delegateFirstThenModelIsWiredOnce()
    {
        // A remembered pad with three definitions: every wired cycle request moves it one profile on.
        for (int i = 0; i < 3; ++i) {
            const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
            QDir folder(QDir(ProfileStore::sharedProfilesRoot()).filePath(id));
            folder.mkpath(QStringLiteral("."));
            QFile meta(folder.filePath(QStringLiteral("meta.json")));
            QVERIFY(meta.open(QIODevice::WriteOnly));
            meta.write(
                QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta")},
                                          {QStringLiteral("id"), id},
                                          {QStringLiteral("name"), QStringLiteral("P%1").arg(i)},
                                          {QStringLiteral("deviceNames"), QJsonArray{QStringLiteral("Pad")}}})
                    .toJson());
            QFile config(folder.filePath(QStringLiteral("configActionGamepad.json")));
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write("{}");
        }
        const QJsonObject record{{QStringLiteral("deviceId"), QStringLiteral("0")},
                                 {QStringLiteral("name"), QStringLiteral("Pad")}};
        RegistryFile::write(
            RegistryFile::path(QStringLiteral("ctx")),
            QJsonObject{{QStringLiteral("devices"),
                         QJsonObject{{QStringLiteral("gp:0"), record}, {QStringLiteral("gp:1"), record}}}});

        JoyrelayProvider provider;
        auto* delegate = qobject_cast<DeviceItemDelegate*>(provider.delegate(m_owner));
        QVERIFY(delegate);
        QCOMPARE(delegate->parent(), m_owner);
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model(QStringLiteral("ctx"), m_owner));
        QCOMPARE(provider.delegate(m_owner), delegate);
        provider.model(QStringLiteral("ctx"), m_owner);
        QCOMPARE(model->count(), 2);

        emit delegate->cycleProfile(QStringLiteral("gp:0"), 1);
        QCOMPARE(model->index(0, 0).data(LinkerDeviceModel::ActiveProfilePositionRole).toInt(), 2);
        emit delegate->toggledSelect(QStringLiteral("gp:0"), true);
        QVERIFY(model->isSelected(QStringLiteral("gp:0")));
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        emit delegate->requestDelete(QStringLiteral("gp:1"));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model->count(), 1);
    }

    void servicesAreStoredBeforeAnyWindow()
    {
        JoyrelayProvider provider;
        QSignalSpy changed(&provider, &IComInterfaceModelProvider::servicesChanged);
        const QJsonObject services{{QStringLiteral("sharedActionCatalog"),
                                    QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("a")}}}}};
        provider.setServices(services);
        QCOMPARE(provider.services(), services);
        QCOMPARE(changed.count(), 0);

        QWidget parent;
        QMainWindow* window = provider.configurationWindow(&parent);
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Gamepad"));
        QCOMPARE(provider.configurationWindow(&parent), window);
        delete window;
        QMainWindow* again = provider.configurationWindow(&parent);
        QVERIFY(again);
        QCOMPARE(again->windowTitle(), QStringLiteral("Gamepad"));
    }

    void modelEventsReachTheHostUnchanged()
    {
        JoyrelayProvider provider;
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model(QStringLiteral("ctx"), m_owner));
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
        auto* model = qobject_cast<LinkerDeviceModel*>(provider.model(QStringLiteral("ctx"), m_owner));
        QSignalSpy forwarded(&provider, &IComInterfaceModelProvider::selectedInterfacesChanged);
        const QJsonArray info{QJsonObject{{QStringLiteral("name"), QStringLiteral("x")}}};
        emit model->selectedInterfacesChanged({}, info);
        QCOMPARE(forwarded.count(), 1);
        QCOMPARE(forwarded.at(0).at(1).toJsonArray(), info);
    }

private:
    QObject* m_owner = nullptr;
};

QTEST_MAIN(tst_JoyrelayProvider)
#include "tst_joyrelayprovider.moc"
