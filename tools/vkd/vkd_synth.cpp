// vkd synth: a synthetic recording from the simulated head, written with the recorder's own
// record writer, with the time, position, speed and heading moving along a survey track.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "datafile/record_writer.h"
#include "sim/survey_recording.h"
#include "vkd_commands.h"
#include "vkd_truth.h"

namespace kelvanor::vkd {

namespace {

struct SynthOptions {
    std::string output;
    long pings = 500;
    char model = 'G';
    int32_t range_metres = 60;
    int32_t channel_code = 3;  // 1 Stbd, 2 Port, 3 Both
    float speed_knots = 4.0f;
    int32_t gain = 12;
    double latitude = 54.35;  // 54°21' N
    double longitude = 10.0 + 7.0 / 60.0;
    double heading = 45.0;
    double line_length = 0.0;
    double line_spacing = 100.0;
    int32_t fix_interval_ms = 0;
    std::string truth;    // where the targets' true positions go
    std::string targets;  // a truth file whose targets this recording sees
};

template <class T>
bool parse_number(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool parse_float(const std::string& text, float& value) {
    char* end = nullptr;
    value = std::strtof(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

bool parse_double(const std::string& text, double& value, double low, double high) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && value >= low && value <= high;
}

// Fills options from the arguments; on a bad one returns its complaint.
std::string parse(Args args, SynthOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return "option " + a + " needs a value";
        const std::string& v = args[++i];
        if (a == "-o" || a == "--output") {
            o.output = v;
        } else if (a == "--pings") {
            if (!parse_number(v, o.pings) || o.pings < 1 || o.pings > 10000000) {
                return "--pings must be a whole number from 1 to 10000000";
            }
        } else if (a == "--model") {
            if (v != "G" && v != "H") return "--model must be G or H";
            o.model = v[0];
        } else if (a == "--range") {
            if (!parse_number(v, o.range_metres) ||
                expected_ping_interval_ms(o.range_metres) == 0) {
                return "--range must be one of 15 30 60 90 120 150 180 210 240";
            }
        } else if (a == "--channel") {
            if (v == "both") {
                o.channel_code = 3;
            } else if (v == "port") {
                o.channel_code = 2;
            } else if (v == "stbd") {
                o.channel_code = 1;
            } else {
                return "--channel must be both, port or stbd";
            }
        } else if (a == "--speed") {
            if (!parse_float(v, o.speed_knots) || o.speed_knots < 0.0f || o.speed_knots > 25.0f) {
                return "--speed must be a number of knots from 0 to 25";
            }
        } else if (a == "--gain") {
            if (!parse_number(v, o.gain) || o.gain < 0 || o.gain > 40) {
                return "--gain must be a whole number from 0 to 40";
            }
        } else if (a == "--latitude") {
            if (!parse_double(v, o.latitude, -84.0, 84.0)) {
                return "--latitude must be degrees from -84 to 84 (south negative)";
            }
        } else if (a == "--longitude") {
            if (!parse_double(v, o.longitude, -180.0, 180.0)) {
                return "--longitude must be degrees from -180 to 180 (west negative)";
            }
        } else if (a == "--heading") {
            if (!parse_double(v, o.heading, 0.0, 359.99)) {
                return "--heading must be degrees from 0 to 359.99";
            }
        } else if (a == "--line-length") {
            if (!parse_double(v, o.line_length, 0.0, 1.0e6)) {
                return "--line-length must be metres from 0 (one endless line) to 1000000";
            }
        } else if (a == "--line-spacing") {
            if (!parse_double(v, o.line_spacing, 2.0, 10000.0)) {
                return "--line-spacing must be metres from 2 to 10000";
            }
        } else if (a == "--fix-interval") {
            if (!parse_number(v, o.fix_interval_ms) || o.fix_interval_ms < 0 ||
                o.fix_interval_ms > 10000) {
                return "--fix-interval must be milliseconds from 0 (every ping) to 10000";
            }
        } else if (a == "--truth") {
            o.truth = v;
        } else if (a == "--targets") {
            o.targets = v;
        } else {
            return "unknown option " + a;
        }
    }
    if (o.output.empty()) return "an output file is needed (-o FILE)";
    return {};
}

}  // namespace

int synth(Args args) {
    SynthOptions o;
    if (std::string complaint = parse(args, o); !complaint.empty()) return usage_error(complaint);

    SurveyRecordingConfig config;
    config.model = o.model;
    config.range_metres = o.range_metres;
    config.channel_code = o.channel_code;
    config.gain = o.gain;
    config.speed_knots = o.speed_knots;
    config.start_latitude_minutes = o.latitude * 60.0;
    config.start_longitude_minutes = o.longitude * 60.0;
    config.heading_degrees = o.heading;
    config.line_length_metres = o.line_length;
    config.line_spacing_metres = o.line_spacing;
    config.fix_interval_ms = o.fix_interval_ms;
    if (o.targets.empty()) {
        config.placed_targets =
            place_targets_along_path(survey_path_config(config), config.scene.targets);
    } else {
        std::string error;
        auto targets = read_truth_targets(o.targets, error);
        if (!targets) return file_error(o.targets, error);
        config.placed_targets = std::move(*targets);
    }

    std::string error;
    auto writer = RecordWriter::create(o.output, error);
    if (!writer) return file_error(o.output, error);
    SurveyRecording recording(config);
    RecordStamp stamp;
    for (long i = 0; i < o.pings; ++i) {
        const auto reply = recording.next(stamp);
        if (reply.empty()) return file_error(o.output, "the simulated head gave no reply");
        if (!writer->write_ping_record(stamp, reply)) {
            return file_error(o.output, "a record could not be written");
        }
    }
    writer->close();
    if (writer->failed_writes() != 0) return file_error(o.output, "a record could not be written");
    if (!o.truth.empty()) {
        // A target is seen where the swath reaches it on the seabed.
        const double altitude = config.scene.altitude_metres;
        const double reach = std::sqrt(
            std::max(0.0, double(config.range_metres) * config.range_metres - altitude * altitude));
        const auto sightings =
            sight_targets(survey_path_config(config), o.pings, reach, *config.placed_targets);
        if (!write_truth_targets(o.truth, *config.placed_targets, sightings, error)) {
            return file_error(o.truth, error);
        }
    }
    return 0;
}

}  // namespace kelvanor::vkd
