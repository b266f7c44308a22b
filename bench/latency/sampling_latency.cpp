// Steadiness and latency of sampling as a host sees them: the provider's device list and cards
// live in a shown list view, one virtual pad (real-time clock) selected and sampling at 100 Hz,
// the joystick manager polling and pumping. A precise 37 ms timer, unrelated to the sampler's
// phase, moves the pad's X axis between -80 and +80. Over the run (10 s by default) it records
//   - the interval between successive sampling steps (each step's backend refresh),
//   - the delay from each change of the backend's state to the host's dataChanged carrying joy_0,
// and prints p50, p99 and max of both; then, per change, whether the first sampling step after it
// delivered it and its delay as a share of the interval it fell in (at most 1 when no change
// waits longer than the step that follows it, plus that step's own work, printed last).
//   sampling_latency [seconds]
//   sampling_latency [seconds] --driver
//   sampling_latency [seconds] --floor
// The second form takes the road of a real controller instead of the virtual backend: a mocked
// kernel joystick (mockjoysticks/, run under umockdev-wrapper) read by the SFML backend; a change
// is then an event written to the node, and the delay runs to the dataChanged carrying it. The
// third form measures the machine (Linux): a bare timerfd loop at 10 ms with no Qt and no plugin,
// its intervals and each wake-up's lateness after its deadline; what is left of the first forms'
// tails above this floor is the process's own.
#include "controlmanette.h"
#include "icominterface.h"
#include "joyrelayprovider.h"
#include "sfmljoystickbackend.h"
#include "virtualjoystickbackend.h"
#if defined(JOY_MOCK_JOYSTICKS)
#include "mockjoysticks.h"
#endif

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#if defined(Q_OS_LINUX)
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

QElapsedTimer g_clock;

std::vector<qint64> g_steps; // the time of every sampling step's refresh

// Either backend, noting its sampling steps.
class TimedPads : public VirtualJoystickBackend
{
public:
    TimedPads() : VirtualJoystickBackend(Clock::RealTime) {}
    void noteSampleRefresh() override
    {
        VirtualJoystickBackend::noteSampleRefresh();
        g_steps.push_back(g_clock.nsecsElapsed());
    }
};

class TimedSfml : public SfmlJoystickBackend
{
public:
    void noteSampleRefresh() override
    {
        SfmlJoystickBackend::noteSampleRefresh();
        g_steps.push_back(g_clock.nsecsElapsed());
    }
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1) + 0.5)];
}

void report(const char* what, const std::vector<double>& ms)
{
    std::printf("%-34s n=%-5zu p50 %6.2f ms   p99 %6.2f ms   max %6.2f ms\n", what, ms.size(),
                percentile(ms, 0.5), percentile(ms, 0.99),
                ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
}

int measureFloor(int seconds)
{
#if defined(Q_OS_LINUX)
    constexpr qint64 IntervalNs = 10 * 1000 * 1000;
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    const itimerspec period{{0, IntervalNs}, {0, IntervalNs}};
    const qint64 start = now();
    if (fd < 0 || timerfd_settime(fd, 0, &period, nullptr) != 0) {
        std::fprintf(stderr, "sampling_latency: no timerfd\n");
        return 2;
    }
    std::vector<double> intervals;
    std::vector<double> lateness;
    qint64 deadlines = 0;
    qint64 previous = -1;
    while (deadlines < qint64(seconds) * 100) {
        quint64 passed = 0;
        if (read(fd, &passed, sizeof passed) != qint64(sizeof passed))
            break;
        deadlines += qint64(passed);
        const qint64 woke = now();
        lateness.push_back(double(woke - start - deadlines * IntervalNs) / 1e6);
        if (previous >= 0)
            intervals.push_back(double(woke - previous) / 1e6);
        previous = woke;
    }
    close(fd);
    std::printf("machine floor over %d s: a bare timerfd loop at 10 ms\n", seconds);
    report("interval between wake-ups", intervals);
    report("wake-up after its deadline", lateness);
    return 0;
#else
    Q_UNUSED(seconds)
    std::fprintf(stderr, "sampling_latency: --floor needs Linux\n");
    return 2;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 10;
    if (argc > 2 && std::strcmp(argv[2], "--floor") == 0)
        return measureFloor(seconds);
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sampling_latency"));
    g_clock.start();

    // The pad's X axis, set to a raw position by the mover.
    std::function<void(float)> moveX;
    auto pads = std::make_shared<TimedPads>();
#if defined(JOY_MOCK_JOYSTICKS)
    std::unique_ptr<MockJoysticks> kernel;
#endif
    const bool driver = argc > 2 && std::strcmp(argv[2], "--driver") == 0;
    if (driver) {
#if defined(JOY_MOCK_JOYSTICKS)
        if (!MockJoysticks::available()) {
            std::fprintf(stderr, "sampling_latency: --driver runs under umockdev-wrapper\n");
            return 2;
        }
        kernel = std::make_unique<MockJoysticks>(); // before SFML's first look at udev
        MockJoysticks::Pad pad;
        pad.name = "Latency Pad";
        const int handle = kernel->plug(pad);
        moveX = [&kernel, handle](float raw) { kernel->moveAxis(handle, 0, qint16(raw * 32767.f / 100.f)); };
        JoystickBackends::install(std::make_shared<TimedSfml>());
#else
        std::fprintf(stderr, "sampling_latency: built without umockdev, no --driver\n");
        return 2;
#endif
    } else {
        VirtualJoystickBackend::Pad pad0;
        pad0.name = QStringLiteral("Latency Pad");
        pad0.vendorId = 0x45e;
        pad0.productId = 0x28e;
        pads->plug(pad0);
        JoystickBackends::install(pads);
        moveX = [&pads](float raw) { pads->setAxis(0, 0, raw); };
    }

    JoyrelayProvider provider;
    QAbstractItemModel* model = provider.model(QStringLiteral("latency"), &app);
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setModel(model);
    view.setItemDelegate(provider.delegate(&view));
    view.resize(640, 300);
    view.show();

    std::vector<qint64> changes;                       // times the axis was moved
    std::vector<std::pair<size_t, qint64>> deliveries; // change index, time of its dataChanged
    QTimer mover;
    mover.setTimerType(Qt::PreciseTimer);
    QObject::connect(&mover, &QTimer::timeout, [&] {
        moveX(changes.size() % 2 ? -80.f : 80.f);
        changes.push_back(g_clock.nsecsElapsed());
    });

    ControlManette* pad = nullptr;
    qint64 measureFrom = 0;
    QTimer::singleShot(500, [&] {
        QMetaObject::invokeMethod(model, "setSelected", Q_ARG(QString, QStringLiteral("gp:0")),
                                  Q_ARG(bool, true));
        QList<IComInterface*> selected;
        QJsonArray info;
        provider.selectedInterfaces(selected, info);
        pad = selected.isEmpty() ? nullptr : qobject_cast<ControlManette*>(selected.first());
        if (!pad || !pad->isSampling()) {
            std::fprintf(stderr, "sampling_latency: the pad is not sampling\n");
            app.exit(2);
            return;
        }
        QObject::connect(pad,
                         qOverload<const QString&, const QString&, const QStringList&, const QVariantList&>(
                             &IComInterface::dataChanged),
                         [&](const QString&, const QString&, const QStringList& keys, const QVariantList&) {
                             if (!keys.contains(QStringLiteral("joy_0")) || changes.empty())
                                 return;
                             deliveries.emplace_back(changes.size() - 1, g_clock.nsecsElapsed());
                         });
        measureFrom = g_clock.nsecsElapsed();
        mover.start(37);
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, &QApplication::quit);
    });
    const int rc = app.exec();
    if (rc != 0)
        return rc;

    std::vector<double> intervals;
    for (size_t i = 1; i < g_steps.size(); ++i) {
        if (g_steps[i - 1] >= measureFrom)
            intervals.push_back(double(g_steps[i] - g_steps[i - 1]) / 1e6);
    }
    std::printf("%s: sampling over %d s at %d ms, %zu axis changes\n",
                driver ? "SFML driver, mocked kernel pad" : "virtual backend", seconds,
                pad->sampleIntervalMs(), changes.size());
    report("interval between sampling steps", intervals);
    std::vector<double> delays;
    for (const auto& [index, delivered] : deliveries)
        delays.push_back(double(delivered - changes[index]) / 1e6);
    report("backend change -> dataChanged", delays);

    // Which step carried each change: the first one after it, or a later one?
    const std::vector<qint64>& steps = g_steps;
    size_t byNextStep = 0;
    std::vector<double> shares;
    std::vector<double> work; // from the step's refresh to its dataChanged
    for (const auto& [index, delivered] : deliveries) {
        const qint64 changed = changes[index];
        const auto next = std::upper_bound(steps.begin(), steps.end(), changed);
        if (next == steps.begin() || next == steps.end())
            continue;
        if (*next <= delivered && (next + 1 == steps.end() || *(next + 1) > delivered))
            ++byNextStep;
        shares.push_back(double(delivered - changed) / double(*next - *(next - 1)));
        work.push_back(double(delivered - *next) / 1e6);
    }
    std::printf("changes delivered by the next step: %zu of %zu\n", byNextStep, shares.size());
    std::printf("%-34s n=%-5zu p50 %6.3f      p99 %6.3f      max %6.3f\n", "delay / interval it fell in",
                shares.size(), percentile(shares, 0.5), percentile(shares, 0.99),
                shares.empty() ? 0.0 : *std::max_element(shares.begin(), shares.end()));
    report("step's refresh -> dataChanged", work);
    return 0;
}
