#pragma once

// The device's live state and calibration, shared by its object, sampling and routing files.
#include "calibrationfiles.h"
#include "calibrationprocessing.h"
#include "calibrationsettings.h"
#include "controlmanette.h"

#include <QHash>
#include <QString>

#include <array>

struct ControlManette::State
{
    std::array<double, AxisCount> axes{};
    std::array<double, AxisCount> rawAxes{};
    std::array<bool, AxisCount> axisPresent{};
    std::array<bool, AxisCount> axisAtRest{};
    // Per button: last physical state, last emit time, repeat armed, armed state, next repeat.
    std::array<GamepadCalibration::ButtonState, ButtonCount> buttons{};
    QHash<QString, bool> gateStates;

    GamepadCalibration::CalibrationSet calibration =
        GamepadCalibration::defaultCalibration(AxisCount, ButtonCount);
    GamepadCalibration::CalibrationSource calibrationSource = GamepadCalibration::CalibrationSource::Defaults;
    QString calibrationPath;
    QString calibrationKey;
    quint64 calibrationGeneration = 0; // counts reloads, so a step notices one made by a receiver

    // Counts changes of the name, the identifiers and the active profile (the calibration key's
    // inputs), so a steady step compares two numbers instead of the key's strings.
    quint64 identity = 0;
    quint64 keyIdentity = ~quint64(0);     // identity currentKey was formatted from
    quint64 checkedIdentity = ~quint64(0); // identity a step last compared the key at
    QString currentKey;

    // A step leaves out what cannot change: the axes while their readings and the calibration are
    // those of the last full pass (settled since the last reset), the buttons that neither changed
    // nor wait for a repeat.
    bool axesSettled = false;
    quint64 settledGeneration = 0;
    quint32 pressedMask = 0; // buttons[b].pressed, one bit each
    quint32 armedMask = 0;   // buttons[b].repeatArmed

    qint64 clockStartMs = -1; // backend time the button clock started at; -1 = not running
};
