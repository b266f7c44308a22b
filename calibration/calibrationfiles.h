#pragma once

#include "calibrationsettings.h"
#include "deviceidentity.h"
#include "profilestore.h"

#include <QString>
#include <QtGlobal>
#include <QUuid>

// Calibration files and the choice between them: built-in defaults, a base file per controller
// model ("_deviceCalibration/<vendor>_<product>_<name>.json" in a search root) and the override
// file of one profile. Nothing is cached: every call reads the files anew.
namespace GamepadCalibration {

// What calibration needs to know of the active gamepad profile.
struct ProfileCalibrationContext
{
    QUuid profileId;
    QString profileName;
    QString profileFolder;
    QString deviceName;
    quint32 vendorId = 0;
    quint32 productId = 0;
    ProfileScope scope = ProfileScope::Shared;
    QString calibrationMode = QStringLiteral("inherit"); // meta "calibrationMode"
    QString calibrationOverrideFile;                     // meta "calibrationOverrideFile", may be empty

    // Only a profile with an id and a folder can own an override file.
    bool isUsable() const { return !profileId.isNull() && !profileFolder.trimmed().isEmpty(); }
};

enum class CalibrationSource : qint32
{
    Defaults = 0,
    BaseDevice = 1,
    ProfileOverride = 2
};

// "Defaults", "Base device", "Profile override"; any other value gives "Defaults".
QString calibrationSourceLabel(CalibrationSource source);

struct ResolvedCalibration
{
    CalibrationSet calibration;
    CalibrationSource source = CalibrationSource::Defaults;
    QString sourcePath;   // the file loaded; empty for defaults
    QString basePath;     // the base file found, or empty
    QString overridePath; // where the profile's override lives, used or not
};

// Lower case, non-alphanumerics as single underscores, at most 64 characters; "unknown" if empty.
QString sanitizedDeviceName(const QString& name);
// "<vendor>_<product>_<sanitised name>.json", ids as four lower-case hexadecimal digits at least.
QString baseCalibrationFileName(const DeviceIdentity& identity);
// The first existing base file over the search roots; empty when none or the identity is blank.
QString findBaseCalibrationFile(const DeviceIdentity& identity);
// Where the editor writes the base file (below the default profiles root); empty when there is none.
QString baseCalibrationSavePath(const DeviceIdentity& identity);
// Where an edit of the base calibration goes: the file resolution reads for this pad when this
// user may write it (their own area, or the shared one with the right), else the save path above,
// which resolution then reads first. Empty for a blank identity.
QString baseCalibrationEditPath(const DeviceIdentity& identity);
// Profile folder / override file name ("calibration.override.json" by default); empty when the
// context is not usable.
QString overrideCalibrationPath(const ProfileCalibrationContext& context);
// True when the mode text is "override", ignoring case and surrounding blanks.
bool isOverrideMode(const QString& mode);

// Reads a calibration document. *set is first reset to the defaults and receives the parsed set
// only on success. A missing file returns false without an error text; an unreadable, invalid or
// wrongly typed file returns false with the reason.
bool loadCalibrationFile(const QString& path, CalibrationSet* set, QString* error = nullptr,
                         int axisCount = kAxisCount, int buttonCount = kButtonCount);
// Writes the document atomically (save file, then rename; missing folders created): a failure
// leaves the previous file untouched. False with the reason.
bool saveCalibrationFile(const QString& path, const CalibrationSet& set, const DeviceIdentity& identity,
                         const QString& profileId = QString(), QString* error = nullptr);

// Defaults, then the base file, then the override when the profile asks for it and it loads;
// broken files are skipped silently. The result is sanitised.
ResolvedCalibration resolveCalibration(const DeviceIdentity& identity,
                                       const ProfileCalibrationContext& context, int axisCount = kAxisCount,
                                       int buttonCount = kButtonCount);

} // namespace GamepadCalibration

Q_DECLARE_METATYPE(GamepadCalibration::ProfileCalibrationContext)
Q_DECLARE_METATYPE(GamepadCalibration::ResolvedCalibration)
