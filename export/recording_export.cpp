#include "export/recording_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "datafile/playback.h"

namespace kelvanor {

namespace {

// An output file written in large blocks; removed again when it could not be written
// whole.
class BlockFile {
  public:
    explicit BlockFile(std::string path) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) error_ = std::strerror(errno);
    }
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;
    ~BlockFile() {
        if (fd_ >= 0) ::close(fd_);
    }

    const std::string& error() const { return error_; }
    std::vector<uint8_t>& buffer() { return buffer_; }

    // Writes the buffer out once it holds a block or more.
    void flush_if_full() {
        if (buffer_.size() >= kBlock) flush();
    }
    void flush() {
        size_t done = 0;
        while (error_.empty() && done < buffer_.size()) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? std::strerror(errno) : "nothing written";
                break;
            }
            done += static_cast<size_t>(n);
        }
        buffer_.clear();
    }
    // Flushes and closes; on failure the file is removed.
    void close() {
        flush();
        if (fd_ >= 0 && ::close(fd_) != 0 && error_.empty()) error_ = std::strerror(errno);
        fd_ = -1;
        if (!error_.empty()) ::unlink(path_.c_str());
    }

  private:
    static constexpr size_t kBlock = 1 << 20;
    std::string path_;
    int fd_ = -1;
    std::string error_;
    std::vector<uint8_t> buffer_;
};

}  // namespace

std::string ExportReport::problems() const {
    std::string out;
    auto add = [&](const std::string& s) { out += (out.empty() ? "" : "; ") + s; };
    if (records_skipped) add(std::to_string(records_skipped) + " unreadable records skipped");
    if (truncated) add("the file ends inside a record");
    if (without_reply) add(std::to_string(without_reply) + " records without a valid reply");
    if (!output_error.empty()) add("XTF not written: " + output_error);
    return out;
}

ExportReport export_recording(RecordSource& source, const ExportSettings& settings) {
    ExportReport report;
    std::optional<BlockFile> xtf;
    if (!settings.xtf_path.empty()) {
        xtf.emplace(settings.xtf_path);
        if (!xtf->error().empty()) report.output_error = xtf->error();
    }
    XtfSettings xtf_settings = settings.xtf;
    bool header_written = false;
    const auto offset_seconds =
        static_cast<int64_t>(std::llround(settings.xtf.utc_offset_hours * 3600.0));
    bool in_segment = false;

    TrackBuilder builder(
        [&](const TrackPing& ping, std::span<const uint8_t>) {
            ++report.pings;
            ++report.track.pings;
            if (!ping.has_position) ++report.without_position;
            FileTrack& track = report.track;
            if (ping.has_position) {
                if (!in_segment) track.segments.emplace_back();
                in_segment = true;
                if (ping.at_fix || track.segments.back().empty()) {
                    track.segments.back().push_back(ping.position);
                }
            } else {
                in_segment = false;
            }
            if (ping.has_time) track.last_utc_second = ping.time_second - offset_seconds;
            if (settings.keep_rows) {
                TrackRow row;
                row.ping = ping.index;
                row.has_time = ping.has_time;
                row.utc_second = ping.time_second - offset_seconds;
                row.fraction = ping.time_fraction;
                row.has_position = ping.has_position;
                row.position = ping.position;
                row.speed_knots = ping.speed_knots;
                row.heading_degrees = ping.heading_degrees;
                row.altitude_metres = ping.altitude_metres;
                track.rows.push_back(row);
            }
            if (!xtf || !xtf->error().empty() || !ping.echoes) return;
            if (!header_written) {
                xtf_settings.bytes_per_sample = xtf_bytes_per_sample(*ping.echoes);
                const auto header = encode_xtf_file_header(xtf_settings, ping.echoes->frequency);
                xtf->buffer().insert(xtf->buffer().end(), header.begin(), header.end());
                header_written = true;
            }
            if (append_xtf_ping(ping, xtf_settings, xtf->buffer())) ++report.xtf_pings;
            xtf->flush_if_full();
        },
        settings.track);

    RecordBuffer buffer{};
    int64_t since_progress = 0;
    for (;;) {
        const RecordRead read = read_record(source, buffer);
        if (read.status == RecordReadStatus::EndOfFile) break;
        if (read.status == RecordReadStatus::Truncated) {
            report.truncated = true;
            break;
        }
        if (read.status == RecordReadStatus::Refused) {
            ++report.records_skipped;
            source.seek(read.offset + 1);
            sync_to_record(source);
            continue;
        }
        builder.push({buffer.data(), read.limits.record_length}, read.limits);
        if (settings.progress && ++since_progress == 4096) {
            since_progress = 0;
            settings.progress(source.tell());
        }
    }
    builder.finish();
    if (settings.progress) settings.progress(source.tell());
    report.without_reply = builder.counts().without_reply;
    report.malformed_positions = builder.counts().malformed_positions;

    if (xtf) {
        if (!header_written && xtf->error().empty()) {
            // No ping to write: the file header alone still says what the file is.
            const auto header = encode_xtf_file_header(xtf_settings, 0);
            xtf->buffer().insert(xtf->buffer().end(), header.begin(), header.end());
        }
        xtf->close();
        if (!xtf->error().empty()) report.output_error = xtf->error();
    }
    return report;
}

}  // namespace kelvanor
