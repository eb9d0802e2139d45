#pragma once
// COM numbers to device paths. The settings and the dialogs keep COM numbers 1..32; on this
// system each number is a device path, found in this order:
//   1. explicit mappings: `--port COMn=PATH` on the command line, then the INI section
//      "Ports", key "COMn" (the command line wins for the same number);
//   2. only when there is no explicit mapping at all: the serial devices present, in order
//      (ttyS* with a real UART, then ttyUSB*, then ttyACM*), numbered COM1, COM2, ...
// Any explicit mapping means only the mapped ports exist, so a machine's stray ttyS0 never
// becomes a port the program would drive.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvanor {

inline constexpr int kMaxComPorts = 32;

struct PortMapping {
    int com_number = 0;  // 1..32
    std::string path;
    bool operator==(const PortMapping&) const = default;
};

// Device path of each COM number (index n - 1 for COMn); empty where no port exists.
struct PortTable {
    std::array<std::string, kMaxComPorts> paths;
    bool from_explicit_mapping = false;

    bool present(int com_number) const {
        return com_number >= 1 && com_number <= kMaxComPorts && !paths[com_number - 1].empty();
    }
    // Empty when COMn does not exist.
    const std::string& path(int com_number) const;
};

// "COMn" (any case, n 1..32) to n.
std::optional<int> parse_com_name(std::string_view name);

// The value of a `--port` option, "COMn=PATH". Nothing for a malformed one.
std::optional<PortMapping> parse_port_option(std::string_view option);

// Serial devices present, found by reading sysfs (`sysfs_tty_root` is normally
// /sys/class/tty) and never by opening a device, since an open toggles the modem lines of
// whatever hangs on it. Returns "/dev/NAME" paths: ttyS* whose UART type is known, then
// ttyUSB*, then ttyACM*, each group in numeric order.
std::vector<std::string> find_serial_devices(const std::filesystem::path& sysfs_tty_root);

// Builds the table from the explicit mappings (command line first) or, when there are none,
// from the devices present. Mappings with a number outside 1..32 or an empty path are ignored.
PortTable resolve_ports(const std::vector<PortMapping>& command_line,
                        const std::vector<PortMapping>& ini,
                        const std::vector<std::string>& devices);

}  // namespace kelvanor
