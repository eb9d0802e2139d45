#include "platform/port_resolver.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace kelvanor {

namespace {

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The number after `prefix` in a device name ("ttyUSB12" -> 12); nothing when the rest is not
// all digits.
std::optional<long> device_number(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return {};
    long n = 0;
    for (char c : name.substr(prefix.size())) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return {};
        if (n > 1000000) return {};
        n = n * 10 + (c - '0');
    }
    return n;
}

// A ttyS node exists for every UART slot the driver reserves; only those whose probed UART
// type is not 0 ("unknown") have hardware behind them.
bool has_real_uart(const std::filesystem::path& node) {
    std::ifstream in(node / "type");
    long type = 0;
    if (!(in >> type)) return false;
    return type != 0;
}

}  // namespace

const std::string& PortTable::path(int com_number) const {
    static const std::string kNone;
    return present(com_number) ? paths[com_number - 1] : kNone;
}

std::optional<int> parse_com_name(std::string_view name) {
    name = trim(name);
    if (name.size() < 4 || !equals_ignoring_case(name.substr(0, 3), "COM")) return {};
    int n = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return {};
        n = n * 10 + (c - '0');
        if (n > kMaxComPorts) return {};
    }
    if (n < 1) return {};
    return n;
}

std::optional<PortMapping> parse_port_option(std::string_view option) {
    const size_t eq = option.find('=');
    if (eq == std::string_view::npos) return {};
    const std::optional<int> n = parse_com_name(option.substr(0, eq));
    const std::string_view path = trim(option.substr(eq + 1));
    if (!n || path.empty()) return {};
    return PortMapping{*n, std::string(path)};
}

std::vector<std::string> find_serial_devices(const std::filesystem::path& sysfs_tty_root) {
    struct Found {
        int group;
        long number;
        std::string name;
    };
    std::vector<Found> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysfs_tty_root, ec)) {
        const std::string name = entry.path().filename().string();
        if (auto n = device_number(name, "ttyS")) {
            if (has_real_uart(entry.path())) found.push_back({0, *n, name});
        } else if (auto u = device_number(name, "ttyUSB")) {
            found.push_back({1, *u, name});
        } else if (auto a = device_number(name, "ttyACM")) {
            found.push_back({2, *a, name});
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.group != b.group ? a.group < b.group : a.number < b.number;
    });
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (const Found& f : found) paths.push_back("/dev/" + f.name);
    return paths;
}

PortTable resolve_ports(const std::vector<PortMapping>& command_line,
                        const std::vector<PortMapping>& ini,
                        const std::vector<std::string>& devices) {
    PortTable table;
    auto map = [&table](const std::vector<PortMapping>& mappings) {
        for (const PortMapping& m : mappings) {
            if (m.com_number < 1 || m.com_number > kMaxComPorts || m.path.empty()) continue;
            std::string& slot = table.paths[m.com_number - 1];
            if (slot.empty()) slot = m.path;
            table.from_explicit_mapping = true;
        }
    };
    map(command_line);
    map(ini);
    if (table.from_explicit_mapping) return table;
    for (size_t i = 0; i < devices.size() && i < table.paths.size(); ++i) {
        table.paths[i] = devices[i];
    }
    return table;
}

}  // namespace kelvanor
