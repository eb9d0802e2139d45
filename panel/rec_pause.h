#pragma once
// The REC Pause box of a recording: a check box (checked while the recording pauses) and its
// label, whose colours alternate with every ping while the recording pauses.

#include "platform/surface.h"
#include "platform/ui_services.h"

namespace kelvanor {

// Draws the box, checked when `paused`; with `shown` false, erases its area instead.
void draw_rec_pause_box(Surface& surface, UiServices& ui, bool shown, bool paused);
// One phase of the paused label's flashing: white on red in phase 1, red on white in phase 0.
void flash_rec_pause_label(Surface& surface, UiServices& ui, int phase);
// The same two drawings for a caller that already holds the surface's lock.
void paint_rec_pause_label(Surface& surface, int phase);
void erase_rec_pause_box(Surface& surface);

}  // namespace kelvanor
