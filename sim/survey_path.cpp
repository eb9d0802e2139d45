#include "sim/survey_path.h"

#include <cmath>
#include <numbers>

namespace kelvanor {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kMetresPerMinute = 1852.0;

double wrapped_degrees(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0.0 ? degrees + 360.0 : degrees;
}

// North and east metres of `metres` along `heading` plus `starboard` to its right.
void heading_offset(double heading_degrees, double metres, double starboard, double& north,
                    double& east) {
    const double h = heading_degrees * kRadiansPerDegree;
    north = metres * std::cos(h) - starboard * std::sin(h);
    east = metres * std::sin(h) + starboard * std::cos(h);
}

// Along (ahead) and across (to starboard) metres of `point` seen from `from` heading
// `heading_degrees`.
void relative_position(const GeoPoint& from, double heading_degrees, const GeoPoint& point,
                       double& along, double& across) {
    const MetresPerDegree m = metres_per_degree(from.latitude_degrees);
    double dlon = point.longitude_degrees - from.longitude_degrees;
    if (dlon > 180.0) dlon -= 360.0;
    if (dlon < -180.0) dlon += 360.0;
    const double north = (point.latitude_degrees - from.latitude_degrees) * m.north;
    const double east = dlon * m.east;
    const double h = heading_degrees * kRadiansPerDegree;
    along = north * std::cos(h) + east * std::sin(h);
    across = -north * std::sin(h) + east * std::cos(h);
}

}  // namespace

SurveyPath::SurveyPath(const SurveyPathConfig& config)
    : config_(config),
      latitude_minutes_(config.start_latitude_minutes),
      longitude_minutes_(config.start_longitude_minutes),
      base_heading_(config.heading_degrees) {
    update_motion();
}

void SurveyPath::update_motion() {
    const auto i = static_cast<double>(ping_);
    heading_ = base_heading_ + 6.0 * std::sin(i / 400.0);
    if (heading_ < 0.0 || heading_ >= 360.0) heading_ = wrapped_degrees(heading_);
    speed_ = config_.speed_knots * (1.0 + 0.05 * std::sin(i / 90.0));
}

double SurveyPath::step_metres() const {
    return speed_ * kMetresPerMinute / 3600.0 * config_.interval_ms / 1000.0;
}

void SurveyPath::advance() {
    const double metres = step_metres();
    const double rad = heading_ * kRadiansPerDegree;
    latitude_minutes_ += metres / kMetresPerMinute * std::cos(rad);
    longitude_minutes_ += metres / kMetresPerMinute * std::sin(rad) /
                          std::cos(latitude_minutes_ / 60.0 * kRadiansPerDegree);
    ++ping_;
    if (config_.line_length_metres > 0.0) {
        if (!turning_) {
            along_line_ += metres;
            if (along_line_ >= config_.line_length_metres) {
                turning_ = true;
                turned_degrees_ = 0.0;
            }
        } else {
            const double radius = std::max(config_.line_spacing_metres / 2.0, 1.0);
            const double step = metres / radius / kRadiansPerDegree;
            const double sign = turns_ % 2 == 0 ? 1.0 : -1.0;
            turned_degrees_ += step;
            if (turned_degrees_ >= 180.0) {
                ++turns_;
                turning_ = false;
                along_line_ = 0.0;
                base_heading_ = wrapped_degrees(config_.heading_degrees +
                                                180.0 * static_cast<double>(turns_ % 2));
            } else {
                base_heading_ = wrapped_degrees(base_heading_ + sign * step);
            }
        }
    }
    update_motion();
}

std::vector<PlacedTarget> place_targets_along_path(const SurveyPathConfig& config,
                                                   const std::vector<SurveyTarget>& targets) {
    std::vector<PlacedTarget> placed;
    std::vector<bool> done(targets.size(), false);
    SurveyPath path(config);
    double along = 0.0;
    size_t left = targets.size();
    while (left > 0 && !path.turning() && along < 1.0e7) {
        const double step = path.step_metres();
        if (step <= 0.0) break;
        for (size_t t = 0; t < targets.size(); ++t) {
            const double a = targets[t].along_metres;
            if (done[t] || a < along || a >= along + step) continue;
            double north = 0.0, east = 0.0;
            heading_offset(path.heading_degrees(), a - along, targets[t].across_metres, north,
                           east);
            placed.push_back({offset_point(path.position(), north, east), targets[t].length_metres,
                              targets[t].height_metres});
            done[t] = true;
            --left;
        }
        along += step;
        path.advance();
    }
    return placed;
}

void targets_seen_from(const GeoPoint& position, double heading_degrees, float along_metres,
                       double reach_metres, const std::vector<PlacedTarget>& placed,
                       std::vector<SurveyTarget>& out) {
    out.clear();
    for (const PlacedTarget& t : placed) {
        double along = 0.0, across = 0.0;
        relative_position(position, heading_degrees, t.point, along, across);
        if (std::fabs(along) > reach_metres || std::fabs(across) > reach_metres) continue;
        out.push_back({static_cast<float>(along_metres + along), static_cast<float>(across),
                       t.length_metres, t.height_metres});
    }
}

std::vector<std::optional<TargetSighting>> sight_targets(const SurveyPathConfig& config,
                                                         int64_t pings, double reach_metres,
                                                         const std::vector<PlacedTarget>& placed) {
    std::vector<std::optional<TargetSighting>> sightings(placed.size());
    std::vector<double> closest(placed.size(), HUGE_VAL);
    SurveyPath path(config);
    for (int64_t i = 0; i < pings; ++i) {
        for (size_t t = 0; t < placed.size(); ++t) {
            double along = 0.0, across = 0.0;
            relative_position(path.position(), path.heading_degrees(), placed[t].point, along,
                              across);
            if (std::fabs(across) > reach_metres || std::fabs(along) >= closest[t]) continue;
            closest[t] = std::fabs(along);
            sightings[t] = TargetSighting{across < 0.0 ? SonarSide::Port : SonarSide::Starboard,
                                          std::fabs(across)};
        }
        path.advance();
    }
    // A target the survey never came up to was not passed at all.
    for (size_t t = 0; t < placed.size(); ++t) {
        if (closest[t] > placed[t].length_metres * 0.5 + 1.0) sightings[t].reset();
    }
    return sightings;
}

}  // namespace kelvanor
