#include "waterfall/image.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "waterfall/grid.h"

namespace kelvanor {

namespace {

constexpr int kNewestColumn = kImageWidth - 1;

// Byte offset of logical (row, column) in the ring.
inline int ring_index(const ImageRing& ring, int row, int column) {
    int physical = ring.first_column + column;
    if (physical >= kImageWidth) physical -= kImageWidth;
    return row * kImageWidth + physical;
}

inline uint8_t& pixel_at(ImageRing& ring, int row, int column) {
    return ring.pixels[ring_index(ring, row, column)];
}

// Counts a write to a stored column, to a row, or to the whole ring (see ImageRing).
void note_stored_column(ImageRing& ring, int stored) {
    ring.column_written[static_cast<size_t>(stored)] = ++ring.written;
}
void note_column(ImageRing& ring, int column) {
    note_stored_column(ring, ring_index(ring, 0, column));
}
void note_row(ImageRing& ring, int row) {
    ring.row_written[static_cast<size_t>(row)] = ++ring.written;
}

[[maybe_unused]] bool holds(const WaterfallState& waterfall, const ImageLock& held) {
    return held.owns_lock() && held.mutex() == &waterfall.image_mutex;
}

// Moves every column one to the left; the newest column keeps its value and the oldest is
// dropped (or handed to the column spill).
void shift_one_column(WaterfallState& waterfall) {
    ImageRing& ring = waterfall.image;
    uint8_t* pixels = ring.pixels.data();
    const int oldest = ring.first_column;
    const int newest = oldest == 0 ? kImageWidth - 1 : oldest - 1;
    if (waterfall.column_spill != nullptr) {
        std::vector<uint8_t>& spill = *waterfall.column_spill;
        for (int row = 0; row < kImageHeight; ++row)
            spill.push_back(pixels[row * kImageWidth + oldest]);
    }
    // The oldest slot becomes the new newest column, a copy of the old newest one.
    for (int row = 0; row < kImageHeight; ++row) {
        pixels[row * kImageWidth + oldest] = pixels[row * kImageWidth + newest];
    }
    note_stored_column(ring, oldest);
    ring.first_column = oldest + 1 == kImageWidth ? 0 : oldest + 1;
}

void redraw_zero_line(WaterfallState& waterfall, int row) {
    for (int column = 0; column < kImageWidth; ++column) {
        uint8_t& pixel = pixel_at(waterfall.image, row, column);
        const uint8_t cleared = clear_grid_mark(pixel);
        pixel = zero_line_dash(column) ? set_grid_mark(cleared) : cleared;
    }
    note_row(waterfall.image, row);
}

// Resamples one side: line[j] for j = 0..span from samples at step-sized intervals.
void resample_side(const SampleBuffer& samples, SampleBuffer& line, SampleBuffer& previous,
                   float step, int span) {
    std::copy_n(line.begin(), span, previous.begin());
    float position = 0.0f;
    for (int j = 0; j <= span; ++j) {
        // Positions beyond the buffer (or below it, for a nonsensical step) read as 0.
        uint8_t level = 0;
        if (position >= 0.0f && position < static_cast<float>(kSampleBufferSize)) {
            level = std::min(samples[static_cast<int>(position)], kMaxEchoLevel);
        }
        line[j] = level;
        position = position + step;
    }
}

struct SideLayout {
    const SampleBuffer* line;
    const SampleBuffer* previous;
    int first_row;  // row of entry 0
    int direction;  // +1 downward, -1 upward
};

void draw_side(WaterfallState& waterfall, const SideLayout& side, int last_entry,
               const ColumnRequest& request, bool grid) {
    ImageRing& ring = waterfall.image;
    // In-between columns beyond the left edge do not exist.
    const int in_between = std::min(request.line_repeat, kNewestColumn);
    for (int j = 0; j <= last_entry; ++j) {
        const int row = side.first_row + side.direction * j;
        if (row < 0 || row >= kImageHeight) continue;
        const uint8_t entry = (*side.line)[j];
        uint8_t value = request.playback_restart ? kMarkLevel : entry;
        value = std::min(value, kMaxEchoLevel);
        uint8_t average = static_cast<uint8_t>(
            std::min((entry + (*side.previous)[j]) / 2, static_cast<int>(kMaxEchoLevel)));
        uint8_t& newest = pixel_at(ring, row, kNewestColumn);
        if (grid && (newest & kGridBit) != 0) {
            value = static_cast<uint8_t>(std::min(value + 128, 245));
            average = static_cast<uint8_t>(std::min(average + 128, 245));
        }
        newest = value;
        for (int k = 0; k < in_between; ++k) pixel_at(ring, row, kNewestColumn - 1 - k) = average;
    }
    for (int k = 0; k <= in_between; ++k) note_column(ring, kNewestColumn - k);
}

void draw_mark(WaterfallState& waterfall) {
    static constexpr int kTickFirstRows[] = {1, 246, 489};
    for (int first : kTickFirstRows) {
        for (int row = first; row < first + 10; ++row) {
            pixel_at(waterfall.image, row, kNewestColumn - 1) = kMarkLevel;
        }
    }
    note_column(waterfall.image, kNewestColumn - 1);
}

}  // namespace

ImageLock lock_image(const WaterfallState& waterfall) {
    return ImageLock(waterfall.image_mutex);
}

uint8_t image_pixel(const WaterfallState& waterfall, const ImageLock& held, int row, int column) {
    assert(holds(waterfall, held));
    (void)held;
    return waterfall.image.pixels[ring_index(waterfall.image, row, column)];
}

void set_image_pixel(WaterfallState& waterfall, const ImageLock& held, int row, int column,
                     uint8_t value) {
    assert(holds(waterfall, held));
    (void)held;
    pixel_at(waterfall.image, row, column) = value;
    note_column(waterfall.image, column);
}

int zero_line_row(ChannelCode channel_code) {
    switch (channel_code) {
        case ChannelCode::Starboard:
            return 1;
        case ChannelCode::Port:
            return 499;
        case ChannelCode::Both:
            break;
    }
    return 250;
}

void resample_lines(WaterfallState& waterfall, const ImageLock& held, ChannelCode channel_code,
                    int32_t data_channel, int32_t samples_per_line, int32_t line_span) {
    assert(holds(waterfall, held));
    (void)held;
    // The lines hold entries 0..span, so a span is kept inside the 600-entry buffers.
    const int span = std::clamp(line_span, 1, kSampleBufferSize - 1);
    float step = static_cast<float>(std::max(samples_per_line, 0)) / static_cast<float>(span);
    const bool shows_both = channel_code == ChannelCode::Both;
    const bool data_both = data_channel == static_cast<int32_t>(ChannelCode::Both);
    if (!shows_both && data_both) step = step / 2.0f;
    if (shows_both && !data_both) step = step * 2.0f;

    if (shows_starboard(channel_code)) {
        resample_side(waterfall.stbd_samples, waterfall.stbd_line, waterfall.stbd_previous_line,
                      step, span);
    }
    if (shows_port(channel_code)) {
        resample_side(waterfall.port_samples, waterfall.port_line, waterfall.port_previous_line,
                      step, span);
    }
}

int draw_ping(WaterfallState& waterfall, const ImageLock& held, const Settings& settings,
              const ColumnRequest& request) {
    assert(holds(waterfall, held));
    if (request.line_repeat < 0) return 0;
    const int columns = 1 + request.line_repeat;
    // Past a full width every column is a copy of the newest one anyway.
    const int shifts = std::min(columns, kImageWidth);
    for (int i = 0; i < shifts; ++i) shift_one_column(waterfall);

    const ChannelCode channel = settings.channel_code;
    const bool grid = settings.Grid;
    if (grid) redraw_zero_line(waterfall, zero_line_row(channel));

    resample_lines(waterfall, held, channel, request.data_channel, request.samples_per_line,
                   request.line_span);

    if (channel == ChannelCode::Both) {
        draw_side(waterfall, {&waterfall.stbd_line, &waterfall.stbd_previous_line, 251, +1}, 251,
                  request, grid);
        draw_side(waterfall, {&waterfall.port_line, &waterfall.port_previous_line, 250, -1}, 251,
                  request, grid);
    } else if (channel == ChannelCode::Starboard) {
        draw_side(waterfall, {&waterfall.stbd_line, &waterfall.stbd_previous_line, 1, +1}, 499,
                  request, grid);
    } else if (channel == ChannelCode::Port) {
        draw_side(waterfall, {&waterfall.port_line, &waterfall.port_previous_line, 499, -1}, 499,
                  request, grid);
    }

    if (request.mark_pending && settings.AlongTrackMarks) draw_mark(waterfall);
    show_image(waterfall);
    return columns;
}

int draw_ping(WaterfallState& waterfall, const Settings& settings, const ColumnRequest& request) {
    const ImageLock held = lock_image(waterfall);
    return draw_ping(waterfall, held, settings, request);
}

void clear_image(WaterfallState& waterfall, const ImageLock& held) {
    assert(holds(waterfall, held));
    (void)held;
    ImageRing& ring = waterfall.image;
    std::fill(ring.pixels.begin(), ring.pixels.end(), 0);
    ring.first_column = 0;
    ring.whole_written = ++ring.written;
}

void clear_screen(WaterfallState& waterfall, const Settings& settings,
                  std::span<std::byte> column_history) {
    const ImageLock held = lock_image(waterfall);
    clear_image(waterfall, held);
    draw_grid(waterfall, held, settings.Grid, settings.channel_code);
    std::fill(column_history.begin(), column_history.end(), std::byte{0});
    show_image(waterfall);
}

void clear_line_history(WaterfallState& waterfall, const ImageLock& held) {
    assert(holds(waterfall, held));
    (void)held;
    for (SampleBuffer* buffer :
         {&waterfall.stbd_samples, &waterfall.port_samples, &waterfall.single_samples,
          &waterfall.stbd_line, &waterfall.stbd_previous_line, &waterfall.port_line,
          &waterfall.port_previous_line}) {
        buffer->fill(0);
    }
}

void clear_line_history(WaterfallState& waterfall) {
    const ImageLock held = lock_image(waterfall);
    clear_line_history(waterfall, held);
}

void show_image(WaterfallState& waterfall) {
    waterfall.image_changed = 1;
}

bool take_image_changed(WaterfallState& waterfall) {
    return waterfall.image_changed.exchange(0) != 0;
}

void copy_image(const WaterfallState& waterfall, const ImageLock& held, uint8_t* out, int stride) {
    assert(holds(waterfall, held));
    (void)held;
    const ImageRing& ring = waterfall.image;
    const int tail = kImageWidth - ring.first_column;  // logical columns 0..tail-1
    for (int row = 0; row < kImageHeight; ++row) {
        const uint8_t* source = ring.pixels.data() + row * kImageWidth;
        uint8_t* target = out + static_cast<std::ptrdiff_t>(row) * stride;
        std::memcpy(target, source + ring.first_column, tail);
        std::memcpy(target + tail, source, ring.first_column);
    }
}

namespace {

// Runs `convert(target_row, source, count, first_column)` over the two stretches of every ring
// row, oldest first.
template <class RowFunction>
void for_each_stretch(const ImageRing& ring, RowFunction convert) {
    const int tail = kImageWidth - ring.first_column;
    for (int row = 0; row < kImageHeight; ++row) {
        const uint8_t* source = ring.pixels.data() + row * kImageWidth;
        convert(row, source + ring.first_column, tail, 0);
        convert(row, source, ring.first_column, tail);
    }
}

}  // namespace

void convert_image_rgb32(const WaterfallState& waterfall, uint32_t* out, int stride_words) {
    const ImageLock held = lock_image(waterfall);
    std::array<uint32_t, 256> lookup;
    for (int i = 0; i < 256; ++i) {
        const Rgb& c = waterfall.palette[i];
        lookup[i] = 0xFF000000u | (uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue;
    }
    for_each_stretch(waterfall.image, [&](int row, const uint8_t* source, int count, int column) {
        uint32_t* target = out + static_cast<std::ptrdiff_t>(row) * stride_words + column;
        for (int i = 0; i < count; ++i) target[i] = lookup[source[i]];
    });
}

void convert_image_rgb24(const WaterfallState& waterfall, uint8_t* out, int stride_bytes) {
    const ImageLock held = lock_image(waterfall);
    const PaletteEntries& palette = waterfall.palette;
    for_each_stretch(waterfall.image, [&](int row, const uint8_t* source, int count, int column) {
        uint8_t* target = out + static_cast<std::ptrdiff_t>(row) * stride_bytes + column * 3;
        for (int i = 0; i < count; ++i) {
            const Rgb& c = palette[source[i]];
            target[3 * i] = c.red;
            target[3 * i + 1] = c.green;
            target[3 * i + 2] = c.blue;
        }
    });
}

void blit_image(const WaterfallState& waterfall, Surface& surface) {
    const ImageLock held = lock_image(waterfall);
    std::lock_guard surface_lock(surface.mutex());
    // The surface keeps drawing after the blit: its white must stay white.
    surface.set_palette(surface_palette_with_white(waterfall.palette));
    const ImageRing& ring = waterfall.image;
    const RingWrites writes{ring.written, ring.whole_written, ring.column_written,
                            ring.row_written};
    surface.blit_indexed_ring(kImageOrigin, {kImageWidth, kImageHeight}, ring.pixels.data(),
                              kImageWidth, ring.first_column, &writes);
}

}  // namespace kelvanor
