#include <gtest/gtest.h>

#include <vector>

#include "waterfall/image.h"
#include "waterfall/palette.h"

namespace kelvanor {
namespace {

struct EntryCase {
    int32_t table;
    int index;
    Rgb expected;
};

void PrintTo(const EntryCase& c, std::ostream* os) {
    *os << "table " << c.table << " entry " << c.index;
}

class ColourTableEntries : public ::testing::TestWithParam<EntryCase> {};

TEST_P(ColourTableEntries, MatchTheTabulatedColour) {
    const EntryCase& c = GetParam();
    EXPECT_EQ(make_palette(static_cast<ColourTable>(c.table))[c.index], c.expected);
}

// "Color": base row times 1.5, cut toward zero and limited to 255.
INSTANTIATE_TEST_SUITE_P(
    Color, ColourTableEntries,
    ::testing::Values(EntryCase{0, 0, {0, 0, 0}}, EntryCase{0, 1, {0, 0, 1}},
                      EntryCase{0, 3, {0, 0, 7}}, EntryCase{0, 18, {0, 0, 120}},
                      EntryCase{0, 19, {0, 30, 120}}, EntryCase{0, 35, {0, 150, 0}},
                      EntryCase{0, 40, {7, 187, 0}}, EntryCase{0, 53, {135, 255, 0}},
                      EntryCase{0, 60, {232, 157, 0}}, EntryCase{0, 78, {240, 217, 0}},
                      EntryCase{0, 88, {255, 255, 0}}, EntryCase{0, 98, {255, 255, 210}},
                      EntryCase{0, 106, {255, 255, 255}}, EntryCase{0, 107, {240, 0, 0}},
                      EntryCase{0, 118, {240, 0, 0}}));

INSTANTIATE_TEST_SUITE_P(Grey, ColourTableEntries,
                         ::testing::Values(EntryCase{3, 0, {0, 0, 0}}, EntryCase{3, 1, {2, 2, 2}},
                                           EntryCase{3, 101, {252, 252, 252}},
                                           EntryCase{3, 102, {255, 255, 255}},
                                           EntryCase{3, 118, {255, 255, 255}}));

// The factor is the double 1.8: (118 - 108) x 1.8 gives 18 and (118 - 113) x 1.8 gives 9, where
// the single-precision 1.8 would give 17 and 8.
INSTANTIATE_TEST_SUITE_P(ReverseGrey, ColourTableEntries,
                         ::testing::Values(EntryCase{4, 0, {212, 212, 212}},
                                           EntryCase{4, 59, {106, 106, 106}},
                                           EntryCase{4, 108, {18, 18, 18}},
                                           EntryCase{4, 113, {9, 9, 9}},
                                           EntryCase{4, 118, {0, 0, 0}}));

INSTANTIATE_TEST_SUITE_P(Brown, ColourTableEntries,
                         ::testing::Values(EntryCase{5, 0, {0, 0, 0}}, EntryCase{5, 1, {3, 0, 0}},
                                           EntryCase{5, 30, {118, 24, 0}},
                                           EntryCase{5, 59, {216, 88, 0}},
                                           EntryCase{5, 100, {255, 232, 0}},
                                           EntryCase{5, 118, {255, 255, 0}}));

// Interface colours: base times the single-precision 1.8 (100 x 1.8f gives 179, not 180).
INSTANTIATE_TEST_SUITE_P(
    Interface, ColourTableEntries,
    ::testing::Values(EntryCase{0, 119, {0, 179, 0}}, EntryCase{0, 120, {143, 179, 0}},
                      EntryCase{3, 121, {71, 71, 71}}, EntryCase{4, 122, {143, 143, 143}},
                      EntryCase{5, 123, {215, 215, 215}}, EntryCase{0, 124, {0, 0, 161}},
                      EntryCase{0, 125, {0, 0, 0}}, EntryCase{0, 126, {179, 0, 0}},
                      EntryCase{0, 127, {255, 0, 0}}));

TEST(Palette, InterfaceAndGridEntriesAreTheSameInEveryTable) {
    const PaletteEntries color = make_palette(ColourTable::Color);
    for (ColourTable table : {ColourTable::Grey, ColourTable::ReverseGrey, ColourTable::Brown}) {
        const PaletteEntries other = make_palette(table);
        for (int i = 119; i < 256; ++i)
            EXPECT_EQ(other[i], color[i]) << "table " << static_cast<int>(table) << " entry " << i;
    }
    for (int i = 128; i < 256; ++i) EXPECT_EQ(color[i], (Rgb{127, 0, 0})) << "entry " << i;
}

TEST(Palette, TablesDifferOnlyBelowTheInterfaceEntries) {
    // Each table is its own colour ramp: no two tables agree on entries 1..118.
    const ColourTable tables[] = {ColourTable::Color, ColourTable::Grey, ColourTable::ReverseGrey,
                                  ColourTable::Brown};
    for (ColourTable a : tables) {
        for (ColourTable b : tables) {
            if (a == b) continue;
            int same = 0;
            for (int i = 1; i < kColourTableEntries; ++i)
                same += make_palette(a)[i] == make_palette(b)[i];
            EXPECT_LT(same, 20) << static_cast<int>(a) << " vs " << static_cast<int>(b);
        }
    }
}

TEST(Palette, BaseTableRunsEndWhereTheyShould) {
    const auto& base = base_colour_table;
    auto rgb = [&](int row) {
        return std::vector<int>{base[row].red, base[row].green, base[row].blue};
    };
    EXPECT_EQ(rgb(35), (std::vector<int>{0, 100, 0}));
    EXPECT_EQ(rgb(58), (std::vector<int>{140, 125, 0}));
    EXPECT_EQ(rgb(79), (std::vector<int>{150, 150, 0}));
    EXPECT_EQ(rgb(98), (std::vector<int>{245, 245, 140}));
    EXPECT_EQ(rgb(106), (std::vector<int>{215, 215, 215}));
    EXPECT_EQ(rgb(127), (std::vector<int>{148, 0, 0}));
    EXPECT_EQ(rgb(255), (std::vector<int>{150, 0, 0}));
}

TEST(Palette, UnknownTableNumbersBuildTheColorTable) {
    for (int32_t table : {1, 2, 6, -1}) {
        WaterfallState waterfall;
        build_palette(waterfall, ColourTable::Grey);
        build_palette(waterfall, static_cast<ColourTable>(table));
        EXPECT_EQ(waterfall.palette_table, ColourTable::Color);
        EXPECT_EQ(waterfall.palette, make_palette(ColourTable::Color));
    }
}

TEST(Palette, TableChangeRecoloursTheImageWithoutTouchingItsPixels) {
    WaterfallState waterfall;
    {
        const ImageLock held = lock_image(waterfall);
        set_image_pixel(waterfall, held, 10, 20, 35);
        set_image_pixel(waterfall, held, 11, 20, 35 + kGridBit);
    }
    std::vector<uint8_t> before(kImageWidth * kImageHeight);
    {
        const ImageLock held = lock_image(waterfall);
        copy_image(waterfall, held, before.data(), kImageWidth);
    }
    take_image_changed(waterfall);

    build_palette(waterfall, ColourTable::Grey);
    EXPECT_TRUE(take_image_changed(waterfall));

    std::vector<uint8_t> after(kImageWidth * kImageHeight);
    {
        const ImageLock held = lock_image(waterfall);
        copy_image(waterfall, held, after.data(), kImageWidth);
    }
    EXPECT_EQ(after, before);

    std::vector<uint8_t> rgb(kImageWidth * kImageHeight * 3);
    convert_image_rgb24(waterfall, rgb.data(), kImageWidth * 3);
    auto at = [&](int row, int column) {
        const uint8_t* p = &rgb[(row * kImageWidth + column) * 3];
        return Rgb{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(10, 20), (Rgb{87, 87, 87}));  // 35 x 2.5
    EXPECT_EQ(at(11, 20), (Rgb{127, 0, 0}));   // grid colour whatever the table
    build_palette(waterfall, ColourTable::Color);
    convert_image_rgb24(waterfall, rgb.data(), kImageWidth * 3);
    EXPECT_EQ(at(10, 20), (Rgb{0, 150, 0}));
    EXPECT_EQ(at(11, 20), (Rgb{127, 0, 0}));
}

}  // namespace
}  // namespace kelvanor
