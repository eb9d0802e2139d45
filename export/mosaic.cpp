#include "export/mosaic.h"

#include <cpl_conv.h>
#include <gdal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "datafile/playback.h"
#include "datafile/record_source.h"
#include "export/buffered_source.h"
#include "export/mosaic_swath.h"
#include "geo/track.h"

namespace kelvanor {

namespace {

constexpr size_t kPingsPerBatch = 256;
constexpr size_t kMaxQueuedBatches = 8;
constexpr int64_t kGdalCacheBytes = 64 << 20;

bool starts_with_magic(RecordSource& source) {
    uint8_t magic[3] = {};
    const bool ok = source.read(magic) == sizeof magic &&
                    std::equal(kRecordMagic.begin(), kRecordMagic.end(), magic);
    source.seek(0);
    return ok;
}

// Reads every record of a file into `builder`; counts what could not be read. Records that
// break the limits are stepped over to the next record start.
void read_track(RecordSource& source, TrackBuilder& builder, MosaicFileReport& report) {
    RecordBuffer buffer{};
    for (;;) {
        const RecordRead read = read_record(source, buffer);
        if (read.status == RecordReadStatus::EndOfFile) break;
        if (read.status == RecordReadStatus::Truncated) {
            ++report.damaged;
            break;
        }
        if (read.status == RecordReadStatus::Refused) {
            ++report.damaged;
            if (!source.seek(read.offset + 1) || !sync_to_record(source)) break;
            continue;
        }
        builder.push({buffer.data(), read.limits.record_length}, read.limits);
    }
    builder.finish();
}

// What the first pass learns of a file.
struct FileSurvey {
    GeoBounds bounds;
    double widest_range = 0.0;   // metres
    double finest_sample = 0.0;  // ground metres of one sample, smallest seen
    int32_t finest_samples = 0;  // the samples per side of that ping
    double finest_range = 0.0;   // and its range
};

std::optional<PosixRecordFile> open_recording(const std::string& path, std::string& error) {
    auto file = PosixRecordFile::open(path, error);
    if (!file) return std::nullopt;
    if (!starts_with_magic(*file)) {
        error = "not a data file (it does not start with \"VKD\")";
        return std::nullopt;
    }
    return file;
}

void survey_file(const std::string& path, FileSurvey& survey, MosaicFileReport& report) {
    auto file = open_recording(path, report.error);
    if (!file) return;
    TrackBuilder builder([&](const TrackPing& ping, std::span<const uint8_t>) {
        ++report.pings;
        if (!ping.echoes || ping.echoes->samples_per_side <= 0) return;
        const double range = ping.echoes->range_metres;
        survey.widest_range = std::max(survey.widest_range, range);
        const double per_sample = range / ping.echoes->samples_per_side;
        if (survey.finest_samples == 0 || per_sample < survey.finest_sample) {
            survey.finest_sample = per_sample;
            survey.finest_samples = ping.echoes->samples_per_side;
            survey.finest_range = range;
        }
    });
    BufferedRecordSource buffered(*file);
    read_track(buffered, builder, report);
    survey.bounds = builder.bounds();
    if (survey.bounds.empty()) report.error = "no ping has a position";
}

double heading_difference(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

// Tells pings taken while the heading turns faster than a rate, over the last second.
class TurnFilter {
  public:
    explicit TurnFilter(double degrees_per_second) : limit_(degrees_per_second) {}
    bool turning(const TrackPing& ping) {
        if (!ping.has_time || !ping.heading_degrees) return false;
        const double t = ping.time_seconds;
        const double h = *ping.heading_degrees;
        while (!recent_.empty() && t - recent_.front().first > 1.0) recent_.pop_front();
        if (!recent_.empty() && t < recent_.back().first) recent_.clear();  // clock went back
        bool fast = false;
        if (!recent_.empty()) {
            const double dt = t - recent_.front().first;
            if (dt > 0.2) fast = heading_difference(h, recent_.front().second) / dt > limit_;
        }
        recent_.emplace_back(t, h);
        return fast;
    }

  private:
    double limit_;
    std::deque<std::pair<double, double>> recent_;
};

// Batches of cell values from the producers to the one thread that adds them up.
class BatchQueue {
  public:
    void push(std::vector<CellValue> batch) {
        std::unique_lock lock(mutex_);
        space_.wait(lock, [&] { return batches_.size() < kMaxQueuedBatches; });
        batches_.push_back(std::move(batch));
        ready_.notify_one();
    }
    void producer_done() {
        std::lock_guard lock(mutex_);
        --producers_;
        ready_.notify_one();
    }
    void set_producers(int n) { producers_ = n; }
    // An empty batch, its memory reused from one already added up.
    std::vector<CellValue> spare() {
        std::lock_guard lock(mutex_);
        if (spares_.empty()) return {};
        auto batch = std::move(spares_.back());
        spares_.pop_back();
        return batch;
    }
    void give_back(std::vector<CellValue> batch) {
        batch.clear();
        std::lock_guard lock(mutex_);
        if (spares_.size() < 2 * kMaxQueuedBatches) spares_.push_back(std::move(batch));
    }
    // Nothing once every producer is done and the queue is empty.
    std::optional<std::vector<CellValue>> pop() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !batches_.empty() || producers_ == 0; });
        if (batches_.empty()) return std::nullopt;
        auto batch = std::move(batches_.front());
        batches_.pop_front();
        space_.notify_one();
        return batch;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_, space_;
    std::deque<std::vector<CellValue>> batches_;
    std::vector<std::vector<CellValue>> spares_;
    int producers_ = 0;
};

// The second pass over one file: its pings as cell values, batch by batch.
void place_file(const std::string& path, const MosaicGrid& grid, const MosaicOptions& options,
                BatchQueue& queue, std::atomic<int64_t>& done, MosaicFileReport& report) {
    std::string error;
    auto utm = UtmTransformer::create(grid.zone, error);
    auto file = open_recording(path, error);
    if (!utm || !file) {
        report.error = error;
        return;
    }
    std::optional<TurnFilter> turns;
    if (options.skip_turns_degrees_per_second)
        turns.emplace(*options.skip_turns_degrees_per_second);
    std::vector<CellValue> batch;
    size_t pings_in_batch = 0;
    report.damaged = 0;
    TrackBuilder builder([&](const TrackPing& ping, std::span<const uint8_t>) {
        const bool turning = turns && turns->turning(ping);
        if (turning) {
            ++report.turning;
        } else if (swath_cells(ping, *utm, grid, options.offsets, batch)) {
            ++report.placed;
        } else {
            ++report.without_position;
        }
        if (++pings_in_batch == kPingsPerBatch) {
            queue.push(std::move(batch));
            batch = queue.spare();
            done += static_cast<int64_t>(pings_in_batch);
            pings_in_batch = 0;
        }
    });
    batch = queue.spare();
    BufferedRecordSource buffered(*file);
    read_track(buffered, builder, report);
    done += static_cast<int64_t>(pings_in_batch);
    if (!batch.empty()) queue.push(std::move(batch));
}

}  // namespace

bool MosaicReport::all_files_good() const {
    return std::all_of(files.begin(), files.end(),
                       [](const MosaicFileReport& f) { return f.error.empty() && f.damaged == 0; });
}

MosaicReport make_mosaic(const std::vector<std::string>& inputs, const std::string& output,
                         const MosaicOptions& options) {
    MosaicReport report;
    report.files.resize(inputs.size());
    std::vector<FileSurvey> surveys(inputs.size());
    const int threads = std::max(1, options.threads);

    // First pass: the files' tracks, several at a time.
    {
        std::atomic<size_t> next{0};
        auto work = [&] {
            for (size_t i = next++; i < inputs.size(); i = next++) {
                report.files[i].path = inputs[i];
                survey_file(inputs[i], surveys[i], report.files[i]);
            }
        };
        std::vector<std::jthread> pool;
        for (int t = 1; t < std::min<int>(threads, static_cast<int>(inputs.size())); ++t) {
            pool.emplace_back(work);
        }
        work();
    }
    GeoBounds all;
    double widest = 0.0, finest = 0.0, finest_range = 0.0;
    int32_t finest_samples = 0;
    int64_t total_pings = 0;
    std::vector<size_t> good;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!report.files[i].error.empty()) continue;
        good.push_back(i);
        const FileSurvey& s = surveys[i];
        all.add(s.bounds.south_west());
        all.add(s.bounds.north_east());
        widest = std::max(widest, s.widest_range);
        if (s.finest_samples > 0 && (finest_samples == 0 || s.finest_sample < finest)) {
            finest = s.finest_sample;
            finest_samples = s.finest_samples;
            finest_range = s.finest_range;
        }
        total_pings += report.files[i].pings;
    }
    const auto zone = utm_zone_for_track(all);
    if (good.empty() || !zone) {
        report.error = "no file holds a ping with a position";
        return report;
    }
    std::string error;
    auto utm = UtmTransformer::create(*zone, error);
    if (!utm) {
        report.error = error;
        return report;
    }

    // The grid: the track's extent in the zone, widened by the swath and the offsets.
    const double cell = options.cell_metres > 0.0
                            ? options.cell_metres
                            : default_cell_metres(finest_range, finest_samples);
    const GeoPoint sw = all.south_west(), ne = all.north_east();
    std::array<double, 4> x{sw.longitude_degrees, ne.longitude_degrees, sw.longitude_degrees,
                            ne.longitude_degrees};
    std::array<double, 4> y{sw.latitude_degrees, sw.latitude_degrees, ne.latitude_degrees,
                            ne.latitude_degrees};
    if (!utm->to_utm(x, y)) {
        report.error =
            "the survey's extent cannot be put into UTM zone " + std::to_string(zone->zone);
        return report;
    }
    const double margin = widest + std::fabs(options.offsets.forward_metres) +
                          std::fabs(options.offsets.starboard_metres) +
                          std::fabs(options.offsets.layback_metres) + 2.0 * cell;
    const auto grid = grid_for_box(*zone, cell, *std::min_element(x.begin(), x.end()) - margin,
                                   *std::min_element(y.begin(), y.end()) - margin,
                                   *std::max_element(x.begin(), x.end()) + margin,
                                   *std::max_element(y.begin(), y.end()) + margin);
    if (!grid) {
        report.error =
            "the survey's extent is too large for a cell of " + std::to_string(cell) + " m";
        return report;
    }
    report.grid = *grid;
    // GDAL's block cache takes a share of the machine's memory by default; the tiles and the
    // writers need far less, and memory is to stay flat.
    if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr) GDALSetCacheMax64(kGdalCacheBytes);
    auto tiles = MosaicTiles::create(*grid, output + ".tiles.tif", options.max_tiles, error);
    if (!tiles) {
        report.error = error;
        return report;
    }

    // Second pass: producers place pings, this thread adds them up.
    BatchQueue queue;
    std::atomic<int64_t> done{0};
    std::atomic<size_t> next{0};
    const int producers = std::max(1, std::min<int>(threads, static_cast<int>(good.size())));
    queue.set_producers(producers);
    {
        std::vector<std::jthread> pool;
        for (int t = 0; t < producers; ++t) {
            pool.emplace_back([&] {
                for (size_t k = next++; k < good.size(); k = next++) {
                    MosaicFileReport& file = report.files[good[k]];
                    const int64_t first_pass_damaged = file.damaged;
                    place_file(file.path, *grid, options, queue, done, file);
                    file.damaged = std::max(file.damaged, first_pass_damaged);
                }
                queue.producer_done();
            });
        }
        int shown = -1;
        while (auto batch = queue.pop()) {
            for (const CellValue& c : *batch) tiles->add(c.column, c.row, c.value);
            queue.give_back(std::move(*batch));
            if (options.progress && total_pings > 0) {
                const int percent =
                    static_cast<int>(std::min<int64_t>(99, done * 100 / total_pings));
                if (percent != shown) options.progress(shown = percent);
            }
        }
    }
    for (const MosaicFileReport& f : report.files) report.placed += f.placed;
    report.most_tiles_held = tiles->most_held_tiles();
    report.tiles_spilled = tiles->spilled_tiles();
    if (tiles->failed()) {
        report.error = "the temporary tile file could not be written or read";
        return report;
    }
    if (report.placed == 0) {
        report.error = "no ping could be placed (positions, headings or altitudes missing)";
        return report;
    }
    if (!write_mosaic_cog(*tiles, options.look, output, threads, report.error)) return report;
    if (!options.kmz_path.empty() && !write_mosaic_kmz(output, options.kmz_path, report.error)) {
        return report;
    }
    if (options.progress) options.progress(100);
    report.written = true;
    return report;
}

}  // namespace kelvanor
