// The host tears its side down in any order: the model, the delegate, the configuration window and
// the provider are deleted one after the other, in each of the 24 orders, while two pads are plugged
// in, one of them selected and sampling, and the host's list view still shows the cards.
#include "gamepadmanager.h"
#include "joyrelayprovider.h"
#include "linkerdevicemodel.h"
#include "testsupport.h"

#include <QAbstractItemDelegate>
#include <QListView>
#include <QMainWindow>
#include <QPointer>

#include <algorithm>
#include <array>

class tst_HostTeardown : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { delete GamepadManager::existingInstance(); }
    void anyDeletionOrderKeepsTheHostAlive_data();
    void anyDeletionOrderKeepsTheHostAlive();

private:
    void exercise(QListView* view, int step);

    TestSupport::DataRoot m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
};

void tst_HostTeardown::initTestCase()
{
    m_pads = TestSupport::virtualPads(
        {TestSupport::pad(0, QStringLiteral("Pad 0")), TestSupport::pad(1, QStringLiteral("Pad 1"))});
    GamepadManager::instance()->stopPolling(); // the test runs discovery and sampling itself
}

void tst_HostTeardown::anyDeletionOrderKeepsTheHostAlive_data()
{
    QTest::addColumn<QList<int>>("order"); // 0 model, 1 delegate, 2 configuration window, 3 provider
    std::array<int, 4> order{0, 1, 2, 3};
    const char* names[] = {"model", "delegate", "window", "provider"};
    do {
        QTest::addRow("%s, %s, %s, %s", names[order[0]], names[order[1]], names[order[2]], names[order[3]])
            << QList<int>(order.begin(), order.end());
    } while (std::next_permutation(order.begin(), order.end()));
}

// What keeps running while the host deletes things: sampling, a pad pulled out and put back, the
// list view painting its cards, the host asking the provider for its selection.
void tst_HostTeardown::exercise(QListView* view, int step)
{
    GamepadManager* manager = GamepadManager::instance();
    for (ControlManette* device : manager->liveGamepads()) {
        m_pads->setAxis(device->deviceId(), 0, float(step * 25 % 200 - 100));
        m_pads->press(device->deviceId(), step % 12);
        m_pads->advanceClock(10);
        device->sample();
    }
    if (step % 2 == 0)
        m_pads->unplug(1);
    else
        m_pads->plug(TestSupport::pad(1, QStringLiteral("Pad 1")));
    QMetaObject::invokeMethod(manager, "discoverDevices", Qt::DirectConnection);
    view->viewport()->repaint();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_HostTeardown::anyDeletionOrderKeepsTheHostAlive()
{
    QFETCH(QList<int>, order);
    auto* host = new QWidget;
    auto* view = new QListView(host);
    view->setViewMode(QListView::IconMode);
    view->setGridSize(QSize(300, 240));
    host->resize(900, 600);
    auto* provider = new JoyrelayProvider;
    const QPointer<QObject> objects[4] = {provider->model(QStringLiteral("ctx"), host),
                                          provider->delegate(host), provider->configurationWindow(host),
                                          provider};
    auto* model = qobject_cast<QAbstractItemModel*>(objects[0].data());
    view->setModel(model);
    view->setItemDelegate(qobject_cast<QAbstractItemDelegate*>(objects[1].data()));
    host->show();
    QCoreApplication::processEvents();
    QVERIFY(model->rowCount() >= 2);
    QVERIFY(model->setData(model->index(0, 0), true, LinkerDeviceModel::SelectedRole)); // engaged, sampling
    QList<IComInterface*> selected;
    QJsonArray infos;
    provider->selectedInterfaces(selected, infos);
    QCOMPARE(selected.size(), 1);

    int step = 0;
    exercise(view, step++);
    for (int which : order) {
        delete objects[which].data();
        exercise(view, step++);
        if (objects[3]) {
            QJsonArray again;
            qobject_cast<JoyrelayProvider*>(objects[3].data())->selectedInterfaces(selected, again);
        }
    }
    delete host;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The pads are still there for the next order.
    QVERIFY(GamepadManager::instance()->liveGamepads().size() >= 1);
}

QTEST_MAIN(tst_HostTeardown)
#include "tst_hostteardown.moc"
