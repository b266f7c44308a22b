#include "actionlinker.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "jsonio.h"
#include "picturefile.h"
#include "profilestore.h"
#include "support/testsupport.h"
#include "virtualjoystickbackend.h"

#include <QBuffer>
#include <QFrame>
#include <QImageWriter>
#include <QLabel>
#include <QListWidget>

using TestSupport::LogRecorder;

class tst_ActionLinker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup()
    {
        m_linker.reset();
        m_data.reset();
    }
    void namedPanelFollowsLinkedControllers();
    void inputBindsTheArmedAction_data();
    void inputBindsTheArmedAction();
    void saveRewritesTheMappingFile();
    void saveKeepsExtraDestinations();
    void pictureShownOnlyWhenSafe_data();
    void pictureShownOnlyWhenSafe();

private:
    void load(const QUuid& id)
    {
        m_linker->loadGamepadSnapshot(id, "Pad", {"Linked Pad"}, m_overlay, QString());
    }
    void clickAction(const QString& name);
    QString mappingPath() const { return QDir(m_folder).filePath("configActionGamepad.json"); }
    QJsonArray fileBridges() const { return TestSupport::readJson(mappingPath()).value("bridges").toArray(); }
    ControlManette* device() const { return GamepadManager::instance()->gamepadForSlot(0); }
    QLabel* hint() const { return m_linker->findChild<QLabel*>("mappingActionsHint"); }

    std::shared_ptr<VirtualJoystickBackend> m_pads = std::make_shared<VirtualJoystickBackend>();
    std::unique_ptr<TestSupport::DataRoot> m_data;
    std::unique_ptr<ActionLinker> m_linker;
    QString m_folder;
    QUuid m_id;
    QJsonObject m_overlay;
    const QJsonArray m_extraDst{QJsonObject{{"ref", "second"}}, QJsonObject{{"ref", "third"}}};
};

void tst_ActionLinker::initTestCase()
{
    JoystickBackends::install(m_pads);
    m_pads->plug({0, "Linked Pad"});
    QCOMPARE(GamepadManager::instance()->liveGamepads().size(), 1);
    // Pastilles on but_2, joy_0 and gate_1.
    QJsonArray nodes;
    for (const char* key : {"but_2", "joy_0", "gate_1"})
        nodes.append(QJsonObject{{"kind", key[0] == 'j' ? "singleJoy" : "button"},
                                 {"sources", QJsonObject{{"main", QJsonObject{{"stringKey", key}}}}}});
    m_overlay = {{"type", "InteractiveOverlay"}, {"version", 4}, {"nodes", nodes}};
}

void tst_ActionLinker::init()
{
    m_data = std::make_unique<TestSupport::DataRoot>();
    m_id = QUuid::createUuid();
    m_folder = QDir(m_data->userRoot()).filePath(m_id.toString(QUuid::WithoutBraces));
    QVERIFY(QDir().mkpath(m_folder));
    // but_2 drives three destinations.
    const QJsonArray dst{QJsonObject{{"ref", "first"}}, m_extraDst.at(0), m_extraDst.at(1)};
    const QJsonObject bridge{{"src", QJsonObject{{"stringKey", "but_2"}}}, {"dst", dst}};
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

void tst_ActionLinker::clickAction(const QString& name)
{
    auto* list = m_linker->findChild<QListWidget*>("mappingActionsList");
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == name)
            return QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                     list->visualItemRect(list->item(i)).center());
    }
    QFAIL("no such action");
}

void tst_ActionLinker::namedPanelFollowsLinkedControllers()
{
    auto* overlay = m_linker->findChild<InteractiveOverlay*>("iteractiveoverlay");
    QVERIFY(overlay->mode() == InteractiveOverlay::Mapping && overlay->servicesLocked());
    QCOMPARE(overlay->backgroundScaleMode(), OverlayLines::Contain);
    QCOMPARE(hint()->text(), QStringLiteral("Cliquez une action puis appuyez sur un bouton."));

    auto* list = m_linker->findChild<QListWidget*>("mappingActionsList");
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    QCOMPARE(texts, QStringList({"Caméra", "  Pan", "Sans groupe", "  photo.capture"}));
    QVERIFY(!(list->item(0)->flags() & Qt::ItemIsSelectable));
    QCOMPARE(list->item(0)->foreground().color(), QColor(143, 167, 182));
    QCOMPARE(list->item(1)->toolTip(), QStringLiteral("ID: camera.pan"));

    auto* side = m_linker->findChild<QFrame*>("mappingActionsPanel");
    m_linker->loadGamepadSnapshot(m_id, "Pad", {"Other Pad"}, m_overlay, QString());
    QVERIFY(side->isHidden() && !m_linker->wiredDevice());
    m_linker->onDeviceSelectionChanged({"linked pad"});
    QVERIFY(!side->isHidden());
    QCOMPARE(m_linker->wiredDevice(), device());

    // A live press reaches the panel through the wired controller.
    clickAction("camera.pan");
    QCOMPARE(hint()->text(), QStringLiteral("Appuyez sur un bouton pour mapper \"camera.pan\"."));
    device()->connectDevice(QString());
    m_pads->press(0, 2);
    device()->sample();
    QCOMPARE(m_linker->overlay()->nodeBinding(0, "main").value("ref").toString(),
             QStringLiteral("camera.pan"));
    m_pads->release(0, 2);

    // Pulled out: hidden and disarmed; plugged in again: wired to the new device object.
    clickAction("camera.pan");
    m_pads->unplug(0);
    QVERIFY(QMetaObject::invokeMethod(GamepadManager::instance(), "discoverDevices"));
    QVERIFY(side->isHidden() && m_linker->armedAction().isEmpty() && !m_linker->wiredDevice());
    m_pads->plug({0, "Linked Pad"});
    QVERIFY(QMetaObject::invokeMethod(GamepadManager::instance(), "discoverDevices"));
    QVERIFY(!side->isHidden());
    QCOMPARE(m_linker->wiredDevice(), device());
}

void tst_ActionLinker::inputBindsTheArmedAction_data()
{
    QTest::addColumn<int>("clicks"); // on the action: 1 arms, 2 arm and disarm
    QTest::addColumn<QString>("input");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("boundNode"); // -1: nothing bound
    QTest::newRow("a press with nothing armed changes nothing") << 0 << "press" << 2.0 << -1;
    QTest::newRow("clicking the armed action again disarms") << 2 << "press" << 2.0 << -1;
    QTest::newRow("an axis at 39 does not bind") << 1 << "axis" << 39.0 << -1;
    QTest::newRow("an axis at -40 binds") << 1 << "axis" << -40.0 << 1;
    QTest::newRow("a release does not bind") << 1 << "release" << 2.0 << -1;
    QTest::newRow("a press binds") << 1 << "press" << 2.0 << 0;
    QTest::newRow("a gate binds") << 1 << "gate" << 0.0 << 2;
}

void tst_ActionLinker::inputBindsTheArmedAction()
{
    QFETCH(int, clicks);
    QFETCH(QString, input);
    QFETCH(double, value);
    QFETCH(int, boundNode);
    load(m_id);
    for (int i = 0; i < clicks; ++i)
        clickAction("photo.capture");
    if (input == "axis")
        m_linker->onInputAxisChanged(0, value);
    else if (input == "gate")
        m_linker->onInputGateChanged("gate_1", true);
    else
        m_linker->onInputButtonChanged(int(value), input == "press");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_linker->overlay()->nodeBinding(i, "main").value("ref").toString() == "photo.capture",
                 i == boundNode);
    QCOMPARE(m_linker->armedAction().isEmpty(), boundNode >= 0 || clicks != 1);
}

void tst_ActionLinker::saveRewritesTheMappingFile()
{
    LogRecorder log;
    load(m_id);
    // The device is told once the file holds the new binding.
    QList<qsizetype> announced; // the file's bindings at each announcement
    connect(device(), &IComInterface::noCodeAppChanged, this,
            [&announced, this] { announced.append(fileBridges().size()); });
    clickAction("camera.pan");
    m_linker->onInputAxisChanged(0, 80.0);
    QTRY_VERIFY_WITH_TIMEOUT(announced.contains(2), 5000);
    QCOMPARE(TestSupport::readJson(mappingPath()).value("signals").toArray(), QJsonArray{"kept"});
    const QJsonArray bridges = fileBridges();
    QCOMPARE(bridges.size(), 2);
    QCOMPARE(bridges.at(0).toObject().value("action").toString(), QStringLiteral("first"));
    QCOMPARE(bridges.at(1).toObject().value("action").toString(), QStringLiteral("camera.pan"));

    // A change still pending when another profile is shown is written first.
    clickAction("photo.capture");
    m_linker->onInputButtonChanged(2, true);
    load(QUuid::createUuid());
    QCOMPARE(fileBridges().at(0).toObject().value("action"), QJsonValue("photo.capture"));
    // A profile that is not in the store cannot be written.
    clickAction("photo.capture");
    m_linker->onInputButtonChanged(2, true);
    QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("Gamepad mapping materialize failed error=")), 1,
                              5000);
    // A broken file is reported in English when it is loaded.
    QVERIFY(JsonIo::writeBytesAtomically(mappingPath(), "{broken"));
    load(m_id);
    QCOMPARE(log.count(QStringLiteral("Gamepad mapping load failed error= \"Invalid JSON in ")), 1);
}

void tst_ActionLinker::saveKeepsExtraDestinations()
{
    // A bridge that names its action through "dst" keeps the old bridge's second and third entries.
    const QJsonObject dst0{{"action", QJsonObject{{"op", 1}}}};
    const QJsonArray bridges{
        QJsonObject{{"src", QJsonObject{{"stringKey", "BUT_2"}}}, {"dst", QJsonArray{dst0}}}};
    QVERIFY(ActionLinker::saveProfileMapping(m_id, bridges));
    QCOMPARE(fileBridges().at(0).toObject().value("dst").toArray(),
             (QJsonArray{dst0, m_extraDst.at(0), m_extraDst.at(1)}));
    // A folder where the file should be: the failed write is logged with the panel's English text.
    LogRecorder log;
    QVERIFY(QFile::remove(mappingPath()) && QDir().mkpath(mappingPath()));
    QVERIFY(!ActionLinker::saveProfileMapping(m_id, bridges));
    QCOMPARE(log.count(QStringLiteral("Gamepad mapping save failed error= \"Cannot write ")), 1);
}

void tst_ActionLinker::pictureShownOnlyWhenSafe_data()
{
    QTest::addColumn<QByteArray>("format"); // of the definition's image.png; "link": a symlink to a PNG
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("shown");
    QTest::newRow("a small PNG is shown") << QByteArray("png") << QSize(64, 40) << true;
    QTest::newRow("a BMP named .png is shown") << QByteArray("bmp") << QSize(64, 40) << true;
    QTest::newRow("an ICO is not decoded") << QByteArray("ico") << QSize(64, 40) << false;
    QTest::newRow("5000 x 5000 pixels are not decoded") << QByteArray("png") << QSize(5000, 5000) << false;
    QTest::newRow("a symlink to a picture elsewhere is not read")
        << QByteArray("link") << QSize(64, 40) << false;
}

// The mapping panel shows the definition's picture like every view: decoded once, and only a
// regular PNG, JPEG or BMP file within the pixel limit.
void tst_ActionLinker::pictureShownOnlyWhenSafe()
{
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QVERIFY(QImageWriter(&bytes, format == "link" ? "png" : format).write(image));
    const QString picture = QDir(m_folder).filePath("image.png");
    const QString elsewhere = QDir(m_data->path()).filePath("elsewhere.png");
    QVERIFY(TestSupport::writeFile(format == "link" ? elsewhere : picture, bytes.data()));
    if (format == "link")
        QVERIFY(QFile::link(elsewhere, picture));
    const int decoded = PictureFile::decodeCount();
    for (int view = 0; view < 2; ++view)
        m_linker->loadGamepadSnapshot(m_id, "Pad", {"Linked Pad"}, m_overlay, picture);
    QTEST(!m_linker->overlay()->backgroundPixmap().isNull(), "shown");
    QCOMPARE(PictureFile::decodeCount(), decoded + 1);
}

QTEST_MAIN(tst_ActionLinker)
#include "tst_actionlinker.moc"
