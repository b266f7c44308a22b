#include "actionlinker.h"
#include "gamepadmanager.h"
#include "input/inputfixtures.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "virtualjoystickbackend.h"

#include <QFrame>
#include <QGridLayout>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using InputFixtures::LogRecorder;

class tst_ActionLinker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void registeredTypeBuildsTheNamedTree();
    void actionListFromServices();
    void panelFollowsLinkedControllers();
    void inputBindsTheArmedAction_data();
    void inputBindsTheArmedAction();
    void liveButtonReachesThePanel();
    void saveRewritesTheMappingFile();
    void saveKeepsExtraDestinations();
    void mappingFileProblemsAreLogged();

private:
    void load(const QStringList& names = {QStringLiteral("Linked Pad")});
    void clickAction(const QString& name);
    QString mappingPath() const { return QDir(m_folder).filePath("configActionGamepad.json"); }
    ControlManette* device() const { return GamepadManager::instance()->gamepadForSlot(0); }

    std::shared_ptr<VirtualJoystickBackend> m_pads;
    std::unique_ptr<ActionLinker> m_linker;
    QString m_folder;
    QUuid m_id;
    QJsonObject m_overlay;
    QJsonArray m_extraDst;
};

void tst_ActionLinker::initTestCase()
{
    m_pads = std::make_shared<VirtualJoystickBackend>();
    JoystickBackends::install(m_pads);
    VirtualJoystickBackend::Pad pad;
    pad.name = QStringLiteral("Linked Pad");
    m_pads->plug(pad);
    QCOMPARE(GamepadManager::instance()->liveGamepads().size(), 1);

    // Pastilles: a button on but_2, a stick on joy_0 and a button on gate_1.
    auto node = [](const char* kind, const char* key) {
        return QJsonObject{{"kind", kind},
                           {"title", key},
                           {"sources", QJsonObject{{"main", QJsonObject{{"stringKey", key}}}}}};
    };
    m_overlay = {
        {"type", "InteractiveOverlay"},
        {"version", 4},
        {"nodes", QJsonArray{node("button", "but_2"), node("singleJoy", "joy_0"), node("button", "gate_1")}}};
    m_extraDst = {QJsonObject{{"action", "second.action"}}, QJsonObject{{"action", "third.action"}}};
}

void tst_ActionLinker::init()
{
    InputFixtures::resetDataRoot();
    m_id = QUuid::createUuid();
    m_folder = QDir(ProfileStore::userProfilesRoot()).filePath(m_id.toString(QUuid::WithoutBraces));
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(JsonIo::writeJsonAtomically(QDir(m_folder).filePath("meta.json"),
                                        {{"type", "GamepadDefinderMeta"}, {"id", m_id.toString()}}));
    // but_2 drives three destinations.
    QJsonArray dst{QJsonObject{{"ref", "first.action"}}};
    for (const QJsonValue& extra : std::as_const(m_extraDst))
        dst.append(extra);
    const QJsonObject bridge{{"src", QJsonObject{{"stringKey", "but_2"}, {"deviceType", "gamepade"}}},
                             {"dst", dst}};
    QVERIFY(JsonIo::writeJsonAtomically(mappingPath(),
                                        {{"signals", QJsonArray{"kept"}}, {"bridges", QJsonArray{bridge}}}));
    m_linker = std::make_unique<ActionLinker>();
    m_linker->setExternalServices({QJsonObject{{"name", "camera.pan"}, {"label", "Pan"}, {"group", "Caméra"}},
                                   QJsonObject{{"name", "secret"}, {"hidden", true}},
                                   QJsonObject{{"label", "no name"}},
                                   QJsonObject{{"name", "photo.capture"}}});
    m_linker->resize(900, 500);
    m_linker->show();
}

void tst_ActionLinker::cleanup()
{
    m_linker.reset();
}

void tst_ActionLinker::load(const QStringList& names)
{
    m_linker->loadGamepadSnapshot(m_id, "Pad", names, m_overlay, QString());
}

void tst_ActionLinker::clickAction(const QString& name)
{
    auto* list = m_linker->findChild<QListWidget*>("mappingActionsList");
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == name) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(i)).center());
            return;
        }
    }
    QFAIL("no such action");
}

void tst_ActionLinker::registeredTypeBuildsTheNamedTree()
{
    const QMetaType type(registerActionLinkerType());
    QCOMPARE(QMetaType::fromName("ActionLinker"), type);
    std::unique_ptr<QWidget> panel(static_cast<QWidget*>(type.create()));
    QVERIFY(panel && !panel->parent());
    QCOMPARE(panel->metaObject()->className(), "ActionLinker");
    QCOMPARE(panel->windowTitle(), QStringLiteral("Form"));
    QVERIFY(panel->findChild<QGridLayout*>("gridLayout"));
    auto* overlay = panel->findChild<InteractiveOverlay*>("iteractiveoverlay");
    QVERIFY(overlay);
    QCOMPARE(overlay->mode(), InteractiveOverlay::Mapping);
    QCOMPARE(overlay->backgroundScaleMode(), OverlayLines::Contain);
    QVERIFY(overlay->servicesLocked());
    auto* side = panel->findChild<QFrame*>("mappingActionsPanel");
    QVERIFY(side->styleSheet().startsWith(
        "#mappingActionsPanel {  background: rgba(15, 26, 36, 210);  border: none;  border-radius: 8px;}"
        "#mappingActionsTitle {  font-weight: 600;  color: #E8F0F5;}"));
    QCOMPARE(panel->findChild<QLabel*>("mappingActionsTitle")->text(), QStringLiteral("Actions disponibles"));
    QCOMPARE(panel->findChild<QLabel*>("mappingActionsHint")->text(),
             QStringLiteral("Cliquez une action puis appuyez sur un bouton."));
    QCOMPARE(panel->findChild<QListWidget*>("mappingActionsList")->item(0)->text(),
             QStringLiteral("Aucune action"));
}

void tst_ActionLinker::actionListFromServices()
{
    auto* list = m_linker->findChild<QListWidget*>("mappingActionsList");
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    QCOMPARE(texts, QStringList({"Caméra", "  Pan", "Sans groupe", "  photo.capture"}));
    QVERIFY(!(list->item(0)->flags() & Qt::ItemIsSelectable));
    QCOMPARE(list->item(0)->foreground().color(), QColor(143, 167, 182));
    QCOMPARE(list->item(1)->data(Qt::UserRole).toString(), QStringLiteral("camera.pan"));
    QCOMPARE(list->item(1)->toolTip(), QStringLiteral("ID: camera.pan"));
    // The overlay gets the services too.
    QCOMPARE(m_linker->overlay()->externalServices(), m_linker->externalServices());
}

void tst_ActionLinker::panelFollowsLinkedControllers()
{
    auto* side = m_linker->findChild<QFrame*>("mappingActionsPanel");
    load({"Other Pad"});
    QVERIFY(side->isHidden());
    QVERIFY(!m_linker->wiredDevice());

    m_linker->onDeviceSelectionChanged({"linked pad"});
    QVERIFY(!side->isHidden());
    QCOMPARE(m_linker->wiredDevice(), device());
    clickAction("camera.pan");
    QCOMPARE(m_linker->armedAction(), QStringLiteral("camera.pan"));
    QCOMPARE(m_linker->findChild<QLabel*>("mappingActionsHint")->text(),
             QStringLiteral("Appuyez sur un bouton pour mapper \"camera.pan\"."));

    // Pulled out: hidden and disarmed; plugged in again: wired to the new device object.
    m_pads->unplug(0);
    QVERIFY(QMetaObject::invokeMethod(GamepadManager::instance(), "discoverDevices"));
    QVERIFY(side->isHidden());
    QVERIFY(m_linker->armedAction().isEmpty());
    QVERIFY(!m_linker->wiredDevice());
    VirtualJoystickBackend::Pad pad;
    pad.name = QStringLiteral("Linked Pad");
    m_pads->plug(pad);
    QVERIFY(QMetaObject::invokeMethod(GamepadManager::instance(), "discoverDevices"));
    QVERIFY(!side->isHidden());
    QCOMPARE(m_linker->wiredDevice(), device());
}

void tst_ActionLinker::inputBindsTheArmedAction_data()
{
    QTest::addColumn<bool>("armed");
    QTest::addColumn<QString>("input"); // "axis", "button", "release" or "gate"
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("boundNode"); // -1: nothing bound, still armed
    QTest::newRow("a press with nothing armed changes nothing") << false << "button" << 2.0 << -1;
    QTest::newRow("an axis at 39 does not bind") << true << "axis" << 39.0 << -1;
    QTest::newRow("an axis at 40 binds") << true << "axis" << 40.0 << 1;
    QTest::newRow("an axis at -40 binds") << true << "axis" << -40.0 << 1;
    QTest::newRow("a release does not bind") << true << "release" << 2.0 << -1;
    QTest::newRow("a press binds") << true << "button" << 2.0 << 0;
    QTest::newRow("a gate binds") << true << "gate" << 0.0 << 2;
}

void tst_ActionLinker::inputBindsTheArmedAction()
{
    QFETCH(bool, armed);
    QFETCH(QString, input);
    QFETCH(double, value);
    QFETCH(int, boundNode);
    load();
    if (armed)
        clickAction("photo.capture");
    if (input == "axis")
        m_linker->onInputAxisChanged(0, value);
    else if (input == "gate")
        m_linker->onInputGateChanged("gate_1", true);
    else
        m_linker->onInputButtonChanged(int(value), input == "button");

    for (int i = 0; i < 3; ++i) {
        const QString action = m_linker->overlay()->nodeBinding(i, "main").value("ref").toString();
        QCOMPARE(action == "photo.capture", i == boundNode);
    }
    QCOMPARE(m_linker->armedAction().isEmpty(), boundNode >= 0 || !armed);
}

void tst_ActionLinker::liveButtonReachesThePanel()
{
    load();
    clickAction("camera.pan"); // clicking the armed entry again disarms
    clickAction("camera.pan");
    QVERIFY(m_linker->armedAction().isEmpty());
    clickAction("camera.pan");
    device()->connectDevice(QString());
    m_pads->press(0, 2);
    device()->sample();
    QCOMPARE(m_linker->overlay()->nodeBinding(0, "main").value("ref").toString(),
             QStringLiteral("camera.pan"));
    m_pads->release(0, 2);
    device()->sample();
}

void tst_ActionLinker::saveRewritesTheMappingFile()
{
    load();
    QSignalSpy announced(device(), &IComInterface::noCodeAppChanged);
    clickAction("camera.pan");
    m_linker->onInputAxisChanged(0, 80.0);
    QTRY_VERIFY_WITH_TIMEOUT(announced.count() > 0, 5000);

    const QJsonObject file = JsonIo::readJsonObject(mappingPath());
    QCOMPARE(file.value("signals").toArray(), QJsonArray{"kept"});
    QCOMPARE(file.value("ref").toArray(), QJsonArray());
    const QJsonArray bridges = file.value("bridges").toArray();
    QCOMPARE(bridges.size(), 2);
    QCOMPARE(bridges.at(0).toObject().value("action").toString(), QStringLiteral("first.action"));
    QCOMPARE(bridges.at(1).toObject().value("action").toString(), QStringLiteral("camera.pan"));

    // A change still pending when another profile is shown is written first.
    clickAction("photo.capture");
    m_linker->onInputButtonChanged(2, true);
    m_linker->loadGamepadSnapshot(QUuid(), QString(), {}, QJsonObject(), QString());
    const QJsonArray flushed = JsonIo::readJsonObject(mappingPath()).value("bridges").toArray();
    QCOMPARE(flushed.at(0).toObject().value("action").toString(), QStringLiteral("photo.capture"));
    QCOMPARE(m_linker->overlay()->nodeCount(), 0);
}

void tst_ActionLinker::saveKeepsExtraDestinations()
{
    // A bridge that names its action through "dst" keeps the old bridge's second and third entries.
    const QJsonArray bridges{
        QJsonObject{{"src", QJsonObject{{"stringKey", "BUT_2"}}},
                    {"dst", QJsonArray{QJsonObject{{"action", QJsonObject{{"op", 1}}}}}}}};
    QVERIFY(ActionLinker::saveProfileMapping(m_id, bridges));
    const QJsonArray dst = JsonIo::readJsonObject(mappingPath())
                               .value("bridges")
                               .toArray()
                               .at(0)
                               .toObject()
                               .value("dst")
                               .toArray();
    QCOMPARE(dst, (QJsonArray{QJsonObject{{"action", QJsonObject{{"op", 1}}}}, m_extraDst.at(0),
                              m_extraDst.at(1)}));

    // A folder where the file should be: the write fails and is logged with the panel's English text.
    LogRecorder log;
    QVERIFY(QFile::remove(mappingPath()) && QDir().mkpath(mappingPath()));
    QVERIFY(!ActionLinker::saveProfileMapping(m_id, bridges));
    QCOMPARE(log.count(QStringLiteral("Gamepad mapping save failed error= \"Cannot write ")), 1);
}

void tst_ActionLinker::mappingFileProblemsAreLogged()
{
    LogRecorder log;
    QVERIFY(JsonIo::writeBytesAtomically(mappingPath(), "{broken"));
    load();
    QCOMPARE(log.count(QStringLiteral("Gamepad mapping load failed error= \"Invalid JSON in ")), 1);

    // A profile that is not in the store: nothing can be written.
    m_linker->loadGamepadSnapshot(QUuid::createUuid(), "Gone", {"Linked Pad"}, m_overlay, QString());
    clickAction("camera.pan");
    m_linker->onInputButtonChanged(2, true);
    QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("Gamepad mapping materialize failed error=")), 1,
                              5000);
}

QTEST_MAIN(tst_ActionLinker)
#include "tst_actionlinker.moc"
