// vkd synth: a synthetic recording from the simulated head, written with the recorder's own
// record writer, with the time, position, speed and heading moving along a survey track.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "datafile/record_writer.h"
#include "ping/echo_conversion.h"
#include "sim/head_sim.h"
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

// Expected time between pings by range, as ping processing expects it.
int32_t ping_interval_for(int32_t range_metres) {
    static constexpr int32_t kMetres[] = {15, 30, 60, 90, 120, 150, 180, 210, 240};
    static constexpr int32_t kInterval[] = {66, 82, 121, 159, 198, 238, 278, 318, 358};
    for (size_t i = 0; i < std::size(kMetres); ++i) {
        if (kMetres[i] == range_metres) return kInterval[i];
    }
    return 0;  // no such range
}

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
            if (!parse_number(v, o.range_metres) || ping_interval_for(o.range_metres) == 0) {
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

// Position text of a latitude and longitude in minutes of arc.
void format_position(double lat_minutes, double lon_minutes, std::array<char, 24>& out) {
    auto part = [](double minutes, int degree_digits, char positive, char negative, char* dst) {
        const char hemisphere = minutes < 0 ? negative : positive;
        const auto thousandths = static_cast<long>(std::fabs(minutes) * 1000.0);
        const long degrees = thousandths / 60000;
        const long whole = (thousandths / 1000) % 60;
        const long fraction = thousandths % 1000;
        char buf[16];
        if (degree_digits == 2) {
            std::snprintf(buf, sizeof buf, " %02ld.%02ld.%03ld %c", degrees % 100, whole, fraction,
                          hemisphere);
        } else {
            std::snprintf(buf, sizeof buf, "%03ld.%02ld.%03ld %c", degrees % 1000, whole, fraction,
                          hemisphere);
        }
        std::memcpy(dst, buf, 12);
    };
    part(lat_minutes, 2, 'N', 'S', out.data());
    part(lon_minutes, 3, 'E', 'W', out.data() + 12);
}

void format_time(int64_t epoch_ms, RecordStamp& stamp) {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const std::time_t seconds = static_cast<std::time_t>(epoch_ms / 1000);
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

int synth(Args args) {
    SynthOptions o;
    if (std::string complaint = parse(args, o); !complaint.empty()) return usage_error(complaint);

    std::string error;
    auto writer = RecordWriter::create(o.output, error);
    if (!writer) return file_error(o.output, error);

    SimHead head;
    head.config.model = o.model;
    const auto command = make_switch_command(o.range_metres, o.gain, o.channel_code, 0, o.model);
    const int32_t interval_ms = ping_interval_for(o.range_metres);

    RecordStamp stamp;
    stamp.record_size_code = 3;
    stamp.channel_code = o.channel_code;
    stamp.gain = o.gain;
    stamp.frequency_code = 10;
    stamp.sample_bits = 8;
    stamp.frequency = 0;
    stamp.channel_balance = 30;
    stamp.ping_interval_ms = interval_ms;

    // 14 May 2024, 09:30:00 UTC, off 54°21' N 10°07' E, heading north-east.
    int64_t time_ms = 1715679000LL * 1000;
    double lat_minutes = 54.0 * 60 + 21.0;
    double lon_minutes = 10.0 * 60 + 7.0;
    std::array<uint8_t, kSimMaxReplyLength> reply{};

    for (long i = 0; i < o.pings; ++i) {
        const double heading = 45.0 + 6.0 * std::sin(static_cast<double>(i) / 400.0);
        const float speed =
            o.speed_knots * (1.0f + 0.05f * std::sin(static_cast<float>(i) / 90.0f));
        const size_t n = synthesize_reply(head, command, reply);
        if (n == 0) return file_error(o.output, "the simulated head gave no reply");
        // Recording stores the reply as ping processing left it: a 'G' head's range code
        // has become metres.
        if (reply[1] == 'G') reply[7] = static_cast<uint8_t>(g_range_code_to_metres(reply[7]));

        format_time(time_ms, stamp);
        format_position(lat_minutes, lon_minutes, stamp.position_text);
        stamp.speed_knots = speed;
        stamp.heading_degrees = static_cast<float>(heading);
        if (!writer->write_ping_record(stamp, std::span<const uint8_t>(reply.data(), n))) {
            return file_error(o.output, "a record could not be written");
        }

        const double metres = speed * 1852.0 / 3600.0 * interval_ms / 1000.0;
        lat_minutes += metres / 1852.0 * std::cos(heading * M_PI / 180.0);
        lon_minutes += metres / 1852.0 * std::sin(heading * M_PI / 180.0) /
                       std::cos(lat_minutes / 60.0 * M_PI / 180.0);
        advance_survey(head, static_cast<float>(metres));
        time_ms += interval_ms;
    }
    writer->close();
    if (writer->failed_writes() != 0) return file_error(o.output, "a record could not be written");
    return 0;
}

}  // namespace kelvanor::vkd
