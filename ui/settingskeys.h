#pragma once

#include <QLatin1StringView>

// Keys of the window's persisted settings, read and written through
// short-lived default-constructed QSettings objects.
namespace SettingsKeys {

inline constexpr QLatin1StringView mainWindowGeometry{"MainWindow/Geometry"};
inline constexpr QLatin1StringView mainWindowState{"MainWindow/State"};
inline constexpr QLatin1StringView devicePortName{"Device/PortName"};
inline constexpr QLatin1StringView deviceLastSavedFilePath{"Device/LastSavedFilePath"};
inline constexpr QLatin1StringView convertData{"ConvertData"};

} // namespace SettingsKeys
