#include "settings/window_scale_io.h"

#include "platform/client_scale.h"
#include "settings/ini_file.h"

namespace kelvanor {

int load_window_scale(const std::string& ini_path) {
    const std::optional<std::string> text =
        IniFile::load(ini_path).get(kWindowSection, kWindowScaleKey);
    if (!text) return kMinClientScale;
    const int scale = c_atoi(*text);
    return (scale < kMinClientScale || scale > kMaxClientScale) ? kMinClientScale : scale;
}

bool save_window_scale(const std::string& ini_path, int scale) {
    IniFile ini = IniFile::load(ini_path);
    ini.set(kWindowSection, kWindowScaleKey, std::to_string(valid_scale(scale)));
    return ini.save(ini_path);
}

}  // namespace kelvanor
