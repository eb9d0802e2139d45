#pragma once
// Loading and saving the settings in KELVANOR.INI, section "Settings".

#include <string>

#include "settings/run_state.h"
#include "settings/settings.h"

namespace kelvanor {

inline constexpr const char* kIniFileName = "KELVANOR.INI";
inline constexpr const char* kSettingsSection = "Settings";

// The INI path for a directory: the directory, a separator, "KELVANOR.INI".
std::string ini_path_in(const std::string& directory);

// Forms run.ini_path from the current working directory and reads every key from it, with the
// default texts where the file or a key is missing and the fallback values where a stored
// value is out of range. Sets previous_run_mode, saved_ss_range and saved_ss_gain.
void load_settings(Settings& settings, RunState& run);
// The same with the INI file at an explicit path (tests, and the path formed above).
void load_settings_from(Settings& settings, RunState& run, const std::string& path);

// Writes every key in order to run.ini_path, keeping the rest of the file. In FILE mode range
// and gain come from the saved HEAD values. Returns false when the file could not be written;
// the program does not report that, but the old file is left whole.
bool save_settings(const Settings& settings, const RunState& run);

}  // namespace kelvanor
