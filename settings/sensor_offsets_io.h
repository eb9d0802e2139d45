#pragma once
// Where the sonar is towed or mounted relative to the GPS antenna, from section "Sonar" of
// KELVANOR.INI (metres, a decimal point): OffsetForward (the sonar ahead of the antenna),
// OffsetStarboard (to starboard of it) and Layback (towed behind it). The window places its
// contacts with them, as `vkd locate` does with --offset-forward, --offset-starboard and
// --layback. The program only reads them: they are set by editing the file, and saving the
// settings keeps them.

#include <string>

#include "settings/ini_file.h"
#include "settings/sensor_offsets.h"

namespace kelvanor {

inline constexpr const char* kSonarSection = "Sonar";

// A missing key, a value that is not a number or lies outside what `vkd locate` accepts
// (offsets -1000..1000 m, layback 0..10000 m) counts as 0.
SensorOffsets sensor_offsets_from(const IniFile& ini);
SensorOffsets load_sensor_offsets(const std::string& ini_path);

}  // namespace kelvanor
