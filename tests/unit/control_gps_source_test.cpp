// The GPS source at start-up: the command line's --gps, else the INI section "Ports", key
// "GPS"; a network source takes the GPS port's place and turns the GPS on, COMn chooses a
// port, anything else is named as a problem and leaves the GPS as the ports give it.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "control/link_devices.h"
#include "test_support.h"

namespace kelvanor {
namespace {

TEST(GpsSource, CommandLineThenIniChooseANetworkSourceOrAPort) {
    struct Case {
        const char* option;     // --gps, empty when not given
        const char* ini_value;  // [Ports] GPS, empty when not there
        std::vector<std::string> ports;
        const char* network;  // the network source taken
        int gps_enabled;
        int com_port_gps;
        size_t problems;
    };
    const std::vector<std::string> one = {"COM1=/dev/null"};
    const std::vector<std::string> three = {"COM1=/dev/null", "COM2=/dev/zero", "COM3=/dev/full"};
    const Case cases[] = {
        {"gpsd://127.0.0.1:2947", "", one, "gpsd://127.0.0.1:2947", 1, 1, 0},
        {"", "udp://:10110", one, "udp://:10110", 1, 1, 0},
        {"tcp://10.0.0.5:10110", "udp://:10110", one, "tcp://10.0.0.5:10110", 1, 1, 0},
        {"COM3", "gpsd", three, "", 1, 2, 0},
        {"", "", three, "", 1, 1, 0},  // as the ports give it
        {"", "", one, "", 0, 1, 0},
        {"tcp://nohost", "", one, "", 0, 1, 1},  // no port
        {"COM1", "", three, "", 1, 1, 1},        // the head's own port
        {"COM9", "", three, "", 1, 1, 1},        // not present
        {"/dev/ttyUSB0", "", three, "", 1, 1, 1},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        AppState app;
        app.run.ini_path = dir.file("KELVANOR.INI");
        if (*c.ini_value) std::ofstream(app.run.ini_path) << "[Ports]\nGPS=" << c.ini_value << "\n";
        std::vector<std::string> problems;
        set_up_ports(app, c.ports, dir.file("no-sysfs"), problems, c.option);
        const std::string label = std::string(c.option) + " / " + c.ini_value;
        EXPECT_EQ(app.link.gps_network_source, c.network) << label;
        EXPECT_EQ(app.run.gps_enabled, c.gps_enabled) << label;
        EXPECT_EQ(app.settings.ComPortGPS, c.com_port_gps) << label;
        EXPECT_EQ(problems.size(), c.problems) << label;
    }
}

}  // namespace
}  // namespace kelvanor
