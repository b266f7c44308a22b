#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QSocketNotifier;

// The sampling clock: a repeating timer on absolute deadlines. Each tick is due one interval after
// the previous deadline, not after the previous tick, so a late tick does not delay the next ones
// and the mean interval is the interval; a tick more than one interval late starts the grid anew
// from there. On Linux the deadlines belong to a timerfd, which wakes the event loop to the
// microsecond: Qt's own timers wait in whole milliseconds, which turned 10 ms into eight steps of
// 10.1 ms and one of 9.1 ms. Elsewhere, when no timerfd can be made, and for a 0 ms interval (every
// pass of the event loop) it is a precise QTimer.
//
// Every timer of the process keeps its deadlines on one grid, counted from a common origin
// (gridMs()): all pads sampling every 10 ms, and the joystick manager's 50 ms and 100 ms ticks,
// expire at the same instants and wake the event loop once, not once each.
class SampleTimer : public QObject
{
    Q_OBJECT
    // A one-shot (startAt) is not a sampling clock: the stall meter counts only repeating ones.
    Q_PROPERTY(bool singleShot READ isSingleShot)
public:
    explicit SampleTimer(QObject* parent = nullptr);
    ~SampleTimer() override;

    // (Re)starts with the interval (ms, >= 0); a negative one starts nothing, as with QTimer.
    void start(int intervalMs);
    void stop();
    // Restarts a running timer from now, as QTimer::setInterval does.
    void setInterval(int intervalMs);
    bool isActive() const { return m_active; }
    bool isSingleShot() const { return m_singleShot; }
    int interval() const { return m_intervalMs; }
    // One timeout at the given time of gridMs() (now when it has passed), then inactive.
    void startAt(qint64 gridMs);
    // One timeout just after the next tick of the repeating clocks (the devices' sampling), or at
    // once when none runs: work placed there has a whole interval before the step after.
    void startAfterNextTick();

    // Milliseconds on the monotonic clock since the process's grid origin (its first call).
    static qint64 gridMs();
    // The next instant of gridMs() at which a clock of that period ticks (after now).
    static qint64 nextTickMs(int periodMs);

    // Runs now the ticks of the repeating clocks (the devices' sampling) whose deadline has passed,
    // as their own wake-up would a moment later; a clock served here does not tick again for it.
    static void catchUp();
    // Nanoseconds until the next deadline of a repeating clock (0 when one is due), -1 when none runs.
    static qint64 nsToNextTick();
    // Runs the job just after the next tick of the repeating clocks (in a coming pass of the event
    // loop when none runs), unless context is gone by then. The jobs run in their order, those
    // marked last after every other one, including those added while the jobs run: work that
    // other jobs may ask for again (a device reading its files) is done once.
    static void afterNextTick(QObject* context, std::function<void()> job, bool last = false);
    // The event loop serves posted events, painting among them, before the clocks' wake-ups: a
    // tick that fell due while an edit ran would wait for the window's repaint as well. The window
    // given here lets the due ticks run before each of its repaints, and a repaint that would run
    // into the next tick (judged by its last repaints) wait until just after it.
    static void sampleBeforePainting(QObject* window);

Q_SIGNALS:
    void timeout();

private:
    bool armDeadlines(qint64 firstNs, qint64 periodNs);
    bool armGrid();
    void onExpired();

    int m_intervalMs = 0;
    bool m_active = false;
    bool m_singleShot = false;
    bool m_armed = false; // the timerfd has a deadline set
    qint64 m_dueNs = 0;   // a repeating clock's next deadline, as far as it knows (monotonic ns)
    int m_fd = -1;        // timerfd; -1 until first needed, or when none can be made
    bool m_fdFailed = false;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_fallback;
};
