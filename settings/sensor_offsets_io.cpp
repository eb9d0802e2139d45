#include "settings/sensor_offsets_io.h"

#include <charconv>
#include <cmath>

namespace kelvanor {

namespace {

double metres(const IniFile& ini, const char* key, double low, double high) {
    const std::optional<std::string> text = ini.get(kSonarSection, key);
    if (!text) return 0.0;
    size_t start = text->find_first_not_of(" \t");
    if (start == std::string::npos) return 0.0;
    if ((*text)[start] == '+') ++start;
    double value = 0.0;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data() + start, end, value);
    if (ec != std::errc() || ptr == text->data() + start) return 0.0;
    if (text->find_first_not_of(" \t", static_cast<size_t>(ptr - text->data())) !=
        std::string::npos) {
        return 0.0;
    }
    return std::isfinite(value) && value >= low && value <= high ? value : 0.0;
}

}  // namespace

SensorOffsets sensor_offsets_from(const IniFile& ini) {
    SensorOffsets o;
    o.forward_metres = metres(ini, "OffsetForward", -1000.0, 1000.0);
    o.starboard_metres = metres(ini, "OffsetStarboard", -1000.0, 1000.0);
    o.layback_metres = metres(ini, "Layback", 0.0, 10000.0);
    return o;
}

SensorOffsets load_sensor_offsets(const std::string& ini_path) {
    return sensor_offsets_from(IniFile::load(ini_path));
}

}  // namespace kelvanor
