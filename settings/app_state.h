#pragma once
// The whole shared state of the program: one plain struct per subsystem, held together so
// that the application (and every test) builds a fresh state in one line.

#include "datafile/datafile_state.h"
#include "gps/gps_state.h"
#include "headlink/head_link_state.h"
#include "panel/panel_state.h"
#include "ping/ping_state.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"
#include "waterfall/target_state.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

struct AppState {
    Settings settings;
    RunState run;
    HeadState head;
    HeadLinkState link;
    DataFileState datafile;
    PingState ping;
    WaterfallState waterfall;
    TargetState target;
    PanelState panel;
    GpsState gps;
};

// The parts of the state the GPS side works on.
inline GpsContext gps_context(AppState& app) {
    return {app.settings, app.run, app.head, app.gps};
}

}  // namespace kelvanor
