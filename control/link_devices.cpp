#include "control/link_devices.h"

#include "platform/network_nmea_port.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "platform/reopening_serial_port.h"
#include "settings/ini_file.h"
#include "settings/ini_ports.h"

namespace kelvanor {

LinkDevices::LinkDevices(Program& program, Clock& clock, UiServices& ui)
    : program_(program),
      clock_(clock),
      ui_(ui),
      head_(head_link_context(program.app()), program, clock, ui),
      gps_(gps_context(program.app()), std::make_unique<PosixSerialPort>(),
           program.gps_readout_hooks()) {}

void LinkDevices::start_head_port() {
    head_.open(program_.app().settings.ComPort);
    head_.start();
}

void LinkDevices::stop_head_port() {
    head_.stop();
}

void LinkDevices::start_gps() {
    AppState& app = program_.app();
    const std::string& network = app.link.gps_network_source;
    const bool on_network = !network.empty();
    const std::string& path =
        on_network ? network : app.link.ports.path(app.settings.ComPortGPS + 1);
    if (path.empty()) return;
    std::unique_ptr<SerialPort> port;
    if (on_network) {
        port = std::make_unique<NetworkNmeaPort>(clock_);
    } else {
        port = std::make_unique<ReopeningSerialPort>(std::make_unique<PosixSerialPort>(), clock_);
    }
    const SerialOpenResult opened =
        gps_.open_gps_port(path, std::move(port), on_network ? GpsInput::Stream : GpsInput::Serial);
    if (opened.ok()) {
        gps_.start_gps_reader();
    } else if ((on_network || opened.status == SerialOpenStatus::PermissionDenied) &&
               !gps_permission_reported_) {
        // Reported once: a silent GPS would send the operator after the wrong fault.
        gps_permission_reported_ = true;
        ui_.message_box(describe_open_failure(path, opened), "GPS Port", MessageKind::Warning);
    }
}

void LinkDevices::stop_gps() {
    gps_.stop_gps();
}

void set_up_ports(AppState& app, const std::vector<std::string>& port_options,
                  const std::filesystem::path& sysfs_tty_root, std::vector<std::string>& problems,
                  const std::string& gps_option) {
    std::vector<PortMapping> command_line;
    for (const std::string& option : port_options) {
        if (std::optional<PortMapping> mapping = parse_port_option(option)) {
            command_line.push_back(*mapping);
        } else {
            problems.push_back("--port " + option + ": expected COMn=PATH with n from 1 to 32");
        }
    }
    const IniFile ini = IniFile::load(app.run.ini_path);
    const std::vector<PortMapping> from_ini = ini_port_mappings(ini);
    std::vector<std::string> devices;
    if (command_line.empty() && from_ini.empty()) devices = find_serial_devices(sysfs_tty_root);
    app.link.ports = resolve_ports(command_line, from_ini, devices);
    enumerate_ports(head_link_context(app), app.link.ports);

    std::string gps = gps_option;
    const char* origin = "--gps ";
    if (gps.empty()) {
        gps = ini.get("Ports", "GPS").value_or("");
        origin = "[Ports] GPS=";
        const size_t first = gps.find_first_not_of(" \t");
        const size_t last = gps.find_last_not_of(" \t\r");
        gps = first == std::string::npos ? "" : gps.substr(first, last - first + 1);
    }
    app.link.gps_network_source.clear();
    if (gps.empty()) return;
    if (is_network_source_text(gps)) {
        if (parse_network_source(gps)) {
            app.link.gps_network_source = gps;
            app.run.gps_enabled = 1;
            return;
        }
    } else if (const std::optional<int> com = parse_com_name(gps);
               com && app.link.ports.present(*com) && *com - 1 != app.settings.ComPort) {
        app.settings.ComPortGPS = *com - 1;
        app.run.gps_enabled = 1;
        return;
    }
    problems.push_back(origin + gps +
                       ": expected COMn (a port present, not the head's), gpsd[://HOST[:PORT]], "
                       "tcp://HOST:PORT or udp://[ADDR]:PORT");
}

}  // namespace kelvanor
