#pragma once
// The Surface of a window, kept as an off-screen RGB image. Rectangles, lines and the
// indexed blit write pixels directly (with the window system's end-exclusive rules); text,
// ellipses and the system glyphs go through QPainter with the panel font.

#include <QFont>
#include <QImage>

#include <array>
#include <vector>

#include "platform/surface.h"

namespace kelvanor {

// The panel font: one font file at a fixed pixel size and fixed hinting, so that every
// platform renders the fixed layout alike.
struct PanelFont {
    QFont font;
    FontMetrics metrics;
};
const PanelFont& panel_font();

class QtSurface final : public Surface {
  public:
    explicit QtSurface(Size size);

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
    void blit_indexed_ring(Point at, Size size, const uint8_t* pixels, int stride,
                           int first_column) override;
    Rgb pixel(Point at) const override;

    // The picture to copy to the screen; read it while holding mutex().
    const QImage& image() const { return image_; }
    // The colour a palette index stands for; read it while holding mutex().
    QRgb rgb(PaletteIndex index) const { return lookup_[index]; }

  private:
    QRgb colour(PaletteIndex index) const { return lookup_[index]; }
    Rect clipped(Rect rect) const;
    void put(int x, int y, QRgb value);
    void update_ring(Size size, const uint8_t* pixels, int stride);

    QImage image_;
    std::array<QRgb, 256> lookup_{};
    std::optional<Rect> clip_;

    // The last ring shown, in ring order: its indices and their colours under `lookup`. A
    // new column changes one pixel a row; only the pixels that differ are converted again.
    struct ConvertedRing {
        Size size;
        std::vector<uint8_t> indices;
        std::vector<QRgb> colours;
        std::array<QRgb, 256> lookup{};
    };
    ConvertedRing ring_;
};

}  // namespace kelvanor
