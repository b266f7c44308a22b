#include "calibrationprocessing.h"

#include <cmath>

namespace GamepadCalibration {

namespace {

// Travel shorter than this (raw units) cannot be normalised.
constexpr double kMinSpan = 0.001;
// Repeat timing never runs faster than every 10 ms.
constexpr qint64 kMinRepeatIntervalMs = 10;

// Same rule as the sanitising pass: hi when above hi, then at least lo, so NaN ends at lo.
double clampTo(double value, double lo, double hi)
{
    if (value > hi)
        value = hi;
    return value > lo ? value : lo;
}

AxisProcessResult restResult(double raw, double offset)
{
    return AxisProcessResult{raw, 0.0, offset, true};
}

bool isUnitExponent(double exponent)
{
    // Relative comparison of exponent with 1.0.
    return std::fabs(exponent - 1.0) * 1000000000000.0 <= std::fmin(std::fabs(exponent), 1.0);
}

} // namespace

double applyCurve(CurvePreset preset, double gamma, double x)
{
    x = clampTo(x, 0.0, 1.0); // NaN becomes 0
    double exponent = 1.0;
    switch (preset) {
    case CurvePreset::Linear:
        break;
    case CurvePreset::Soft:
        exponent = 1.6;
        break;
    case CurvePreset::Aggressive:
        exponent = 2.6;
        break;
    case CurvePreset::Custom:
        exponent = gamma > 0.05 ? gamma : 0.05;
        break;
    }
    if (isUnitExponent(exponent))
        return x;
    return std::pow(x, exponent);
}

AxisProcessResult processAxis(const AxisSettings& settings, double raw)
{
    const double r = clampTo(raw, -100.0, 100.0);
    const AxisSettings s = sanitizedAxis(settings);
    if (!s.enabled)
        return AxisProcessResult{r, 0.0, 0.0, true};

    double n = 0.0;
    if (s.mode != AxisMode::Trigger) {
        const double d = r - s.restRaw;
        // A reading exactly on the dead-zone edge is still at rest.
        if (std::fabs(d) <= s.deadzoneRadius)
            return restResult(r, s.outputOffset);
        if (d > 0) {
            const double start = s.restRaw + s.deadzoneRadius;
            const double span = s.positiveRaw - start;
            if (span <= kMinSpan)
                return restResult(r, s.outputOffset);
            n = clampTo((r - start) / span, 0.0, 1.0);
        } else {
            const double start = s.restRaw - s.deadzoneRadius;
            const double span = start - s.negativeRaw;
            if (span <= kMinSpan)
                return restResult(r, s.outputOffset);
            n = -clampTo((start - r) / span, 0.0, 1.0);
        }
        if (s.invert)
            n = -n;
        const double c = applyCurve(s.curvePreset, s.gamma, std::fabs(n));
        const double value = (n >= 0 ? 100.0 : -100.0) * c * s.outputScale + s.outputOffset;
        return AxisProcessResult{r, n, value, false};
    }

    // Trigger: travel runs from rest towards activeRaw, whichever side that is; invert is ignored.
    const double dir = s.activeRaw >= s.restRaw ? 1.0 : -1.0;
    const double start = s.restRaw + s.deadzoneRadius * dir;
    const double span = (s.activeRaw - start) * dir;
    const double pos = (r - start) * dir;
    if (pos <= 0 || span <= kMinSpan)
        return restResult(r, s.outputOffset);
    n = clampTo(pos / span, 0.0, 1.0);
    const double value = applyCurve(s.curvePreset, s.gamma, n) * 100.0 * s.outputScale + s.outputOffset;
    return AxisProcessResult{r, n, value, false};
}

AxisRawLandmarks axisRawLandmarks(const AxisSettings& settings)
{
    const AxisSettings s = sanitizedAxis(settings);
    AxisRawLandmarks marks;
    marks.trigger = s.mode == AxisMode::Trigger;
    marks.rest = s.restRaw;
    // processAxis measures the dead zone from the rest point on both sides, in both modes.
    marks.deadzoneLow = s.restRaw - s.deadzoneRadius;
    marks.deadzoneHigh = s.restRaw + s.deadzoneRadius;
    marks.travelFrom = marks.trigger ? s.restRaw : s.negativeRaw;
    marks.travelTo = marks.trigger ? s.activeRaw : s.positiveRaw;
    return marks;
}

AxisChange axisOutputChanged(const AxisProcessResult& result, double lastValue, bool wasAtRest,
                             double threshold)
{
    const bool same = result.atRest == wasAtRest && std::fabs(result.value - lastValue) <= threshold;
    return AxisChange{!same, result.value, result.atRest};
}

GateEvaluation evaluateGate(const GateSettings& gate, const QList<double>& axisValues, bool wasInside)
{
    return evaluateGate(gate, axisValues.constData(), axisValues.size(), wasInside);
}

GateEvaluation evaluateGate(const GateSettings& gate, const double* axisValues, qsizetype axisCount,
                            bool wasInside)
{
    GateEvaluation e;
    e.key = gate.key.trimmed();
    if (e.key.isEmpty() || gate.xAxis < 0 || gate.yAxis < 0 || gate.xAxis >= axisCount ||
        gate.yAxis >= axisCount)
        return e;

    const double dx = axisValues[gate.xAxis] - gate.centerX;
    const double dy = axisValues[gate.yAxis] - gate.centerY;
    e.distance = std::sqrt(dx * dx + dy * dy);
    e.valid = true;

    const double radius = gate.radius > 0 ? gate.radius : 0.0;
    const double hysteresis = gate.hysteresis > 0 ? gate.hysteresis : 0.0;
    // On the circle counts as inside; once inside, leaving takes radius + hysteresis.
    e.inside = wasInside ? e.distance <= radius + hysteresis : e.distance <= radius;
    e.output = gate.invertOutput ? !e.inside : e.inside;
    e.changed = e.inside != wasInside;
    e.shouldEmit = e.changed && (e.inside ? gate.emitOnEnter : gate.emitOnExit);
    return e;
}

ButtonStepResult stepButton(const ButtonSettings& settings, ButtonState& state, bool pressed, qint64 nowMs)
{
    ButtonStepResult result;
    const qint64 interval = qMax<qint64>(settings.repeatIntervalMs, kMinRepeatIntervalMs);

    if (pressed != state.pressed) {
        result.edge = true;
        state.pressed = pressed;
        state.repeatArmed = false;
        const bool wanted = settings.enabled && (pressed ? settings.emitOnPress : settings.emitOnRelease);
        const bool debounced = settings.debounceMs <= 0 || state.lastEmitMs < 0 ||
                               nowMs - state.lastEmitMs >= settings.debounceMs;
        // An edge dropped here is gone for good; it is not reported later.
        if (wanted && debounced) {
            result.report = true;
            state.lastEmitMs = nowMs;
            if (pressed ? settings.repeatOnPress : settings.repeatOnRelease) {
                state.repeatArmed = true;
                state.repeatState = pressed;
                state.nextRepeatMs =
                    nowMs + (settings.repeatDelayMs >= 1 ? settings.repeatDelayMs : interval);
            }
        }
        return result;
    }

    if (!state.repeatArmed)
        return result;

    const bool allowed = settings.enabled && (pressed ? (settings.emitOnPress && settings.repeatOnPress)
                                                      : (settings.emitOnRelease && settings.repeatOnRelease));
    if (!allowed || state.repeatState != pressed) {
        state.repeatArmed = false;
        return result;
    }
    if (nowMs >= state.nextRepeatMs) {
        result.report = true;
        result.repeat = true;
        // Skip every missed slot at once: the next repeat time ends strictly after now.
        const qint64 missed = (nowMs - state.nextRepeatMs) / interval + 1;
        state.nextRepeatMs += missed * interval;
    }
    return result;
}

} // namespace GamepadCalibration
