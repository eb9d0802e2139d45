#include <gtest/gtest.h>

#include "platform/qt_surface.h"

namespace kelvanor {
namespace {

TEST(PanelFont, FitsTheFixedLayout) {
    const FontMetrics& m = panel_font().metrics;
    EXPECT_GE(m.char_width, 6);
    EXPECT_LE(m.char_width, 8);
    EXPECT_GE(m.char_height, 14);
    EXPECT_LE(m.char_height, 17);
    QtSurface surface({100, 40});
    EXPECT_EQ(surface.text_extent("XXXXX").width, 5 * m.char_width);
}

TEST(QtSurface, DrawsInPaletteColoursWithEndExclusiveShapes) {
    QtSurface surface({50, 50});
    PaletteEntries palette{};
    palette[121] = {10, 20, 30};
    palette[127] = {255, 0, 0};
    palette[7] = {1, 2, 3};
    surface.set_palette(palette);
    surface.fill_rect({0, 0, 50, 50}, 121);
    surface.line({5, 5}, {10, 5}, 127);
    EXPECT_EQ(surface.pixel({5, 5}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({9, 5}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({10, 5}), (Rgb{10, 20, 30}));  // the end point is not drawn
    surface.frame_rect({20, 20, 30, 30}, 127);
    EXPECT_EQ(surface.pixel({29, 29}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({25, 25}), (Rgb{10, 20, 30}));
    EXPECT_EQ(surface.pixel({30, 30}), (Rgb{10, 20, 30}));

    // The clip limits every call; a blit goes through the palette.
    surface.set_clip(Rect{0, 0, 42, 50});
    const uint8_t pixels[2 * 4] = {7, 7, 7, 7, 127, 127, 127, 127};
    surface.blit_indexed({40, 40}, {4, 2}, pixels, 4);
    surface.set_clip(std::nullopt);
    EXPECT_EQ(surface.pixel({41, 40}), (Rgb{1, 2, 3}));
    EXPECT_EQ(surface.pixel({41, 41}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({42, 40}), (Rgb{10, 20, 30}));
    // Nothing is drawn outside the surface, whatever the coordinates.
    surface.fill_rect({-100, -100, 1000, 1000}, 7);
    surface.line({-10, -10}, {100, 100}, 127);
    surface.blit_indexed({45, 45}, {4, 2}, pixels, 4);
}

TEST(QtSurface, OpaqueTextFillsItsCellsTransparentTextDoesNot) {
    QtSurface surface({100, 40});
    PaletteEntries palette{};
    palette[121] = {10, 20, 30};
    palette[125] = {0, 0, 0};
    palette[255] = {255, 255, 255};
    surface.set_palette(palette);
    surface.fill_rect({0, 0, 100, 40}, 121);
    surface.text({0, 0}, " ", 255, 125);
    EXPECT_EQ(surface.pixel({1, 1}), (Rgb{0, 0, 0}));
    surface.text({50, 0}, " ", 255);
    EXPECT_EQ(surface.pixel({51, 1}), (Rgb{10, 20, 30}));
    surface.text({0, 20}, "X", 255);
    bool drew = false;
    const FontMetrics& m = panel_font().metrics;
    for (int y = 20; y < 20 + m.char_height; ++y)
        for (int x = 0; x < m.char_width; ++x)
            drew = drew || surface.pixel({x, y}) == Rgb{255, 255, 255};
    EXPECT_TRUE(drew);
}

}  // namespace
}  // namespace kelvanor
