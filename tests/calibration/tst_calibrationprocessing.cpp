// The calibration core: reading records with their defaults, the sanitising bounds, unique gate
// keys, the document that always carries 8 axes and 32 buttons, the arithmetic (curves, axis
// travel, the change test, gates with hysteresis, the button debounce/repeat rules fed as timed
// poll sequences), then the base and override files: names, search order, loading, saving and
// resolution.
#include "calibrationfiles.h"
#include "calibrationprocessing.h"
#include "support/testsupport.h"

#include <cmath>
#include <limits>
#include <memory>

using namespace GamepadCalibration;
using TestSupport::json;
using TestSupport::writeFile;

namespace {

enum FileState
{
    Missing,
    Valid,
    Broken,
    WrongType
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Numbers compare by value whether written as integer or double.
void compareJsonValue(const QJsonValue& actual, const QJsonValue& expected)
{
    if (expected.isDouble())
        QCOMPARE(actual.toDouble(std::numeric_limits<double>::infinity()), expected.toDouble());
    else
        QCOMPARE(actual, expected);
}

AxisSettings axis(const char* json)
{
    return axisFromJson(TestSupport::json(json));
}

// Polls written as "t:p" (pressed 1 or 0 at t ms) or "a-b/s:p" (every s ms from a to b inclusive).
// Returns the reports as "t:p", with "r" appended for a repeat.
QString runButton(const ButtonSettings& settings, const QString& polls)
{
    ButtonState state;
    QStringList reports;
    for (const QString& item : polls.split(' ', Qt::SkipEmptyParts)) {
        const QStringList timePressed = item.split(':');
        const QStringList rangeStep = timePressed.at(0).split('/');
        const QStringList range = rangeStep.at(0).split('-');
        for (qint64 t = range.at(0).toLongLong(); t <= range.value(1, range.at(0)).toLongLong();
             t += rangeStep.value(1, "10").toLongLong()) {
            const ButtonStepResult r = stepButton(settings, state, timePressed.at(1) == "1", t);
            if (r.report)
                reports << QStringLiteral("%1:%2%3").arg(t).arg(timePressed.at(1), r.repeat ? "r" : "");
            else if (r.repeat)
                return "repeat without report";
        }
    }
    return reports.join(' ');
}

} // namespace

class tst_CalibrationProcessing : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_data = std::make_unique<TestSupport::DataRoot>(); }
    // Each row: a record kind, the member's raw value, and the member once read or, from the row
    // "negative dead zone" on, once read and sanitised.
    void members_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QJsonValue>("input");
        QTest::addColumn<QJsonValue>("expected");
        QTest::addColumn<bool>("sanitise");
        bool sanitise = false;
        auto row = [&sanitise](const char* name, const char* kind, const char* member, QJsonValue in,
                               QJsonValue out) {
            QTest::newRow(name) << QString(kind) << QString(member) << in << out << sanitise;
        };
        row("an upper-case mode", "axis", "mode", "TRIGGER", "trigger");
        row("an unknown curve text", "axis", "curvePreset", "cubic", "linear");
        row("a curve text in mixed case", "axis", "curvePreset", "SoFt", "soft");
        row("a number for a flag keeps the default", "axis", "enabled", 0, true);
        row("a text for a number keeps the default", "axis", "restRaw", "12", 0);
        row("a number for a mode keeps the default", "axis", "mode", 1, "bidirectional");
        row("an integer", "button", "debounceMs", 40, 40);
        row("a fractional double keeps the default", "button", "debounceMs", 40.5, 0);
        row("a numeric text keeps the default", "button", "debounceMs", "40", 0);
        row("a huge integer saturates", "button", "debounceMs", 1e12, std::numeric_limits<qint32>::max());
        sanitise = true;
        row("negative dead zone", "axis", "deadzoneRadius", -12, 12);
        row("dead zone above 99", "axis", "deadzoneRadius", 150, 99);
        row("NaN dead zone", "axis", "deadzoneRadius", kNaN, 0);
        row("zero output scale", "axis", "outputScale", 0, 0.001);
        row("negative output scale", "axis", "outputScale", -2, 2);
        row("NaN output scale", "axis", "outputScale", kNaN, 0.001);
        row("rest below travel", "axis", "restRaw", -140, -100);
        row("offset above 1000", "axis", "outputOffset", 1500, 1000);
        row("tiny gamma", "axis", "gamma", 0.01, 0.05);
        row("zero repeat interval", "button", "repeatIntervalMs", 0, 10);
        row("repeat interval above a minute", "button", "repeatIntervalMs", 70000, 60000);
        row("long debounce", "button", "debounceMs", 9000, 5000);
        row("negative debounce", "button", "debounceMs", -5, 0);
        row("x axis beyond the last", "gate", "xAxis", 12, 7);
        row("negative y axis", "gate", "yAxis", -3, 0);
        row("centre far out", "gate", "centerX", 1e6, 100000);
        row("negative radius", "gate", "radius", -30, 30);
        row("2-D source with spaces", "gate", "source2dKey", " left ", "left");
    }

    void members()
    {
        QFETCH(QString, kind);
        QFETCH(QString, member);
        QFETCH(QJsonValue, input);
        QFETCH(QJsonValue, expected);
        QFETCH(bool, sanitise);
        const QJsonObject object{{member, input}};
        CalibrationSet set = defaultCalibration(8, 32);
        if (kind == "axis")
            set.axes[2] = axisFromJson(object);
        else if (kind == "button")
            set.buttons[5] = buttonFromJson(object);
        else
            set.gates.append(gateFromJson(object, 0));
        if (sanitise)
            set = sanitized(set, 8, 32);
        const QJsonObject actual = kind == "axis"     ? axisToJson(set.axes.at(2))
                                   : kind == "button" ? buttonToJson(set.buttons.at(5))
                                                      : gateToJson(set.gates.at(0));
        compareJsonValue(actual.value(member), expected);
    }

    void uniqueGateKeys_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two gates keyed a and one without key")
            << QStringList{"a", "a", ""} << QStringList{"a", "gate_0", "gate_2"};
        QTest::newRow("keys equal once trimmed") << QStringList{" x", "x "} << QStringList{"x", "gate_0"};
        QTest::newRow("duplicates climb past taken defaults")
            << QStringList{"gate_0", "gate_0", "gate_1"} << QStringList{"gate_0", "gate_1", "gate_2"};
    }

    void uniqueGateKeys()
    {
        QFETCH(QStringList, keys);
        CalibrationSet set;
        for (const QString& key : keys) {
            GateSettings gate;
            gate.key = key;
            set.gates.append(gate);
        }
        QStringList actual;
        for (const GateSettings& gate : sanitized(set, 8, 32).gates)
            actual.append(gate.key);
        QTEST(actual, "expected");
    }

    // The reader takes what it can from partial arrays, for the counts it is asked for; the writer
    // always writes 8 axes and 32 buttons.
    void documentReadsPartsAndWritesFullSet()
    {
        bool ok = false;
        CalibrationSet set = calibrationFromJson(json(R"({
            "type": "GamepadCalibration", "version": 99,
            "axes": [{"deadzoneRadius": -12}, 7, {"mode": "trigger"}],
            "buttons": {"0": {"debounceMs": 10}},
            "gates": [{"key": "a"}, {"key": "a", "xAxis": 12}, "not an object"]
        })"),
                                                 &ok, nullptr, 3, 40);
        QVERIFY(ok);
        QList<AxisSettings> axes(3);
        axes[0].deadzoneRadius = 12;
        axes[2].mode = AxisMode::Trigger;
        QCOMPARE(set.axes, axes);
        QCOMPARE(set.buttons, QList<ButtonSettings>(40));
        QCOMPARE(set.gates.size(), 3);
        QVERIFY(set.gates.at(1).key == "gate_0" && set.gates.at(1).xAxis == 2);
        QCOMPARE(set.gates.at(2), defaultGate(2));

        set.buttons[31].debounceMs = 25;
        const QJsonObject document = calibrationToJson(set, DeviceIdentity(), QString());
        // Without an identity no informative member is written.
        QCOMPARE(document.keys(), (QStringList{"axes", "buttons", "gates", "type", "version"}));
        QCOMPARE(document.value("type").toString() + document.value("version").toVariant().toString(),
                 "GamepadCalibration3");
        const QJsonArray written = document.value("axes").toArray();
        const QJsonArray buttons = document.value("buttons").toArray();
        QVERIFY(written.size() == 8 && buttons.size() == 32);
        QCOMPARE(written.at(2).toObject().value("mode").toString(), "trigger");
        QCOMPARE(written.at(7).toObject(), axisToJson(AxisSettings()));
        QCOMPARE(buttons.at(31).toObject().value("debounceMs").toInt(), 25);
        QCOMPARE(written.at(0).toObject().size() + buttons.at(0).toObject().size(), 12 + 8);
        QCOMPARE(document.value("gates").toArray().at(0).toObject().size(), 12);
    }

    void identityMembers_data()
    {
        QTest::addColumn<DeviceIdentity>("identity");
        QTest::addColumn<QString>("profileId");
        QTest::addColumn<QJsonObject>("expected"); // the informative members, nothing more
        auto row = [](const char* name, DeviceIdentity pad, const char* profile, const char* members) {
            QTest::newRow(name) << pad << QString(profile) << json(members);
        };
        row("a vendor 0x45E is written as 0x045e, a product 0 is left out", {"", 0x45E, 0}, "",
            R"({"vendorId": "0x045e"})");
        row("ids longer than four digits stay whole", {"", 0x12345, 0xFFFFFFFF}, "",
            R"({"vendorId": "0x12345", "productId": "0xffffffff"})");
        row("name and profile are trimmed", {"  Pad Pro ", 0, 0}, " 1234 ",
            R"({"deviceName": "Pad Pro", "profileId": "1234"})");
        row("blank name and profile are left out", {"   ", 0, 0}, "  ", "{}");
    }

    void identityMembers()
    {
        QFETCH(DeviceIdentity, identity);
        QFETCH(QString, profileId);
        QJsonObject document = calibrationToJson(CalibrationSet(), identity, profileId);
        for (const char* key : {"type", "version", "axes", "buttons", "gates"})
            document.remove(QLatin1String(key));
        QTEST(document, "expected");
    }

    void curve_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<double>("gamma");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("expected");
        auto row = [](const char* name, CurvePreset p, double gamma, double x, double expected) {
            QTest::newRow(name) << int(p) << gamma << x << expected;
        };
        row("custom squares", CurvePreset::Custom, 2.0, 0.5, 0.25);
        row("custom NaN gamma uses the floor", CurvePreset::Custom, kNaN, 0.5, std::pow(0.5, 0.05));
        row("custom gamma within rounding of one", CurvePreset::Custom, 1.0 + 1e-13, 0.3, 0.3);
        row("unknown preset is linear", CurvePreset(9), 2.0, 0.3, 0.3);
        row("x above one", CurvePreset::Soft, 1.0, 1.5, 1.0);
        row("x below zero", CurvePreset::Linear, 1.0, -0.2, 0.0);
        row("NaN x", CurvePreset::Linear, 1.0, kNaN, 0.0);
    }

    void curve()
    {
        QFETCH(int, preset);
        QFETCH(double, gamma);
        QFETCH(double, x);
        QTEST(applyCurve(CurvePreset(preset), gamma, x), "expected");
    }

    // Sticks and triggers: settings, raw reading, then normalized travel, output and rest flag.
    void axisTravel_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<double>("raw");
        QTest::addColumn<double>("normalized");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("atRest");
        auto row = [](const char* name, const char* json, double raw, double norm, double value, bool rest) {
            QTest::newRow(name) << QByteArray(json) << raw << norm << value << rest;
        };
        row("on the dead-zone edge", "{}", 8.0, 0, 0, true);
        row("just past the dead zone", "{}", 8.0001, 0.0001 / 92, 0.01 / 92, false);
        row("halfway out", "{}", 54, 0.5, 50, false);
        row("reading beyond travel is clamped", "{}", 120, 1, 100, false);
        const char* shortPositive = R"({"positiveRaw": 5})";
        row("negative positive span beyond dead zone", shortPositive, 60, 0, 0, true);
        row("negative side still works", shortPositive, -54, -0.5, -50, false);
        row("soft curve", R"({"curvePreset": "soft"})", 54, 0.5, 100 * std::pow(0.5, 1.6), false);
        row("aggressive curve on the negative side", R"({"curvePreset": "aggressive"})", -54, -0.5,
            -100 * std::pow(0.5, 2.6), false);
        row("custom gamma below floor", R"({"curvePreset": "custom", "gamma": 0.01})", 54, 0.5,
            100 * std::pow(0.5, 0.05), false);
        row("invert mirrors positive", R"({"invert": true})", 54, -0.5, -50, false);
        const char* scaled = R"({"outputScale": 2, "outputOffset": 10})";
        row("scaled full positive", scaled, 100, 1, 210, false);
        row("scaled full negative", scaled, -100, -1, -190, false);
        row("scaled rest sits at the offset", scaled, 0, 0, 10, true);
        row("disabled axis ignores offset", R"({"enabled": false, "outputOffset": 10})", 54, 0, 0, true);

        const char* up = R"({"mode": "trigger", "restRaw": -100, "activeRaw": 100})";
        row("trigger on the dead-zone edge", up, -92, 0, 0, true);
        const char* down = R"({"mode": "trigger", "restRaw": 100, "activeRaw": -100})";
        row("reversed trigger on the dead-zone edge", down, 92, 0, 0, true);
        row("reversed trigger full press", down, -100, 1, 100, false);
        row("scaled trigger full press, invert ignored",
            R"({"mode": "trigger", "restRaw": -100, "outputScale": 2, "outputOffset": 10, "invert": true})",
            100, 1, 210, false);
        row("curve applies to trigger travel", R"({"mode": "trigger", "curvePreset": "custom", "gamma": 2})",
            54, 0.5, 25, false);
        row("trigger travel shorter than the dead zone",
            R"({"mode": "trigger", "restRaw": 50, "activeRaw": 55})", 100, 0, 0, true);
    }

    void axisTravel()
    {
        QFETCH(QByteArray, settings);
        QFETCH(double, raw);
        QFETCH(double, normalized);
        QFETCH(double, value);
        const AxisProcessResult r = processAxis(axis(settings.constData()), raw);
        QCOMPARE(r.raw, qBound(-100.0, raw, 100.0));
        QCOMPARE(r.normalized + 1.0, normalized + 1.0); // tolerance near zero
        QCOMPARE(r.value + 1000.0, value + 1000.0);
        QTEST(r.atRest, "atRest");
    }

    void axisChangeTest_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("atRest");
        QTest::addColumn<double>("lastValue");
        QTest::addColumn<bool>("wasAtRest");
        QTest::addColumn<bool>("changed");
        QTest::newRow("move of exactly the threshold") << 10.5 << false << 10.0 << false << false;
        QTest::newRow("move just over the threshold") << 10.51 << false << 10.0 << false << true;
        QTest::newRow("leaving rest by a tiny step") << 0.01 << false << 0.0 << true << true;
        QTest::newRow("coming to rest by a tiny step") << 0.0 << true << 0.01 << false << true;
        QTest::newRow("staying at rest") << 0.0 << true << 0.0 << true << false;
    }

    void axisChangeTest()
    {
        QFETCH(double, value);
        QFETCH(bool, atRest);
        QFETCH(double, lastValue);
        QFETCH(bool, wasAtRest);
        const AxisChange c = axisOutputChanged({0.0, 0.0, value, atRest}, lastValue, wasAtRest, 0.5);
        QTEST(c.changed, "changed");
        QVERIFY(c.value == value && c.atRest == atRest); // the new output travels along
    }

    // Gate settings (radius 50, hysteresis 3, centre 0 unless changed), stick position, whether it
    // was inside, then "inside output shouldEmit" as 0/1; "invalid" when the gate cannot be evaluated.
    void gate_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<bool>("wasInside");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* json, double x, double y, bool was, const char* out) {
            QTest::newRow(name) << QByteArray(json) << x << y << was << QString(out);
        };
        row("on the circle enters", "{}", 30, 40, false, "1 1 1");
        row("inside the hysteresis ring stays", "{}", 52.9, 0, true, "1 1 0");
        row("beyond the ring leaves", "{}", 0, -53.1, true, "0 0 1");
        row("just outside the circle stays out", "{}", 50.5, 0, false, "0 0 0");
        row("inverted output while outside", R"({"invertOutput": true})", 80, 0, false, "0 1 0");
        row("entering without emitOnEnter", R"({"emitOnEnter": false})", 0, 0, false, "1 1 0");
        row("leaving without emitOnExit", R"({"emitOnExit": false})", 90, 0, true, "0 0 0");
        const char* offCentre = R"({"centerX": 100, "centerY": -100, "radius": 10, "hysteresis": -5})";
        row("off-centre circle", offCentre, 106, -108, false, "1 1 1");
        row("negative hysteresis adds nothing", offCentre, 110.1, -100, true, "0 0 1");
        row("key with spaces is trimmed", R"({"key": " aim "})", 0, 0, false, "1 1 1");
        row("the last axis for both", R"({"xAxis": 7, "yAxis": 7})", 0, 0, false, "1 1 1");
        row("blank key", R"({"key": "   "})", 0, 0, false, "invalid");
        row("negative y axis", R"({"yAxis": -1})", 0, 0, false, "invalid");
    }

    void gate()
    {
        QFETCH(QByteArray, settings);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(bool, wasInside);
        QFETCH(QString, expected);
        const GateSettings gate = gateFromJson(json(settings), 0); // not sanitised
        QList<double> values(8, 999.0);
        if (gate.xAxis >= 0 && gate.yAxis >= 0) {
            values[gate.xAxis] = x;
            values[gate.yAxis] = y;
        }
        const GateEvaluation e = evaluateGate(gate, values, wasInside);
        QCOMPARE(e.key, gate.key.trimmed());
        if (expected == "invalid") {
            QVERIFY(!e.valid && !e.inside && !e.output && !e.changed && !e.shouldEmit && e.distance == 0.0);
            return;
        }
        QVERIFY(e.valid);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(e.inside).arg(e.output).arg(e.shouldEmit), expected);
        QCOMPARE(e.changed, e.inside != wasInside);
        QCOMPARE(e.distance, std::hypot(x - gate.centerX, y - gate.centerY));
    }

    void buttonTiming_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("run"); // "<polls> => <reports>"
        auto row = [](const char* name, const char* json, const char* run) {
            QTest::newRow(name) << QByteArray(json) << QString(run);
        };
        row("default reports the press only", "{}", "0:1 10-500:1 510:0 520-600:0 => 0:1");
        const char* debounced = R"({"emitOnRelease": true, "debounceMs": 50})";
        row("quick release is dropped by debounce", debounced, "0:1 20:0 80:1 => 0:1 80:1");
        row("edge exactly at the debounce time", debounced, "0:1 50:0 => 0:1 50:0");
        row("edge a millisecond early", debounced, "0:1 49:0 => 0:1");
        const char* repeating = R"({"repeatOnPress": true})"; // delay 350, interval 120
        row("held button repeats", repeating, "0:1 10-700:1 => 0:1 350:1r 470:1r 590:1r");
        row("late poll yields one repeat", repeating,
            "0:1 1000:1 1010-1200:1 => 0:1 1000:1r 1070:1r 1190:1r");
        row("release stops the repeat", repeating, "0:1 10-400:1 410:0 420-1000:0 => 0:1 350:1r");
        row("zero delay with short interval waits ten ms",
            R"({"repeatOnPress": true, "repeatDelayMs": 0, "repeatIntervalMs": 5})",
            "0:1 1-25/1:1 => 0:1 10:1r 20:1r");
        row("repeats leave the debounce clock alone",
            R"({"repeatOnPress": true, "repeatDelayMs": 100, "repeatIntervalMs": 100, "debounceMs": 150})",
            "0:1 10-200:1 210:0 220:1 => 0:1 100:1r 200:1r 220:1");
        row("repeat on release", R"({"emitOnPress": false, "emitOnRelease": true, "repeatOnRelease": true})",
            "0:1 100:0 110-600:0 => 100:0 450:0r 570:0r");
        row("repeat needs its edge reported", R"({"emitOnPress": false, "repeatOnPress": true})",
            "0:1 10-800:1 => ");
        row("disabled button reports nothing",
            R"({"enabled": false, "emitOnRelease": true, "repeatOnPress": true})", "0:1 10-800:1 810:0 => ");
    }

    void buttonTiming()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, run);
        const QStringList parts = run.split(" =>");
        QCOMPARE(runButton(buttonFromJson(json(settings)), parts.at(0)), parts.at(1).trimmed());
    }

    // A calibration reload between polls can forbid the repeat; it stays off once disarmed.
    void repeatDisarmsWhenSettingsForbidIt()
    {
        const ButtonSettings repeating = buttonFromJson(json(R"({"repeatOnPress": true})"));
        ButtonState state;
        QVERIFY(stepButton(repeating, state, true, 0).report && state.repeatArmed);
        QVERIFY(!stepButton(ButtonSettings(), state, true, 400).report);
        QVERIFY(!state.repeatArmed);
        QVERIFY(!stepButton(repeating, state, true, 410).report);
    }

    // The landmarks a preview draws are the ones the arithmetic uses: the dead zone ends exactly
    // where the axis leaves rest.
    void rawLandmarks_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QList<double>>("expected"); // rest, dead zone low/high, travel from/to
        QTest::newRow("default stick") << QByteArray("{}") << QList<double>{0, -8, 8, -100, 100};
        QTest::newRow("trigger travels from rest, dead zone sanitised")
            << QByteArray(R"({"mode": "trigger", "restRaw": -100, "deadzoneRadius": -12, "activeRaw": 90})")
            << QList<double>{-100, -112, -88, -100, 90};
    }

    void rawLandmarks()
    {
        QFETCH(QByteArray, json);
        const AxisSettings settings = axis(json.constData());
        const AxisRawLandmarks m = axisRawLandmarks(settings);
        QTEST((QList<double>{m.rest, m.deadzoneLow, m.deadzoneHigh, m.travelFrom, m.travelTo}), "expected");
        QCOMPARE(m.trigger, settings.mode == AxisMode::Trigger);
        QVERIFY(processAxis(settings, m.deadzoneHigh).atRest);
        QVERIFY(!processAxis(settings, m.deadzoneHigh + 0.01).atRest);
    }

    void sanitizedDeviceName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sanitized");
        auto row = [](const char* name, const QString& in, const QString& out) {
            QTest::newRow(name) << in << out;
        };
        row("spaces are trimmed and two colons become one underscore", "  Pad::Pro  ", "pad_pro");
        row("inner runs collapse, edges stay", "Pad Pro (USB)", "pad_pro_usb_");
        row("only punctuation gives one underscore", "!!!", "_");
        row("a blank name is unknown", " \t ", "unknown");
        row("digits and accented letters stay", "Manette ÉTÉ 360", "manette_été_360");
        row("100 letters keep the first 64", QString(60, 'a') + QString(40, 'b'), QString(60, 'a') + "bbbb");
    }

    void sanitizedDeviceName()
    {
        QFETCH(QString, name);
        QTEST(GamepadCalibration::sanitizedDeviceName(name), "sanitized");
    }

    void baseCalibrationFileName()
    {
        QCOMPARE(GamepadCalibration::baseCalibrationFileName({" Pad::Pro ", 0, 0}), "0000_0000_pad_pro.json");
        QCOMPARE(GamepadCalibration::baseCalibrationFileName({"X", 0x45E, 0xABCD}), "045e_abcd_x.json");
        QCOMPARE(GamepadCalibration::baseCalibrationFileName({"", 0x12345, 1}), "12345_0001_unknown.json");
        QStringList labels;
        for (int source : {0, 1, 2, 7})
            labels << calibrationSourceLabel(CalibrationSource(source));
        QCOMPARE(labels, (QStringList{"Defaults", "Base device", "Profile override", "Defaults"}));
    }

    void findBaseFileFollowsSearchOrder()
    {
        // The file found, relative to the data root.
        const auto found = [this](const DeviceIdentity& pad) {
            return QDir(data()).relativeFilePath(findBaseCalibrationFile(pad)).section('/', 0, -3);
        };
        const DeviceIdentity pad{"Pad", 0x45e, 0x28e};
        const QString name = "/_deviceCalibration/045e_028e_pad.json";
        QCOMPARE(findBaseCalibrationFile(pad), QString());
        writeFile(data() + "/Gamepads" + name, document(1));
        QCOMPARE(found(pad), "Gamepads");
        writeFile(data() + "/GamepadProfiles" + name, document(2));
        QCOMPARE(found(pad), "GamepadProfiles");
        // A folder under the file's name in an earlier root is no file: the search goes on.
        QVERIFY(QDir().mkpath(data() + "/alice/GamepadProfiles" + name));
        QCOMPARE(found(pad), "GamepadProfiles");
        QVERIFY(QDir(data() + "/alice/GamepadProfiles" + name).removeRecursively());
        writeFile(data() + "/alice/GamepadProfiles" + name, document(3));
        QCOMPARE(found(pad), "alice/GamepadProfiles");

        // A blank identity has no base file, even when one with its name exists; one id is enough.
        writeFile(data() + "/GamepadProfiles/_deviceCalibration/0000_0000_unknown.json", document(4));
        QCOMPARE(findBaseCalibrationFile({"  ", 0, 0}), QString());
        writeFile(data() + "/Gamepads/_deviceCalibration/0000_0001_unknown.json", document(5));
        QCOMPARE(found({"", 0, 1}), "Gamepads");
    }

    void baseSavePath_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("canEdit");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("relative"); // empty for no path
        auto row = [](const char* name, const char* login, bool canEdit, const char* pad, const char* path) {
            QTest::newRow(name) << QString(login) << canEdit << QString(pad) << QString(path);
        };
        row("a user writes to the own root", "alice", false, "Pad",
            "alice/GamepadProfiles/_deviceCalibration/0001_0002_pad.json");
        row("no login and no edit right give no path", "", false, "Pad", "");
        row("a blank identity gives no path", "alice", true, "", "");
    }

    void baseSavePath()
    {
        QFETCH(QString, login);
        QFETCH(bool, canEdit);
        QFETCH(QString, name);
        QFETCH(QString, relative);
        TestSupport::DataRoot::setLogin(login, canEdit);
        const DeviceIdentity identity{name, name.isEmpty() ? 0u : 1u, name.isEmpty() ? 0u : 2u};
        QCOMPARE(baseCalibrationSavePath(identity), relative.isEmpty() ? QString() : data() + "/" + relative);
    }

    void overridePath_data()
    {
        QTest::addColumn<QUuid>("id");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("path");
        auto row = [](const char* name, bool withId, const char* folder, const char* file, const char* path) {
            QTest::newRow(name) << (withId ? QUuid::createUuid() : QUuid()) << QString(folder)
                                << QString(file) << QString(path);
        };
        row("the default file name", true, "/p/def", "", "/p/def/calibration.override.json");
        row("an own file name trimmed", true, "/p/def", " mine.json ", "/p/def/mine.json");
        row("an absolute file name gives the default", true, "/p/def", "/elsewhere/c.json",
            "/p/def/calibration.override.json");
        row("a name climbing out gives the default", true, "/p/def", "../c.json",
            "/p/def/calibration.override.json");
        row("a null profile id has none", false, "/p/def", "", "");
        row("a blank folder has none", true, "  ", "", "");
    }

    void overridePath()
    {
        QFETCH(QUuid, id);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        ProfileCalibrationContext context;
        context.profileId = id;
        context.profileFolder = folder;
        context.calibrationOverrideFile = file;
        QTEST(overrideCalibrationPath(context), "path");
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("content"); // null for no file
        QTest::addColumn<QString>("error");      // "untouched" when no text is set; "*" for the parser's text

        auto row = [](const char* name, const QByteArray& content, const char* error) {
            QTest::newRow(name) << content << QString(error);
        };
        row("a missing file sets no text", QByteArray(), "untouched");
        row("a folder in the file's place sets no text", "dir", "untouched");
        row("an empty file", "", "*");
        row("binary garbage", QByteArray("\x00\x9f\x92\x96", 4), "*");
        row("a truncated document", document(20).left(30), "*");
        row("valid JSON of the wrong shape is told in French", "[1, 2, 3]",
            "Le fichier ne contient pas d’objet JSON.");
        row("a type in other case", R"({"type":"gamepadcalibration","axes":[]})",
            "Unsupported calibration type");
        row("a type that is no text", R"({"type":3})", "Unsupported calibration type");
    }

    void loadFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString path = data() + "/c.json";
        if (content == "dir")
            QVERIFY(QDir().mkpath(path));
        else if (!content.isNull())
            writeFile(path, content);

        CalibrationSet set;
        set.axes.resize(2);
        QString text = "untouched";
        QVERIFY(!loadCalibrationFile(path, &set, &text, 4, 2));
        QCOMPARE(set, defaultCalibration(4, 2));
        if (error == "*")
            QVERIFY2(!text.isEmpty() && text != "untouched" && !text.contains("JSON object"),
                     qPrintable(text));
        else
            QCOMPARE(text, error);
        QVERIFY(!loadCalibrationFile(path, nullptr)); // optional targets
    }

    void saveAndLoadRoundTrip()
    {
        CalibrationSet set = defaultCalibration();
        set.axes[2].deadzoneRadius = 150; // saved sanitised
        set.buttons[5].debounceMs = 40;
        set.gates.append(defaultGate(0));
        const QString path = data() + "/deep/er/base.json";
        QString error;
        QVERIFY2(saveCalibrationFile(path, set, {" Pad ", 0x45e, 0}, " 1234 ", &error), qPrintable(error));

        const QByteArray bytes = TestSupport::readFile(path);
        QVERIFY(bytes.contains("\n    ")); // indented
        // The identity reaches the document (its members are checked with the document writer).
        QCOMPARE(QJsonDocument::fromJson(bytes).object().value("vendorId").toString(), "0x045e");

        CalibrationSet loaded;
        QVERIFY(loadCalibrationFile(path, &loaded, &error));
        QCOMPARE(loaded, sanitized(set));
        QCOMPARE(loaded.axes[2].deadzoneRadius, 99.0);

        // Overwriting a longer file leaves no trailing bytes.
        writeFile(path, QByteArray(100000, ' '));
        QVERIFY(saveCalibrationFile(path, defaultCalibration(), {}, QString(), &error));
        QVERIFY(loadCalibrationFile(path, &loaded, &error));
        QCOMPARE(loaded, defaultCalibration());

        // Read-only folders, a file where the folder should be and a full disk: with the file faults.
        QVERIFY(!saveCalibrationFile("  ", defaultCalibration(), {}, QString(), &error));
        QCOMPARE(error, "Empty path");
    }

    void resolve_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("overrides");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("withId");
        QTest::addColumn<CalibrationSource>("source");

        using S = CalibrationSource;
        auto row = [](const char* name, int base, int overrides, const char* mode, bool withId, S source) {
            QTest::newRow(name) << base << overrides << QString(mode) << withId << source;
        };
        row("nothing on disk gives defaults", Missing, Missing, "override", true, S::Defaults);
        row("a base file", Valid, Missing, "inherit", true, S::BaseDevice);
        row("a broken base file is skipped", Broken, Missing, "inherit", true, S::Defaults);
        row("an override in any case, trimmed", Valid, Valid, " OverRide ", true, S::ProfileOverride);
        row("an override without base", Missing, Valid, "OVERRIDE", true, S::ProfileOverride);
        row("inherit ignores an existing override", Valid, Valid, "inherit", true, S::BaseDevice);
        row("an override of the wrong type falls back to base", Valid, WrongType, "override", true,
            S::BaseDevice);
        row("an override of the wrong type falls back to defaults", Missing, WrongType, "override", true,
            S::Defaults);
        row("a null profile id uses base only", Valid, Valid, "override", false, S::BaseDevice);
    }

    void resolve()
    {
        QFETCH(int, base);
        QFETCH(int, overrides);
        QFETCH(QString, mode);
        QFETCH(bool, withId);
        QFETCH(CalibrationSource, source);
        const QString basePath = data() + "/GamepadProfiles/_deviceCalibration/0001_0002_pad.json";
        if (base != Missing)
            writeFile(basePath, base == Valid ? document(20) : document(20).left(20));
        ProfileCalibrationContext context;
        context.profileId = withId ? QUuid::createUuid() : QUuid();
        context.profileFolder = data() + "/GamepadProfiles/profile";
        context.calibrationMode = mode;
        const QString overridePath = context.profileFolder + "/calibration.override.json";
        if (overrides == Valid)
            writeFile(overridePath, document(150)); // sanitised to 99
        else if (overrides == WrongType)
            writeFile(overridePath, R"({"type":"GamepadDefinderMeta","axes":[{"deadzoneRadius":30}]})");

        const ResolvedCalibration resolved = resolveCalibration({"Pad", 1, 2}, context, 4, 3);
        QCOMPARE(resolved.source, source);
        QCOMPARE(resolved.basePath, base == Missing ? QString() : basePath);
        QCOMPARE(resolved.overridePath, withId ? overridePath : QString());
        QCOMPARE(resolved.calibration.buttons.size(), 3);
        const double deadzone[] = {8.0, 20.0, 99.0}; // Defaults, BaseDevice, ProfileOverride
        const QString sourcePath[] = {QString(), basePath, overridePath};
        QCOMPARE(resolved.calibration.axes.value(0).deadzoneRadius, deadzone[int(source)]);
        QCOMPARE(resolved.sourcePath, sourcePath[int(source)]);
    }

private:
    QString data() const { return m_data->path(); }
    // A valid document whose first axis has the given dead zone, so sources can be told apart.
    static QByteArray document(double deadzone)
    {
        return QJsonDocument(QJsonObject{{"type", "GamepadCalibration"},
                                         {"axes", QJsonArray{QJsonObject{{"deadzoneRadius", deadzone}}}}})
            .toJson();
    }
    std::unique_ptr<TestSupport::DataRoot> m_data;
};

QTEST_GUILESS_MAIN(tst_CalibrationProcessing)
#include "tst_calibrationprocessing.moc"
