// Per-poll calibration costs (the sampler runs them 100 times a second per device) and the cost
// of reading a full calibration document. Heap allocations inside the timed loops are counted.
#include "calibrationprocessing.h"
#include "calibrationsettings.h"

#include <QJsonDocument>

#include "allocationcounter.h"

#include <benchmark/benchmark.h>

#include <array>

using namespace GamepadCalibration;

namespace {

// Readings spread over the whole travel, dead zone included.
constexpr std::array<double, 8> kRaw{-100.0, -61.5, -7.9, 0.0, 3.2, 12.0, 54.0, 99.5};

void runProcessAxis(benchmark::State& state, const AxisSettings& settings)
{
    std::size_t i = 0;
    AllocationCounter counter(state);
    for (auto _ : state) {
        AxisProcessResult r = processAxis(settings, kRaw[i++ & 7]);
        benchmark::DoNotOptimize(r);
    }
}

void BM_ProcessAxisLinear(benchmark::State& state)
{
    runProcessAxis(state, AxisSettings());
}
BENCHMARK(BM_ProcessAxisLinear);

void BM_ProcessAxisSoftCurve(benchmark::State& state)
{
    AxisSettings settings;
    settings.curvePreset = CurvePreset::Soft;
    settings.outputScale = 2.0;
    runProcessAxis(state, settings);
}
BENCHMARK(BM_ProcessAxisSoftCurve);

void BM_ProcessAxisTrigger(benchmark::State& state)
{
    AxisSettings settings;
    settings.mode = AxisMode::Trigger;
    settings.restRaw = -100.0;
    runProcessAxis(state, settings);
}
BENCHMARK(BM_ProcessAxisTrigger);

void BM_AxisOutputChanged(benchmark::State& state)
{
    const AxisProcessResult r = processAxis(AxisSettings(), 54.0);
    double last = 49.0;
    AllocationCounter counter(state);
    for (auto _ : state) {
        AxisChange c = axisOutputChanged(r, last, false, 0.5);
        benchmark::DoNotOptimize(c);
        last = 50.0 - last * 1e-3;
    }
}
BENCHMARK(BM_AxisOutputChanged);

void BM_EvaluateGate(benchmark::State& state)
{
    GateSettings gate = defaultGate(0);
    gate = sanitized(CalibrationSet{{}, {}, {gate}}).gates.at(0);
    std::array<double, 8> values{};
    bool inside = false;
    std::size_t i = 0;
    AllocationCounter counter(state);
    for (auto _ : state) {
        values[0] = kRaw[i & 7];
        values[1] = kRaw[(i + 3) & 7];
        ++i;
        GateEvaluation e = evaluateGate(gate, values.data(), qsizetype(values.size()), inside);
        inside = e.inside;
        benchmark::DoNotOptimize(e);
    }
}
BENCHMARK(BM_EvaluateGate);

// One poll of one held button with auto-repeat armed: the sampler's per-button work.
void BM_StepButton(benchmark::State& state)
{
    ButtonSettings settings;
    settings.repeatOnPress = true;
    ButtonState buttonState;
    qint64 now = 0;
    stepButton(settings, buttonState, true, now);
    AllocationCounter counter(state);
    for (auto _ : state) {
        now += 10;
        ButtonStepResult r = stepButton(settings, buttonState, true, now);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_StepButton);

QJsonObject fullDocument()
{
    CalibrationSet set = defaultCalibration(8, 32);
    set.axes[2].mode = AxisMode::Trigger;
    set.axes[3].curvePreset = CurvePreset::Custom;
    set.buttons[4].repeatOnPress = true;
    for (int g = 0; g < 4; ++g) {
        GateSettings gate = defaultGate(g);
        gate.xAxis = (2 * g) % 8;
        gate.yAxis = (2 * g + 1) % 8;
        set.gates.append(gate);
    }
    return calibrationToJson(set, {QStringLiteral("Bench Pad"), 0x45e, 0x28e}, QStringLiteral("profile"));
}

// A full 8-axis / 32-button / 4-gate document, already parsed into a JSON object.
void BM_CalibrationFromJson(benchmark::State& state)
{
    const QJsonObject document = fullDocument();
    for (auto _ : state) {
        bool ok = false;
        CalibrationSet set = calibrationFromJson(document, &ok, nullptr, 8, 32);
        benchmark::DoNotOptimize(set);
    }
}
BENCHMARK(BM_CalibrationFromJson)->Unit(benchmark::kMicrosecond);

// The same document from its indented file text, JSON parsing included.
void BM_CalibrationFromFileText(benchmark::State& state)
{
    const QByteArray text = QJsonDocument(fullDocument()).toJson(QJsonDocument::Indented);
    for (auto _ : state) {
        bool ok = false;
        CalibrationSet set = calibrationFromJson(QJsonDocument::fromJson(text).object(), &ok, nullptr, 8, 32);
        benchmark::DoNotOptimize(set);
    }
}
BENCHMARK(BM_CalibrationFromFileText)->Unit(benchmark::kMicrosecond);

void BM_CalibrationToJson(benchmark::State& state)
{
    bool ok = false;
    const CalibrationSet set = calibrationFromJson(fullDocument(), &ok, nullptr, 8, 32);
    for (auto _ : state) {
        QJsonObject document = calibrationToJson(set, {QStringLiteral("Bench Pad"), 0x45e, 0x28e});
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK(BM_CalibrationToJson)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
