#include "control/run_mode_menus.h"

namespace kelvanor {

bool run_mode_enables(const RunModeMenuItem& item, bool file_mode, bool speed_from_gps) {
    if (file_mode) return item.in_file_mode;
    return item.in_head_mode && !(item.unless_speed_from_gps && speed_from_gps);
}

void enable_run_mode_menus(UiServices& ui, bool file_mode, bool speed_from_gps) {
    for (const RunModeMenuItem& item : kRunModeMenuItems) {
        ui.enable_menu_item(item.id, run_mode_enables(item, file_mode, speed_from_gps));
    }
}

}  // namespace kelvanor
