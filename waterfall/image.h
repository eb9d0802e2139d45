#pragma once
// The waterfall image: drawing one ping as new columns at the right edge, clearing, and
// handing the image to a window or an encoder through the palette.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/surface.h"
#include "settings/settings.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

// Takes the image lock (see waterfall_state.h for what it guards and the lock order).
[[nodiscard]] ImageLock lock_image(const WaterfallState& waterfall);

// The pixel at logical (row, column), column 783 the newest. Coordinates must be inside.
uint8_t image_pixel(const WaterfallState& waterfall, const ImageLock& held, int row, int column);
void set_image_pixel(WaterfallState& waterfall, const ImageLock& held, int row, int column,
                     uint8_t value);

// Row of the zero-range line for a channel code (1 starboard, 2 port, 3 both).
int zero_line_row(ChannelCode channel_code);

// What ping processing hands to the column drawer for one ping. The layout (channel_code),
// Grid and AlongTrackMarks are read from the settings while the image lock is held, so that a
// grid switched off or a channel changed meanwhile never leaves marks of the old state.
struct ColumnRequest {
    // Channel of the data: file_side in FILE run mode (1 port, 2 starboard, 3 both), the
    // channel code otherwise. Only "both" against "one side" matters.
    int32_t data_channel = 3;
    int32_t samples_per_line = 500;
    int32_t line_span = 500;
    int32_t line_repeat = 0;        // extra (in-between) columns; below 0 nothing is drawn
    bool playback_restart = false;  // draw the new column in the mark value
    bool mark_pending = false;      // an along-track mark is due
};

// Resamples the current samples into the lines for the layout of `channel_code`, keeping
// the old lines as the previous ones.
void resample_lines(WaterfallState& waterfall, const ImageLock& held, ChannelCode channel_code,
                    int32_t data_channel, int32_t samples_per_line, int32_t line_span);

// Draws one ping: moves the image 1 + line_repeat columns left, redraws the zero line when
// the grid is on, writes the new column at 783 and the in-between columns before it, the
// along-track mark when one is due and marks are on, and marks the image changed.
// Returns the number of columns moved (0 when line_repeat is below 0): the caller adds it to
// columns_since_mark and clears mark_pending.
int draw_ping(WaterfallState& waterfall, const ImageLock& held, const Settings& settings,
              const ColumnRequest& request);
int draw_ping(WaterfallState& waterfall, const Settings& settings, const ColumnRequest& request);

// Every pixel 0.
void clear_image(WaterfallState& waterfall, const ImageLock& held);

// Clears the image, draws the grid (Grid, channel_code), zeroes the column history (given as
// its bytes, e.g. std::as_writable_bytes(std::span(history.records))) and marks the image
// changed, all under one hold of the image lock.
void clear_screen(WaterfallState& waterfall, const Settings& settings,
                  std::span<std::byte> column_history);

// Zeroes the sample buffers and the four line buffers; the image is left alone.
void clear_line_history(WaterfallState& waterfall, const ImageLock& held);
void clear_line_history(WaterfallState& waterfall);

// Marks the image changed; the window converts it at its next refresh.
void show_image(WaterfallState& waterfall);
// True once per change: the caller then shows the image again.
bool take_image_changed(WaterfallState& waterfall);

// The image as the screen shows it, 784 x 500 palette indices, rows `stride` bytes apart.
void copy_image(const WaterfallState& waterfall, const ImageLock& held, uint8_t* out, int stride);

// The image through the palette, taking the image lock. RGB32 words are 0xFFRRGGBB (the
// window's image format); RGB24 is three bytes red, green, blue per pixel.
void convert_image_rgb32(const WaterfallState& waterfall, uint32_t* out, int stride_words);
void convert_image_rgb24(const WaterfallState& waterfall, uint8_t* out, int stride_bytes);

// Copies the image to the surface at (1, 1) through the current palette. Takes the image
// lock, then the surface's lock.
void blit_image(const WaterfallState& waterfall, Surface& surface);

}  // namespace kelvanor
