// The stall meter's arithmetic (percentiles, the longest stalls, what a stall is blamed on, the
// sampling intervals) fed by hand, and one real stall of the event loop measured live.
#include "sampletimer.h"
#include "stallmeter.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {
constexpr qint64 Ms = 1000000;

// A window whose repaint holds the thread for 100 ms.
class SlowWindow : public QObject
{
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::UpdateRequest) {
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < 100) {
            }
        }
        return QObject::event(e);
    }
};
} // namespace

class tst_StallMeter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void percentiles_data()
    {
        QTest::addColumn<QVector<qint64>>("values");
        QTest::addColumn<double>("p");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("an empty series reads 0") << QVector<qint64>{} << 50.0 << qint64(0);
        QTest::newRow("one value is every percentile, to its bucket")
            << QVector<qint64>{3 * Ms + 4} << 50.0 << 3 * Ms + 4;
        QVector<qint64> hundred;
        for (int i = 1; i <= 100; ++i)
            hundred.append(i * 100000); // 0.1 ms to 10 ms
        QTest::newRow("the median of 100 values is the 50th") << hundred << 50.0 << 5 * Ms;
        QTest::newRow("p99 of 100 values is the 99th") << hundred << 99.0 << qint64(9.9 * Ms);
        QTest::newRow("p100 is the maximum") << hundred << 100.0 << 10 * Ms;
        QTest::newRow("a value between bucket edges reads as the upper edge")
            << QVector<qint64>{12345, 99999999} << 50.0 << qint64(20000);
        QTest::newRow("past 100 ms the buckets are 1 ms wide")
            << QVector<qint64>{250 * Ms + 1, 400 * Ms} << 50.0 << 251 * Ms;
        QTest::newRow("values past the last bucket read as the maximum")
            << QVector<qint64>{12000 * Ms, 15000 * Ms} << 50.0 << 15000 * Ms;
        QTest::newRow("negative durations count as zero") << QVector<qint64>{-5, -7} << 50.0 << qint64(0);
    }

    void percentiles()
    {
        QFETCH(QVector<qint64>, values);
        QFETCH(double, p);
        QFETCH(qint64, expected);
        DurationHistogram h;
        for (qint64 v : values)
            h.add(v);
        QCOMPARE(h.count(), values.size());
        QCOMPARE(h.percentileNs(p), expected);
    }

    void countOverAndLongestStalls()
    {
        DurationHistogram h;
        for (qint64 v : {10 * Ms, 10 * Ms, 16 * Ms, 200 * Ms})
            h.add(v);
        QCOMPARE(h.countOver(15 * Ms), 2);
        QCOMPARE(h.countOver(0), 4);

        LongestStalls longest;
        for (int i = 1; i <= 15; ++i)
            longest.add(
                Stall{(i * 7 % 15 + 1) * Ms, i, QString::number(i)}); // 15 distinct lengths in mixed order
        QVector<qint64> kept;
        for (const Stall& s : longest.stalls())
            kept.append(s.lateNs / Ms);
        QCOMPARE(kept, (QVector<qint64>{15, 14, 13, 12, 11, 10, 9, 8, 7, 6}));
    }

    // A late wake names the delivery that held the loop longest since the wake before; the loop's
    // sleep and a wake on time name nothing.
    void stallBlame_data()
    {
        QTest::addColumn<bool>("labelled");
        QTest::addColumn<QString>("blamed");
        QTest::newRow("an unlabelled delivery is named by class, name and event type")
            << false << QStringLiteral("QListWidget \"library\" Timer for 18.00 ms");
        QTest::newRow("a labelled operation is named by its label too")
            << true << QStringLiteral("[switch row] QListWidget \"library\" Timer for 18.00 ms");
    }

    void stallBlame()
    {
        QFETCH(bool, labelled);
        QFETCH(QString, blamed);
        StallMeter meter;
        meter.noteIdle(0); // 30 ms asleep: never blamed
        meter.noteDelivery(30 * Ms, Delivery{"QLabel", {}, int(QEvent::Paint), nullptr}); // 1 ms
        meter.noteDelivery(31 * Ms, Delivery{"QListWidget", QStringLiteral("library"), int(QEvent::Timer),
                                             labelled ? "switch row" : nullptr}); // 18 ms
        meter.noteDelivery(49 * Ms, Delivery{"QSocketNotifier", {}, int(QEvent::SockAct), nullptr});
        meter.recordWake(49 * Ms, 31 * Ms);
        meter.recordWake(50 * Ms, 50 * Ms); // on time: not a stall
        QCOMPARE(meter.longest().stalls().size(), 1);
        QCOMPARE(meter.longest().stalls().first().what, blamed);
        QCOMPARE(meter.longest().stalls().first().lateNs, 18 * Ms);
        QCOMPARE(meter.lateness().count(), 2);

        meter.noteIdle(50 * Ms); // a late wake after nothing but sleep
        meter.recordWake(60 * Ms, 55 * Ms);
        QCOMPARE(meter.longest().stalls().at(1).what, QStringLiteral("(outside the event loop)"));
        meter.noteDelivery(60 * Ms, Delivery{"QTimer", {}, int(QEvent::Timer), nullptr}); // 2 of 10 ms late
        meter.recordWake(62 * Ms, 52 * Ms); // 10 ms late: second after the 18 ms stall
        QCOMPARE(meter.longest().stalls().at(1).what,
                 QStringLiteral("QTimer Timer for 2.00 ms, the rest outside the event loop"));
    }

    void samplingIntervals()
    {
        StallMeter meter;
        QObject padA, padB;
        qint64 t = 0;
        for (int i = 0; i < 100; ++i, t += 10 * Ms) {
            meter.recordSampleAt(&padA, t);
            meter.recordSampleAt(&padB, t + 3 * Ms);
        }
        meter.recordSampleAt(&padA, t + 10 * Ms); // one step skipped: a 20 ms interval
        QCOMPARE(meter.sampleIntervals().count(), 99 + 99 + 1);
        QCOMPARE(meter.sampleIntervals().percentileNs(50), 10 * Ms);
        QCOMPARE(meter.sampleIntervals().maxNs(), 20 * Ms);
        QCOMPARE(meter.skippedSamples(), 1);
        meter.recordSampleAt(&padB, t + 2000 * Ms); // a device that stopped for seconds: no interval
        QCOMPARE(meter.sampleIntervals().count(), 199);
    }

    // The loop held 30 ms by a labelled operation beside a 10 ms sampling clock: the fine timer
    // wakes at least that late and blames the operation, the clock's steps are seen from outside
    // with the stall among their intervals, and the report carries it.
    void measuresARealStall()
    {
        StallMeter meter;
        if (!meter.start())
            QSKIP("no fine timer on this platform");
        QCOMPARE(StallMeter::active(), &meter);
        // One-shots on the sampling grid are no sampling clock.
        SampleTimer oneShot;
        for (int shot = 0; shot < 2; ++shot) {
            oneShot.startAt(SampleTimer::gridMs() + 2);
            QTRY_VERIFY(!oneShot.isActive());
        }
        QCOMPARE(meter.sampleIntervals().count(), 0);
        SampleTimer sampler;
        sampler.start(10);
        QTRY_VERIFY(meter.sampleIntervals().count() >= 2);
        QTimer::singleShot(5, this, [] {
            StallMeter::Label label("busy operation");
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < 30) {
            }
        });
        QTRY_VERIFY(!meter.longest().stalls().isEmpty() &&
                    meter.longest().stalls().first().lateNs >= 29 * Ms);
        QVERIFY2(meter.longest().stalls().first().what.startsWith(QLatin1String("[busy operation]")),
                 qPrintable(meter.longest().stalls().first().what));
        QTRY_VERIFY(meter.sampleIntervals().maxNs() >= 29 * Ms);
        QVERIFY(meter.report().contains(QLatin1String("[busy operation]")));
        meter.stop();
        QCOMPARE(StallMeter::active(), nullptr);
    }

    // A step run ahead of a window's repaint is counted when it runs: two steps, the one before the
    // repaint and the one its wake makes after it (the deadlines passed meanwhile). Counting the
    // wakes instead sees one step, after the repaint.
    void countsAStepRunAheadOfARepaint()
    {
        StallMeter meter;
        if (!meter.start())
            QSKIP("no fine timer on this platform");
        SampleTimer sampler;
        sampler.start(10);
        QTRY_VERIFY(meter.sampleIntervals().count() >= 2);
        SlowWindow window;
        SampleTimer::sampleBeforePainting(&window);
        const qint64 before = meter.sampleIntervals().count();
        QThread::msleep(12); // busy past a deadline
        QCoreApplication::postEvent(&window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
        QCoreApplication::processEvents();
        QCOMPARE(meter.sampleIntervals().count(), before + 2);
    }
};

QTEST_MAIN(tst_StallMeter)
#include "tst_stallmeter.moc"
