#pragma once
// A memory Surface for the waterfall tests: keeps palette indices and reads them back as RGB
// through the palette last set.

#include <vector>

#include "platform/surface.h"

namespace kelvanor::test {

class IndexedSurface final : public Surface {
  public:
    IndexedSurface(int width, int height)
        : size_{width, height}, pixels_(static_cast<size_t>(width) * height, 0) {}

    Size size() const override { return size_; }
    void set_palette(const PaletteEntries& entries) override {
        palette_ = entries;
        ++palette_sets;
    }
    void fill_rect(Rect rect, PaletteIndex colour) override {
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) put({x, y}, colour);
        }
    }
    void frame_rect(Rect, PaletteIndex) override {}
    void line(Point, Point, PaletteIndex) override {}
    void ellipse(Rect, PaletteIndex, std::optional<PaletteIndex>) override {}
    void text(Point, std::string_view, PaletteIndex, std::optional<PaletteIndex>) override {}
    Size text_extent(std::string_view text) const override {
        return {static_cast<int>(text.size()) * 8, 16};
    }
    void glyph(SystemGlyph, Rect) override {}
    void set_clip(std::optional<Rect>) override {}
    void blit_indexed(Point at, Size size, const uint8_t* pixels, int stride) override {
        for (int y = 0; y < size.height; ++y) {
            for (int x = 0; x < size.width; ++x) put({at.x + x, at.y + y}, pixels[y * stride + x]);
        }
        ++blits;
    }
    Rgb pixel(Point at) const override { return palette_[index(at)]; }

    PaletteIndex index(Point at) const {
        return pixels_[static_cast<size_t>(at.y) * size_.width + at.x];
    }

    int blits = 0;
    int palette_sets = 0;

  private:
    void put(Point at, PaletteIndex colour) {
        if (at.x < 0 || at.y < 0 || at.x >= size_.width || at.y >= size_.height) return;
        pixels_[static_cast<size_t>(at.y) * size_.width + at.x] = colour;
    }

    Size size_;
    std::vector<PaletteIndex> pixels_;
    PaletteEntries palette_{};
};

}  // namespace kelvanor::test
