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

    // The calibration key of the last inputs it was computed from, so a steady tick compares
    // strings instead of formatting a new key.
    QString keyName;
    quint32 keyVendor = 0;
    quint32 keyProduct = 0;
    QString keyProfile;
    QString currentKey;

    qint64 clockStartMs = -1; // backend time the button clock started at; -1 = not running
};
