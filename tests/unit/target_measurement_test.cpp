#include "waterfall/target_measurement.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "control/app_state.h"
#include "memory_surface.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

using test::MemorySurface;

// --- Calculations -------------------------------------------------------------------------

TEST(TargetHeight, WorkedExampleBothSidesAtSixtyMetresReadsOnePointSix) {
    // Zero line at 250; bottom return 40 rows away, shadow start 100, mouse 20 beyond it:
    // 40 x 20 / 120 = 6.67 rows, x 60 m x 0.002, doubled for both sides.
    const HeightScale scale{ChannelCode::Both, 60, LengthUnit::Metres};
    const std::optional<float> below = target_height(290, 350, 370, scale);
    ASSERT_TRUE(below);
    EXPECT_NEAR(*below, 1.6f, 1e-4f);
    EXPECT_EQ(height_readout_text(below, LengthUnit::Metres), "Height = 1.6 M");
    // The port half, above the zero line, measures the same.
    EXPECT_NEAR(*target_height(210, 150, 130, scale), 1.6f, 1e-4f);
}

TEST(TargetHeight, FeetUseTheRangeInFeetAndHaveNoHeightPrefix) {
    // Starboard only (zero line at row 0): 100 x 100 / 300 = 33.33 rows, at 120 m that is
    // 400 ft x 0.002 per row = 26.67 ft; in metres 33.33 x 120 x 0.002 = 8.0 m.
    const std::optional<float> feet =
        target_height(100, 200, 300, HeightScale{ChannelCode::Starboard, 120, LengthUnit::Feet});
    ASSERT_TRUE(feet);
    EXPECT_NEAR(*feet, 26.667f, 1e-3f);
    EXPECT_EQ(height_readout_text(feet, LengthUnit::Feet), "26.7 FT");
    EXPECT_NEAR(
        *target_height(100, 200, 300, HeightScale{ChannelCode::Starboard, 120, LengthUnit::Metres}),
        8.0f, 1e-4f);
}

TEST(TargetHeight, ZeroLineRowPerLayout) {
    EXPECT_EQ(height_zero_row(ChannelCode::Starboard), 0);
    EXPECT_EQ(height_zero_row(ChannelCode::Port), 499);
    EXPECT_EQ(height_zero_row(ChannelCode::Both), 250);
    // Port only: zero line at 499, bottom 100 rows up, shadow start 200 up, end 100 beyond.
    EXPECT_NEAR(
        *target_height(399, 299, 199, HeightScale{ChannelCode::Port, 60, LengthUnit::Metres}),
        100.0f * 100 / 300 * 0.12f, 1e-3f);
}

TEST(TargetHeight, ShadowStartOnTheZeroLineWithNoShadowHasNoHeight) {
    for (const ChannelCode channel :
         {ChannelCode::Starboard, ChannelCode::Port, ChannelCode::Both}) {
        const int32_t z = height_zero_row(channel);
        EXPECT_FALSE(target_height(z + 1, z, z, HeightScale{channel, 60, LengthUnit::Metres}))
            << static_cast<int>(channel);
    }
    EXPECT_EQ(height_readout_text(std::nullopt, LengthUnit::Metres), "Height = --- M");
    EXPECT_EQ(height_readout_text(std::nullopt, LengthUnit::Feet), "--- FT");
}

TEST(TargetRange, FeetTableAndOffTableRanges) {
    const int32_t metres[] = {15, 30, 60, 90, 120, 150, 180, 210, 240};
    const int32_t feet[] = {50, 100, 200, 300, 400, 500, 600, 700, 800};
    for (size_t i = 0; i < std::size(metres); ++i) {
        EXPECT_EQ(range_feet_for_metres(metres[i]), feet[i]) << metres[i];
    }
    EXPECT_EQ(range_feet_for_metres(0), 0) << "before the first ping nothing is shown";
}

struct LengthCase {
    const char* name;
    Point start;
    Point end;
    LengthScale scale;
    const char* text;
};

TEST(TargetLength, ConvertsColumnsToRowsWithAndWithoutSpeedCorrection) {
    // LengthScale: channel_code, speed_correction, columns_per_mark, range_metres, units.
    const LengthCase cases[] = {
        // 100 columns at 100 columns per mark, one side: 100 rows, 100 x 60 x 0.002 = 12.
        {"uncorrected one side",
         {100, 100},
         {200, 100},
         {ChannelCode::Starboard, false, 100, 60, LengthUnit::Metres},
         "12.0 M"},
        // Both sides: 50 rows per division and the value doubled.
        {"uncorrected both sides",
         {100, 100},
         {200, 100},
         {ChannelCode::Both, false, 100, 60, LengthUnit::Metres},
         "12.0 M"},
        // Uncorrected, 200 columns per mark: 100 columns are only 50 rows.
        {"uncorrected long marks",
         {100, 100},
         {200, 100},
         {ChannelCode::Starboard, false, 200, 60, LengthUnit::Metres},
         "6.0 M"},
        // Corrected: dx x columns_per_mark / 100 = 100 x 50 / 100 = 50 rows.
        {"corrected one side",
         {100, 100},
         {200, 100},
         {ChannelCode::Starboard, true, 50, 60, LengthUnit::Metres},
         "6.0 M"},
        // Corrected, both sides: 100 x 50 / 50 = 100 rows, doubled.
        {"corrected both sides",
         {100, 100},
         {200, 100},
         {ChannelCode::Both, true, 50, 60, LengthUnit::Metres},
         "24.0 M"},
        // 3 x 100 / 200 = 1 row (dividing first would give 0): 240 x 0.002 = 0.48.
        {"multiplies before dividing",
         {10, 10},
         {13, 10},
         {ChannelCode::Starboard, false, 200, 240, LengthUnit::Metres},
         "0.5 M"},
        // 30 rows across, 40 down: 50 rows.
        {"diagonal",
         {100, 100},
         {130, 140},
         {ChannelCode::Starboard, false, 100, 60, LengthUnit::Metres},
         "6.0 M"},
        {"diagonal leftwards and up",
         {130, 140},
         {100, 100},
         {ChannelCode::Starboard, false, 100, 60, LengthUnit::Metres},
         "6.0 M"},
        // 50 rows at 60 m shown in feet (200 ft): 50 x 200 x 0.002 = 20.
        {"feet",
         {100, 100},
         {130, 140},
         {ChannelCode::Starboard, false, 100, 60, LengthUnit::Feet},
         "20.0 FT"},
        // Before the first mark interval there is no conversion, with or without correction.
        {"no marks yet uncorrected",
         {100, 100},
         {200, 100},
         {ChannelCode::Starboard, false, 0, 60, LengthUnit::Metres},
         "--- M"},
        {"no marks yet corrected",
         {100, 100},
         {200, 100},
         {ChannelCode::Starboard, true, 0, 60, LengthUnit::Metres},
         "--- M"},
        {"no marks yet feet",
         {100, 100},
         {200, 100},
         {ChannelCode::Both, false, 0, 60, LengthUnit::Feet},
         "--- FT"},
    };
    for (const LengthCase& c : cases) {
        EXPECT_EQ(length_readout_text(target_length(c.start, c.end, c.scale), c.scale.units),
                  c.text)
            << c.name;
    }
}

// --- Mouse and drawing --------------------------------------------------------------------

class TargetOverlayTest : public testing::Test {
  protected:
    TargetOverlayTest() {
        app.settings.channel_code = ChannelCode::Starboard;
        app.head.range_metres = 60;
        app.ping.columns_per_mark = 100;
        take_image_changed(app.waterfall);
    }

    // A refresh as the window does it, then what the overlays drew.
    void refresh() {
        surface.clear_records();
        blit_image_with_overlays(app, surface);
    }
    std::vector<std::string> light_texts() const {
        std::vector<std::string> out;
        for (const auto& t : surface.texts()) {
            if (t.colour == kOverlayLight) out.push_back(t.text);
        }
        return out;
    }

    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& app = *owned;
    MemorySurface surface{{800, 600}};
};

TEST_F(TargetOverlayTest, RightClicksStartAndEndALengthMeasurementThatFollowsThePointer) {
    app.run.target_length_mode = 1;
    ASSERT_TRUE(target_right_click(app, {100, 100}));
    EXPECT_EQ(app.run.target_length_active, 1);
    EXPECT_TRUE(take_image_changed(app.waterfall)) << "the refresh must redraw the overlay";

    ASSERT_TRUE(target_pointer_move(app, {200, 100}));
    refresh();
    // The read-out is centred on the pointer, 25 rows above it, over a black outline.
    const auto readout = surface.find_text("12.0 M");
    ASSERT_TRUE(readout);
    EXPECT_EQ(readout->at, (Point{200 - 24, 75}));
    EXPECT_EQ(readout->colour, kOverlayLight);
    int outlines = 0;
    for (const auto& t : surface.texts())
        outlines += t.text == "12.0 M" && t.colour == kOverlayDark;
    EXPECT_EQ(outlines, 4);
    // The line runs from the start to the pointer; the marker sits on the start point.
    EXPECT_EQ(surface.index({150, 100}), kOverlayLight);
    EXPECT_EQ(surface.index({97, 94}), kOverlayDark) << "outer square of the marker";
    EXPECT_EQ(surface.index({95, 103}), kOverlayLight) << "middle square";

    // Moves outside the image leave the measurement where it was.
    EXPECT_FALSE(target_pointer_move(app, {200, 550}));
    ASSERT_TRUE(target_right_click(app, {300, 100}));
    EXPECT_EQ(app.run.target_length_active, 0);
    refresh();
    EXPECT_TRUE(surface.texts().empty()) << "the second click erases the measurement";
    EXPECT_EQ(surface.index({150, 100}), 0) << "the image shows again where the line was";
}

TEST_F(TargetOverlayTest, LengthLineIsBlackOverReverseGrey) {
    app.settings.Colors = ColourTable::ReverseGrey;
    app.run.target_length_mode = 1;
    target_right_click(app, {100, 100});
    target_pointer_move(app, {200, 100});
    refresh();
    EXPECT_EQ(surface.index({150, 100}), kOverlayDark);
    EXPECT_TRUE(surface.find_text("12.0 M")) << "text stays light over its outline";
}

TEST_F(TargetOverlayTest, RightClicksThatMustNotStartAMeasurement) {
    EXPECT_FALSE(target_right_click(app, {100, 100})) << "tool off";
    app.run.target_length_mode = 1;
    for (const Point outside : {Point{0, 100}, Point{785, 100}, Point{100, 0}, Point{100, 501}}) {
        EXPECT_FALSE(target_right_click(app, outside)) << outside.x << "," << outside.y;
    }
    app.ping.half_scale = 2;
    EXPECT_FALSE(target_right_click(app, {100, 100})) << "half scale";
    EXPECT_EQ(app.run.target_length_active, 0);
    EXPECT_FALSE(take_image_changed(app.waterfall));
}

TEST_F(TargetOverlayTest, OverlaysAreDrawnAgainOverEveryRefreshOfTheImage) {
    app.run.target_length_mode = 1;
    target_right_click(app, {100, 100});
    target_pointer_move(app, {200, 100});
    refresh();
    // A ping redraws the image under the line; the next refresh puts the line back.
    {
        const ImageLock held = lock_image(app.waterfall);
        for (int column = 0; column < kImageWidth; ++column) {
            set_image_pixel(app.waterfall, held, 99, column, 7);
        }
    }
    refresh();
    EXPECT_EQ(surface.blits, 1);
    EXPECT_EQ(surface.index({150, 100}), kOverlayLight);
    EXPECT_EQ(surface.index({150, 101}), 0);
    EXPECT_EQ(surface.index({400, 100}), 7) << "the image beside the line is the new one";
    EXPECT_TRUE(surface.find_text("12.0 M"));
}

TEST_F(TargetOverlayTest, DrawingsStayInsideTheImageArea) {
    app.run.target_length_mode = 1;
    target_right_click(app, {1, 1});
    target_pointer_move(app, {784, 500});
    surface.fill_rect({0, 0, 800, 600}, 9);
    draw_target_overlays(app, surface);
    EXPECT_EQ(surface.count({0, 0, 800, 1}, 9), 800) << "nothing above the image";
    EXPECT_EQ(surface.count({0, 0, 1, 600}, 9), 600) << "nothing left of it";
    EXPECT_EQ(surface.count({0, 501, 800, 600}, 9), 800 * 99) << "nothing on the panel";
    EXPECT_EQ(surface.index({3, 1}), kOverlayLight) << "the marker is drawn where it is inside";
    EXPECT_FALSE(surface.clip()) << "the clip is given back";
}

TEST_F(TargetOverlayTest, HeightClicksStepThroughTargetBottomShadowAndBackToThePrompt) {
    app.settings.channel_code = ChannelCode::Both;
    app.run.target_height_mode = 1;
    refresh();
    EXPECT_TRUE(surface.texts().empty()) << "nothing until the pointer was over the image";

    ASSERT_TRUE(target_pointer_move(app, {400, 200}));
    refresh();
    EXPECT_EQ(light_texts(), (std::vector<std::string>{"Click on Target", "Target Height"}));
    // Above the zero line the labels sit above the pointer, the title one text height higher.
    EXPECT_EQ(surface.find_text("Click on Target")->at, (Point{400 - 60, 200 - 25}));
    EXPECT_EQ(surface.find_text("Target Height")->at, (Point{400 - 52, 200 - 25 - 16}));

    target_left_click(app, {400, 200});  // the target
    EXPECT_EQ(app.run.target_height_step, 1);
    target_pointer_move(app, {420, 290});
    refresh();
    EXPECT_EQ(light_texts(), (std::vector<std::string>{"Bottom Return", "Click on"}));
    // The drawing stays on the target's column; below the zero line the labels go below.
    EXPECT_EQ(surface.find_text("Bottom Return")->at, (Point{400 - 52, 290 + 52 - 25}));
    EXPECT_EQ(surface.index({400, 270}), kOverlayLight) << "line from the pointer to the zero line";
    EXPECT_EQ(surface.index({395, 250}), kOverlayLight) << "tick on the zero line";

    target_left_click(app, {420, 290});  // bottom return, 40 rows from the zero line
    target_left_click(app, {420, 350});  // shadow start, 100 rows away
    EXPECT_EQ(app.run.target_height_step, 3);
    target_pointer_move(app, {420, 370});  // the shadow end, 20 rows beyond
    app.head.range_metres = 60;
    refresh();
    EXPECT_EQ(light_texts(), (std::vector<std::string>{"Height = 1.6 M", "Shadow End"}));
    EXPECT_EQ(surface.index({396, 290}), kOverlayLight) << "bottom-return tick";
    EXPECT_EQ(surface.index({396, 350}), kOverlayLight) << "shadow-start tick";

    target_left_click(app, {420, 370});
    EXPECT_EQ(app.run.target_height_step, 0);
    refresh();
    EXPECT_TRUE(surface.find_text("Click on Target"));
}

TEST_F(TargetOverlayTest, HeightReadoutWithoutShadowShowsDashes) {
    app.settings.channel_code = ChannelCode::Both;
    app.run.target_height_mode = 1;
    target_left_click(app, {400, 200});
    target_left_click(app, {400, 300});
    target_left_click(app, {400, 250});  // shadow start on the zero line
    target_pointer_move(app, {400, 250});
    refresh();
    EXPECT_TRUE(surface.find_text("Height = --- M"));
}

TEST_F(TargetOverlayTest, ToolsDoNotLockEachOtherOut) {
    // A length measurement left running when Target Height is chosen is abandoned, so the
    // height clicks work.
    app.run.target_length_mode = 1;
    target_right_click(app, {100, 100});
    app.run.target_length_mode = 0;
    app.run.target_height_mode = 1;
    target_tool_changed(app);
    EXPECT_EQ(app.run.target_length_active, 0);
    EXPECT_TRUE(target_left_click(app, {300, 300}));

    // A height measurement left half-done keeps its step for later, but the length tool works.
    app.run.target_height_mode = 0;
    app.run.target_length_mode = 1;
    target_tool_changed(app);
    EXPECT_TRUE(target_right_click(app, {100, 100}));
    EXPECT_EQ(app.run.target_height_step, 1);
}

TEST_F(TargetOverlayTest, PointerMovesAndRefreshesOnTwoThreadsKeepTheLockOrder) {
    app.run.target_length_mode = 1;
    target_right_click(app, {100, 100});
    std::atomic<bool> stop{false};
    std::thread mover([&] {
        for (int i = 0; !stop; ++i) target_pointer_move(app, {1 + i % 784, 1 + i % 500});
    });
    std::thread pinger([&] {
        while (!stop) draw_ping(app.waterfall, app.settings, ColumnRequest{});
    });
    for (int i = 0; i < 50; ++i) blit_image_with_overlays(app, surface);
    stop = true;
    mover.join();
    pinger.join();
    SUCCEED();
}

}  // namespace
}  // namespace kelvanor
