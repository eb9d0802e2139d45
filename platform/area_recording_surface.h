#pragma once
// A Surface that draws through another one and notes the areas it drew, so that the window
// copies only those to the screen instead of the whole client area. Each drawing call's
// rectangle, held to the clip and to the surface, is added to a list; one that overlaps or
// touches the last area noted widens it instead, so that the parts of one read-out (its box,
// its text) come out as one area.
//
// It takes no lock: the caller holds the lock of the surface drawn through, as for any
// drawing.

#include <optional>
#include <vector>

#include "platform/surface.h"

namespace kelvanor {

class AreaRecordingSurface final : public Surface {
  public:
    // Draws into `target` and appends the areas drawn to `areas`.
    AreaRecordingSurface(Surface& target, std::vector<Rect>& areas);

    Size size() const override;
    void set_palette(const PaletteEntries& entries) override;
    void fill_rect(Rect rect, PaletteIndex colour) override;
    void frame_rect(Rect rect, PaletteIndex colour) override;
    void line(Point from, Point to, PaletteIndex colour) override;
    void ellipse(Rect rect, PaletteIndex pen, std::optional<PaletteIndex> fill) override;
    void text(Point at, std::string_view text, PaletteIndex colour,
              std::optional<PaletteIndex> background = std::nullopt) override;
    Size text_extent(std::string_view text) const override;
    void glyph(SystemGlyph glyph, Rect rect) override;
    void set_clip(std::optional<Rect> rect) override;
    void blit_indexed(Point at, Size size, const uint8_t* pixels, int stride) override;
    void blit_indexed_ring(Point at, Size size, const uint8_t* pixels, int stride, int first_column,
                           const RingWrites* writes) override;
    Rgb pixel(Point at) const override;

  private:
    void note(Rect rect);

    Surface& target_;
    std::vector<Rect>& areas_;
    std::optional<Rect> clip_;
};

}  // namespace kelvanor
