#include "control/link_devices.h"

#include "platform/port_resolver.h"
#include "settings/ini_file.h"

namespace kelvanor {

LinkDevices::LinkDevices(Program& program, Clock& clock, UiServices& ui)
    : program_(program), head_(program.app(), program, clock, ui) {}

void LinkDevices::start_head_port() {
    head_.open(program_.app().settings.ComPort);
    head_.start();
}

void LinkDevices::stop_head_port() {
    head_.stop();
}

void set_up_ports(AppState& app, const std::vector<std::string>& port_options,
                  const std::filesystem::path& sysfs_tty_root, std::vector<std::string>& problems) {
    std::vector<PortMapping> command_line;
    for (const std::string& option : port_options) {
        if (std::optional<PortMapping> mapping = parse_port_option(option)) {
            command_line.push_back(*mapping);
        } else {
            problems.push_back("--port " + option + ": expected COMn=PATH with n from 1 to 32");
        }
    }
    const std::vector<PortMapping> from_ini = ini_port_mappings(IniFile::load(app.run.ini_path));
    std::vector<std::string> devices;
    if (command_line.empty() && from_ini.empty()) devices = find_serial_devices(sysfs_tty_root);
    app.link.ports = resolve_ports(command_line, from_ini, devices);
    enumerate_ports(app, app.link.ports);
}

}  // namespace kelvanor
