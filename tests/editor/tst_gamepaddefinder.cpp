// The definition editor (learning, quick mapping, saving, library operations, exchange), the
// configuration window that holds it and the snapshot renderer behind its PNG export.
#include "actiontoolbox.h"
#include "calibrationfiles.h"
#include "editorfixtures.h"
#include "exchangedocument.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadconfigwidget.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "joyrelayprovider.h"
#include "librarylistdelegate.h"
#include "linkerdevicemodel.h"
#include "linkerdevicemodel_p.h"
#include "manetteconfigurationwidget.h"
#include "profilestore.h"
#include "registryfile.h"
#include "snapshots.h"
#include "tagselectionbar.h"
#include "toucharea.h"
#include "virtualjoystickbackend.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLayout>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace EditorFixtures;

namespace {
enum Node
{
    Stick = 0,
    ButtonA = 1,
    Dual = 2
};
const QJsonObject kServices{{"sharedActionCatalog", QJsonArray{QJsonObject{{"name", "recording.toggle"},
                                                                           {"group", "Enregistrement"}}}}};
// One unbound Button pastille over the middle fifth of the background.
QJsonObject snapshotDocument(const QSize& size = QSize(400, 300))
{
    const QJsonObject node{{"kind", "button"},
                           {"geometry", QJsonObject{{"x", 0.4}, {"y", 0.4}, {"w", 0.2}, {"h", 0.2}}}};
    return {{"type", "InteractiveOverlay"},
            {"version", 4},
            {"overlaySize", QJsonObject{{"w", size.width()}, {"h", size.height()}}},
            {"nodes", QJsonArray{node}}};
}
} // namespace

class tst_GamepadDefinder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void formAndSlotsAreThoseHostsLookFor();
    void learningThreshold_data();
    void learningThreshold();
    void learningFromTheFollowedController();
    void quickMapping_data();
    void quickMapping();
    void storedGatesAreNamedAndTheSlotEditorWritesTheBindingBack();
    void aGateAnnouncedAgainAfterACalibrationReloadBindsNothing();
    void calibrationModeHidesOverlayAndDisarms();
    void aPendingCalibrationSaveDoesNotUndoAModeChange();
    void threeQuickEditsSaveOnceAndSwitchingRowsSavesFirst();
    void aCalibrationSaveIsWrittenOnceAndKeepsTheCardsOpen();
    void deleteRemovesTheDefinitionItAskedAbout();
    void aFailedMetaWriteEndsTheCalibrationReport();
    void theLastSaveOfAClosingEditorReachesTheDevices();
    void deviceLinksRollBackAndCloseIsRefusedWhileTheSaveFails();
    void libraryOperationsThroughTheEditor();
    void newPastillesLandOnThePictureSideBySide();
    void refusals_data();
    void refusals();
    void copyPasteThenExportShowsUnsavedEditsAndSnapshotsSaveThemFirst();
    void oneWindowAtATimeRefreshingTheDevicesWithTheLastServices();
    void snapshotSize_data();
    void snapshotSize();
    void renderFailures_data();
    void renderFailures();
    void renderDrawsPastillesOverThePicture();
    void cancelStopsAfterTheCurrentFile();
    void tabRunsLeftToRightTopToBottom();

private:
    // An editor on the linked definition; the exchange tests select the unlinked "Drone: 1".
    GamepadDefinder* makeEditor(const Definition* shown = nullptr);
    void run(const char* slot) { QVERIFY(QMetaObject::invokeMethod(m_editor.get(), slot)); }
    static QString path(const QString& name) { return QDir(ProfileStore::dataRoot()).filePath(name); }
    // A folder where the current overlay file should be.
    static void breakOverlayFile(GamepadDefinder* editor);

    std::shared_ptr<VirtualJoystickBackend> m_pads;
    RecordingDialogs m_dialogs;
    Definition m_first;
    Definition m_second;
    std::unique_ptr<GamepadDefinder> m_editor;
};

void tst_GamepadDefinder::init()
{
    resetDataRoot();
    m_dialogs = RecordingDialogs();
    EditorDialogService::install(&m_dialogs);
    m_pads = std::make_shared<VirtualJoystickBackend>();
    m_pads->plug({0, "Pad One", 0x45e, 0x28e});
    JoystickBackends::install(m_pads);
    GamepadManager::instance();
    const QString root = ProfileStore::userProfilesRoot();
    m_first = writeDefinition(root, "First", {"Pad One", "Pad Two"},
                              {node("singleJoy", "Stick"), node("button", "A", {{"main", "but_2"}}),
                               node("dualJoyCross", "Dual", {{"x", "joy_0"}, {"y", "joy_1"}})},
                              {{"vendorId", "0x045e"}, {"productId", "0x028e"}});
    m_second = writeDefinition(root, "Drone: 1", {}, {node("button", "A", {{"main", "but_0"}})});
}

void tst_GamepadDefinder::cleanup()
{
    m_editor.reset();
    EditorDialogService::install(nullptr);
    delete GamepadManager::existingInstance();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    JoystickBackends::install(nullptr);
}

GamepadDefinder* tst_GamepadDefinder::makeEditor(const Definition* shown)
{
    m_editor = std::make_unique<GamepadDefinder>();
    m_editor->resize(1000, 700);
    m_editor->setServices(kServices);
    const QUuid id = QUuid::fromString((shown ? shown : &m_first)->id);
    m_editor->listWidget()->setCurrentRow(m_editor->library().rowOfId(id));
    return m_editor.get();
}

void tst_GamepadDefinder::breakOverlayFile(GamepadDefinder* editor)
{
    const QString path = editor->library().at(editor->currentRow()).overlayPath;
    QFile::remove(path);
    QDir().mkpath(path);
}

void tst_GamepadDefinder::formAndSlotsAreThoseHostsLookFor()
{
    GamepadDefinder* editor = makeEditor();
    QCOMPARE(editor->windowTitle(), QString("Form"));
    for (const char* name : {"comboBoxVendorId", "widgetOverlay", "listWidget", "pushButtonAdd",
                             "gamepadTopBar", "gamepadInspectorPanel", "gamepadQuickActionsPanel"})
        QVERIFY2(editor->findChild<QWidget*>(name), name);
    QVERIFY(editor->findChild<QLayout*>("gridLayout"));
    // Each row says whose definition it is: the delegate paints it under the name.
    QCOMPARE(editor->listWidget()->item(0)->data(LibraryListDelegate::ScopeRole).toInt(),
             int(ProfileScope::User));
    QStringList methods;
    const QMetaObject* meta = editor->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        methods.append(QString::fromLatin1(meta->method(i).methodSignature()));
    QCOMPARE(methods, (QStringList{"realGamepadsChanged()",
                                   "deviceSelectionChanged(QStringList)",
                                   "profilesCatalogChanged()",
                                   "currentGamepadChanged(QUuid,QString,QStringList,QJsonObject,QString)",
                                   "on_pushButtonAdd_clicked()",
                                   "onListSelectionChanged(int)",
                                   "showListContextMenu(QPoint)",
                                   "actionNew()",
                                   "actionSave()",
                                   "actionDuplicate()",
                                   "actionDelete()",
                                   "actionRename()",
                                   "actionChangeImage()",
                                   "actionExport()",
                                   "actionImport()",
                                   "actionCopy()",
                                   "actionPaste()",
                                   "actionSnapshot()",
                                   "actionSnapshotAll()",
                                   "onOverlayDirty()",
                                   "onOverlaySelectionChanged(int)",
                                   "onCalibrationProfileMetadataChanged(QString,QString,uint,uint)",
                                   "onDeviceSelectionTagsChanged(QStringList)",
                                   "onAxisChanged(int,double)",
                                   "onButtonChanged(int,bool)",
                                   "onGateChanged(QString,bool)",
                                   "emitCurrentSelection()",
                                   "exportSnapshotsToDir(QString)"}));
    QCOMPARE(editor->overlay()->nodeCount(), 3);
    QCOMPARE(editor->followedController()->name(), QString("Pad One"));
}

void tst_GamepadDefinder::learningThreshold_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("learns");
    QTest::newRow("39.9 is below the threshold") << 39.9 << false;
    QTest::newRow("40.0 reaches it") << 40.0 << true;
    QTest::newRow("-40.0 reaches it the other way") << -40.0 << true;
}

void tst_GamepadDefinder::learningThreshold()
{
    QFETCH(double, value);
    QFETCH(bool, learns);
    GamepadDefinder* editor = makeEditor();
    QVERIFY(editor->overlay()->startListening(Stick, "main"));
    editor->onAxisChanged(3, value);
    QCOMPARE(editor->isCapturePending(), learns);
    if (learns)
        QTRY_COMPARE(editor->overlay()->nodeSource(Stick, "main").stringKey, QString("joy_3"));
    QCOMPARE(editor->overlay()->listeningIndex(), learns ? -1 : int(Stick));

    // Quick mapping keeps the same threshold: a small movement leaves the action armed.
    editor->overlay()->stopListening();
    editor->clickQuickAction(1);
    editor->overlay()->setSource(Stick, "main", true, "joy_3");
    editor->onAxisChanged(3, value);
    QCOMPARE(editor->armedAction().isEmpty(), learns);
}

void tst_GamepadDefinder::learningFromTheFollowedController()
{
    GamepadDefinder* editor = makeEditor();
    ControlManette* pad = editor->followedController();
    QVERIFY(pad && pad->isSampling());
    // Followed again, a pad already sampling is left as it is: no reset announces a held button anew.
    m_pads->press(0, 3);
    pad->sample();
    QSignalSpy announced(pad, &ControlManette::buttonChanged);
    editor->listWidget()->setCurrentRow(editor->library().rowOfId(QUuid::fromString(m_second.id)));
    editor->listWidget()->setCurrentRow(editor->library().rowOfId(QUuid::fromString(m_first.id)));
    QCOMPARE(editor->followedController(), pad);
    pad->sample();
    QCOMPARE(announced.count(), 0);
    m_pads->release(0, 3);
    pad->sample();
    // A button pressed while a stick's movement waits to be learnt cancels it.
    editor->overlay()->startListening(Stick, "main");
    editor->onAxisChanged(0, 80.0);
    QVERIFY(editor->isCapturePending());
    editor->onButtonChanged(4, true);
    QVERIFY(!editor->isCapturePending());
    QVERIFY(editor->overlay()->nodeSource(Stick, "main").stringKey.isEmpty());
    editor->overlay()->startListening(ButtonA, "main");
    m_pads->press(0, 7);
    pad->sample();
    QTRY_COMPARE(editor->overlay()->nodeSource(ButtonA, "main").stringKey, QString("but_7"));
    QCOMPARE(editor->overlay()->nodeTitle(ButtonA), QString("but_7"));
    // On a button pastille a press wins over a gate crossed in the same capture window.
    editor->overlay()->startListening(ButtonA, "main");
    editor->onGateChanged("gate_0", true);
    editor->onButtonChanged(5, true);
    QTRY_COMPARE(editor->overlay()->nodeSource(ButtonA, "main").stringKey, QString("but_5"));
    // The Learn button says it listens, and Escape (or a second click) ends it.
    editor->overlay()->selectNode(Stick);
    const auto learnButton = [editor] { // the current panel's, once the replaced ones are gone
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QList<QPushButton*> buttons = editor->findChildren<QPushButton*>(QStringLiteral("learnButton"));
        return buttons.isEmpty() ? nullptr : buttons.constLast();
    };
    QTRY_VERIFY(learnButton());
    learnButton()->click();
    QCOMPARE(editor->overlay()->listeningIndex(), int(Stick));
    QTRY_COMPARE(learnButton()->text(), QString("Écoute…"));
    QVERIFY(learnButton()->isChecked());
    QTest::keyClick(learnButton(), Qt::Key_Escape);
    QCOMPARE(editor->overlay()->listeningIndex(), -1);
    QTRY_COMPARE(learnButton()->text(), QString("Learn"));
    // Pulled out, it leaves quick mapping nothing to arm.
    m_pads->unplug(0);
    QTRY_VERIFY(!editor->followedController());
    editor->clickQuickAction(1);
    QVERIFY(editor->armedAction().isEmpty());
    QCOMPARE(editor->hintText(), QString("Connectez la manette pour utiliser le mapping rapide."));
    // On a definition linked to no controller, what is missing is the link.
    editor->listWidget()->setCurrentRow(editor->library().rowOfId(QUuid::fromString(m_second.id)));
    QCOMPARE(editor->hintText(),
             QString("Liez une manette à cette définition (barre du haut) pour utiliser le mapping rapide."));
}

void tst_GamepadDefinder::quickMapping_data()
{
    QTest::addColumn<bool>("gate");
    QTest::newRow("a button press binds the pastille of that button") << false;
    QTest::newRow("a gate binds the gate of its stick") << true;
}

void tst_GamepadDefinder::quickMapping()
{
    QFETCH(bool, gate);
    GamepadDefinder* editor = makeEditor();
    InteractiveOverlay* overlay = editor->overlay();
    overlay->setGateNames(Dual, {"gate_0"});
    editor->clickQuickAction(1);
    QCOMPARE(editor->armedAction(), QString("recording.toggle"));
    QCOMPARE(editor->hintText(),
             QString("Appuyez sur un bouton ou bougez un axe pour mapper \"recording.toggle\"."));

    gate ? editor->onGateChanged("gate_9", true) : editor->onButtonChanged(9, true);
    QCOMPARE(editor->hintText(),
             gate ? QString("Aucune pastille n'est liee a \"gate_9\" pour \"recording.toggle\".")
                  : QString("Aucune pastille n'est liée à \"but_9\" pour \"recording.toggle\"."));
    gate ? editor->onGateChanged("gate_0", true) : editor->onButtonChanged(2, true);
    QVERIFY(editor->armedAction().isEmpty());
    QCOMPARE(editor->hintText(),
             QString("« recording.toggle » affectée à %1.").arg(gate ? "gate_0" : "but_2"));
    const QJsonObject bound =
        gate ? overlay->nodeGateBinding(Dual, "gate_0") : overlay->nodeBinding(ButtonA, "main");
    QCOMPARE(bound.value("ref").toString(), QString("recording.toggle"));

    // Saved into the mapping file beside the host's own keys, and read back on the next open.
    QVERIFY(editor->saveDefinition(editor->currentRow()));
    const QJsonObject mapping = readJson(m_first.file("configActionGamepad.json"));
    QCOMPARE(mapping.value("signals").toArray(), QJsonArray{"keep"});
    QCOMPARE(mapping.value("bridges").toArray().size(), 1);
    editor->listWidget()->setCurrentRow(1 - editor->currentRow());
    editor->listWidget()->setCurrentRow(1 - editor->currentRow());
    if (!gate)
        QCOMPARE(overlay->nodeBinding(ButtonA, "main").value("ref").toString(), QString("recording.toggle"));
}

void tst_GamepadDefinder::storedGatesAreNamedAndTheSlotEditorWritesTheBindingBack()
{
    // Of two stored gates, only the one on the sticks' axes is named on the pastilles.
    using namespace GamepadCalibration;
    CalibrationSet set = defaultCalibration();
    GateSettings elsewhere = defaultGate(1);
    elsewhere.xAxis = 2;
    elsewhere.yAxis = 3;
    set.gates = {defaultGate(0), elsewhere};
    const DeviceIdentity identity{"Pad One", 0x45e, 0x28e};
    QVERIFY(saveCalibrationFile(baseCalibrationSavePath(identity), set, identity));
    GamepadDefinder* editor = makeEditor();
    QCOMPARE(editor->overlay()->nodeGateNames(Dual), QStringList{"gate_0"});
    editor->overlay()->selectNode(ButtonA);
    QTRY_VERIFY(editor->findChild<ActionToolBox*>());
    const QList<ActionToolBox*> boxes = editor->findChildren<ActionToolBox*>();
    QCOMPARE(boxes.size(), 1);
    boxes.at(0)->actionChoice()->setCurrentIndex(1);
    QCOMPARE(editor->overlay()->nodeBinding(ButtonA, "main").value("ref").toString(),
             QString("recording.toggle"));
    QVERIFY(editor->isDirty());
    // The panel stays while what it shows stays: neither the save nor a mode switch replaces the
    // box being worked in; a binding changed elsewhere brings a new one that shows it.
    const QPointer<ActionToolBox> box = boxes.at(0);
    QVERIFY(editor->saveDefinition(editor->currentRow()));
    editor->setEditorMode(GamepadDefinder::EditMode);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(box);
    editor->overlay()->setBinding(ButtonA, "main", QJsonObject());
    editor->setEditorMode(GamepadDefinder::MappingMode);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!box);
    QCOMPARE(editor->findChild<ActionToolBox*>()->binding().value("ref").toString(), QString());
}

// Every save reloads the devices' calibration, after which a stick at rest inside a gate reports it
// anew: quick mapping waits for the user to cross it.
void tst_GamepadDefinder::aGateAnnouncedAgainAfterACalibrationReloadBindsNothing()
{
    using namespace GamepadCalibration;
    CalibrationSet set = defaultCalibration();
    set.gates = {defaultGate(0)};
    set.gates[0].radius = 20;
    const DeviceIdentity identity{"Pad One", 0x45e, 0x28e};
    QVERIFY(saveCalibrationFile(baseCalibrationSavePath(identity), set, identity));
    GamepadDefinder* editor = makeEditor();
    ControlManette* pad = editor->followedController();
    pad->sample();
    editor->clickQuickAction(1);
    pad->reloadCalibration();
    pad->sample();
    QVERIFY(editor->overlay()->nodeGateBinding(Dual, "gate_0").isEmpty());
    m_pads->setAxis(0, 0, 35); // out of the gate, too little to quick-map the axis itself
    pad->sample();
    QCOMPARE(editor->overlay()->nodeGateBinding(Dual, "gate_0").value("ref").toString(),
             QString("recording.toggle"));
}

void tst_GamepadDefinder::aPendingCalibrationSaveDoesNotUndoAModeChange()
{
    // A stored gate on the Dual pastille's axes but without its key is tied to it by the page,
    // which leaves a save pending.
    using namespace GamepadCalibration;
    CalibrationSet set = defaultCalibration();
    set.gates = {defaultGate(0)};
    const DeviceIdentity identity{"Pad One", 0x45e, 0x28e};
    const QString base = baseCalibrationSavePath(identity);
    QVERIFY(saveCalibrationFile(base, set, identity));
    const QByteArray stored = TestSupport::readFile(base);
    GamepadDefinder* editor = makeEditor();
    editor->setEditorMode(GamepadDefinder::CalibrationMode);
    QVERIFY(QMetaObject::invokeMethod(editor, "onCalibrationProfileMetadataChanged",
                                      Q_ARG(QString, "Override"), Q_ARG(QString, ""), Q_ARG(uint, 0x45e),
                                      Q_ARG(uint, 0x28e)));
    // The pending edit went to the base file it was made on; the new mode stays everywhere.
    QVERIFY(TestSupport::readFile(base) != stored);
    QCOMPARE(readJson(m_first.meta()).value("calibrationMode").toString(), QString("override"));
    QCOMPARE(editor->calibrationEditor()->profileContext().calibrationMode, QString("override"));
}

void tst_GamepadDefinder::calibrationModeHidesOverlayAndDisarms()
{
    GamepadDefinder* editor = makeEditor();
    editor->clickQuickAction(1);
    QVERIFY(!editor->armedAction().isEmpty());
    editor->setEditorMode(GamepadDefinder::CalibrationMode);
    QVERIFY(editor->overlay()->isHidden());
    QVERIFY(editor->findChild<QWidget*>("gamepadInspectorPanel")->isHidden());
    GamepadConfigWidget* calibration = editor->calibrationEditor();
    QVERIFY(!calibration->isHidden());
    QVERIFY(editor->armedAction().isEmpty());
    // The page edits the current definition's calibration with the followed controller's readings.
    QCOMPARE(calibration->profileContext().profileId, QUuid::fromString(m_first.id));
    QCOMPARE(calibration->device(), editor->followedController());
    QCOMPARE(calibration->gateSources().size(), 1);
    emit calibration->profileCalibrationMetadataChanged("override", "", 0x45e, 0x28e);
    QCOMPARE(readJson(m_first.meta()).value("calibrationMode").toString(), QString("override"));
    QCOMPARE(calibration->profileContext().calibrationMode, QString("override"));
    editor->setEditorMode(GamepadDefinder::EditMode);
    QVERIFY(!editor->overlay()->isHidden());
    QCOMPARE(editor->overlay()->mode(), InteractiveOverlay::Edit);
    QCOMPARE(editor->hintText(), QString("Passez en mode Mapping pour affecter rapidement une action."));
}

void tst_GamepadDefinder::threeQuickEditsSaveOnceAndSwitchingRowsSavesFirst()
{
    GamepadDefinder* editor = makeEditor();
    QSignalSpy saved(editor, &GamepadDefinder::profilesCatalogChanged);
    for (const char* title : {"One", "Two", "Three"})
        editor->overlay()->setTitle(Stick, title);
    QVERIFY(editor->isDirty());
    QTRY_COMPARE(saved.count(), 1);
    QVERIFY(!editor->isDirty());
    const QJsonArray nodes = readJson(m_first.file("overlay.json")).value("nodes").toArray();
    QCOMPARE(nodes.at(Stick).toObject().value("title").toString(), QString("Three"));
    QVERIFY(m_dialogs.shown.isEmpty());

    // Switching rows saves first, and stays on the row when that save fails.
    const int first = editor->currentRow();
    editor->overlay()->setTitle(Stick, "Renamed");
    editor->listWidget()->setCurrentRow(1 - first);
    QCOMPARE(editor->currentRow(), 1 - first);
    QCOMPARE(readJson(m_first.file("overlay.json")).value("nodes").toArray().at(0)["title"].toString(),
             QString("Renamed"));

    editor->listWidget()->setCurrentRow(first);
    const QByteArray written = readFile(m_first.file("overlay.json"));
    editor->overlay()->setTitle(Stick, "Lost?");
    {
        const FileSizeLimit limit(64);
        editor->listWidget()->setCurrentRow(1 - first);
    }
    QCOMPARE(readFile(m_first.file("overlay.json")), written);
    QCOMPARE(editor->currentRow(), first);
    QCOMPARE(editor->listWidget()->currentRow(), first);
    QVERIFY(editor->isDirty());
    QCOMPARE(m_dialogs.messages().size(), 1);
    QVERIFY2(m_dialogs.messages().at(0).startsWith("warning|Sauvegarde|Échec sauvegarde config : "),
             qPrintable(m_dialogs.messages().at(0)));
}

// meta.json's ids differ from the pad's: the page's save tells the editor the pad's ids, which must
// neither write the calibration a second time nor close the card being edited.
void tst_GamepadDefinder::aCalibrationSaveIsWrittenOnceAndKeepsTheCardsOpen()
{
    QJsonObject meta = readJson(m_first.meta());
    meta.insert("vendorId", "0x1111");
    writeFile(m_first.meta(), QJsonDocument(meta).toJson());
    GamepadDefinder* editor = makeEditor();
    editor->setEditorMode(GamepadDefinder::CalibrationMode);
    GamepadConfigWidget* page = editor->calibrationEditor();
    QSignalSpy saved(page, &GamepadConfigWidget::calibrationSaved);
    auto* card = page->findChildren<GamepadAxisCalibrationWidget*>().at(0);
    card->setExpanded(true);
    GamepadCalibration::AxisSettings axis = page->currentCalibration().axes.at(0);
    axis.deadzoneRadius = 17;
    emit card->settingsChanged(axis);
    page->flushSave();
    QCOMPARE(saved.count(), 1);
    QVERIFY(card->isExpanded());
    QCOMPARE(readJson(m_first.meta()).value("vendorId").toString(), QString("0x045e"));
}

// The library is listed anew while the question is open: the answer deletes what was asked about.
void tst_GamepadDefinder::deleteRemovesTheDefinitionItAskedAbout()
{
    GamepadDefinder* editor = makeEditor(&m_second);
    m_dialogs.fallback = [editor](const QString&) {
        editor->library().reload();
        return QVariant(true);
    };
    run("actionDelete");
    QVERIFY(!QFileInfo::exists(m_second.folder));
    QVERIFY(QFileInfo::exists(m_first.folder));
    QCOMPARE(editor->library().count(), 1);
}

void tst_GamepadDefinder::aFailedMetaWriteEndsTheCalibrationReport()
{
    GamepadDefinder* editor = makeEditor();
    QSignalSpy catalog(editor, &GamepadDefinder::profilesCatalogChanged);
    {
        const FileSizeLimit limit(64);
        editor->onCalibrationProfileMetadataChanged("override", "", 0x45e, 0x28e);
    }
    QCOMPARE(catalog.count(), 0);
    QCOMPARE(m_dialogs.messages().size(), 1);
    QVERIFY(m_dialogs.messages().at(0).startsWith("warning|Calibration|Impossible d’écrire meta.json"));
}

void tst_GamepadDefinder::theLastSaveOfAClosingEditorReachesTheDevices()
{
    GamepadDefinder* editor = makeEditor();
    QSignalSpy reread(editor->followedController(), &ControlManette::noCodeAppChanged);
    editor->overlay()->setTitle(Stick, "Last");
    m_editor.reset();
    QTRY_COMPARE(reread.count(), 1);
    QCOMPARE(readJson(m_first.file("overlay.json")).value("nodes").toArray().at(Stick)["title"].toString(),
             QString("Last"));
}

void tst_GamepadDefinder::deviceLinksRollBackAndCloseIsRefusedWhileTheSaveFails()
{
    QMainWindow window;
    GamepadDefinder* editor = makeEditor();
    window.setCentralWidget(m_editor.release());
    window.show();
    QSignalSpy selection(editor, &GamepadDefinder::deviceSelectionChanged);
    const QStringList linked{"Other pad", "Pad One"};
    editor->onDeviceSelectionTagsChanged({" Other pad ", "Pad One"});
    QCOMPARE(selection.count(), 1);
    QCOMPARE(readJson(m_first.meta()).value("deviceNames").toVariant().toStringList(), linked);
    // The other definition offers the names linked here as they stand now.
    const int first = editor->currentRow();
    editor->listWidget()->setCurrentRow(1 - first);
    QVERIFY(editor->tagBar()->availableTags().contains("Other pad"));
    editor->listWidget()->setCurrentRow(first);
    selection.clear();

    breakOverlayFile(editor);
    editor->onDeviceSelectionTagsChanged({"Third"});
    QCOMPARE(selection.count(), 0);
    QCOMPARE(editor->library().at(editor->currentRow()).deviceNames, linked);
    QCOMPARE(editor->tagBar()->selectedTags(), linked);
    QCOMPARE(readJson(m_first.meta()).value("deviceNames").toVariant().toStringList(), linked);

    // An edit that cannot be saved keeps the window open, each refusal with its message.
    const qsizetype reported = m_dialogs.messages().size();
    editor->overlay()->setTitle(Stick, "Unsaved");
    QVERIFY(!window.close());
    QVERIFY(!editor->close());
    QCOMPARE(m_dialogs.messages().size(), reported + 2);
    const QString overlayPath = editor->library().at(editor->currentRow()).overlayPath;
    QDir().rmdir(overlayPath);
    writeFile(overlayPath, "{}");
    QVERIFY(window.close());
    QCOMPARE(readJson(m_first.file("overlay.json")).value("nodes").toArray().at(0)["title"].toString(),
             QString("Unsaved"));
    // Deleting the editor saves what is still pending.
    editor->overlay()->setTitle(Stick, "Last edit");
    delete window.takeCentralWidget();
    QCOMPARE(readJson(m_first.file("overlay.json")).value("nodes").toArray().at(0)["title"].toString(),
             QString("Last edit"));
}

void tst_GamepadDefinder::newPastillesLandOnThePictureSideBySide()
{
    GamepadDefinder* editor = makeEditor(&m_second);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    InteractiveOverlay* overlay = editor->overlay();
    editor->overlay()->setBackgroundPixmap(QPixmap(640, 400)); // the picture, inside the view
    const QRect picture = overlay->backgroundRect();
    const int before = overlay->nodeCount();
    for (const char* kind : {"+ Joy", "+ Dual XY", "+ Btn", "+ Btn"}) {
        for (QPushButton* button : editor->findChildren<QPushButton*>()) {
            if (button->text() == kind)
                button->click();
        }
    }
    QCOMPARE(overlay->nodeCount(), before + 4);
    for (int i = before; i < overlay->nodeCount(); ++i) {
        const QRect placed = overlay->pastille(i)->geometry();
        QVERIFY2(picture.contains(placed), qPrintable(QStringLiteral("pastille %1 off the picture").arg(i)));
        for (int j = 0; j < overlay->nodeCount(); ++j)
            QVERIFY2(j == i || !placed.intersects(overlay->pastille(j)->geometry()),
                     qPrintable(QStringLiteral("pastilles %1 and %2 overlap").arg(i).arg(j)));
    }
}

void tst_GamepadDefinder::libraryOperationsThroughTheEditor()
{
    GamepadDefinder* editor = makeEditor();
    QSignalSpy catalog(editor, &GamepadDefinder::profilesCatalogChanged);
    std::unique_ptr<QMenu> menu(editor->createListContextMenu(QPoint(4, 4)));
    QStringList entries;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->isVisible())
            entries.append(action->text());
    }
    QCOMPARE(entries, (QStringList{"Nouveau…", "Importer…", "Copier", "Coller", "Renommer…", "Dupliquer",
                                   "Changer l’image…", "Exporter…", "Supprimer"}));

    m_dialogs.answers = {QString("Renamed"), writePicture(path("new.png"))};
    QVERIFY(QMetaObject::invokeMethod(editor, "actionRename"));
    QCOMPARE(editor->listWidget()->currentItem()->text(), QString("Renamed"));
    QVERIFY(QMetaObject::invokeMethod(editor, "actionChangeImage"));
    QVERIFY(!editor->overlay()->backgroundPixmap().isNull());
    // A pending edit saved on the way: still one catalog signal for the whole operation.
    editor->overlay()->setTitle(Stick, "Pending");
    QVERIFY(QMetaObject::invokeMethod(editor, "actionDuplicate"));
    QVERIFY(!editor->isDirty());
    QCOMPARE(editor->library().count(), 3);
    QCOMPARE(editor->listWidget()->currentItem()->text(), QString("Renamed (copie)"));
    m_dialogs.answers = {true};
    QVERIFY(QMetaObject::invokeMethod(editor, "actionDelete"));
    QCOMPARE(editor->library().count(), 2);
    QCOMPARE(editor->currentRow(), 0);
    QCOMPARE(catalog.count(), 4);

    // The rows' pictures are read after the first frame, then painted with the link markers.
    auto* delegate = qobject_cast<LibraryListDelegate*>(editor->listWidget()->itemDelegate());
    editor->grab();
    QTRY_VERIFY(!delegate->hasPendingThumbnails());
    const QString picture = editor->library().at(0).imagePath;
    QVERIFY(!delegate->thumbnail(picture).isNull());
    editor->grab();
    // A picture written again is decoded again, whatever the clock's resolution.
    writePicture(picture, Qt::red, QSize(64, 48));
    QVERIFY(delegate->thumbnail(picture).isNull());
    QTRY_VERIFY(!delegate->thumbnail(picture).isNull());
}

void tst_GamepadDefinder::refusals_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("clipboard"); // or the import file's text; "mime:" puts it under the MIME type
    QTest::addColumn<QString>("message");
    const QString linkedDoc = R"({"type":"TavonGamepad","deviceNames":["Pad"],"overlay":{"nodes":[]}})";
    const auto row = [](const char* name, const char* slot, const QString& clipboard, const char* message) {
        QTest::newRow(name) << QString(slot) << clipboard << QString(message);
    };
    row("paste of another type", "actionPaste", R"(mime:{"type":"Other"})",
        "warning|Coller|Type inattendu dans le presse‑papier.");
    row("paste of text that is not JSON", "actionPaste", "hello",
        "warning|Coller|Le presse‑papier ne contient pas de configuration Tavon valide.");
    row("paste of an empty clipboard", "actionPaste", "",
        "information|Coller|Aucune configuration Tavon trouvée dans le presse‑papier.");
    row("paste of a linked document", "actionPaste", linkedDoc,
        "information|Coller|Ce profil est lié à une ou plusieurs manettes. Le coller n’est autorisé que pour "
        "des profils non liés.");
    row("paste of a document without overlay", "actionPaste", R"({"type":"TavonGamepad"})",
        "warning|Coller|Impossible de créer le gamepad à partir des données.");
    row("import of another type", "actionImport", R"({"type":"Other"})",
        "warning|Import|Impossible d’importer ce fichier.");
    row("import of a linked file", "actionImport", linkedDoc,
        "information|Import|Ce fichier est lié à une ou plusieurs manettes. Le coller/importe n’est autorisé "
        "que pour des profils non liés.");
    row("import of a file over 64 MiB", "actionImport", "huge",
        "warning|Import|Impossible d’importer ce fichier.");
    row("copy of a linked definition", "actionCopy", "linked",
        "information|Copier|Ce profil est associé à « Pad One, Pad Two ». Le copier/coller est réservé aux "
        "profils non liés.");
    row("export of a linked definition", "actionExport", "linked",
        "information|Export|Ce profil est associé à une ou plusieurs manettes. Le copier/coller n’est "
        "disponible que pour les profils non liés.");
}

void tst_GamepadDefinder::refusals()
{
    QFETCH(QString, slot);
    QFETCH(QString, clipboard);
    QFETCH(QString, message);
    auto* mime = new QMimeData;
    if (clipboard.startsWith("mime:"))
        mime->setData("application/x-tavon-gamepad", clipboard.mid(5).toUtf8());
    else if (!clipboard.isEmpty())
        mime->setText(clipboard);
    QGuiApplication::clipboard()->setMimeData(mime);
    makeEditor(clipboard == "linked" ? nullptr : &m_second);
    m_dialogs.answers = {path("answer.json")};
    writeFile(path("answer.json"), clipboard.toUtf8());
    if (clipboard == "huge")
        QVERIFY(QFile(path("answer.json")).resize(ExchangeDocument::MaxDocumentBytes + 1));
    QVERIFY(QMetaObject::invokeMethod(m_editor.get(), slot.toLatin1()));
    QCOMPARE(m_dialogs.messages(), QStringList{message});
    QCOMPARE(m_editor->library().count(), 2);
    QVERIFY(!QFileInfo::exists(path("answer.json.tavon.json")));
}

void tst_GamepadDefinder::copyPasteThenExportShowsUnsavedEditsAndSnapshotsSaveThemFirst()
{
    TestSupport::LogRecorder log;
    makeEditor(&m_second);
    run("actionCopy");
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(mime->hasFormat("application/x-tavon-gamepad"));
    QCOMPARE(mime->text().toUtf8(), mime->data("application/x-tavon-gamepad"));
    run("actionPaste");
    QVERIFY2(m_dialogs.messages().isEmpty(), qPrintable(m_dialogs.messages().join('\n')));
    QCOMPARE(m_editor->library().count(), 3);
    const DefinitionRecord& copy = m_editor->library().at(m_editor->currentRow());
    QCOMPARE(copy.name, QStringLiteral("Drone: 1"));
    QVERIFY(copy.id != QUuid::fromString(m_second.id));
    QCOMPARE(copy.calibrationMode, QStringLiteral("inherit"));
    QCOMPARE(readFile(copy.imagePath), readFile(m_second.file("image.png")));
    QCOMPARE(readJson(copy.overlayPath), readJson(m_second.file("overlay.json")));
    QCOMPARE(readJson(QDir(copy.folder).filePath("configActionGamepad.json")),
             ExchangeDocument::defaultMappingSkeleton());

    // Back on the original, which shares its name with the copy.
    m_editor->listWidget()->setCurrentRow(m_editor->library().rowOfId(QUuid::fromString(m_second.id)));
    QFile::remove(m_first.file("overlay.json")); // listed already, reported at export
    m_editor->overlay()->addNode(QPointF(50, 50), InteractiveOverlay::Button, "Unsaved");
    // The export takes the overlay as shown, the copy the saved one.
    m_dialogs.answers = {path("out")};
    run("actionExport");
    QCOMPARE(m_dialogs.shown.first(),
             QStringLiteral("save|Exporter le gamepad|Configuration Tavon (*.tavon.json)"));
    const QJsonObject exported = readJson(path("out.tavon.json"));
    QCOMPARE(exported.value("overlay").toObject().value("nodes").toArray().size(), 2);
    run("actionCopy");
    const QJsonObject copied =
        QJsonDocument::fromJson(QGuiApplication::clipboard()->text().toUtf8()).object();
    QCOMPARE(copied.value("overlay").toObject().value("nodes").toArray().size(), 1);
    QCOMPARE(m_editor->exportSnapshotsToDir(" "), -1);
    QCOMPARE(m_editor->exportSnapshotsToDir(m_second.file("image.png")), -1); // a file, not a folder
    QCOMPARE(m_editor->exportSnapshotsToDir(path("shots")), 2);
    QCOMPARE(QDir(path("shots")).entryList(QDir::Files), QStringList({"Drone_ 1.png", "Drone_ 1_1.png"}));
    QCOMPARE(log.count("Gamepad snapshot issue error= \"First : Impossible d’ouvrir "), 1);
    QVERIFY(!m_editor->isDirty()); // saved before the export
    QCOMPARE(readJson(m_second.file("overlay.json")).value("nodes").toArray().size(), 2);

    // With the folder dialog: the second run continues the counter and reports the problem.
    m_dialogs.answers = {path("shots")};
    run("actionSnapshotAll");
    QCOMPARE(QDir(path("shots")).entryList(QDir::Files),
             QStringList({"Drone_ 1.png", "Drone_ 1_1.png", "Drone_ 1_2.png", "Drone_ 1_3.png"}));
    QVERIFY(m_dialogs.messages().last().startsWith(
        "warning|Snapshots PNG|Snapshots générés : 2\nErreurs :\nFirst : "));
    // One snapshot: the suffix is added.
    m_dialogs.answers = {path("single")};
    run("actionSnapshot");
    QCOMPARE(QImage(path("single.png")).size(), m_editor->overlay()->size());
}

void tst_GamepadDefinder::oneWindowAtATimeRefreshingTheDevicesWithTheLastServices()
{
    // A remembered pad gives the device model a row whose profiles a refresh reloads.
    RegistryFile::write(
        RegistryFile::path("ctx"),
        QJsonObject{{"devices", QJsonObject{{"gp:0", QJsonObject{{"deviceId", "0"}, {"name", "Pad"}}}}}});
    QObject owner;
    JoyrelayProvider provider;
    auto* model = qobject_cast<LinkerDeviceModel*>(provider.model("ctx", &owner));
    QCOMPARE(model->rowCount(), 1);
    provider.setServices(kServices);
    QWidget parent;
    QPointer<QMainWindow> window = provider.configurationWindow(&parent);
    QPointer<QWidget> form = window->centralWidget();
    auto* widget = qobject_cast<ManetteConfigurationWidget*>(form.data());
    QVERIFY(widget);
    QCOMPARE(widget->objectName(), QString("ManetteConfigurationWidget"));
    QCOMPARE(widget->windowTitle(), QString("Gamepad"));
    QCOMPARE(widget->size(), QSize(1023, 772));
    auto* editor = widget->findChild<GamepadDefinder*>("ManageGamepade");
    QVERIFY(editor);
    QCOMPARE(editor->parentWidget()->objectName(), QString("tfxBackdrop"));
    QVERIFY(widget->findChild<QLayout*>("gridLayoutContent"));
    const QMetaObject* meta = widget->metaObject();
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 1);
    QCOMPARE(meta->method(meta->methodOffset()).methodSignature(), QByteArray("profilesCatalogChanged()"));
    QCOMPARE(widget->services(), kServices);
    QCOMPARE(widget->editor()->sharedCatalog(), kServices.value("sharedActionCatalog").toArray());
    // A second request shows the same window and widget.
    QCOMPARE(provider.configurationWindow(&parent), window.data());
    QCOMPARE(window->centralWidget(), form.data());
    QCOMPARE(window->findChildren<ManetteConfigurationWidget*>().size(), 1);
    QCOMPARE(window->parentWidget(), &parent);
    // A new definition refreshes the device list once although the window was asked for twice,
    // after the operation has returned (the pads' next step first).
    QSignalSpy refreshed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy catalog(widget, &ManetteConfigurationWidget::profilesCatalogChanged);
    // (The rows' own updates from the pads being found may come in between.)
    const auto catalogRefreshes = [&refreshed] {
        return std::count_if(refreshed.cbegin(), refreshed.cend(), [](const QList<QVariant>& args) {
            return args.at(2).value<QList<int>>() == LinkerDeviceModelDetail::kProfileRoles;
        });
    };
    m_dialogs.answers = {QString("Fresh"), writePicture(path("p.png"))};
    QVERIFY(QMetaObject::invokeMethod(editor, "actionNew"));
    QCOMPARE(catalog.count(), 1);
    QCOMPARE(catalogRefreshes(), 0);
    QTRY_COMPARE(catalogRefreshes(), 1);
    QCOMPARE(editor->library().count(), 3);
    QCOMPARE(editor->library().at(editor->currentRow()).name, QString("Fresh"));
    // The host uses the pad: a link saved reaches it once, though the editor and the device list
    // each ask it to read its files again.
    model->setSelected("gp:0", true);
    auto* pad = qobject_cast<ControlManette*>(model->interfaceForRow(0));
    QVERIFY(pad && GamepadManager::instance()->liveGamepads().contains(pad));
    QSignalSpy reread(pad, &ControlManette::noCodeAppChanged);
    refreshed.clear();
    editor->tagBar()->setSelectedTags({pad->name()});
    QTRY_COMPARE(catalogRefreshes(), 1);
    QCOMPARE(reread.count(), 1);

    // The host's servicesChanged hands the stored object down again.
    const QJsonObject other{{"sharedActionCatalog", QJsonArray{QJsonObject{{"name", "other"}}}}};
    provider.setServices(other);
    QCOMPARE(widget->services(), other);
    emit provider.servicesChanged(QJsonObject());
    QCOMPARE(widget->services(), other);

    // Closed and deleted, it is made again with the last services.
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QVERIFY(window->close());
    QTRY_VERIFY(!window);
    QVERIFY(!form);
    QMainWindow* again = provider.configurationWindow(nullptr);
    QCOMPARE(again->windowTitle(), QString("Gamepad"));
    auto* newForm = qobject_cast<ManetteConfigurationWidget*>(again->centralWidget());
    QVERIFY(newForm);
    QCOMPARE(newForm->services(), other);
    delete again;
}

void tst_GamepadDefinder::snapshotSize_data()
{
    QTest::addColumn<QJsonObject>("size");
    QTest::addColumn<QSize>("fallback");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("the document's size wins")
        << QJsonObject{{"w", 640}, {"h", 200}} << QSize(9, 9) << QSize(640, 200);
    QTest::newRow("no size takes the view's") << QJsonObject() << QSize(500, 400) << QSize(500, 400);
    QTest::newRow("nothing usable gives 800 x 600")
        << QJsonObject{{"w", 0}, {"h", -4}} << QSize() << QSize(800, 600);
}

void tst_GamepadDefinder::snapshotSize()
{
    QFETCH(QJsonObject, size);
    QFETCH(QSize, fallback);
    QFETCH(QSize, expected);
    QCOMPARE(Snapshots::snapshotSize(QJsonObject{{"overlaySize", size}}, fallback), expected);
}

void tst_GamepadDefinder::renderFailures_data()
{
    QTest::addColumn<QJsonObject>("doc");
    QTest::addColumn<QString>("error");
    QTest::newRow("an empty document") << QJsonObject() << "Overlay vide.";
    QTest::newRow("another type") << QJsonObject{{"type", "Other"}} << "Format de configuration non reconnu.";
    QTest::newRow("a huge size") << snapshotDocument(QSize(20000, 100))
                                 << "Snapshot trop grand : 20000 x 100";
}

void tst_GamepadDefinder::renderFailures()
{
    QFETCH(QJsonObject, doc);
    QFETCH(QString, error);
    QString actual;
    QVERIFY(Snapshots::renderSnapshot(doc, QString(), QSize(100, 100), &actual).isNull());
    QCOMPARE(actual, error);
}

void tst_GamepadDefinder::renderDrawsPastillesOverThePicture()
{
    const QString picture = writePicture(path("picture.png"), QColor(0, 80, 0), QSize(400, 300));
    const QImage shot = Snapshots::renderSnapshot(snapshotDocument(), picture, QSize()).toImage();
    QCOMPARE(shot.size(), QSize(400, 300));
    QCOMPARE(shot.pixelColor(20, 20), QColor(0, 80, 0));
    const QColor pastille = shot.pixelColor(169, 150); // the body of an unbound pastille: orange
    QVERIFY2(pastille.red() > 150 && pastille.green() > 80 && pastille.blue() < 120,
             qPrintable(pastille.name()));
}

void tst_GamepadDefinder::cancelStopsAfterTheCurrentFile()
{
    const QVector<Snapshots::Item> items(
        5, Snapshots::Item{"Same", QString(), QString(), snapshotDocument(QSize(64, 48)), true});
    Snapshots::BatchProgress progress(nullptr, items.size());
    QList<int> steps;
    const Snapshots::Progress cancelAfterTwo = [&](int done, int total) {
        steps << done;
        if (done == 2)
            progress.dialog()->cancel();
        return progress.step(done, total);
    };
    int count = 0;
    QVERIFY(Snapshots::exportToFolder(path("cancelled"), items, QSize(), &count, nullptr, cancelAfterTwo));
    QCOMPARE(count, 2);
    QCOMPARE(steps, QList<int>({0, 1, 2}));
}

// Tab runs as the eye reads: the library column, the top bar from left to right, then the
// inspector from top to bottom, its slot editors included however late they were built.
void tst_GamepadDefinder::tabRunsLeftToRightTopToBottom()
{
    GamepadDefinder* editor = makeEditor();
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    editor->overlay()->selectNode(2); // the two-axis stick: a checkbox, a choice and two slots
    const auto learnShown = [editor]() {
        const auto buttons = editor->findChildren<QPushButton*>(QStringLiteral("learnButton"));
        return std::any_of(buttons.begin(), buttons.end(), [](QPushButton* b) { return b->isVisible(); });
    };
    QTRY_VERIFY(learnShown());
    editor->listWidget()->setFocus();
    QList<QPoint> stops;
    QStringList names;
    for (QWidget* w = editor->listWidget(); stops.size() < 40;) {
        const QPoint at = w->mapTo(editor, QPoint());
        // Left column, top bar, right panel; the pictured pastilles have no Tab stop.
        const int region = at.x() < 170 ? 0 : at.y() < 40 ? 1 : 2;
        stops.append(QPoint(region, region == 1 ? at.x() : at.y() * 10000 + at.x()));
        names.append(QStringLiteral("%1 %2").arg(w->metaObject()->className(), w->objectName()));
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
        QVERIFY(w);
        if (w == editor->listWidget())
            break;
    }
    QVERIFY2(stops.size() > 12, qPrintable(names.join(", ")));
    for (int i = 1; i < stops.size(); ++i) {
        const bool forward =
            stops.at(i).x() > stops.at(i - 1).x() ||
            (stops.at(i).x() == stops.at(i - 1).x() && stops.at(i).y() >= stops.at(i - 1).y());
        QVERIFY2(forward, qPrintable(names.mid(i - 1, 2).join(" then ")));
    }
}

QTEST_MAIN(tst_GamepadDefinder)
#include "tst_gamepaddefinder.moc"
