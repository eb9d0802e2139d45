#include <gtest/gtest.h>

#include "fake_ui.h"
#include "memory_surface.h"
#include "panel/panel_colours.h"
#include "panel/rec_pause.h"

namespace kelvanor {
namespace {

// The box stands right of the panel's top row at fixed pixels: the check cell at 696,505
// (13 x 13), the label at 712,504, and the area 696,504 - 787,520 erased when not shown.
TEST(RecPauseBox, DrawsTheCheckCellAndLabelOrErasesTheArea) {
    struct Case {
        bool shown;
        bool paused;
        size_t glyphs;
        SystemGlyph glyph;
        size_t texts;
    };
    const Case cases[] = {
        {true, false, 1, SystemGlyph::CheckBoxEmpty, 1},
        {true, true, 1, SystemGlyph::CheckBoxChecked, 1},
        {false, false, 0, SystemGlyph::CheckBoxEmpty, 0},
        {false, true, 0, SystemGlyph::CheckBoxEmpty, 0},
    };
    for (const Case& c : cases) {
        test::MemorySurface surface({800, 600}, {}, 99);
        test::FakeUi ui;
        draw_rec_pause_box(surface, ui, c.shown, c.paused);
        ASSERT_EQ(surface.glyphs().size(), c.glyphs) << c.shown << c.paused;
        ASSERT_EQ(surface.texts().size(), c.texts) << c.shown << c.paused;
        if (c.shown) {
            EXPECT_EQ(surface.glyphs()[0].glyph, c.glyph) << c.paused;
            EXPECT_EQ(surface.glyphs()[0].rect, (Rect{696, 505, 709, 518}));
            EXPECT_EQ(surface.texts()[0].text, "REC Pause");
            EXPECT_EQ(surface.texts()[0].at, (Point{712, 504}));
            EXPECT_EQ(surface.texts()[0].colour, kPaletteWhite);
            EXPECT_EQ(surface.texts()[0].background, kPalettePanelBackground);
            EXPECT_EQ(surface.fill_calls, 0) << "nothing erased";
        } else {
            EXPECT_TRUE(surface.all({696, 504, 787, 520}, kPalettePanelBackground));
            EXPECT_EQ(surface.count({695, 503, 788, 521}, kPalettePanelBackground), 91 * 16)
                << "only the area";
        }
    }
}

TEST(RecPauseBox, PausedLabelAlternatesWhiteOnRedAndRedOnWhite) {
    struct Case {
        int phase;
        PaletteIndex colour;
        PaletteIndex background;
    };
    const Case cases[] = {{1, kPaletteWhite, kPaletteRed}, {0, kPaletteRed, kPaletteWhite}};
    for (const Case& c : cases) {
        test::MemorySurface surface;
        test::FakeUi ui;
        flash_rec_pause_label(surface, ui, c.phase);
        ASSERT_EQ(surface.texts().size(), 1u);
        EXPECT_EQ(surface.texts()[0].text, "REC Pause");
        EXPECT_EQ(surface.texts()[0].at, (Point{712, 504}));
        EXPECT_EQ(surface.texts()[0].colour, c.colour) << c.phase;
        EXPECT_EQ(surface.texts()[0].background, c.background) << c.phase;
        EXPECT_TRUE(surface.glyphs().empty());
    }
}

}  // namespace
}  // namespace kelvanor
