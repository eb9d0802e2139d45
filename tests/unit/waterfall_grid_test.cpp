#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "waterfall/grid.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

std::vector<uint8_t> shown(const WaterfallState& waterfall) {
    std::vector<uint8_t> picture(kImageWidth * kImageHeight);
    const ImageLock held = lock_image(waterfall);
    copy_image(waterfall, held, picture.data(), kImageWidth);
    return picture;
}

void fill_with_echoes(WaterfallState& waterfall, unsigned seed) {
    std::mt19937 random(seed);
    const ImageLock held = lock_image(waterfall);
    for (int row = 0; row < kImageHeight; ++row) {
        for (int column = 0; column < kImageWidth; ++column) {
            set_image_pixel(waterfall, held, row, column, static_cast<uint8_t>(random() % 108));
        }
    }
}

TEST(WaterfallGrid, MarkRulesKeepTheEchoLevel) {
    struct Case {
        uint8_t value;
        uint8_t set;
        uint8_t cleared;
    };
    for (const Case& c :
         {Case{0, 128, 0}, Case{107, 235, 107}, Case{106, 234, 106}, Case{120, 245, 120},
          Case{128, 128, 0}, Case{235, 235, 107}, Case{245, 245, 117}}) {
        EXPECT_EQ(set_grid_mark(c.value), c.set) << int{c.value};
        EXPECT_EQ(clear_grid_mark(c.value), c.cleared) << int{c.value};
    }
    for (int level = 0; level <= kMaxEchoLevel; ++level) {
        const auto v = static_cast<uint8_t>(level);
        ASSERT_EQ(clear_grid_mark(set_grid_mark(v)), v);
        ASSERT_EQ(set_grid_mark(set_grid_mark(v)), set_grid_mark(v));
    }
}

struct LayoutCase {
    int32_t channel_code;
    int zero_row;
    std::set<int> range_rows;
};

class GridLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(GridLayouts, MarksExactlyTheRangeRowsAndADashedZeroLine) {
    const LayoutCase& c = GetParam();
    WaterfallState waterfall;
    draw_grid(waterfall, lock_image(waterfall), true, static_cast<ChannelCode>(c.channel_code));
    const auto picture = shown(waterfall);
    for (int row = 0; row < kImageHeight; ++row) {
        for (int column = 0; column < kImageWidth; ++column) {
            bool expected = c.range_rows.count(row) > 0;
            if (row == c.zero_row) expected = (column / 8) % 2 == 0;
            ASSERT_EQ(picture[row * kImageWidth + column], expected ? 128 : 0)
                << "row " << row << " column " << column;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachChannel, GridLayouts,
    ::testing::Values(LayoutCase{1, 1, {101, 201, 301, 401}},
                      LayoutCase{2, 499, {99, 199, 299, 399}},
                      LayoutCase{3, 250, {0, 50, 100, 150, 200, 300, 350, 400, 450}}));

TEST(WaterfallGrid, OffAndOnAgainRestoresEveryEchoPixel) {
    for (int32_t code : {1, 2, 3}) {
        WaterfallState waterfall;
        fill_with_echoes(waterfall, 100 + code);
        const auto echoes = shown(waterfall);
        Settings settings;
        settings.channel_code = static_cast<ChannelCode>(code);
        settings.Grid = 1;
        draw_grid(waterfall, settings);
        const auto gridded = shown(waterfall);
        for (size_t i = 0; i < echoes.size(); ++i) {
            ASSERT_EQ(gridded[i] & 0x7F, echoes[i]) << "code " << code << " pixel " << i;
        }
        settings.Grid = 0;
        draw_grid(waterfall, settings);
        EXPECT_EQ(shown(waterfall), echoes) << "code " << code;
        settings.Grid = 1;
        draw_grid(waterfall, settings);
        EXPECT_EQ(shown(waterfall), gridded) << "code " << code;
    }
}

TEST(WaterfallGrid, ChannelChangeMovesTheLinesAndKeepsTheEchoes) {
    WaterfallState waterfall;
    fill_with_echoes(waterfall, 5);
    const auto echoes = shown(waterfall);
    draw_grid(waterfall, lock_image(waterfall), true, ChannelCode::Both);
    change_grid_layout(waterfall, ChannelCode::Both, ChannelCode::Starboard);
    const auto picture = shown(waterfall);
    for (int row : {0, 50, 450})
        EXPECT_EQ(picture[row * kImageWidth + 3], echoes[row * kImageWidth + 3]);
    EXPECT_EQ(picture[250 * kImageWidth + 0], echoes[250 * kImageWidth + 0]);
    EXPECT_EQ(picture[101 * kImageWidth + 3], echoes[101 * kImageWidth + 3] + 128);
    EXPECT_EQ(picture[1 * kImageWidth + 0], echoes[1 * kImageWidth + 0] + 128);
}

TEST(WaterfallGrid, RangeLineShowsTheGridColourInEveryTable) {
    WaterfallState waterfall;
    {
        const ImageLock held = lock_image(waterfall);
        set_image_pixel(waterfall, held, 101, 400, 35);
        draw_grid(waterfall, held, true, ChannelCode::Starboard);
    }
    std::vector<uint8_t> rgb(kImageWidth * kImageHeight * 3);
    for (int32_t table : {0, 3, 4, 5}) {
        build_palette(waterfall, static_cast<ColourTable>(table));
        convert_image_rgb24(waterfall, rgb.data(), kImageWidth * 3);
        const uint8_t* p = &rgb[(101 * kImageWidth + 400) * 3];
        EXPECT_EQ((Rgb{p[0], p[1], p[2]}), (Rgb{127, 0, 0})) << "table " << table;
    }
    EXPECT_EQ(image_pixel(waterfall, lock_image(waterfall), 101, 400) & 0x7F, 35);
}

TEST(WaterfallGrid, NewColumnsContinueRangeLinesAndTheZeroLineStaysOnTheScreen) {
    WaterfallState waterfall;
    Settings settings;
    settings.channel_code = ChannelCode::Starboard;
    settings.Grid = 1;
    std::vector<std::byte> history(784 * 98);
    clear_screen(waterfall, settings, history);
    waterfall.stbd_samples.fill(40);
    for (int ping = 0; ping < 50; ++ping) {
        ColumnRequest request;
        request.line_repeat = 1;
        draw_ping(waterfall, settings, request);
    }
    const auto picture = shown(waterfall);
    for (int column : {770, 781, 782, 783}) {
        EXPECT_EQ(picture[101 * kImageWidth + column], 40 + 128) << column;
        EXPECT_EQ(picture[102 * kImageWidth + column], 40) << column;
    }
    // Dashes stay at screen columns 0..7, 16..23, ...; the moved echoes keep their level.
    for (int column = 760; column < 782; ++column) {
        const uint8_t v = picture[1 * kImageWidth + column];
        EXPECT_EQ((v & 0x80) != 0, (column & 8) == 0) << column;
        EXPECT_EQ(v & 0x7F, 40) << column;
    }
}

TEST(WaterfallGrid, LabelsFollowUnitsRangeAndGrid) {
    EXPECT_EQ(range_label(LengthUnit::Metres, 4), "120 M");
    EXPECT_EQ(range_label(LengthUnit::Feet, 4), "400 FT");
    EXPECT_EQ(range_label(LengthUnit::Feet, 0), "50 FT");
    EXPECT_EQ(grid_division_label(LengthUnit::Metres, 0, true), " 3 M/DIV");
    EXPECT_EQ(grid_division_label(LengthUnit::Metres, 1, true), " 6 M/DIV");
    EXPECT_EQ(grid_division_label(LengthUnit::Metres, 8, true), "48 M/DIV");
    EXPECT_EQ(grid_division_label(LengthUnit::Feet, 4, true), "80 FT/DIV");
    EXPECT_EQ(grid_division_label(LengthUnit::Feet, 8, true), "160 FT/DIV");
    EXPECT_EQ(grid_division_label(LengthUnit::Feet, 4, false), "Grid Off");
    EXPECT_EQ(range_label(LengthUnit::Metres, 99),
              "240 M");  // out-of-range indices stay inside the tables
    EXPECT_EQ(grid_division_label(LengthUnit::Metres, -3, true), " 3 M/DIV");
}

}  // namespace
}  // namespace kelvanor
