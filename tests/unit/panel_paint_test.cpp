#include <gtest/gtest.h>

#include "panel/panel_paint.h"
#include "panel/readouts.h"
#include "panel_test_support.h"
#include "waterfall/grid.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

using test::PanelTest;

TEST(PanelLayout, FollowsTheFontAndArrowSize) {
    const PanelLayout l = compute_panel_layout(FontMetrics{7, 15}, Size{16, 16});
    EXPECT_EQ(l.range_box, (Rect{160, 520, 202, 553}));
    EXPECT_EQ(l.x1, 202);
    EXPECT_EQ(l.gain_box.left, 202 + 16 + 5);
    EXPECT_EQ(l.x2, l.gain_box.left + 42);
    EXPECT_EQ(l.channel_box.left, l.x2 + 21);
    EXPECT_EQ(l.x3, l.channel_box.right);
    EXPECT_EQ(l.gain_down_rect, (Rect{l.x2, 537, l.x2 + 16, 553}));
    EXPECT_EQ(l.train_down_button, (Point{l.x3, 537}));
    EXPECT_EQ(l.file_button, (ButtonBox{39, 522, 35, 20}));
    EXPECT_EQ(l.speed_box, (Rect{590, 503, 646, 518}));
    EXPECT_EQ(l.heading_dial, (Rect{573, 511, 590, 528}));
    EXPECT_EQ(l.date_time_box, (Rect{404, 530, 530, 548}));
    EXPECT_EQ(l.position_box, (Rect{692, 520, 792, 552}));
}

TEST_F(PanelTest, RangeBoxShowsTheRangeAndSetsTheSwitchCommandRange) {
    struct Case {
        int32_t units, range;
        const char* text;
        int32_t metres;
    };
    for (const Case c : {Case{0, 0, "15 M", 15}, Case{0, 4, "120 M", 120},
                         Case{1, 4, "400 FT", 120}, Case{1, 8, "800 FT", 240}}) {
        app.settings.Units = static_cast<LengthUnit>(c.units);
        app.settings.SSRange = c.range;
        app.ping.seen.time_seconds = 5;
        draw_range(panel_context(app), surface, &ui);
        EXPECT_EQ(text_in(layout().range_box), c.text);
        EXPECT_EQ(app.head.range_metres, c.metres);
        EXPECT_FLOAT_EQ(app.head.metres_per_sample, static_cast<float>(c.metres) / 500.0f);
        EXPECT_NE(app.ping.seen.time_seconds, 5) << "the previous-ping tracking is reset";
    }
    const Rect box = layout().range_box;
    EXPECT_EQ(surface.index({box.left, box.top}), kPaletteBlack);
    EXPECT_EQ(surface.index({box.left + 1, box.top + 1}), kPaletteButtonShade);
    const auto call = surface.last_text_in(box);
    EXPECT_EQ(call->colour, kPaletteWhite);
    EXPECT_EQ(ui.areas.back(), box);
}

TEST_F(PanelTest, GainBoxShowsDecibels) {
    app.settings.SSGain = 17;
    draw_gain(panel_context(app), surface, &ui);
    EXPECT_EQ(text_in(layout().gain_box), "17 dB");
}

TEST_F(PanelTest, ChannelMarkersColourTheStripBySide) {
    const Rect upper{785, 0, 792, 251};
    const Rect lower{785, 251, 792, 502};
    app.settings.SSTrain = ChannelSelection::Both;
    draw_channel(panel_context(app), surface, &ui);
    EXPECT_EQ(text_in(layout().channel_box), "Both");
    EXPECT_EQ(app.settings.channel_code, ChannelCode::Both);
    EXPECT_TRUE(surface.all(upper, kPaletteDarkRed));
    EXPECT_TRUE(surface.all(lower, kPaletteIndicatorGreen));

    app.settings.SSTrain = ChannelSelection::Port;
    draw_channel(panel_context(app), surface, &ui);
    EXPECT_EQ(text_in(layout().channel_box), "Port");
    EXPECT_EQ(app.settings.channel_code, ChannelCode::Port);
    EXPECT_EQ(app.settings.previous_ss_train, ChannelSelection::Port);
    EXPECT_TRUE(surface.all({785, 0, 792, 502}, kPaletteDarkRed));
    const int x3 = layout().x3;
    EXPECT_TRUE(surface.all({x3 - 4, layout().y0, x3 - 1, layout().y0 + 2 * layout().bh - 1},
                            kPaletteDarkRed));

    app.settings.SSTrain = ChannelSelection::Starboard;
    draw_channel(panel_context(app), surface, &ui);
    EXPECT_EQ(text_in(layout().channel_box), "Stbd");
    EXPECT_TRUE(surface.all({785, 0, 792, 502}, kPaletteIndicatorGreen));
}

TEST_F(PanelTest, ChannelChangeWithGridOnMovesTheGridToTheNewLayout) {
    app.settings.Grid = 1;
    app.settings.SSTrain = ChannelSelection::Both;
    app.settings.previous_ss_train = ChannelSelection::Both;
    app.settings.channel_code = ChannelCode::Both;
    {
        const ImageLock held = lock_image(app.waterfall);
        draw_grid(app.waterfall, held, true, ChannelCode::Both);
    }
    app.settings.SSTrain =
        ChannelSelection::Starboard;  // starboard: zero line at row 1, range lines 101..401
    draw_channel(panel_context(app), surface, &ui);
    const ImageLock held = lock_image(app.waterfall);
    EXPECT_LT(image_pixel(app.waterfall, held, 150, 20), kGridBit) << "old range line gone";
    EXPECT_LT(image_pixel(app.waterfall, held, 250, 0), kGridBit) << "old zero line gone";
    EXPECT_GE(image_pixel(app.waterfall, held, 101, 20), kGridBit);
    EXPECT_GE(image_pixel(app.waterfall, held, 1, 0), kGridBit);
}

TEST_F(PanelTest, GridLabelMovesRightInFileModeAndBringsThePlotSpeedControl) {
    app.settings.Units = LengthUnit::Feet;
    app.settings.SSRange = 4;
    app.settings.Grid = 1;
    draw_grid_label(panel_context(app), surface, &ui);
    EXPECT_EQ(text_in({387, 504, 547, 530}), "80 FT/DIV");
    EXPECT_TRUE(surface.glyphs().empty());

    app.settings.RunMode = RunMode::File;
    app.settings.Grid = 0;
    surface.clear_records();
    draw_grid_label(panel_context(app), surface, &ui);
    const auto label = surface.find_text("Grid Off");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->at.x, 463 + 45 - 4 * 8);
    EXPECT_EQ(surface.index({428 + 45 + 1, 506}), kPaletteLightGrey);
    EXPECT_EQ(surface.glyph_at({390, 507}), SystemGlyph::ArrowLeft);
    EXPECT_EQ(surface.glyph_at({455, 507}), SystemGlyph::ArrowRight);
    EXPECT_TRUE(surface.find_text("Plot Spd"));
}

TEST_F(PanelTest, PlotSpeedBarLengthFollowsThePlotSpeed) {
    app.settings.RunMode = RunMode::File;
    struct Case {
        int32_t plot_speed;
        int filled;
    };
    for (const Case c : {Case{100, 48}, Case{0, 0}, Case{55, 26}, Case{5, 2}, Case{95, 45}}) {
        app.settings.PlotSpeed = c.plot_speed;
        draw_plot_speed(panel_context(app), surface, &ui);
        EXPECT_EQ(plot_speed_bar_pixels(c.plot_speed), c.filled);
        // Row 506 lies above the label; the bar's inside is x 405..452.
        EXPECT_EQ(surface.count({405, 506, 453, 507}, kPaletteLightGrey), c.filled) << c.plot_speed;
        EXPECT_EQ(surface.count({405, 506, 453, 507}, kPaletteButtonShade), 48 - c.filled);
        EXPECT_EQ(surface.index({453, 506}), kPaletteBlack) << "frame untouched";
    }
}

TEST_F(PanelTest, BalanceShowsPortAndStarboardDecibels) {
    struct Case {
        int32_t balance;
        const char* text;
    };
    for (const Case c : {Case{45, "-1.5/1.5"}, Case{15, "1.5/-1.5"}, Case{60, "-3.0/3.0"}}) {
        app.settings.ChannelBalance = c.balance;
        surface.clear_records();
        draw_balance(panel_context(app), surface, &ui);
        ASSERT_EQ(surface.texts().size(), 2u);
        EXPECT_EQ(surface.texts()[0].text, c.text);
        EXPECT_EQ(surface.texts()[0].colour, kPaletteBlack);
        EXPECT_EQ(surface.texts()[1].at, (Point{103, 538}));
        EXPECT_EQ(surface.texts()[1].colour, kPaletteButtonShade);
        EXPECT_FALSE(surface.texts()[1].background);
    }
}

TEST_F(PanelTest, FrequencyFollowsTheFileInFileMode) {
    app.settings.Frequency = FrequencyBand::High;
    app.settings.file_frequency = FrequencyBand::Low;
    draw_frequency(panel_context(app), surface, &ui);
    EXPECT_EQ(surface.texts().back().text, "High Freq");
    EXPECT_EQ(surface.texts().back().colour, kPaletteIndicatorGreen);
    app.settings.RunMode = RunMode::File;
    draw_frequency(panel_context(app), surface, &ui);
    EXPECT_EQ(surface.texts().back().text, "Low Freq");
}

TEST_F(PanelTest, DataFromButtonsDrawTheCurrentModePressed) {
    draw_data_from_buttons(panel_context(app), surface, &ui, RunMode::File);
    const ButtonBox head = layout().head_button;
    const ButtonBox file = layout().file_button;
    EXPECT_EQ(surface.index({head.x, head.y}), kPaletteWhite);  // raised: light top-left edge
    EXPECT_EQ(surface.index({head.x + head.width - 1, head.y + 5}), kPaletteButtonShade);
    EXPECT_EQ(surface.index({file.x, file.y}), kPaletteButtonShade);  // pressed: dark edge
    EXPECT_EQ(surface.find_text("FILE")->at.y, file.y + 3);
    EXPECT_EQ(surface.find_text("HEAD")->at.y, head.y + 2);
}

TEST_F(PanelTest, WholePaintDrawsEveryElementAndTheArrowsByMode) {
    app.settings.RunMode = RunMode::File;
    app.run.speed_knots = 4.5f;
    app.run.heading_degrees = 90.0f;
    paint_panel(panel_context(app), surface, &ui, hooks);
    EXPECT_EQ(surface.index({10, 590}), kPalettePanelBackground);
    EXPECT_EQ(surface.index({300, 502}), kPaletteLightGrey);
    EXPECT_EQ(surface.glyph_at({layout().x1 + 2, layout().y0 + 2}), SystemGlyph::ArrowUpInactive);
    EXPECT_EQ(surface.glyph_at({layout().x2 + 2, layout().y0 + layout().bh + 2}),
              SystemGlyph::ArrowDownInactive);
    EXPECT_EQ(surface.glyph_at({layout().x3 + 2, layout().y0 + 2}), SystemGlyph::ArrowUp);
    EXPECT_EQ(surface.glyph_at({105, 506}), SystemGlyph::CheckBoxEmpty);
    for (const char* text :
         {"DATA FROM", "HEAD", "FILE", "Range", "Gain", "Channel", "Hold", "LAT", "LNG", "N/A",
          "4.5 KTS", "090 DEG", "Low Freq", "-0.0/0.0", "Plot Spd"}) {
        EXPECT_TRUE(surface.find_text(text)) << text;
    }
    EXPECT_EQ(surface.blits, 1);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"notices"}));
    EXPECT_EQ(ui.whole_repaints, 1);

    app.settings.RunMode = RunMode::Head;
    app.run.recording = 1;
    hooks.calls.clear();
    paint_panel(panel_context(app), surface, &ui, hooks);
    EXPECT_EQ(surface.glyph_at({layout().x1 + 2, layout().y0 + 2}), SystemGlyph::ArrowUp);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"draw_rec_pause", "notices"}));
}

TEST_F(PanelTest, EntryBoxShowsThePromptAndErasesToTheBackground) {
    app.run.entry_kind = 1;
    draw_entry_box(panel_context(app), surface, &ui, true);
    EXPECT_EQ(text_in({692, 504, 792, 530}), "Range: ? M");
    EXPECT_EQ(surface.index({692, 504}), kPaletteButtonShade);
    app.run.entry_kind = 2;
    app.run.entry_count = 2;
    app.run.entry_digits = {'1', '2', 0, 0, 0};
    draw_entry_box(panel_context(app), surface, &ui, true);
    EXPECT_EQ(text_in({692, 504, 792, 530}), "Gain: 12 dB");
    draw_entry_box(panel_context(app), surface, &ui, false);
    EXPECT_TRUE(surface.all({692, 504, 792, 520}, kPalettePanelBackground));
}

}  // namespace
}  // namespace kelvanor
