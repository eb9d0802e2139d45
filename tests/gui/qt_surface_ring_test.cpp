// The ring blit keeps the ring converted between calls and converts only what changed: what
// it shows must always equal a plain conversion of the whole ring in two stretches.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "platform/qt_surface.h"

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

// The ring shown both ways, on two surfaces that start alike.
void expect_shown_alike(QtSurface& cached, QtSurface& plain, const Ring& ring, const char* step) {
    cached.blit_indexed_ring(kAt, ring.size, ring.pixels.data(), ring.stride, ring.first_column);
    const int tail = ring.size.width - ring.first_column;
    plain.blit_indexed(kAt, {tail, ring.size.height}, ring.pixels.data() + ring.first_column,
                       ring.stride);
    plain.blit_indexed({kAt.x + tail, kAt.y}, {ring.first_column, ring.size.height},
                       ring.pixels.data(), ring.stride);
    int differ = 0;
    for (int y = 0; y < kSurface.height; ++y) {
        for (int x = 0; x < kSurface.width; ++x) {
            if (!(cached.pixel({x, y}) == plain.pixel({x, y}))) ++differ;
        }
    }
    EXPECT_EQ(differ, 0) << "after: " << step;
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

}  // namespace
}  // namespace kelvanor
