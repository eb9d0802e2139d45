#include "sim/survey_recording.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <numbers>

#include "ping/echo_conversion.h"

namespace kelvanor {

namespace {

void stamp_time(int64_t epoch_ms, RecordStamp& stamp) {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const auto seconds = static_cast<std::time_t>(epoch_ms / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char date[32];
    char time[32];
    std::snprintf(date, sizeof date, "%02d-%s-%04d", tm.tm_mday, kMonths[tm.tm_mon % 12],
                  (tm.tm_year + 1900) % 10000);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    stamp.date_text.fill(0);
    stamp.time_text.fill(0);
    std::memcpy(stamp.date_text.data(), date, kDateFieldLength - 1);
    std::memcpy(stamp.time_text.data(), time, kTimeFieldLength - 1);
}

}  // namespace

int32_t expected_ping_interval_ms(int32_t range_metres) {
    static constexpr int32_t kMetres[] = {15, 30, 60, 90, 120, 150, 180, 210, 240};
    static constexpr int32_t kInterval[] = {66, 82, 121, 159, 198, 238, 278, 318, 358};
    for (size_t i = 0; i < std::size(kMetres); ++i) {
        if (kMetres[i] == range_metres) return kInterval[i];
    }
    return 0;
}

std::array<char, kPositionTextSize> format_position_text(double latitude_minutes,
                                                         double longitude_minutes) {
    std::array<char, kPositionTextSize> out{};
    auto part = [](double minutes, bool latitude, char* dst) {
        const char hemisphere = latitude ? (minutes < 0 ? 'S' : 'N') : (minutes < 0 ? 'W' : 'E');
        const auto thousandths = static_cast<long>(std::fabs(minutes) * 1000.0);
        const long degrees = thousandths / 60000;
        const long whole = (thousandths / 1000) % 60;
        const long fraction = thousandths % 1000;
        char buf[40];
        std::snprintf(buf, sizeof buf, latitude ? " %02ld.%02ld.%03ld %c" : "%03ld.%02ld.%03ld %c",
                      degrees % (latitude ? 100 : 1000), whole, fraction, hemisphere);
        std::memcpy(dst, buf, 12);
    };
    part(latitude_minutes, true, out.data());
    part(longitude_minutes, false, out.data() + 12);
    return out;
}

SurveyRecording::SurveyRecording(const SurveyRecordingConfig& config)
    : config_(config),
      command_(make_switch_command(config.range_metres, config.gain, config.channel_code, 0,
                                   config.model)),
      interval_ms_(expected_ping_interval_ms(config.range_metres)),
      time_ms_(config.start_epoch_seconds * 1000),
      latitude_minutes_(config.start_latitude_minutes),
      longitude_minutes_(config.start_longitude_minutes) {
    head_.config.model = config.model;
    head_.config.scene = config.scene;
    if (interval_ms_ == 0) interval_ms_ = 198;
}

std::span<const uint8_t> SurveyRecording::next(RecordStamp& stamp) {
    const auto i = static_cast<double>(ping_index_++);
    const double heading = config_.heading_degrees + 6.0 * std::sin(i / 400.0);
    const double speed = config_.speed_knots * (1.0 + 0.05 * std::sin(i / 90.0));
    const size_t n = synthesize_reply(head_, command_, reply_);
    if (n == 0) return {};
    if (reply_[1] == 'G') reply_[7] = static_cast<uint8_t>(g_range_code_to_metres(reply_[7]));

    stamp = RecordStamp{};
    stamp.record_size_code = 3;
    stamp.channel_code = config_.channel_code;
    stamp.gain = config_.gain;
    stamp.frequency_code = 10;
    stamp.sample_bits = 8;
    stamp.frequency = 0;
    stamp.channel_balance = 30;
    stamp.ping_interval_ms = interval_ms_;
    stamp_time(time_ms_, stamp);
    stamp.position_text = format_position_text(latitude_minutes_, longitude_minutes_);
    stamp.speed_knots = static_cast<float>(speed);
    stamp.heading_degrees = static_cast<float>(heading);

    const double metres = speed * 1852.0 / 3600.0 * interval_ms_ / 1000.0;
    const double rad = heading * std::numbers::pi / 180.0;
    latitude_minutes_ += metres / 1852.0 * std::cos(rad);
    longitude_minutes_ += metres / 1852.0 * std::sin(rad) /
                          std::cos(latitude_minutes_ / 60.0 * std::numbers::pi / 180.0);
    advance_survey(head_, static_cast<float>(metres));
    time_ms_ += interval_ms_;
    return {reply_.data(), n};
}

}  // namespace kelvanor
