#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ping/echo_conversion.h"
#include "ping_test_support.h"
#include "platform/menu_ids.h"

namespace kelvanor {
namespace {

using test::CountingClock;
using test::make_reply;
using test::RecordingHooks;
using test::ReplySpec;

// ---- Speed correction and marks: the worked values, in single precision ----

TEST(SpeedCorrection, FourKnotsAt120MetresBothSidesDrawsAbout85Of100Pings) {
    EXPECT_NEAR(lines_per_ping_for(198, 4.0f, 120, ChannelCode::Both), 0.848833f, 1e-6f);
    PingState ping;
    ping.ping_interval_ms = 198;
    int drawn = 0;
    for (int i = 0; i < 100; ++i) {
        apply_speed_correction(ping, true, 4.0f, 120, ChannelCode::Both);
        ASSERT_GE(ping.line_repeat, -1);
        ASSERT_LE(ping.line_repeat, 0);
        drawn += ping.line_repeat == 0;
    }
    EXPECT_EQ(drawn, 85);
}

TEST(SpeedCorrection, TenKnotsAt15MetresOneSideDrawsElevenOrTwelveColumnsAPing) {
    EXPECT_NEAR(lines_per_ping_for(66, 10.0f, 15, ChannelCode::Starboard), 11.3178f, 1e-4f);
    PingState ping;
    ping.ping_interval_ms = 66;
    int columns = 0;
    for (int i = 0; i < 100; ++i) {
        apply_speed_correction(ping, true, 10.0f, 15, ChannelCode::Port);
        ASSERT_TRUE(ping.line_repeat == 10 || ping.line_repeat == 11) << ping.line_repeat;
        columns += 1 + ping.line_repeat;
    }
    EXPECT_EQ(columns, 1131);
}

TEST(SpeedCorrection, OffDrawsOneColumnPerPingAndKeepsTheFraction) {
    PingState ping;
    ping.ping_interval_ms = 198;
    ping.line_fraction = 0.75f;
    for (int i = 0; i < 10; ++i) {
        apply_speed_correction(ping, false, 4.0f, 120, ChannelCode::Both);
        EXPECT_EQ(ping.line_repeat, 0);
    }
    EXPECT_EQ(ping.line_fraction, 0.75f);
    EXPECT_EQ(ping.lines_per_ping, 1.0f);
}

TEST(SpeedCorrection, AtZeroKnotsEveryPingIsSkipped) {
    PingState ping;
    ping.ping_interval_ms = 198;
    for (int i = 0; i < 5; ++i) {
        apply_speed_correction(ping, true, 0.0f, 120, ChannelCode::Both);
        EXPECT_EQ(ping.line_repeat, -1);
    }
}

TEST(SpeedCorrection, ImpossibleSpeedsStayWithinOneImageWidthAndKeepTheFractionBelowOne) {
    const float speeds[] = {1e6f, std::numeric_limits<float>::infinity(), -50.0f,
                            std::numeric_limits<float>::quiet_NaN()};
    for (float speed : speeds) {
        SCOPED_TRACE(speed);
        PingState ping;
        ping.ping_interval_ms = 958;
        for (int i = 0; i < 5; ++i) {
            apply_speed_correction(ping, true, speed, 15, ChannelCode::Starboard);
            EXPECT_GE(ping.line_repeat, -1);
            EXPECT_LE(ping.line_repeat, 783);
            EXPECT_GE(ping.line_fraction, 0.0f);
            EXPECT_LT(ping.line_fraction, 1.0f);
        }
    }
}

TEST(ExpectedInterval, AMeasuredIntervalFarAboveTheExpectedOneIsReplaced) {
    const struct {
        int32_t measured, range, delay, expected_after;
    } cases[] = {
        {400, 120, 0, 198},  // more than 100 above 198
        {290, 120, 0, 290},  // within 100
        {298, 120, 0, 298},  // exactly 100 above stays
        {2000, 15, 0, 66},   // the first average, at the limit
        {2000, 240, 500, 858},
    };
    for (const auto& c : cases) {
        PingState ping;
        ping.ping_interval_ms = c.measured;
        update_expected_interval(ping, c.range, c.delay);
        EXPECT_EQ(ping.ping_interval_ms, c.expected_after) << c.measured << " at " << c.range;
        EXPECT_EQ(ping.ping_interval_text_value, c.expected_after);
    }
}

TEST(AlongTrackMarks, AMarkIsDueAfterTheTimeToTravelAFifthOfTheRange) {
    EXPECT_EQ(mark_interval_for(60, 5.0f), 4665);
    EXPECT_EQ(mark_interval_for(120, 0.0f), 24000);  // 0 knots counts as 1 m/s
    EXPECT_EQ(mark_interval_for(120, std::numeric_limits<float>::quiet_NaN()),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(mark_interval_for(240, 1e-9f), std::numeric_limits<int32_t>::max());

    PingState ping;
    ping.ping_interval_ms = 121;
    int pings = 0;
    while (ping.mark_pending == 0) {
        ping.columns_since_mark += 1;  // the drawer counts one column per ping
        advance_along_track_marks(ping, 60, 5.0f);
        ++pings;
    }
    EXPECT_EQ(pings, 39);  // 39 * 121 = 4719 is the first sum at or above 4665
    EXPECT_EQ(ping.mark_time_ms, 0);
    EXPECT_EQ(ping.columns_per_mark, 39);
    EXPECT_EQ(ping.columns_since_mark, 0);
}

TEST(RecPauseFlash, IntervalFollowsTheRange) {
    EXPECT_EQ(rec_pause_flash_interval(15), 3);
    EXPECT_EQ(rec_pause_flash_interval(30), 2);
    EXPECT_EQ(rec_pause_flash_interval(60), 2);
    EXPECT_EQ(rec_pause_flash_interval(90), 1);
    EXPECT_EQ(rec_pause_flash_interval(240), 1);
}

// ---- The whole pipeline ----

class ProcessPing : public ::testing::Test {
  protected:
    void SetUp() override { test::set_up_live_head(app); }

    void ping(const ReplySpec& form = ReplySpec{}) {
        const auto reply = make_reply(form);
        clock.now_ms += 198;
        process_head_reply(app, hooks, clock, reply.data(), reply.size());
    }

    void play(const ReplySpec& form = ReplySpec{}) {
        app.settings.RunMode = RunMode::File;
        test::load_reply(app, make_reply(form));
        process_ping(app, hooks, clock);
    }

    AppState app;
    RecordingHooks hooks;
    CountingClock clock;
};

TEST_F(ProcessPing, ARejectedReplyOnlyTurnsTheIndicatorOff) {
    ReplySpec form;
    auto reply = make_reply(form);
    reply.back() = 0xFD;
    process_head_reply(app, hooks, clock, reply.data(), reply.size());
    EXPECT_EQ(hooks.calls, std::vector<std::string>{"indicator off"});
    EXPECT_EQ(app.ping.column_history.history_index, 0);
}

TEST_F(ProcessPing, AShortReplyNeverBorrowsTheTerminatorOfAnEarlierOne) {
    ping();
    const auto reply = make_reply(ReplySpec{});
    process_head_reply(app, hooks, clock, reply.data(), 200);
    EXPECT_EQ(hooks.calls.back(), "indicator off");
}

TEST_F(ProcessPing, WithoutSpeedCorrectionEveryValidPingDrawsOneColumnAndOneHistoryRecord) {
    for (int i = 0; i < 5; ++i) ping();
    EXPECT_EQ(hooks.draws, 5);
    EXPECT_EQ(hooks.count("indicator on"), 5);
    EXPECT_EQ(app.ping.column_history.history_index, kHistoryColumns - 5);
    EXPECT_EQ(app.ping.columns_since_mark, 5);
}

TEST_F(ProcessPing, ExtraColumnsStoreOneHistoryRecordEachAndTheRepeatIsConsumed) {
    app.settings.SpeedCorrection = 1;
    app.run.speed_knots = 10.0f;
    app.head.range_metres = 15;
    app.settings.channel_code = ChannelCode::Starboard;
    app.settings.SSTrain = ChannelSelection::Starboard;
    app.ping.ping_interval_ms = 66;
    ReplySpec form;
    form.range = 20;  // 15 m
    ping(form);
    EXPECT_EQ(hooks.last_request.line_repeat, 10);
    EXPECT_EQ(app.ping.column_history.history_index, kHistoryColumns - 11);
    EXPECT_EQ(app.ping.line_repeat, 0);
    EXPECT_EQ(app.ping.columns_since_mark, 11);
}

TEST_F(ProcessPing, OnlySideScanPingsAreDrawnAndRemembered) {
    ReplySpec other;
    other.head_id = 0x11;
    ping(other);
    EXPECT_EQ(hooks.draws, 0);
    EXPECT_EQ(app.ping.column_history.history_index, 0);
    EXPECT_EQ(hooks.calls.back(), "indicator on");
}

TEST_F(ProcessPing, HistoryRecordHoldsTheTimePositionHeaderSpeedAndHeading) {
    std::snprintf(app.head.date_time_text.data(), app.head.date_time_text.size(), "%s",
                  "07-DEC-2026  16:05:09");
    std::memcpy(app.head.position_text.data(), " 54.21.123 N010.07.456 E", 24);
    app.run.speed_knots = 4.5f;
    app.run.heading_degrees = 271.5f;
    ReplySpec form;
    form.range = 75;  // 60 m from a 'G' head
    ping(form);
    ASSERT_EQ(app.ping.column_history.history_index, 783);
    const HistoryEntry entry = read_history_record(app.ping.column_history, 0);
    EXPECT_STREQ(entry.date_time_text.data(), "07-DEC-2026  16:05:09");
    EXPECT_EQ(std::string(entry.position_text.data(), 24), " 54.21.123 N010.07.456 E");
    EXPECT_EQ(entry.range_metres(), 60);
    EXPECT_EQ(entry.reply_header[0], 'Q');
    EXPECT_EQ(entry.speed_knots, 4.5f);
    EXPECT_EQ(entry.heading_degrees, 271.5f);
}

// After a ping, the read-outs name the column that the screen now shows under the pointer:
// the same column the pointer's own read-out names at that place. Adjacent columns hold
// different times, positions and ranges, so a column off by one shows.
TEST_F(ProcessPing, WhileThePointerIsOverTheImageTheReadOutsShowTheColumnUnderIt) {
    auto stamp = [this](int second) {
        std::snprintf(app.head.date_time_text.data(), app.head.date_time_text.size(),
                      "07-DEC-2026  16:05:%02d", second);
        char position[25];
        std::snprintf(position, sizeof position, " 54.21.%03d N010.07.456 E", second);
        std::memcpy(app.head.position_text.data(), position, 24);
    };
    const uint8_t codes[] = {20, 40, 75};  // 15, 30, 60 m from a 'G' head
    for (int second = 1; second <= 3; ++second) {
        stamp(second);
        ReplySpec form;
        form.range = codes[second - 1];
        ping(form);
    }
    app.ping.history_view = 1;
    app.ping.history_row = 250;
    const struct {
        int32_t offset;  // screen column under the pointer, minus 1
        int second;
        int32_t range;
    } cases[] = {{783, 10, 180}, {782, 3, 60}, {781, 2, 30}, {780, 1, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        hooks.calls.clear();
        app.ping.history_column_offset = c.offset;
        stamp(10);
        ReplySpec form;
        form.range = 225;  // 180 m
        ping(form);
        ASSERT_TRUE(hooks.called("history"));
        char expected_time[32];
        std::snprintf(expected_time, sizeof expected_time, "07-DEC-2026  16:05:%02d", c.second);
        EXPECT_STREQ(hooks.last_history.date_time_text.data(), expected_time);
        EXPECT_EQ(std::string(hooks.last_history.position_text.data() + 7, 3),
                  (c.second < 10 ? "00" : "0") + std::to_string(c.second));
        EXPECT_EQ(hooks.last_history.range_metres(), c.range);
        EXPECT_EQ(hooks.last_history_row, 250);
        for (const std::string& call : hooks.calls) {
            EXPECT_NE(call.rfind("date_time", 0), 0u) << "the time box shows the column's time";
        }
        // Undo this ping's column so that the next case sees the same three.
        app.ping.column_history.history_index = app.ping.column_history.history_index + 1;
    }
}

TEST_F(ProcessPing, ASingleFrequencyHeadForcesLowFrequencyAndGreysTheMenuItems) {
    reset_reply_type_seen(app.ping);  // as the run-mode switch at start-up does
    app.settings.Frequency = FrequencyBand::High;
    app.settings.SSRange = 1;
    ReplySpec single;
    single.type = 0;
    ping(single);
    EXPECT_EQ(app.settings.Frequency, FrequencyBand::Low);
    EXPECT_TRUE(hooks.called("check 850"));
    EXPECT_TRUE(hooks.called("uncheck 851"));
    EXPECT_TRUE(hooks.called("grey 850"));
    EXPECT_TRUE(hooks.called("grey 851"));
    EXPECT_TRUE(hooks.called("frequency"));
    EXPECT_EQ(app.settings.max_range_index, kMaxRangeIndexLow);
    EXPECT_TRUE(hooks.called("range"));

    hooks.calls.clear();
    ping(single);
    EXPECT_FALSE(hooks.called("frequency")) << "only a change of type acts";

    app.settings.Frequency = FrequencyBand::High;
    ReplySpec dual;
    dual.type = 1;
    ping(dual);
    EXPECT_TRUE(hooks.called("check 851"));
    EXPECT_TRUE(hooks.called("enable 850"));
    EXPECT_TRUE(hooks.called("enable 851"));
    EXPECT_EQ(app.settings.max_range_index, kMaxRangeIndexHigh);
    EXPECT_EQ(app.settings.SSRange, 1);
}

TEST_F(ProcessPing, TheRunModeSwitchMakesTheNextReplyTypeCountAsAChange) {
    ping();
    hooks.calls.clear();
    ping();
    EXPECT_FALSE(hooks.called("frequency"));
    reset_reply_type_seen(app.ping);
    ping();
    EXPECT_TRUE(hooks.called("frequency"));
}

TEST_F(ProcessPing, AChangedHeadModelRunsTheFrequencyRule) {
    ping();
    hooks.calls.clear();
    app.settings.SSRange = 3;
    app.head.head_type = 'H';
    app.head.reply_length = 513;
    ReplySpec h;
    h.model = 'H';
    h.status = 1;
    h.range = 90;
    h.echo_bytes = 500;
    ping(h);
    EXPECT_TRUE(hooks.called("clear_line_history"));
    EXPECT_TRUE(hooks.called("range"));
    EXPECT_EQ(app.head.range_metres, 90);
}

TEST_F(ProcessPing, RecordingWritesEveryPingAndREcPauseFlashesByRange) {
    app.run.recording = 1;
    ping();
    EXPECT_EQ(hooks.count("write_record"), 1);
    EXPECT_EQ(hooks.count("record_size"), 1);

    const struct {
        int32_t range;
        int32_t entry_kind;
        int flashes_in_six;
    } cases[] = {{15, 0, 2}, {60, 0, 3}, {120, 0, 6}, {120, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        hooks.calls.clear();
        app.run.rec_pause = 1;
        app.run.entry_kind = c.entry_kind;
        app.ping.rec_pause_ping_count = 0;
        app.head.range_metres = c.range;
        for (int i = 0; i < 6; ++i) ping();
        EXPECT_EQ(hooks.count("flash_rec_pause"), c.flashes_in_six);
        EXPECT_EQ(hooks.count("write_record"), 0);
    }
}

TEST_F(ProcessPing, PlaybackPausesOneHundredMinusThePlotSpeed) {
    const std::pair<int32_t, std::vector<int>> cases[] = {
        {100, {}}, {0, {100}}, {60, {40}}, {150, {}}};
    for (const auto& [plot_speed, sleeps] : cases) {
        clock.sleeps.clear();
        app.settings.PlotSpeed = plot_speed;
        play();
        EXPECT_EQ(clock.sleeps, sleeps) << plot_speed;
    }
    clock.sleeps.clear();
    app.settings.PlotSpeed = 0;
    app.settings.RunMode = RunMode::Head;
    ping();
    EXPECT_TRUE(clock.sleeps.empty()) << "live pings never pause";
}

TEST_F(ProcessPing, APlayedRecordSetsTheChannelFromItsSideAndClearsTheLineHistory) {
    const struct { int32_t side, train, code; } cases[] = {{1, 2, 2}, {2, 0, 1}, {3, 1, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.side);
        hooks.calls.clear();
        app.datafile.file_side = c.side;
        play();
        EXPECT_EQ(app.settings.SSTrain, static_cast<ChannelSelection>(c.train));
        EXPECT_EQ(app.settings.channel_code, static_cast<ChannelCode>(c.code));
        EXPECT_TRUE(hooks.called("channel"));
        EXPECT_TRUE(hooks.called("clear_line_history"));
        EXPECT_EQ(hooks.last_request.data_channel, c.side);
    }
    hooks.calls.clear();
    play();
    EXPECT_FALSE(hooks.called("channel"));
    EXPECT_FALSE(hooks.called("clear_line_history"));
}

TEST_F(ProcessPing, APlayedRecordRedrawsOnlyTheReadOutsWhoseValuesChanged) {
    app.datafile.file_side = 3;
    reset_tracking_for_new_file(app.ping);
    app.settings.SSGain = 12;
    app.settings.file_frequency = FrequencyBand::High;
    app.datafile.file_channel_balance = 45;
    play();
    for (const char* call : {"range", "gain", "frequency", "balance", "check 851"}) {
        EXPECT_TRUE(hooks.called(call)) << call;
    }
    EXPECT_FLOAT_EQ(hooks.last_balance.port_db, -1.5f);
    EXPECT_FLOAT_EQ(hooks.last_balance.stbd_db, 1.5f);

    hooks.calls.clear();
    play();
    for (const char* call : {"range", "gain", "frequency", "balance"}) {
        EXPECT_FALSE(hooks.called(call)) << call;
    }

    hooks.calls.clear();
    ReplySpec form;
    form.range = 60;
    play(form);
    EXPECT_TRUE(hooks.called("range"));
    EXPECT_EQ(app.settings.SSRange, 2);
    EXPECT_EQ(app.head.range_metres, 60) << "the range read-out state follows the record";
}

TEST_F(ProcessPing, PlayedTimeIsShownWhenItsSecondsChangeAndAgainAfterAJump) {
    auto set_time = [&](const char* text, int32_t seconds) {
        std::snprintf(app.head.date_time_text.data(), app.head.date_time_text.size(), "%s", text);
        app.head.time_seconds = seconds;
    };
    play();  // the first record's range read-out resets the time tracking as well
    hooks.calls.clear();
    set_time("07-DEC-2026  16:05:09", 9);
    play();
    EXPECT_TRUE(hooks.called("date_time 07-DEC-2026  16:05:09"));

    hooks.calls.clear();
    play();
    EXPECT_EQ(hooks.count("date_time 07-DEC-2026  16:05:09"), 0);

    // After a jump a record with the same seconds but another minute is still shown.
    set_time("07-DEC-2026  16:45:09", 9);
    reset_previous_ping_tracking(app.ping);
    play();
    EXPECT_TRUE(hooks.called("date_time 07-DEC-2026  16:45:09"));

    // Seconds 0 after a wrap are shown too.
    set_time("07-DEC-2026  16:00:00", 0);
    reset_previous_ping_tracking(app.ping);
    play();
    EXPECT_TRUE(hooks.called("date_time 07-DEC-2026  16:00:00"));
}

TEST_F(ProcessPing, TargetOverlaysAreRedrawnForTheSelectedMeasurement) {
    app.run.target_length_mode = 1;
    ping();
    EXPECT_FALSE(hooks.called("length_overlay")) << "no measurement active";
    app.run.target_length_active = 1;
    ping();
    EXPECT_TRUE(hooks.called("length_overlay"));
    app.run.target_length_mode = 0;
    app.run.target_height_mode = 1;
    hooks.calls.clear();
    ping();
    EXPECT_TRUE(hooks.called("height_overlay"));
    EXPECT_FALSE(hooks.called("length_overlay"));
}

TEST_F(ProcessPing, StepsRunInTheirOrder) {
    app.run.diagnostics_shown = true;
    app.run.recording = 1;
    app.run.target_height_mode = 1;
    ping();
    const std::vector<std::string> expected = {
        "diagnostics",    "uncheck 850", "uncheck 851",        "check 850",          "enable 850",
        "enable 851",     "frequency",   "clear_line_history", "grid_label",         "range",
        "write_record",   "record_size", "clear_line_history", "clear_line_history", "draw_ping",
        "height_overlay", "indicator on"};
    EXPECT_EQ(hooks.calls, expected);
}

TEST_F(ProcessPing, AMarkIsHandedToTheDrawerOnceAndThenCleared) {
    app.run.speed_knots = 0.0f;  // a mark every 24000 ms of ping time at 120 m
    app.ping.mark_time_ms = 24000 - 198;
    app.ping.ping_interval_ms = 198;
    ping();
    EXPECT_TRUE(hooks.last_request.mark_pending);
    EXPECT_EQ(app.ping.mark_pending, 0);
    ping();
    EXPECT_FALSE(hooks.last_request.mark_pending);
}

}  // namespace
}  // namespace kelvanor

namespace kelvanor {
namespace {

// What the column's record does not hold: where its ping lies in a file (live pings that are
// not written lie in none; a played record where it was read), and, when the reply has no
// bottom value, the altitude of each side from the first strong return, as a file's track
// reads it.
TEST_F(ProcessPing, ColumnSourceHoldsTheRecordOffsetAndTheEchoAltitude) {
    struct Case {
        const char* name;
        int32_t bottom_value;
        float port;
        float starboard;
    } cases[] = {
        // 200 samples a side over 120 m: port's return at sample 50, starboard's at 25.
        {"no bottom value", 0, 30.0f, 15.0f},
        {"a bottom value is kept in the record instead", 850, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        ReplySpec form;
        form.bottom_value = c.bottom_value;
        form.fill = 3;  // noise
        auto reply = make_reply(form);
        reply[12 + 2 * 50] = 200;      // port, sample 50
        reply[12 + 2 * 25 + 1] = 200;  // starboard, sample 25
        app.ping.record_offset = 4096;
        clock.now_ms += 198;
        process_head_reply(app, hooks, clock, reply.data(), reply.size());
        const ColumnHistory& h = app.ping.column_history;
        const auto source =
            column_source(h, history_slot_for_column(h.history_index, kHistoryColumns));
        ASSERT_TRUE(source) << c.name;
        EXPECT_EQ(source->record_offset, -1) << c.name << ": a live ping not written";
        EXPECT_NEAR(source->altitude_metres[0], c.port, 1e-4f) << c.name;
        EXPECT_NEAR(source->altitude_metres[1], c.starboard, 1e-4f) << c.name;
    }
    app.ping.record_offset = 4096;
    play();
    const ColumnHistory& h = app.ping.column_history;
    EXPECT_EQ(
        column_source(h, history_slot_for_column(h.history_index, kHistoryColumns))->record_offset,
        4096)
        << "a played record";
}

}  // namespace
}  // namespace kelvanor
