// The mosaic's pieces: the default cell and the grid, where one ping's samples fall (across
// the heading, port to the left, the water column left out, no gap under the track), the
// tiles that go to a file and come back, and the level of a cell.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "export/mosaic_raster.h"
#include "export/mosaic_swath.h"
#include "export/mosaic_tiles.h"
#include "geo/utm.h"

namespace kelvanor {
namespace {

TEST(MosaicGrid, DefaultCellIsTheSampleGroundLengthRoundedUpToAStep) {
    struct Case {
        double range;
        int32_t samples;
        double cell;
    };
    const Case cases[] = {
        {60, 200, 0.5},  {60, 240, 0.25}, {15, 250, 0.1}, {15, 200, 0.1},
        {240, 250, 1.0}, {240, 200, 2.0}, {0, 200, 1.0},  {60, 0, 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(default_cell_metres(c.range, c.samples), c.cell)
            << c.range << " m over " << c.samples << " samples";
    }
}

TEST(MosaicGrid, EdgesOnWholeCellsAndCellsOfPoints) {
    const UtmZone zone{55, false};
    const auto grid = grid_for_box(zone, 0.5, 1000.2, 2000.7, 1010.1, 2005.3);
    ASSERT_TRUE(grid);
    EXPECT_DOUBLE_EQ(grid->west, 1000.0);
    EXPECT_DOUBLE_EQ(grid->north, 2005.5);
    EXPECT_EQ(grid->columns, 21);  // 1000.0 .. 1010.5
    EXPECT_EQ(grid->rows, 10);     // 2000.5 .. 2005.5
    struct Point {
        double east, north;
        std::optional<int64_t> column, row;
    };
    const Point points[] = {
        {1000.0, 2005.5, 0, 0},
        {1000.49, 2005.01, 0, 0},
        {1000.5, 2005.0, 1, 1},
        {1010.49, 2000.51, 20, 9},
        {999.99, 2000.49, std::nullopt, std::nullopt},
        {1010.5, 2005.6, std::nullopt, std::nullopt},
    };
    for (const Point& p : points) {
        EXPECT_EQ(grid->column_of(p.east), p.column) << p.east;
        EXPECT_EQ(grid->row_of(p.north), p.row) << p.north;
    }
    EXPECT_FALSE(grid_for_box(zone, 0.5, 10, 10, 10, 20));              // empty
    EXPECT_FALSE(grid_for_box(zone, 0.01, 0, 0, 100000, 10, 1 << 20));  // too wide
}

// One ping at 37.8 S 145 E: 60 m over 200 samples a side, 8 m above the seabed. Samples in the
// water column hold 77, port samples beyond it 10, starboard ones 200.
struct SwathCase {
    double heading;
    std::vector<uint8_t> echo;
    TrackPing ping;
    explicit SwathCase(double h) : heading(h), echo(400) {
        for (int i = 0; i < 200; ++i) {
            const bool water = (i + 1) * 0.3 <= 8.0;
            echo[2 * i] = water ? 77 : 10;
            echo[2 * i + 1] = water ? 77 : 200;
        }
        RecordEchoes e;
        e.range_metres = 60;
        e.port = e.starboard = true;
        e.samples_per_side = 200;
        e.bottom_value = 800;
        e.echo = echo;
        ping.has_position = true;
        ping.position = {-37.8, 145.0};
        ping.heading_degrees = heading;
        ping.echoes = e;
        ping.altitude_metres = {8.0f, 8.0f};
    }
};

TEST(MosaicSwath, SamplesLieAcrossTheHeadingPortLeftWithoutWaterColumnOrGap) {
    std::string error;
    auto utm = UtmTransformer::create(UtmZone{55, false}, error);
    ASSERT_TRUE(utm) << error;
    const auto centre = utm->to_utm({-37.8, 145.0});
    ASSERT_TRUE(centre);
    const double cell = 0.25;
    const auto grid =
        grid_for_box(utm->zone(), cell, centre->easting_metres - 100, centre->northing_metres - 100,
                     centre->easting_metres + 100, centre->northing_metres + 100);
    ASSERT_TRUE(grid);
    const double ground = std::sqrt(60.0 * 60.0 - 8.0 * 8.0);
    for (double heading : {0.0, 90.0, 200.0, 315.0}) {
        SwathCase c(heading);
        std::vector<CellValue> cells;
        ASSERT_TRUE(swath_cells(c.ping, *utm, *grid, {}, cells));
        ASSERT_FALSE(cells.empty());
        // The sensor's own cell is covered (no gap under the track): by one side or the other.
        bool nadir = false;
        double widest[2] = {0, 0};
        std::set<std::pair<uint32_t, uint32_t>> distinct;
        for (const CellValue& v : cells) {
            ASSERT_NE(v.value, 77u) << "a water-column sample was placed";
            distinct.insert({v.column, v.row});
            const double e = grid->west + (v.column + 0.5) * cell - centre->easting_metres;
            const double n = grid->north - (v.row + 0.5) * cell - centre->northing_metres;
            // Across the heading: starboard is positive. Along it: within a cell of the line.
            const double h = heading * std::numbers::pi / 180.0;
            const double across = e * std::cos(h) - n * std::sin(h);
            const double along = e * std::sin(h) + n * std::cos(h);
            // The grid's north is within a degree or two of true north here.
            EXPECT_LT(std::fabs(along), 0.05 * std::fabs(across) + cell) << heading;
            if (v.value == 200) {
                EXPECT_GT(across, -cell) << heading;
            } else {
                EXPECT_LT(across, cell) << heading;
            }
            widest[v.value == 200] = std::max(widest[v.value == 200], std::fabs(across));
            nadir = nadir || std::hypot(e, n) < cell;
        }
        EXPECT_TRUE(nadir) << heading;
        EXPECT_NEAR(widest[0], ground, cell) << heading;  // port
        EXPECT_NEAR(widest[1], ground, cell) << heading;  // starboard
        // Neighbouring samples share cells: a cell takes the mean of all of them.
        EXPECT_LT(distinct.size(), cells.size());
        EXPECT_GT(distinct.size(), cells.size() / 3);
    }
}

TEST(MosaicSwath, PingsThatCannotBePlacedAddNothing) {
    std::string error;
    auto utm = UtmTransformer::create(UtmZone{55, false}, error);
    ASSERT_TRUE(utm);
    const auto grid = grid_for_box(utm->zone(), 1.0, 0, 0, 1e6, 1e7, 1 << 24);
    ASSERT_TRUE(grid);
    struct Case {
        const char* what;
        void (*spoil)(TrackPing&);
    };
    const Case cases[] = {
        {"no position", [](TrackPing& p) { p.has_position = false; }},
        {"no heading", [](TrackPing& p) { p.heading_degrees.reset(); }},
        {"no echoes", [](TrackPing& p) { p.echoes.reset(); }},
    };
    for (const Case& c : cases) {
        SwathCase s(0.0);
        c.spoil(s.ping);
        std::vector<CellValue> cells;
        EXPECT_FALSE(swath_cells(s.ping, *utm, *grid, {}, cells)) << c.what;
        EXPECT_TRUE(cells.empty()) << c.what;
    }
    // Without an altitude on one side, only the other side is placed.
    SwathCase s(0.0);
    s.ping.altitude_metres[0].reset();
    std::vector<CellValue> cells;
    EXPECT_TRUE(swath_cells(s.ping, *utm, *grid, {}, cells));
    ASSERT_FALSE(cells.empty());
    for (const CellValue& v : cells) EXPECT_EQ(v.value, 200u);
}

TEST(MosaicTiles, TilesSentToTheFileComeBackWithTheirSums) {
    const auto grid = grid_for_box(UtmZone{32, true}, 1.0, 0, 0, 1000, 600);
    ASSERT_TRUE(grid);
    const std::string temp =
        (std::filesystem::temp_directory_path() / "kelvanor-mosaic-tiles-test.tif").string();
    std::string error;
    {
        auto tiles = MosaicTiles::create(*grid, temp, 2, error);
        ASSERT_TRUE(tiles) << error;
        EXPECT_EQ(tiles->tiles_across(), 4);
        EXPECT_EQ(tiles->tiles_down(), 3);
        // Cells in five tiles, visited three times round: tiles leave and come back.
        const uint32_t cells[][2] = {{0, 0}, {300, 10}, {999, 599}, {520, 260}, {255, 255}};
        for (int round = 0; round < 3; ++round) {
            for (const auto& c : cells) tiles->add(c[0], c[1], 10 + c[0] % 7);
        }
        EXPECT_LE(tiles->most_held_tiles(), 2u);
        EXPECT_GT(tiles->spilled_tiles(), 0);
        EXPECT_FALSE(tiles->failed());
        std::optional<MosaicTile> tile;
        for (const auto& c : cells) {
            ASSERT_TRUE(tiles->read_tile(c[0] / 256, c[1] / 256, tile));
            ASSERT_TRUE(tile);
            const size_t at = (c[1] % 256) * 256 + c[0] % 256;
            EXPECT_EQ(tile->count[at], 3u) << c[0] << "," << c[1];
            EXPECT_EQ(tile->sum[at], 3u * (10 + c[0] % 7)) << c[0] << "," << c[1];
        }
        ASSERT_TRUE(tiles->read_tile(3, 0, tile));
        EXPECT_FALSE(tile) << "a tile nothing fell in";
        EXPECT_TRUE(std::filesystem::exists(temp));
    }
    EXPECT_FALSE(std::filesystem::exists(temp)) << "the temporary file stays behind";
}

TEST(MosaicRaster, LevelIsTheRoundedMeanWithGainAndAtMost255) {
    struct Case {
        uint32_t sum, count;
        double gain_db;
        uint8_t level;
    };
    const Case cases[] = {
        {0, 0, 0, 0},     {10, 1, 0, 10},   {3, 2, 0, 2},     {300, 2, 0, 150},
        {200, 1, 6, 255}, {100, 1, 6, 200}, {100, 1, -6, 50}, {255 * 9, 9, 0, 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mosaic_level(c.sum, c.count, std::pow(10.0, c.gain_db / 20.0)), c.level)
            << c.sum << "/" << c.count << " at " << c.gain_db << " dB";
    }
}

}  // namespace
}  // namespace kelvanor
