// Profile look-ups and calibration resolution over a data root of 1,000 definitions (warm file cache,
// the library at rest: its files written more than two seconds before the timing starts).
#include "benchmain.h"
#include "calibrationfiles.h"
#include "controlmanette.h"
#include "definitionmeta.h"
#include "gamepadmanager.h"
#include "linkerdevicemodel.h"
#include "profilemetacache.h"
#include "profilestore.h"
#include "registryfile.h"
#include "virtualjoystickbackend.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

namespace {

constexpr int kDefinitions = 1000;
constexpr int kDeviceNames = 50; // 20 definitions per device name

QUuid g_overrideProfile;
QString g_overrideFolder;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QString deviceName(int i)
{
    return QStringLiteral("Bench Pad %1").arg(i % kDeviceNames);
}

// Three quarters shared, one quarter in the user's area, with an override for the first one.
void populate()
{
    const QString data = ProfileStore::dataRoot();
    for (int i = 0; i < kDefinitions; ++i) {
        const QUuid id = QUuid::createUuid();
        const QString root = data + (i % 4 == 0 ? "/bench/GamepadProfiles" : "/GamepadProfiles");
        const QString folder = root + "/" + id.toString(QUuid::WithoutBraces);
        const QJsonObject meta{{"type", "GamepadDefinderMeta"},
                               {"version", 4},
                               {"id", id.toString(QUuid::WithoutBraces)},
                               {"name", QStringLiteral("Definition %1").arg(i)},
                               {"image", "image.png"},
                               {"overlayFile", "overlay.json"},
                               {"config", "configActionGamepad.json"},
                               {"deviceName", deviceName(i)},
                               {"deviceNames", QJsonArray{deviceName(i), "Other Pad"}},
                               {"calibrationMode", i == 0 ? "override" : "inherit"},
                               {"vendorId", "0x045e"},
                               {"productId", "0x028e"}};
        writeFile(folder + "/meta.json", QJsonDocument(meta).toJson());
        writeFile(folder + "/overlay.json", "{\"type\":\"overlay\",\"nodes\":[]}");
        writeFile(folder + "/configActionGamepad.json", "{}");
        writeFile(folder + "/image.png", QByteArray(256, 'p'));
        if (i == 0) {
            g_overrideProfile = id;
            g_overrideFolder = folder;
            GamepadCalibration::saveCalibrationFile(
                folder + "/calibration.override.json", GamepadCalibration::defaultCalibration(),
                {"Bench Pad 0", 0x45e, 0x28e}, id.toString(QUuid::WithoutBraces));
        }
    }
    const GamepadCalibration::DeviceIdentity pad{"Bench Pad 0", 0x45e, 0x28e};
    GamepadCalibration::saveCalibrationFile(data + "/GamepadProfiles/_deviceCalibration/" +
                                                GamepadCalibration::baseCalibrationFileName(pad),
                                            GamepadCalibration::defaultCalibration(), pad);
}

void BM_ProfilesForDevice(benchmark::State& state)
{
    int found = 0;
    for (auto _ : state) {
        const QList<ProfileSummary> list = ProfileStore::profilesForDevice(QStringLiteral("bench pad 7"));
        found = list.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["profiles"] = found;
}
BENCHMARK(BM_ProfilesForDevice)->Unit(benchmark::kMillisecond);

// The same look-up with nothing kept from earlier calls: every meta.json read and parsed.
void BM_ProfilesForDeviceUncached(benchmark::State& state)
{
    for (auto _ : state) {
        ProfileMetaCache::clear();
        benchmark::DoNotOptimize(ProfileStore::profilesForDevice(QStringLiteral("bench pad 7")));
    }
}
BENCHMARK(BM_ProfilesForDeviceUncached)->Unit(benchmark::kMillisecond);

// What every library change in the editor ends in: the device list looks up the profiles of each
// of its rows, here four remembered pads (20 matching definitions each).
void BM_RefreshProfilesCatalog(benchmark::State& state)
{
    QJsonObject devices;
    for (int i = 0; i < 4; ++i) {
        devices.insert(QStringLiteral("gp:%1").arg(i), QJsonObject{{"deviceId", QString::number(i)},
                                                                   {"vendorIdHex", "45e"},
                                                                   {"productIdHex", "28e"},
                                                                   {"name", deviceName(i)},
                                                                   {"imagePath", ""},
                                                                   {"kv", QJsonObject{}}});
    }
    RegistryFile::write(RegistryFile::path(QStringLiteral("bench")),
                        QJsonObject{{"devices", devices}, {"lastCount", 0}});
    LinkerDeviceModel model(QStringLiteral("bench"));
    model.refreshProfilesCatalog();
    for (auto _ : state)
        model.refreshProfilesCatalog();
    state.counters["rows"] = model.rowCount();
}
BENCHMARK(BM_RefreshProfilesCatalog)->Unit(benchmark::kMillisecond);

// A plugged controller no definition names: its picture and its mapping file fall back to a scan
// of every definition (what the device list asks on each refresh of a live row).
void BM_UnknownPadPictureAndMapping(benchmark::State& state)
{
    auto pads = std::make_shared<VirtualJoystickBackend>();
    VirtualJoystickBackend::Pad pad;
    pad.slot = 0;
    pad.name = QStringLiteral("Unknown Pad");
    pad.vendorId = 0x1234;
    pad.productId = 0x5678;
    pads->plug(pad);
    ControlManette device(0, pads);
    for (auto _ : state) {
        benchmark::DoNotOptimize(device.imagePath());
        benchmark::DoNotOptimize(device.noCodeApp());
    }
}
BENCHMARK(BM_UnknownPadPictureAndMapping)->Unit(benchmark::kMillisecond);

void BM_SummaryById(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ProfileStore::summaryById(g_overrideProfile));
}
BENCHMARK(BM_SummaryById)->Unit(benchmark::kMicrosecond);

void BM_ResolveCalibrationBase(benchmark::State& state)
{
    const GamepadCalibration::DeviceIdentity pad{"Bench Pad 0", 0x45e, 0x28e};
    for (auto _ : state)
        benchmark::DoNotOptimize(GamepadCalibration::resolveCalibration(pad, {}));
}
BENCHMARK(BM_ResolveCalibrationBase)->Unit(benchmark::kMicrosecond);

void BM_ResolveCalibrationOverride(benchmark::State& state)
{
    const GamepadCalibration::DeviceIdentity pad{"Bench Pad 0", 0x45e, 0x28e};
    GamepadCalibration::ProfileCalibrationContext context;
    context.profileId = g_overrideProfile;
    context.profileFolder = g_overrideFolder;
    context.calibrationMode = QStringLiteral("override");
    for (auto _ : state)
        benchmark::DoNotOptimize(GamepadCalibration::resolveCalibration(pad, context));
}
BENCHMARK(BM_ResolveCalibrationOverride)->Unit(benchmark::kMicrosecond);

void BM_ListDefinitions(benchmark::State& state)
{
    int listed = 0;
    for (auto _ : state) {
        listed = DefinitionMeta::listDefinitions().size();
        benchmark::DoNotOptimize(listed);
    }
    state.counters["definitions"] = listed;
}
BENCHMARK(BM_ListDefinitions)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("JoyBench"));
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdg.path()));
    app.setProperty("hx.currentLogin", QStringLiteral("bench"));
    app.setProperty("hx.canEditSharedGamepads", true);
    // The device list's joystick manager, without controllers.
    JoystickBackends::install(std::make_shared<VirtualJoystickBackend>());
    populate();
    // A library at rest: files written just now are read again until they are two seconds old.
    QThread::msleep(ProfileMetaCache::RacyWindowMs + 100);
    // Warm the file cache once before timing.
    ProfileStore::profilesForDevice(QStringLiteral("Bench Pad 0"));

    const int status = runBenchmarks(argc, argv);
    delete GamepadManager::existingInstance();
    return status;
}
