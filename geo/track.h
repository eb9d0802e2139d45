#pragma once
// The track of a recording, built in one pass over its records: for every ping its time, the
// GPS antenna's position, speed, heading, the altitude above the seabed on each side, and
// whether it has a position at all.
//
// A recording's position changes only when a fix arrives (about once a second, to 0.001
// minute) while pings come 5 to 40 times a second with whole-second time stamps. Pings
// between two changes of position are placed by interpolation between the fixes, by ping
// index; pings within one second are spread over it. Pings before the first fix, after a
// position text of zeros, and across a gap of more than `max_fix_gap_seconds` between fixes
// have no position: nothing is invented. The builder streams: a ping leaves it as soon as the
// fix after it is known, so it holds at most the pings of one such gap.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "datafile/ping_record.h"
#include "datafile/record_echoes.h"
#include "geo/position.h"
#include "geo/sample_range.h"
#include "geo/utm.h"

namespace kelvanor {

enum class HeadingSource : uint8_t {
    None,
    Record,            // the heading stored in the record
    CourseOverGround,  // from the smoothed track
};

struct TrackPing {
    int64_t index = 0;  // the ping's number among the file's readable records, from 0
    bool has_time = false;
    // Local time: the record's whole second (seconds since 1970) and the ping's place within
    // it (0 to 0.99); time_seconds is their sum, to a few tenths of a microsecond.
    int64_t time_second = 0;
    double time_fraction = 0.0;
    double time_seconds = 0.0;
    bool has_position = false;
    GeoPoint position;              // of the GPS antenna
    bool at_fix = false;            // a new position arrived with this ping
    double fix_time_seconds = 0.0;  // when the fix this position rests on arrived
    std::optional<double> speed_knots;
    std::optional<double> heading_degrees;
    HeadingSource heading_source = HeadingSource::None;
    std::optional<double> course_over_ground_degrees;
    std::array<std::optional<float>, 2> altitude_metres;  // by SonarSide
    std::optional<RecordEchoes> echoes;  // nothing when the record holds no valid reply
};

struct TrackOptions {
    double max_fix_gap_seconds = 5.0;
    // Course and speed over ground are taken between fixes at least this far apart.
    double course_baseline_metres = 15.0;
    // A ping waits at most for this many later pings (a file whose clock stands still).
    size_t max_waiting_pings = 4096;
};

struct TrackCounts {
    int64_t pings = 0;
    int64_t with_position = 0;
    int64_t fixes = 0;
    int64_t malformed_positions = 0;
    int64_t without_time = 0;
    int64_t without_reply = 0;  // records whose reply is not a valid head reply
    size_t most_waiting = 0;    // the most pings held at once
};

class TrackBuilder {
  public:
    // Receives every ping in file order with the record it came from (valid only during the
    // call).
    using Sink = std::function<void(const TrackPing&, std::span<const uint8_t> record)>;

    explicit TrackBuilder(Sink sink, TrackOptions options = {});

    // One record that read_record returned whole.
    void push(std::span<const uint8_t> record, const RecordLimits& limits);
    // The end of the file: every ping still held goes out.
    void finish();

    const TrackCounts& counts() const { return counts_; }
    // Extent of the positions handed out so far.
    const GeoBounds& bounds() const { return bounds_; }

  private:
    struct Held {
        TrackPing ping;
        RecordBuffer record;
        size_t length = 0;
        size_t echo_offset = 0;
        int64_t second = 0;      // whole-second stamp
        int64_t elapsed_ms = 0;  // sum of the recorded ping intervals up to this ping
        int32_t interval_ms = 0;
        bool time_done = false;
        bool position_done = false;
        std::optional<double> record_speed;
        std::optional<double> record_heading;
    };
    struct Fix {
        int64_t index = 0;
        GeoPoint point;
        int64_t second = 0;
        bool has_time = false;
        int64_t elapsed_ms = 0;
        double time_seconds = 0.0;
    };

    Held& at(int64_t index);
    Held& append();
    // Settles the times of the run's pings before `end`.
    void close_time_run(int64_t end, bool ended_by_next_second);
    void resolve_positions_none();
    void resolve_positions_held(int64_t end);
    void interpolate_to(const Fix& to);
    void update_course(const Fix& fix);
    void set_motion(Held& h);
    void emit_ready();

    Sink sink_;
    TrackOptions options_;
    TrackCounts counts_;
    GeoBounds bounds_;

    std::vector<Held> ring_;
    size_t head_ = 0;  // slot of the oldest held ping
    size_t held_ = 0;
    int64_t first_index_ = 0;  // index of the oldest held ping
    int64_t next_index_ = 0;
    int64_t elapsed_ms_ = 0;

    // The run of pings sharing one whole-second stamp.
    bool run_open_ = false;
    int64_t run_first_ = 0;
    int64_t run_second_ = 0;
    bool run_started_by_change_ = false;

    // Positions: the text in force, the last fix, whether the chain since it is broken.
    std::array<char, kPositionTextSize> text_{};
    bool have_text_ = false;
    std::optional<Fix> last_fix_;
    bool chain_broken_ = false;
    int64_t unresolved_from_ = 0;  // first ping whose position is not yet settled
    std::vector<Fix> recent_fixes_;
    std::optional<double> course_;
    std::optional<double> speed_over_ground_;
};

// The seabed point of sample `index` (0 nearest the head) of one side of a ping, with the
// sensor placed by `offsets`: nothing when the ping has no position, heading or altitude on
// that side, does not hold that side, or the sample lies inside the water column.
std::optional<GeoPoint> place_sample(const TrackPing& ping, SonarSide side, int32_t index,
                                     const SensorOffsets& offsets);

}  // namespace kelvanor
