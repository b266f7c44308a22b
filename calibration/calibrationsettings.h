#pragma once

#include "deviceidentity.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// Calibration records of one gamepad, their defaults, the sanitising pass and the JSON document.
// Raw positions are in the joystick library's unit, -100..100.
namespace GamepadCalibration {

// Counts the device and the editors always use (the joystick library's maxima).
constexpr int kAxisCount = 8;
constexpr int kButtonCount = 32;

enum class AxisMode : qint32
{
    Bidirectional = 0, // stick axis resting in the middle: restRaw, negativeRaw, positiveRaw
    Trigger = 1,       // one-sided travel from restRaw towards activeRaw
};

enum class CurvePreset : qint32
{
    Linear = 0,
    Soft = 1,       // exponent 1.6
    Aggressive = 2, // exponent 2.6
    Custom = 3,     // exponent gamma
};

// "bidirectional" / "trigger"; an out-of-range value gives "bidirectional".
QString axisModeToString(AxisMode mode);
// Trimmed, case-insensitive: "trigger" gives Trigger, anything else Bidirectional.
AxisMode axisModeFromString(const QString& text);
// "linear" / "soft" / "aggressive" / "custom"; an out-of-range value gives "linear".
QString curvePresetToString(CurvePreset preset);
// Trimmed, case-insensitive; an unknown text gives Linear.
CurvePreset curvePresetFromString(const QString& text);

struct AxisSettings
{
    bool enabled = true;
    AxisMode mode = AxisMode::Bidirectional;
    double restRaw = 0.0;        // -100..100
    double deadzoneRadius = 8.0; // 0..99, around restRaw
    bool invert = false;         // bidirectional only
    CurvePreset curvePreset = CurvePreset::Linear;
    double gamma = 1.0;          // >= 0.05, used by Custom
    double outputScale = 1.0;    // 0.001..1000
    double outputOffset = 0.0;   // -1000..1000
    double negativeRaw = -100.0; // -100..100, bidirectional negative end
    double positiveRaw = 100.0;  // -100..100, bidirectional positive end
    double activeRaw = 100.0;    // -100..100, trigger end

    friend bool operator==(const AxisSettings& a, const AxisSettings& b);
    friend bool operator!=(const AxisSettings& a, const AxisSettings& b) { return !(a == b); }
};

struct ButtonSettings
{
    bool enabled = true;
    bool emitOnPress = true;
    bool emitOnRelease = false;
    qint32 debounceMs = 0; // 0..5000, minimum time between two reported edges
    bool repeatOnPress = false;
    bool repeatOnRelease = false;
    qint32 repeatDelayMs = 350;    // 0..60000, 0 = first repeat after one interval
    qint32 repeatIntervalMs = 120; // 10..60000

    friend bool operator==(const ButtonSettings& a, const ButtonSettings& b);
    friend bool operator!=(const ButtonSettings& a, const ButtonSettings& b) { return !(a == b); }
};

// A circle over two calibrated axes; its state is reported under key.
struct GateSettings
{
    bool enabled = true;
    QString key;         // unique within a set once sanitised; default "gate_<index>"
    QString source2dKey; // the editor's 2-D source, carried through unchanged
    qint32 xAxis = 0;
    qint32 yAxis = 1;
    double centerX = 0.0;    // -100000..100000, in calibrated units
    double centerY = 0.0;    // -100000..100000
    double radius = 50.0;    // 0..200000
    double hysteresis = 3.0; // 0..100000, extra radius needed to leave
    bool emitOnEnter = true;
    bool emitOnExit = true;
    bool invertOutput = false;

    friend bool operator==(const GateSettings& a, const GateSettings& b);
    friend bool operator!=(const GateSettings& a, const GateSettings& b) { return !(a == b); }
};

struct CalibrationSet
{
    QList<AxisSettings> axes;
    QList<ButtonSettings> buttons;
    QList<GateSettings> gates;

    friend bool operator==(const CalibrationSet& a, const CalibrationSet& b)
    {
        return a.axes == b.axes && a.buttons == b.buttons && a.gates == b.gates;
    }
    friend bool operator!=(const CalibrationSet& a, const CalibrationSet& b) { return !(a == b); }
};

// "gate_<index>": the key a gate gets when it has none of its own.
QString defaultGateKey(int index);
// Default gate for list position index (its key filled in).
GateSettings defaultGate(int index);

// max(0, axisCount) default axes, max(0, buttonCount) default buttons, no gates.
CalibrationSet defaultCalibration(int axisCount = kAxisCount, int buttonCount = kButtonCount);

// Per-record clamping, cheap enough for every poll (no allocation for axes and buttons).
AxisSettings sanitizedAxis(const AxisSettings& axis);
ButtonSettings sanitizedButton(const ButtonSettings& button);
// Trims key and source2dKey and clamps the fields; empty and duplicate keys are left to sanitized().
GateSettings sanitizedGate(const GateSettings& gate, int axisCount);

// Exactly axisCount axes and buttonCount buttons (defaults fill in, extras dropped), every field in
// range, every gate key non-empty and unique.
CalibrationSet sanitized(const CalibrationSet& set, int axisCount = kAxisCount,
                         int buttonCount = kButtonCount);

// Readers start from the defaults; a missing or wrongly typed member keeps its default. No ranges.
AxisSettings axisFromJson(const QJsonObject& object);
ButtonSettings buttonFromJson(const QJsonObject& object);
GateSettings gateFromJson(const QJsonObject& object, int index);

// Writers emit every member, always (axis 12, button 8, gate 12 keys).
QJsonObject axisToJson(const AxisSettings& axis);
QJsonObject buttonToJson(const ButtonSettings& button);
QJsonObject gateToJson(const GateSettings& gate);

// "0x%04x" in lower case: the document's form of a USB id.
QString hexIdText(quint32 id);

// Reads a "GamepadCalibration" document. A wrong "type" gives ok = false, error "Unsupported
// calibration type" and the defaults; anything else reads with defaults and is sanitised.
CalibrationSet calibrationFromJson(const QJsonObject& object, bool* ok = nullptr, QString* error = nullptr,
                                   int axisCount = kAxisCount, int buttonCount = kButtonCount);

// The document: always 8 axes and 32 buttons, then the informative identity and profile members.
// profileId is empty for a base-device file.
QJsonObject calibrationToJson(const CalibrationSet& set, const DeviceIdentity& identity,
                              const QString& profileId = QString());

// Registers the records that travel as signal arguments under their qualified names.
void registerCalibrationMetaTypes();

} // namespace GamepadCalibration

Q_DECLARE_METATYPE(GamepadCalibration::AxisSettings)
Q_DECLARE_METATYPE(GamepadCalibration::ButtonSettings)
Q_DECLARE_METATYPE(GamepadCalibration::GateSettings)
Q_DECLARE_METATYPE(GamepadCalibration::CalibrationSet)
