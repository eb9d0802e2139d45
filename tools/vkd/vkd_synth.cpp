// vkd synth: a synthetic recording from the simulated head, written with the recorder's own
// record writer, with the time, position, speed and heading moving along a survey track.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "datafile/record_writer.h"
#include "sim/survey_recording.h"
#include "vkd_commands.h"

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

    std::string error;
    auto writer = RecordWriter::create(o.output, error);
    if (!writer) return file_error(o.output, error);

    SurveyRecordingConfig config;
    config.model = o.model;
    config.range_metres = o.range_metres;
    config.channel_code = o.channel_code;
    config.gain = o.gain;
    config.speed_knots = o.speed_knots;
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
    return 0;
}

}  // namespace kelvanor::vkd
