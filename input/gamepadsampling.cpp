// The sampling step of a gamepad device: one reading of connection, identity, 8 axes and 32
// buttons, through the calibration, reported as per-input signals, one dataChanged pair for the
// host and property notifications.
#include "controlmanette_p.h"
#include "hostlogging.h"

#include <cmath>

using namespace GamepadCalibration;

namespace {

constexpr double AxisReportThreshold = 0.5; // calibrated units a value must move to be reported
constexpr double RawMoveThreshold = 0.1;    // raw units a reading must move to notify rawAxes

// Change keys, formatted once: the sampler runs 100 times a second.
const QString& axisKey(int axis)
{
    static const std::array<QString, ControlManette::AxisCount> keys = [] {
        std::array<QString, ControlManette::AxisCount> k;
        for (int i = 0; i < ControlManette::AxisCount; ++i)
            k[i] = QStringLiteral("joy_%1").arg(i);
        return k;
    }();
    return keys[axis];
}

const QString& buttonKey(int button)
{
    static const std::array<QString, ControlManette::ButtonCount> keys = [] {
        std::array<QString, ControlManette::ButtonCount> k;
        for (int i = 0; i < ControlManette::ButtonCount; ++i)
            k[i] = QStringLiteral("but_%1").arg(i);
        return k;
    }();
    return keys[button];
}

} // namespace

void ControlManette::sample()
{
    // 1. Connection: a lost controller reports nothing and keeps its last state.
    m_backend->update();
    m_backend->noteSampleRefresh();
    setConnected(m_backend->isConnected(m_deviceId));
    if (!m_connected)
        return;

    // 2-3. Identity; a new name, id or profile reloads the calibration before reading.
    readIdentification();
    if (d->checkedIdentity != d->identity) {
        d->checkedIdentity = d->identity;
        if (calibrationKey() != d->calibrationKey)
            reloadCalibration();
    }

    QStringList keys;
    QVariantList values;
    bool axisReported = false;
    bool rawMoved = false;
    bool buttonEdge = false;
    bool buttonReported = false;
    const AxisSettings defaultAxis;
    const ButtonSettings defaultButton;

    // 4. Axes. The same reading through the same calibration gives the same value and rest state
    // as the last pass made it: nothing to report, nothing to store.
    const quint64 passGeneration = d->calibrationGeneration;
    const bool settled = d->axesSettled && d->settledGeneration == passGeneration;
    for (int a = 0; a < AxisCount; ++a) {
        const bool present = m_backend->hasAxis(m_deviceId, a);
        const double raw = present ? double(m_backend->axisPosition(m_deviceId, a)) : 0.0;
        if (settled && present == d->axisPresent[a] && (!present || raw == d->rawAxes[a]))
            continue;
        d->axisPresent[a] = present;
        if (!present)
            continue;
        if (std::abs(raw - d->rawAxes[a]) > RawMoveThreshold)
            rawMoved = true;
        d->rawAxes[a] = raw;
        const AxisSettings& settings =
            a < d->calibration.axes.size() ? d->calibration.axes.at(a) : defaultAxis;
        const AxisProcessResult r = processAxis(settings, raw);
        const AxisChange c = axisOutputChanged(r, d->axes[a], d->axisAtRest[a], AxisReportThreshold);
        d->axes[a] = c.value;
        d->axisAtRest[a] = c.atRest;
        if (c.changed) {
            keys.append(axisKey(a));
            values.append(c.value);
            emit axisChanged(a, c.value);
            axisReported = true;
            qCDebug(lcGamepadAxis) << "Gamepad axis updated key=" << axisKey(a) << "raw=" << raw
                                   << "value=" << c.value << "rest=" << r.atRest;
        }
    }
    // A reload by a receiver meanwhile leaves the pass unsettled: the next one is a full one.
    d->axesSettled = true;
    d->settledGeneration = passGeneration;

    // 5. Gates, over the axes as just updated; only those whose two axes exist on this pad. A
    // receiver of gateChanged may reload the calibration at once: the loop walks its own shared
    // copy of the list (no allocation) and stops once a reload replaced it.
    const QList<GateSettings> gates = d->calibration.gates;
    const quint64 generation = d->calibrationGeneration;
    for (const GateSettings& gate : gates) {
        if (gate.xAxis < 0 || gate.xAxis >= AxisCount || gate.yAxis < 0 || gate.yAxis >= AxisCount ||
            !d->axisPresent[gate.xAxis] || !d->axisPresent[gate.yAxis])
            continue;
        const bool wasInside = d->gateStates.value(gate.key.trimmed(), false);
        const GateEvaluation e = evaluateGate(gate, d->axes.data(), AxisCount, wasInside);
        if (!e.valid)
            continue;
        if (e.changed)
            d->gateStates.insert(e.key, e.inside);
        if (e.shouldEmit) {
            keys.append(e.key);
            values.append(e.output);
            emit gateChanged(e.key, e.output);
            qCDebug(lcGamepadAxis) << "Gamepad gate updated key=" << e.key << "inside=" << e.inside
                                   << "value=" << e.output << "distance=" << e.distance;
            if (d->calibrationGeneration != generation)
                break;
        }
    }

    // 6. Buttons, all timed against one reading of the clock. A button that kept its state and
    // waits for no repeat is left alone: its step would change and report nothing.
    if (d->clockStartMs < 0)
        restartClock();
    const quint32 pressedNow = m_backend->buttonMask(m_deviceId);
    quint32 pending = (pressedNow ^ d->pressedMask) | d->armedMask;
    const qint64 now = pending ? m_backend->nowMs() - d->clockStartMs : 0;
    for (; pending; pending &= pending - 1) {
        const int b = qCountTrailingZeroBits(pending);
        const quint32 bit = 1u << b;
        const ButtonSettings& settings =
            b < d->calibration.buttons.size() ? d->calibration.buttons.at(b) : defaultButton;
        const bool pressed = pressedNow & bit;
        const ButtonStepResult step = stepButton(settings, d->buttons[b], pressed, now);
        d->pressedMask = d->buttons[b].pressed ? d->pressedMask | bit : d->pressedMask & ~bit;
        d->armedMask = d->buttons[b].repeatArmed ? d->armedMask | bit : d->armedMask & ~bit;
        if (step.edge)
            buttonEdge = true;
        if (step.report) {
            keys.append(buttonKey(b));
            values.append(pressed);
            emit buttonChanged(b, pressed);
            buttonReported = true;
            qCDebug(lcGamepadAxis) << "Gamepad button updated key=" << buttonKey(b) << "pressed=" << pressed
                                   << "repeat=" << step.repeat;
        }
    }

    // 7-8. One change set for the host, then the property notifications.
    if (!keys.isEmpty()) {
        emit dataChanged(0, 1, keys, values);
        emit dataChanged(QStringLiteral("gamepad"), QStringLiteral("gamepad"), keys, values);
    }
    if (axisReported)
        emit axesChanged();
    if (rawMoved)
        emit rawAxesChanged();
    if (buttonEdge || buttonReported)
        emit buttonsChanged();
}
