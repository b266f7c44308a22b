// The calibration page: which file it edits, when it writes it, what its header allows, and how it
// survives broken files, failed writes and a device that goes away.
#include "calibrationfiles.h"
#include "controlmanette.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadbuttoncalibrationwidget.h"
#include "gamepadconfigwidget.h"
#include "gamepadgatecalibrationwidget.h"
#include "guidedcalibrationdialog.h"
#include "scripteddialogs.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>
#include <QUuid>

using namespace GamepadCalibration;

namespace {

// The page's style sheet keeps the host theme's "@color...@" placeholders, which Qt cannot parse
// without the host; that warning says nothing about the code under test.
void ignoreUnresolvedTheme()
{
    static QtMessageHandler previous = nullptr;
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith(QLatin1String("Could not parse stylesheet")) && previous)
                previous(type, context, text);
        });
}

const DeviceIdentity kPad{QStringLiteral("Test Pad"), 0x045e, 0x028e};

// A definition folder in the shared area, described as the editor would hand it over.
ProfileCalibrationContext makeProfile(const QString& mode = QStringLiteral("inherit"))
{
    const TestSupport::Definition def = TestSupport::writeDefinition(
        ProfileStore::sharedProfilesRoot(), QJsonObject{{QStringLiteral("name"), QStringLiteral("Drone")},
                                                        {QStringLiteral("deviceName"), kPad.name}});
    return {QUuid::fromString(def.id),
            QStringLiteral("Drone"),
            def.folder,
            kPad.name,
            kPad.vendorId,
            kPad.productId,
            ProfileScope::Shared,
            mode,
            QString()};
}

// Writes the base file of the test pad where the page saves it; returns its path.
QString writeBase(const CalibrationSet& set)
{
    const QString path = baseCalibrationSavePath(kPad);
    saveCalibrationFile(path, set, kPad);
    return path;
}

CalibrationSet readSet(const QString& path)
{
    CalibrationSet set;
    loadCalibrationFile(path, &set);
    return set;
}

QString hint(const GamepadConfigWidget& page)
{
    return page.findChild<QLabel*>(QStringLiteral("hintLabel"))->text();
}

bool enabled(const GamepadConfigWidget& page, const char* name)
{
    return page.findChild<QWidget*>(QLatin1String(name))->isEnabled();
}

QDoubleSpinBox* spin(const GamepadConfigWidget& page, int axis, const char* name)
{
    return page.findChildren<GamepadAxisCalibrationWidget*>().at(axis)->findChild<QDoubleSpinBox*>(
        QLatin1String(name));
}

CalibrationSet baseWithDeadzone(double deadzone)
{
    CalibrationSet set = defaultCalibration();
    set.axes[0].deadzoneRadius = deadzone;
    return set;
}

} // namespace

class tst_GamepadConfigWidget : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ignoreUnresolvedTheme(); }
    void init() { m_data = std::make_unique<TestSupport::DataRoot>(); }
    void hostFacingInterface();
    void overrideComesFromBaseAndGoesBackToIt();
    void fiveQuickEditsWriteOneFile();
    void gateSourcesRepairAndAddGates();
    void headerRules_data();
    void headerRules();
    void liveValuesAndVanishingDevice();
    void brokenFilesAreReported_data();
    void brokenFilesAreReported();
    void failedSaveKeepsLastGoodFile();
    void copyGateToolsResetAndClose();
    void baseEditsLandInTheFileResolutionReads();
    void headerButtonsAskFirst_data();
    void headerButtonsAskFirst();
    void guidedCalibrationSavesOnceOrNothing_data();
    void guidedCalibrationSavesOnceOrNothing();

private:
    std::unique_ptr<TestSupport::DataRoot> m_data;
};

// The editor and the host find the page's signals and slots by name, in this order.
void tst_GamepadConfigWidget::hostFacingInterface()
{
    const QMetaObject& meta = GamepadConfigWidget::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        methods << QString::fromLatin1(meta.method(i).methodSignature());
    QCOMPARE(
        methods,
        (QStringList{"calibrationSaved()", "profileCalibrationMetadataChanged(QString,QString,uint,uint)",
                     "updateLiveValues()", "onScopeComboChanged(int)", "captureRestForAll()",
                     "copyBaseToProfile()", "deleteOverride()", "resetCurrentCalibration()", "flushSave()"}));
    std::unique_ptr<QObject> page(meta.newInstance());
    QVERIFY(qobject_cast<GamepadConfigWidget*>(page.get()));
    QCOMPARE(page->objectName(), QStringLiteral("gamepadConfigRoot"));
}

// Switching to the profile scope copies the base into a new override; deleting the override,
// edited since, returns the page to the base.
void tst_GamepadConfigWidget::overrideComesFromBaseAndGoesBackToIt()
{
    writeBase(baseWithDeadzone(12));
    const ProfileCalibrationContext profile = makeProfile();
    const QString overridePath = profile.profileFolder + QStringLiteral("/calibration.override.json");
    GamepadConfigWidget page;
    page.setProfileContext(profile);
    QCOMPARE(page.editScope(), 0);
    QSignalSpy metadata(&page, &GamepadConfigWidget::profileCalibrationMetadataChanged);
    // The header says which file an edit goes to and whom it affects.
    const auto edits = [&page] { return page.findChild<QLabel*>(QStringLiteral("targetLabel"))->text(); };
    QCOMPARE(edits(),
             QStringLiteral("Édite %1 : la calibration de base de la manette, pour toutes ses définitions")
                 .arg(QFileInfo(page.targetPath()).fileName()));

    page.findChild<QComboBox*>(QStringLiteral("scopeCombo"))->setCurrentIndex(1);

    QCOMPARE(readSet(overridePath), sanitized(baseWithDeadzone(12)));
    QCOMPARE(static_cast<QList<QVariantList>>(metadata),
             (QList<QVariantList>{{QStringLiteral("override"), QStringLiteral("calibration.override.json"),
                                   kPad.vendorId, kPad.productId}}));
    QCOMPARE(page.editScope(), 1);
    QCOMPARE(page.targetPath(), overridePath);
    QVERIFY2(edits().startsWith(QStringLiteral(
                 "Édite calibration.override.json : la calibration propre à la définition « ")),
             qPrintable(edits()));
    QVERIFY(enabled(page, "deleteOverrideButton"));

    spin(page, 0, "deadzoneSpin")->setValue(30);
    page.flushSave();
    QCOMPARE(readSet(overridePath).axes[0].deadzoneRadius, 30.0);
    metadata.clear();
    QSignalSpy saved(&page, &GamepadConfigWidget::calibrationSaved);

    page.deleteOverride();

    QVERIFY(!QFileInfo::exists(overridePath));
    QCOMPARE(metadata.count(), 1);
    QCOMPARE(metadata.at(0).mid(0, 2), (QVariantList{QStringLiteral("inherit"), QString()}));
    QCOMPARE(saved.count(), 1);
    QCOMPARE(page.editScope(), 0);
    QCOMPARE(spin(page, 0, "deadzoneSpin")->value(), 12.0);
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("sourceLabel"))->text(), QStringLiteral("Source: Base"));
    QVERIFY(!enabled(page, "deleteOverrideButton"));
}

void tst_GamepadConfigWidget::fiveQuickEditsWriteOneFile()
{
    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    const QString base = baseCalibrationSavePath(kPad);
    QSignalSpy saved(&page, &GamepadConfigWidget::calibrationSaved);

    QElapsedTimer sinceLastEdit;
    for (int i = 1; i <= 5; ++i) {
        spin(page, 2, "deadzoneSpin")->setValue(10 + i);
        sinceLastEdit.start();
    }
    QVERIFY(!QFileInfo::exists(base));
    QVERIFY(saved.wait(5000));
    QVERIFY2(sinceLastEdit.elapsed() >= GamepadConfigWidget::SaveDelayMs,
             qPrintable(QString::number(sinceLastEdit.elapsed())));
    QCOMPARE(saved.count(), 1);
    QCOMPARE(readSet(base).axes[2].deadzoneRadius, 15.0);
}

// The pastilles arrive after the file: a gate that lost its pastille follows its axes to the new
// one, and a new gate takes the first pastille and the next free key.
void tst_GamepadConfigWidget::gateSourcesRepairAndAddGates()
{
    CalibrationSet set = defaultCalibration();
    set.gates = {GateSettings{true, QStringLiteral("gate_0"), QString()},
                 GateSettings{true, QStringLiteral("gate_7"), QString()},
                 GateSettings{true, QStringLiteral("left"), QStringLiteral("old_pastille"), 2, 3}};
    const QString base = writeBase(set);
    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    QSignalSpy saved(&page, &GamepadConfigWidget::calibrationSaved);
    auto* add = page.findChild<QToolButton*>(QStringLiteral("addGateButton"));
    QVERIFY(!add->isEnabled()); // no two-axis pastille yet

    page.setGateSources({{QStringLiteral("stick_r"), QStringLiteral("Stick droit"), 2, 3}});
    QCOMPARE(page.currentCalibration().gates.at(2).source2dKey, QStringLiteral("stick_r"));
    QCOMPARE(page.currentCalibration().gates.at(0).source2dKey, QString()); // axes 0/1 match nothing
    add->click();

    const QList<GateSettings> gates = page.currentCalibration().gates;
    QCOMPARE(gates.size(), 4);
    QCOMPARE((QStringList{gates.last().key, gates.last().source2dKey}),
             (QStringList{QStringLiteral("gate_8"), QStringLiteral("stick_r")}));
    QCOMPARE((QList<int>{gates.last().xAxis, gates.last().yAxis}), (QList<int>{2, 3}));
    QTRY_COMPARE(page.findChildren<GamepadGateCalibrationWidget*>().size(), 4);
    QVERIFY(saved.wait(5000));
    QCOMPARE(readSet(base).gates, gates);
}

void tst_GamepadConfigWidget::headerRules_data()
{
    QTest::addColumn<bool>("withDevice");
    QTest::addColumn<bool>("withProfile");
    QTest::addColumn<QString>("deviceText");
    QTest::addColumn<QString>("hintText");
    QTest::addColumn<QList<bool>>("enabledState"); // combo, Base, Profil, capture, reset, copy

    QTest::newRow("no device and no identity")
        << false << false << "Aucune manette liee | VID 0x0000 PID 0x0000 | deconnectee"
        << "Profil requis pour override" << QList<bool>{false, false, false, false, false, false};
    QTest::newRow("profile without device")
        << false << true << "Test Pad | VID 0x045e PID 0x028e | deconnectee"
        << "Deconnectee: captures off" << QList<bool>{true, true, true, false, true, true};
    QTest::newRow("connected device without profile")
        << true << false << "Test Pad | VID 0x045e PID 0x028e | connectee"
        << "Profil requis pour override" << QList<bool>{true, true, false, true, true, false};
}

void tst_GamepadConfigWidget::headerRules()
{
    QFETCH(bool, withDevice);
    QFETCH(bool, withProfile);
    auto pads = std::make_shared<VirtualJoystickBackend>();
    pads->plug({0, kPad.name, kPad.vendorId, kPad.productId});
    ControlManette pad(0, pads);
    pad.connectDevice(QString());

    GamepadConfigWidget page;
    if (withDevice)
        page.setDevice(&pad);
    if (withProfile)
        page.setProfileContext(makeProfile());
    page.updateLiveValues();

    auto* combo = page.findChild<QComboBox*>(QStringLiteral("scopeCombo"));
    auto* items = qobject_cast<QStandardItemModel*>(combo->model());
    const QList<bool> state{combo->isEnabled(),
                            items->item(0)->isEnabled(),
                            items->item(1)->isEnabled(),
                            enabled(page, "captureRestAllButton"),
                            enabled(page, "resetCalibrationButton"),
                            enabled(page, "copyBaseToProfileButton")};
    QFETCH(QList<bool>, enabledState);
    QCOMPARE(state, enabledState);
    QFETCH(QString, deviceText);
    QCOMPARE(page.findChildren<QLabel*>(QStringLiteral("metaLabel")).at(1)->text(), deviceText);
    QFETCH(QString, hintText);
    QCOMPARE(hint(page), hintText);
    QCOMPARE(page.findChildren<QLabel*>(QStringLiteral("metaLabel")).at(0)->text(),
             withProfile ? QStringLiteral("Profil: Drone (shared)")
                         : QStringLiteral("Profil: Aucun profil selectionne"));

    // A blank identity cannot be the Base target: the combo refuses and stays where it was.
    if (!withDevice && !withProfile) {
        combo->setCurrentIndex(1);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(page.targetPath(), QString());
    }
}

void tst_GamepadConfigWidget::liveValuesAndVanishingDevice()
{
    auto pads = std::make_shared<VirtualJoystickBackend>();
    pads->plug({0, kPad.name, kPad.vendorId, kPad.productId, {0, 1, 2, 3}, 12});
    auto pad = std::make_unique<ControlManette>(0, pads);
    pad->connectDevice(QString());
    pads->setAxis(0, 1, 42.5f);
    pad->sample();

    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    page.setDevice(pad.get());
    page.updateLiveValues();
    auto* card = page.findChildren<GamepadAxisCalibrationWidget*>().at(1);
    QCOMPARE(card->liveRaw(), 42.5);
    QCOMPARE(card->findChildren<QLabel*>(QStringLiteral("metricLabel")).at(0)->text(),
             QStringLiteral("raw:   42.5"));
    QCOMPARE(hint(page), QStringLiteral("Pret"));
    // The inputs this pad lacks are marked on their cards (4 axes and 12 buttons here).
    const auto marked = [](QWidget* card) {
        return !card->findChild<QLabel*>(QStringLiteral("absentMark"))->isHidden();
    };
    const auto axes = page.findChildren<GamepadAxisCalibrationWidget*>();
    const auto buttons = page.findChildren<GamepadButtonCalibrationWidget*>();
    QVERIFY(!marked(axes.at(3)) && marked(axes.at(4)) && marked(axes.at(7)));
    QVERIFY(!marked(buttons.at(11)) && marked(buttons.at(12)) && marked(buttons.at(31)));

    page.captureRestForAll();
    QCOMPARE(page.currentCalibration().axes.at(1).restRaw, 42.5);

    pad.reset(); // pulled out and deleted while the page is open
    page.updateLiveValues();
    card = page.findChildren<GamepadAxisCalibrationWidget*>().at(1);
    QCOMPARE(card->liveRaw(), 0.0);
    QVERIFY(!enabled(page, "captureRestAllButton"));
    QCOMPARE(hint(page), QStringLiteral("Deconnectee: captures off"));
    page.captureRestForAll(); // ignored without a device
    QCOMPARE(page.currentCalibration().axes.at(1).restRaw, 42.5);
    page.flushSave();
    QCOMPARE(readSet(baseCalibrationSavePath(kPad)).axes.at(1).restRaw, 42.5);
}

void tst_GamepadConfigWidget::brokenFilesAreReported_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("truncated") << QByteArray(R"({"type": "GamepadCalibration", "axes": [)");
    QTest::newRow("another document type") << QByteArray(R"({"type": "Something", "axes": []})");
    QTest::newRow("not an object") << QByteArray("[1, 2]");
}

void tst_GamepadConfigWidget::brokenFilesAreReported()
{
    QFETCH(QByteArray, content);
    const QString base = baseCalibrationSavePath(kPad);
    TestSupport::writeFile(base, content);
    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    page.updateLiveValues(); // the message outlives the live refresh
    QVERIFY2(hint(page).startsWith(QFileInfo(base).fileName() + QStringLiteral(" : ")),
             qPrintable(hint(page)));
    QCOMPARE(page.currentCalibration(), defaultCalibration());

    spin(page, 0, "restSpin")->setValue(4);
    page.flushSave();
    QCOMPARE(hint(page), QStringLiteral("Deconnectee: captures off"));
    QCOMPARE(readSet(base).axes.at(0).restRaw, 4.0);
}

void tst_GamepadConfigWidget::failedSaveKeepsLastGoodFile()
{
    const QString base = writeBase(baseWithDeadzone(12));
    const QByteArray good = TestSupport::readFile(base);
    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    QSignalSpy saved(&page, &GamepadConfigWidget::calibrationSaved);
    spin(page, 0, "deadzoneSpin")->setValue(20);

    // A disk that fills up mid-write: the file size limit stops the write.
    {
        TestSupport::FileSizeLimit limit(512);
        page.flushSave();
    }

    QCOMPARE(saved.count(), 0);
    // In French, naming the file.
    QCOMPARE(hint(page), QStringLiteral("Écriture incomplète dans %1").arg(base));
    QCOMPARE(TestSupport::readFile(base), good);

    // The edit is still pending and reaches the file once writing works again.
    page.flushSave();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(readSet(base).axes.at(0).deadzoneRadius, 20.0);
}

void tst_GamepadConfigWidget::copyGateToolsResetAndClose()
{
    CalibrationSet base = baseWithDeadzone(12);
    base.gates = {GateSettings{true, QStringLiteral("gate_0"), QStringLiteral("left")},
                  GateSettings{true, QStringLiteral("gate_1"), QStringLiteral("left")}};
    const QString basePath = writeBase(base);
    const ProfileCalibrationContext profile = makeProfile(QStringLiteral("Override"));
    const QString overridePath = profile.profileFolder + QStringLiteral("/calibration.override.json");
    saveCalibrationFile(overridePath, baseWithDeadzone(30), kPad);
    auto pads = std::make_shared<VirtualJoystickBackend>();
    pads->plug({0, kPad.name, kPad.vendorId, kPad.productId});
    ControlManette pad(0, pads);
    pad.connectDevice(QString());
    auto page = std::make_unique<GamepadConfigWidget>();
    page->setProfileContext(profile);
    page->setDevice(&pad);
    page->setGateSources({{QStringLiteral("left"), QStringLiteral("Gauche"), 0, 1}});
    QCOMPARE(page->editScope(), 1); // a profile in override mode opens on its override
    QCOMPARE(spin(*page, 0, "deadzoneSpin")->value(), 30.0);
    QSignalSpy metadata(page.get(), &GamepadConfigWidget::profileCalibrationMetadataChanged);

    // The copy takes the base as it stands, also over an override that exists.
    page->copyBaseToProfile();
    QCOMPARE(page->editScope(), 1);
    QCOMPARE(metadata.last().at(0).toString(), QStringLiteral("override"));
    QCOMPARE(readSet(overridePath).axes.at(0).deadzoneRadius, 12.0);

    // Gate tools: the centre comes from the live stick; removing the first gate keeps the second.
    pads->setAxis(0, 0, 60);
    pad.sample();
    page->updateLiveValues();
    const auto gateButton = [&](int gate, const char* name) {
        return page->findChildren<GamepadGateCalibrationWidget*>().at(gate)->findChild<QToolButton*>(name);
    };
    gateButton(1, "captureCentreButton")->click();
    QCOMPARE(page->currentCalibration().gates.at(1).centerX, pad.axisValue(0));
    QVERIFY(pad.axisValue(0) > 50);
    gateButton(0, "removeGateButton")->click();
    QCOMPARE(page->currentCalibration().gates.size(), 1);
    QCOMPARE(page->currentCalibration().gates.at(0).key, QStringLiteral("gate_1"));
    QCOMPARE(page->findChildren<GamepadGateCalibrationWidget*>().size(), 1);

    // Reset, then leave the profile: the pending reset is written to the override first.
    page->resetCurrentCalibration();
    QCOMPARE(page->currentCalibration(), defaultCalibration());
    page->clearProfileContext();
    QCOMPARE(readSet(overridePath), defaultCalibration());
    QCOMPARE(page->editScope(), 0);
    QCOMPARE(hint(*page), QStringLiteral("Profil requis pour override"));

    // Closing the page within the save delay still writes the edit.
    spin(*page, 3, "restSpin")->setValue(-7);
    page.reset();
    QCOMPARE(readSet(basePath).axes.at(3).restRaw, -7.0);
}

// With the shared right, a personal base file is the one resolution reads: edits go there.
void tst_GamepadConfigWidget::baseEditsLandInTheFileResolutionReads()
{
    m_data = std::make_unique<TestSupport::DataRoot>(QStringLiteral("alice"), true);
    const QString personal =
        QDir(ProfileStore::userProfilesRoot())
            .filePath(QStringLiteral("_deviceCalibration/") + baseCalibrationFileName(kPad));
    QVERIFY(saveCalibrationFile(personal, baseWithDeadzone(5), kPad));
    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    QCOMPARE(page.targetPath(), personal);
    spin(page, 0, "deadzoneSpin")->setValue(21);
    page.flushSave();
    const ResolvedCalibration resolved = resolveCalibration(kPad, page.profileContext(), 8, 32);
    QCOMPARE(resolved.sourcePath, personal);
    QCOMPARE(resolved.calibration.axes.at(0).deadzoneRadius, 21.0);
}

void tst_GamepadConfigWidget::headerButtonsAskFirst_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("question");
    QTest::newRow("reset of an override names the profile alone")
        << "resetCalibrationButton" << 1 << "Réinitialiser la calibration propre au profil « Drone » ?";
    QTest::newRow("reset of the base names every profile of the pad")
        << "resetCalibrationButton" << 0 << "Tous les profils de cette manette";
    QTest::newRow("deleting the override says the base comes back")
        << "deleteOverrideButton" << 1 << "Le profil reprendra la calibration de base";
}

// A click on reset or delete asks first (No changes nothing); the slots called by name act at once.
void tst_GamepadConfigWidget::headerButtonsAskFirst()
{
    QFETCH(QString, button);
    QFETCH(int, scope);
    QFETCH(QString, question);
    ScriptedDialogs dialogs;
    EditorDialogService::install(&dialogs);
    writeBase(baseWithDeadzone(12));
    const ProfileCalibrationContext profile = makeProfile(scope ? QStringLiteral("override") : QString());
    const QString overridePath = profile.profileFolder + QStringLiteral("/calibration.override.json");
    saveCalibrationFile(overridePath, baseWithDeadzone(30), kPad);
    GamepadConfigWidget page;
    page.setProfileContext(profile);
    const QString target = page.targetPath();
    const QByteArray before = TestSupport::readFile(target);
    auto* tool = page.findChild<QToolButton*>(button);
    dialogs.answers = {false};
    tool->click();
    page.flushSave();
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY2(dialogs.shown.at(0).startsWith("question|Calibration|"), qPrintable(dialogs.shown.at(0)));
    QVERIFY2(dialogs.shown.at(0).contains(question), qPrintable(dialogs.shown.at(0)));
    QCOMPARE(TestSupport::readFile(target), before);
    dialogs.answers = {true};
    tool->click();
    page.flushSave();
    QVERIFY(TestSupport::readFile(target) != before || !QFileInfo::exists(target));
    EditorDialogService::install(nullptr);
    page.resetCurrentCalibration();
    QCOMPARE(dialogs.shown.size(), 2);
}

void tst_GamepadConfigWidget::guidedCalibrationSavesOnceOrNothing_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("Apply saves what was measured, once, into the base") << "apply";
    QTest::newRow("Cancel writes nothing") << "cancel";
    QTest::newRow("a pad pulled out midway stops the guide and writes nothing") << "unplug";
    QTest::newRow("a page moved to another file meanwhile does not take the result") << "retarget";
}

// The whole guide on a virtual pad driven through its clock: a noisy X at rest, the left stick
// turned round at its ends, a trigger on Z pressed fully.
void tst_GamepadConfigWidget::guidedCalibrationSavesOnceOrNothing()
{
    QFETCH(QString, ending);
    const QString basePath = writeBase(defaultCalibration());
    const QByteArray baseBefore = TestSupport::readFile(basePath);
    auto pads = std::make_shared<VirtualJoystickBackend>();
    pads->plug({0, kPad.name, kPad.vendorId, kPad.productId, {0, 1, 2, 3}, 12});
    auto pad = std::make_unique<ControlManette>(0, pads);
    pad->connectDevice(QString());
    pad->sample();
    GamepadConfigWidget page;
    page.setProfileContext(makeProfile());
    page.setDevice(pad.get());
    page.updateLiveValues();
    QSignalSpy saved(&page, &GamepadConfigWidget::calibrationSaved);

    page.findChild<QToolButton*>(QStringLiteral("guidedCalibrationButton"))->click();
    auto* dialog = page.findChild<GuidedCalibrationDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    const auto play = [&](double x, double y, double z) {
        pads->setAxis(0, 0, float(x));
        pads->setAxis(0, 1, float(y));
        pads->setAxis(0, 2, float(z));
        pads->advanceClock(GuidedCalibrationDialog::SampleIntervalMs);
        pad->sample();
        dialog->sample();
    };
    auto* next = dialog->findChild<QPushButton*>(QStringLiteral("guidedNextButton"));
    for (int i = 0; i <= 200; ++i)
        play(i % 2 ? 1.4 : 0.6, 0, -100);
    next->click();
    for (int degree = 0; degree < 720; degree += 2)
        play(96 * std::cos(degree * M_PI / 180), 96 * std::sin(degree * M_PI / 180), -100);
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("guidedCircularity"))->text(),
             QStringLiteral("X / Y : circularité 99 %")); // the rest sits 1 off the middle
    next->click();
    for (double z : {-100.0, 0.0, 99.0, -100.0})
        play(0, 0, z);
    next->click();
    QVERIFY(
        dialog->findChild<QLabel*>(QStringLiteral("summary_2"))->text().contains(QStringLiteral("gâchette")));
    QVERIFY(!dialog->findChild<QLabel*>(QStringLiteral("summary_5"))); // the pad has no V axis
    QCOMPARE(saved.count(), 0);

    auto* apply = dialog->findChild<QPushButton*>(QStringLiteral("guidedApplyButton"));
    if (ending == "apply") {
        apply->click();
        QCOMPARE(saved.count(), 1);
        QVERIFY(!page.hasPendingEdit());
        const CalibrationSet written = readSet(basePath);
        QCOMPARE(written.axes.at(0).restRaw, 1.0);
        QCOMPARE(written.axes.at(0).deadzoneRadius, 2.5);
        QCOMPARE(written.axes.at(0).negativeRaw, -96.0);
        QCOMPARE(written.axes.at(2).mode, AxisMode::Trigger);
        QCOMPARE(written.axes.at(2).activeRaw, 99.0);
        QCOMPARE(written.axes.at(5), defaultCalibration().axes.at(5)); // an axis the pad lacks
        QCOMPARE(page.currentCalibration(), written);
        return;
    }
    if (ending == "cancel") {
        dialog->reject();
    } else if (ending == "unplug") {
        pad.reset();
        dialog->sample();
        QVERIFY(!apply->isEnabled());
        QVERIFY(dialog->findChild<QLabel*>(QStringLiteral("guidedStatus"))
                    ->text()
                    .contains(QStringLiteral("déconnectée")));
        dialog->reject();
    } else {
        page.onScopeComboChanged(1); // now edits the definition's own override
        saved.clear();
        apply->click();
        QVERIFY(hint(page).contains(QStringLiteral("non appliquée")));
    }
    QCOMPARE(saved.count(), 0);
    QCOMPARE(TestSupport::readFile(basePath), baseBefore);
    QVERIFY(!page.hasPendingEdit());
}

QTEST_MAIN(tst_GamepadConfigWidget)
#include "tst_gamepadconfigwidget.moc"
