// A virtual pad scenario (docs/VIRTUAL_PADS.md): loadScenarioFile over the input, then played on
// the manual clock in small steps and in ever longer jumps (looping cycles, far events), with
// every reading checked against its range. The format has no writer.
#include "fuzzchecks.h"

#include "virtualjoystickbackend.h"

#include <cmath>

namespace FuzzChecks {

QString scenario(const QByteArray& input)
{
    const QString path = scratchPath(QStringLiteral("scenario/pads.json"));
    writeFile(path, input);
    VirtualJoystickBackend pads;
    QString error;
    if (!pads.loadScenarioFile(path, &error))
        return error.isEmpty() ? QStringLiteral("a rejected scenario gave no reason") : QString();
    pads.openEventPump();
    qint64 jump = 16;
    for (int step = 0; step < 80; ++step) {
        pads.advanceClock(step < 40 ? 10 : (jump *= 2));
        pads.update();
        pads.takeConnectionEvents();
        for (int slot = 0; slot < JoystickBackend::SlotCount; ++slot) {
            if (!pads.isConnected(slot))
                continue;
            const int buttons = pads.buttonCount(slot);
            if (buttons < 0 || buttons > JoystickBackend::ButtonCount)
                return QStringLiteral("slot %1 reports %2 buttons").arg(slot).arg(buttons);
            for (int axis = 0; axis < JoystickBackend::AxisCount; ++axis) {
                const float value = pads.axisPosition(slot, axis);
                if (!std::isfinite(value) || value < -100.f || value > 100.f)
                    return QStringLiteral("slot %1 axis %2 reads %3").arg(slot).arg(axis).arg(value);
            }
            for (int button = 0; button < JoystickBackend::ButtonCount; ++button)
                pads.isButtonPressed(slot, button);
        }
    }
    return {};
}

} // namespace FuzzChecks
