#include "stallmeter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QSocketNotifier>

#include <algorithm>
#include <cmath>

#if defined(Q_OS_LINUX)
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 TickNs = 1000000;             // the fine timer's grid
constexpr qint64 SampleRestartNs = 1000000000; // a pause this long is a device that stopped, not a late step

QString milliseconds(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', 2) + QStringLiteral(" ms");
}

} // namespace

std::atomic<StallMeter*> StallMeter::s_active{nullptr};
const char* StallMeter::s_label = nullptr;

// --- DurationHistogram

int DurationHistogram::bucketOf(qint64 ns)
{
    if (ns <= FineLimitNs)
        return int((ns + FineNs - 1) / FineNs);
    if (ns <= CoarseLimitNs)
        return int(FineLimitNs / FineNs + (ns - FineLimitNs + CoarseNs - 1) / CoarseNs);
    return BucketCount;
}

qint64 DurationHistogram::upperEdge(int bucket)
{
    const qint64 fine = FineLimitNs / FineNs;
    return bucket <= fine ? qint64(bucket) * FineNs : FineLimitNs + (qint64(bucket) - fine) * CoarseNs;
}

void DurationHistogram::add(qint64 ns)
{
    ns = std::max<qint64>(ns, 0);
    const int bucket = bucketOf(ns);
    if (bucket < BucketCount)
        ++m_buckets[size_t(bucket)];
    else
        ++m_overflow;
    ++m_count;
    m_max = std::max(m_max, ns);
}

qint64 DurationHistogram::percentileNs(double p) const
{
    if (m_count == 0)
        return 0;
    // Nearest rank: the smallest value with at least p % of the values at or below it.
    const qint64 rank =
        std::max<qint64>(1, qint64(std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * double(m_count))));
    qint64 seen = 0;
    for (int b = 0; b < BucketCount; ++b) {
        seen += m_buckets[size_t(b)];
        if (seen >= rank)
            return std::min(m_max, upperEdge(b));
    }
    return m_max; // beyond the last edge
}

qint64 DurationHistogram::countOver(qint64 limitNs) const
{
    qint64 over = m_overflow;
    for (int b = std::min(BucketCount, bucketOf(std::max<qint64>(0, limitNs)) + 1); b < BucketCount; ++b)
        over += m_buckets[size_t(b)];
    return over;
}

// --- LongestStalls

void LongestStalls::add(Stall stall)
{
    if (m_stalls.size() == Kept && stall.lateNs <= m_stalls.constLast().lateNs)
        return;
    const auto at = std::upper_bound(m_stalls.begin(), m_stalls.end(), stall.lateNs,
                                     [](qint64 late, const Stall& s) { return late > s.lateNs; });
    m_stalls.insert(at, std::move(stall));
    if (m_stalls.size() > Kept)
        m_stalls.removeLast();
}

// --- Delivery

QString Delivery::text() const
{
    if (!className)
        return label ? QStringLiteral("[%1]").arg(QLatin1String(label)) : QStringLiteral("(between events)");
    QString out = label ? QStringLiteral("[%1] ").arg(QLatin1String(label)) : QString();
    out += QLatin1String(className);
    if (!objectName.isEmpty())
        out += QStringLiteral(" \"%1\"").arg(objectName);
    const char* type = QMetaEnum::fromType<QEvent::Type>().valueToKey(eventType);
    out += QLatin1Char(' ') + (type ? QString::fromLatin1(type) : QString::number(eventType));
    return out;
}

// --- StallMeter

StallMeter::StallMeter(QObject* parent) : QObject(parent) {}

StallMeter::~StallMeter()
{
    stop();
#if defined(Q_OS_LINUX)
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

StallMeter::Label::Label(const char* what) : m_previous(s_label)
{
    s_label = what;
    if (StallMeter* meter = active())
        meter->noteDelivery(meter->elapsedNs(), Delivery{nullptr, {}, 0, what});
}

StallMeter::Label::~Label()
{
    s_label = m_previous;
    if (StallMeter* meter = active())
        meter->noteDelivery(meter->elapsedNs(), Delivery{nullptr, {}, 0, m_previous});
}

bool StallMeter::start()
{
    stop();
    m_lateness = {};
    m_intervals = {};
    m_longest = {};
    m_lastSample.clear();
    m_idle = true;
    m_longestGapNs = 0;
    m_clock.start();
    m_running = true;
    s_active.store(this, std::memory_order_relaxed);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { noteIdle(elapsedNs()); });
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] {
            noteDelivery(elapsedNs(), Delivery{"event dispatcher", {}, 0, nullptr});
        });
    }
#if defined(Q_OS_LINUX)
    if (m_fd < 0) {
        m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd < 0)
            return false;
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &StallMeter::onTimerExpired);
    }
    itimerspec grid{};
    grid.it_interval.tv_nsec = TickNs;
    grid.it_value.tv_nsec = TickNs;
    m_nextDeadlineNs = elapsedNs() + TickNs;
    if (::timerfd_settime(m_fd, 0, &grid, nullptr) != 0)
        return false;
    m_notifier->setEnabled(true);
    return true;
#else
    return false;
#endif
}

void StallMeter::stop()
{
    if (!m_running)
        return;
    m_running = false;
    StallMeter* self = this;
    s_active.compare_exchange_strong(self, nullptr);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        disconnect(dispatcher, nullptr, this, nullptr);
#if defined(Q_OS_LINUX)
    if (m_notifier) {
        m_notifier->setEnabled(false);
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
    }
#endif
}

void StallMeter::onTimerExpired()
{
#if defined(Q_OS_LINUX)
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != qint64(sizeof expirations) || expirations == 0)
        return;
    const qint64 deadline = m_nextDeadlineNs;
    // The kernel keeps the grid: the deadlines served are this one and the n - 1 after it.
    m_nextDeadlineNs += qint64(expirations) * TickNs;
    recordWake(elapsedNs(), deadline);
#endif
}

void StallMeter::recordWake(qint64 nowNs, qint64 deadlineNs)
{
    closeGap(nowNs);
    const qint64 late = std::max<qint64>(0, nowNs - deadlineNs);
    m_lateness.add(late);
    if (late > StallThresholdNs) {
        // When no delivery held the loop for most of the delay, the process waited for the CPU or
        // in a system call outside Qt's dispatching.
        QString what =
            m_longestGapNs > 0
                ? QStringLiteral("%1 for %2").arg(m_longestGap.text(), milliseconds(m_longestGapNs))
                : QStringLiteral("(outside the event loop)");
        if (m_longestGapNs > 0 && m_longestGapNs < late / 2)
            what += QStringLiteral(", the rest outside the event loop");
        m_longest.add(Stall{late, nowNs, what});
    }
    // The next window starts here, also for the delivery that runs on.
    m_longestGapNs = 0;
    m_lastDeliveryNs = nowNs;
}

void StallMeter::onClockTick()
{
    if (m_running)
        recordSampleAt(sender(), elapsedNs());
}

void StallMeter::recordSampleAt(const QObject* device, qint64 nowNs)
{
    const auto previous = m_lastSample.find(device);
    if (previous == m_lastSample.end()) {
        m_lastSample.insert(device, nowNs);
        return;
    }
    const qint64 interval = nowNs - *previous;
    *previous = nowNs;
    if (interval < SampleRestartNs)
        m_intervals.add(interval);
}

qint64 StallMeter::skippedSamples() const
{
    const qint64 nominal = m_intervals.count() ? m_intervals.percentileNs(50) : 10 * TickNs;
    return m_intervals.countOver(nominal + nominal / 2);
}

void StallMeter::noteDelivery(qint64 nowNs, const Delivery& delivery)
{
    closeGap(nowNs);
    m_lastDelivery = delivery;
    m_lastDeliveryNs = nowNs;
    m_idle = false;
}

void StallMeter::noteIdle(qint64 nowNs)
{
    closeGap(nowNs);
    m_idle = true;
}

void StallMeter::closeGap(qint64 nowNs)
{
    if (m_idle)
        return;
    const qint64 gap = nowNs - m_lastDeliveryNs;
    if (gap > m_longestGapNs) {
        m_longestGapNs = gap;
        m_longestGap = m_lastDelivery;
    }
}

bool StallMeter::eventFilter(QObject* watched, QEvent* event)
{
    const qint64 now = elapsedNs();
    // A sampling clock shows itself when its timerfd wakes the loop; its steps are counted when it
    // ticks, which may be earlier (ahead of a window's repaint, and then the wake finds nothing).
    // The one-shots on the same clock (the joystick manager's ticks, the library's thumbnail
    // batches) sample nothing.
    if (event->type() == QEvent::SockAct) {
        QObject* clock = watched->parent();
        if (clock && qstrcmp(clock->metaObject()->className(), "SampleTimer") == 0 &&
            !clock->property("singleShot").toBool()) {
            // Looked up once: this runs at every wake of every clock while the meter runs.
            static const QMetaMethod tick =
                clock->metaObject()->method(clock->metaObject()->indexOfSignal("timeout()"));
            static const QMetaMethod record =
                staticMetaObject.method(staticMetaObject.indexOfSlot("onClockTick()"));
            connect(clock, tick, this, record, Qt::UniqueConnection);
        }
    }
    noteDelivery(now, Delivery{watched->metaObject()->className(), watched->objectName(), int(event->type()),
                               s_label});
    return false;
}

QString StallMeter::report() const
{
    const auto series = [](const char* name, const DurationHistogram& h) {
        return QStringLiteral("%1: %2 measured, p50 %3, p99 %4, max %5\n")
            .arg(QLatin1String(name))
            .arg(h.count())
            .arg(milliseconds(h.percentileNs(50)), milliseconds(h.percentileNs(99)), milliseconds(h.maxNs()));
    };
    QString out = QStringLiteral("stall report over %1 s\n").arg(double(elapsedNs()) / 1e9, 0, 'f', 1);
    out += series("event loop lateness (1 ms grid)", m_lateness);
    out += series("sampling intervals", m_intervals);
    out += QStringLiteral("sampling steps over 1.5 intervals: %1\n").arg(skippedSamples());
    out += QStringLiteral("longest stalls:\n");
    if (m_longest.stalls().isEmpty())
        out += QStringLiteral("  none over %1\n").arg(milliseconds(StallThresholdNs));
    for (const Stall& stall : m_longest.stalls()) {
        out += QStringLiteral("  %1 late at %2 s: %3\n")
                   .arg(milliseconds(stall.lateNs))
                   .arg(double(stall.atNs) / 1e9, 0, 'f', 3)
                   .arg(stall.what);
    }
    return out;
}
