#pragma once
// The whole shared state of the program: one plain struct per subsystem, held together so
// that the application (and every test) builds a fresh state in one line.

#include "headlink/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"

namespace kelvanor {

struct AppState {
    Settings settings;
    RunState run;
    HeadState head;
};

}  // namespace kelvanor
