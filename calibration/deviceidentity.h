#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

namespace GamepadCalibration {

// Who a controller is, as far as calibration files care: the reported name and the USB ids.
struct DeviceIdentity
{
    QString name; // the joystick's reported name, trimmed
    quint32 vendorId = 0;
    quint32 productId = 0;

    // A blank identity cannot name a base calibration file.
    bool isBlank() const { return name.trimmed().isEmpty() && vendorId == 0 && productId == 0; }

    friend bool operator==(const DeviceIdentity& a, const DeviceIdentity& b)
    {
        return a.name == b.name && a.vendorId == b.vendorId && a.productId == b.productId;
    }
    friend bool operator!=(const DeviceIdentity& a, const DeviceIdentity& b) { return !(a == b); }
};

} // namespace GamepadCalibration

Q_DECLARE_METATYPE(GamepadCalibration::DeviceIdentity)
