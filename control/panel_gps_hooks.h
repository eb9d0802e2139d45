#pragma once
// The panel's side of the GPS reader: its read-out hooks publish the speed, the heading and
// the position into the panel feed (panel/panel_feed.h) and then call `published`, which asks
// the window for a refresh; the GUI thread draws them there. So the reader thread never takes
// the surface lock.

#include <functional>

#include "gps/nmea_parser.h"
#include "panel/panel_feed.h"

namespace kelvanor {

struct AppState;

// Hooks for the GPS reader. `app` and `feed` outlive them. The position hook copies the
// position text under its lock before it takes the feed's: both are leaves.
GpsReadoutHooks panel_gps_hooks(AppState& app, PanelFeed& feed, std::function<void()> published);

}  // namespace kelvanor
