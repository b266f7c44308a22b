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

ButtonSettings button(const char* json)
{
    return buttonFromJson(TestSupport::json(json));
}

// Polls written as "t:p" (pressed 1 or 0 at t ms) or "a-b/s:p" (every s ms from a to b inclusive).
// Returns the reports as "t:p", with "r" appended for a repeat.
QString runButton(const ButtonSettings& settings, const QString& polls)
{
    ButtonState state;
    QStringList reports;
    auto poll = [&](qint64 now, bool pressed) {
        const ButtonStepResult r = stepButton(settings, state, pressed, now);
        QVERIFY(!r.repeat || r.report);
        if (r.report)
            reports.append(
                QStringLiteral("%1:%2%3").arg(now).arg(int(pressed)).arg(QLatin1String(r.repeat ? "r" : "")));
    };
    for (const QString& item : polls.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList timePressed = item.split(QLatin1Char(':'));
        const bool pressed = timePressed.at(1) == QLatin1String("1");
        const QStringList rangeStep = timePressed.at(0).split(QLatin1Char('/'));
        const QStringList range = rangeStep.at(0).split(QLatin1Char('-'));
        const qint64 from = range.at(0).toLongLong();
        const qint64 to = range.value(1, range.at(0)).toLongLong();
        const qint64 step = rangeStep.value(1, "10").toLongLong();
        for (qint64 t = from; t <= to; t += step)
            poll(t, pressed);
    }
    return reports.join(QLatin1Char(' '));
}

// Shared by the bidirectional and trigger tables.
void axisColumns()
{
    QTest::addColumn<AxisSettings>("settings");
    QTest::addColumn<double>("raw");
    QTest::addColumn<double>("normalized");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("atRest");
}

void checkAxisRow()
{
    QFETCH(AxisSettings, settings);
    QFETCH(double, raw);
    QFETCH(double, normalized);
    QFETCH(double, value);
    QFETCH(bool, atRest);

    const AxisProcessResult r = processAxis(settings, raw);
    QCOMPARE(r.raw, qBound(-100.0, raw, 100.0));
    QCOMPARE(r.normalized + 1.0, normalized + 1.0); // tolerance near zero
    QCOMPARE(r.value + 1000.0, value + 1000.0);
    QCOMPARE(r.atRest, atRest);
    if (!atRest)
        QVERIFY(std::signbit(r.value - settings.outputOffset) == std::signbit(value - settings.outputOffset));
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
        QTest::newRow("custom squares") << int(CurvePreset::Custom) << 2.0 << 0.5 << 0.25;
        QTest::newRow("custom NaN gamma uses the floor")
            << int(CurvePreset::Custom) << nan << 0.5 << std::pow(0.5, 0.05);
        QTest::newRow("custom gamma within rounding of one")
            << int(CurvePreset::Custom) << 1.0 + 1e-13 << 0.3 << 0.3;
        QTest::newRow("unknown preset is linear") << 9 << 2.0 << 0.3 << 0.3;
        QTest::newRow("x above one") << int(CurvePreset::Soft) << 1.0 << 1.5 << 1.0;
        QTest::newRow("x below zero") << int(CurvePreset::Linear) << 1.0 << -0.2 << 0.0;
        QTest::newRow("NaN x") << int(CurvePreset::Linear) << 1.0 << nan << 0.0;
    }

    void curve()
    {
        QFETCH(int, preset);
        QFETCH(double, gamma);
        QFETCH(double, x);
        QTEST(applyCurve(CurvePreset(preset), gamma, x), "expected");
    }

    void bidirectionalAxis_data()
    {
        axisColumns();

        const AxisSettings plain;
        QTest::newRow("on the dead-zone edge") << plain << 8.0 << 0.0 << 0.0 << true;
        QTest::newRow("just past the dead zone") << plain << 8.0001 << 0.0001 / 92 << 0.01 / 92 << false;
        QTest::newRow("halfway out") << plain << 54.0 << 0.5 << 50.0 << false;
        QTest::newRow("full negative") << plain << -100.0 << -1.0 << -100.0 << false;
        QTest::newRow("reading beyond travel is clamped") << plain << 120.0 << 1.0 << 100.0 << false;

        const AxisSettings shortPositive = axis(R"({"positiveRaw": 5})");
        QTest::newRow("negative positive span inside dead zone")
            << shortPositive << 3.0 << 0.0 << 0.0 << true;
        QTest::newRow("negative positive span beyond dead zone")
            << shortPositive << 60.0 << 0.0 << 0.0 << true;
        QTest::newRow("negative side still works") << shortPositive << -54.0 << -0.5 << -50.0 << false;

        QTest::newRow("soft curve") << axis(R"({"curvePreset": "soft"})") << 54.0 << 0.5
                                    << 100 * std::pow(0.5, 1.6) << false;
        QTest::newRow("aggressive curve on the negative side")
            << axis(R"({"curvePreset": "aggressive"})") << -54.0 << -0.5 << -100 * std::pow(0.5, 2.6)
            << false;
        QTest::newRow("custom gamma below floor") << axis(R"({"curvePreset": "custom", "gamma": 0.01})")
                                                  << 54.0 << 0.5 << 100 * std::pow(0.5, 0.05) << false;

        const AxisSettings inverted = axis(R"({"invert": true})");
        QTest::newRow("invert mirrors positive") << inverted << 54.0 << -0.5 << -50.0 << false;

        const AxisSettings scaled = axis(R"({"outputScale": 2, "outputOffset": 10})");
        QTest::newRow("scaled full positive") << scaled << 100.0 << 1.0 << 210.0 << false;
        QTest::newRow("scaled full negative") << scaled << -100.0 << -1.0 << -190.0 << false;
        QTest::newRow("scaled rest sits at the offset") << scaled << 0.0 << 0.0 << 10.0 << true;

        QTest::newRow("disabled axis ignores offset")
            << axis(R"({"enabled": false, "outputOffset": 10})") << 54.0 << 0.0 << 0.0 << true;
    }

    void bidirectionalAxis() { checkAxisRow(); }

    void triggerAxis_data()
    {
        axisColumns();

        const AxisSettings up = axis(R"({"mode": "trigger", "restRaw": -100, "activeRaw": 100})");
        QTest::newRow("on the dead-zone edge") << up << -92.0 << 0.0 << 0.0 << true;
        QTest::newRow("full press") << up << 100.0 << 1.0 << 100.0 << false;

        const AxisSettings down = axis(R"({"mode": "trigger", "restRaw": 100, "activeRaw": -100})");
        QTest::newRow("reversed: on the dead-zone edge") << down << 92.0 << 0.0 << 0.0 << true;
        QTest::newRow("reversed: full press") << down << -100.0 << 1.0 << 100.0 << false;

        const AxisSettings scaled = axis(
            R"({"mode": "trigger", "restRaw": -100, "outputScale": 2, "outputOffset": 10, "invert": true})");
        QTest::newRow("scaled full press, invert ignored") << scaled << 100.0 << 1.0 << 210.0 << false;

        const AxisSettings centred = axis(R"({"mode": "trigger", "curvePreset": "custom", "gamma": 2})");
        QTest::newRow("curve applies to trigger travel") << centred << 54.0 << 0.5 << 25.0 << false;
        QTest::newRow("travel shorter than the dead zone")
            << axis(R"({"mode": "trigger", "restRaw": 50, "activeRaw": 55})") << 100.0 << 0.0 << 0.0 << true;
    }

    void triggerAxis() { checkAxisRow(); }

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

        const AxisChange c =
            axisOutputChanged(AxisProcessResult{0.0, 0.0, value, atRest}, lastValue, wasAtRest, 0.5);
        QTEST(c.changed, "changed");
        QCOMPARE(c.value, value);
        QCOMPARE(c.atRest, atRest);
    }

    void gate_data()
    {
        QTest::addColumn<GateSettings>("gate");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<bool>("wasInside");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<bool>("output");
        QTest::addColumn<bool>("shouldEmit");

        const GateSettings plain = defaultGate(0); // radius 50, hysteresis 3, centre 0
        QTest::newRow("on the circle enters") << plain << 30.0 << 40.0 << false << true << true << true;
        QTest::newRow("inside the hysteresis ring stays")
            << plain << 52.9 << 0.0 << true << true << true << false;
        QTest::newRow("beyond the ring leaves") << plain << 0.0 << -53.1 << true << false << false << true;
        QTest::newRow("just outside the circle stays out")
            << plain << 50.5 << 0.0 << false << false << false << false;

        GateSettings inverted = plain;
        inverted.invertOutput = true;
        QTest::newRow("inverted output while outside")
            << inverted << 80.0 << 0.0 << false << false << true << false;

        GateSettings quietEnter = plain;
        quietEnter.emitOnEnter = false;
        QTest::newRow("entering without emitOnEnter")
            << quietEnter << 0.0 << 0.0 << false << true << true << false;
        QTest::newRow("leaving with emitOnExit")
            << quietEnter << 90.0 << 0.0 << true << false << false << true;
        GateSettings quietExit = plain;
        quietExit.emitOnExit = false;
        QTest::newRow("leaving without emitOnExit")
            << quietExit << 90.0 << 0.0 << true << false << false << false;

        GateSettings offCentre = plain;
        offCentre.centerX = 100;
        offCentre.centerY = -100;
        offCentre.radius = 10;
        offCentre.hysteresis = -5; // counts as 0
        QTest::newRow("off-centre circle") << offCentre << 106.0 << -108.0 << false << true << true << true;
        QTest::newRow("negative hysteresis adds nothing")
            << offCentre << 110.1 << -100.0 << true << false << false << true;
    }

    void gate()
    {
        QFETCH(GateSettings, gate);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(bool, wasInside);
        QFETCH(bool, inside);

        QList<double> values(8, 999.0);
        values[gate.xAxis] = x;
        values[gate.yAxis] = y;
        const GateEvaluation e = evaluateGate(gate, values, wasInside);
        QVERIFY(e.valid);
        QCOMPARE(e.key, gate.key);
        QCOMPARE(e.inside, inside);
        QTEST(e.output, "output");
        QCOMPARE(e.changed, inside != wasInside);
        QTEST(e.shouldEmit, "shouldEmit");
        QCOMPARE(e.distance, std::hypot(x - gate.centerX, y - gate.centerY));
    }

    void gateThatCannotBeEvaluated_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("xAxis");
        QTest::addColumn<int>("yAxis");
        QTest::addColumn<bool>("valid");

        QTest::newRow("key with spaces is trimmed") << QStringLiteral(" aim ") << 0 << 1 << true;
        QTest::newRow("blank key") << QStringLiteral("   ") << 0 << 1 << false;
        QTest::newRow("negative y axis") << QStringLiteral("g") << 0 << -1 << false;
        QTest::newRow("last axis") << QStringLiteral("g") << 7 << 7 << true;
    }

    void gateThatCannotBeEvaluated()
    {
        QFETCH(QString, key);
        QFETCH(int, xAxis);
        QFETCH(int, yAxis);
        QFETCH(bool, valid);

        GateSettings gate;
        gate.key = key;
        gate.xAxis = xAxis;
        gate.yAxis = yAxis;
        const GateEvaluation e = evaluateGate(gate, QList<double>(8, 0.0), false);
        QCOMPARE(e.key, key.trimmed());
        QCOMPARE(e.valid, valid);
        QCOMPARE(e.inside, valid);
        QCOMPARE(e.shouldEmit, valid);
        if (!valid)
            QVERIFY(!e.output && !e.changed && e.distance == 0.0);
    }

    void buttonTiming_data()
    {
        QTest::addColumn<ButtonSettings>("settings");
        QTest::addColumn<QString>("run"); // "<polls> => <reports>"

        QTest::newRow("default reports the press only")
            << ButtonSettings() << "0:1 10-500:1 510:0 520-600:0 => 0:1";
        const ButtonSettings debounced = button(R"({"emitOnRelease": true, "debounceMs": 50})");
        QTest::newRow("quick release is dropped by debounce") << debounced << "0:1 20:0 80:1 => 0:1 80:1";
        QTest::newRow("edge exactly at the debounce time") << debounced << "0:1 50:0 => 0:1 50:0";
        QTest::newRow("edge a millisecond early") << debounced << "0:1 49:0 => 0:1";

        const ButtonSettings repeating = button(R"({"repeatOnPress": true})"); // delay 350, interval 120
        QTest::newRow("held button repeats") << repeating << "0:1 10-700:1 => 0:1 350:1r 470:1r 590:1r";
        QTest::newRow("late poll yields one repeat")
            << repeating << "0:1 1000:1 1010-1200:1 => 0:1 1000:1r 1070:1r 1190:1r";
        QTest::newRow("release stops the repeat")
            << repeating << "0:1 10-400:1 410:0 420-1000:0 => 0:1 350:1r";
        QTest::newRow("zero delay with short interval waits ten ms")
            << button(R"({"repeatOnPress": true, "repeatDelayMs": 0, "repeatIntervalMs": 5})")
            << "0:1 1-25/1:1 => 0:1 10:1r 20:1r";
        QTest::newRow("repeats leave the debounce clock alone")
            << button(
                   R"({"repeatOnPress": true, "repeatDelayMs": 100, "repeatIntervalMs": 100, "debounceMs": 150})")
            << "0:1 10-200:1 210:0 220:1 => 0:1 100:1r 200:1r 220:1";
        QTest::newRow("repeat on release")
            << button(R"({"emitOnPress": false, "emitOnRelease": true, "repeatOnRelease": true})")
            << "0:1 100:0 110-600:0 => 100:0 450:0r 570:0r";
        QTest::newRow("repeat needs its edge reported")
            << button(R"({"emitOnPress": false, "repeatOnPress": true})") << "0:1 10-800:1 => ";
        QTest::newRow("disabled button reports nothing")
            << button(R"({"enabled": false, "emitOnRelease": true, "repeatOnPress": true})")
            << "0:1 10-800:1 810:0 => ";
    }

    void buttonTiming()
    {
        QFETCH(ButtonSettings, settings);
        QFETCH(QString, run);
        const QStringList parts = run.split(" =>");
        QCOMPARE(runButton(settings, parts.at(0)), parts.at(1).trimmed());
    }

    // A calibration reload between polls can forbid the repeat; it stays off once disarmed.
    void repeatDisarmsWhenSettingsForbidIt()
    {
        const ButtonSettings repeating = button(R"({"repeatOnPress": true, "repeatDelayMs": 50})");
        ButtonSettings forbidden = repeating;
        forbidden.repeatOnPress = false;

        ButtonState state;
        QVERIFY(stepButton(repeating, state, true, 0).report);
        QVERIFY(state.repeatArmed);
        QVERIFY(!stepButton(forbidden, state, true, 60).report);
        QVERIFY(!state.repeatArmed);
        QVERIFY(!stepButton(repeating, state, true, 70).report);
    }

    // The landmarks a preview draws are the ones the arithmetic uses: the dead zone ends exactly
    // where the axis leaves rest.
    void rawLandmarks_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QList<double>>("expected"); // rest, dead zone low/high, travel from/to

        QTest::newRow("default stick") << QByteArray("{}") << QList<double>{0, -8, 8, -100, 100};
        QTest::newRow("trigger travels from rest, dead zone sanitised")
            << QByteArray(
                   "{\"mode\": \"trigger\", \"restRaw\": -100, \"deadzoneRadius\": -12, \"activeRaw\": 90}")
            << QList<double>{-100, -112, -88, -100, 90};
    }

    void rawLandmarks()
    {
        QFETCH(QByteArray, json);
        QFETCH(QList<double>, expected);
        const AxisSettings settings = axis(json.constData());
        const AxisRawLandmarks marks = axisRawLandmarks(settings);
        QCOMPARE((QList<double>{marks.rest, marks.deadzoneLow, marks.deadzoneHigh, marks.travelFrom,
                                marks.travelTo}),
                 expected);
        QCOMPARE(marks.trigger, settings.mode == AxisMode::Trigger);
        QVERIFY(processAxis(settings, marks.deadzoneHigh).atRest);
        QVERIFY(!processAxis(settings, marks.deadzoneHigh + 0.01).atRest);
    }
};

QTEST_GUILESS_MAIN(tst_CalibrationProcessing)
#include "tst_calibrationprocessing.moc"
