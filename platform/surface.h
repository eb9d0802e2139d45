#pragma once
// The drawing surface of a window: everything the program draws goes through this interface,
// in palette indices. The core draws into it from any thread while holding mutex(); the
// window system only copies the finished surface to the screen.

#include <cstdint>
#include <mutex>
#include <optional>
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

class Surface {
  public:
    virtual ~Surface() = default;

    // Held by whoever draws, on any thread; the copy to the screen takes it too.
    std::mutex& mutex() { return mutex_; }

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

    // Rectangle-size read of the surface as RGB (tests and screen captures).
    virtual Rgb pixel(Point at) const = 0;

  private:
    std::mutex mutex_;
};

// The width and height of one character cell of the panel font: "X" is at most 8 pixels wide
// and about 16 high. Every panel position that depends on the font is computed from these.
struct FontMetrics {
    int char_width = 8;
    int char_height = 16;
};

}  // namespace kelvanor
