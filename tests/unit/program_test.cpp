#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "control/program.h"
#include "datafile/record_writer.h"
#include "fake_ui.h"
#include "platform/menu_ids.h"
#include "sim/head_sim.h"
#include "sim/survey_recording.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::FakeUi;
using test::TempDir;

// Draws nothing: these tests look at files, state and what the window was asked to show.
class NullSurface final : public Surface {
  public:
    Size size() const override { return {792, 600}; }
    void set_palette(const PaletteEntries&) override {}
    void fill_rect(Rect, PaletteIndex) override {}
    void frame_rect(Rect, PaletteIndex) override {}
    void line(Point, Point, PaletteIndex) override {}
    void ellipse(Rect, PaletteIndex, std::optional<PaletteIndex>) override {}
    void text(Point, std::string_view, PaletteIndex, std::optional<PaletteIndex>) override {}
    Size text_extent(std::string_view t) const override {
        return {8 * static_cast<int>(t.size()), 16};
    }
    void glyph(SystemGlyph, Rect) override {}
    void set_clip(std::optional<Rect>) override {}
    void blit_indexed(Point, Size, const uint8_t*, int) override {}
    Rgb pixel(Point) const override { return {}; }
};

// Counts the pauses that ping processing asks for instead of sleeping.
class CountingClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 1715679000; }
    uint64_t monotonic_ms() override { return now_ms_ += 66; }
    void sleep_ms(int ms) override { slept_ms_ += ms; }
    int slept_ms_ = 0;

  private:
    uint64_t now_ms_ = 0;
};

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// A survey file of `pings` records of 640 bytes.
void write_survey(const std::string& path, int pings, char model = 'G') {
    std::string error;
    std::optional<RecordWriter> writer = RecordWriter::create(path, error);
    ASSERT_TRUE(writer) << error;
    SurveyRecordingConfig config;
    config.model = model;
    SurveyRecording survey(config);
    for (int i = 0; i < pings; ++i) {
        RecordStamp stamp;
        std::span<const uint8_t> reply = survey.next(stamp);
        ASSERT_TRUE(writer->write_ping_record(stamp, reply));
    }
}

// Starting the head port derives the head model from the last reply, as the head link does;
// the calls are counted.
class FakeDevices final : public Devices {
  public:
    explicit FakeDevices(AppState& app) : app_(app) {}
    void start_head_port() override {
        ++starts;
        const bool h = app_.head.head_type_h_flag == 1;
        app_.head.head_type = h ? kHeadTypeH : kHeadTypeG;
        app_.head.samples_per_line = h ? 500 : 400;
        app_.head.reply_length = h ? 513 : 413;
    }
    void stop_head_port() override { ++stops; }
    int starts = 0;
    int stops = 0;

  private:
    AppState& app_;
};

struct ProgramFixture : testing::Test {
    ProgramFixture() : program(app, ui, surface, clock), devices(app) {
        program.set_devices(&devices);
        program.create_image();
    }

    void enter_file_mode(const std::string& path) {
        ui.answer_next_dialog(path);
        app.settings.RunMode = RunMode::File;
        program.run_mode_switch();
    }

    // One live reply from a simulated head as the acquisition thread hands it over.
    void feed_head_reply() {
        std::vector<uint8_t> command =
            make_switch_command(app.head.range_metres, app.settings.SSGain,
                                static_cast<int32_t>(app.settings.channel_code.load()),
                                static_cast<int32_t>(app.settings.Frequency.load()), 'G');
        uint8_t reply[kSimMaxReplyLength];
        const size_t n = synthesize_reply(head, command, reply);
        advance_survey(head, 0.2f);
        program.process_head_reply(reply, n);
    }

    TempDir dir;
    AppState app;
    FakeUi ui;
    NullSurface surface;
    CountingClock clock;
    Program program;
    FakeDevices devices;
    SimHead head;
};

constexpr int64_t kRecord = 640;

TEST_F(ProgramFixture, PlaysAFileToItsEndAndRoundAgain) {
    const std::string path = dir.file("Line1.VKD");
    write_survey(path, 5);
    enter_file_mode(path);
    ASSERT_EQ(app.run.playback_file_open, 1);
    EXPECT_EQ(ui.title(), "Kelvanor Marlinray - Playback of " + path);  // opened by its own name
    ASSERT_TRUE(program.playback_ready());
    for (int i = 0; i < 5; ++i) program.playback_step();
    EXPECT_EQ(app.datafile.playback_offset, 5 * kRecord);
    EXPECT_EQ(app.datafile.playback_percent, 100);
    program.playback_step();  // the end: back to the start, nothing played
    EXPECT_EQ(app.datafile.playback_offset, 0);
    EXPECT_EQ(app.datafile.playback_restart, 1);
    program.playback_step();
    EXPECT_EQ(app.datafile.playback_offset, kRecord);
    EXPECT_EQ(app.datafile.playback_restarted, 1);
    EXPECT_EQ(app.datafile.playback_restart, 0);
}

TEST_F(ProgramFixture, PacingIsLeftToTheWindowTimerAndHoldStopsReading) {
    const std::string path = dir.file("line.vkd");
    write_survey(path, 3);
    enter_file_mode(path);
    app.settings.PlotSpeed = 0;
    EXPECT_EQ(program.playback_pause_ms(), 100);
    program.playback_step();
    EXPECT_EQ(clock.slept_ms_, 0);  // the GUI thread never sleeps
    app.settings.PlotSpeed = 70;
    EXPECT_EQ(program.playback_pause_ms(), 30);
    app.settings.PlotSpeed = 100;
    EXPECT_EQ(program.playback_pause_ms(), 0);

    app.run.hold = 1;
    EXPECT_FALSE(program.playback_ready());
    program.playback_step();
    EXPECT_EQ(app.datafile.playback_offset, kRecord);
    app.run.hold = 0;
    program.playback_step();
    EXPECT_EQ(app.datafile.playback_offset, 2 * kRecord);
}

TEST_F(ProgramFixture, RefusesWrongExtensionsAndFilesWithoutTheMagic) {
    const std::string good = dir.file("good.vkd");
    write_survey(good, 2);
    enter_file_mode(good);
    program.playback_step();

    // A wrong extension leaves the current playback running.
    ui.answer_next_dialog(dir.file("notes.txt"));
    program.command(menu::kPlayback);
    ASSERT_FALSE(ui.boxes().empty());
    EXPECT_EQ(ui.boxes().back().text, "File extension must be .VKD");
    EXPECT_EQ(ui.boxes().back().caption, "Open a Marlinray File For Playback");
    EXPECT_EQ(app.run.playback_file_open, 1);

    // "vkd" in lower case is not the magic.
    const std::string bad = dir.file("bad.vkd");
    test::write_text(bad, std::string("vkd") + std::string(700, '\0'));
    ui.answer_next_dialog(bad);
    program.command(menu::kPlayback);
    EXPECT_EQ(ui.boxes().back().text, "Data type is incorrect --> check file format");
    EXPECT_EQ(app.run.playback_file_open, 0);
    EXPECT_EQ(ui.title(), "Kelvanor Marlinray - [No File]");
    EXPECT_FALSE(program.playback_ready());
}

TEST_F(ProgramFixture, CopyAcrossASliderJumpHoldsWholeRecordsInPlayingOrder) {
    const std::string path = dir.file("source.vkd");
    write_survey(path, 100);
    enter_file_mode(path);
    for (int i = 0; i < 10; ++i) program.playback_step();
    ui.answer_next_dialog(dir.file("Copy.VKD"));
    program.command(menu::kCopy);
    ASSERT_EQ(app.run.copying, 1);
    EXPECT_EQ(ui.label(menu::kCopy), "&Copy Stop...");
    for (int i = 0; i < 5; ++i) program.playback_step();
    program.seek_playback(50);
    for (int i = 0; i < 5; ++i) program.playback_step();
    program.command(menu::kCopy);
    EXPECT_EQ(app.run.copying, 0);
    EXPECT_EQ(ui.label(menu::kCopy), "&Copy Start...");
    EXPECT_EQ(ui.title(), "Kelvanor Marlinray - Playback of " + path);

    const std::vector<uint8_t> source = read_bytes(path);
    const std::vector<uint8_t> copy = read_bytes(dir.file("copy.vkd"));  // created lower-case
    ASSERT_EQ(copy.size(), static_cast<size_t>(10 * kRecord));
    auto record = [](const std::vector<uint8_t>& bytes, int64_t index) {
        return std::vector<uint8_t>(bytes.begin() + index * kRecord,
                                    bytes.begin() + (index + 1) * kRecord);
    };
    for (int i = 0; i < 5; ++i) EXPECT_EQ(record(copy, i), record(source, 10 + i)) << i;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(record(copy, 5 + i), record(source, 50 + i)) << i;
}

TEST_F(ProgramFixture, CopyRefusesTheFileBeingPlayed) {
    const std::string path = dir.file("source.vkd");
    write_survey(path, 3);
    enter_file_mode(path);
    ui.answer_next_dialog(path);
    program.command(menu::kCopy);
    EXPECT_EQ(app.run.copying, 0);
    EXPECT_EQ(read_bytes(path).size(), static_cast<size_t>(3 * kRecord));  // not truncated
}

TEST_F(ProgramFixture, RecordingNamesTheFileInLowerCaseAndShowsItsSize) {
    std::filesystem::create_directory(dir.file("Survey Day"));
    program.run_mode_switch();
    ui.answer_next_dialog(dir.file("Survey Day/Line7.VKD"));
    program.command(menu::kRecord);
    ASSERT_EQ(app.run.recording, 1);
    const std::string created = dir.file("Survey Day/line7.vkd");
    EXPECT_EQ(ui.title(), "Kelvanor Marlinray - Recording to " + created);
    EXPECT_EQ(ui.label(menu::kRecord), "&Record Stop...");
    for (int i = 0; i < 1600; ++i) feed_head_reply();
    EXPECT_EQ(ui.title(), "Kelvanor Marlinray - Recording to " + created + " - 1000 kB");
    program.command(menu::kRecord);
    EXPECT_EQ(app.run.recording, 0);
    EXPECT_EQ(ui.boxes().back().caption, "Close Record File");
    EXPECT_EQ(ui.boxes().back().text, created);
    EXPECT_EQ(read_bytes(created).size(), static_cast<size_t>(1600 * kRecord));
}

TEST_F(ProgramFixture, RecordPauseWritesNothing) {
    program.run_mode_switch();
    ui.answer_next_dialog(dir.file("p.vkd"));
    program.command(menu::kRecord);
    feed_head_reply();
    program.toggle_rec_pause();
    for (int i = 0; i < 5; ++i) feed_head_reply();
    program.toggle_rec_pause();
    feed_head_reply();
    program.stop_recording();
    EXPECT_EQ(read_bytes(dir.file("p.vkd")).size(), static_cast<size_t>(2 * kRecord));
    EXPECT_EQ(program.records_written(), 2);
}

TEST_F(ProgramFixture, AFailingWriteStopsTheRecordingWithAWarning) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    program.run_mode_switch();
    const std::string link = dir.file("full.vkd");
    ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
    ui.answer_next_dialog(link);
    program.command(menu::kRecord);
    ASSERT_EQ(app.run.recording, 1);
    feed_head_reply();
    EXPECT_EQ(app.run.recording, 0);
    std::vector<FakeUi::Box> boxes = ui.boxes();
    ASSERT_GE(boxes.size(), 1u);
    bool warned = false;
    for (const auto& b : boxes) warned = warned || b.caption == "Record File";
    EXPECT_TRUE(warned);
    EXPECT_EQ(program.record_bytes(), 0);
    EXPECT_EQ(ui.label(menu::kRecord), "&Record Start...");
}

TEST_F(ProgramFixture, AFullDiskStopsTheRecordingAfterWholeRecords) {
    int64_t free_bytes = 10'000'000;
    program.set_free_space([&](const std::string&) { return free_bytes; });
    program.run_mode_switch();
    ui.answer_next_dialog(dir.file("disk.vkd"));
    program.command(menu::kRecord);
    for (int i = 0; i < 3; ++i) feed_head_reply();
    free_bytes = 99'999;
    for (int i = 0; i < 3; ++i) feed_head_reply();
    EXPECT_EQ(app.run.recording, 0);
    int warnings = 0;
    for (const auto& b : ui.boxes()) {
        if (b.caption == "CheckAvailableDiskSpace") {
            ++warnings;
            EXPECT_EQ(b.text, "Disk Drive is full.\nData will NOT be recorded.");
        }
    }
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(read_bytes(dir.file("disk.vkd")).size(), static_cast<size_t>(3 * kRecord));

    // Record Start itself refuses a full disk.
    ui.answer_next_dialog(dir.file("again.vkd"));
    program.command(menu::kRecord);
    EXPECT_EQ(app.run.recording, 0);
    EXPECT_EQ(ui.boxes().back().text, "Disk Drive is full.\nData can NOT be recorded.");
    EXPECT_FALSE(std::filesystem::exists(dir.file("again.vkd")));
}

TEST_F(ProgramFixture, HeadModeValuesComeBackAfterPlayingAnHFile) {
    app.settings.SSRange = 2;
    app.settings.SSGain = 9;
    app.settings.SSTrain = ChannelSelection::Starboard;
    program.run_mode_switch();
    const int32_t head_reply_length = app.head.reply_length;
    const std::string path = dir.file("h.vkd");
    write_survey(path, 4, 'H');
    ui.answer_next_dialog(path);
    program.command(menu::kFile);
    EXPECT_TRUE(ui.checked(menu::kFile));
    EXPECT_FALSE(ui.enabled(menu::kRecord));
    EXPECT_FALSE(ui.enabled(menu::kComPorts));
    for (int i = 0; i < 4; ++i) program.playback_step();
    EXPECT_EQ(app.head.reply_length, 513);

    program.command(menu::kHead);
    EXPECT_EQ(app.settings.SSRange, 2);
    EXPECT_EQ(app.settings.SSGain, 9);
    EXPECT_EQ(app.settings.SSTrain, ChannelSelection::Starboard);
    EXPECT_EQ(app.head.reply_length, head_reply_length);
    EXPECT_EQ(app.run.playback_file_open, 0);
    EXPECT_EQ(ui.title(), "Kelvanor Marlinray");
    EXPECT_TRUE(ui.enabled(menu::kRecord));
    EXPECT_FALSE(ui.enabled(menu::kManualSpeed));  // speed from GPS is still on
}

TEST_F(ProgramFixture, ClosingWhileRecordingClosesTheFileAndSavesTheHeadModeRange) {
    app.run.ini_path = dir.file("KELVANOR.INI");
    program.run_mode_switch();
    ui.answer_next_dialog(dir.file("c.vkd"));
    program.command(menu::kRecord);
    feed_head_reply();
    program.close_handling();
    EXPECT_EQ(app.run.recording, 0);
    EXPECT_EQ(read_bytes(dir.file("c.vkd")).size(), static_cast<size_t>(kRecord));
    EXPECT_TRUE(std::filesystem::exists(app.run.ini_path));
}

// Record Stop closes the file before its box waits for OK: pings that arrive while the box
// is up are not written.
TEST_F(ProgramFixture, RecordStopClosesTheFileBeforeTheBoxWaits) {
    program.run_mode_switch();
    ui.answer_next_dialog(dir.file("stop.vkd"));
    program.command(menu::kRecord);
    for (int i = 0; i < 2; ++i) feed_head_reply();
    int32_t recording_under_box = -1;
    ui.while_box_shown = [&](std::string_view caption) {
        if (caption != "Close Record File") return;
        recording_under_box = app.run.recording;
        for (int i = 0; i < 3; ++i) feed_head_reply();
    };
    program.command(menu::kRecord);
    ui.while_box_shown = nullptr;
    EXPECT_EQ(recording_under_box, 0);
    EXPECT_EQ(read_bytes(dir.file("stop.vkd")).size(), static_cast<size_t>(2 * kRecord));
    EXPECT_EQ(ui.boxes().back().text, dir.file("stop.vkd"));
}

TEST_F(ProgramFixture, PlaybackDialogStartsWithTheLastFileChosen) {
    const std::string first = dir.file("first.vkd");
    const std::string second = dir.file("second.vkd");
    write_survey(first, 2);
    write_survey(second, 2);
    enter_file_mode(first);
    ui.answer_next_dialog(second);
    program.command(menu::kFile);  // in FILE mode: the dialog again
    ui.answer_next_dialog(std::nullopt);
    program.command(menu::kFile);
    EXPECT_EQ(ui.dialog_initial_paths(), (std::vector<std::string>{"", first, second}));
}

// Both modes show the stamp of their own pings in the date and time box, and a switch of
// run mode empties the box until the new mode's first ping.
TEST_F(ProgramFixture, DateAndTimeFollowThePingsOfTheModeInForce) {
    auto shown = [this] { return std::string(app.panel.date_time_shown.data()); };
    auto stamp = [this](const char* text, int32_t seconds) {
        std::snprintf(app.head.date_time_text.data(), app.head.date_time_text.size(), "%s", text);
        app.head.time_seconds = seconds;
    };
    program.run_mode_switch();
    // Ping processing publishes the time; the window's refresh draws it.
    stamp("14-MAY-2024  09:30:01", 1);
    feed_head_reply();
    program.refresh();
    EXPECT_EQ(shown(), "14-MAY-2024  09:30:01");
    stamp("14-MAY-2024  09:30:02", 2);
    feed_head_reply();
    program.refresh();
    EXPECT_EQ(shown(), "14-MAY-2024  09:30:02");

    const std::string path = dir.file("t.vkd");
    write_survey(path, 3);
    enter_file_mode(path);
    EXPECT_EQ(shown(), "");
    program.playback_step();
    program.refresh();
    const std::string played = shown();
    EXPECT_FALSE(played.empty());
    EXPECT_NE(played, "14-MAY-2024  09:30:02");

    program.command(menu::kHead);
    EXPECT_EQ(shown(), "") << "the played file's time stays after FILE to HEAD";
    stamp("14-MAY-2024  09:31:00", 0);
    feed_head_reply();
    program.refresh();
    EXPECT_EQ(shown(), "14-MAY-2024  09:31:00");
}

// A record folder whose free space cannot be asked is reported with the reason, at Record
// Start and while recording; it is not called a full disk.
TEST_F(ProgramFixture, AFreeSpaceQueryThatFailsIsReportedAsItself) {
    int64_t free_bytes = -EACCES;
    program.set_free_space([&](const std::string&) { return free_bytes; });
    program.run_mode_switch();
    ui.answer_next_dialog(dir.file("no.vkd"));
    program.command(menu::kRecord);
    EXPECT_EQ(app.run.recording, 0);
    EXPECT_EQ(ui.boxes().back().text, "The free space of the record folder cannot be checked:\n" +
                                          std::string(std::strerror(EACCES)) +
                                          "\nData can NOT be recorded.");

    free_bytes = 10'000'000;
    ui.answer_next_dialog(dir.file("io.vkd"));
    program.command(menu::kRecord);
    ASSERT_EQ(app.run.recording, 1);
    feed_head_reply();
    free_bytes = -EIO;
    feed_head_reply();
    EXPECT_EQ(app.run.recording, 0);
    bool reported = false;
    for (const auto& b : ui.boxes()) {
        EXPECT_EQ(b.text.find("Disk Drive is full"), std::string::npos) << b.text;
        reported = reported || b.text.find(std::strerror(EIO)) != std::string::npos;
    }
    EXPECT_TRUE(reported);
    EXPECT_EQ(read_bytes(dir.file("io.vkd")).size(), static_cast<size_t>(kRecord));
}

}  // namespace
}  // namespace kelvanor
