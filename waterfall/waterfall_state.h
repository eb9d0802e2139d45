#pragma once
// The waterfall's state: the 784 x 500 image of palette indices, the echo levels and resampled
// lines it is drawn from, the palette, the zoom point, and the image lock.
//
// The image lock guards the image together with the sample and line buffers and the column
// history (kept by ping processing). Lock order: the overlay lock before it, a Surface's lock
// after it. Take it with lock_image() (waterfall/image.h); functions that take a
// `const ImageLock&` expect it to be held already, so a caller can hold it once across
// conversion, drawing and the history record without ever taking it twice.

#include <array>
#include <cstdint>
#include <mutex>

#include <vector>

#include "settings/copyable_mutex.h"

#include "platform/geometry.h"
#include "platform/palette_colour.h"
#include "settings/settings.h"
#include "waterfall/palette.h"

namespace kelvanor {

inline constexpr int kImageWidth = 784;
inline constexpr int kImageHeight = 500;
// Client point of the image's top-left pixel in the main window.
inline constexpr Point kImageOrigin{1, 1};

// Pixel bit 7: the pixel shows the grid colour while the echo level stays in bits 0..6.
inline constexpr uint8_t kGridBit = 0x80;
inline constexpr uint8_t kMaxEchoLevel = 107;
// Along-track marks and the first column of a played file.
inline constexpr uint8_t kMarkLevel = 106;

// Echo levels of one side (nearest sample first) and resampled image lines.
inline constexpr int kSampleBufferSize = 600;
using SampleBuffer = std::array<uint8_t, kSampleBufferSize>;

using ImageLock = std::unique_lock<std::mutex>;

using ImageMutex = CopyableMutex;

// The image as a ring of columns: every row keeps its pixels in one 784-byte stride, and
// logical column c (0 = oldest, 783 = newest) lives at byte (first_column + c) mod 784 of the
// row. Moving the image one column left is then a step of first_column plus one column copy,
// instead of moving all 392,000 bytes. Reach the pixels through the functions of
// waterfall/image.h, which give logical coordinates.
struct ImageRing {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kImageWidth * kImageHeight, 0);
    int32_t first_column = 0;
    // Write counts, so that a window converts only what was written since it last showed the
    // ring: `written` goes up at every write; each ring column (as stored, not logical), each
    // row and the whole ring keep the count of their last write.
    uint64_t written = 0;
    uint64_t whole_written = 0;
    std::array<uint64_t, kImageWidth> column_written{};
    std::array<uint64_t, kImageHeight> row_written{};
};

struct WaterfallState {
    // The image lock (image_busy).
    mutable ImageMutex image_mutex;

    ImageRing image;

    // Echo levels 0..107 of the current ping, written by echo conversion under the image lock.
    SampleBuffer stbd_samples{};
    SampleBuffer port_samples{};
    SampleBuffer single_samples{};

    // Resampled lines of the current and the previous ping (the in-between columns).
    SampleBuffer stbd_line{};
    SampleBuffer stbd_previous_line{};
    SampleBuffer port_line{};
    SampleBuffer port_previous_line{};

    // The 256 colours every window draws through, for the table in palette_table (a Colors
    // value). Written under the image lock.
    PaletteEntries palette = make_palette(ColourTable::Color);
    ColourTable palette_table = ColourTable::Color;

    // Set when the image or the palette changed; the window converts the image at its next
    // refresh (take_image_changed in waterfall/image.h).
    SharedInt image_changed = 0;

    // Last limited zoom point (client coordinates).
    SharedInt zoom_centre_x = 75;
    SharedInt zoom_centre_y = 75;

    // When set, every column that leaves the image at the left edge is appended here (500
    // bytes, top row first): a whole recording can then be put together as one long strip.
    std::vector<uint8_t>* column_spill = nullptr;
};

}  // namespace kelvanor
