#pragma once

// Data root, profile and base calibration files for the calibration page tests.
#include "calibrationfiles.h"
#include "support/testsupport.h"

#include <QUuid>

namespace CalibrationUiFixtures {

// The page's style sheet keeps the host theme's "@color...@" placeholders, which Qt cannot parse
// without the host; that warning says nothing about the code under test.
inline void ignoreUnresolvedTheme()
{
    static QtMessageHandler previous = nullptr;
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith(QLatin1String("Could not parse stylesheet")) && previous)
                previous(type, context, text);
        });
}

inline const GamepadCalibration::DeviceIdentity kPad{QStringLiteral("Test Pad"), 0x045e, 0x028e};

// A definition folder in the shared area, described as the editor would hand it over.
inline GamepadCalibration::ProfileCalibrationContext
makeProfile(const QString& mode = QStringLiteral("inherit"))
{
    const QString shared = ProfileStore::sharedProfilesRoot();
    const TestSupport::Definition def =
        TestSupport::writeDefinition(shared, QJsonObject{{QStringLiteral("name"), QStringLiteral("Drone")},
                                                         {QStringLiteral("deviceName"), kPad.name}});
    GamepadCalibration::ProfileCalibrationContext context;
    context.profileId = QUuid::fromString(def.id);
    context.profileName = QStringLiteral("Drone");
    context.profileFolder = def.folder;
    context.deviceName = kPad.name;
    context.vendorId = kPad.vendorId;
    context.productId = kPad.productId;
    context.calibrationMode = mode;
    return context;
}

// Writes the base file of the test pad where the page saves it; returns its path.
inline QString writeBase(const GamepadCalibration::CalibrationSet& set)
{
    const QString path = GamepadCalibration::baseCalibrationSavePath(kPad);
    GamepadCalibration::saveCalibrationFile(path, set, kPad);
    return path;
}

inline GamepadCalibration::CalibrationSet readSet(const QString& path)
{
    GamepadCalibration::CalibrationSet set;
    GamepadCalibration::loadCalibrationFile(path, &set);
    return set;
}

} // namespace CalibrationUiFixtures
