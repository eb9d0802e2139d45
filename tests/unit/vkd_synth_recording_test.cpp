#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/playback.h"
#include "datafile/record_writer.h"
#include "sim/survey_recording.h"
#include "test_support.h"

namespace kelvanor {
namespace {

struct Written {
    RecordStamp stamp;
    std::vector<uint8_t> reply;
};

// Writes a synthetic recording as `vkd synth` does and returns what went into it.
std::vector<Written> write_recording(const std::string& path, const SurveyRecordingConfig& config,
                                     int pings) {
    std::string error;
    auto writer = RecordWriter::create(path, error);
    EXPECT_TRUE(writer) << error;
    SurveyRecording recording(config);
    std::vector<Written> written;
    for (int i = 0; i < pings; ++i) {
        Written w;
        auto reply = recording.next(w.stamp);
        w.reply.assign(reply.begin(), reply.end());
        EXPECT_TRUE(writer->write_ping_record(w.stamp, reply));
        written.push_back(std::move(w));
    }
    return written;
}

TEST(VkdSynthRecording, ReadsBackFieldForField) {
    for (char model : {'G', 'H'}) {
        test::TempDir dir;
        const std::string path = dir.file("synth.vkd");
        SurveyRecordingConfig config;
        config.model = model;
        config.range_metres = model == 'H' ? 240 : 30;
        config.channel_code = 2;
        config.gain = 9;
        config.speed_knots = 5.5f;
        const auto written = write_recording(path, config, 40);

        std::string error;
        auto file = PosixRecordFile::open(path, error);
        ASSERT_TRUE(file) << error;
        AppState app;
        ASSERT_TRUE(start_playback(app, *file));
        RecordBuffer buffer{};
        for (size_t i = 0; i < written.size(); ++i) {
            const Written& w = written[i];
            RecordRead read = read_record(*file, buffer);
            ASSERT_EQ(read.status, RecordReadStatus::Read) << i;
            EXPECT_EQ(read.limits.record_length, 640u);
            EXPECT_EQ(read.limits.reply_length, model == 'H' ? 513u : 413u);
            EXPECT_EQ(read_be16(buffer.data() + 638), i == 0 ? 640 : 1280);
            apply_record(app, buffer, read.limits);
            const HeadState& head = app.head;
            EXPECT_STREQ(head.date_text.data(), w.stamp.date_text.data());
            EXPECT_STREQ(head.time_text.data(), w.stamp.time_text.data());
            EXPECT_EQ(std::string(head.position_text.data(), 24),
                      std::string(w.stamp.position_text.data(), 24));
            EXPECT_EQ(app.datafile.file_position_valid, 1);
            EXPECT_EQ(app.ping.ping_interval_ms, w.stamp.ping_interval_ms);
            EXPECT_FLOAT_EQ(
                app.run.speed_knots,
                static_cast<float>(static_cast<int>(w.stamp.speed_knots * 10.0f) * 0.1));
            EXPECT_FLOAT_EQ(
                app.run.heading_degrees,
                static_cast<float>(static_cast<int>(w.stamp.heading_degrees * 10.0f) / 10));
            EXPECT_EQ(app.settings.SSGain, 9);
            EXPECT_EQ(app.datafile.file_side, 1);  // port
            EXPECT_EQ(app.datafile.file_channel_balance, 30);
            EXPECT_EQ(app.settings.file_frequency, FrequencyBand::Low);
            EXPECT_EQ(head.head_type, model);
            EXPECT_EQ(head.samples_per_line, model == 'H' ? 500 : 400);
            EXPECT_EQ(head.head_reply[7], config.range_metres);  // metres, as recorded
            EXPECT_TRUE(std::equal(w.reply.begin(), w.reply.end(), head.head_reply.begin()));
        }
        EXPECT_EQ(read_record(*file, buffer).status, RecordReadStatus::EndOfFile);
    }
}

TEST(VkdSynthRecording, TrackMovesAndPositionTextsKeepTheirForm) {
    SurveyRecordingConfig config;
    config.speed_knots = 8.0f;
    SurveyRecording recording(config);
    RecordStamp first;
    recording.next(first);
    RecordStamp stamp;
    for (int i = 0; i < 600; ++i) recording.next(stamp);
    EXPECT_TRUE(position_text_is_valid(stamp.position_text));
    EXPECT_NE(std::string(stamp.position_text.data(), 24),
              std::string(first.position_text.data(), 24));
    EXPECT_STRNE(stamp.time_text.data(), first.time_text.data());
    EXPECT_EQ(std::string(format_position_text(-(33 * 60 + 5.5), -(151 * 60 + 0.25)).data(), 24),
              " 33.05.500 S151.00.250 W");
}

}  // namespace
}  // namespace kelvanor

#include "ping/process_ping.h"
#include "platform/clock.h"

namespace kelvanor {
namespace {

class StillClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 0; }
    uint64_t monotonic_ms() override { return 0; }
    void sleep_ms(int milliseconds) override { slept_ms += milliseconds; }
    int slept_ms = 0;
};

TEST(VkdSynthRecording, PlaysThroughThePingPipelineAsAnHHeadRecording) {
    test::TempDir dir;
    const std::string path = dir.file("h.vkd");
    SurveyRecordingConfig config;
    config.model = 'H';
    config.range_metres = 90;
    write_recording(path, config, 5);

    std::string error;
    auto file = PosixRecordFile::open(path, error);
    ASSERT_TRUE(file) << error;
    AppState app;
    app.settings.RunMode = RunMode::File;
    app.head.head_type = 'G';  // as a 'G' head left it
    PingHooks ping_hooks;
    StillClock clock;
    const PlaybackHooks hooks = pipeline_playback_hooks(ping_hooks, clock);
    ASSERT_TRUE(start_playback(app, *file));
    RecordBuffer buffer{};
    int accepted = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(playback_step(app, *file, buffer, hooks), PlaybackStep::Played);
        accepted += app.head.reply_valid;
    }
    EXPECT_EQ(accepted, 5);
    EXPECT_EQ(app.head.head_type, 'H');
    EXPECT_EQ(app.settings.SSRange, 3);  // 90 m from the played reply
    EXPECT_EQ(playback_step(app, *file, buffer, hooks), PlaybackStep::Wrapped);
}

}  // namespace
}  // namespace kelvanor
