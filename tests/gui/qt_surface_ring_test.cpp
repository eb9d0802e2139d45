// The ring blit keeps the ring converted between calls and converts only what changed, and
// copies it into the surface's image only when something is drawn over it: what it shows
// (pixel by pixel, as the pieces a window paints, and as the whole image) must always equal
// a plain conversion of the whole ring in two stretches.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/qt_surface.h"
#include "waterfall/grid.h"
#include "waterfall/image.h"
#include "waterfall/palette.h"

namespace kelvanor {
namespace {

constexpr Size kSurface{90, 30};
constexpr Point kAt{3, 2};

PaletteEntries palette_with(uint8_t shift) {
    PaletteEntries p{};
    for (size_t i = 0; i < p.size(); ++i) {
        p[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i + shift),
                static_cast<uint8_t>(255 - i)};
    }
    return p;
}

struct Ring {
    Size size;
    int stride;
    int first_column = 0;
    std::vector<uint8_t> pixels;
};

// What a window painting `area` from the surface's pieces shows, as the image would hold it.
QImage painted(const QtSurface& surface, Rect area) {
    QImage out(kSurface.width, kSurface.height, QImage::Format_RGB32);
    out.fill(Qt::magenta);
    int pieces = 0;
    for (const QtSurface::Piece& piece : surface.pieces(area)) {
        ++pieces;
        for (int y = piece.client.top; y < piece.client.bottom; ++y) {
            for (int x = piece.client.left; x < piece.client.right; ++x) {
                out.setPixel(x, y,
                             piece.image->pixel(piece.source.x() + x - piece.client.left,
                                                piece.source.y() + y - piece.client.top));
            }
        }
    }
    EXPECT_LE(pieces, 6);
    return out;
}

// The pixels of `area` that differ between what the pieces paint and the plain image.
int painted_differences(const QtSurface& cached, const QtSurface& plain, Rect area) {
    const QImage shown = painted(cached, area);
    const QImage& expected = plain.image();
    int differ = 0;
    for (int y = 0; y < kSurface.height; ++y) {
        for (int x = 0; x < kSurface.width; ++x) {
            const bool inside = area.contains({x, y});
            const QRgb want = inside ? expected.pixel(x, y) : QColor(Qt::magenta).rgb();
            if (shown.pixel(x, y) != want) ++differ;
        }
    }
    return differ;
}

// The two surfaces show the same pixels.
void expect_same(const QtSurface& cached, const QtSurface& plain, const std::string& step) {
    int differ = 0;
    for (int y = 0; y < kSurface.height; ++y) {
        for (int x = 0; x < kSurface.width; ++x) {
            if (!(cached.pixel({x, y}) == plain.pixel({x, y}))) ++differ;
        }
    }
    EXPECT_EQ(differ, 0) << "after: " << step;
    // Painted whole, in a part across the ring's edge and its wrap, and in a part that
    // reaches past the surface.
    for (const Rect area :
         {Rect{0, 0, kSurface.width, kSurface.height}, Rect{1, 4, 50, 9}, Rect{60, 1, 200, 40}}) {
        EXPECT_EQ(painted_differences(cached, plain, area), 0)
            << "after: " << step << ", area " << area.left << "," << area.top;
    }
}

// The ring shown both ways, on two surfaces that start alike.
void expect_shown_alike(QtSurface& cached, QtSurface& plain, const Ring& ring, const char* step) {
    expect_same(cached, plain, std::string(step) + " (before the blit)");
    cached.blit_indexed_ring(kAt, ring.size, ring.pixels.data(), ring.stride, ring.first_column,
                             nullptr);
    const int tail = ring.size.width - ring.first_column;
    plain.blit_indexed(kAt, {tail, ring.size.height}, ring.pixels.data() + ring.first_column,
                       ring.stride);
    plain.blit_indexed({kAt.x + tail, kAt.y}, {ring.first_column, ring.size.height},
                       ring.pixels.data(), ring.stride);
    expect_same(cached, plain, step);
}

TEST(QtSurfaceRing, ShowsWhatAPlainConversionShows) {
    QtSurface cached(kSurface);
    QtSurface plain(kSurface);
    std::mt19937 random(7);
    auto fill = [&random](std::vector<uint8_t>& pixels) {
        for (auto& p : pixels) p = static_cast<uint8_t>(random());
    };
    // 77 columns: two whole compared blocks and a rest; a stride wider than the ring.
    Ring ring{{77, 20}, 80, 0, std::vector<uint8_t>(80 * 20)};
    fill(ring.pixels);
    auto new_column = [&ring, &random] {
        for (int y = 0; y < ring.size.height; ++y)
            ring.pixels[static_cast<size_t>(y * ring.stride + ring.first_column)] =
                static_cast<uint8_t>(random());
        ring.first_column = (ring.first_column + 1) % ring.size.width;
    };
    struct Step {
        const char* name;
        std::function<void()> change;
    };
    const std::vector<Step> steps = {
        {"the first blit", [] {}},
        {"nothing changed", [] {}},
        {"one new column", new_column},
        {"forty new columns, round the ring's end",
         [&] {
             for (int i = 0; i < 40; ++i) new_column();
         }},
        {"one pixel in the last block's rest", [&] { ring.pixels[5 * 80 + 76] ^= 0x80; }},
        {"a pixel set back to what it was", [&] { ring.pixels[5 * 80 + 76] ^= 0x80; }},
        {"a new palette",
         [&] {
             cached.set_palette(palette_with(40));
             plain.set_palette(palette_with(40));
         }},
        {"the whole ring changed", [&] { fill(ring.pixels); }},
        {"a clip across the ring's wrap",
         [&] {
             new_column();
             cached.set_clip(Rect{20, 5, 60, 15});
             plain.set_clip(Rect{20, 5, 60, 15});
         }},
        {"the clip cleared",
         [&] {
             cached.set_clip(std::nullopt);
             plain.set_clip(std::nullopt);
         }},
        {"a rectangle drawn across the ring's edge",
         [&] {
             cached.fill_rect(Rect{70, 10, 88, 14}, 5);
             plain.fill_rect(Rect{70, 10, 88, 14}, 5);
         }},
        {"a column after the drawing", new_column},
        {"text and a line over the ring",
         [&] {
             for (QtSurface* s : {&cached, &plain}) {
                 s->text({10, 5}, "X", 7);
                 s->line({2, 25}, {40, 3}, 9);
             }
         }},
        {"the whole image read", [&] { (void)cached.image(); }},
        {"another ring size",
         [&] {
             ring = Ring{{64, 24}, 64, 10, std::vector<uint8_t>(64 * 24)};
             fill(ring.pixels);
         }},
        {"a column in the new ring", new_column},
    };
    cached.set_palette(palette_with(0));
    plain.set_palette(palette_with(0));
    for (const Step& step : steps) {
        step.change();
        expect_shown_alike(cached, plain, ring, step.name);
    }
}

// The waterfall tells the surface which columns and rows it wrote, and the surface converts
// only those: after every kind of write the window must still show the image as it is.
TEST(QtSurfaceRing, ShowsEveryWaterfallWriteItIsToldOf) {
    WaterfallState waterfall;
    build_palette(waterfall, ColourTable::Brown);
    Settings settings;
    settings.channel_code = ChannelCode::Both;
    settings.Grid = true;
    settings.AlongTrackMarks = true;
    std::vector<std::byte> history(1);
    QtSurface surface({792, 600});
    std::mt19937 random(3);
    auto pings = [&](int count, ColumnRequest request) {
        for (int p = 0; p < count; ++p) {
            for (auto* side : {&waterfall.stbd_samples, &waterfall.port_samples})
                for (auto& level : *side) level = static_cast<uint8_t>(random() % 108);
            draw_ping(waterfall, settings, request);
        }
    };
    struct Step {
        const char* name;
        std::function<void()> write;
    };
    const std::vector<Step> steps = {
        {"a first ping", [&] { pings(1, {}); }},
        {"pings round the ring's end", [&] { pings(900, {}); }},
        {"a mark on a ping of one column", [&] { pings(1, {.mark_pending = true}); }},
        {"a ping of four columns with a mark",
         [&] { pings(1, {.line_repeat = 3, .mark_pending = true}); }},
        {"a played file's first column", [&] { pings(1, {.playback_restart = true}); }},
        {"the image cleared alone", [&] { clear_image(waterfall, lock_image(waterfall)); }},
        {"the grid off",
         [&] {
             settings.Grid = false;
             draw_grid(waterfall, settings);
         }},
        {"a ping without the grid", [&] { pings(1, {}); }},
        {"the grid on",
         [&] {
             settings.Grid = true;
             draw_grid(waterfall, settings);
         }},
        {"the starboard layout",
         [&] {
             change_grid_layout(waterfall, ChannelCode::Both, ChannelCode::Starboard);
             settings.channel_code = ChannelCode::Starboard;
             pings(2, {});
         }},
        {"a cleared screen", [&] { clear_screen(waterfall, settings, history); }},
        {"a ping after the clear", [&] { pings(1, {}); }},
        {"another colour table",
         [&] {
             build_palette(waterfall, ColourTable::Grey);
             pings(1, {});
         }},
    };
    std::vector<uint8_t> image(kImageWidth * kImageHeight);
    for (const Step& step : steps) {
        step.write();
        blit_image(waterfall, surface);
        copy_image(waterfall, lock_image(waterfall), image.data(), kImageWidth);
        int differ = 0;
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const Rgb want = waterfall.palette[image[static_cast<size_t>(y * kImageWidth + x)]];
                if (!(surface.pixel({kImageOrigin.x + x, kImageOrigin.y + y}) == want)) ++differ;
            }
        }
        EXPECT_EQ(differ, 0) << "after: " << step.name;
    }
}

}  // namespace
}  // namespace kelvanor
