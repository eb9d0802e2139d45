#pragma once
// What the panel asks of the rest of the program when a button or key needs more than the
// panel itself: the run-mode switch, REC Pause and the notices that other parts draw into
// the panel. The application implements it; every method does nothing by default.
//
// None of them is called with the surface lock held, so an implementation may draw.

#include <cstdint>

#include "settings/settings.h"

namespace kelvanor {

class PanelHooks {
  public:
    virtual ~PanelHooks() = default;

    // A DATA FROM button: 0 HEAD, 1 FILE. The same as the data-source menu commands: FILE
    // while in FILE mode chooses another playback file, HEAD while in HEAD mode does nothing,
    // otherwise the run mode changes (menu marks, RunMode, run_mode_switch).
    virtual void select_data_source(RunMode /*run_mode*/) {}

    // The REC Pause box or the P key, in HEAD mode while recording.
    virtual void toggle_rec_pause() {}
    // Redraw the REC Pause box (the whole-panel paint while recording, and after a keyboard
    // entry box that covered it).
    virtual void draw_rec_pause() {}
    // The last step of the whole-panel paint: notices drawn by other parts ("Sub Bottom Off").
    virtual void draw_panel_notices() {}
};

}  // namespace kelvanor
