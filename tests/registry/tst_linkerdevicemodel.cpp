#include "controlmanette.h"
#include "gamepadmanager.h"
#include "linkerdevicemodel.h"
#include "profilestore.h"
#include "registryfile.h"
#include "virtualjoystickbackend.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QJsonDocument>
#include <QPixmap>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUuid>

#include <memory>

namespace {

const QString kContext = QStringLiteral("deck");

VirtualJoystickBackend::Pad pad(int slot, const QString& name = QStringLiteral("Pad A"),
                                quint32 vendor = 0x45e, quint32 product = 0x2fd)
{
    VirtualJoystickBackend::Pad p;
    p.slot = slot;
    p.name = name;
    p.vendorId = vendor;
    p.productId = product;
    p.axes = {0, 1, 2, 3};
    p.buttons = 12;
    return p;
}

// Writes a definition folder with a mapping file so the profile store offers it for deviceName.
QString writeProfile(const QString& name, const QString& deviceName)
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir folder(QDir(ProfileStore::sharedProfilesRoot()).filePath(id));
    folder.mkpath(QStringLiteral("."));
    const QJsonObject meta{{QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta")},
                           {QStringLiteral("id"), id},
                           {QStringLiteral("name"), name},
                           {QStringLiteral("deviceNames"), QJsonArray{deviceName}}};
    QFile metaFile(folder.filePath(QStringLiteral("meta.json")));
    metaFile.open(QIODevice::WriteOnly);
    metaFile.write(QJsonDocument(meta).toJson());
    QFile config(folder.filePath(QStringLiteral("configActionGamepad.json")));
    config.open(QIODevice::WriteOnly);
    config.write("{\"bridges\": []}");
    return id;
}

QJsonObject readRegistry()
{
    return RegistryFile::read(RegistryFile::path(kContext)).object();
}

void writeRegistry(const QJsonObject& devices)
{
    RegistryFile::write(RegistryFile::path(kContext),
                        QJsonObject{{QStringLiteral("devices"), devices}, {QStringLiteral("lastCount"), 5}});
}

QJsonObject record(const QString& deviceId, const QString& name, const QJsonObject& kv = {})
{
    return QJsonObject{{QStringLiteral("deviceId"), deviceId},
                       {QStringLiteral("vendorIdHex"), QStringLiteral("45e")},
                       {QStringLiteral("productIdHex"), QStringLiteral("2fd")},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("imagePath"), QString()},
                       {QStringLiteral("kv"), kv}};
}

ComProviderEvent eventAt(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<ComProviderEvent>();
}

} // namespace

class tst_LinkerDeviceModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void firstPlugInAddsARow();
    void reconnectUnderAnotherSlotKeepsTheRow();
    void sameFingerprintMatchesTheFirstRow();
    void knownUsnIsTakenOver();
    void unplugging_data();
    void unplugging();
    void selection_data();
    void selection();
    void carousel_data();
    void carousel();
    void setActiveProfile();
    void registryRoundTrip();
    void registryHoldsLiveIdentity();
    void linkStateEventsPostedOnce();
    void contextSwitchLoadsAnotherRegistry();
    void writableRoles();
    void catalogRefreshFindsNewProfiles();
    void autoDetectStartsAndStopsPolling();

private:
    void makeModel();
    void discover();

    std::shared_ptr<VirtualJoystickBackend> m_pads;
    LinkerDeviceModel* m_model = nullptr;
    QAbstractItemModelTester* m_tester = nullptr;
    QSignalSpy* m_events = nullptr;
};

void tst_LinkerDeviceModel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("tst_linkerdevicemodel"));
    registerInputMetaTypes();
}

void tst_LinkerDeviceModel::init()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    m_pads = std::make_shared<VirtualJoystickBackend>();
    JoystickBackends::install(m_pads);
}

void tst_LinkerDeviceModel::cleanup()
{
    delete m_events;
    m_events = nullptr;
    delete m_tester;
    m_tester = nullptr;
    delete m_model;
    m_model = nullptr;
    delete GamepadManager::existingInstance();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    JoystickBackends::install(nullptr);
}

void tst_LinkerDeviceModel::makeModel()
{
    m_model = new LinkerDeviceModel(kContext);
    // Discovery is driven by the test, not by the manager's timers.
    GamepadManager::instance()->stopPolling();
    m_tester = new QAbstractItemModelTester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_events = new QSignalSpy(m_model, &LinkerDeviceModel::providerEventOccurred);
    QCoreApplication::processEvents(); // the model's first reconciliation
}

void tst_LinkerDeviceModel::discover()
{
    QMetaObject::invokeMethod(GamepadManager::instance(), "discoverDevices", Qt::DirectConnection);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_LinkerDeviceModel::firstPlugInAddsARow()
{
    makeModel();
    QCOMPARE(m_model->count(), 0);
    QCOMPARE(m_model->previousCount(), 0);
    m_pads->plug(pad(2));
    discover();
    QCOMPARE(m_model->count(), 1);
    const QModelIndex row = m_model->index(0, 0);
    QCOMPARE(row.data(LinkerDeviceModel::UsnRole).toString(), QStringLiteral("gp:2"));
    QCOMPARE(row.data(LinkerDeviceModel::ConnectedRole).toBool(), true);
    QCOMPARE(row.data(LinkerDeviceModel::NameRole).toString(), QStringLiteral("Pad A"));
    QCOMPARE(row.data(LinkerDeviceModel::IpRole).toString(), QStringLiteral("VID:45e PID:2fd"));
    QCOMPARE(row.data(LinkerDeviceModel::ModelRole).toString(), QStringLiteral("45e-2fd"));
    QCOMPARE(row.data(LinkerDeviceModel::VideoInterfacesRole).toStringList(),
             QStringList({QStringLiteral("Axes|axis://4"), QStringLiteral("Buttons|btn://12")}));
    QCOMPARE(m_events->count(), 1);
    QCOMPARE(eventAt(*m_events, 0).title, QStringLiteral("Gamepad detected"));
    QCOMPARE(eventAt(*m_events, 0).message, QStringLiteral("Pad A (gp:2) is now available."));
    QCOMPARE(readRegistry().value(QStringLiteral("lastCount")).toInt(), 1);
    QVERIFY(readRegistry().value(QStringLiteral("devices")).toObject().contains(QStringLiteral("gp:2")));
}

void tst_LinkerDeviceModel::reconnectUnderAnotherSlotKeepsTheRow()
{
    const QString first = writeProfile(QStringLiteral("Alpha"), QStringLiteral("Pad A"));
    const QString second = writeProfile(QStringLiteral("Beta"), QStringLiteral("Pad A"));
    m_pads->plug(pad(5, QStringLiteral("Other")));
    m_pads->plug(pad(0));
    makeModel();
    discover();
    const int r = m_model->indexOfUsn(QStringLiteral("gp:0"));
    QVERIFY(r >= 0);
    QVERIFY(m_model->setData(m_model->index(r, 0), QStringLiteral("My pad"), LinkerDeviceModel::NameRole));
    m_model->setSelected(QStringLiteral("gp:0"), true);
    QVERIFY(m_model->setActiveProfile(QStringLiteral("gp:0"), second));
    QCOMPARE(m_model->index(r, 0).data(LinkerDeviceModel::ActiveProfileNameRole).toString(),
             QStringLiteral("Beta"));

    m_pads->unplug(0);
    discover();
    QCOMPARE(m_model->count(), 2);
    QCOMPARE(m_model->index(r, 0).data(LinkerDeviceModel::ConnectedRole).toBool(), false);

    QSignalSpy selection(m_model, &LinkerDeviceModel::selectedInterfacesChanged);
    m_pads->plug(pad(3));
    discover();
    QCOMPARE(m_model->count(), 2);
    const QModelIndex row = m_model->index(r, 0);
    QCOMPARE(row.data(LinkerDeviceModel::UsnRole).toString(), QStringLiteral("gp:3"));
    QCOMPARE(row.data(LinkerDeviceModel::NameRole).toString(), QStringLiteral("My pad"));
    QCOMPARE(row.data(LinkerDeviceModel::ConnectedRole).toBool(), true);
    QVERIFY(m_model->isSelected(QStringLiteral("gp:3")));
    QCOMPARE(row.data(LinkerDeviceModel::ActiveProfileIdRole).toString(), second);
    QCOMPARE(m_model->indexOfUsn(QStringLiteral("gp:0")), -1);
    Q_UNUSED(first);

    // The host now gets the live pad of slot 3, already told its profile and engaged.
    QVERIFY(selection.count() > 0);
    const auto ifaces = selection.last().at(0).value<QList<IComInterface*>>();
    QCOMPARE(ifaces.size(), 1);
    auto* live = qobject_cast<ControlManette*>(ifaces.first());
    QVERIFY(live);
    QCOMPARE(live->deviceId(), 3);
    QCOMPARE(live->activeProfileId(), second);
    QCOMPARE(live->status(), IComInterface::connected);
    QCOMPARE(row.data(LinkerDeviceModel::LinkStateRole).toInt(), 2);
    // The re-keyed identity reaches the file.
    const QJsonObject devices = readRegistry().value(QStringLiteral("devices")).toObject();
    QVERIFY(devices.contains(QStringLiteral("gp:3")));
    QVERIFY(!devices.contains(QStringLiteral("gp:0")));
}

void tst_LinkerDeviceModel::sameFingerprintMatchesTheFirstRow()
{
    writeRegistry(
        QJsonObject{{QStringLiteral("gp:5"), record(QStringLiteral("5"), QStringLiteral("Pad A"))},
                    {QStringLiteral("gp:6"), record(QStringLiteral("6"), QStringLiteral("Pad A"))}});
    makeModel();
    QCOMPARE(m_model->previousCount(), 5);
    m_pads->plug(pad(1, QStringLiteral("  PAD a ")));
    discover();
    QCOMPARE(m_model->count(), 2);
    QCOMPARE(m_model->usnForRow(0), QStringLiteral("gp:1"));
    QCOMPARE(m_model->usnForRow(1), QStringLiteral("gp:6"));
    QCOMPARE(m_events->count(), 0); // a known pad came back: no "detected" event
}

void tst_LinkerDeviceModel::knownUsnIsTakenOver()
{
    const QJsonObject kv{{QStringLiteral("nameOverride"), QStringLiteral("Desk stick")},
                         {QStringLiteral("selected"), true}};
    writeRegistry(
        QJsonObject{{QStringLiteral("gp:0"), record(QStringLiteral("0"), QStringLiteral("Old pad"), kv)},
                    {QStringLiteral("gp:4"), record(QStringLiteral("4"), QStringLiteral("Pad A"))}});
    makeModel();
    // Another controller in the remembered slot takes that entry; the fingerprint twin in gp:4 stays.
    m_pads->plug(pad(0));
    discover();
    QCOMPARE(m_model->count(), 2);
    QCOMPARE(m_model->usnForRow(0), QStringLiteral("gp:0"));
    QCOMPARE(m_model->usnForRow(1), QStringLiteral("gp:4"));
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::NameRole).toString(), QStringLiteral("Desk stick"));
    QVERIFY(m_model->isSelected(QStringLiteral("gp:0")));
    QCOMPARE(m_model->index(1, 0).data(LinkerDeviceModel::ConnectedRole).toBool(), false);
    QCOMPARE(m_events->count(), 1);
    QCOMPARE(eventAt(*m_events, 0).title, QStringLiteral("Gamepad connected"));
}

void tst_LinkerDeviceModel::unplugging_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<int>("severity");
    QTest::addColumn<QString>("title");
    QTest::newRow("unselected pad") << false << 0 << QStringLiteral("Gamepad removed");
    QTest::newRow("selected pad") << true << 1 << QStringLiteral("Selected gamepad disconnected");
}

void tst_LinkerDeviceModel::unplugging()
{
    QFETCH(bool, selected);
    m_pads->plug(pad(1));
    makeModel();
    discover();
    m_model->setSelected(QStringLiteral("gp:1"), selected);
    m_events->clear();
    QSignalSpy selection(m_model, &LinkerDeviceModel::selectedInterfacesChanged);

    m_pads->unplug(1);
    discover();
    QCOMPARE(m_model->count(), 1);
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ConnectedRole).toBool(), false);
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::LinkStateRole).toInt(), 0);
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::IpRole).toString(),
             QStringLiteral("VID:45e PID:2fd"));
    int removals = 0;
    for (int i = 0; i < m_events->count(); ++i) {
        const ComProviderEvent e = eventAt(*m_events, i);
        if (e.title == QLatin1String("Gamepad connection lost"))
            continue; // the engaged pad noticed first
        ++removals;
        QTEST(int(e.severity), "severity");
        QTEST(e.title, "title");
        QCOMPARE(e.message, QStringLiteral("Pad A (gp:1) is no longer available."));
    }
    QCOMPARE(removals, 1);

    IComInterface* iface = m_model->interfaceForRow(0);
    QCOMPARE(iface != nullptr, selected);
    if (selected) {
        // A stand-alone interface, owned by the model, stands for the missing pad.
        QCOMPARE(iface->parent(), m_model);
        QCOMPARE(iface->status(), IComInterface::noCom);
        QCOMPARE(selection.last().at(0).value<QList<IComInterface*>>(), QList<IComInterface*>{iface});
    } else {
        QVERIFY(selection.last().at(0).value<QList<IComInterface*>>().isEmpty());
    }
}

void tst_LinkerDeviceModel::selection_data()
{
    QTest::addColumn<bool>("unique");
    QTest::addColumn<int>("selectedCount");
    QTest::newRow("unique selection keeps the last") << true << 1;
    QTest::newRow("multiple selection keeps both") << false << 2;
}

void tst_LinkerDeviceModel::selection()
{
    QFETCH(bool, unique);
    QFETCH(int, selectedCount);
    m_pads->plug(pad(0));
    m_pads->plug(pad(1, QStringLiteral("Pad B"), 0x54c, 0x5c4));
    makeModel();
    discover();
    m_model->setUniqSelection(unique);
    QSignalSpy selection(m_model, &LinkerDeviceModel::selectedInterfacesChanged);
    m_model->setSelected(QStringLiteral("gp:0"), true);
    m_model->setSelected(QStringLiteral("gp:1"), true);
    QCOMPARE(m_model->isSelected(QStringLiteral("gp:1")), true);
    QCOMPARE(m_model->isSelected(QStringLiteral("gp:0")), !unique);
    const auto ifaces = selection.last().at(0).value<QList<IComInterface*>>();
    const QJsonArray infos = selection.last().at(1).toJsonArray();
    QCOMPARE(ifaces.size(), selectedCount);
    QCOMPARE(infos.size(), selectedCount);
    QCOMPARE(infos.last().toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Pad B"));
    if (unique)
        QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::LinkStateRole).toInt(), 0);

    QList<IComInterface*> collected;
    QJsonArray collectedInfo;
    m_model->collectSelected(collected, collectedInfo);
    QCOMPARE(collected, ifaces);
    // The selection survives in the file.
    const QJsonObject devices = readRegistry().value(QStringLiteral("devices")).toObject();
    QCOMPARE(devices.value(QStringLiteral("gp:1"))
                 .toObject()
                 .value(QStringLiteral("kv"))
                 .toObject()
                 .value(QStringLiteral("selected")),
             QJsonValue(true));
}

void tst_LinkerDeviceModel::carousel_data()
{
    QTest::addColumn<int>("profiles");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("result");
    QTest::newRow("back from the first of three wraps to the third") << 3 << -1 << 3 << true;
    QTest::newRow("forward from the first of three") << 3 << 1 << 2 << true;
    QTest::newRow("four steps forward over three") << 3 << 4 << 2 << true;
    QTest::newRow("a single profile stays selected") << 1 << 1 << 1 << true;
    QTest::newRow("zero delta is refused") << 3 << 0 << 1 << false;
    QTest::newRow("no profile is refused") << 0 << 1 << 0 << false;
}

void tst_LinkerDeviceModel::carousel()
{
    QFETCH(int, profiles);
    QFETCH(int, delta);
    for (int i = 0; i < profiles; ++i)
        writeProfile(QStringLiteral("Profile %1").arg(i), QStringLiteral("Pad A"));
    m_pads->plug(pad(0));
    makeModel();
    discover();
    const QModelIndex row = m_model->index(0, 0);
    QCOMPARE(row.data(LinkerDeviceModel::ProfileCountRole).toInt(), profiles);
    QCOMPARE(row.data(LinkerDeviceModel::HasProfileCarouselRole).toBool(), profiles > 1);
    QTEST(m_model->cycleProfile(QStringLiteral("gp:0"), delta), "result");
    QTEST(row.data(LinkerDeviceModel::ActiveProfilePositionRole).toInt(), "position");
    if (profiles > 0) {
        // The device follows, and the profile's name becomes the row name.
        auto* live = GamepadManager::instance()->gamepadForSlot(0);
        QCOMPARE(live->activeProfileId(), row.data(LinkerDeviceModel::ActiveProfileIdRole).toString());
        QCOMPARE(row.data(LinkerDeviceModel::NameRole).toString(),
                 row.data(LinkerDeviceModel::ActiveProfileNameRole).toString());
    }
}

void tst_LinkerDeviceModel::setActiveProfile()
{
    writeProfile(QStringLiteral("Alpha"), QStringLiteral("Pad A"));
    const QString beta = writeProfile(QStringLiteral("Beta"), QStringLiteral("Pad A"));
    m_pads->plug(pad(0));
    makeModel();
    discover();
    QVERIFY(m_model->setActiveProfile(QStringLiteral("gp:0"), QStringLiteral(" %1 ").arg(beta.toUpper())));
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ActiveProfileIdRole).toString(), beta);

    QSignalSpy changes(m_model, &QAbstractItemModel::dataChanged);
    const QByteArray before = readRegistry()
                                  .value(QStringLiteral("devices"))
                                  .toObject()
                                  .value(QStringLiteral("gp:0"))
                                  .toObject()
                                  .value(QStringLiteral("kv"))
                                  .toObject()
                                  .value(QStringLiteral("activeProfileId"))
                                  .toString()
                                  .toUtf8();
    QVERIFY(!m_model->setActiveProfile(QStringLiteral("gp:0"), QUuid::createUuid().toString()));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ActiveProfileIdRole).toString(), beta);
    QCOMPARE(before, beta.toUtf8());
    QVERIFY(!m_model->setActiveProfile(QStringLiteral("gp:9"), beta));
    QVERIFY(m_model->setActiveProfile(QStringLiteral("gp:0"), QString()));
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ActiveProfileIdRole).toString(), beta);
}

void tst_LinkerDeviceModel::registryRoundTrip()
{
    QJsonObject gp3 = record(QStringLiteral("3"), QStringLiteral("Pad C"));
    gp3.insert(QStringLiteral("custom"), QStringLiteral("kept"));
    writeRegistry(QJsonObject{{QStringLiteral("gp:3"), gp3},
                              {QStringLiteral("gp:0"), record(QStringLiteral("0"), QStringLiteral("Pad D"))},
                              {QString(), record(QStringLiteral("9"), QStringLiteral("Nameless key"))}});
    makeModel();
    QCOMPARE(m_model->count(), 2);
    QCOMPARE(m_model->usnForRow(0), QStringLiteral("gp:0"));
    QCOMPARE(m_model->usnForRow(1), QStringLiteral("gp:3"));
    QCOMPARE(m_model->index(1, 0).data(LinkerDeviceModel::NameRole).toString(), QStringLiteral("Pad C"));
    QCOMPARE(m_model->interfaceForRow(1), nullptr);

    QVERIFY(m_model->deleteDevice(QStringLiteral("gp:0")));
    QVERIFY(!m_model->deleteDevice(QStringLiteral("gp:0")));
    const QJsonObject root = readRegistry();
    const QJsonObject devices = root.value(QStringLiteral("devices")).toObject();
    QCOMPARE(root.value(QStringLiteral("lastCount")).toInt(), 1);
    QCOMPARE(devices.keys(), QStringList{QStringLiteral("gp:3")});
    // Members the model does not know survive.
    QCOMPARE(devices.value(QStringLiteral("gp:3")).toObject().value(QStringLiteral("custom")).toString(),
             QStringLiteral("kept"));
}

void tst_LinkerDeviceModel::registryHoldsLiveIdentity()
{
    writeRegistry(
        QJsonObject{{QStringLiteral("gp:2"), record(QStringLiteral("7"), QStringLiteral("Stale name"))}});
    m_pads->plug(pad(2, QStringLiteral("Fresh name"), 0x1234, 0xabcd));
    makeModel();
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ConnectedRole).toBool(), true);
    QVERIFY(m_model->setData(m_model->index(0, 0), QStringLiteral("Gift"), LinkerDeviceModel::ProductRole));
    const QJsonObject gp2 =
        readRegistry().value(QStringLiteral("devices")).toObject().value(QStringLiteral("gp:2")).toObject();
    QCOMPARE(gp2.value(QStringLiteral("name")).toString(), QStringLiteral("Fresh name"));
    QCOMPARE(gp2.value(QStringLiteral("deviceId")).toString(), QStringLiteral("2"));
    QCOMPARE(gp2.value(QStringLiteral("vendorIdHex")).toString(), QStringLiteral("1234"));
    QCOMPARE(gp2.value(QStringLiteral("productIdHex")).toString(), QStringLiteral("abcd"));
    QCOMPARE(gp2.value(QStringLiteral("imagePath")).toString(),
             QStringLiteral(":/new/prefix1/ressources/menette_id_%1.png").arg(0xabcd));
    QCOMPARE(gp2.value(QStringLiteral("kv")).toObject().value(QStringLiteral("product")).toString(),
             QStringLiteral("Gift"));
}

void tst_LinkerDeviceModel::linkStateEventsPostedOnce()
{
    m_pads->plug(pad(4));
    makeModel();
    discover();
    m_events->clear();
    m_model->setSelected(QStringLiteral("gp:4"), true);
    auto* live = GamepadManager::instance()->gamepadForSlot(4);
    QVERIFY(live);
    live->connectDevice(QString()); // reports connected a second time
    live->sample();
    QCOMPARE(m_events->count(), 1);
    QCOMPARE(eventAt(*m_events, 0).title, QStringLiteral("Gamepad connected"));
    QCOMPARE(eventAt(*m_events, 0).message, QStringLiteral("Pad A (gp:4) is connected."));
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::LinkStateRole).toInt(), 2);

    m_pads->unplug(4);
    live->sample(); // the device notices before the manager does
    live->sample();
    QCOMPARE(m_events->count(), 2);
    QCOMPARE(eventAt(*m_events, 1).severity, 1);
    QCOMPARE(eventAt(*m_events, 1).title, QStringLiteral("Gamepad connection lost"));
    QCOMPARE(eventAt(*m_events, 1).message, QStringLiteral("Pad A (gp:4) is no longer responding."));
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::LinkStateRole).toInt(), 0);
}

void tst_LinkerDeviceModel::contextSwitchLoadsAnotherRegistry()
{
    writeRegistry(
        QJsonObject{{QStringLiteral("gp:1"), record(QStringLiteral("1"), QStringLiteral("Pad E"))}});
    makeModel();
    QCOMPARE(m_model->count(), 1);
    QSignalSpy previous(m_model, &LinkerDeviceModel::previousCountChanged);
    m_model->setContext(QStringLiteral("elsewhere"));
    QCOMPARE(m_model->count(), 0);
    QCOMPARE(m_model->previousCount(), 0);
    QVERIFY(previous.count() >= 1);
    m_model->setContext(kContext);
    QCOMPARE(m_model->count(), 1);
    QCOMPARE(m_model->previousCount(), 1); // rewritten by the first reconciliation
}

void tst_LinkerDeviceModel::writableRoles()
{
    m_pads->plug(pad(0));
    makeModel();
    discover();
    const QModelIndex row = m_model->index(0, 0);
    QCOMPARE(m_model->flags(row), Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
    QCOMPARE(m_model->flags(QModelIndex()), Qt::NoItemFlags);
    QCOMPARE(row.data(Qt::SizeHintRole).toSize(), QSize(300, 240));

    QVERIFY(m_model->setData(row, QStringLiteral("Left hand"), LinkerDeviceModel::NameRole));
    QCOMPARE(row.data(Qt::DisplayRole).toString(), QStringLiteral("Left hand"));
    QVERIFY(m_model->setData(row, QString(), LinkerDeviceModel::NameRole));
    QCOMPARE(row.data(LinkerDeviceModel::NameRole).toString(), QStringLiteral("Pad A"));

    // A picture path goes to the stored values only; the shown picture stays the pad's.
    QVERIFY(m_model->setData(row, QStringLiteral("/tmp/pad.png"), LinkerDeviceModel::ImageRole));
    QCOMPARE(row.data(LinkerDeviceModel::ImageRole).toString(),
             QStringLiteral(":/new/prefix1/ressources/menette_id_%1.png").arg(0x2fd));
    QVERIFY(row.data(LinkerDeviceModel::JsonRole).toByteArray().contains("\"imagePath\":\"/tmp/pad.png\""));
    QPixmap red(4, 4);
    red.fill(Qt::red);
    QVERIFY(m_model->setData(row, QIcon(red), LinkerDeviceModel::ImageRole));
    QCOMPARE(row.data(LinkerDeviceModel::ImageRole).userType(), int(QMetaType::QIcon));
    QVERIFY(!row.data(LinkerDeviceModel::JsonRole).toByteArray().contains("/tmp/pad.png"));
    QVERIFY(m_model->setData(row, red, LinkerDeviceModel::ImageRole));
    QVERIFY(!row.data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!m_model->setData(row, 42, LinkerDeviceModel::ImageRole));
    QVERIFY(!m_model->setData(row, true, LinkerDeviceModel::ConnectedRole));
    QVERIFY(!m_model->setData(QModelIndex(), true, LinkerDeviceModel::SelectedRole));
    QVERIFY(!m_model->data(m_model->index(0, 0), Qt::UserRole + 100).isValid());
    QCOMPARE(m_model->usnForRow(7), QString());
    QCOMPARE(m_model->interfaceForRow(-1), nullptr);
}

void tst_LinkerDeviceModel::catalogRefreshFindsNewProfiles()
{
    m_pads->plug(pad(0));
    makeModel();
    discover();
    m_model->setSelected(QStringLiteral("gp:0"), true);
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ProfileCountRole).toInt(), 0);
    const QString id = writeProfile(QStringLiteral("Fresh"), QStringLiteral("Pad A"));
    auto* live = GamepadManager::instance()->gamepadForSlot(0);
    QSignalSpy mapping(live, &IComInterface::noCodeAppChanged);
    m_model->refreshProfilesCatalog();
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::ProfileCountRole).toInt(), 1);
    QCOMPARE(m_model->index(0, 0).data(LinkerDeviceModel::NameRole).toString(), QStringLiteral("Fresh"));
    QCOMPARE(live->activeProfileId(), id);
    QCOMPARE(mapping.count(), 1); // the selected pad re-announced its mapping file
    const QJsonObject kv = readRegistry()
                               .value(QStringLiteral("devices"))
                               .toObject()
                               .value(QStringLiteral("gp:0"))
                               .toObject()
                               .value(QStringLiteral("kv"))
                               .toObject();
    QCOMPARE(kv.value(QStringLiteral("activeProfileId")).toString(), id);
}

void tst_LinkerDeviceModel::autoDetectStartsAndStopsPolling()
{
    makeModel();
    QSignalSpy changed(m_model, &LinkerDeviceModel::autoDetectChanged);
    m_model->setAutoDetect(true);
    QCOMPARE(changed.count(), 0);
    m_model->setAutoDetect(false);
    QVERIFY(!GamepadManager::instance()->isPolling());
    m_pads->plug(pad(6));
    m_model->setAutoDetect(true);
    QVERIFY(GamepadManager::instance()->isPolling());
    QCOMPARE(GamepadManager::instance()->pollIntervalMs(), 100);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(m_model->indexOfUsn(QStringLiteral("gp:6")), 0); // discovered on restart
    GamepadManager::instance()->stopPolling();
}

QTEST_MAIN(tst_LinkerDeviceModel)
#include "tst_linkerdevicemodel.moc"
