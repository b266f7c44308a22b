#include "editorfixtures.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "joyrelayprovider.h"
#include "linkerdevicemodel.h"
#include "manetteconfigurationwidget.h"
#include "profilestore.h"
#include "registryfile.h"
#include "virtualjoystickbackend.h"

#include <QLayout>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>

using namespace EditorFixtures;

class tst_ConfigurationWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void formHoldsTheEditor();
    void servicesGivenBeforeAnyWindowReachTheWidget();
    void twoRequestsShareOneWindowAndWidget();
    void aClosedWindowIsMadeAgainWithTheLastServices();
    void aNewDefinitionRefreshesTheDeviceList();

private:
    RecordingDialogs m_dialogs;
    QObject* m_owner = nullptr;
};

namespace {
const QJsonObject kServices{{"sharedActionCatalog", QJsonArray{QJsonObject{{"name", "light.toggle"}}}}};
}

void tst_ConfigurationWindow::init()
{
    resetDataRoot();
    m_dialogs.shown.clear();
    m_dialogs.answers.clear();
    EditorDialogService::install(&m_dialogs);
    JoystickBackends::install(std::make_shared<VirtualJoystickBackend>());
    m_owner = new QObject;
}

void tst_ConfigurationWindow::cleanup()
{
    delete m_owner;
    EditorDialogService::install(nullptr);
    delete GamepadManager::existingInstance();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    JoystickBackends::install(nullptr);
}

void tst_ConfigurationWindow::formHoldsTheEditor()
{
    ManetteConfigurationWidget form;
    QCOMPARE(form.objectName(), QString("ManetteConfigurationWidget"));
    QCOMPARE(form.windowTitle(), QString("Gamepad"));
    QCOMPARE(form.size(), QSize(1023, 772));
    auto* editor = form.findChild<GamepadDefinder*>("ManageGamepade");
    QVERIFY(editor);
    QCOMPARE(editor->parentWidget()->objectName(), QString("tfxBackdrop"));
    QVERIFY(form.findChild<QLayout*>("gridLayoutContent"));
    const QMetaObject* meta = form.metaObject();
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 1);
    QCOMPARE(meta->method(meta->methodOffset()).methodSignature(), QByteArray("profilesCatalogChanged()"));
}

void tst_ConfigurationWindow::servicesGivenBeforeAnyWindowReachTheWidget()
{
    JoyrelayProvider provider;
    provider.setServices(kServices);
    QMainWindow* window = provider.configurationWindow(nullptr);
    auto* form = qobject_cast<ManetteConfigurationWidget*>(window->centralWidget());
    QVERIFY(form);
    QCOMPARE(form->services(), kServices);
    QCOMPARE(form->editor()->sharedCatalog(), kServices.value("sharedActionCatalog").toArray());

    // The host's servicesChanged hands the stored object down again.
    const QJsonObject other{{"sharedActionCatalog", QJsonArray{QJsonObject{{"name", "other"}}}}};
    provider.setServices(other);
    QCOMPARE(form->services(), other);
    emit provider.servicesChanged(QJsonObject());
    QCOMPARE(form->services(), other);
    delete window;
}

void tst_ConfigurationWindow::twoRequestsShareOneWindowAndWidget()
{
    JoyrelayProvider provider;
    QWidget parent;
    QMainWindow* window = provider.configurationWindow(&parent);
    QWidget* form = window->centralWidget();
    QCOMPARE(provider.configurationWindow(&parent), window);
    QCOMPARE(window->centralWidget(), form);
    QCOMPARE(window->findChildren<ManetteConfigurationWidget*>().size(), 1);
    QCOMPARE(window->parentWidget(), &parent);
}

void tst_ConfigurationWindow::aClosedWindowIsMadeAgainWithTheLastServices()
{
    JoyrelayProvider provider;
    provider.setServices(kServices);
    QPointer<QMainWindow> window = provider.configurationWindow(nullptr);
    QPointer<QWidget> form = window->centralWidget();
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QVERIFY(window->close());
    QTRY_VERIFY(!window);
    QVERIFY(!form);
    QMainWindow* again = provider.configurationWindow(nullptr);
    QCOMPARE(again->windowTitle(), QString("Gamepad"));
    auto* newForm = qobject_cast<ManetteConfigurationWidget*>(again->centralWidget());
    QVERIFY(newForm);
    QCOMPARE(newForm->services(), kServices);
    delete again;
}

void tst_ConfigurationWindow::aNewDefinitionRefreshesTheDeviceList()
{
    // A remembered pad gives the model a row whose profiles a refresh reloads.
    RegistryFile::write(
        RegistryFile::path("ctx"),
        QJsonObject{{"devices", QJsonObject{{"gp:0", QJsonObject{{"deviceId", "0"}, {"name", "Pad"}}}}}});
    JoyrelayProvider provider;
    auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", m_owner));
    QCOMPARE(model->rowCount(), 1);
    QMainWindow* window = provider.configurationWindow(nullptr);
    provider.configurationWindow(nullptr); // the wiring runs again without doubling
    auto* editor = window->findChild<GamepadDefinder*>("ManageGamepade");
    QSignalSpy refreshed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy catalog(qobject_cast<ManetteConfigurationWidget*>(window->centralWidget()),
                       &ManetteConfigurationWidget::profilesCatalogChanged);
    m_dialogs.answers = {QString("Fresh"), writePicture(QDir(ProfileStore::dataRoot()).filePath("p.png"))};
    QMetaObject::invokeMethod(editor, "actionNew");
    QCOMPARE(catalog.count(), 1);
    QCOMPARE(refreshed.count(), 1);
    QCOMPARE(editor->library().count(), 1);
    QCOMPARE(editor->currentRow(), 0);
    delete window;
}

QTEST_MAIN(tst_ConfigurationWindow)
#include "tst_configurationwindow.moc"
