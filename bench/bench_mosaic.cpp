// Mosaics of long surveys at the default cell: pings per second through both passes (record
// reading, track building, placing every sample, adding up the tiles, writing the
// Cloud-Optimized GeoTIFF), pings per CPU second, and the peak memory of the run, which stays
// flat when the survey grows fourfold.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "datafile/record_source.h"
#include "export/mosaic.h"
#include "sim/survey_recording.h"

namespace {

using namespace kelvanor;
namespace fs = std::filesystem;

fs::path work_folder() {
    static const fs::path folder = [] {
        fs::path p =
            fs::temp_directory_path() / ("kelvanor-bench-mosaic-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

// A survey of `pings` pings at 37 S: 1 km lines 100 m apart, joined by turns, with a fix
// a second; written to a file once per size.
std::string survey_of(int64_t pings) {
    static std::map<int64_t, std::string> made;
    if (auto it = made.find(pings); it != made.end()) return it->second;
    const std::string path =
        (work_folder() / ("survey-" + std::to_string(pings) + ".vkd")).string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    SurveyRecordingConfig config;
    config.start_latitude_minutes = -37.8 * 60.0;
    config.start_longitude_minutes = 145.0 * 60.0;
    config.heading_degrees = 0.0;
    config.line_length_metres = 1000.0;
    config.line_spacing_metres = 100.0;
    config.fix_interval_ms = 1000;
    SurveyRecording recording(config);
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

// The peak resident memory since the last reset, in MB (VmHWM).
double peak_rss_mb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

void reset_peak_rss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_Mosaic(benchmark::State& state) {
    const int64_t pings = state.range(0);
    const std::string input = survey_of(pings);
    const std::string output = (work_folder() / "mosaic.tif").string();
    MosaicOptions options;
    options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    reset_peak_rss();
    const double cpu_before = cpu_seconds();
    int64_t placed = 0;
    MosaicGrid grid;
    for (auto _ : state) {
        const MosaicReport report = make_mosaic({input}, output, options);
        if (!report.written) state.SkipWithError(report.error.c_str());
        placed = report.placed;
        grid = report.grid;
    }
    const double cpu = cpu_seconds() - cpu_before;
    if (placed < pings * 99 / 100) state.SkipWithError("pings were left out");
    state.counters["pings_per_second"] = benchmark::Counter(
        static_cast<double>(pings), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pings_per_cpu_second"] =
        static_cast<double>(pings) * static_cast<double>(state.iterations()) / cpu;
    state.counters["peak_rss_mb"] = peak_rss_mb();
    state.counters["cells_millions"] = static_cast<double>(grid.columns * grid.rows) / 1e6;
    state.counters["cog_mb"] = static_cast<double>(fs::file_size(output)) / 1e6;
}
BENCHMARK(BM_Mosaic)
    ->Arg(50000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(work_folder(), ec);
    return 0;
}
