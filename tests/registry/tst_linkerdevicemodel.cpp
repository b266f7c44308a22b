// The device list model over the virtual backend: rows of live and remembered pads, selection,
// the profile carousel, the registry file (and its writer) and the provider events. Discovery is
// run by hand.
#include "controlmanette.h"
#include "gamepadmanager.h"
#include "linkerdevicemodel.h"
#include "registryfile.h"
#include "support/testsupport.h"

#include <QAbstractItemModelTester>
#include <QIcon>
#include <QPixmap>

using namespace TestSupport;
using Model = LinkerDeviceModel;

namespace {

const QString kContext = QStringLiteral("deck");

// Eight axes and 32 buttons.
VirtualJoystickBackend::Pad padA(int slot, const QString& name = "Pad A")
{
    return pad(slot, name, 0x45e, 0x2fd);
}

// A shared definition offered as a profile to the pads named deviceName.
QString writeProfile(const QString& name, const QString& deviceName = "Pad A")
{
    return writeDefinition(ProfileStore::sharedProfilesRoot(),
                           {{"name", name}, {"deviceNames", QJsonArray{deviceName}}})
        .id;
}

QJsonObject registry()
{
    return RegistryFile::read(RegistryFile::path(kContext)).object();
}

void writeRegistry(const QJsonObject& devices)
{
    RegistryFile::write(RegistryFile::path(kContext), {{"devices", devices}, {"lastCount", 5}});
}

QJsonObject record(const QString& deviceId, const QString& name, const QJsonObject& kv = {})
{
    return {{"deviceId", deviceId}, {"vendorIdHex", "45e"}, {"productIdHex", "2fd"},
            {"name", name},         {"imagePath", ""},      {"kv", kv}};
}

} // namespace

class tst_LinkerDeviceModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { registerInputMetaTypes(); }
    void init()
    {
        m_data = std::make_unique<DataRoot>();
        m_pads = virtualPads();
    }

    void cleanup()
    {
        m_events.reset();
        m_tester.reset();
        m_model.reset();
        delete GamepadManager::existingInstance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        JoystickBackends::install(nullptr);
        m_data.reset();
    }

    void reconnectUnderAnotherSlotKeepsTheRow()
    {
        writeProfile("Alpha");
        const QString second = writeProfile("Beta");
        makeModel({padA(5, "Other"), padA(0)});
        const int r = m_model->indexOfUsn("gp:0");
        QVERIFY(m_model->setData(m_model->index(r, 0), "My pad", Model::NameRole));
        m_model->setSelected("gp:0", true);
        // The id is matched ignoring case and blanks; an unknown id or usn is refused, none keeps it.
        QVERIFY(m_model->setActiveProfile("gp:0", QStringLiteral(" %1 ").arg(second.toUpper())));
        QSignalSpy changes(m_model.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(!m_model->setActiveProfile("gp:0", QUuid::createUuid().toString()));
        QCOMPARE(changes.count(), 0);
        QVERIFY(!m_model->setActiveProfile("gp:9", second));
        QVERIFY(m_model->setActiveProfile("gp:0", QString()));
        QCOMPARE(jsonAt(registry(), "devices/gp:0/kv/activeProfileId").toString(), second);
        m_pads->unplug(0);
        discover();
        QCOMPARE(rows().at(r), "gp:0 'My pad' absent selected");

        QSignalSpy selection(m_model.get(), &Model::selectedInterfacesChanged);
        m_pads->plug(padA(3));
        discover();
        QCOMPARE(rows().at(r), "gp:3 'My pad' connected selected");
        QCOMPARE(role(r, Model::ActiveProfileIdRole).toString(), second);

        // The host now gets the live pad of slot 3, already told its profile and engaged.
        auto* live = GamepadManager::instance()->gamepadForSlot(3);
        QCOMPARE(selection.last().at(0).value<QList<IComInterface*>>(), QList<IComInterface*>{live});
        QVERIFY(live->activeProfileId() == second && live->status() == IComInterface::connected);
        QCOMPARE(jsonAt(registry(), "devices").toObject().keys(), (QStringList{"gp:3", "gp:5"}));
    }

    // A pad plugged in after the model loaded the registry: a first one, or one the registry holds.
    void plugIn_data()
    {
        QTest::addColumn<QJsonObject>("devices"); // the registry before the model loads it; none if empty
        QTest::addColumn<int>("slot");            // where a pad "Pad A" turns up
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("a first pad adds a row")
            << QJsonObject() << 2 << "Pad A" << QStringList{"gp:2 'Pad A' connected"}
            << QStringList{"0 Gamepad detected: Pad A (gp:2) is now available."};
        QTest::newRow("of two twins by name, vendor and product the first is matched, ignoring case")
            << QJsonObject{{"gp:5", record("5", "Pad A")}, {"gp:6", record("6", "Pad A")}} << 1 << "  PAD a "
            << QStringList{"gp:1 '  PAD a ' connected", "gp:6 'Pad A' absent"} << QStringList();
        QTest::newRow("a pad under a known usn takes that entry over; the fingerprint twin stays")
            << QJsonObject{{"gp:0",
                            record("0", "Old pad", {{"nameOverride", "Desk stick"}, {"selected", true}})},
                           {"gp:4", record("4", "Pad A")}}
            << 0 << "Pad A" << QStringList{"gp:0 'Desk stick' connected selected", "gp:4 'Pad A' absent"}
            << QStringList{"0 Gamepad connected: Pad A (gp:0) is connected."};
    }

    void plugIn()
    {
        QFETCH(QJsonObject, devices);
        QFETCH(int, slot);
        QFETCH(QString, name);
        if (!devices.isEmpty())
            writeRegistry(devices);
        makeModel();
        QCOMPARE(m_model->previousCount(), devices.isEmpty() ? 0 : 5);
        m_pads->plug(padA(slot, name));
        discover();
        QTEST(rows(), "rows");
        QTEST(events(), "events");
        QVERIFY(m_events->isEmpty() || m_events->at(0).at(0).value<ComProviderEvent>().source == "Gamepad");
        const int r = m_model->indexOfUsn(QStringLiteral("gp:%1").arg(slot));
        QCOMPARE(
            (QVariantList{role(r, Model::IpRole), role(r, Model::ModelRole),
                          role(r, Model::VideoInterfacesRole)}),
            (QVariantList{"VID:45e PID:2fd", "45e-2fd", QStringList{"Axes|axis://8", "Buttons|btn://32"}}));
        // The registry holds the rows, and their count for the next run.
        QStringList usns = rows().replaceInStrings(QRegularExpression(" .*"), QString());
        usns.sort();
        QCOMPARE(jsonAt(registry(), "devices").toObject().keys(), usns);
        QCOMPARE(registry().value("lastCount").toInt(), usns.size());
    }

    void unplugging_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("event");
        QTest::newRow("an unselected pad is removed") << false << "0 Gamepad removed";
        QTest::newRow("a selected pad is disconnected") << true << "1 Selected gamepad disconnected";
    }

    void unplugging()
    {
        QFETCH(bool, selected);
        QFETCH(QString, event);
        makeModel({padA(1)});
        m_model->setSelected("gp:1", selected);
        m_events->clear();
        QSignalSpy selection(m_model.get(), &Model::selectedInterfacesChanged);

        m_pads->unplug(1);
        discover();
        QCOMPARE(rows(), QStringList{"gp:1 'Pad A' absent" + QString(selected ? " selected" : "")});
        QCOMPARE(role(0, Model::LinkStateRole).toInt(), 0);
        // The engaged pad may notice first and post its own event.
        QCOMPARE(events().filter(QRegularExpression("removed|disconnected")),
                 QStringList{event + ": Pad A (gp:1) is no longer available."});

        // A selected pad is replaced by a stand-alone interface owned by the model.
        IComInterface* iface = m_model->interfaceForRow(0);
        QCOMPARE(selection.last().at(0).value<QList<IComInterface*>>(),
                 selected ? QList<IComInterface*>{iface} : QList<IComInterface*>());
        QVERIFY(selected ? iface->parent() == m_model.get() && iface->status() == IComInterface::noCom
                         : !iface);
    }

    void selection_data()
    {
        QTest::addColumn<bool>("unique");
        QTest::newRow("unique selection keeps the last") << true;
        QTest::newRow("multiple selection keeps both") << false;
    }

    void selection()
    {
        QFETCH(bool, unique);
        makeModel({padA(0), pad(1, "Pad B", 0x54c, 0x5c4)});
        m_model->setUniqSelection(unique);
        QSignalSpy selection(m_model.get(), &Model::selectedInterfacesChanged);
        m_model->setSelected("gp:0", true);
        m_model->setSelected("gp:1", true);
        QCOMPARE(rows(), (QStringList{unique ? "gp:0 'Pad A' connected" : "gp:0 'Pad A' connected selected",
                                      "gp:1 'Pad B' connected selected"}));
        QCOMPARE(role(0, Model::LinkStateRole).toInt() == 0, unique);
        QList<IComInterface*> collected;
        QJsonArray infos;
        m_model->collectSelected(collected, infos);
        QCOMPARE(collected.size(), unique ? 1 : 2);
        QCOMPARE(selection.last(), (QVariantList{QVariant::fromValue(collected), infos}));
        QCOMPARE(infos.last()["name"].toString(), "Pad B");
        QCOMPARE(jsonAt(registry(), "devices/gp:1/kv/selected"), QJsonValue(true));
    }

    void carousel_data()
    {
        QTest::addColumn<int>("profiles");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("result");
        QTest::newRow("back from the first of three wraps to the third") << 3 << -1 << 3 << true;
        QTest::newRow("four steps forward over three") << 3 << 4 << 2 << true;
        QTest::newRow("a single profile stays selected") << 1 << 1 << 1 << true;
        QTest::newRow("zero delta is refused") << 3 << 0 << 1 << false;
        QTest::newRow("no profile is refused") << 0 << 1 << 0 << false;
    }

    void carousel()
    {
        QFETCH(int, profiles);
        QFETCH(int, delta);
        for (int i = 0; i < profiles; ++i)
            writeProfile(QStringLiteral("Profile %1").arg(i));
        makeModel({padA(0)});
        QCOMPARE(role(0, Model::ProfileCountRole).toInt(), profiles);
        QCOMPARE(role(0, Model::HasProfileCarouselRole).toBool(), profiles > 1);
        QTEST(m_model->cycleProfile("gp:0", delta), "result");
        QTEST(role(0, Model::ActiveProfilePositionRole).toInt(), "position");
        if (profiles > 0) {
            // The device follows, and the profile's name becomes the row name.
            QCOMPARE(GamepadManager::instance()->gamepadForSlot(0)->activeProfileId(),
                     role(0, Model::ActiveProfileIdRole).toString());
            QCOMPARE(role(0, Model::NameRole), role(0, Model::ActiveProfileNameRole));
        }
    }

    // Unknown members and keys survive; a context switch reloads, from the file the first
    // reconciliation rewrote.
    void registryRoundTrip()
    {
        QJsonObject gp3 = record("3", "Pad C");
        gp3.insert("custom", "kept");
        writeRegistry({{"gp:3", gp3}, {"gp:0", record("0", "Pad D")}, {"", record("9", "Nameless key")}});
        makeModel();
        QCOMPARE(rows(), (QStringList{"gp:0 'Pad D' absent", "gp:3 'Pad C' absent"}));
        QCOMPARE(m_model->interfaceForRow(1), nullptr);
        QSignalSpy previous(m_model.get(), &Model::previousCountChanged);
        m_model->setContext("elsewhere");
        QVERIFY(m_model->count() + m_model->previousCount() == 0 && previous.count() >= 1);
        m_model->setContext(kContext);
        QVERIFY(m_model->count() == 2 && m_model->previousCount() == 2);

        QVERIFY(m_model->deleteDevice("gp:0"));
        QVERIFY(!m_model->deleteDevice("gp:0"));
        QCOMPARE(registry(), (QJsonObject{{"devices", QJsonObject{{"gp:3", gp3}}}, {"lastCount", 1}}));
    }

    void linkStateEventsPostedOnce()
    {
        makeModel({padA(4)});
        m_events->clear();
        m_model->setSelected("gp:4", true);
        auto* live = GamepadManager::instance()->gamepadForSlot(4);
        live->connectDevice(QString()); // reports connected a second time
        live->sample();
        QCOMPARE(role(0, Model::LinkStateRole).toInt(), 2);
        m_pads->unplug(4);
        live->sample(); // the device notices before the manager does
        live->sample();
        QCOMPARE(events(), (QStringList{"0 Gamepad connected: Pad A (gp:4) is connected.",
                                        "1 Gamepad connection lost: Pad A (gp:4) is no longer responding."}));
        QCOMPARE(role(0, Model::LinkStateRole).toInt(), 0);
    }

    // The registry takes the live pad's identity over a stale record, with the values written.
    void writableRoles()
    {
        writeRegistry({{"gp:0", record("7", "Stale name")}});
        makeModel({pad(0, "Fresh name", 0x1234, 0xabcd)});
        const QModelIndex row = m_model->index(0, 0);
        QCOMPARE(m_model->flags(row), Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
        QCOMPARE(row.data(Qt::SizeHintRole).toSize(), QSize(300, 240));
        QVERIFY(m_model->setData(row, "Left hand", Model::NameRole));
        QCOMPARE(row.data(Qt::DisplayRole).toString(), "Left hand");
        QVERIFY(m_model->setData(row, QString(), Model::NameRole)); // back to the pad's own name
        QCOMPARE(row.data(Model::NameRole).toString(), "Fresh name");
        QVERIFY(m_model->setData(row, "Gift", Model::ProductRole));
        QJsonObject expected = record("0", "Fresh name", {{"nameOverride", ""}, {"product", "Gift"}});
        expected["vendorIdHex"] = "1234";
        expected["productIdHex"] = "abcd";
        expected["imagePath"] = ":/new/prefix1/ressources/menette_id_43981.png";
        QCOMPARE(jsonAt(registry(), "devices/gp:0").toObject(), expected);

        // A picture path goes to the stored values only; the shown picture stays the pad's.
        QVERIFY(m_model->setData(row, "/tmp/pad.png", Model::ImageRole));
        QCOMPARE(row.data(Model::ImageRole).toString(), expected.value("imagePath").toString());
        QVERIFY(row.data(Model::JsonRole).toByteArray().contains("\"imagePath\":\"/tmp/pad.png\""));
        QPixmap red(4, 4);
        red.fill(Qt::red);
        QVERIFY(m_model->setData(row, QIcon(red), Model::ImageRole));
        QCOMPARE(row.data(Model::ImageRole).userType(), int(QMetaType::QIcon));
        QVERIFY(!row.data(Model::JsonRole).toByteArray().contains("/tmp/pad.png"));
        QVERIFY(m_model->setData(row, red, Model::ImageRole));
        QVERIFY(!m_model->setData(row, 42, Model::ImageRole) &&
                !m_model->setData(row, true, Model::ConnectedRole));
        QVERIFY(!m_model->setData(QModelIndex(), true, Model::SelectedRole));
        QVERIFY(m_model->usnForRow(7).isEmpty() && !m_model->interfaceForRow(-1));
    }

    void catalogRefreshFindsNewProfiles()
    {
        makeModel({padA(0)});
        m_model->setSelected("gp:0", true);
        const QString id = writeProfile("Fresh");
        auto* live = GamepadManager::instance()->gamepadForSlot(0);
        QSignalSpy mapping(live, &IComInterface::noCodeAppChanged);
        m_model->refreshProfilesCatalog();
        QCOMPARE(rows(), QStringList{"gp:0 'Fresh' connected selected"});
        // The selected pad took the profile and re-announced its mapping file (after its next step).
        QCOMPARE((QVariantList{role(0, Model::ProfileCountRole), live->activeProfileId(),
                               jsonAt(registry(), "devices/gp:0/kv/activeProfileId").toString()}),
                 (QVariantList{1, id, id}));
        QTRY_COMPARE(mapping.count(), 1);
    }

    // The file itself: its place per context, the compact write through ".tmp" and rename, and a
    // temporary file that cannot be opened (read-only folders and a full disk: the file fault tests).
    void registryFileWrites()
    {
        const QString path = RegistryFile::path("ctxB");
        QCOMPARE(path, m_data->path() + "/ctxB/TavonCom/gamepads.json");
        QVERIFY(QFileInfo(m_data->path() + "/ctxB/TavonCom").isDir());
        // An empty context stays below the application data folder.
        QCOMPARE(RegistryFile::path(QString()), m_data->path() + "//TavonCom/gamepads.json");
        QVERIFY(RegistryFile::write(path, {{"lastCount", 1}}));
        QVERIFY(RegistryFile::write(path, {{"lastCount", 2}}));
        QCOMPARE(readFile(path), "{\"lastCount\":2}");
        QVERIFY(!QFile::exists(path + ".tmp"));
        // A folder where the temporary file should be: the write fails and keeps the old file.
        QVERIFY(QDir().mkpath(path + ".tmp"));
        QVERIFY(!RegistryFile::write(path, {{"lastCount", 8}}));
        QCOMPARE(RegistryFile::read(path).object().value("lastCount").toInt(), 2);
        QVERIFY(!RegistryFile::read(path + ".missing").isObject());
        for (const QByteArray& broken :
             {QByteArray("{\"devices\": {},}"), QByteArray("[1, 2]"), QByteArray()}) {
            QVERIFY(writeFile(path, broken));
            QVERIFY(!RegistryFile::read(path).isObject());
        }
    }

    // The switch reaches the manager (whose polling rules its own test checks); a restart discovers.
    void autoDetectSwitch()
    {
        makeModel();
        QSignalSpy changed(m_model.get(), &Model::autoDetectChanged);
        m_model->setAutoDetect(true); // already on
        m_model->setAutoDetect(false);
        m_pads->plug(padA(6));
        m_model->setAutoDetect(true);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(m_model->indexOfUsn("gp:6"), 0);
        GamepadManager::instance()->stopPolling();
    }

private:
    void makeModel(const QList<VirtualJoystickBackend::Pad>& pads = {})
    {
        for (const auto& p : pads)
            m_pads->plug(p);
        m_model = std::make_unique<Model>(kContext);
        GamepadManager::instance()->stopPolling(); // discovery is driven by the test
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_events = std::make_unique<QSignalSpy>(m_model.get(), &Model::providerEventOccurred);
        QCoreApplication::processEvents(); // the model's first reconciliation
    }

    static void discover()
    {
        QMetaObject::invokeMethod(GamepadManager::instance(), "discoverDevices", Qt::DirectConnection);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QVariant role(int row, int role) const { return m_model->index(row, 0).data(role); }
    // "<usn> '<name>' connected|absent[ selected]" per row.
    QStringList rows() const
    {
        QStringList list;
        for (int r = 0; r < m_model->count(); ++r)
            list << QStringLiteral("%1 '%2' %3%4")
                        .arg(role(r, Model::UsnRole).toString(), role(r, Model::NameRole).toString(),
                             role(r, Model::ConnectedRole).toBool() ? "connected" : "absent",
                             role(r, Model::SelectedRole).toBool() ? " selected" : "");
        return list;
    }
    // "<severity> <title>: <message>" per provider event.
    QStringList events() const
    {
        QStringList list;
        for (const QList<QVariant>& args : *m_events) {
            const auto e = args.at(0).value<ComProviderEvent>();
            list << QStringLiteral("%1 %2: %3").arg(e.severity).arg(e.title, e.message);
        }
        return list;
    }

    std::unique_ptr<DataRoot> m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    std::unique_ptr<Model> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<QSignalSpy> m_events;
};

QTEST_MAIN(tst_LinkerDeviceModel)
#include "tst_linkerdevicemodel.moc"
