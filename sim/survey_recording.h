#pragma once
// A synthetic survey recording: the simulated head driven along a track, each ping stamped
// with the date, time, position, speed and heading a recording would carry. `vkd synth` and
// the tests write it with the recorder's own record writer.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "datafile/ping_record.h"
#include "sim/head_sim.h"
#include "sim/survey_path.h"

namespace kelvanor {

struct SurveyRecordingConfig {
    char model = 'G';
    int32_t range_metres = 60;
    int32_t channel_code = 3;  // 1 Stbd, 2 Port, 3 Both
    int32_t gain = 12;
    float speed_knots = 4.0f;
    int64_t start_epoch_seconds = 1715679000;          // 14 May 2024, 09:30:00 UTC
    double start_latitude_minutes = 54.0 * 60 + 21.0;  // 54°21' N
    double start_longitude_minutes = 10.0 * 60 + 7.0;  // 10°07' E
    double heading_degrees = 45.0;
    // Lines back and forth (see SurveyPathConfig); 0: one line that never ends.
    double line_length_metres = 0.0;
    double line_spacing_metres = 100.0;
    // 0: the position text follows every ping (truncated to 0.001 minute); otherwise it
    // changes once per this many milliseconds, rounded, as a GPS receiver's fixes do.
    int32_t fix_interval_ms = 0;
    SurveyScene scene;  // what the head sees along the line
    // When set, the targets stand at these positions and the scene's own are not used.
    std::optional<std::vector<PlacedTarget>> placed_targets;
};

// The path a recording with `config` follows.
SurveyPathConfig survey_path_config(const SurveyRecordingConfig& config);

class SurveyRecording {
  public:
    explicit SurveyRecording(const SurveyRecordingConfig& config);

    // The next ping: its reply as ping processing leaves it for the recorder (a 'G' head's
    // range code turned into metres) and its stamp. Returns the reply, empty if the head
    // gave none.
    std::span<const uint8_t> next(RecordStamp& stamp);

    // Where along the scene's line the next ping is taken.
    float along_metres() const { return head_.along_metres; }
    const SurveyPath& path() const { return path_; }

  private:
    SurveyRecordingConfig config_;
    SimHead head_;
    std::vector<uint8_t> command_;
    std::array<uint8_t, kSimMaxReplyLength> reply_{};
    int32_t interval_ms_ = 0;
    int64_t time_ms_ = 0;
    SurveyPath path_;
    std::array<char, kPositionTextSize> position_text_{};
    int64_t last_fix_ = -1;  // number of the fix interval of the text in force
    std::vector<SurveyTarget> seen_;
};

// Expected time between pings at a range (0 for a range the head does not offer).
int32_t expected_ping_interval_ms(int32_t range_metres);

// The 24-character position text of a latitude and longitude in minutes of arc.
std::array<char, kPositionTextSize> format_position_text(double latitude_minutes,
                                                         double longitude_minutes);

}  // namespace kelvanor
