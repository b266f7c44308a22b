// The guided calibration's arithmetic: what it proposes for an axis from its rest, noise and
// travel, what it leaves alone, the rest step's length on the caller's clock, and the
// circularity of a stick's travel.
#include "guidedcalibration.h"

#include <QTest>

#include <cmath>

using namespace GamepadCalibration;

namespace {

using Reading = GuidedCalibration::Reading;

Reading reading(double value)
{
    Reading r;
    r.fill(value);
    return r;
}

// Two seconds of rest at 100 Hz, alternating rest - noise and rest + noise.
void feedRest(GuidedCalibration& guide, double rest, double noise)
{
    for (int ms = 0; ms <= 2000; ms += 10)
        guide.addSample(ms, reading(rest + ((ms / 10) % 2 ? noise : -noise)));
}

} // namespace

class tst_GuidedCalibration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void proposalForOneAxis_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("modeBefore");
        QTest::addColumn<double>("rest");
        QTest::addColumn<double>("noise");
        QTest::addColumn<double>("low"); // the travel's ends, reached once each
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("expected"); // mode rest deadzone negative positive active

        const int bidi = int(AxisMode::Bidirectional);
        const int trigger = int(AxisMode::Trigger);
        QTest::newRow(
            "a noisy stick left alone gets its mean as rest and the noise plus a margin as dead zone")
            << true << bidi << 1.04 << 0.5 << 1.04 << 1.04 << "0 1 2.6 -100 100 100";
        QTest::newRow("a stick moved to both ends gets them as its ends")
            << true << bidi << 0.0 << 0.0 << -97.26 << 98.84 << "0 0 2 -97.3 98.8 100";
        QTest::newRow("a side travelled too little keeps its end")
            << true << bidi << 0.0 << 0.0 << -60.0 << 10.0 << "0 0 2 -60 100 100";
        QTest::newRow("an axis resting low and pressed across is a trigger towards its high end")
            << true << bidi << -100.0 << 0.0 << -100.0 << 99.5 << "1 -100 2 -100 100 99.5";
        QTest::newRow("an axis resting high and pressed across is a trigger towards its low end")
            << true << bidi << 100.0 << 0.0 << -98.0 << 100.0 << "1 100 2 -100 100 -98";
        QTest::newRow("an axis resting at an end that never moved keeps its mode and ends")
            << true << bidi << -100.0 << 0.0 << -100.0 << -100.0 << "0 -100 2 -100 100 100";
        QTest::newRow("a trigger that rests in the middle and travels both ways becomes a stick axis")
            << true << trigger << 0.0 << 0.0 << -90.0 << 90.0 << "0 0 2 -90 90 100";
        QTest::newRow("an axis the pad lacks is left exactly as it was")
            << false << trigger << 0.0 << 0.0 << -90.0 << 90.0 << "1 5 8 -100 100 100";
    }

    void proposalForOneAxis()
    {
        QFETCH(bool, present);
        QFETCH(int, modeBefore);
        QFETCH(double, rest);
        QFETCH(double, noise);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QString, expected);

        QList<bool> axes(kAxisCount, true);
        axes[0] = present;
        GuidedCalibration guide(axes);
        feedRest(guide, rest, noise);
        QVERIFY(guide.next());
        guide.addSample(2100, reading(low));
        guide.addSample(2200, reading(high));
        QVERIFY(guide.next() && guide.next());
        QCOMPARE(guide.step(), GuidedCalibration::Step::Summary);
        guide.addSample(2300, reading(-100)); // after the last step nothing counts

        CalibrationSet before = defaultCalibration();
        before.axes[0].mode = AxisMode(modeBefore);
        before.axes[0].restRaw = 5;
        const AxisSettings a = guide.proposed(before).axes.at(0);
        const QString actual = QStringLiteral("%1 %2 %3 %4 %5 %6")
                                   .arg(int(a.mode))
                                   .arg(a.restRaw)
                                   .arg(a.deadzoneRadius)
                                   .arg(a.negativeRaw)
                                   .arg(a.positiveRaw)
                                   .arg(a.activeRaw);
        QCOMPARE(actual, expected);
        // Everything the guide does not measure stays.
        QCOMPARE(guide.proposed(before).buttons, before.buttons);
    }

    // The rest step lasts two seconds of the caller's clock, however many readings it gets.
    void restStepFollowsTheCallersClock()
    {
        GuidedCalibration guide;
        QVERIFY(!guide.next());
        guide.addSample(5000, reading(0));
        guide.addSample(6000, reading(0));
        QCOMPARE(guide.restProgress(), 0.5);
        QVERIFY(!guide.next());
        guide.addSample(7000, reading(0));
        QVERIFY(guide.restComplete());
        guide.addSample(7010, reading(50)); // the rest is measured: later readings change nothing
        QCOMPARE(guide.axis(3).noise, 0.0);
        QVERIFY(guide.next());
    }

    void circularity_data()
    {
        QTest::addColumn<int>("shape"); // 0 circle, 1 square, 2 half a circle
        QTest::addColumn<int>("sectors");
        QTest::addColumn<double>("circularity");
        QTest::newRow("a round travel reaches every sector at the same radius") << 0 << 36 << 1.0;
        QTest::newRow("a square travel reaches the diagonals farther") << 1 << 36 << 0.72;
        QTest::newRow("half a turn has no circularity yet") << 2 << 18 << -1.0;
    }

    void circularity()
    {
        QFETCH(int, shape);
        GuidedCalibration guide({}, {{0, 1}, {0, 0}, {2, 9}});
        QCOMPARE(guide.pairs().size(), 1); // an axis paired with itself or out of range is no stick
        feedRest(guide, 0, 0);
        guide.next();
        const int steps = shape == 2 ? 180 : 360;
        for (int degree = 0; degree < steps; ++degree) {
            const double angle = (degree + 0.5) * M_PI / 180;
            double x = std::cos(angle), y = std::sin(angle);
            if (shape == 1) {
                const double scale = 1 / std::max(std::fabs(x), std::fabs(y));
                x *= scale;
                y *= scale;
            }
            Reading r = reading(0);
            r[0] = 80 * x;
            r[1] = 80 * y;
            guide.addSample(2200 + degree, r);
        }
        QTEST(guide.sectorsReached(0), "sectors");
        QFETCH(double, circularity);
        QVERIFY2(std::fabs(guide.circularity(0) - circularity) < 0.01,
                 qPrintable(QString::number(guide.circularity(0))));
    }
};

QTEST_APPLESS_MAIN(tst_GuidedCalibration)
#include "tst_guidedcalibration.moc"
