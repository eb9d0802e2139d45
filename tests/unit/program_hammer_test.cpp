// The program's commands hammered while a simulated head pings at the fastest range: the
// run-mode switch, Record Start and Stop, REC Pause and the restart of the head port that the
// ComPort dialog's Ok makes, all on this (the GUI) thread, while the real acquisition thread
// reads replies from a pseudo-terminal and writes records. Nothing may hang, every record file
// must hold whole, valid records in a consistent chain, and no accepted ping may go missing
// from the file that was open when it arrived. Meant to run under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "control/link_devices.h"
#include "control/program.h"
#include "datafile/ping_record.h"
#include "datafile/record_writer.h"
#include "fake_ui.h"
#include "headlink_test_support.h"
#include "memory_surface.h"
#include "platform/menu_ids.h"
#include "sim/survey_recording.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::FakeUi;
using test::MemorySurface;
using test::SimulatedHead;
using test::TempDir;
using test::wait_until;

constexpr size_t kRecordBytes = 640;

// Counts the records ping processing asks for; the count is what the files must hold, give
// or take the one ping in flight at each Record Stop.
class CountingProgram final : public Program {
  public:
    using Program::Program;
    void write_ping_record() override {
        Program::write_ping_record();
        asked.fetch_add(1);
    }
    void update_ping_indicator(bool valid) override {
        Program::update_ping_indicator(valid);
        if (valid) valid_pings.fetch_add(1);
    }
    std::atomic<int64_t> asked{0};
    std::atomic<int64_t> valid_pings{0};
};

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// Whole records only, each one a valid 'G' reply behind its header, the back-links chained.
// Returns the number of records; failures are reported as test failures.
int64_t check_record_file(const std::string& path) {
    const std::vector<uint8_t> bytes = read_bytes(path);
    EXPECT_EQ(bytes.size() % kRecordBytes, 0u) << path << " ends inside a record";
    const size_t records = bytes.size() / kRecordBytes;
    for (size_t i = 0; i < records; ++i) {
        const uint8_t* r = bytes.data() + i * kRecordBytes;
        SCOPED_TRACE(path + " record " + std::to_string(i));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r), 3), "VKD");
        EXPECT_EQ(read_be16(r + 4), kRecordBytes);
        const uint16_t reply_length = read_be16(r + 6);
        EXPECT_EQ(reply_length, 413);
        if (reply_length != 413) return static_cast<int64_t>(records);
        const uint8_t* reply = r + kRecordHeaderLength;
        EXPECT_EQ(reply[0], 'Q');
        EXPECT_EQ(reply[1], 'G');
        EXPECT_EQ(reply[2], 'Z');
        EXPECT_EQ(reply[7], 15) << "the range code is stored as metres";
        EXPECT_EQ(reply[reply_length - 1], 0xFC);
        EXPECT_EQ(read_be16(r + kRecordBytes - 2), i == 0 ? kRecordBytes : 2 * kRecordBytes);
        if (::testing::Test::HasFailure()) return static_cast<int64_t>(records);
    }
    return static_cast<int64_t>(records);
}

struct ProgramHammer : testing::Test {
    ProgramHammer()
        : head(head_options()), program(app, ui, surface, clock), devices(program, clock, ui) {}

    static HeadServerOptions head_options() {
        HeadServerOptions o;
        o.ping_ms = -1;  // the sound's round trip: about 25 ms at 15 m
        return o;
    }

    void SetUp() override {
        ASSERT_TRUE(head.ok()) << head.error();
        app.run.ini_path = dir.file("KELVANOR.INI");
        app.settings.RunMode = RunMode::Head;
        app.settings.SSRange = 0;  // 15 m, the fastest pings
        app.settings.ComPort = 0;
        std::vector<std::string> problems;
        set_up_ports(app, {"COM1=" + head.path()}, dir.file("no-sysfs"), problems);
        ASSERT_TRUE(problems.empty());
        // A file to play during the FILE-mode visits.
        std::string error;
        std::optional<RecordWriter> writer = RecordWriter::create(dir.file("play.vkd"), error);
        ASSERT_TRUE(writer) << error;
        SurveyRecording survey(SurveyRecordingConfig{});
        for (int i = 0; i < 50; ++i) {
            RecordStamp stamp;
            ASSERT_TRUE(writer->write_ping_record(stamp, survey.next(stamp)));
        }
        writer->close();

        program.set_devices(&devices);
        program.create_image();
        program.run_mode_switch();
    }

    void TearDown() override { program.close_handling(); }

    bool wait_for_pings(int64_t more, int timeout_ms = 15000) {
        const int64_t target = program.valid_pings + more;
        return wait_until([&] { return program.valid_pings >= target; }, timeout_ms);
    }

    void record_start() {
        const std::string path = dir.file("rec" + std::to_string(files.size()) + ".vkd");
        ui.answer_next_dialog(path);
        program.command(menu::kRecord);
        ASSERT_EQ(app.run.recording, 1);
        files.push_back(path);
    }

    void record_stop() {
        program.command(menu::kRecord);
        ++stops;
    }

    TempDir dir;
    SimulatedHead head;
    AppState app;
    FakeUi ui;
    MemorySurface surface;
    SystemClock clock;
    CountingProgram program;
    LinkDevices devices;
    std::vector<std::string> files;
    int64_t stops = 0;
};

TEST_F(ProgramHammer, CommandsUnderFastPingsNeitherHangNorLoseRecords) {
    ASSERT_TRUE(wait_for_pings(5)) << "the head link did not start";
    std::mt19937 random(7);
    auto pause = [&] { std::this_thread::sleep_for(std::chrono::milliseconds(random() % 200)); };
    int64_t paused_asks = 0;
    int64_t pauses = 0;
    for (int turn = 0; turn < 80; ++turn) {
        SCOPED_TRACE("turn " + std::to_string(turn));
        const auto started = std::chrono::steady_clock::now();
        switch (random() % 14) {
            default:  // most often: Record Start or Stop
                if (app.run.recording == 1) {
                    record_stop();
                } else {
                    record_start();
                }
                break;
            case 11:  // ComPort Setup's Ok: the head link restarts on its port
                program.stop_head();
                program.start_head();
                break;
            case 12: {  // a visit to FILE mode, a few records played, and back
                if (app.run.recording == 1) ++stops;  // the switch stops it
                ui.answer_next_dialog(dir.file("play.vkd"));
                program.command(menu::kFile);
                ASSERT_EQ(app.run.recording, 0);
                for (int i = 0; i < 3; ++i) program.playback_step();
                program.command(menu::kHead);
                break;
            }
            case 10:
                if (app.run.recording == 1) {
                    const int64_t before = program.asked;
                    program.toggle_rec_pause();
                    pause();
                    program.toggle_rec_pause();
                    paused_asks += program.asked - before;
                    ++pauses;
                }
                break;
            case 13:
                if (app.run.recording == 1) ++stops;
                program.run_mode_switch();  // HEAD to HEAD through the closed state
                ASSERT_EQ(app.run.recording, 0);
                break;
        }
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_LT(took, std::chrono::seconds(5)) << "a command took too long";
        pause();
    }
    // A ping that passed the REC Pause test just before the toggle may still be written.
    EXPECT_LE(paused_asks, pauses) << "REC Pause must keep ping processing from writing";

    // The link still pings after all that, and a last recording gets its records.
    ASSERT_TRUE(wait_for_pings(10)) << "no pings after the commands";
    if (app.run.recording == 0) record_start();
    ASSERT_TRUE(wait_until([&] { return program.record_bytes() >= 10 * 640; }, 15000));
    record_stop();
    program.stop_head();  // no ping in flight any more

    int64_t records = 0;
    for (const std::string& f : files) records += check_record_file(f);
    ASSERT_FALSE(HasFailure());
    EXPECT_GT(records, 0);
    // Every record asked for while a file was open is in it; the only ones that may be missing
    // are those that found the recording stopped between the flag test and the write.
    EXPECT_LE(records, program.asked.load());
    EXPECT_GE(records, program.asked.load() - stops - 1);
    for (const FakeUi::Box& box : ui.boxes()) {
        EXPECT_EQ(box.caption, "Close Record File") << box.text;
    }
}

}  // namespace
}  // namespace kelvanor
