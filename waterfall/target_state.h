#pragma once
// The points of the two measuring tools (Target Length and Target Height) and the overlay
// lock that guards them together with their drawing. The tool selection, the length
// measurement's active flag and the height step live in RunState; they too are changed only
// under the overlay lock.
//
// Lock order: the overlay lock before the image lock, a Surface's lock after it.

#include <cstdint>
#include <mutex>

#include "settings/copyable_mutex.h"
namespace kelvanor {

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
};

}  // namespace kelvanor
