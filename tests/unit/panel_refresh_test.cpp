// The panel as ping processing leaves it: a fixed sequence of live pings (with a change of
// head, the no-data notice, REC Pause flashing and the pointer over the waterfall) and of
// played records (range, gain, channel, frequency and balance changing) drives the program
// on a memory surface, and the whole surface is summed after every step, once the window's
// refresh has run. The sums were taken from the program as it drew the read-outs on the
// worker during the ping, before the read-outs moved to the refresh: any change in what the
// panel shows, or where, changes them.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "control/program.h"
#include "datafile/record_writer.h"
#include "fake_ui.h"
#include "gps/nmea_parser.h"
#include "headlink/acquisition.h"
#include "headlink/link_indicators.h"
#include "memory_surface.h"
#include "platform/client_scale.h"
#include "sim/head_sim.h"
#include "sim/survey_recording.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::FakeUi;
using test::MemorySurface;
using test::TempDir;

// Calendar seconds set by the test, in UTC, so that the time read-out is the same anywhere.
class SteppedClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return seconds; }
    std::tm local_time(std::time_t at) override {
        std::tm out{};
        gmtime_r(&at, &out);
        return out;
    }
    uint64_t monotonic_ms() override { return now_ms += 66; }
    void sleep_ms(int) override {}

    std::time_t seconds = 1715679000;
    uint64_t now_ms = 0;
};

// FNV-1a over every pixel's palette index.
uint64_t surface_sum(const MemorySurface& surface) {
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < surface.size().height; ++y) {
        for (int x = 0; x < surface.size().width; ++x) {
            h ^= surface.index({x, y});
            h *= 1099511628211ull;
        }
    }
    return h;
}

std::string sums_text(const std::vector<uint64_t>& sums) {
    std::string text;
    char one[32];
    for (uint64_t s : sums) {
        std::snprintf(one, sizeof one, "0x%016llxull, ", static_cast<unsigned long long>(s));
        text += one;
    }
    return text;
}

// The program on a memory surface, with the two sequences.
struct Rig {
    Rig() : surface(kClientSize), program(app, ui, surface, clock) {
        program.create_image();
        program.repaint_panel();
    }

    // What the window's refresh does; returns the surface's sum after it.
    uint64_t refresh() {
        program.refresh();
        return surface_sum(surface);
    }

    // HEAD mode at 30 m, recording with REC Pause on: the label flashes, nothing is written.
    void prepare_live() {
        app.settings.SSRange = 1;
        app.settings.Grid = 1;
        app.head.head_type = kHeadTypeG;
        app.head.samples_per_line = 400;
        app.head.reply_length = 413;
        app.run.recording = 1;
        app.run.rec_pause = 1;
    }

    // Step i (0..11) of the live sequence, as the acquisition thread runs it: the time stamp,
    // then the reply; a single-frequency answer for a while, then an 'H' flag, the no-data
    // notice shown and erased, the pointer over the waterfall (when `pointer`).
    void live_ping(SimHead& head, int i, bool pointer = true) {
        clock.seconds = 1715679000 + i / 2;
        stamp_ping_time(head_link_context(app), clock);
        const std::vector<uint8_t> command =
            make_switch_command(app.head.range_metres, app.settings.SSGain,
                                static_cast<int32_t>(app.settings.channel_code.load()),
                                static_cast<int32_t>(app.settings.Frequency.load()), 'G');
        uint8_t reply[kSimMaxReplyLength];
        const size_t n = synthesize_reply(head, command, reply);
        advance_survey(head, 0.5f);
        if (i >= 3 && i <= 5) reply[5] = 0;
        if (i == 6 || i == 7) reply[4] |= 1;
        if (i == 8) {
            program.show_no_data_notice(no_data_text(0));
            program.update_ping_indicator(false);
        }
        if (i == 9) program.erase_no_data_notice();
        if (i == 10 && pointer) {
            app.ping.history_view = 1;
            app.ping.history_column_offset = 50;
            app.ping.history_row = 120;
        }
        if (i == 0) app.ping.history_view = 0;
        program.process_head_reply(reply, n);
    }

    // The live sequence `rounds` times; the sums after each step, or after the last only.
    std::vector<uint64_t> run_live_pings(bool refresh_each, int rounds = 1, bool pointer = true) {
        prepare_live();
        SimHead head;
        std::vector<uint64_t> sums;
        for (int i = 0; i < 12 * rounds; ++i) {
            live_ping(head, i % 12, pointer);
            if (refresh_each) sums.push_back(refresh());
        }
        if (!refresh_each) sums.push_back(refresh());
        return sums;
    }

    // The played sequence: three parts of four records with their own range, gain, channel,
    // frequency and balance.
    std::vector<uint64_t> run_played_records(bool refresh_each) {
        const std::string path = dir.file("Line1.VKD");
        {
            std::string error;
            std::optional<RecordWriter> writer = RecordWriter::create(path, error);
            EXPECT_TRUE(writer) << error;
            struct Part {
                int32_t range_metres, gain, channel_code, frequency, balance;
            };
            for (const Part& part :
                 {Part{60, 12, 3, 0, 30}, Part{30, 20, 2, 1, 40}, Part{120, 8, 1, 0, 22}}) {
                SurveyRecordingConfig config;
                config.range_metres = part.range_metres;
                config.gain = part.gain;
                config.channel_code = part.channel_code;
                SurveyRecording survey(config);
                for (int i = 0; i < 4; ++i) {
                    RecordStamp stamp;
                    std::span<const uint8_t> reply = survey.next(stamp);
                    stamp.frequency = part.frequency;
                    stamp.channel_balance = part.balance == 30 ? 30 : (0x80 | part.balance);
                    EXPECT_TRUE(writer->write_ping_record(stamp, reply));
                }
            }
        }
        ui.answer_next_dialog(path);
        app.settings.RunMode = RunMode::File;
        program.run_mode_switch();
        std::vector<uint64_t> sums;
        for (int i = 0; i < 12; ++i) {
            if (i == 10) {
                app.ping.history_view = 1;
                app.ping.history_column_offset = 30;
                app.ping.history_row = 200;
            }
            program.playback_step();
            if (refresh_each) sums.push_back(refresh());
        }
        if (!refresh_each) sums.push_back(refresh());
        return sums;
    }

    TempDir dir;
    AppState app;
    FakeUi ui;
    MemorySurface surface;
    SteppedClock clock;
    Program program;
};

struct PanelRefreshTest : testing::Test, Rig {};

// Taken with the read-outs drawn during the ping on the worker (see the top of the file).
const std::vector<uint64_t> kLiveSums = {
    0x693a27eecdf15ff1ull, 0xddce9475e2014ad5ull, 0x64fb701bd646a05dull, 0xd1e9b305ea161811ull,
    0x83c34d82dd2d7ca5ull, 0xc966470d1e07648aull, 0x4563f5ed4eb3032cull, 0x25aa548e3fdfc079ull,
    0x84bba28225b3c5adull, 0x8538acb0bb1cfd86ull, 0xaab760c3ab7e9031ull, 0x23400de042dc9e45ull,
};
const std::vector<uint64_t> kPlayedSums = {
    0x6091c389f437847eull, 0x820c9dc303544915ull, 0x48fac5465f560d59ull, 0xa91a79f8e98e9732ull,
    0xb928f766cb4c3155ull, 0xe4126fa9406ce69aull, 0xb12ddccfeea9ace5ull, 0xaac90c2c090bfcf3ull,
    0xb297d9eea2c449b5ull, 0x1924da3734ce1a34ull, 0x6e406dd0eaa54176ull, 0xac587816cb7e6104ull,
};

TEST_F(PanelRefreshTest, LivePingsLeaveThePanelAsBefore) {
    const std::vector<uint64_t> sums = run_live_pings(true);
    EXPECT_EQ(sums, kLiveSums) << sums_text(sums);
    // The sequence reaches the read-outs it is meant to reach.
    for (const char* text : {"No Data at COM1", "REC Pause", "Low Freq", "14-MAY-2024  09:30:04"})
        EXPECT_TRUE(surface.find_text(text)) << text;
}

// Pings between two refreshes leave what drawing each of them would have left. (Not where
// the screen keeps traces of earlier values: a "High Freq" before a "Low Freq" leaves the
// end of its text, and the pointer's record is drawn over a date box that the GUI thread
// drew meanwhile; the pointer is left off the waterfall here.)
TEST_F(PanelRefreshTest, ManyPingsBetweenTwoRefreshesLeaveWhatTheLastOneShows) {
    Rig each_ping;
    const uint64_t drawn_each_ping = each_ping.run_live_pings(true, 2, false).back();
    EXPECT_EQ(run_live_pings(false, 2, false), std::vector<uint64_t>{drawn_each_ping});
}

TEST_F(PanelRefreshTest, PlayedRecordsLeaveThePanelAsBefore) {
    const std::vector<uint64_t> sums = run_played_records(true);
    EXPECT_EQ(sums, kPlayedSums) << sums_text(sums);
    for (const char* text : {"High Freq", "Port", "Stbd", "30 M", "120 M", "20 dB", "-1.0/1.0"})
        EXPECT_TRUE(surface.find_text(text)) << text;
}

// The acquisition thread runs the live sequence over and over while this thread, standing for
// the GUI thread, refreshes. The surface's lock tells who takes it: only this thread may, and
// the panel ends as the same pings on one thread leave it. Run it under
// ThreadSanitizer too: the feed and the settings copy are the only meeting points.
TEST_F(PanelRefreshTest, TheWorkerPublishesAndOnlyTheRefreshTakesTheSurfaceLock) {
    constexpr int kRounds = 10;
    std::mutex takers_mutex;
    std::set<std::thread::id> takers;
    surface.mutex().on_lock = [&] {
        std::lock_guard held(takers_mutex);
        takers.insert(std::this_thread::get_id());
    };
    prepare_live();
    std::atomic<bool> done{false};
    std::atomic<int> refreshes{0};
    std::thread::id worker_id;
    std::thread worker([&] {
        worker_id = std::this_thread::get_id();
        SimHead head;
        for (int i = 0; i < 12 * kRounds; ++i) {
            live_ping(head, i % 12, false);
            // Each round waits for a refresh, so that pings and refreshes interleave.
            const int seen = refreshes;
            while (i % 12 == 11 && refreshes < seen + 1) std::this_thread::yield();
        }
        done = true;
    });
    int drawn = 0;
    while (!done) {
        if (program.refresh()) ++drawn;
        ++refreshes;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker.join();
    const uint64_t sum = refresh();
    surface.mutex().on_lock = nullptr;
    EXPECT_EQ(takers.count(worker_id), 0u) << "the worker took the surface lock";
    EXPECT_EQ(takers.count(std::this_thread::get_id()), 1u);
    EXPECT_GT(drawn, 0);

    Rig serial;
    const uint64_t serial_sum = serial.run_live_pings(true, kRounds, false).back();
    EXPECT_EQ(sum, serial_sum) << "as the same pings on one thread leave it";
}

// Each refresh tells the window what it drew, so that the window copies only that to the
// screen: every pixel the refresh changed lies in an area it named, and the areas are the
// read-outs' (the time and the ping star change with every ping), not the whole window.
TEST_F(PanelRefreshTest, TheRefreshNamesTheAreasItDrew) {
    prepare_live();
    SimHead head;
    const Size size = surface.size();
    auto pixels = [&] {
        std::vector<PaletteIndex> all;
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) all.push_back(surface.index({x, y}));
        return all;
    };
    auto named = [](const std::vector<Rect>& areas, Point p) {
        return std::any_of(areas.begin(), areas.end(), [p](Rect a) { return a.contains(p); });
    };
    bool time_named = false;
    bool star_named = false;
    for (int i = 0; i < 12; ++i) {
        live_ping(head, i, false);
        const std::vector<PaletteIndex> before = pixels();
        std::vector<Rect> drawn;
        EXPECT_TRUE(program.refresh_panel(&drawn)) << "step " << i;
        const std::vector<PaletteIndex> after = pixels();
        int64_t covered = 0;
        for (const Rect& area : drawn) covered += int64_t{area.width()} * area.height();
        EXPECT_LT(covered, int64_t{size.width} * size.height / 20) << "step " << i;
        int unnamed = 0;
        for (int y = 0; y < size.height; ++y) {
            for (int x = 0; x < size.width; ++x) {
                const size_t at = static_cast<size_t>(y) * size.width + x;
                if (before[at] != after[at] && !named(drawn, {x, y})) ++unnamed;
            }
        }
        EXPECT_EQ(unnamed, 0) << "step " << i;
        const Rect time = app.panel.layout.date_time_box;
        time_named |= named(drawn, {(time.left + time.right) / 2, (time.top + time.bottom) / 2});
        const Rect star = ping_indicator_rect(surface.font());
        star_named |= named(drawn, {(star.left + star.right) / 2, (star.top + star.bottom) / 2});
        program.refresh_image();
    }
    EXPECT_TRUE(time_named);
    EXPECT_TRUE(star_named);
}

// The GPS reader's thread runs sentences through the program's read-out hooks while this
// thread, standing for the GUI thread, refreshes: the reader never takes the surface lock,
// and the panel ends with the last fix's speed, heading and position. Run it under
// ThreadSanitizer too.
TEST_F(PanelRefreshTest, TheGpsReaderPublishesAndOnlyTheRefreshTakesTheSurfaceLock) {
    const std::string fixes[] = {
        "$GPRMC,123519,A,4807.038,N,01131.000,E,005.3,084.4,230394,003.1,W*6A\r\n",
        "$GPRMC,123520,A,4807.138,N,01131.200,E,007.1,091.0,230394,003.1,W*6A\r\n",
    };
    app.settings.GPSHeadingType = kGpsPositionFromRmc;
    app.run.speed_from_gps = 1;
    std::mutex takers_mutex;
    std::set<std::thread::id> takers;
    surface.mutex().on_lock = [&] {
        std::lock_guard held(takers_mutex);
        takers.insert(std::this_thread::get_id());
    };
    const GpsReadoutHooks hooks = program.gps_readout_hooks();
    std::atomic<bool> done{false};
    std::thread::id reader_id;
    std::thread reader([&] {
        reader_id = std::this_thread::get_id();
        for (int i = 0; i < 400; ++i) {
            set_gps_line(app.gps.line, fixes[i % 2]);
            dispatch_sentence(gps_context(app), hooks);
            if (i % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        done = true;
    });
    int drawn = 0;
    while (!done) {
        if (program.refresh()) ++drawn;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    reader.join();
    program.refresh();
    surface.mutex().on_lock = nullptr;
    EXPECT_EQ(takers.count(reader_id), 0u) << "the GPS reader took the surface lock";
    EXPECT_GT(drawn, 0);

    const PanelLayout& l = app.panel.layout;
    auto text_in = [&](Rect area) {
        const auto call = surface.last_text_in(area);
        return call ? call->text : std::string();
    };
    EXPECT_EQ(text_in(l.speed_box), "7.1 KTS");
    EXPECT_EQ(text_in(l.heading_box), "091 DEG");
    EXPECT_TRUE(surface.find_text(" 48.07.138 N")) << text_in(l.position_box);
    EXPECT_TRUE(surface.find_text("011.31.200 E")) << text_in(l.position_box);
}

}  // namespace
}  // namespace kelvanor
