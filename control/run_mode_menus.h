#pragma once
// The menu items that the run mode greys: FILE mode plays and copies files; HEAD mode records
// and sets the ports, the speed, the frequency and the channel balance. One table for both
// modes, so that the two can never disagree about an item.

#include <array>

#include "platform/menu_ids.h"
#include "platform/ui_services.h"

namespace kelvanor {

struct RunModeMenuItem {
    int id = 0;
    bool in_file_mode = false;
    bool in_head_mode = false;
    // In HEAD mode only while the speed does not come from the GPS (Manual Speed).
    bool unless_speed_from_gps = false;
};

inline constexpr std::array<RunModeMenuItem, 9> kRunModeMenuItems{{
    {menu::kPlayback, true, false, false},
    {menu::kRecord, false, true, false},
    {menu::kCopy, true, false, false},
    {menu::kComPorts, false, true, false},
    {menu::kManualSpeed, false, true, true},
    {menu::kSpeedFromGps, false, true, false},
    {menu::kLow, false, true, false},
    {menu::kHigh, false, true, false},
    {menu::kChannelBalance, false, true, false},
}};

// Whether `item` is enabled in the run mode (FILE when `file_mode`).
bool run_mode_enables(const RunModeMenuItem& item, bool file_mode, bool speed_from_gps);

// Enables and greys the table's items for the run mode, in the table's order.
void enable_run_mode_menus(UiServices& ui, bool file_mode, bool speed_from_gps);

}  // namespace kelvanor
