// The whole ping pipeline without a screen: how many recorded pings per second playback turns
// into waterfall columns, and what one ping costs when speed correction makes it a dozen
// columns.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "control/app_state.h"
#include "datafile/playback.h"
#include "datafile/record_source.h"
#include "datafile/render_file.h"
#include "ping/process_ping.h"
#include "platform/clock.h"
#include "sim/survey_recording.h"

namespace kelvanor {
namespace {

// A synthetic recording as `vkd synth` writes it (60 m, both sides, 4 knots), in memory.
const std::vector<uint8_t>& recording_of_10000_pings() {
    static const std::vector<uint8_t> file = [] {
        SurveyRecording recording(SurveyRecordingConfig{});
        std::vector<uint8_t> bytes;
        RecordStamp stamp;
        RecordBuffer buffer{};
        for (int i = 0; i < 10000; ++i) {
            const auto reply = recording.next(stamp);
            stamp.previous_record_length = i == 0 ? 0 : 640;
            const auto n = encode_ping_record(stamp, reply, buffer);
            if (n) bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + *n);
        }
        return bytes;
    }();
    return file;
}

// Record reading, echo conversion, ping processing and column drawing of the whole file, as
// `vkd render` does it; items are pings.
void BM_PlayFileThroughPipeline(benchmark::State& state) {
    const std::vector<uint8_t>& file = recording_of_10000_pings();
    FileRenderOptions options;
    options.speed_correction = state.range(0) != 0;
    int64_t pings = 0;
    for (auto _ : state) {
        MemoryRecordSource source(file);
        AppState app;
        const auto result = render_file(app, source, options);
        if (!result || result->played != 10000) {
            state.SkipWithError("the recording did not play whole");
            break;
        }
        pings += result->played;
    }
    state.SetItemsProcessed(pings);
}
BENCHMARK(BM_PlayFileThroughPipeline)
    ->ArgName("speed_correction")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

class SteppingClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 0; }
    uint64_t monotonic_ms() override { return now_ms += 66; }  // one 15 m ping apart
    void sleep_ms(int) override {}
    uint64_t now_ms = 0;
};

// Counts the columns drawn, so the figure says how many columns one ping became.
class CountingHooks final : public PingHooks {
  public:
    int draw_ping(const PingContext& app, const ColumnRequest& request) override {
        const int moved = PingHooks::draw_ping(app, request);
        columns += moved;
        return moved;
    }
    int64_t columns = 0;
};

// One live ping at 15 m, starboard only, 10 knots with speed correction on: a 'G' head's reply
// handed over as the acquisition thread does, the ping rate measured from 66 ms between
// replies. That is about 11.3 columns per ping, so a dozen columns drawn (and in-between
// columns averaged) per call.
void BM_ProcessHeadReply15mStbd10Knots(benchmark::State& state) {
    SimHead head;
    const auto command = make_switch_command(15, 12, 1, 0, 'G');
    std::array<uint8_t, kSimMaxReplyLength> reply{};
    const size_t length = synthesize_reply(head, command, reply);

    AppState app;
    Settings& s = app.settings;
    s.RunMode = RunMode::Head;
    s.SpeedCorrection = true;
    s.SSRange = 0;
    s.SSTrain = ChannelSelection::Starboard;
    s.channel_code = ChannelCode::Starboard;
    app.head.head_type = kHeadTypeG;
    app.head.reply_length = static_cast<int32_t>(length);
    app.head.range_metres = 15;
    app.head.metres_per_sample = 15.0f / 500.0f;
    app.run.speed_knots = 10.0f;
    CountingHooks hooks;
    SteppingClock clock;
    // Ten replies for the first measured ping rate.
    for (int i = 0; i < 10; ++i) process_head_reply(app, hooks, clock, reply.data(), length);
    hooks.columns = 0;
    for (auto _ : state) {
        process_head_reply(app, hooks, clock, reply.data(), length);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["columns_per_ping"] = benchmark::Counter(
        static_cast<double>(hooks.columns) / static_cast<double>(state.iterations()));
    state.counters["ping_interval_ms"] = app.ping.ping_interval_ms.load();
}
BENCHMARK(BM_ProcessHeadReply15mStbd10Knots);

// The same ping played from a record. A record carries speeds up to 9.9 knots (a tenth of a
// knot in one byte below 100), so it is played at 9.9: about 11.2 columns per ping.
void BM_ProcessPlayedPing15mStbd9_9Knots(benchmark::State& state) {
    SurveyRecordingConfig config;
    config.range_metres = 15;
    config.channel_code = 1;
    config.speed_knots = 9.9f;  // the first ping of the track is at exactly this speed
    SurveyRecording recording(config);
    RecordStamp stamp;
    const auto reply = recording.next(stamp);
    RecordBuffer buffer{};
    const auto n = encode_ping_record(stamp, reply, buffer);
    const std::vector<uint8_t> file(buffer.begin(), buffer.begin() + n.value_or(0));
    MemoryRecordSource source(file);

    AppState app;
    app.settings.RunMode = RunMode::File;
    app.settings.PlotSpeed = 100;
    app.settings.SpeedCorrection = true;
    const RecordRead read = read_record(source, buffer);
    if (read.status != RecordReadStatus::Read) {
        state.SkipWithError("no record");
        return;
    }
    apply_record(app, buffer, read.limits);
    CountingHooks hooks;
    SteppingClock clock;
    process_ping(app, hooks, clock);  // the first ping sets up the read-outs and the layout
    hooks.columns = 0;
    for (auto _ : state) {
        process_ping(app, hooks, clock);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["columns_per_ping"] = benchmark::Counter(
        static_cast<double>(hooks.columns) / static_cast<double>(state.iterations()));
    state.counters["channel_code"] = static_cast<double>(app.settings.channel_code.load());
    state.counters["speed_knots"] = app.run.speed_knots.load();
}
BENCHMARK(BM_ProcessPlayedPing15mStbd9_9Knots);

}  // namespace
}  // namespace kelvanor
