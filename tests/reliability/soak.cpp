// Soak run (scripts/soak.sh [MINUTES]): a virtual pad plays a looping scenario that moves every axis
// and flips every button at each 10 ms tick, a second pad is plugged in and pulled out once a cycle,
// and the device list model keeps its registry while the selected pad samples at 100 Hz, all on
// real timers. Resident memory is read after the first minute and at the end; the run fails when
// it grew by 1 MB or more (a sanitizer report fails it as well).
#include "faultfixtures.h"

#include "controlmanette.h"
#include "gamepadmanager.h"
#include "linkerdevicemodel.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kTickMs = 10;
constexpr int kCycleMs = 2000;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Every axis to a new position and every button flipped at each tick; pad 1 in for half a cycle.
QByteArray scenario()
{
    QJsonArray events;
    for (int at = 0, tick = 0; at < kCycleMs; at += kTickMs, ++tick) {
        for (int axis = 0; axis < 8; ++axis)
            events.append(QJsonObject{
                {"at", at}, {"slot", 0}, {"axis", axis}, {"value", (tick * 7 + axis * 25) % 201 - 100}});
        for (int button = 0; button < 32; ++button)
            events.append(QJsonObject{
                {"at", at}, {"slot", 0}, {"button", button}, {"pressed", (tick + button) % 2 == 0}});
    }
    events.append(QJsonObject{{"at", 500},
                              {"plug", QJsonObject{{"slot", 1}, {"name", "Soak Pad B"}, {"buttons", 12}}}});
    events.append(QJsonObject{{"at", 1500}, {"unplug", 1}});
    const QJsonObject pads{
        {"slot", 0}, {"name", "Soak Pad A"}, {"vendorId", "0x045e"}, {"productId", "0x028e"}};
    return QJsonDocument(
               QJsonObject{
                   {"pads", QJsonArray{pads}}, {"events", events}, {"loop", true}, {"period", kCycleMs}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QFile file(data.filePath(QStringLiteral("soak-pads.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(scenario()) <= 0)
        return 2;
    file.close();
    // The run-time road: the backend is chosen from the environment at the manager's first use.
    qputenv("JOYRELAY_VIRTUAL_PADS", QFile::encodeName(file.fileName()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double minutes = argc > 1 ? QByteArray(argv[1]).toDouble() : 10.0;

    int result = 1;
    {
        LinkerDeviceModel model(QStringLiteral("soak"));
        QCoreApplication::processEvents();
        model.setSelected(QStringLiteral("gp:0"), true);
        ControlManette* pad = GamepadManager::instance()->gamepadForSlot(0);
        if (!pad || !pad->isSampling()) {
            std::fprintf(stderr, "soak: the pad did not start sampling\n");
            return 2;
        }
        qint64 reports = 0;
        QObject::connect(
            pad, qOverload<int, int, const QStringList&, const QVariantList&>(&IComInterface::dataChanged),
            [&reports] { ++reports; });

        QElapsedTimer clock;
        clock.start();
        qint64 residentAtMinute = 0;
        qint64 heapAtMinute = 0;
        int minutesDone = 0;
        QTimer minute;
        QObject::connect(&minute, &QTimer::timeout, [&] {
            if (++minutesDone == 1) {
                residentAtMinute = residentBytes();
                heapAtMinute = FaultFixtures::heapInUse();
            }
            std::printf("soak: minute %d, resident %.2f MB, heap in use %.2f MB\n", minutesDone,
                        residentBytes() / 1048576.0, FaultFixtures::heapInUse() / 1048576.0);
            std::fflush(stdout);
        });
        minute.start(60 * 1000);
        QTimer::singleShot(int(minutes * 60 * 1000), &app, &QCoreApplication::quit);
        app.exec();

        const qint64 growth = residentBytes() - residentAtMinute;
        std::printf("soak: %.1f min, %lld change reports from the selected pad (%.1f per second), %d rows\n",
                    clock.elapsed() / 60000.0, reports, reports * 1000.0 / clock.elapsed(), model.count());
        std::printf("soak: resident %.2f MB after 1 min, %.2f MB at the end, growth %lld bytes\n",
                    residentAtMinute / 1048576.0, residentBytes() / 1048576.0, growth);
        std::printf("soak: heap in use %.2f MB after 1 min, growth %lld bytes\n", heapAtMinute / 1048576.0,
                    FaultFixtures::heapInUse() - heapAtMinute);
        result = residentAtMinute > 0 && growth < 1024 * 1024 ? 0 : 1;
    }
    delete GamepadManager::existingInstance();
    return result;
}
