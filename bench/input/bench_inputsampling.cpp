// Per-tick cost of one gamepad device on the virtual backend (the sampler runs 100 times a second
// per device on the GUI thread). Heap allocations inside the timed loops are counted.
#include "controlmanette.h"
#include "virtualjoystickbackend.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "allocationcounter.h"
#include "benchmain.h"

#include <benchmark/benchmark.h>

namespace {

// One connected device with all 8 axes and 32 buttons, default calibration, and a host-like
// receiver on the numeric dataChanged.
struct Rig
{
    std::shared_ptr<VirtualJoystickBackend> pads = std::make_shared<VirtualJoystickBackend>();
    std::unique_ptr<ControlManette> device;
    qsizetype received = 0;

    Rig()
    {
        VirtualJoystickBackend::Pad pad;
        pad.name = QStringLiteral("Bench Pad");
        pad.vendorId = 0x045e;
        pad.productId = 0x028e;
        pads->plug(pad);
        device = std::make_unique<ControlManette>(0, pads);
        device->connectDevice(QString());
        QObject::connect(
            device.get(),
            qOverload<int, int, const QStringList&, const QVariantList&>(&IComInterface::dataChanged),
            [this](int, int, const QStringList& keys, const QVariantList&) { received += keys.size(); });
        device->sample();
    }
};

void BM_SampleSteady(benchmark::State& state)
{
    Rig rig;
    AllocationCounter counter(state);
    for (auto _ : state) {
        rig.pads->advanceClock(10);
        rig.device->sample();
    }
    benchmark::DoNotOptimize(rig.received);
}
BENCHMARK(BM_SampleSteady);

void BM_SampleFullChange(benchmark::State& state)
{
    Rig rig;
    bool high = false;
    for (auto _ : state) {
        state.PauseTiming();
        high = !high;
        for (int a = 0; a < JoystickBackend::AxisCount; ++a)
            rig.pads->setAxis(0, a, high ? 80.f : -80.f);
        for (int b = 0; b < JoystickBackend::ButtonCount; ++b)
            rig.pads->setButton(0, b, high);
        rig.pads->advanceClock(10);
        state.ResumeTiming();
        rig.device->sample();
    }
    benchmark::DoNotOptimize(rig.received);
    state.counters["keys/tick"] =
        benchmark::Counter(double(rig.received), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SampleFullChange);

} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true); // calibration look-ups stay out of the user's data
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
