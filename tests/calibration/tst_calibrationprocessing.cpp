// Calibration arithmetic: curves, axis travel, the change test, gates with hysteresis and the
// button debounce/repeat rules fed as timed poll sequences.
#include "calibrationprocessing.h"
#include "support/testsupport.h"

#include <cmath>
#include <limits>

using namespace GamepadCalibration;

namespace {

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
    void curve_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<double>("gamma");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("expected");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        auto row = [](const char* name, CurvePreset p, double gamma, double x, double expected) {
            QTest::newRow(name) << int(p) << gamma << x << expected;
        };
        row("custom squares", CurvePreset::Custom, 2.0, 0.5, 0.25);
        row("custom NaN gamma uses the floor", CurvePreset::Custom, nan, 0.5, std::pow(0.5, 0.05));
        row("custom gamma within rounding of one", CurvePreset::Custom, 1.0 + 1e-13, 0.3, 0.3);
        row("unknown preset is linear", CurvePreset(9), 2.0, 0.3, 0.3);
        row("x above one", CurvePreset::Soft, 1.0, 1.5, 1.0);
        row("x below zero", CurvePreset::Linear, 1.0, -0.2, 0.0);
        row("NaN x", CurvePreset::Linear, 1.0, nan, 0.0);
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
        row("full negative", "{}", -100, -1, -100, false);
        row("reading beyond travel is clamped", "{}", 120, 1, 100, false);
        const char* shortPositive = R"({"positiveRaw": 5})";
        row("negative positive span inside dead zone", shortPositive, 3, 0, 0, true);
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
        row("trigger full press", up, 100, 1, 100, false);
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
        QCOMPARE(c.value, value);
        QCOMPARE(c.atRest, atRest);
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
        row("leaving with emitOnExit", R"({"emitOnEnter": false})", 90, 0, true, "0 0 1");
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
        const GateSettings gate = gateFromJson(TestSupport::json(settings), 0); // not sanitised
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
        QCOMPARE(runButton(buttonFromJson(TestSupport::json(settings)), parts.at(0)), parts.at(1).trimmed());
    }

    // A calibration reload between polls can forbid the repeat; it stays off once disarmed.
    void repeatDisarmsWhenSettingsForbidIt()
    {
        const ButtonSettings repeating = buttonFromJson(TestSupport::json(R"({"repeatOnPress": true})"));
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
};

QTEST_GUILESS_MAIN(tst_CalibrationProcessing)
#include "tst_calibrationprocessing.moc"
