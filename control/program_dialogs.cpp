// The settings dialogs' side of the program: the values a dialog opens with and what its
// outcome changes. The dialogs themselves only edit copies of these values.

#include "control/program.h"
#include "panel/readouts.h"

namespace kelvanor {

ManualSpeedValues Program::manual_speed_values() const {
    return ManualSpeedValues{app_.run.speed_knots.load()};
}

void Program::apply_manual_speed(const std::optional<ManualSpeedValues>& chosen) {
    if (chosen) app_.run.speed_knots = chosen->speed_knots;
    app_.run.heading_degrees = 0.0f;
    draw_speed(panel_context(app_), surface_, &ui_, app_.run.speed_knots, true);
    draw_heading(panel_context(app_), surface_, &ui_, app_.run.heading_degrees, true);
}

ChannelBalanceValues Program::channel_balance_values() const {
    return ChannelBalanceValues{app_.settings.ChannelBalance.load()};
}

void Program::set_channel_balance(const ChannelBalanceValues& values) {
    app_.settings.ChannelBalance = values.balance;
    draw_balance(panel_context(app_), surface_, &ui_);
}

void Program::apply_channel_balance(const std::optional<ChannelBalanceValues>& chosen) {
    if (chosen) app_.settings.ChannelBalance = chosen->balance;
    draw_balance(panel_context(app_), surface_, &ui_);
}

ComPortValues Program::com_port_values() const {
    ComPortValues values;
    for (int n = 1; n <= kMaxComPorts; ++n) {
        if (app_.link.ports.present(n)) values.ports.push_back({n, app_.link.ports.path(n), {}});
    }
    values.head_port = app_.settings.ComPort;
    values.gps_port = app_.settings.ComPortGPS;
    values.position_choice = app_.settings.GPSHeadingType;
    values.gps_enabled = app_.run.gps_enabled;
    values.gps_baud_9600 = app_.settings.GPSBaudRate == GpsBaud::Baud9600;
    values.network_source = app_.link.gps_network_source;
    return values;
}

void Program::apply_com_ports(const ComPortValues& chosen) {
    // The readers stop before their port numbers change, and start on the new ones.
    devices_->stop_head_port();
    if (chosen.gps_enabled) devices_->stop_gps();
    app_.settings.ComPort = chosen.head_port;
    devices_->start_head_port();
    app_.settings.GPSHeadingType = chosen.position_choice;
    if (chosen.gps_enabled) {
        app_.link.gps_network_source = chosen.network_source;
        app_.settings.ComPortGPS = chosen.gps_port;
        devices_->start_gps();
    } else {
        draw_gps_position(panel_context(app_), surface_, &ui_, false);
    }
}

}  // namespace kelvanor
