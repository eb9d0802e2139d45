#pragma once
// The scale the main window shows its client surface at, kept in KELVANOR.INI in a section
// of its own ("Window", key "Scale"), so that the "Settings" section keeps exactly its keys.

#include <string>

namespace kelvanor {

inline constexpr const char* kWindowSection = "Window";
inline constexpr const char* kWindowScaleKey = "Scale";

// The stored scale, 1..3; a missing file, section or key, or any other value, gives 1.
int load_window_scale(const std::string& ini_path);

// Writes the scale (limited to 1..3), keeping the rest of the file. False when the file
// could not be written; the old file is then left whole.
bool save_window_scale(const std::string& ini_path, int scale);

}  // namespace kelvanor
