#include "geo/track.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvanor {

namespace {

constexpr size_t kPositionAt = 47;
constexpr size_t kSpeedAt = 73;
constexpr size_t kHeadingAt = 74;
constexpr size_t kMaxRecentFixes = 32;

// Values that come out of trigonometry are rounded, so that the last bits of a platform's
// libm never reach an output file.
double rounded(double value, double step) {
    return std::round(value / step) * step;
}

}  // namespace

TrackBuilder::TrackBuilder(Sink sink, TrackOptions options)
    : sink_(std::move(sink)), options_(options), ring_(64) {}

TrackBuilder::Held& TrackBuilder::at(int64_t index) {
    return ring_[(head_ + static_cast<size_t>(index - first_index_)) % ring_.size()];
}

TrackBuilder::Held& TrackBuilder::append() {
    if (held_ == ring_.size()) {
        std::vector<Held> bigger(ring_.size() * 2);
        for (size_t i = 0; i < held_; ++i) bigger[i] = std::move(ring_[(head_ + i) % ring_.size()]);
        ring_ = std::move(bigger);
        head_ = 0;
    }
    Held& h = ring_[(head_ + held_) % ring_.size()];
    ++held_;
    counts_.most_waiting = std::max(counts_.most_waiting, held_);
    h = Held{};
    return h;
}

void TrackBuilder::push(std::span<const uint8_t> record, const RecordLimits& limits) {
    const int64_t index = next_index_++;
    ++counts_.pings;
    Held& h = append();
    h.ping.index = index;
    h.length = std::min(limits.record_length, record.size());
    std::memcpy(h.record.data(), record.data(), h.length);
    const std::span<const uint8_t> stored(h.record.data(), h.length);
    const std::span<const uint8_t, kRecordHeaderLength> header(h.record.data(),
                                                               kRecordHeaderLength);

    h.ping.echoes = record_echoes(stored, limits);
    if (h.ping.echoes) {
        h.echo_offset = static_cast<size_t>(h.ping.echoes->echo.data() - h.record.data());
        for (SonarSide side : {SonarSide::Port, SonarSide::Starboard}) {
            h.ping.altitude_metres[static_cast<size_t>(side)] =
                side_altitude_metres(*h.ping.echoes, side);
        }
        h.interval_ms = h.ping.echoes->ping_interval_ms;
    } else {
        ++counts_.without_reply;
        h.interval_ms = read_be16(h.record.data() + 71);
    }
    elapsed_ms_ += h.interval_ms;
    h.elapsed_ms = elapsed_ms_;

    // Position text: zeros (none received), malformed, or a position.
    enum class Text { None, Malformed, Valid } kind = Text::None;
    std::array<char, kPositionTextSize> text{};
    std::memcpy(text.data(), h.record.data() + kPositionAt, kPositionTextSize);
    std::optional<GeoPoint> point;
    if (text[0] != 0) {
        point = position_from_text(text);
        kind = point ? Text::Valid : Text::Malformed;
        if (!point) ++counts_.malformed_positions;
    }
    if (kind != Text::Malformed) {
        const uint8_t v = h.record[kSpeedAt];
        if (v > 0 && v < 100) h.record_speed = v / 10.0;
        const uint16_t tenths = read_be16(h.record.data() + kHeadingAt);
        if (tenths > 0 && tenths < 3600) h.record_heading = tenths / 10.0;
    }

    // Time: the whole-second stamp; the place within the second once the run is closed.
    const std::optional<int64_t> second = record_local_seconds(header);
    if (!second) {
        ++counts_.without_time;
        if (run_open_) close_time_run(index, false);
        run_started_by_change_ = false;
        h.time_done = true;
    } else {
        h.second = *second;
        h.ping.has_time = true;
        h.ping.time_second = *second;
        if (run_open_ && *second != run_second_) {
            const bool next = *second == run_second_ + 1;
            close_time_run(index, next);
            run_started_by_change_ = next;
        }
        if (!run_open_) {
            run_open_ = true;
            run_first_ = index;
            run_second_ = *second;
        }
    }

    // Position.
    auto beyond_gap = [&](int64_t from_second, bool from_has_time) {
        return h.ping.has_time && from_has_time &&
               static_cast<double>(h.second - from_second) > options_.max_fix_gap_seconds;
    };
    if (kind == Text::None) {
        resolve_positions_held(index);
        last_fix_.reset();
        have_text_ = false;
        recent_fixes_.clear();
        course_.reset();
        speed_over_ground_.reset();
        resolve_positions_none();
    } else if (kind == Text::Valid && (!have_text_ || text != text_)) {
        Fix fix{index, *point, h.second, h.ping.has_time, h.elapsed_ms, 0.0};
        if (last_fix_ && !chain_broken_ && !beyond_gap(last_fix_->second, last_fix_->has_time)) {
            update_course(fix);
            interpolate_to(fix);
        } else {
            recent_fixes_.clear();
            course_.reset();
            speed_over_ground_.reset();
            update_course(fix);
            // Everything before this fix that is still open stays without a position.
            h.position_done = true;  // settled below; kept out of the pass over the others
            resolve_positions_none();
            h.position_done = false;
        }
        text_ = text;
        have_text_ = true;
        chain_broken_ = false;
        last_fix_ = fix;
        ++counts_.fixes;
        h.ping.has_position = true;
        h.ping.position = fix.point;
        h.ping.at_fix = true;
        h.ping.fix_time_seconds = static_cast<double>(fix.second);
        set_motion(h);
        h.position_done = true;
        unresolved_from_ = index + 1;
    } else if (last_fix_ && !chain_broken_) {
        // The same position as before (or a malformed one, which changes nothing).
        if (beyond_gap(last_fix_->second, last_fix_->has_time) ||
            held_ > options_.max_waiting_pings) {
            chain_broken_ = true;
            recent_fixes_.clear();
            course_.reset();
            speed_over_ground_.reset();
            resolve_positions_none();
        }
    } else {
        resolve_positions_none();
    }
    if (held_ > options_.max_waiting_pings && run_open_) {
        close_time_run(next_index_, false);
        run_started_by_change_ = false;
    }
    emit_ready();
}

void TrackBuilder::close_time_run(int64_t end, bool ended_by_next_second) {
    run_open_ = false;
    const int64_t count = end - run_first_;
    for (int64_t m = run_first_; m < end; ++m) {
        if (m < first_index_) continue;
        Held& h = at(m);
        if (h.time_done) continue;
        const int64_t k = m - run_first_;
        const double dt = h.interval_ms / 1000.0;
        double fraction;
        if (dt <= 0.0 || (ended_by_next_second && run_started_by_change_)) {
            fraction = static_cast<double>(k) / static_cast<double>(count);
        } else if (ended_by_next_second) {
            fraction = 1.0 - static_cast<double>(count - k) * dt;
        } else {
            fraction = static_cast<double>(k) * dt;
        }
        fraction = std::clamp(fraction, 0.0, 0.99);
        h.ping.time_fraction = fraction;
        h.ping.time_seconds = static_cast<double>(h.second) + fraction;
        h.time_done = true;
    }
}

void TrackBuilder::resolve_positions_none() {
    for (int64_t m = std::max(unresolved_from_, first_index_); m < next_index_; ++m) {
        Held& h = at(m);
        if (h.position_done) continue;
        h.ping.has_position = false;
        set_motion(h);
        h.position_done = true;
    }
    unresolved_from_ = next_index_;
}

void TrackBuilder::resolve_positions_held(int64_t end) {
    if (!last_fix_ || chain_broken_) return;
    for (int64_t m = std::max(unresolved_from_, first_index_); m < end; ++m) {
        Held& h = at(m);
        if (h.position_done) continue;
        h.ping.has_position = true;
        h.ping.position = last_fix_->point;
        h.ping.fix_time_seconds = static_cast<double>(last_fix_->second);
        set_motion(h);
        h.position_done = true;
    }
    unresolved_from_ = end;
}

void TrackBuilder::interpolate_to(const Fix& to) {
    const Fix& from = *last_fix_;
    const double span = static_cast<double>(to.index - from.index);
    double dlon = to.point.longitude_degrees - from.point.longitude_degrees;
    if (dlon > 180.0) dlon -= 360.0;
    if (dlon < -180.0) dlon += 360.0;
    const double dlat = to.point.latitude_degrees - from.point.latitude_degrees;
    for (int64_t m = std::max(from.index + 1, first_index_); m < to.index; ++m) {
        Held& h = at(m);
        if (h.position_done) continue;
        const double t = static_cast<double>(m - from.index) / span;
        GeoPoint p{from.point.latitude_degrees + dlat * t, from.point.longitude_degrees + dlon * t};
        if (p.longitude_degrees > 180.0) p.longitude_degrees -= 360.0;
        if (p.longitude_degrees < -180.0) p.longitude_degrees += 360.0;
        h.ping.has_position = true;
        h.ping.position = p;
        h.ping.fix_time_seconds = static_cast<double>(from.second);
        set_motion(h);
        h.position_done = true;
    }
}

void TrackBuilder::update_course(const Fix& fix) {
    for (auto it = recent_fixes_.rbegin(); it != recent_fixes_.rend(); ++it) {
        const double d = distance_metres(it->point, fix.point);
        if (d < options_.course_baseline_metres) continue;
        course_ = rounded(bearing_degrees(it->point, fix.point), 0.01);
        if (course_ >= 360.0) course_ = 0.0;
        double seconds = static_cast<double>(fix.elapsed_ms - it->elapsed_ms) / 1000.0;
        if (seconds <= 0.0 && fix.has_time && it->has_time) {
            seconds = static_cast<double>(fix.second - it->second);
        }
        if (seconds > 0.0) {
            speed_over_ground_ = rounded(d / seconds * 3600.0 / 1852.0, 0.01);
        }
        break;
    }
    recent_fixes_.push_back(fix);
    if (recent_fixes_.size() > kMaxRecentFixes) recent_fixes_.erase(recent_fixes_.begin());
}

void TrackBuilder::set_motion(Held& h) {
    TrackPing& p = h.ping;
    p.course_over_ground_degrees = p.has_position ? course_ : std::nullopt;
    if (h.record_heading) {
        p.heading_degrees = h.record_heading;
        p.heading_source = HeadingSource::Record;
    } else if (p.course_over_ground_degrees) {
        p.heading_degrees = p.course_over_ground_degrees;
        p.heading_source = HeadingSource::CourseOverGround;
    } else {
        p.heading_degrees.reset();
        p.heading_source = HeadingSource::None;
    }
    p.speed_knots =
        h.record_speed ? h.record_speed : (p.has_position ? speed_over_ground_ : std::nullopt);
}

void TrackBuilder::emit_ready() {
    while (held_ > 0) {
        Held& h = ring_[head_];
        if (!h.time_done || !h.position_done) break;
        if (h.ping.echoes) {
            h.ping.echoes->echo = {h.record.data() + h.echo_offset, h.ping.echoes->echo.size()};
        }
        if (h.ping.has_position) {
            ++counts_.with_position;
            bounds_.add(h.ping.position);
        }
        sink_(h.ping, {h.record.data(), h.length});
        head_ = (head_ + 1) % ring_.size();
        --held_;
        ++first_index_;
    }
}

void TrackBuilder::finish() {
    if (run_open_) {
        // The last run: nothing after it tells where its second ended.
        run_open_ = false;
        const int64_t end = next_index_;
        for (int64_t m = std::max(run_first_, first_index_); m < end; ++m) {
            Held& h = at(m);
            if (h.time_done) continue;
            const int64_t k = m - run_first_;
            const double dt = h.interval_ms / 1000.0;
            const double fraction =
                dt > 0.0 ? std::clamp(static_cast<double>(k) * dt, 0.0, 0.99) : 0.0;
            h.ping.time_fraction = fraction;
            h.ping.time_seconds = static_cast<double>(h.second) + fraction;
            h.time_done = true;
        }
    }
    resolve_positions_held(next_index_);
    resolve_positions_none();
    emit_ready();
}

std::optional<GeoPoint> place_sample(const TrackPing& ping, SonarSide side, int32_t index,
                                     const SensorOffsets& offsets) {
    const auto altitude = ping.altitude_metres[static_cast<size_t>(side)];
    if (!ping.has_position || !ping.heading_degrees || !ping.echoes || !altitude ||
        !ping.echoes->holds(side) || index < 0 || index >= ping.echoes->samples_per_side) {
        return std::nullopt;
    }
    const double slant =
        slant_range_metres(index, ping.echoes->range_metres, ping.echoes->samples_per_side);
    const auto ground = ground_range_metres(slant, *altitude);
    if (!ground) return std::nullopt;
    const GeoPoint sensor = sensor_position(ping.position, *ping.heading_degrees, offsets);
    return across_track_point(sensor, *ping.heading_degrees, side, *ground);
}

}  // namespace kelvanor
