// 1,000 plug/unplug cycles of two pads that swap slots every time, discovery driven by hand on the
// virtual backend's manual clock, with the device list model live and one pad selected: no device
// object may leak, the registry file must agree with the pads after every cycle, and the heap must
// stop growing.
#include "faultfixtures.h"
#include "testsupport.h"

#include "gamepadmanager.h"
#include "linkerdevicemodel.h"
#include "registryfile.h"
#include "virtualjoystickbackend.h"

namespace {

const QString kContext = QStringLiteral("ctx");
const QString kNames[2] = {QStringLiteral("Pad A"), QStringLiteral("Pad B")};

VirtualJoystickBackend::Pad pad(int which, int slot)
{
    return TestSupport::pad(slot, kNames[which], 0x045e, which == 0 ? 0x028e : 0x02fd);
}

} // namespace

class tst_PlugCycles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { delete GamepadManager::existingInstance(); }
    void swappingPadsLeakNothingAndKeepTheRegistryConsistent();

private:
    void discover();
    QString registryProblem(const LinkerDeviceModel& model, int slotOfA) const;

    TestSupport::DataRoot m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    GamepadManager* m_manager = nullptr;
};

void tst_PlugCycles::initTestCase()
{
    m_pads = TestSupport::virtualPads();
    m_manager = GamepadManager::instance();
    m_manager->stopPolling(); // discovery runs when the test says so
}

// What the 250 ms single shot after a connection event would do.
void tst_PlugCycles::discover()
{
    QVERIFY(QMetaObject::invokeMethod(m_manager, "discoverDevices", Qt::DirectConnection));
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The file against the model and the pads: one record per row, each plugged pad under its slot.
QString tst_PlugCycles::registryProblem(const LinkerDeviceModel& model, int slotOfA) const
{
    const QJsonObject root = RegistryFile::read(model.registryPath()).object();
    const QJsonObject devices = root.value(QStringLiteral("devices")).toObject();
    if (devices.size() != model.count() || root.value(QStringLiteral("lastCount")).toInt() != model.count())
        return QStringLiteral("%1 records, lastCount %2, %3 rows")
            .arg(devices.size())
            .arg(root.value(QStringLiteral("lastCount")).toInt())
            .arg(model.count());
    if (model.count() > 2)
        return QStringLiteral("%1 rows for two pads").arg(model.count());
    for (int which = 0; which < 2 && slotOfA >= 0; ++which) {
        const QString usn = QStringLiteral("gp:%1").arg(which == 0 ? slotOfA : 1 - slotOfA);
        const QString name = devices.value(usn).toObject().value(QStringLiteral("name")).toString();
        if (name != kNames[which])
            return QStringLiteral("%1 holds \"%2\" instead of \"%3\"").arg(usn, name, kNames[which]);
    }
    return {};
}

void tst_PlugCycles::swappingPadsLeakNothingAndKeepTheRegistryConsistent()
{
    int created = 0;
    int destroyed = 0;
    connect(m_manager, &GamepadManager::gamepadAdded, this, [&](ControlManette* device) {
        ++created;
        connect(device, &QObject::destroyed, this, [&] { ++destroyed; });
    });
    LinkerDeviceModel model(kContext);
    QCoreApplication::processEvents();

    qint64 heapAfterWarmUp = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        const int slotOfA = cycle % 2;
        m_pads->plug(pad(0, slotOfA));
        m_pads->plug(pad(1, 1 - slotOfA));
        discover();
        QCOMPARE(m_manager->liveGamepads().size(), 2);
        if (cycle == 0)
            model.setSelected(QStringLiteral("gp:0"), true); // engaged now, a stand-in while unplugged
        // A few sampling steps while both are in.
        for (ControlManette* device : m_manager->liveGamepads()) {
            m_pads->setAxis(device->deviceId(), 0, float(cycle % 200 - 100));
            m_pads->advanceClock(10);
            device->sample();
        }
        const QString plugged = registryProblem(model, slotOfA);
        QVERIFY2(plugged.isEmpty(),
                 qPrintable(QStringLiteral("cycle %1, plugged: %2").arg(cycle).arg(plugged)));

        m_pads->unplug(0);
        m_pads->unplug(1);
        discover();
        QCOMPARE(m_manager->liveGamepads().size(), 0);
        QCOMPARE(created - destroyed, 0);
        QVERIFY(model.findChildren<ControlManette*>().size() <= 1);
        const QString unplugged = registryProblem(model, -1);
        QVERIFY2(unplugged.isEmpty(),
                 qPrintable(QStringLiteral("cycle %1, unplugged: %2").arg(cycle).arg(unplugged)));
        if (cycle == 99)
            heapAfterWarmUp = FaultFixtures::heapInUse();
    }
    QCOMPARE(created, 2000);
    const qint64 growth = FaultFixtures::heapInUse() - heapAfterWarmUp;
    qInfo("heap growth over the last 900 cycles: %lld bytes", growth);
    QVERIFY2(growth < 128 * 1024, qPrintable(QString::number(growth)));
}

QTEST_GUILESS_MAIN(tst_PlugCycles)
#include "tst_plugcycles.moc"
