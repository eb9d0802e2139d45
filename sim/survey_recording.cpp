#include "sim/survey_recording.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

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

SurveyPathConfig survey_path_config(const SurveyRecordingConfig& config) {
    SurveyPathConfig path;
    path.start_latitude_minutes = config.start_latitude_minutes;
    path.start_longitude_minutes = config.start_longitude_minutes;
    path.heading_degrees = config.heading_degrees;
    path.speed_knots = config.speed_knots;
    path.interval_ms = expected_ping_interval_ms(config.range_metres);
    if (path.interval_ms == 0) path.interval_ms = 198;
    path.line_length_metres = config.line_length_metres;
    path.line_spacing_metres = config.line_spacing_metres;
    return path;
}

SurveyRecording::SurveyRecording(const SurveyRecordingConfig& config)
    : config_(config),
      command_(make_switch_command(config.range_metres, config.gain, config.channel_code, 0,
                                   config.model)),
      interval_ms_(survey_path_config(config).interval_ms),
      time_ms_(config.start_epoch_seconds * 1000),
      path_(survey_path_config(config)) {
    head_.config.model = config.model;
    head_.config.scene = config.scene;
}

std::span<const uint8_t> SurveyRecording::next(RecordStamp& stamp) {
    if (config_.placed_targets) {
        // Everything a ping can see lies within its range.
        const double reach = config_.range_metres + 50.0;
        targets_seen_from(path_.position(), path_.heading_degrees(), head_.along_metres, reach,
                          *config_.placed_targets, seen_);
        head_.config.scene.targets = seen_;
    }
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
    if (config_.fix_interval_ms <= 0) {
        position_text_ = format_position_text(path_.latitude_minutes(), path_.longitude_minutes());
    } else if (const int64_t fix = time_ms_ / config_.fix_interval_ms; fix != last_fix_) {
        // Rounded to the text's 0.001 minute; the nudge keeps a value that lands on a
        // thousandth from being cut to the one below.
        auto rounded = [](double minutes) {
            const double r = std::round(minutes * 1000.0) / 1000.0;
            return r + std::copysign(1.0e-7, r);
        };
        position_text_ = format_position_text(rounded(path_.latitude_minutes()),
                                              rounded(path_.longitude_minutes()));
        last_fix_ = fix;
    }
    stamp.position_text = position_text_;
    stamp.speed_knots = static_cast<float>(path_.speed_knots());
    stamp.heading_degrees = static_cast<float>(path_.heading_degrees());

    const double metres = path_.step_metres();
    path_.advance();
    advance_survey(head_, static_cast<float>(metres));
    time_ms_ += interval_ms_;
    return {reply_.data(), n};
}

}  // namespace kelvanor
