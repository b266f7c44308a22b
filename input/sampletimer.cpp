#include "sampletimer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <climits>
#include <deque>

#if defined(Q_OS_LINUX)
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kNsPerMs = 1000000;

// Nanoseconds on the monotonic clock, the timerfd's clock.
qint64 monotonicNs()
{
#if defined(Q_OS_LINUX)
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
#else
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
#endif
}

qint64 originNs()
{
    static const qint64 origin = monotonicNs();
    return origin;
}

// Every clock of the GUI thread, for catchUp(). Never destroyed: a clock owned by a static object
// may go after the statics of this file.
QList<SampleTimer*>& clocks()
{
    static auto* all = new QList<SampleTimer*>;
    return *all;
}

// Runs the due ticks before each repaint of its window, and starts a repaint that would run into
// the next tick just after that tick instead: painting a window takes milliseconds, the pads'
// steps fall every 10, and a repaint a few milliseconds later is not seen while a late step is.
class PaintAfterTicks : public QObject
{
public:
    explicit PaintAfterTicks(QObject* window) : QObject(window), m_window(window)
    {
        connect(&m_resume, &SampleTimer::timeout, this, &PaintAfterTicks::paintNow);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window || event->type() != QEvent::UpdateRequest)
            return QObject::eventFilter(watched, event);
        SampleTimer::catchUp();
        if (m_resume.isActive())
            return true; // already placed after the next tick, which paints everything pending
        const qint64 untilTick = SampleTimer::nsToNextTick();
        // At most twice: other work placed after the step may have used the time the repaint was
        // placed for, and a repaint longer than a whole step must still come.
        if (m_deferrals < kMaxDeferrals && untilTick >= 0 && untilTick < expectedPaintNs()) {
            ++m_deferrals;
            m_resume.startAfterNextTick();
            return true; // the widgets' repaint manager waits for this request: paintNow() sends it
        }
        // Timed here rather than after the filter: the repaint is this event's own handling.
        QElapsedTimer took;
        took.start();
        watched->event(event);
        m_recentNs[m_next++ % m_recentNs.size()] = took.nsecsElapsed();
        m_deferrals = 0;
        return true; // handled here, not a second time
    }

private:
    // The longest of the last repaints, and a little more: what the next one may take.
    qint64 expectedPaintNs() const
    {
        return *std::max_element(m_recentNs.begin(), m_recentNs.end()) + kNsPerMs / 2;
    }

    void paintNow()
    {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(m_window, &request);
    }

    QObject* m_window;
    SampleTimer m_resume;
    static constexpr int kMaxDeferrals = 2;
    int m_deferrals = 0; // of the repaint pending
    std::array<qint64, 8> m_recentNs{};
    size_t m_next = 0;
};

// The jobs placed after the next tick: one one-shot for all of them.
class AfterTick : public QObject
{
public:
    static AfterTick& instance()
    {
        static QPointer<AfterTick> one;
        if (!one)
            one = new AfterTick(QCoreApplication::instance());
        return *one;
    }

    void add(QObject* context, std::function<void()> job, bool last)
    {
        (last ? m_last : m_jobs).push_back({QPointer<QObject>(context), std::move(job)});
        if (!m_running && !m_timer.isActive())
            m_timer.startAfterNextTick();
    }

private:
    explicit AfterTick(QObject* parent) : QObject(parent)
    {
        connect(&m_timer, &SampleTimer::timeout, this, &AfterTick::run);
    }

    void run()
    {
        SampleTimer::catchUp(); // a step due as well goes first
        m_running = true;
        while (!m_jobs.empty() || !m_last.empty()) {
            std::deque<Job>& queue = m_jobs.empty() ? m_last : m_jobs;
            const Job job = std::move(queue.front());
            queue.pop_front();
            if (job.context)
                job.run();
        }
        m_running = false;
    }

    struct Job
    {
        QPointer<QObject> context;
        std::function<void()> run;
    };
    std::deque<Job> m_jobs;
    std::deque<Job> m_last;
    SampleTimer m_timer;
    bool m_running = false;
};

} // namespace

void SampleTimer::afterNextTick(QObject* context, std::function<void()> job, bool last)
{
    AfterTick::instance().add(context, std::move(job), last);
}

qint64 SampleTimer::gridMs()
{
    return (monotonicNs() - originNs()) / kNsPerMs;
}

qint64 SampleTimer::nextTickMs(int periodMs)
{
    const qint64 now = gridMs();
    return periodMs > 0 ? (now / periodMs + 1) * periodMs : now;
}

void SampleTimer::catchUp()
{
    const QList<SampleTimer*> all = clocks(); // a tick may start or stop clocks
    qint64 now = 0;
    for (SampleTimer* clock : all) {
        if (!clock->m_armed || clock->m_singleShot || !clocks().contains(clock))
            continue;
        if (!now)
            now = monotonicNs();
        if (now >= clock->m_dueNs)
            clock->onExpired();
    }
}

qint64 SampleTimer::nsToNextTick()
{
    qint64 next = -1;
    for (const SampleTimer* clock : clocks()) {
        if (clock->m_armed && !clock->m_singleShot && (next < 0 || clock->m_dueNs < next))
            next = clock->m_dueNs;
    }
    return next < 0 ? -1 : std::max<qint64>(0, next - monotonicNs());
}

void SampleTimer::sampleBeforePainting(QObject* window)
{
    static const QString name = QStringLiteral("sampleBeforePainting");
    if (!window || window->findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* gate = new PaintAfterTicks(window);
    gate->setObjectName(name);
    window->installEventFilter(gate);
}

SampleTimer::SampleTimer(QObject* parent) : QObject(parent)
{
    clocks().append(this);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, [this]() {
        if (m_singleShot)
            stop();
        emit timeout();
    });
}

SampleTimer::~SampleTimer()
{
    clocks().removeOne(this);
    delete m_notifier;
#if defined(Q_OS_LINUX)
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void SampleTimer::start(int intervalMs)
{
    stop();
    m_intervalMs = intervalMs;
    if (intervalMs < 0)
        return;
    m_active = true;
    m_fallback.setSingleShot(false);
    if (intervalMs == 0 || !armGrid())
        m_fallback.start(intervalMs);
}

void SampleTimer::startAt(qint64 gridMs)
{
    // Re-armed in place: a stop first would cost a system call on every tick of the manager.
    m_fallback.stop();
    m_intervalMs = 0;
    m_active = true;
    m_singleShot = true;
    const qint64 at = originNs() + std::max<qint64>(gridMs * kNsPerMs, 0);
    if (!armDeadlines(std::max(at, monotonicNs() + 1), 0)) {
        m_fallback.setSingleShot(true);
        m_fallback.start(int(std::clamp<qint64>(gridMs - SampleTimer::gridMs(), 0, INT_MAX)));
    }
}

void SampleTimer::startAfterNextTick()
{
    const qint64 untilTick = nsToNextTick();
    // The tick's grid millisecond or the one after, never the one before.
    startAt(untilTick < 0 ? 0 : gridMs() + untilTick / kNsPerMs + 1);
}

void SampleTimer::stop()
{
    m_active = false;
    m_singleShot = false;
    m_fallback.stop();
#if defined(Q_OS_LINUX)
    // The notifier stays enabled: a disarmed timerfd is never readable, and enabling it again
    // would wake the event loop each time.
    if (m_armed) {
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
        m_armed = false;
    }
#endif
}

void SampleTimer::setInterval(int intervalMs)
{
    if (m_active)
        start(intervalMs);
    else
        m_intervalMs = intervalMs;
}

// The first deadline of the common grid after now, then one every interval; false when no timerfd
// serves.
bool SampleTimer::armGrid()
{
    const qint64 period = qint64(m_intervalMs) * kNsPerMs;
    const qint64 now = monotonicNs();
    const qint64 first = originNs() + ((now - originNs()) / period + 1) * period;
    m_dueNs = first;
    return armDeadlines(first, period);
}

// Absolute deadlines on the monotonic clock; a period of 0 fires once.
bool SampleTimer::armDeadlines(qint64 firstNs, qint64 periodNs)
{
#if defined(Q_OS_LINUX)
    if (m_fd < 0 && !m_fdFailed) {
        m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        m_fdFailed = m_fd < 0;
        if (m_fd >= 0) {
            m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, &SampleTimer::onExpired);
        }
    }
    if (m_fd < 0)
        return false;
    itimerspec deadlines{};
    deadlines.it_value = {time_t(firstNs / 1000000000), long(firstNs % 1000000000)};
    deadlines.it_interval = {time_t(periodNs / 1000000000), long(periodNs % 1000000000)};
    if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &deadlines, nullptr) != 0)
        return false;
    m_armed = true;
    return true;
#else
    Q_UNUSED(firstNs);
    Q_UNUSED(periodNs);
    return false;
#endif
}

void SampleTimer::onExpired()
{
#if defined(Q_OS_LINUX)
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != qint64(sizeof expirations))
        return; // nothing due (EAGAIN) or already stopped
    if (m_singleShot) {
        // Fired once and disarmed by the kernel: nothing left to switch off.
        m_armed = false;
        m_active = false;
        m_singleShot = false;
    } else if (expirations > 1) {
        // The kernel keeps the grid; more than one deadline passed means a tick over one interval
        // late: the next one is the grid's next, with no burst to make up for the missed ones.
        armGrid();
    } else {
        m_dueNs += qint64(m_intervalMs) * kNsPerMs;
    }
#endif
    emit timeout();
}
