#pragma once
// Target measurement over the waterfall: the Target Length tool (the distance between two
// points of the image) and the Target Height tool (the height of an object above the seabed
// from the altitude, the slant range to the start of its shadow and the shadow's length).
//
// The tools never draw into the image. The mouse handlers only move the tools' points and
// mark the image changed; the window's next refresh copies the image to its surface and
// draws the overlays over it (blit_image_with_overlays). So every refresh of the image,
// whether after a ping, a pointer move or a click, shows the overlays anew, and the previous
// drawing is erased by the image itself.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/surface.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"
#include "waterfall/column_history.h"
#include "waterfall/target_state.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

// The image area in client coordinates (right and bottom exclusive): the tools take clicks
// and pointer moves only here, and their drawings are clipped to it.
inline constexpr Rect kTargetImageArea{1, 1, 785, 501};

// Palette indices of the overlays: light lines and text with a black outline; lines are black
// over the Reverse Grey table, where the light colour would vanish.
inline constexpr PaletteIndex kOverlayLight = 123;
inline constexpr PaletteIndex kOverlayDark = 125;

// --- Calculations -------------------------------------------------------------------------

// Range in feet shown for a range in metres (15 m -> 50 ft ... 240 m -> 800 ft).
int32_t range_feet_for_metres(int32_t range_metres);

// Client row of zero range for the height tool: 0 starboard only, 499 port only, 250 both.
int32_t height_zero_row(ChannelCode channel_code);

// What the length read-out depends on besides the two points.
struct LengthScale {
    ChannelCode channel_code = ChannelCode::Both;
    bool speed_correction = false;
    int32_t columns_per_mark = 0;
    int32_t range_metres = 0;
    LengthUnit units = LengthUnit::Metres;
};

// The distance between two image points in metres or feet (single precision), or nothing
// when the columns cannot be converted to rows: before the first along-track interval
// columns_per_mark is 0.
std::optional<float> target_length(Point start, Point end, const LengthScale& scale);

// "%3.1f M" or "%3.1f FT" of the distance, "--- M" or "--- FT" when there is none.
std::string length_readout_text(std::optional<float> length, LengthUnit units);

// What the height result depends on besides the three rows.
struct HeightScale {
    ChannelCode channel_code = ChannelCode::Both;
    int32_t range_metres = 0;
    LengthUnit units = LengthUnit::Metres;
};

// The height of an object from the bottom-return row, the shadow-start row and the
// shadow-end row, in metres or feet (single precision), or nothing when the shadow start
// lies on the zero line and the shadow end on the shadow start (no shadow, no height).
std::optional<float> target_height(int32_t bottom_y, int32_t shadow_start_y, int32_t shadow_end_y,
                                   const HeightScale& scale);

// "Height = %3.1f M" or "%3.1f FT"; "Height = --- M" or "--- FT" when there is none.
std::string height_readout_text(std::optional<float> height, LengthUnit units);

// --- Mouse (GUI thread) -----------------------------------------------------------------
// What the mouse handlers read and change. The ping side's figures are read when the caller
// builds it, just before the handler runs.
struct TargetTools {
    const Settings& settings;
    RunState& run;
    const HeadState& head;
    TargetState& target;
    WaterfallState& waterfall;
    int32_t columns_per_mark = 0;  // image columns between two along-track marks
    bool half_scale = false;       // the tools take no clicks at half scale
};

// Each returns true when the overlays changed; the image is then marked changed, and the
// caller asks the window for a refresh.

// Right button down: starts a length measurement at p, or ends (and erases) the running one.
bool target_right_click(const TargetTools& app, Point p);
// Left button down: the next Target Height click (target, bottom return, shadow start, then
// back to the prompt).
bool target_left_click(const TargetTools& app, Point p);
// Pointer move: the length line and the height overlay follow the pointer over the image.
bool target_pointer_move(const TargetTools& app, Point p);
// After the Target Length or Target Height command: the old overlay goes at the next refresh.
// A length measurement still running when its tool is switched off is abandoned.
void target_tool_changed(const TargetTools& app);

// --- Drawing ------------------------------------------------------------------------------
// What the overlays are drawn from.
struct TargetOverlays {
    const Settings& settings;
    const RunState& run;
    const HeadState& head;
    const TargetState& target;
    const WaterfallState& waterfall;
    const ColumnHistory& column_history;
    int32_t columns_per_mark = 0;
};

// Draws the overlays of the tool that is on over whatever the surface shows now. Takes the
// overlay lock, then the surface lock.
void draw_target_overlays(const TargetOverlays& app, Surface& surface);

// A refresh of the image with the overlays over it: the overlay lock, then the image copied
// to the surface (image lock, then surface lock), then the overlays (surface lock).
void blit_image_with_overlays(const TargetOverlays& app, Surface& surface);

}  // namespace kelvanor
