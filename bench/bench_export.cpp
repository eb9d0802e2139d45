// XTF export of long recordings: pings per second through the whole streaming pass (record
// reading, track building, XTF encoding, file writing), and the process's peak memory, which
// stays flat when the recording grows tenfold.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "datafile/record_source.h"
#include "export/recording_export.h"
#include "sim/survey_recording.h"

namespace {

using namespace kelvanor;
namespace fs = std::filesystem;

fs::path work_folder() {
    static const fs::path folder = [] {
        fs::path p =
            fs::temp_directory_path() / ("kelvanor-bench-export-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

// A synthetic survey of `pings` pings written to a file once per size.
std::string recording_of(int64_t pings) {
    static std::map<int64_t, std::string> made;
    if (auto it = made.find(pings); it != made.end()) return it->second;
    const std::string path =
        (work_folder() / ("survey-" + std::to_string(pings) + ".vkd")).string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    SurveyRecording recording(SurveyRecordingConfig{});
    RecordStamp stamp;
    RecordBuffer buffer{};
    for (int64_t i = 0; i < pings; ++i) {
        auto reply = recording.next(stamp);
        stamp.previous_record_length = i ? 640 : 0;
        auto n = encode_ping_record(stamp, reply, buffer);
        std::fwrite(buffer.data(), 1, *n, out);
    }
    std::fclose(out);
    made[pings] = path;
    return path;
}

double peak_rss_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ExportXtf(benchmark::State& state) {
    const int64_t pings = state.range(0);
    const std::string input = recording_of(pings);
    ExportSettings settings;
    settings.xtf_path = (work_folder() / "out.xtf").string();
    int64_t exported = 0;
    for (auto _ : state) {
        std::string error;
        auto file = PosixRecordFile::open(input, error);
        const ExportReport report = export_recording(*file, settings);
        exported = report.xtf_pings;
        benchmark::DoNotOptimize(report);
    }
    if (exported != pings) state.SkipWithError("not every ping was exported");
    // Per second of CPU time: pings per core, whatever else the machine runs.
    state.counters["pings_per_cpu_second"] = benchmark::Counter(
        static_cast<double>(pings), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_rss_mb"] = peak_rss_mb();
    state.counters["xtf_mb"] = static_cast<double>(fs::file_size(settings.xtf_path)) / 1e6;
}
BENCHMARK(BM_ExportXtf)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(work_folder(), ec);
    return 0;
}
