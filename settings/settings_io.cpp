#include "settings/settings_io.h"

#include <array>
#include <climits>
#include <filesystem>
#include <string_view>

#include "settings/ini_file.h"

namespace kelvanor {
namespace {

// One INI key: its field, the text read when the key is missing, the values it accepts and
// the value that replaces anything else. The file holds every key as an integer; a field
// typed as an enum or a bool turns into one here and nowhere else.
struct KeySpec {
    std::string_view name;
    int32_t (*get)(const Settings& s);
    void (*set)(Settings& s, int32_t value);
    const char* default_text;
    int32_t min;
    int32_t max;
    int32_t fallback;
};

template <auto Field>
constexpr KeySpec key(std::string_view name, const char* default_text, int32_t min, int32_t max,
                      int32_t fallback) {
    return {name,
            [](const Settings& s) { return static_cast<int32_t>((s.*Field).load()); },
            [](Settings& s, int32_t value) {
                (s.*Field).store(static_cast<decltype((s.*Field).load())>(value));
            },
            default_text,
            min,
            max,
            fallback};
}

// In the order the keys are read and written. SSRange's upper limit is max_range_index and
// Colors accepts only 0, 3, 4 and 5; both are handled in valid().
const std::array<KeySpec, 17> kKeys{
    key<&Settings::Grid>("Grid", "1", 0, 1, 1),
    key<&Settings::Colors>("Colors", "0", 0, 5, 0),
    key<&Settings::Units>("Units", "0", 0, 1, 0),
    key<&Settings::RunMode>("RunMode", "0", 0, 1, 0),
    key<&Settings::ComPort>("ComPort", "0", 0, 31, 0),
    key<&Settings::ComPortGPS>("ComPortGPS", "1", 0, 31, 1),
    key<&Settings::GPSHeadingType>("GPSHeadingType", "2", 0, 2, 2),
    key<&Settings::SSRange>("SSRange", "4", 0, INT32_MAX, INT32_MAX),
    key<&Settings::SSGain>("SSGain", "6", 0, 40, 6),
    key<&Settings::SSTrain>("SSTrain", "1", 0, 2, 1),
    key<&Settings::SSDelay>("SSDelay", "0", 0, 500, 0),
    key<&Settings::SpeedCorrection>("SpeedCorrection", "0", 0, 1, 0),
    key<&Settings::AlongTrackMarks>("AlongTrackMarks", "0", 0, 1, 0),
    key<&Settings::Frequency>("Frequency", "0", 0, 1, 0),
    key<&Settings::ChannelBalance>("ChannelBalance", "30", 0, 60, 30),
    key<&Settings::GPSBaudRate>("GPSBaudRate", "0", 0, 1, 0),
    key<&Settings::PlotSpeed>("PlotSpeed", "100", 0, 100, 100),
};

int32_t validated(const KeySpec& key, const Settings& s, int32_t value) {
    if (key.name == "SSRange") {
        return (value < 0 || value > s.max_range_index) ? s.max_range_index.load() : value;
    }
    if (key.name == "Colors") {
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
        key.set(s, validated(key, s, c_atoi(text)));
        if (key.name == "RunMode") run.previous_run_mode = s.RunMode.load();
        if (key.name == "SSRange") s.saved_ss_range = s.SSRange.load();
        if (key.name == "SSGain") s.saved_ss_gain = s.SSGain.load();
    }
}

bool save_settings(const Settings& settings, const RunState& run) {
    const Settings& s = settings;
    IniFile ini = IniFile::load(run.ini_path);
    const bool file_mode = s.RunMode == RunMode::File;
    for (const KeySpec& key : kKeys) {
        int32_t value = key.get(s);
        if (file_mode && key.name == "SSRange") value = s.saved_ss_range;
        if (file_mode && key.name == "SSGain") value = s.saved_ss_gain;
        ini.set(kSettingsSection, std::string(key.name), std::to_string(value));
    }
    return ini.save(run.ini_path);
}

}  // namespace kelvanor
