#pragma once

#include <QLatin1String>

// Keys and fixed file names of a definition folder's "meta.json". The keys are the stable file
// contract shared by the profile store, the definition library and the input runtime.
namespace MetaKeys {

inline constexpr QLatin1String Type{"type"};
inline constexpr QLatin1String Version{"version"};
inline constexpr QLatin1String Id{"id"};
inline constexpr QLatin1String Name{"name"};
inline constexpr QLatin1String Image{"image"};
inline constexpr QLatin1String OverlayFile{"overlayFile"};
inline constexpr QLatin1String Config{"config"};
inline constexpr QLatin1String DeviceName{"deviceName"};
inline constexpr QLatin1String DeviceNames{"deviceNames"};
inline constexpr QLatin1String CreatedAt{"createdAt"};
inline constexpr QLatin1String ModifiedAt{"modifiedAt"};
inline constexpr QLatin1String CalibrationMode{"calibrationMode"};
inline constexpr QLatin1String VendorId{"vendorId"};
inline constexpr QLatin1String ProductId{"productId"};
inline constexpr QLatin1String CalibrationOverrideFile{"calibrationOverrideFile"};

// Value of "type"; any other value means the folder is not a definition.
inline constexpr QLatin1String TypeValue{"GamepadDefinderMeta"};
// Value of "version" written by this release.
inline constexpr int VersionValue = 4;

inline constexpr QLatin1String MetaFileName{"meta.json"};
inline constexpr QLatin1String DefaultImageFile{"image.png"};
inline constexpr QLatin1String DefaultOverlayFile{"overlay.json"};
inline constexpr QLatin1String DefaultConfigFile{"configActionGamepad.json"};
inline constexpr QLatin1String DefaultOverrideFile{"calibration.override.json"};

inline constexpr QLatin1String ModeInherit{"inherit"};
inline constexpr QLatin1String ModeOverride{"override"};

} // namespace MetaKeys
