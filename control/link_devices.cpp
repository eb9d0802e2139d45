#include "control/link_devices.h"

#include "panel/readouts.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "settings/ini_file.h"

namespace kelvanor {

namespace {

GpsReadoutHooks gps_readouts(AppState& app, Surface& surface, UiServices& ui) {
    GpsReadoutHooks hooks;
    hooks.draw_position = [&app, &surface, &ui] { draw_gps_position(app, surface, &ui, true); };
    hooks.draw_speed = [&app, &surface, &ui](float knots) {
        draw_speed(app, surface, &ui, knots, false);
    };
    hooks.draw_heading = [&app, &surface, &ui](float degrees) {
        draw_heading(app, surface, &ui, degrees, false);
    };
    return hooks;
}

}  // namespace

LinkDevices::LinkDevices(Program& program, Clock& clock, UiServices& ui, Surface& surface)
    : program_(program),
      ui_(ui),
      head_(program.app(), program, clock, ui),
      gps_(program.app(), std::make_unique<PosixSerialPort>(),
           gps_readouts(program.app(), surface, ui)) {}

void LinkDevices::start_head_port() {
    head_.open(program_.app().settings.ComPort);
    head_.start();
}

void LinkDevices::stop_head_port() {
    head_.stop();
}

void LinkDevices::start_gps() {
    AppState& app = program_.app();
    const std::string& path = app.link.ports.path(app.settings.ComPortGPS + 1);
    if (path.empty()) return;
    const SerialOpenResult opened = gps_.open_gps_port(path);
    if (opened.ok()) {
        gps_.start_gps_reader();
    } else if (opened.status == SerialOpenStatus::PermissionDenied && !gps_permission_reported_) {
        // Reported once: a silent GPS would send the operator after the wrong fault.
        gps_permission_reported_ = true;
        ui_.message_box(describe_open_failure(path, opened), "GPS Port", MessageKind::Warning);
    }
}

void LinkDevices::stop_gps() {
    gps_.stop_gps();
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
