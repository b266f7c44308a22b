// The calibration page with a virtual "Joyrelay Demo Pad" moving its stick through a gate, pulling
// its trigger and holding a button: header and axis cards, the gate section, the buttons; then
// the guided calibration's rest, travel and summary steps.
#include "calibrationfiles.h"
#include "controlmanette.h"
#include "gallery.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadbuttoncalibrationwidget.h"
#include "gamepadconfigwidget.h"
#include "gamepadgatecalibrationwidget.h"
#include "guidedcalibrationdialog.h"
#include "profilestore.h"
#include "virtualjoystickbackend.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUuid>

#include <cmath>

using namespace GamepadCalibration;

namespace {

const DeviceIdentity kDemoPad{QStringLiteral("Joyrelay Demo Pad"), 0x045e, 0x028e};

// A definition of the demo pad in the shared area, as the editor would hand it to the page.
ProfileCalibrationContext writeDemoDefinition()
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString folder = QDir(ProfileStore::sharedProfilesRoot()).filePath(id);
    QDir().mkpath(folder);
    const QJsonObject meta{{QStringLiteral("type"), QStringLiteral("GamepadDefinderMeta")},
                           {QStringLiteral("version"), 4},
                           {QStringLiteral("id"), id},
                           {QStringLiteral("name"), QStringLiteral("Caméra drone")},
                           {QStringLiteral("deviceName"), kDemoPad.name},
                           {QStringLiteral("deviceNames"), QJsonArray{kDemoPad.name}},
                           {QStringLiteral("calibrationMode"), QStringLiteral("inherit")}};
    QFile file(QDir(folder).filePath(QStringLiteral("meta.json")));
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(meta).toJson());
    QFile config(QDir(folder).filePath(QStringLiteral("configActionGamepad.json")));
    if (config.open(QIODevice::WriteOnly))
        config.write("{}");

    ProfileCalibrationContext context;
    context.profileId = QUuid::fromString(id);
    context.profileName = QStringLiteral("Caméra drone");
    context.profileFolder = folder;
    context.deviceName = kDemoPad.name;
    context.vendorId = kDemoPad.vendorId;
    context.productId = kDemoPad.productId;
    context.scope = ProfileScope::Shared;
    return context;
}

// Base calibration: a trigger on axis 2, a softer right stick and a gate on the left stick.
void writeDemoBase()
{
    CalibrationSet set = defaultCalibration();
    set.axes[2].mode = AxisMode::Trigger;
    set.axes[2].restRaw = -100;
    set.axes[2].deadzoneRadius = 4;
    set.axes[3].curvePreset = CurvePreset::Soft;
    set.axes[3].deadzoneRadius = 12;
    set.buttons[0].emitOnRelease = true;
    set.buttons[0].debounceMs = 30;
    set.buttons[3].repeatOnPress = true;
    GateSettings gate = defaultGate(0);
    gate.source2dKey = QStringLiteral("stick_left");
    gate.radius = 45;
    gate.hysteresis = 6;
    set.gates.append(gate);
    saveCalibrationFile(baseCalibrationSavePath(kDemoPad), set, kDemoPad);
}

void scrollTo(GamepadConfigWidget& page, QWidget* target)
{
    auto* scroll = page.findChild<QScrollArea*>();
    scroll->verticalScrollBar()->setValue(target->mapTo(scroll->widget(), QPoint(0, 0)).y() - 6);
}

int runCalibration(const Gallery::Context& context)
{
    qApp->setProperty("hx.currentLogin", QStringLiteral("demo"));
    qApp->setProperty("hx.canEditSharedGamepads", true);

    auto pads = std::make_shared<VirtualJoystickBackend>(VirtualJoystickBackend::Clock::RealTime);
    VirtualJoystickBackend::Pad demo;
    demo.slot = 0;
    demo.name = kDemoPad.name;
    demo.vendorId = kDemoPad.vendorId;
    demo.productId = kDemoPad.productId;
    demo.axes = {0, 1, 2, 3, 4, 5};
    demo.buttons = 12;
    pads->plug(demo);
    JoystickBackends::install(pads);

    const ProfileCalibrationContext profile = writeDemoDefinition();
    writeDemoBase();
    ControlManette device(0, pads);
    device.setActiveProfileId(profile.profileId.toString(QUuid::WithoutBraces));
    device.connectDevice(QString());

    // The stick sweeps in and out of the gate, the trigger breathes, buttons 0 and 3 are held.
    // For the guided calibration: at rest with a little noise, then the left stick turning at
    // its ends, then the trigger pressed.
    enum Motion
    {
        Demo,
        Rest,
        Circles,
        Trigger
    } phase = Demo;
    QElapsedTimer clock;
    clock.start();
    QTimer motion;
    QObject::connect(&motion, &QTimer::timeout, [&]() {
        const double t = clock.elapsed() / 1000.0;
        if (phase != Demo) {
            const double noise = 0.6 * std::sin(t * 97);
            const double angle = phase == Circles ? t * 5.0 : 0;
            const double radius = phase == Circles ? 96 : 0;
            pads->setAxis(0, 0, float(1.2 + noise + radius * std::cos(angle)));
            pads->setAxis(0, 1, float(-0.8 - noise + radius * std::sin(angle)));
            pads->setAxis(0, 2, float(phase == Trigger ? -100 + 199 * std::fabs(std::sin(t * 2)) : -100));
            pads->setAxis(0, 3, float(noise));
            return;
        }
        pads->setAxis(0, 0, float(78 * std::cos(t * 1.3)));
        pads->setAxis(0, 1, float(-42 * std::sin(t * 1.3)));
        pads->setAxis(0, 2, float(-100 + 150 * (0.5 + 0.5 * std::sin(t * 2.1))));
        pads->setAxis(0, 3, float(35 * std::sin(t * 0.7)));
    });
    motion.start(16);
    pads->press(0, 0);
    pads->press(0, 3);

    GamepadConfigWidget page;
    page.setWindowTitle(QStringLiteral("Calibration"));
    page.resize(960, 860);
    page.setProfileContext(profile);
    page.setDevice(&device);
    page.setGateSources({{QStringLiteral("stick_left"), QStringLiteral("Stick gauche"), 0, 1},
                         {QStringLiteral("stick_right"), QStringLiteral("Stick droit"), 3, 4}});
    const QList<GamepadAxisCalibrationWidget*> axes = page.findChildren<GamepadAxisCalibrationWidget*>();
    axes.at(0)->setExpanded(true);
    axes.at(2)->setExpanded(true);

    const int wait = context.durationMs > 0 ? context.durationMs : 900;
    bool ok = Gallery::shoot(&page, context, QStringLiteral("calibration-axes.png"), wait);

    for (QLabel* title : page.findChildren<QLabel*>(QStringLiteral("sectionTitle"))) {
        if (title->text() == QLatin1String("Gates"))
            scrollTo(page, title->parentWidget());
    }
    ok = Gallery::shoot(&page, context, QStringLiteral("calibration-gates.png"), 700) && ok;

    const QList<GamepadButtonCalibrationWidget*> buttons =
        page.findChildren<GamepadButtonCalibrationWidget*>();
    buttons.at(0)->setExpanded(true);
    buttons.at(3)->setExpanded(true);
    Gallery::run(50);
    scrollTo(page, buttons.at(0));
    ok = Gallery::shoot(&page, context, QStringLiteral("calibration-buttons.png"), 500) && ok;

    phase = Rest;
    Gallery::run(100);
    page.startGuidedCalibration();
    auto* guided = page.findChild<GuidedCalibrationDialog*>();
    const auto next = [&](Motion following) {
        Gallery::run(100);
        phase = following;
        guided->goNext();
    };
    ok = guided && Gallery::shoot(guided, context, QStringLiteral("calibration-guided-rest.png"), 1200) && ok;
    Gallery::run(1000);
    next(Circles);
    ok = guided && Gallery::shoot(guided, context, QStringLiteral("calibration-guided-travel.png"), 1400) &&
         ok;
    next(Trigger);
    Gallery::run(1600);
    next(Rest);
    ok = guided && Gallery::shoot(guided, context, QStringLiteral("calibration-guided-summary.png"), 200) &&
         ok;
    if (guided)
        guided->reject();

    page.setDevice(nullptr);
    JoystickBackends::install(nullptr);
    return ok ? 0 : 1;
}

} // namespace

JOY_GALLERY_PAGE("calibration", "Calibration page: a moving demo pad, its axis, gate and button cards",
                 runCalibration);
