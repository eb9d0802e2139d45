#include "settings/settings_io.h"

#include <array>
#include <climits>
#include <filesystem>

#include "settings/ini_file.h"

namespace kelvanor {
namespace {

// One INI key: its field, the text read when the key is missing, the values it accepts and
// the value that replaces anything else.
struct KeySpec {
    const char* name;
    SharedInt Settings::*field;
    const char* default_text;
    int32_t min;
    int32_t max;
    int32_t fallback;
};

// In the order the keys are read and written. SSRange's upper limit is max_range_index and
// Colors accepts only 0, 3, 4 and 5; both are handled in valid().
constexpr std::array<KeySpec, 17> kKeys{{
    {"Grid", &Settings::Grid, "1", 0, 1, 1},
    {"Colors", &Settings::Colors, "0", 0, 5, 0},
    {"Units", &Settings::Units, "0", 0, 1, 0},
    {"RunMode", &Settings::RunMode, "0", 0, 1, 0},
    {"ComPort", &Settings::ComPort, "0", 0, 31, 0},
    {"ComPortGPS", &Settings::ComPortGPS, "1", 0, 31, 1},
    {"GPSHeadingType", &Settings::GPSHeadingType, "2", 0, 2, 2},
    {"SSRange", &Settings::SSRange, "4", 0, INT32_MAX, INT32_MAX},
    {"SSGain", &Settings::SSGain, "6", 0, 40, 6},
    {"SSTrain", &Settings::SSTrain, "1", 0, 2, 1},
    {"SSDelay", &Settings::SSDelay, "0", 0, 500, 0},
    {"SpeedCorrection", &Settings::SpeedCorrection, "0", 0, 1, 0},
    {"AlongTrackMarks", &Settings::AlongTrackMarks, "0", 0, 1, 0},
    {"Frequency", &Settings::Frequency, "0", 0, 1, 0},
    {"ChannelBalance", &Settings::ChannelBalance, "30", 0, 60, 30},
    {"GPSBaudRate", &Settings::GPSBaudRate, "0", 0, 1, 0},
    {"PlotSpeed", &Settings::PlotSpeed, "100", 0, 100, 100},
}};

int32_t validated(const KeySpec& key, const Settings& s, int32_t value) {
    if (key.field == &Settings::SSRange) {
        return (value < 0 || value > s.max_range_index) ? s.max_range_index.load() : value;
    }
    if (key.field == &Settings::Colors) {
        return (value == 0 || value == 3 || value == 4 || value == 5) ? value : key.fallback;
    }
    return (value < key.min || value > key.max) ? key.fallback : value;
}

}  // namespace

std::string ini_path_in(const std::string& directory) {
    std::string path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    path.append(kIniFileName);
    return path;
}

void load_settings(Settings& settings, RunState& run) {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    load_settings_from(settings, run, ini_path_in(ec ? std::string(".") : cwd.string()));
}

void load_settings_from(Settings& settings, RunState& run, const std::string& path) {
    run.ini_path = path;
    const IniFile ini = IniFile::load(path);
    Settings& s = settings;
    for (const KeySpec& key : kKeys) {
        std::string text = ini.get(kSettingsSection, key.name).value_or(key.default_text);
        if (text.size() > 79) text.resize(79);  // the value buffer holds 80 characters
        s.*key.field = validated(key, s, c_atoi(text));
        if (key.field == &Settings::RunMode) run.previous_run_mode = s.RunMode.load();
        if (key.field == &Settings::SSRange) s.saved_ss_range = s.SSRange.load();
        if (key.field == &Settings::SSGain) s.saved_ss_gain = s.SSGain.load();
    }
}

bool save_settings(const Settings& settings, const RunState& run) {
    const Settings& s = settings;
    IniFile ini = IniFile::load(run.ini_path);
    const bool file_mode = s.RunMode == 1;
    for (const KeySpec& key : kKeys) {
        int32_t value = s.*key.field;
        if (file_mode && key.field == &Settings::SSRange) value = s.saved_ss_range;
        if (file_mode && key.field == &Settings::SSGain) value = s.saved_ss_gain;
        ini.set(kSettingsSection, key.name, std::to_string(value));
    }
    return ini.save(run.ini_path);
}

}  // namespace kelvanor
