#pragma once
// The points of the two measuring tools (Target Length and Target Height) and the overlay
// lock that guards them together with their drawing. The tool selection, the length
// measurement's active flag and the height step live in RunState; they too are changed only
// under the overlay lock.
//
// Lock order: the overlay lock before the image lock, a Surface's lock after it.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "settings/copyable_mutex.h"
namespace kelvanor {

// A contact shown on the waterfall: its number, the serial of the column it was marked on
// (see ColumnHistory) and the client row it was marked at.
struct ContactMarker {
    int32_t number = 0;
    uint64_t column_serial = 0;
    int32_t y = 0;
};

using OverlayMutex = CopyableMutex;

struct TargetState {
    // The overlay lock (length_overlay_busy). Every field below is read and written under it.
    mutable OverlayMutex overlay_mutex;

    // Target Length: the first point and the point of the last drawing (client coordinates).
    int32_t length_start_x = 0;
    int32_t length_start_y = 0;
    int32_t length_end_x = 0;
    int32_t length_end_y = 0;

    // Target Height: x of the target click, y of the bottom-return and shadow-start clicks.
    int32_t height_target_x = 0;
    int32_t height_bottom_y = 0;
    int32_t height_shadow_y = 0;

    // Where the height overlay follows the pointer: its last position over the image. Until
    // the pointer has been there the height overlay is not drawn.
    int32_t height_pointer_x = 0;
    int32_t height_pointer_y = 0;
    bool height_pointer_seen = false;

    // The last results completed on screen and not yet taken by a contact, in metres: a
    // length when its second point is set, a height at its shadow-end click.
    std::optional<float> completed_length_metres;
    std::optional<float> completed_height_metres;

    // The contacts drawn over the waterfall while their columns are on screen.
    std::vector<ContactMarker> contact_markers;
};

}  // namespace kelvanor
