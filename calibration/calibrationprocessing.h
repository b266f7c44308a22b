#pragma once

#include "calibrationsettings.h"

#include <QList>
#include <QString>
#include <QtGlobal>

// Pure arithmetic from raw reading to reported value, event and gate state. The state carried
// between polls lives with the caller; time is passed in milliseconds. Nothing here allocates on
// the per-poll paths (processAxis, axisOutputChanged, stepButton).
namespace GamepadCalibration {

struct AxisProcessResult
{
    double raw = 0.0;        // the reading clamped to -100..100
    double normalized = 0.0; // -1..1 bidirectional (sign = side), 0..1 trigger; 0 at rest
    double value = 0.0;      // reported value: ±100 × outputScale around outputOffset
    bool atRest = true;      // inside the dead zone, degenerate travel or disabled axis
};

// Raw-unit landmarks of one axis as processAxis sees them (settings sanitised): what previews draw.
struct AxisRawLandmarks
{
    bool trigger = false;
    double rest = 0.0;         // -100..100
    double deadzoneLow = 0.0;  // rest - dead zone; may pass -100 (readings clamp there)
    double deadzoneHigh = 0.0; // rest + dead zone; may pass 100
    double travelFrom = 0.0;   // negativeRaw, or rest for a trigger
    double travelTo = 0.0;     // positiveRaw, or activeRaw for a trigger
};

struct AxisChange
{
    bool changed = false;
    double value = 0.0;
    bool atRest = true;
};

struct GateEvaluation
{
    QString key;          // the gate's key, trimmed
    bool valid = false;   // key present and both axes indexable
    bool inside = false;  // after hysteresis
    bool output = false;  // inside, negated by invertOutput
    bool changed = false; // inside differs from the previous inside flag
    bool shouldEmit = false;
    double distance = 0.0; // from the centre, in calibrated units; 0 when not valid
};

// Per-button memory between polls. lastEmitMs < 0 means nothing was reported yet.
struct ButtonState
{
    bool pressed = false;
    qint64 lastEmitMs = -1;
    bool repeatArmed = false;
    bool repeatState = false; // the pressed state the repeat is armed for
    qint64 nextRepeatMs = 0;
};

struct ButtonStepResult
{
    bool edge = false;   // the pressed state changed, whether reported or not
    bool report = false; // report the button with its current pressed state
    bool repeat = false; // the report is an auto-repeat, not an edge
};

// Response curve over x in 0..1 (NaN gives 0): linear, x^1.6, x^2.6 or x^max(gamma, 0.05).
double applyCurve(CurvePreset preset, double gamma, double x);

// One raw reading (-100..100) through the axis calibration; settings are sanitised on the way.
AxisProcessResult processAxis(const AxisSettings& settings, double raw);

// Rest point, dead-zone edges and travel of an axis, in raw units.
AxisRawLandmarks axisRawLandmarks(const AxisSettings& settings);

// Whether a new result is worth reporting: a move of more than threshold or a change of rest state.
AxisChange axisOutputChanged(const AxisProcessResult& result, double lastValue, bool wasAtRest,
                             double threshold);

// axisValues: the calibrated value of every axis, indexed by axis number. The enabled flag is the
// caller's business.
GateEvaluation evaluateGate(const GateSettings& gate, const QList<double>& axisValues, bool wasInside);
GateEvaluation evaluateGate(const GateSettings& gate, const double* axisValues, qsizetype axisCount,
                            bool wasInside);

// One poll of one button: debounce on edges, then auto-repeat while the state holds. A late poll
// yields a single repeat, never a burst. nowMs comes from a monotonic clock.
ButtonStepResult stepButton(const ButtonSettings& settings, ButtonState& state, bool pressed, qint64 nowMs);

} // namespace GamepadCalibration
