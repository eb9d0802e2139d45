#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "panel/panel_ping_hooks.h"
#include "panel/readouts.h"
#include "panel_test_support.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

using test::PanelTest;

// The date and time text may be wider than its box with a fixed-width font: look for it
// anywhere on the box's row.
std::string shown_date_time(const test::MemorySurface& surface) {
    const auto call = surface.last_text_in({300, 530, 640, 540});
    return call ? call->text : std::string();
}

HistoryEntry make_entry(const char* date_time, const char* position, uint8_t range_metres,
                        float speed, float heading) {
    HistoryEntry entry;
    std::strncpy(entry.date_time_text.data(), date_time, entry.date_time_text.size() - 1);
    std::memcpy(entry.position_text.data(), position,
                std::min(std::strlen(position), entry.position_text.size()));
    entry.reply_header[7] = range_metres;
    entry.speed_knots = speed;
    entry.heading_degrees = heading;
    return entry;
}

TEST(CursorRange, MetresAndFeetBySide) {
    struct Case {
        int32_t units, channel_code, range, y;
        const char* text;
    };
    const Case cases[] = {
        {0, 1, 120, 252, "060.00 M"},   // starboard: (252 - 2) x 120 / 500
        {0, 2, 120, 250, "060.00 M"},   // port: (500 - 250) x 120 / 500
        {0, 3, 120, 251, "000.00 M"},   // both: the zero line
        {0, 3, 120, 376, "060.00 M"},   // |376 - 251| x 120 / 250
        {0, 3, 30, 100, "018.12 M"},    // 151 x 30 / 250 = 18.12
        {1, 1, 120, 252, "200.00 FT"},  // 120 m is the 400 ft range
        {1, 3, 240, 1, "800.00 FT"},   {1, 2, 15, 400, "010.00 FT"},
        {0, 1, 0, 300, "000.00 M"},  // an empty history record
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cursor_range_text(static_cast<LengthUnit>(c.units),
                                    static_cast<ChannelCode>(c.channel_code), c.range, c.y),
                  c.text)
            << c.units << " " << c.channel_code << " " << c.range << " " << c.y;
    }
}

TEST(HeadingDial, NeedlePointsNorthUpClockwise) {
    const int x0 = 643 - 80;
    EXPECT_EQ(heading_needle_end(x0, 0.0f), (Point{x0 + 8, 511}));
    EXPECT_EQ(heading_needle_end(x0, 90.0f), (Point{x0 + 16, 519}));
    EXPECT_EQ(heading_needle_end(x0, 180.0f), (Point{x0 + 8, 527}));
    EXPECT_EQ(heading_needle_end(x0, 270.0f), (Point{x0 + 0, 519}));
    EXPECT_EQ(heading_needle_end(x0, 359.9f), (Point{x0 + 8, 511}));
    EXPECT_EQ(heading_needle_end(x0, 45.0f), (Point{x0 + 14, 513}));
}

TEST_F(PanelTest, HeadingShowsWholeDegreesAndDrawsTheNeedleInWhite) {
    struct Case {
        float heading;
        const char* text;
    };
    for (const Case c : {Case{359.9f, "359 DEG"}, Case{90.0f, "090 DEG"}, Case{7.0f, "007 DEG"}}) {
        EXPECT_TRUE(draw_heading(panel_context(app), surface, &ui, c.heading, false));
        EXPECT_EQ(text_in(layout().heading_box), c.text);
    }
    // 7 degrees: the needle from the centre nearly straight up, in white on the dial's fill.
    const Rect dial = layout().heading_dial;
    EXPECT_EQ(surface.index({dial.left + 8, 519}), kPaletteWhite);
    EXPECT_EQ(surface.index({dial.left + 8, 517}), kPaletteWhite);
    EXPECT_EQ(surface.index({dial.left + 4, 522}), kPaletteButtonShade);
    EXPECT_EQ(surface.index({dial.left + 8, dial.top}), kPaletteLightGrey) << "dial outline";

    draw_heading(panel_context(app), surface, &ui, 90.0f, true);
    for (int x = dial.left + 8; x < dial.left + 16; ++x) {
        EXPECT_EQ(surface.index({x, 519}), kPaletteWhite) << x;
    }
    EXPECT_EQ(surface.index({dial.left + 8, 517}), kPaletteButtonShade) << "old needle gone";
}

TEST_F(PanelTest, ReadoutsRedrawOnlyWhenTheirValueChanged) {
    EXPECT_TRUE(draw_speed(panel_context(app), surface, &ui, 3.0f, false));
    EXPECT_EQ(text_in(layout().speed_box), "3.0 KTS");
    ui.areas.clear();
    surface.clear_records();
    EXPECT_FALSE(draw_speed(panel_context(app), surface, &ui, 3.0f, false));
    EXPECT_TRUE(draw_speed(panel_context(app), surface, &ui, 3.0f, true)) << "forced";
    EXPECT_TRUE(draw_speed(panel_context(app), surface, &ui, 3.05f, false));
    EXPECT_EQ(ui.areas.size(), 2u) << "a repaint only for what was drawn";

    EXPECT_TRUE(draw_heading(panel_context(app), surface, &ui, 12.2f, false));
    EXPECT_FALSE(draw_heading(panel_context(app), surface, &ui, 12.9f, false))
        << "same whole degree";

    EXPECT_TRUE(draw_date_time(panel_context(app), surface, &ui, "07-DEC-2026  16:05:09"));
    EXPECT_FALSE(draw_date_time(panel_context(app), surface, &ui, "07-DEC-2026  16:05:09"));
    EXPECT_EQ(shown_date_time(surface), "07-DEC-2026  16:05:09");
    EXPECT_TRUE(draw_date_time(panel_context(app), surface, &ui, "07-DEC-2026  16:05:10"));
    EXPECT_TRUE(draw_date_time(panel_context(app), surface, &ui, ""));
    EXPECT_FALSE(draw_date_time(panel_context(app), surface, &ui, ""));
}

TEST_F(PanelTest, SpeedOfADamagedRecordIsShownWithoutOverflow) {
    EXPECT_TRUE(draw_speed(panel_context(app), surface, &ui, 3.0e38f, false));
    EXPECT_TRUE(draw_heading(panel_context(app), surface, &ui,
                             std::numeric_limits<float>::quiet_NaN(), false));
    EXPECT_EQ(text_in(layout().heading_box), "000 DEG");
    EXPECT_FALSE(draw_heading(panel_context(app), surface, &ui, -1.0e30f, false))
        << "also shown as 0";
}

TEST_F(PanelTest, GpsPositionBlinksOnEverySecondUpdate) {
    std::memcpy(app.head.position_text.data(), "5012.3456 N 00412.3456 W", 24);
    int stars = 0;
    for (int i = 0; i < 4; ++i) {
        surface.clear_records();
        draw_gps_position(panel_context(app), surface, &ui, true);
        if (surface.find_text("*")) ++stars;
    }
    EXPECT_EQ(stars, 2);
    EXPECT_EQ(text_in({692, 520, 792, 530}), "5012.3456 N ");
    EXPECT_TRUE(surface.find_text("00412.3456 W"));
    draw_gps_position(panel_context(app), surface, &ui, false);
    EXPECT_EQ(surface.find_text("N/A")->at, (Point{712, 536}));
    EXPECT_EQ(surface.index({692, 520}), kPaletteBlack) << "outlined box";
}

TEST_F(PanelTest, LinePositionDrawsOnlyInFileModeAndOnlyOnAChange) {
    EXPECT_FALSE(
        draw_line_position(panel_context(app), surface, &ui, "5012.3456 N 00412.3456 W", true));
    app.settings.RunMode = RunMode::File;
    EXPECT_TRUE(
        draw_line_position(panel_context(app), surface, &ui, "5012.3456 N 00412.3456 W", true));
    EXPECT_FALSE(
        draw_line_position(panel_context(app), surface, &ui, "5012.3456 N 00412.3456 W", true));
    EXPECT_TRUE(draw_line_position(panel_context(app), surface, &ui, "", true)) << "empty: N/A";
    EXPECT_FALSE(draw_line_position(panel_context(app), surface, &ui, "", false));
    app.panel.capture_redraw = 1;
    EXPECT_TRUE(draw_line_position(panel_context(app), surface, &ui, "", false));
}

TEST_F(PanelTest, CursorValuesShowTheColumnUnderThePointer) {
    app.settings.RunMode = RunMode::File;
    app.settings.channel_code = ChannelCode::Both;
    // Column history: newest at history_index + 1. Store an old record, then a newer one.
    store_history_records(
        app.ping.column_history,
        make_entry("01-JAN-2026  10:00:00", "5000.0000 N 00100.0000 W", 60, 2.5f, 45.0f), 1);
    store_history_records(
        app.ping.column_history,
        make_entry("01-JAN-2026  10:00:01", "5000.0001 N 00100.0001 W", 120, 4.0f, 90.0f), 1);
    // Off the waterfall: the newest column, whatever x.
    show_cursor_values(panel_context(app), surface, &ui, {10, 376});
    EXPECT_EQ(app.ping.history_column_offset, 783);
    EXPECT_EQ(app.ping.history_row, 376);
    EXPECT_EQ(text_in(layout().cursor_range_box), "060.00 M");
    EXPECT_EQ(shown_date_time(surface), "01-JAN-2026  10:00:01");
    EXPECT_EQ(text_in(layout().speed_box), "4.0 KTS");
    EXPECT_EQ(text_in(layout().heading_box), "090 DEG");
    EXPECT_TRUE(surface.find_text("5000.0001 N "));

    // Over the waterfall at screen column 783: the record before the newest.
    follow_pointer_readouts(panel_context(app), surface, &ui, {783, 376});
    EXPECT_EQ(app.ping.history_view, 1);
    EXPECT_EQ(app.panel.mouse_x, 783);
    EXPECT_EQ(text_in(layout().cursor_range_box), "030.00 M");
    EXPECT_EQ(shown_date_time(surface), "01-JAN-2026  10:00:00");
    EXPECT_EQ(text_in(layout().heading_box), "045 DEG");

    // Leaving the waterfall shows the newest column once more.
    follow_pointer_readouts(panel_context(app), surface, &ui, {400, 560});
    EXPECT_EQ(app.ping.history_view, 0);
    EXPECT_EQ(shown_date_time(surface), "01-JAN-2026  10:00:01");
    surface.clear_records();
    follow_pointer_readouts(panel_context(app), surface, &ui, {400, 570});
    EXPECT_TRUE(surface.texts().empty()) << "nothing more while off the waterfall";
}

// Save Screen's read-out: history_view set, the column under the last pointer position,
// and the position and the time drawn even where the read-outs would skip an unchanged text.
TEST_F(PanelTest, ACaptureShowsTheReadoutOfTheLastPointerPositionWhole) {
    app.settings.RunMode = RunMode::File;
    store_history_records(
        app.ping.column_history,
        make_entry("01-JAN-2026  10:00:00", "5000.0000 N 00100.0000 W", 60, 2.5f, 45.0f), 1);
    store_history_records(
        app.ping.column_history,
        make_entry("01-JAN-2026  10:00:01", "5000.0001 N 00100.0001 W", 120, 4.0f, 90.0f), 1);
    show_cursor_values(panel_context(app), surface, &ui, {10, 376});
    ASSERT_EQ(app.ping.history_view, 0);
    app.panel.mouse_x = 783;
    app.panel.mouse_y = 376;
    for (int capture = 0; capture < 2; ++capture) {
        SCOPED_TRACE(capture);
        surface.clear_records();
        show_capture_readout(panel_context(app), surface, &ui);
        EXPECT_EQ(app.ping.history_view, 1);
        EXPECT_EQ(app.panel.capture_redraw, 0);
        EXPECT_EQ(shown_date_time(surface), "01-JAN-2026  10:00:00");
        EXPECT_TRUE(surface.find_text("5000.0000 N ")) << "drawn again, though unchanged";
        EXPECT_EQ(text_in(layout().heading_box), "045 DEG");
    }
    // Leaving the client area any other way than over the panel shows the live values too.
    leave_waterfall_readouts(panel_context(app), surface, &ui);
    EXPECT_EQ(app.ping.history_view, 0);
    EXPECT_EQ(shown_date_time(surface), "01-JAN-2026  10:00:01");
    surface.clear_records();
    leave_waterfall_readouts(panel_context(app), surface, &ui);
    EXPECT_TRUE(surface.texts().empty()) << "nothing more once left";
}

TEST_F(PanelTest, PingHooksDrawTheReadoutsThatPingProcessingChanged) {
    PanelFeed feed;
    int published = 0;
    PanelPingHooks ping_hooks(app.settings, app.waterfall, feed, [&published] { ++published; });
    // The hooks only publish; the GUI thread's refresh draws.
    const auto refresh = [&] {
        const SurfaceLock held = lock_surface(surface);
        paint_published_readouts(panel_context(app), surface, held, feed.take(), {});
    };
    app.settings.SSRange = 1;
    apply_range_readout_state(app);
    ping_hooks.redraw_range_readout();
    EXPECT_EQ(text_in(layout().range_box), "") << "drawn during the ping";
    refresh();
    EXPECT_EQ(text_in(layout().range_box), "30 M");
    app.settings.SSTrain = ChannelSelection::Port;
    ping_hooks.redraw_channel_readout(apply_channel_readout_state(app));
    refresh();
    EXPECT_EQ(text_in(layout().channel_box), "Port");
    ping_hooks.show_date_time("02-FEB-2026  01:02:03");
    refresh();
    EXPECT_EQ(shown_date_time(surface), "02-FEB-2026  01:02:03");
    app.settings.ChannelBalance = 45;
    ping_hooks.redraw_balance_readout(apply_balance_readout_state(app));
    refresh();
    EXPECT_TRUE(surface.find_text("-1.5/1.5"));
    EXPECT_EQ(published, 4);
    surface.clear_records();
    refresh();
    EXPECT_TRUE(surface.texts().empty()) << "a refresh with nothing published draws nothing";
}

TEST_F(PanelTest, WorkerAndGuiThreadsDrawTheReadoutsTogether) {
    // The GPS thread redraws speed and heading while the GUI thread moves the pointer; every
    // draw holds the surface lock, so the sanitizers see no race on the last-shown copies.
    std::thread gps([this] {
        for (int i = 0; i < 200; ++i) {
            draw_speed(panel_context(app), surface, &ui, static_cast<float>(i % 7), false);
            draw_heading(panel_context(app), surface, &ui, static_cast<float>(i), false);
            draw_gps_position(panel_context(app), surface, nullptr, true);
        }
    });
    test::RepaintRecorder gui_ui;
    for (int i = 0; i < 200; ++i) {
        follow_pointer_readouts(panel_context(app), surface, &gui_ui, {1 + i % 700, 1 + i % 400});
    }
    gps.join();
    EXPECT_EQ(app.ping.history_view, 1);
}

}  // namespace
}  // namespace kelvanor
