#pragma once
// What the settings dialogs show and what they hand back. A dialog edits a copy of these
// values and returns it; the program applies the result, so that no dialog reaches into the
// program's state.

#include <string>
#include <vector>

namespace kelvanor {

// Manual Speed: the vessel's speed when it does not come from the GPS.
struct ManualSpeedValues {
    float speed_knots = 0.0f;
};

// Channel Balance: the gain offset between port and starboard, 0..60 with 30 balanced.
struct ChannelBalanceValues {
    int balance = 30;
};

// One serial port present: its COM number and the device the platform resolved it to.
struct ComPortEntry {
    int com_number = 0;  // 1..32
    std::string device_path;
    std::string description;  // may be empty
};

// ComPort Setup: the ports present, the head's and the GPS's port (0-based, COM1 is 0), the
// NMEA sentence that gives the position (GLL 0, GGA 1, RMC 2) and the GPS's network source.
struct ComPortValues {
    std::vector<ComPortEntry> ports;  // ascending COM number
    int head_port = 0;
    int gps_port = 0;
    int position_choice = 0;
    bool gps_enabled = false;    // without a GPS the GPS port and source stay as they are
    bool gps_baud_9600 = false;  // shown only: the dialog has no control that changes it
    std::string network_source;  // empty when the GPS is on a serial port
};

}  // namespace kelvanor
