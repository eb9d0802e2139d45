#include "settings/ini_ports.h"

#include <cctype>
#include <string>
#include <string_view>

namespace kelvanor {

std::vector<PortMapping> ini_port_mappings(const IniFile& ini) {
    std::vector<PortMapping> out;
    for (int n = 1; n <= kMaxComPorts; ++n) {
        const std::optional<std::string> value = ini.get("Ports", "COM" + std::to_string(n));
        if (!value) continue;
        std::string_view path = *value;
        while (!path.empty() && std::isspace(static_cast<unsigned char>(path.front()))) {
            path.remove_prefix(1);
        }
        while (!path.empty() && std::isspace(static_cast<unsigned char>(path.back()))) {
            path.remove_suffix(1);
        }
        if (!path.empty()) out.push_back({n, std::string(path)});
    }
    return out;
}

}  // namespace kelvanor
