#pragma once
// The Surface of a window, kept as an off-screen RGB image. Rectangles, lines and the
// indexed blit write pixels directly (with the window system's end-exclusive rules); text,
// ellipses and the system glyphs go through QPainter with the panel font.
//
// A ring of columns (the waterfall) is kept converted in ring order and is not copied into
// the image at once: the surface shows its area from the converted ring until a drawing
// call reaches into that area, which copies it in first. A window paints such an area
// straight from the ring (pieces()), so that a new column costs its own conversion and one
// copy to the screen, not a second copy of the whole area.

#include <QFont>
#include <QImage>

#include <array>
#include <mutex>
#include <optional>
#include <string>
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
    void blit_indexed_ring(Point at, Size size, const uint8_t* pixels, int stride, int first_column,
                           const RingWrites* writes) override;
    Rgb pixel(Point at) const override;

    // The whole picture; read it while holding mutex(). A ring shown but not yet copied in
    // is copied in first: a window paints from pieces() instead.
    const QImage& image() const;

    // One part of what the surface shows: the surface rectangle `client` is the rectangle of
    // the same size at `source` in `image`.
    struct Piece {
        Rect client;
        const QImage* image = nullptr;
        QPoint source;
    };
    // The parts that make up the surface rectangle `area` (cut to the surface), at most
    // four around a shown ring and two of the ring. Valid while mutex() is held and nothing
    // is drawn.
    struct Pieces {
        std::array<Piece, 6> items;
        int count = 0;
        const Piece* begin() const { return items.data(); }
        const Piece* end() const { return items.data() + count; }
    };
    Pieces pieces(Rect area) const;
    // The colour a palette index stands for; read it while holding mutex().
    QRgb rgb(PaletteIndex index) const { return lookup_[index]; }

  private:
    QRgb colour(PaletteIndex index) const { return lookup_[index]; }
    Rect clipped(Rect rect) const;
    void put(int x, int y, QRgb value);
    void update_ring(Size size, const uint8_t* pixels, int stride, const RingWrites* writes);
    // Copies a shown ring into the image when `area` reaches into it (before drawing there).
    void settle(Rect area);
    void settle_all() const;

    // Mutable: a ring shown but not copied in yet is copied in by the const readers.
    mutable QImage image_;
    std::array<QRgb, 256> lookup_{};
    std::optional<Rect> clip_;

    // The last ring shown, in ring order: its indices and their colours under `lookup`. A
    // new column changes one pixel a row; only the pixels that differ, or only the columns
    // and rows the writer tells it wrote, are converted again.
    struct ConvertedRing {
        Size size;
        std::vector<uint8_t> indices;
        std::vector<QRgb> colours;
        std::array<QRgb, 256> lookup{};
        // `colours` as an image, without a copy.
        QImage picture;
        // Where the ring was read, and the writer's count at that blit when it told one.
        const uint8_t* source = nullptr;
        int stride = 0;
        std::optional<uint64_t> writes_seen;
    };
    ConvertedRing ring_;

    // The ring the surface shows in `area` (the blit's rectangle cut to the surface and the
    // clip), whose pixels are not in image_ yet: client x = at.x shows ring column
    // first_column.
    struct ShownRing {
        Rect area;
        Point at;
        int first_column = 0;
    };
    mutable std::optional<ShownRing> shown_ring_;

    // The extents of the last texts measured: the panel measures the same few texts at every
    // refresh, and measuring means shaping. Guarded by its own lock, as text_extent() is.
    struct MeasuredText {
        std::string text;
        Size extent;
    };
    mutable std::mutex extents_mutex_;
    mutable std::array<MeasuredText, 16> extents_;
    mutable size_t next_extent_ = 0;

    // The pixels the panel font sets for the last texts drawn, relative to the text's
    // top-left corner. Glyphs are drawn in two colours (no smoothing): a text drawn again, in
    // any colour, is those pixels in that colour, without shaping it again. A text whose
    // rendering is not two-coloured is drawn through QPainter every time.
    struct TextPixels {
        std::string text;
        std::vector<Point> pixels;
        Rect bounds;
        bool two_coloured = false;
    };
    const TextPixels& text_pixels(std::string_view text);
    std::array<TextPixels, 16> text_pixels_;
    size_t next_text_pixels_ = 0;
};

}  // namespace kelvanor
