// Cost of one live refresh of the calibration page (every 30 ms on the GUI thread, beside the 10 ms
// sampler): 8 axis cards, 4 gate cards and 32 button cards fed by a connected virtual pad. Only
// the updateLiveValues() call is timed; moving the pad and painting happen between the calls.
#include "benchmain.h"
#include "calibrationfiles.h"
#include "controlmanette.h"
#include "gamepadconfigwidget.h"
#include "virtualjoystickbackend.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

using namespace GamepadCalibration;

namespace {

struct Rig
{
    std::shared_ptr<VirtualJoystickBackend> pads = std::make_shared<VirtualJoystickBackend>();
    std::unique_ptr<ControlManette> device;
    std::unique_ptr<GamepadConfigWidget> page;
    int tick = 0;

    Rig()
    {
        const DeviceIdentity identity{QStringLiteral("Bench Pad"), 0x045e, 0x028e};
        CalibrationSet set = defaultCalibration();
        QList<GateSource2D> sources;
        for (int g = 0; g < 4; ++g) {
            GateSettings gate = defaultGate(g);
            gate.xAxis = (2 * g) % 8;
            gate.yAxis = (2 * g + 1) % 8;
            gate.source2dKey = QStringLiteral("pastille_%1").arg(g);
            set.gates.append(gate);
            sources.append({gate.source2dKey, gate.source2dKey, gate.xAxis, gate.yAxis});
        }
        saveCalibrationFile(baseCalibrationSavePath(identity), set, identity);

        ProfileCalibrationContext profile;
        profile.profileId = QUuid::createUuid();
        profile.profileName = QStringLiteral("Bench");
        profile.profileFolder =
            QDir(ProfileStore::sharedProfilesRoot()).filePath(profile.profileId.toString());
        profile.deviceName = identity.name;
        profile.vendorId = identity.vendorId;
        profile.productId = identity.productId;

        VirtualJoystickBackend::Pad pad;
        pad.name = identity.name;
        pad.vendorId = identity.vendorId;
        pad.productId = identity.productId;
        pads->plug(pad);
        device = std::make_unique<ControlManette>(0, pads);
        device->connectDevice(QString());
        device->sample();

        page = std::make_unique<GamepadConfigWidget>();
        page->resize(1000, 900);
        page->setProfileContext(profile);
        page->setGateSources(sources);
        page->setDevice(device.get());
        page->show();
        settle();
    }

    // Paints and lays out what the last refresh asked for; timers do not run here.
    void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 0);
    }

    // A new reading for every axis (and the gates on them); buttons toggles some buttons.
    void move(int buttons)
    {
        ++tick;
        for (int a = 0; a < JoystickBackend::AxisCount; ++a)
            pads->setAxis(0, a, float(90 * std::sin(tick * 0.37 + a)));
        for (int b = 0; b < buttons; ++b)
            pads->setButton(0, b, tick % 2 == 0);
        pads->advanceClock(10);
        device->sample();
    }

    void timedRefresh(benchmark::State& state)
    {
        const auto start = std::chrono::steady_clock::now();
        page->updateLiveValues();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
};

// Built on first use, destroyed in main() while the application still exists.
std::unique_ptr<Rig>& rigHolder()
{
    static std::unique_ptr<Rig> shared;
    return shared;
}

Rig& rig()
{
    if (!rigHolder())
        rigHolder() = std::make_unique<Rig>();
    return *rigHolder();
}

void BM_LiveRefreshStill(benchmark::State& state)
{
    Rig& r = rig();
    r.page->updateLiveValues();
    r.settle();
    for (auto _ : state) {
        r.timedRefresh(state);
        r.settle();
    }
}
BENCHMARK(BM_LiveRefreshStill)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Every axis moves, so every axis card and gate card changes; two buttons change state.
void BM_LiveRefreshMoving(benchmark::State& state)
{
    Rig& r = rig();
    for (auto _ : state) {
        r.move(2);
        r.timedRefresh(state);
        r.settle();
    }
}
BENCHMARK(BM_LiveRefreshMoving)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The worst case: every axis moves and all 32 buttons change state in the same refresh.
void BM_LiveRefreshEverything(benchmark::State& state)
{
    Rig& r = rig();
    for (auto _ : state) {
        r.move(32);
        r.timedRefresh(state);
        r.settle();
    }
}
BENCHMARK(BM_LiveRefreshEverything)->UseManualTime()->Unit(benchmark::kMicrosecond);

// What switching to another definition costs: both files read again, 44 cards built, laid out
// and painted (the event processing that shows them is timed too).
void BM_ReloadAndShow(benchmark::State& state)
{
    Rig& r = rig();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        r.page->reload();
        r.settle();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_ReloadAndShow)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true); // the calibration files stay out of the user's data
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setProperty("hx.currentLogin", QStringLiteral("bench"));
    app.setProperty("hx.canEditSharedGamepads", true);
    QDir(ProfileStore::dataRoot()).removeRecursively();
    const int status = runBenchmarks(argc, argv);
    rigHolder().reset();
    return status;
}
