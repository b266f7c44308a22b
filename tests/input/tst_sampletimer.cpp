// The sampling clock's life cycle and its behaviour after a late tick. How steady its ticks are is
// measured by bench/latency, not here.
#include "sampletimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <functional>

namespace {
// Stands for a window: counts the repaints the event loop hands it.
class Window : public QObject
{
public:
    std::function<void()> painted;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::UpdateRequest)
            painted();
        return QObject::event(e);
    }
};
} // namespace

class tst_SampleTimer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startStopAndInterval_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("active");
        QTest::newRow("a 10 ms grid ticks") << 10 << true;
        QTest::newRow("a 0 ms timer ticks at every pass of the loop") << 0 << true;
        QTest::newRow("a negative interval starts nothing") << -5 << false;
    }

    void startStopAndInterval()
    {
        QFETCH(int, interval);
        QFETCH(bool, active);
        SampleTimer timer;
        QSignalSpy ticks(&timer, &SampleTimer::timeout);
        auto state = [&timer] { return std::make_pair(timer.isActive(), timer.interval()); };
        timer.start(interval);
        QCOMPARE(state(), std::make_pair(active, interval));
        if (!active)
            return;
        QTRY_VERIFY(ticks.count() >= 3);

        timer.setInterval(25); // restarts, still running
        QCOMPARE(state(), std::make_pair(true, 25));
        const qsizetype before = ticks.count();
        QTRY_VERIFY(ticks.count() > before);

        timer.stop();
        timer.setInterval(10); // stopped: changes the interval only
        QCOMPARE(state(), std::make_pair(false, 10));
        const qsizetype stopped = ticks.count();
        QTimer later; // a whole grid of missed deadlines must not tick either
        later.start(40);
        QVERIFY(QSignalSpy(&later, &QTimer::timeout).wait(5000));
        QCOMPARE(ticks.count(), stopped);
    }

    // The manager's one-shot ticks: one timeout, never before its time on the common grid, then
    // inactive; a time already past fires at once.
    void oneShotAtAGridTime()
    {
        SampleTimer timer;
        QSignalSpy ticks(&timer, &SampleTimer::timeout);
        qint64 firedAt = -1;
        connect(&timer, &SampleTimer::timeout, [&]() { firedAt = SampleTimer::gridMs(); });
        const qint64 at = SampleTimer::gridMs() + 30;
        timer.startAt(at);
        QVERIFY(timer.isActive());
        QTRY_COMPARE(ticks.count(), 1);
        QVERIFY2(firedAt >= at, qPrintable(QStringLiteral("%1 < %2").arg(firedAt).arg(at)));
        QVERIFY(!timer.isActive());
        timer.startAt(0);
        QTRY_COMPARE(ticks.count(), 2);
        QTimer later;
        later.start(40);
        QVERIFY(QSignalSpy(&later, &QTimer::timeout).wait(5000));
        QCOMPARE(ticks.count(), 2);
        // Work placed after a sampling step: the next tick of a 10 ms clock is on its grid, ahead.
        const qint64 before = SampleTimer::gridMs();
        const qint64 next = SampleTimer::nextTickMs(10);
        QCOMPARE(next % 10, 0);
        QVERIFY(next > before && next <= SampleTimer::gridMs() + 10);
    }

    void aTickOverOneIntervalLateIsOneTick()
    {
        SampleTimer timer;
        QSignalSpy ticks(&timer, &SampleTimer::timeout);
        timer.start(5);
        QThread::msleep(40); // the GUI thread busy over eight deadlines
        QCoreApplication::processEvents();
        QCOMPARE(ticks.count(), 1);      // no burst to make up for them
        QTRY_VERIFY(ticks.count() >= 3); // and the grid goes on from there
    }

    // The event loop hands posted repaints out before the clocks' wake-ups: a tick that fell due
    // while the thread was busy runs before the window repaints, and only once.
    void aDueTickRunsBeforeARepaint()
    {
        SampleTimer clock;
        Window window;
        QStringList order;
        connect(&clock, &SampleTimer::timeout, [&order] { order << QStringLiteral("tick"); });
        window.painted = [&order] { order << QStringLiteral("paint"); };
        SampleTimer::sampleBeforePainting(&window);
        SampleTimer::sampleBeforePainting(&window); // a second call adds nothing
        clock.start(20);
        QVERIFY(QSignalSpy(&clock, &SampleTimer::timeout).wait(5000));
        order.clear();
        // Busy past the next deadline and well short of the one after, so the repaint has time
        // enough before it and is not held back for it.
        QThread::msleep(25);
        QCoreApplication::postEvent(&window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
        QCoreApplication::processEvents();
        QCOMPARE(order, QStringList({QStringLiteral("tick"), QStringLiteral("paint")}));
    }

    // A repaint that would run into the next tick (judged by the last one) starts just after it;
    // one with time enough before the tick runs at once.
    void aRepaintThatWouldRunIntoATickWaitsForIt()
    {
        SampleTimer clock;
        Window window;
        QStringList order;
        connect(&clock, &SampleTimer::timeout, [&order] { order << QStringLiteral("tick"); });
        window.painted = [&order] {
            order << QStringLiteral("paint");
            QElapsedTimer busy;
            busy.start();
            while (busy.nsecsElapsed() < 4000000) { // a 4 ms repaint
            }
        };
        SampleTimer::sampleBeforePainting(&window);
        clock.start(20);
        const auto repaint = [&window] {
            QCoreApplication::postEvent(&window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
            QCoreApplication::processEvents();
        };
        QVERIFY(QSignalSpy(&clock, &SampleTimer::timeout).wait(5000));
        repaint(); // some 20 ms before the next tick
        QCOMPARE(order.count(QStringLiteral("paint")), 1);
        while (SampleTimer::nsToNextTick() > 3000000) { // 3 ms left: less than the last repaint took
        }
        repaint();
        QTRY_COMPARE(order.count(QStringLiteral("paint")), 2);
        // Each repaint right after a tick, whether it waited for it or (on a loaded machine, the
        // thread preempted past the deadline) the tick fell due first; run at once, the second
        // would follow the first repaint.
        for (qsizetype i = 0; i < order.size(); ++i) {
            if (order.at(i) == QLatin1String("paint"))
                QVERIFY2(i > 0 && order.at(i - 1) == QLatin1String("tick"), qPrintable(order.join(u' ')));
        }
    }

    // A repaint longer than a whole step never has time enough before a tick: it waits, then comes.
    void aRepaintLongerThanAStepStillComes()
    {
        SampleTimer clock;
        Window window;
        int paints = 0;
        window.painted = [&paints] {
            ++paints;
            QElapsedTimer busy;
            busy.start();
            while (busy.nsecsElapsed() < 12000000) { // 12 ms, over the 10 ms step
            }
        };
        SampleTimer::sampleBeforePainting(&window);
        clock.start(10);
        for (int expected = 1; expected <= 3; ++expected) {
            QCoreApplication::postEvent(&window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
            QTRY_COMPARE(paints, expected);
        }
    }
};

QTEST_GUILESS_MAIN(tst_SampleTimer)
#include "tst_sampletimer.moc"
