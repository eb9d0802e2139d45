#pragma once
// The path of a synthetic survey: straight lines run back and forth, joined by half-circle
// turns, with a slow wobble of the heading and the speed as a real boat has. Positions are in
// minutes of arc; the path moves one ping at a time.
//
// Targets on the seabed can be placed at geographic positions: every ping then sees each one
// where it lies relative to the ping's position and heading, so that lines in any direction
// see the same object at the same place.

#include <cstdint>
#include <optional>
#include <vector>

#include "datafile/record_echoes.h"
#include "geo/position.h"
#include "sim/head_sim.h"

namespace kelvanor {

struct SurveyPathConfig {
    double start_latitude_minutes = 54.0 * 60 + 21.0;
    double start_longitude_minutes = 10.0 * 60 + 7.0;
    double heading_degrees = 45.0;  // of the first line
    float speed_knots = 4.0f;
    int32_t interval_ms = 121;  // between pings
    // Length of each line; 0 for one line that never ends.
    double line_length_metres = 0.0;
    // Distance between neighbouring lines: the diameter of the turns between them. The first
    // turn goes to starboard, the next to port, and so on.
    double line_spacing_metres = 100.0;
};

class SurveyPath {
  public:
    explicit SurveyPath(const SurveyPathConfig& config);

    double latitude_minutes() const { return latitude_minutes_; }
    double longitude_minutes() const { return longitude_minutes_; }
    GeoPoint position() const { return {latitude_minutes_ / 60.0, longitude_minutes_ / 60.0}; }
    // Heading (degrees from true north, 0..360) and speed of the ping about to be taken.
    double heading_degrees() const { return heading_; }
    double speed_knots() const { return speed_; }
    // Metres the ping about to be taken moves the boat on.
    double step_metres() const;
    bool turning() const { return turning_; }

    // Moves on by one ping.
    void advance();

  private:
    void update_motion();

    SurveyPathConfig config_;
    int64_t ping_ = 0;
    double latitude_minutes_ = 0.0;
    double longitude_minutes_ = 0.0;
    double base_heading_ = 0.0;  // of the line or the turn, without the wobble
    double heading_ = 0.0;
    double speed_ = 0.0;
    double along_line_ = 0.0;  // metres run on the current line
    bool turning_ = false;
    double turned_degrees_ = 0.0;
    int64_t turns_ = 0;
};

// An object standing on the seabed at a geographic position.
struct PlacedTarget {
    GeoPoint point;
    float length_metres = 2.0f;
    float height_metres = 1.0f;
};

// The scene's targets (given along and across the first line) placed where the path puts
// them: at the point of the path `along_metres` from its start, `across_metres` to the side
// of its heading there. Targets beyond the end of the first line are left out.
std::vector<PlacedTarget> place_targets_along_path(const SurveyPathConfig& path,
                                                   const std::vector<SurveyTarget>& targets);

// The targets as a ping at `position` with `heading_degrees` sees them, in the along/across
// terms of the simulated head whose line position is `along_metres`; only those within
// `reach_metres` of the ping.
void targets_seen_from(const GeoPoint& position, double heading_degrees, float along_metres,
                       double reach_metres, const std::vector<PlacedTarget>& placed,
                       std::vector<SurveyTarget>& out);

// How a survey of `pings` pings sees a target: on which side, and how far across the track,
// at the ping that passes it closest; nothing when no ping passes it within `reach_metres`.
struct TargetSighting {
    SonarSide side = SonarSide::Port;
    double across_metres = 0.0;  // ground range from the track
};
std::vector<std::optional<TargetSighting>> sight_targets(const SurveyPathConfig& path,
                                                         int64_t pings, double reach_metres,
                                                         const std::vector<PlacedTarget>& placed);

}  // namespace kelvanor
