#pragma once
// One recording exported in one streaming pass: its records read in order (a record that
// cannot be read is skipped up to the next record start), its track built, every ping
// written to XTF as it leaves the track builder, and the navigation summary kept for the
// track outputs. Memory stays flat however long the recording is, except for the track
// summary: one vertex per fix, and one row per ping only when rows are asked for.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "datafile/record_source.h"
#include "export/xtf_format.h"
#include "geo/track.h"

namespace kelvanor {

// One ping as a navigation row.
struct TrackRow {
    int64_t ping = 0;
    bool has_time = false;
    int64_t utc_second = 0;
    double fraction = 0.0;  // of the second
    bool has_position = false;
    GeoPoint position;
    std::optional<double> speed_knots;
    std::optional<double> heading_degrees;
    std::array<std::optional<float>, 2> altitude_metres;  // by SonarSide
};

// The navigation of one recording: the fixes as lines (a new line after pings without a
// position), and per-ping rows when asked for.
struct FileTrack {
    int64_t pings = 0;
    std::vector<std::vector<GeoPoint>> segments;
    std::vector<TrackRow> rows;
    std::optional<int64_t> last_utc_second;
};

struct ExportSettings {
    XtfSettings xtf;
    TrackOptions track;
    std::string xtf_path;    // empty: no XTF
    bool keep_rows = false;  // per-ping rows for a CSV track
    // Called now and then with the bytes of the source read so far.
    std::function<void(int64_t bytes_done)> progress;
};

struct ExportReport {
    int64_t pings = 0;
    int64_t xtf_pings = 0;
    int64_t without_position = 0;
    int64_t records_skipped = 0;  // refused by the reader
    int64_t without_reply = 0;    // records whose reply is not a valid head reply
    int64_t malformed_positions = 0;
    bool truncated = false;    // the file ends inside a record
    std::string output_error;  // the XTF could not be written: why
    FileTrack track;

    // Something about the recording or the output the user must hear of.
    bool damaged() const {
        return records_skipped > 0 || without_reply > 0 || truncated || !output_error.empty();
    }
    std::string problems() const;
};

// Exports the recording read from `source` (positioned at its start).
ExportReport export_recording(RecordSource& source, const ExportSettings& settings);

}  // namespace kelvanor
