#pragma once
// Check marks and greyed items that follow the settings when the main window is created.

#include <string>

#include "platform/ui_services.h"
#include "settings/app_state.h"

namespace kelvanor {

void apply_creation_menu_marks(const AppState& state, UiServices& ui);

}  // namespace kelvanor

namespace kelvanor {

// Greys and enables the items that depend on the run mode, and sets the title of a mode with
// no file open: the menu side of switching between HEAD and FILE mode.
void apply_run_mode_menu(const AppState& state, UiServices& ui);

// "Kelvanor Marlinray - [No File]"
std::string no_file_title();

}  // namespace kelvanor
