#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <atomic>

class QSocketNotifier;

// Durations in nanoseconds, counted in 10 µs buckets up to 100 ms and in 1 ms buckets from there
// to 10 s (the maximum and what lies beyond are kept exactly), so a host left running for hours
// keeps a fixed 80 KB per series.
class DurationHistogram
{
public:
    static constexpr qint64 FineNs = 10000; // width of the buckets up to FineLimitNs
    static constexpr qint64 FineLimitNs = 100000000;
    static constexpr qint64 CoarseNs = 1000000; // width of the buckets from there on
    static constexpr qint64 CoarseLimitNs = 10000000000;
    static constexpr int BucketCount =
        int(FineLimitNs / FineNs + (CoarseLimitNs - FineLimitNs) / CoarseNs + 1);

    void add(qint64 ns);
    qint64 count() const { return m_count; }
    qint64 maxNs() const { return m_max; }
    // Nearest rank: the upper edge of the bucket that holds the rank, never above the maximum;
    // 0 when empty. p in [0, 100].
    qint64 percentileNs(double p) const;
    // Values in the buckets above the one that holds the limit (ns): within one bucket of exact.
    qint64 countOver(qint64 limitNs) const;

private:
    // Bucket b holds the values above the upper edge of bucket b - 1 up to its own upper edge, so a
    // value on an edge reads exactly; BucketCount stands for beyond the last edge.
    static int bucketOf(qint64 ns);
    static qint64 upperEdge(int bucket);

    std::array<quint32, BucketCount> m_buckets{};
    qint64 m_overflow = 0;
    qint64 m_count = 0;
    qint64 m_max = 0;
};

// One event delivery as the meter sees it: the receiver's class and name, the event type, and the
// labelled operation around it, if any. Formatted only when it is reported.
struct Delivery
{
    const char* className = nullptr; // static storage: a meta-object's class name
    QString objectName;
    int eventType = 0;
    const char* label = nullptr; // static storage too
    QString text() const;
};

// One late wake of the event loop and what held it.
struct Stall
{
    qint64 lateNs = 0;
    qint64 atNs = 0; // since the meter started
    QString what;
};

// The ten longest, longest first.
class LongestStalls
{
public:
    static constexpr int Kept = 10;
    void add(Stall stall);
    const QVector<Stall>& stalls() const { return m_stalls; }

private:
    QVector<Stall> m_stalls;
};

// Measures how late the GUI thread's event loop runs and how regularly the devices sample. Off
// unless started, and then it only watches: an event filter on the application sees every
// delivery, among them each sampling clock's wake (a SampleTimer's notifier), so the plugin needs
// no hook and the meter works from the host's side of the plugin boundary. On Linux a 1 ms timerfd
// grid wakes the loop; each wake's lateness against its deadline goes to the histogram, and a wake
// more than a millisecond late is a stall, named after the event delivery (or the labelled
// operation) that held the loop longest in the meantime. Everything runs on the GUI thread.
class StallMeter : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 StallThresholdNs = 1000000;

    explicit StallMeter(QObject* parent = nullptr);
    ~StallMeter() override;

    // The running meter, if any (one per process: the newest started).
    static StallMeter* active() { return s_active.load(std::memory_order_relaxed); }

    // Names the operation that runs until the label is destroyed, for the stall list.
    class Label
    {
    public:
        explicit Label(const char* what);
        ~Label();
        Label(const Label&) = delete;
        Label& operator=(const Label&) = delete;

    private:
        const char* m_previous;
    };

    // Starts measuring (again from zero); false when the platform has no fine timer.
    bool start();
    void stop();
    bool isRunning() const { return m_running; }

    const DurationHistogram& lateness() const { return m_lateness; }
    const DurationHistogram& sampleIntervals() const { return m_intervals; }
    const LongestStalls& longest() const { return m_longest; }
    // Sampling steps that came more than half an interval late (the nominal interval is the
    // median of what was seen, 10 ms unless told otherwise).
    qint64 skippedSamples() const;
    qint64 elapsedNs() const { return m_clock.isValid() ? m_clock.nsecsElapsed() : 0; }

    // The report: counts, p50, p99 and max of both series, and the longest stalls.
    QString report() const;

    // The steps the fine timer, the sampler and the event filter take, with the time given (ns
    // since start): tests feed them by hand.
    void recordWake(qint64 nowNs, qint64 deadlineNs);
    void recordSampleAt(const QObject* device, qint64 nowNs);
    void noteDelivery(qint64 nowNs, const Delivery& delivery);
    void noteIdle(qint64 nowNs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void onClockTick();

private:
    void onTimerExpired();
    void closeGap(qint64 nowNs);

    static std::atomic<StallMeter*> s_active;
    static const char* s_label;

    bool m_running = false;
    QElapsedTimer m_clock;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    qint64 m_nextDeadlineNs = 0;

    DurationHistogram m_lateness;
    DurationHistogram m_intervals;
    LongestStalls m_longest;
    QHash<const QObject*, qint64> m_lastSample;

    // The delivery that held the loop longest since the last wake; none while the loop sleeps.
    qint64 m_lastDeliveryNs = 0;
    bool m_idle = true;
    Delivery m_lastDelivery;
    qint64 m_longestGapNs = 0;
    Delivery m_longestGap;
};
