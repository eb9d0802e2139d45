#pragma once
// Contacts over the waterfall: a small marker with the contact's number at the column and row
// it was marked at, drawn with the measuring overlays at every refresh (never into the
// image), for as long as that column is on screen.

#include <cstdint>
#include <vector>

#include "platform/geometry.h"
#include "platform/surface.h"
#include "waterfall/column_history.h"
#include "waterfall/target_state.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

// A marker at its place on screen now (client coordinates).
struct PlacedMarker {
    int32_t number = 0;
    Point at;
};

// Replaces the markers (under the overlay lock) and marks the image changed, so that the next
// refresh shows them.
void set_contact_markers(TargetState& target, WaterfallState& waterfall,
                         std::vector<ContactMarker> markers);

// The markers whose columns are on screen (found in the column history), where they are now.
// Overlay lock held by the caller; takes the image lock, which guards the history.
std::vector<PlacedMarker> placed_contact_markers(const TargetState& target,
                                                 const WaterfallState& waterfall,
                                                 const ColumnHistory& history);

// A diamond around the point with the number beside it, light with a dark outline. Surface
// lock held.
void draw_contact_marker(Surface& surface, const PlacedMarker& marker);

}  // namespace kelvanor
