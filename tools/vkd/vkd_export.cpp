// vkd export: recordings to survey products. XTF for side-scan post-processing, and the
// navigation track as GPX, KML, GeoJSON, GeoPackage or CSV. Several files run in parallel,
// one file per thread; a damaged file exports its good records, is reported, and does not
// stop the others.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "datafile/ping_record.h"
#include "export/recording_export.h"
#include "export/track_writer.h"
#include "vkd_commands.h"

namespace kelvanor::vkd {

namespace {

namespace fs = std::filesystem;

struct ExportOptions {
    std::vector<std::string> inputs;
    std::string xtf;
    std::string track;
    std::string track_format = "gpx";
    double utc_offset_hours = 0.0;
    double layback_metres = 0.0;
    double offset_forward_metres = 0.0;
    double offset_starboard_metres = 0.0;
    float low_khz = 0.0f;
    float high_khz = 0.0f;
    double max_fix_gap_seconds = 5.0;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
};

bool is_folder_argument(const std::string& path) {
    std::error_code ec;
    return (!path.empty() && path.back() == '/') || fs::is_directory(path, ec);
}

// The data files named: files as given, folders as the .VKD files in them (sorted).
std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    for (const std::string& in : inputs) {
        std::error_code ec;
        if (!fs::is_directory(in, ec)) {
            files.push_back(in);
            continue;
        }
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(in, ec)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (ext == ".vkd" && entry.is_regular_file(ec)) found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

std::string output_in_folder(const std::string& folder, const std::string& input,
                             const char* extension) {
    return (fs::path(folder) / fs::path(input).stem()).string() + "." + extension;
}

struct Job {
    std::string input;
    std::string xtf_path;
    int64_t size = 0;
    std::atomic<int64_t> bytes_done{0};
    bool done = false;
    std::string open_error;
    ExportReport report;
};

void run_job(Job& job, const ExportSettings& common) {
    std::string error;
    auto file = PosixRecordFile::open(job.input, error);
    if (file) {
        uint8_t magic[3] = {};
        if (file->read(magic) < sizeof magic ||
            !std::equal(kRecordMagic.begin(), kRecordMagic.end(), magic)) {
            error = "not a data file (it does not start with \"VKD\")";
            file.reset();
        } else {
            file->seek(0);
        }
    }
    if (!file) {
        job.open_error = error;
        return;
    }
    job.size = file->size();
    ExportSettings settings = common;
    settings.xtf_path = job.xtf_path;
    settings.xtf.file_name = fs::path(job.xtf_path).filename().string();
    settings.progress = [&job](int64_t bytes) { job.bytes_done = bytes; };
    job.report = export_recording(*file, settings);
}

int export_files(const ExportOptions& o) {
    if (o.xtf.empty() && o.track.empty()) {
        return usage_error("nothing to export: give --xtf OUT and/or --track OUT");
    }
    const std::vector<std::string> inputs = expand_inputs(o.inputs);
    if (inputs.empty()) return usage_error("no data file found in the folders given");
    const bool xtf_folder = !o.xtf.empty() && (is_folder_argument(o.xtf) || inputs.size() > 1);
    if (!o.xtf.empty() && inputs.size() > 1 && !is_folder_argument(o.xtf)) {
        return usage_error("--xtf must name a folder (ending in /) when exporting several files");
    }
    const bool track_folder = !o.track.empty() && is_folder_argument(o.track);
    std::optional<TrackFormat> track_format;
    if (!o.track.empty()) {
        track_format = track_folder ? track_format_for_path("x." + o.track_format)
                                    : track_format_for_path(o.track);
        if (!track_format) {
            return usage_error(
                "--track must end in .gpx, .kml, .geojson, .gpkg or .csv, or name a "
                "folder (ending in /)");
        }
    }
    std::error_code ec;
    for (const auto& [wanted, folder] : {std::pair{xtf_folder, o.xtf}, {track_folder, o.track}}) {
        if (wanted && !fs::is_directory(folder, ec) && !fs::create_directories(folder, ec)) {
            return file_error(folder, "cannot be created: " + ec.message());
        }
    }

    std::vector<std::unique_ptr<Job>> jobs;
    std::set<std::string> outputs;
    for (const std::string& input : inputs) {
        auto job = std::make_unique<Job>();
        job->input = input;
        if (!o.xtf.empty()) {
            job->xtf_path = xtf_folder ? output_in_folder(o.xtf, input, "xtf") : o.xtf;
            if (!outputs.insert(job->xtf_path).second) {
                return usage_error("two inputs would both be written to " + job->xtf_path);
            }
        }
        jobs.push_back(std::move(job));
    }

    ExportSettings common;
    common.xtf.utc_offset_hours = o.utc_offset_hours;
    common.xtf.offsets = {o.offset_forward_metres, o.offset_starboard_metres, o.layback_metres};
    common.xtf.low_frequency_khz = o.low_khz;
    common.xtf.high_frequency_khz = o.high_khz;
    common.track.max_fix_gap_seconds = o.max_fix_gap_seconds;
    common.keep_rows = track_format == TrackFormat::Csv;

    std::unique_ptr<TrackWriter> combined;
    if (track_format && !track_folder) {
        std::string error;
        combined = TrackWriter::create(o.track, *track_format, error);
        if (!combined) return file_error(o.track, error);
    }

    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            run_job(*jobs[i], common);
            std::lock_guard lock(mutex);
            jobs[i]->done = true;
            finished.notify_all();
        }
    };
    const unsigned threads = std::clamp<unsigned>(o.jobs, 1, static_cast<unsigned>(jobs.size()));
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);

    const bool progress = ::isatty(STDERR_FILENO) == 1;
    bool failed = false;
    auto report_file = [&](Job& job) {
        if (!job.open_error.empty()) {
            file_error(job.input, job.open_error);
            failed = true;
            return;
        }
        const ExportReport& r = job.report;
        std::string line = job.input + ": " + std::to_string(r.pings) + " pings, " +
                           std::to_string(r.without_position) + " without position";
        if (!job.xtf_path.empty() && r.output_error.empty()) line += " -> " + job.xtf_path;
        std::printf("%s\n", line.c_str());
        if (r.damaged()) {
            file_error(job.input, r.problems());
            failed = true;
        }
        if (!track_format) return;
        std::string error;
        const std::string name = fs::path(job.input).filename().string();
        if (combined) {
            if (!combined->add(name, r.track, error)) {
                file_error(o.track, error);
                failed = true;
            }
        } else {
            const std::string path =
                output_in_folder(o.track, job.input, track_format_extension(*track_format));
            auto writer = TrackWriter::create(path, *track_format, error);
            if (!writer || !writer->add(name, r.track, error) || !writer->close(error)) {
                file_error(path, error);
                failed = true;
            }
        }
    };

    // Results are reported and tracks written in the order of the inputs, whatever order
    // the threads finish in, so the outputs do not depend on timing.
    size_t reported = 0;
    while (reported < jobs.size()) {
        std::unique_lock lock(mutex);
        finished.wait_for(lock, std::chrono::milliseconds(200),
                          [&] { return jobs[reported]->done; });
        if (progress) {
            int64_t total = 0, done = 0;
            for (const auto& j : jobs) {
                total += std::max<int64_t>(j->size, 1);
                done += j->done ? std::max<int64_t>(j->size, 1) : j->bytes_done.load();
            }
            std::fprintf(stderr, "\rvkd export: %zu/%zu files, %3d%%", reported, jobs.size(),
                         static_cast<int>(total > 0 ? done * 100 / total : 0));
        }
        while (reported < jobs.size() && jobs[reported]->done) {
            Job& job = *jobs[reported];
            lock.unlock();
            if (progress) std::fprintf(stderr, "\r\033[K");
            report_file(job);
            job.report.track = {};  // written: the memory goes
            ++reported;
            lock.lock();
        }
    }
    for (auto& t : pool) t.join();
    if (progress) std::fprintf(stderr, "\r\033[K");
    if (combined) {
        std::string error;
        if (!combined->close(error)) {
            file_error(o.track, error);
            failed = true;
        }
    }
    if (std::fflush(stdout) != 0) return file_error("stdout", "cannot be written");
    return failed ? 1 : 0;
}

}  // namespace

Run add_export(CLI::App& vkd) {
    CLI::App* command = vkd.add_subcommand(
        "export",
        "Export recordings as XTF (side-scan data) and as a navigation track (GPX, KML, "
        "GeoJSON, GeoPackage or CSV). Exit status 1 when a file was damaged or an output "
        "could not be written; the other files are exported all the same.");
    auto o = std::make_shared<ExportOptions>();
    command->add_option("FILE", o->inputs, "data files, or folders of them")->required();
    command->add_option("--xtf", o->xtf,
                        "XTF file to write; a folder (ending in /) for one file per input");
    command->add_option("--track", o->track,
                        "track file (.gpx .kml .geojson .gpkg .csv) with one line per input; a "
                        "folder (ending in /) for one file per input");
    command->add_option("--track-format", o->track_format, "format of the tracks in a folder")
        ->check(CLI::IsMember({"gpx", "kml", "geojson", "gpkg", "csv"}))
        ->capture_default_str();
    command
        ->add_option("--utc-offset", o->utc_offset_hours,
                     "hours the recording's clock was ahead of UTC (10 for UTC+10)")
        ->check(CLI::Range(-14.0, 14.0))
        ->capture_default_str();
    command->add_option("--layback", o->layback_metres, "metres the sonar is towed behind the GPS")
        ->check(CLI::Range(0.0, 10000.0))
        ->capture_default_str();
    command
        ->add_option("--offset-forward", o->offset_forward_metres,
                     "metres the sonar is ahead of the GPS antenna")
        ->check(CLI::Range(-1000.0, 1000.0))
        ->capture_default_str();
    command
        ->add_option("--offset-starboard", o->offset_starboard_metres,
                     "metres the sonar is to starboard of the GPS antenna")
        ->check(CLI::Range(-1000.0, 1000.0))
        ->capture_default_str();
    command->add_option("--low-khz", o->low_khz, "acoustic frequency of the low setting, for XTF")
        ->check(CLI::Range(0.0f, 10000.0f));
    command
        ->add_option("--high-khz", o->high_khz, "acoustic frequency of the high setting, for XTF")
        ->check(CLI::Range(0.0f, 10000.0f));
    command
        ->add_option("--max-fix-gap", o->max_fix_gap_seconds,
                     "seconds without a new fix after which pings have no position")
        ->check(CLI::Range(0.5, 3600.0))
        ->capture_default_str();
    command->add_option("-j,--jobs", o->jobs, "files exported at once (default: all cores)")
        ->check(CLI::Range(1u, 256u));
    return [o] { return export_files(*o); };
}

}  // namespace kelvanor::vkd
