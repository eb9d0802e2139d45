#pragma once
// A Surface held in memory, for tests of anything that draws: it keeps one palette index
// per pixel and reads pixels back as RGB through the palette last set.
//
// Shapes are rasterized exactly with the window system's end-exclusive rules: fill_rect
// covers [left, right) x [top, bottom); frame_rect is the one-pixel outline just inside the
// rectangle; a line covers its start point and not its end point (Bresenham); every call is
// limited to the surface and to the clip.
//
// Text has no font: each character is one cell of FontMetrics' char_width x char_height
// (text_extent is the number of characters times the cell). With a background the whole
// cell is filled with it first; a character other than a blank then fills the inner block
// of its cell (one pixel in from the sides, two from the top and bottom) with the text
// colour. So a test finds the text colour in the middle of a cell and the background at its
// edge. Every text call is also recorded (position, text, colours, clip) for tests that look
// for a text rather than for pixels.
//
// Ellipses: the pixels whose centres lie inside the ellipse inscribed in the rectangle; those
// with a 4-neighbour outside get the pen, the others the fill. System glyphs draw nothing
// and are only recorded (they are the platform's own bitmaps).

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/surface.h"

namespace kelvanor::test {

class MemorySurface final : public Surface {
  public:
    struct TextCall {
        Point at;
        std::string text;
        PaletteIndex colour = 0;
        std::optional<PaletteIndex> background;
        std::optional<Rect> clip;
        // The cells the text covers.
        Rect area(const FontMetrics& font) const {
            return {at.x, at.y, at.x + static_cast<int>(text.size()) * font.char_width,
                    at.y + font.char_height};
        }
    };
    struct GlyphCall {
        SystemGlyph glyph;
        Rect rect;
    };

    explicit MemorySurface(Size size = {800, 600}, FontMetrics font = {}, PaletteIndex initial = 0)
        : size_(size),
          font_(font),
          pixels_(static_cast<size_t>(std::max(size.width, 0)) * std::max(size.height, 0),
                  initial) {}

    // --- Surface ----------------------------------------------------------------------------

    Size size() const override { return size_; }
    void set_palette(const PaletteEntries& entries) override { palette_ = entries; }

    void fill_rect(Rect rect, PaletteIndex colour) override {
        const Rect c = clipped(rect);
        for (int y = c.top; y < c.bottom; ++y) {
            for (int x = c.left; x < c.right; ++x) at(x, y) = colour;
        }
        ++fill_calls;
    }

    void frame_rect(Rect r, PaletteIndex colour) override {
        if (r.width() <= 0 || r.height() <= 0) return;
        fill_rect({r.left, r.top, r.right, r.top + 1}, colour);
        fill_rect({r.left, r.bottom - 1, r.right, r.bottom}, colour);
        fill_rect({r.left, r.top, r.left + 1, r.bottom}, colour);
        fill_rect({r.right - 1, r.top, r.right, r.bottom}, colour);
    }

    void line(Point from, Point to, PaletteIndex colour) override {
        int x = from.x;
        int y = from.y;
        const int dx = std::abs(to.x - from.x);
        const int dy = -std::abs(to.y - from.y);
        const int sx = from.x < to.x ? 1 : -1;
        const int sy = from.y < to.y ? 1 : -1;
        int err = dx + dy;
        while (x != to.x || y != to.y) {
            put(x, y, colour);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }

    void ellipse(Rect r, PaletteIndex pen, std::optional<PaletteIndex> fill) override {
        const auto inside = [&r](int x, int y) {
            if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
            const double rx = r.width() / 2.0;
            const double ry = r.height() / 2.0;
            const double nx = (x + 0.5 - r.left - rx) / rx;
            const double ny = (y + 0.5 - r.top - ry) / ry;
            return nx * nx + ny * ny <= 1.0;
        };
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (!inside(x, y)) continue;
                const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) ||
                                  !inside(x, y + 1);
                if (edge) {
                    put(x, y, pen);
                } else if (fill) {
                    put(x, y, *fill);
                }
            }
        }
    }

    void text(Point origin, std::string_view text, PaletteIndex colour,
              std::optional<PaletteIndex> background = std::nullopt) override {
        texts_.push_back({origin, std::string(text), colour, background, clip_});
        const int w = font_.char_width;
        const int h = font_.char_height;
        for (size_t i = 0; i < text.size(); ++i) {
            const int x = origin.x + static_cast<int>(i) * w;
            if (background) fill_cell({x, origin.y, x + w, origin.y + h}, *background);
            if (text[i] != ' ')
                fill_cell({x + 1, origin.y + 2, x + w - 1, origin.y + h - 2}, colour);
        }
    }

    Size text_extent(std::string_view text) const override {
        return {static_cast<int>(text.size()) * font_.char_width, font_.char_height};
    }

    void glyph(SystemGlyph glyph, Rect rect) override { glyphs_.push_back({glyph, rect}); }

    void set_clip(std::optional<Rect> rect) override { clip_ = rect; }

    void blit_indexed(Point origin, Size size, const uint8_t* pixels, int stride) override {
        const Rect c = clipped({origin.x, origin.y, origin.x + size.width, origin.y + size.height});
        for (int y = c.top; y < c.bottom; ++y) {
            for (int x = c.left; x < c.right; ++x) {
                at(x, y) = pixels[static_cast<size_t>(y - origin.y) * stride + (x - origin.x)];
            }
        }
        ++blits;
    }

    Rgb pixel(Point p) const override { return palette_[index(p)]; }

    // --- for tests --------------------------------------------------------------------------

    const FontMetrics& font() const { return font_; }
    const std::optional<Rect>& clip() const { return clip_; }

    // The palette index at p; 0 outside the surface.
    PaletteIndex index(Point p) const {
        if (p.x < 0 || p.y < 0 || p.x >= size_.width || p.y >= size_.height) return 0;
        return pixels_[static_cast<size_t>(p.y) * size_.width + p.x];
    }

    // How many pixels of rect hold `colour`.
    int count(Rect rect, PaletteIndex colour) const {
        int n = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) n += index({x, y}) == colour ? 1 : 0;
        }
        return n;
    }
    // Whether every pixel of rect holds `colour`.
    bool all(Rect rect, PaletteIndex colour) const {
        return count(rect, colour) == rect.width() * rect.height();
    }

    // Every text call since the last clear_records(), in order.
    const std::vector<TextCall>& texts() const { return texts_; }
    // The last text call whose first cell lies inside `area`.
    std::optional<TextCall> last_text_in(Rect area) const {
        for (auto it = texts_.rbegin(); it != texts_.rend(); ++it) {
            if (area.contains(it->at)) return *it;
        }
        return std::nullopt;
    }
    // The last text call with exactly this text.
    std::optional<TextCall> find_text(std::string_view text) const {
        for (auto it = texts_.rbegin(); it != texts_.rend(); ++it) {
            if (it->text == text) return *it;
        }
        return std::nullopt;
    }

    const std::vector<GlyphCall>& glyphs() const { return glyphs_; }
    // The last glyph drawn over p.
    std::optional<SystemGlyph> glyph_at(Point p) const {
        for (auto it = glyphs_.rbegin(); it != glyphs_.rend(); ++it) {
            if (it->rect.contains(p)) return it->glyph;
        }
        return std::nullopt;
    }

    // Forgets the recorded calls and counters; the pixels stay.
    void clear_records() {
        texts_.clear();
        glyphs_.clear();
        fill_calls = 0;
        blits = 0;
    }

    int fill_calls = 0;
    int blits = 0;

  private:
    PaletteIndex& at(int x, int y) { return pixels_[static_cast<size_t>(y) * size_.width + x]; }

    void put(int x, int y, PaletteIndex colour) {
        const Rect c = clipped({x, y, x + 1, y + 1});
        if (c.width() > 0 && c.height() > 0) at(x, y) = colour;
    }

    // A fill that is not counted as a fill_rect call.
    void fill_cell(Rect rect, PaletteIndex colour) {
        const Rect c = clipped(rect);
        for (int y = c.top; y < c.bottom; ++y) {
            for (int x = c.left; x < c.right; ++x) at(x, y) = colour;
        }
    }

    Rect clipped(Rect r) const {
        Rect bounds{0, 0, size_.width, size_.height};
        if (clip_) {
            bounds.left = std::max(bounds.left, clip_->left);
            bounds.top = std::max(bounds.top, clip_->top);
            bounds.right = std::min(bounds.right, clip_->right);
            bounds.bottom = std::min(bounds.bottom, clip_->bottom);
        }
        Rect c{std::max(r.left, bounds.left), std::max(r.top, bounds.top),
               std::min(r.right, bounds.right), std::min(r.bottom, bounds.bottom)};
        if (c.right < c.left) c.right = c.left;
        if (c.bottom < c.top) c.bottom = c.top;
        return c;
    }

    Size size_;
    FontMetrics font_;
    std::vector<PaletteIndex> pixels_;
    PaletteEntries palette_{};
    std::optional<Rect> clip_;
    std::vector<TextCall> texts_;
    std::vector<GlyphCall> glyphs_;
};

}  // namespace kelvanor::test
