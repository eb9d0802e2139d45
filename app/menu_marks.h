#pragma once
// Check marks and greyed items that follow the settings when the main window is created.

#include "control/app_state.h"
#include "platform/ui_services.h"

namespace kelvanor {

void apply_creation_menu_marks(const AppState& state, UiServices& ui);

}  // namespace kelvanor
