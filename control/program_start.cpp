// The program's start-up steps that the window runs before it shows: settings, ports, the
// calibration and the screen, and the run mode to start in.

#include "control/link_devices.h"
#include "control/program.h"
#include "panel/panel_layout.h"
#include "platform/menu_ids.h"
#include "settings/settings_io.h"

namespace kelvanor {

void Program::set_font(FontMetrics font) {
    font_ = font;
    app_.panel.layout = compute_panel_layout(font);
}

void Program::load_settings() {
    kelvanor::load_settings(app_);
}

void Program::set_up_ports(const std::vector<std::string>& port_options,
                           const std::filesystem::path& sysfs_tty_root,
                           std::vector<std::string>& problems, const std::string& gps_option) {
    kelvanor::set_up_ports(app_, port_options, sysfs_tty_root, problems, gps_option);
}

void Program::set_screen_size(Size screen) {
    app_.run.screen_width = screen.width;
    app_.run.screen_height = screen.height;
}

void Program::choose_run_mode(RunMode run_mode) {
    if (app_.settings.RunMode == run_mode) return;
    ui_.check_menu_item(menu::kHead, run_mode == RunMode::Head);
    ui_.check_menu_item(menu::kFile, run_mode == RunMode::File);
    app_.settings.RunMode = run_mode;
}

void Program::use_demo_ports(bool with_gps) {
    if (with_gps) app_.settings.ComPortGPS = 1;
    if (app_.settings.RunMode != RunMode::Head) {
        choose_run_mode(RunMode::Head);
        // Started in HEAD mode: the first switch is no change of mode.
        app_.run.previous_run_mode = RunMode::Head;
    }
    app_.settings.ComPort = 0;
}

}  // namespace kelvanor
