#pragma once
// The keyboard of the main window: typed range and gain ("R 9 0 Enter", "G 1 2 Enter"), the
// Hold and REC Pause keys, and the arrow keys that move the pointer with growing steps.

#include <cstdint>
#include <optional>

#include "panel/panel_hooks.h"
#include "panel/panel_paint.h"

namespace kelvanor {

struct RunState;

inline constexpr int kEntryMaxDigits = 3;
inline constexpr int kEntryKindNone = 0;
inline constexpr int kEntryKindRange = 1;
inline constexpr int kEntryKindGain = 2;

// A character message (the character code as a signed byte). Returns whether it did
// anything.
bool panel_key_char(const PanelContext& app, Surface& surface, UiServices* ui, PanelHooks& hooks,
                    int character);

// Ends a running entry without applying it (Esc, R or G again, the run-mode switch) and
// erases its prompt.
void cancel_entry(const PanelContext& app, Surface& surface, UiServices* ui);
// Applies a running entry (Enter), then ends it.
void accept_entry(const PanelContext& app, Surface& surface, UiServices* ui, PanelHooks& hooks);

// The range index a typed range selects (15, 30, 60, 90, 120 metres or 50..400 feet), if
// any.
std::optional<int32_t> range_index_for_entry(LengthUnit units, int32_t value);

enum class NavigationKey { Left, Right, Up, Down, Other };

// A key-down: for an arrow key the pointer's new screen position, moved by cursor_step (cut
// toward zero); any key then grows cursor_step by 0.5 up to 16.
std::optional<Point> pointer_after_key_down(RunState& run, NavigationKey key, Point pointer);
// A key-up: cursor_step back to 1.
void reset_cursor_step(RunState& run);

}  // namespace kelvanor
