// Record reading and the playback step without ping processing: what playback itself costs
// per record, and the record writer's encoder.

#include <benchmark/benchmark.h>

#include <vector>

#include "control/app_state.h"
#include "datafile/playback.h"
#include "sim/survey_recording.h"

namespace {

using namespace kelvanor;

std::vector<uint8_t> synthetic_file(int pings) {
    SurveyRecording recording(SurveyRecordingConfig{});
    std::vector<uint8_t> file;
    RecordStamp stamp;
    RecordBuffer buffer{};
    for (int i = 0; i < pings; ++i) {
        auto reply = recording.next(stamp);
        stamp.previous_record_length = i ? 640 : 0;
        auto n = encode_ping_record(stamp, reply, buffer);
        file.insert(file.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*n));
    }
    return file;
}

void BM_PlaybackStep(benchmark::State& state) {
    const auto file = synthetic_file(256);
    MemoryRecordSource source(file);
    AppState app;
    start_playback(app, source);
    RecordBuffer buffer{};
    PlaybackHooks hooks;
    for (auto _ : state) {
        benchmark::DoNotOptimize(playback_step(app, source, buffer, hooks));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlaybackStep);

void BM_EncodePingRecord(benchmark::State& state) {
    SurveyRecording recording(SurveyRecordingConfig{});
    RecordStamp stamp;
    auto reply = recording.next(stamp);
    RecordBuffer buffer{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(encode_ping_record(stamp, reply, buffer));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodePingRecord);

void BM_SynthesizeReply(benchmark::State& state) {
    SimHead head;
    const auto command = make_switch_command(120, 12, 3, 0, 'G');
    std::array<uint8_t, kSimMaxReplyLength> out{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(synthesize_reply(head, command, out));
        advance_survey(head, 0.4f);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SynthesizeReply);

}  // namespace
