#pragma once
// The real devices behind the program: the head port with its acquisition thread and the GPS
// port with its reader thread, started and stopped by the run-mode switch, the ComPort Setup
// dialog and the close handling.

#include <filesystem>
#include <string>
#include <vector>

#include "control/program.h"
#include "gps/gps_reader.h"
#include "headlink/head_port.h"

namespace kelvanor {

class LinkDevices final : public Devices {
  public:
    LinkDevices(Program& program, Clock& clock, UiServices& ui);
    void start_head_port() override;
    void stop_head_port() override;
    // The GPS source is the network source when one is set, else COM(ComPortGPS + 1); its
    // reader publishes the position, speed and heading read-outs into the panel feed. Both
    // serial lines are reopened by their paths when their devices go away.
    void start_gps() override;
    void stop_gps() override;

  private:
    Program& program_;
    Clock& clock_;
    UiServices& ui_;
    HeadPort head_;
    GpsReader gps_;
    bool gps_permission_reported_ = false;
};

// Finds the serial ports: the command line's "COMn=PATH" mappings, then the INI section
// "Ports", then (without any mapping) the devices present under `sysfs_tty_root`; records the
// table in the shared state and moves ComPort and ComPortGPS to ports that exist. Then the GPS
// source: `gps_option` (the command line's --gps) or else the key "GPS" of the section
// "Ports": "COMn" chooses that port, a network source (gpsd, tcp://, udp://) takes the GPS
// port's place and turns the GPS on. A bad mapping or source is named in `problems`.
void set_up_ports(AppState& app, const std::vector<std::string>& port_options,
                  const std::filesystem::path& sysfs_tty_root, std::vector<std::string>& problems,
                  const std::string& gps_option = {});

}  // namespace kelvanor
