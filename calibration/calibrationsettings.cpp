#include "calibrationsettings.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QLatin1String>
#include <QSet>

#include <cmath>
#include <limits>

namespace GamepadCalibration {

namespace {

// hi when above hi, then the larger of value and lo: a NaN ends at lo.
double clampTo(double value, double lo, double hi)
{
    if (value > hi)
        value = hi;
    return value > lo ? value : lo;
}

// Lower bound only; NaN ends at lo.
double atLeast(double value, double lo)
{
    return value > lo ? value : lo;
}

qint32 clampTo(qint32 value, qint32 lo, qint32 hi)
{
    if (value > hi)
        value = hi;
    return value > lo ? value : lo;
}

bool readBool(const QJsonObject& object, QLatin1String key, bool fallback)
{
    const QJsonValue value = object.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

double readDouble(const QJsonObject& object, QLatin1String key, double fallback)
{
    const QJsonValue value = object.value(key);
    return value.isDouble() ? value.toDouble() : fallback;
}

// JSON numbers of integral value only; out-of-range integers saturate so sanitising clamps them.
qint32 readInt(const QJsonObject& object, QLatin1String key, qint32 fallback)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        return fallback;
    if (number >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (number <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(number);
}

QString readString(const QJsonObject& object, QLatin1String key, const QString& fallback)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : fallback;
}

} // namespace

bool operator==(const AxisSettings& a, const AxisSettings& b)
{
    return a.enabled == b.enabled && a.mode == b.mode && a.restRaw == b.restRaw &&
           a.deadzoneRadius == b.deadzoneRadius && a.invert == b.invert && a.curvePreset == b.curvePreset &&
           a.gamma == b.gamma && a.outputScale == b.outputScale && a.outputOffset == b.outputOffset &&
           a.negativeRaw == b.negativeRaw && a.positiveRaw == b.positiveRaw && a.activeRaw == b.activeRaw;
}

bool operator==(const ButtonSettings& a, const ButtonSettings& b)
{
    return a.enabled == b.enabled && a.emitOnPress == b.emitOnPress && a.emitOnRelease == b.emitOnRelease &&
           a.debounceMs == b.debounceMs && a.repeatOnPress == b.repeatOnPress &&
           a.repeatOnRelease == b.repeatOnRelease && a.repeatDelayMs == b.repeatDelayMs &&
           a.repeatIntervalMs == b.repeatIntervalMs;
}

bool operator==(const GateSettings& a, const GateSettings& b)
{
    return a.enabled == b.enabled && a.key == b.key && a.source2dKey == b.source2dKey && a.xAxis == b.xAxis &&
           a.yAxis == b.yAxis && a.centerX == b.centerX && a.centerY == b.centerY && a.radius == b.radius &&
           a.hysteresis == b.hysteresis && a.emitOnEnter == b.emitOnEnter && a.emitOnExit == b.emitOnExit &&
           a.invertOutput == b.invertOutput;
}

QString axisModeToString(AxisMode mode)
{
    return mode == AxisMode::Trigger ? QStringLiteral("trigger") : QStringLiteral("bidirectional");
}

AxisMode axisModeFromString(const QString& text)
{
    return text.trimmed().compare(QLatin1String("trigger"), Qt::CaseInsensitive) == 0
               ? AxisMode::Trigger
               : AxisMode::Bidirectional;
}

QString curvePresetToString(CurvePreset preset)
{
    switch (preset) {
    case CurvePreset::Soft:
        return QStringLiteral("soft");
    case CurvePreset::Aggressive:
        return QStringLiteral("aggressive");
    case CurvePreset::Custom:
        return QStringLiteral("custom");
    case CurvePreset::Linear:
        break;
    }
    return QStringLiteral("linear");
}

CurvePreset curvePresetFromString(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("soft"), Qt::CaseInsensitive) == 0)
        return CurvePreset::Soft;
    if (t.compare(QLatin1String("aggressive"), Qt::CaseInsensitive) == 0)
        return CurvePreset::Aggressive;
    if (t.compare(QLatin1String("custom"), Qt::CaseInsensitive) == 0)
        return CurvePreset::Custom;
    return CurvePreset::Linear;
}

QString defaultGateKey(int index)
{
    return QStringLiteral("gate_%1").arg(index);
}

GateSettings defaultGate(int index)
{
    GateSettings gate;
    gate.key = defaultGateKey(index);
    return gate;
}

CalibrationSet defaultCalibration(int axisCount, int buttonCount)
{
    CalibrationSet set;
    set.axes.resize(qMax(0, axisCount));
    set.buttons.resize(qMax(0, buttonCount));
    return set;
}

AxisSettings sanitizedAxis(const AxisSettings& axis)
{
    AxisSettings s = axis;
    s.restRaw = clampTo(s.restRaw, -100.0, 100.0);
    s.deadzoneRadius = clampTo(std::fabs(s.deadzoneRadius), 0.0, 99.0);
    s.gamma = atLeast(s.gamma, 0.05);
    s.outputScale = clampTo(std::fabs(s.outputScale), 0.001, 1000.0);
    s.outputOffset = clampTo(s.outputOffset, -1000.0, 1000.0);
    s.negativeRaw = clampTo(s.negativeRaw, -100.0, 100.0);
    s.positiveRaw = clampTo(s.positiveRaw, -100.0, 100.0);
    s.activeRaw = clampTo(s.activeRaw, -100.0, 100.0);
    return s;
}

ButtonSettings sanitizedButton(const ButtonSettings& button)
{
    ButtonSettings s = button;
    s.debounceMs = clampTo(s.debounceMs, 0, 5000);
    s.repeatDelayMs = clampTo(s.repeatDelayMs, 0, 60000);
    s.repeatIntervalMs = clampTo(s.repeatIntervalMs, 10, 60000);
    return s;
}

GateSettings sanitizedGate(const GateSettings& gate, int axisCount)
{
    GateSettings s = gate;
    s.key = s.key.trimmed();
    s.source2dKey = s.source2dKey.trimmed();
    const qint32 lastAxis = qMax(0, axisCount - 1);
    s.xAxis = clampTo(s.xAxis, 0, lastAxis);
    s.yAxis = clampTo(s.yAxis, 0, lastAxis);
    s.centerX = clampTo(s.centerX, -100000.0, 100000.0);
    s.centerY = clampTo(s.centerY, -100000.0, 100000.0);
    s.radius = clampTo(std::fabs(s.radius), 0.0, 200000.0);
    s.hysteresis = clampTo(std::fabs(s.hysteresis), 0.0, 100000.0);
    // A gate that reports nothing at all is taken as a mistake: it reports entering.
    if (!s.emitOnEnter && !s.emitOnExit)
        s.emitOnEnter = true;
    return s;
}

CalibrationSet sanitized(const CalibrationSet& set, int axisCount, int buttonCount)
{
    CalibrationSet result = defaultCalibration(axisCount, buttonCount);

    const qsizetype axes = qMin<qsizetype>(result.axes.size(), set.axes.size());
    for (qsizetype i = 0; i < axes; ++i)
        result.axes[i] = sanitizedAxis(set.axes.at(i));

    const qsizetype buttons = qMin<qsizetype>(result.buttons.size(), set.buttons.size());
    for (qsizetype i = 0; i < buttons; ++i)
        result.buttons[i] = sanitizedButton(set.buttons.at(i));

    QSet<QString> taken;
    result.gates.reserve(set.gates.size());
    for (qsizetype i = 0; i < set.gates.size(); ++i) {
        GateSettings gate = sanitizedGate(set.gates.at(i), axisCount);
        if (gate.key.isEmpty())
            gate.key = defaultGateKey(int(i));
        if (taken.contains(gate.key)) {
            int j = 0;
            while (taken.contains(defaultGateKey(j)))
                ++j;
            gate.key = defaultGateKey(j);
        }
        taken.insert(gate.key);
        result.gates.append(gate);
    }
    return result;
}

AxisSettings axisFromJson(const QJsonObject& object)
{
    AxisSettings a;
    if (object.isEmpty())
        return a;
    a.enabled = readBool(object, QLatin1String("enabled"), a.enabled);
    const QJsonValue mode = object.value(QLatin1String("mode"));
    if (mode.isString())
        a.mode = axisModeFromString(mode.toString());
    a.restRaw = readDouble(object, QLatin1String("restRaw"), a.restRaw);
    a.deadzoneRadius = readDouble(object, QLatin1String("deadzoneRadius"), a.deadzoneRadius);
    a.invert = readBool(object, QLatin1String("invert"), a.invert);
    const QJsonValue curve = object.value(QLatin1String("curvePreset"));
    if (curve.isString())
        a.curvePreset = curvePresetFromString(curve.toString());
    a.gamma = readDouble(object, QLatin1String("gamma"), a.gamma);
    a.outputScale = readDouble(object, QLatin1String("outputScale"), a.outputScale);
    a.outputOffset = readDouble(object, QLatin1String("outputOffset"), a.outputOffset);
    a.negativeRaw = readDouble(object, QLatin1String("negativeRaw"), a.negativeRaw);
    a.positiveRaw = readDouble(object, QLatin1String("positiveRaw"), a.positiveRaw);
    a.activeRaw = readDouble(object, QLatin1String("activeRaw"), a.activeRaw);
    return a;
}

ButtonSettings buttonFromJson(const QJsonObject& object)
{
    ButtonSettings b;
    if (object.isEmpty())
        return b;
    b.enabled = readBool(object, QLatin1String("enabled"), b.enabled);
    b.emitOnPress = readBool(object, QLatin1String("emitOnPress"), b.emitOnPress);
    b.emitOnRelease = readBool(object, QLatin1String("emitOnRelease"), b.emitOnRelease);
    b.debounceMs = readInt(object, QLatin1String("debounceMs"), b.debounceMs);
    b.repeatOnPress = readBool(object, QLatin1String("repeatOnPress"), b.repeatOnPress);
    b.repeatOnRelease = readBool(object, QLatin1String("repeatOnRelease"), b.repeatOnRelease);
    b.repeatDelayMs = readInt(object, QLatin1String("repeatDelayMs"), b.repeatDelayMs);
    b.repeatIntervalMs = readInt(object, QLatin1String("repeatIntervalMs"), b.repeatIntervalMs);
    return b;
}

GateSettings gateFromJson(const QJsonObject& object, int index)
{
    GateSettings g = defaultGate(index);
    if (object.isEmpty())
        return g;
    g.enabled = readBool(object, QLatin1String("enabled"), g.enabled);
    g.key = readString(object, QLatin1String("key"), g.key);
    g.source2dKey = readString(object, QLatin1String("source2dKey"), g.source2dKey);
    g.xAxis = readInt(object, QLatin1String("xAxis"), g.xAxis);
    g.yAxis = readInt(object, QLatin1String("yAxis"), g.yAxis);
    g.centerX = readDouble(object, QLatin1String("centerX"), g.centerX);
    g.centerY = readDouble(object, QLatin1String("centerY"), g.centerY);
    g.radius = readDouble(object, QLatin1String("radius"), g.radius);
    g.hysteresis = readDouble(object, QLatin1String("hysteresis"), g.hysteresis);
    g.emitOnEnter = readBool(object, QLatin1String("emitOnEnter"), g.emitOnEnter);
    g.emitOnExit = readBool(object, QLatin1String("emitOnExit"), g.emitOnExit);
    g.invertOutput = readBool(object, QLatin1String("invertOutput"), g.invertOutput);
    return g;
}

QJsonObject axisToJson(const AxisSettings& axis)
{
    QJsonObject o;
    o.insert(QLatin1String("enabled"), axis.enabled);
    o.insert(QLatin1String("mode"), axisModeToString(axis.mode));
    o.insert(QLatin1String("restRaw"), axis.restRaw);
    o.insert(QLatin1String("deadzoneRadius"), axis.deadzoneRadius);
    o.insert(QLatin1String("invert"), axis.invert);
    o.insert(QLatin1String("curvePreset"), curvePresetToString(axis.curvePreset));
    o.insert(QLatin1String("gamma"), axis.gamma);
    o.insert(QLatin1String("outputScale"), axis.outputScale);
    o.insert(QLatin1String("outputOffset"), axis.outputOffset);
    o.insert(QLatin1String("negativeRaw"), axis.negativeRaw);
    o.insert(QLatin1String("positiveRaw"), axis.positiveRaw);
    o.insert(QLatin1String("activeRaw"), axis.activeRaw);
    return o;
}

QJsonObject buttonToJson(const ButtonSettings& button)
{
    QJsonObject o;
    o.insert(QLatin1String("enabled"), button.enabled);
    o.insert(QLatin1String("emitOnPress"), button.emitOnPress);
    o.insert(QLatin1String("emitOnRelease"), button.emitOnRelease);
    o.insert(QLatin1String("debounceMs"), button.debounceMs);
    o.insert(QLatin1String("repeatOnPress"), button.repeatOnPress);
    o.insert(QLatin1String("repeatOnRelease"), button.repeatOnRelease);
    o.insert(QLatin1String("repeatDelayMs"), button.repeatDelayMs);
    o.insert(QLatin1String("repeatIntervalMs"), button.repeatIntervalMs);
    return o;
}

QJsonObject gateToJson(const GateSettings& gate)
{
    QJsonObject o;
    o.insert(QLatin1String("enabled"), gate.enabled);
    o.insert(QLatin1String("key"), gate.key);
    o.insert(QLatin1String("source2dKey"), gate.source2dKey);
    o.insert(QLatin1String("xAxis"), gate.xAxis);
    o.insert(QLatin1String("yAxis"), gate.yAxis);
    o.insert(QLatin1String("centerX"), gate.centerX);
    o.insert(QLatin1String("centerY"), gate.centerY);
    o.insert(QLatin1String("radius"), gate.radius);
    o.insert(QLatin1String("hysteresis"), gate.hysteresis);
    o.insert(QLatin1String("emitOnEnter"), gate.emitOnEnter);
    o.insert(QLatin1String("emitOnExit"), gate.emitOnExit);
    o.insert(QLatin1String("invertOutput"), gate.invertOutput);
    return o;
}

QString hexIdText(quint32 id)
{
    return QStringLiteral("0x%1").arg(id, 4, 16, QLatin1Char('0'));
}

CalibrationSet calibrationFromJson(const QJsonObject& object, bool* ok, QString* error, int axisCount,
                                   int buttonCount)
{
    if (ok)
        *ok = false;
    const QJsonValue type = object.value(QLatin1String("type"));
    if (!type.isString() || type.toString() != QLatin1String("GamepadCalibration")) {
        if (error)
            *error = QStringLiteral("Unsupported calibration type");
        return defaultCalibration(axisCount, buttonCount);
    }

    CalibrationSet set = defaultCalibration(axisCount, buttonCount);

    const QJsonArray axes = object.value(QLatin1String("axes")).toArray();
    const qsizetype axisEntries = qMin<qsizetype>(set.axes.size(), axes.size());
    for (qsizetype i = 0; i < axisEntries; ++i)
        set.axes[i] = axisFromJson(axes.at(i).toObject());

    const QJsonArray buttons = object.value(QLatin1String("buttons")).toArray();
    const qsizetype buttonEntries = qMin<qsizetype>(set.buttons.size(), buttons.size());
    for (qsizetype i = 0; i < buttonEntries; ++i)
        set.buttons[i] = buttonFromJson(buttons.at(i).toObject());

    const QJsonArray gates = object.value(QLatin1String("gates")).toArray();
    set.gates.reserve(gates.size());
    for (qsizetype i = 0; i < gates.size(); ++i)
        set.gates.append(gateFromJson(gates.at(i).toObject(), int(i)));

    if (ok)
        *ok = true;
    return sanitized(set, axisCount, buttonCount);
}

QJsonObject calibrationToJson(const CalibrationSet& set, const DeviceIdentity& identity,
                              const QString& profileId)
{
    const CalibrationSet s = sanitized(set, kAxisCount, kButtonCount);

    QJsonArray axes;
    for (const AxisSettings& axis : s.axes)
        axes.append(axisToJson(axis));
    QJsonArray buttons;
    for (const ButtonSettings& button : s.buttons)
        buttons.append(buttonToJson(button));
    QJsonArray gates;
    for (const GateSettings& gate : s.gates)
        gates.append(gateToJson(gate));

    QJsonObject document;
    document.insert(QLatin1String("type"), QStringLiteral("GamepadCalibration"));
    document.insert(QLatin1String("version"), 3);
    document.insert(QLatin1String("axes"), axes);
    document.insert(QLatin1String("buttons"), buttons);
    document.insert(QLatin1String("gates"), gates);

    const QString name = identity.name.trimmed();
    if (!name.isEmpty())
        document.insert(QLatin1String("deviceName"), name);
    if (identity.vendorId != 0)
        document.insert(QLatin1String("vendorId"), hexIdText(identity.vendorId));
    if (identity.productId != 0)
        document.insert(QLatin1String("productId"), hexIdText(identity.productId));
    const QString profile = profileId.trimmed();
    if (!profile.isEmpty())
        document.insert(QLatin1String("profileId"), profile);
    return document;
}

void registerCalibrationMetaTypes()
{
    qRegisterMetaType<AxisSettings>();
    qRegisterMetaType<ButtonSettings>();
    qRegisterMetaType<GateSettings>();
    qRegisterMetaType<CalibrationSet>();
}

} // namespace GamepadCalibration
