#include "sampletimer.h"

#include <QSocketNotifier>

#if defined(Q_OS_LINUX)
#include <sys/timerfd.h>
#include <unistd.h>

#endif

SampleTimer::SampleTimer(QObject* parent) : QObject(parent)
{
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &SampleTimer::timeout);
}

SampleTimer::~SampleTimer()
{
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
    if (intervalMs == 0 || !armDeadlines())
        m_fallback.start(intervalMs);
}

void SampleTimer::stop()
{
    m_active = false;
    m_fallback.stop();
    if (m_notifier) {
        m_notifier->setEnabled(false);
#if defined(Q_OS_LINUX)
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
#endif
    }
}

void SampleTimer::setInterval(int intervalMs)
{
    if (m_active)
        start(intervalMs);
    else
        m_intervalMs = intervalMs;
}

// The grid starts one interval from now; false when no timerfd serves.
bool SampleTimer::armDeadlines()
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
    itimerspec period{};
    period.it_interval.tv_sec = m_intervalMs / 1000;
    period.it_interval.tv_nsec = long(m_intervalMs % 1000) * 1000000L;
    period.it_value = period.it_interval;
    if (::timerfd_settime(m_fd, 0, &period, nullptr) != 0)
        return false;
    m_notifier->setEnabled(true);
    return true;
#else
    return false;
#endif
}

void SampleTimer::onExpired()
{
#if defined(Q_OS_LINUX)
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != qint64(sizeof expirations))
        return; // nothing due (EAGAIN) or already stopped
    // The kernel keeps the grid; more than one deadline passed means a tick over one interval late.
    if (expirations > 1)
        armDeadlines();
#endif
    emit timeout();
}
