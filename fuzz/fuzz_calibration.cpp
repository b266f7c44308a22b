// Calibration document: loadCalibrationFile over the input, then saved and loaded again: the two
// sets read must be equal (the writer is a function of the set, so the two files would be too).
#include "fuzzchecks.h"

#include "calibrationfiles.h"

namespace FuzzChecks {

QString calibration(const QByteArray& input)
{
    using namespace GamepadCalibration;
    const QString source = scratchPath(QStringLiteral("calibration/input.json"));
    const QString first = scratchPath(QStringLiteral("calibration/first.json"));
    writeFile(source, input);

    CalibrationSet read;
    QString error;
    if (!loadCalibrationFile(source, &read, &error))
        return read == defaultCalibration() ? QString() : QStringLiteral("a rejected file left no defaults");
    if (sanitized(read) != read)
        return QStringLiteral("the loaded set is not sanitised");

    const DeviceIdentity identity{QStringLiteral("Fuzz Pad"), 0x045e, 0x028e};
    if (!saveCalibrationFile(first, read, identity, QStringLiteral("profile"), &error))
        return QStringLiteral("save failed: ") + error;
    CalibrationSet again;
    if (!loadCalibrationFile(first, &again, &error))
        return QStringLiteral("its own file was rejected: ") + error;
    return again == read ? QString() : QStringLiteral("the set changed through its own file");
}

} // namespace FuzzChecks
