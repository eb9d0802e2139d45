#pragma once
// The drawing surface of a window: everything the program draws goes through this interface,
// in palette indices. The core draws into it while holding mutex(); the window system only
// copies the finished surface to the screen.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "platform/geometry.h"
#include "platform/palette_colour.h"

namespace kelvanor {

// The system's small glyphs that the panel uses: arrow buttons in three looks and the
// check-box cells.
enum class SystemGlyph {
    ArrowUp,
    ArrowDown,
    ArrowLeft,
    ArrowRight,
    ArrowUpPressed,
    ArrowDownPressed,
    ArrowLeftPressed,
    ArrowRightPressed,
    ArrowUpInactive,
    ArrowDownInactive,
    ArrowLeftInactive,
    ArrowRightInactive,
    CheckBoxEmpty,
    CheckBoxChecked,
};

// The surface's lock: a mutex that can tell a watcher (a test) each time it is taken, so that
// a test can prove which threads draw.
class SurfaceMutex {
  public:
    void lock() {
        mutex_.lock();
        if (on_lock) on_lock();
    }
    bool try_lock() {
        if (!mutex_.try_lock()) return false;
        if (on_lock) on_lock();
        return true;
    }
    void unlock() { mutex_.unlock(); }

    // Called with the lock held, on the thread that took it. Set it before any thread runs.
    std::function<void()> on_lock;

  private:
    std::mutex mutex_;
};

// What a ring's writer has written, told by write counts: the count `now` went up by one at
// every write, and each ring column, each row and the whole ring carry the count of their
// last write. A reader that remembers the count it last saw knows what it has not seen.
struct RingWrites {
    uint64_t now = 0;
    uint64_t whole = 0;
    std::span<const uint64_t> columns;
    std::span<const uint64_t> rows;
};

class Surface {
  public:
    virtual ~Surface() = default;

    // Held by whoever draws: the GUI thread; the copy to the screen takes it too. Ping
    // processing and the GPS reader publish the panel instead (see panel/panel_feed.h).
    SurfaceMutex& mutex() { return mutex_; }

    virtual Size size() const = 0;
    virtual void set_palette(const PaletteEntries& entries) = 0;

    virtual void fill_rect(Rect rect, PaletteIndex colour) = 0;
    // A one-pixel outline just inside rect.
    virtual void frame_rect(Rect rect, PaletteIndex colour) = 0;
    // A one-pixel line from (x0, y0) up to but not including (x1, y1).
    virtual void line(Point from, Point to, PaletteIndex colour) = 0;
    // An ellipse inside rect, outlined in pen and filled with fill when given.
    virtual void ellipse(Rect rect, PaletteIndex pen, std::optional<PaletteIndex> fill) = 0;
    // Text with its top-left corner at `at`; with a background the text cells are filled
    // first (opaque), without one only the glyphs are drawn (transparent).
    virtual void text(Point at, std::string_view text, PaletteIndex colour,
                      std::optional<PaletteIndex> background = std::nullopt) = 0;
    virtual Size text_extent(std::string_view text) const = 0;
    virtual void glyph(SystemGlyph glyph, Rect rect) = 0;

    // Limits every drawing call to rect until cleared with nullopt.
    virtual void set_clip(std::optional<Rect> rect) = 0;

    // Copies an 8-bit image (rows top-down, `stride` bytes apart) through the palette, with
    // its top-left pixel at `at`.
    virtual void blit_indexed(Point at, Size size, const uint8_t* pixels, int stride) = 0;
    // The same for an image kept as a ring of columns: column `first_column` of `pixels` is
    // shown leftmost, the columns after it follow and the columns before it wrap round to
    // the right. A surface that shows the same ring again and again may keep it converted
    // and convert only the pixels that changed since: those that differ, or, when the ring
    // tells what was written (`writes`, may be null), only the columns and rows written.
    virtual void blit_indexed_ring(Point at, Size size, const uint8_t* pixels, int stride,
                                   int first_column, const RingWrites* writes) {
        (void)writes;
        if (size.width <= 0) return;
        first_column = ((first_column % size.width) + size.width) % size.width;
        const int tail = size.width - first_column;
        blit_indexed(at, {tail, size.height}, pixels + first_column, stride);
        if (first_column > 0)
            blit_indexed({at.x + tail, at.y}, {first_column, size.height}, pixels, stride);
    }

    // Rectangle-size read of the surface as RGB (tests and screen captures).
    virtual Rgb pixel(Point at) const = 0;

  private:
    SurfaceMutex mutex_;
};

// The width and height of one character cell of the panel font: "X" is at most 8 pixels wide
// and about 16 high. Every panel position that depends on the font is computed from these.
struct FontMetrics {
    int char_width = 8;
    int char_height = 16;
};

}  // namespace kelvanor
