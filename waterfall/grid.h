#pragma once
// The grid: range lines at every fifth of the range and a dashed zero-range line, kept in
// bit 7 of the image pixels so that the echo level underneath survives.

#include <cstdint>
#include <string_view>

#include "settings/settings.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

// A pixel value with the grid mark set: below 128 it gains 128, limited to 245.
constexpr uint8_t set_grid_mark(uint8_t value) {
    if (value >= kGridBit) return value;
    return value + kGridBit > 245 ? 245 : static_cast<uint8_t>(value + kGridBit);
}

// A pixel value with the grid mark cleared.
constexpr uint8_t clear_grid_mark(uint8_t value) {
    return value >= kGridBit ? static_cast<uint8_t>(value - kGridBit) : value;
}

// Whether column c of the zero line carries a dash (8 on, 8 off, starting with a dash).
constexpr bool zero_line_dash(int column) {
    return (column & 8) == 0;
}

// Rows per grid division: 100 with one side shown, 50 with both.
int grid_rows_per_division(ChannelCode channel_code);

// Sets (grid on) or clears (grid off) the zero line and the range lines of the layout of
// `channel_code` over the whole image, and marks the image changed.
void draw_grid(WaterfallState& waterfall, const ImageLock& held, bool grid_on,
               ChannelCode channel_code);
// The same for the current Grid and channel_code, read under the image lock (the "&Grid"
// command after toggling Grid).
void draw_grid(WaterfallState& waterfall, const Settings& settings);

// A channel change with the grid on: removes the old layout's lines and draws the new
// layout's, under one hold of the image lock so that no ping is drawn in between.
void change_grid_layout(WaterfallState& waterfall, ChannelCode old_channel_code,
                        ChannelCode new_channel_code);

// Panel texts: the range ("120 M", "400 FT") and one division (" 3 M/DIV", "80 FT/DIV",
// "Grid Off" with the grid off), by Units and SSRange (limited to 0..8).
std::string_view range_label(LengthUnit units, int32_t ss_range);
std::string_view grid_division_label(LengthUnit units, int32_t ss_range, bool grid_on);

}  // namespace kelvanor
