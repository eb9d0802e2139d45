#include "app/menu_marks.h"

#include "platform/menu_ids.h"
#include "settings/menu_values.h"

namespace kelvanor {

void apply_creation_menu_marks(const AppState& state, UiServices& ui) {
    const Settings& s = state.settings;
    const RunState& run = state.run;
    ui.check_menu_item(s.RunMode == RunMode::Head ? menu::kHead : menu::kFile, true);
    ui.check_menu_item(menu_item(s.Colors), true);
    if (s.Grid) ui.check_menu_item(menu::kGrid, true);
    ui.check_menu_item(menu_item(s.Units), true);
    if (s.AlongTrackMarks) ui.check_menu_item(menu::kAlongTrackMarks, true);
    if (s.SpeedCorrection) ui.check_menu_item(menu::kSpeedCorrection, true);
    if (run.speed_from_gps) {
        ui.check_menu_item(menu::kSpeedFromGps, true);
        ui.enable_menu_item(menu::kManualSpeed, false);
    }
    if (run.target_length_mode) ui.check_menu_item(menu::kTargetLength, true);
    if (run.target_height_mode) ui.check_menu_item(menu::kTargetHeight, true);
    ui.check_menu_item(menu_item(s.Frequency), true);
}

}  // namespace kelvanor
