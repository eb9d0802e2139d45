// vkd synth: a synthetic recording from the simulated head, written with the recorder's own
// record writer, with the time, position, speed and heading moving along a survey track.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
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

}  // namespace

int synth(const SynthOptions& o) {
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
    std::string error;
    if (o.targets.empty()) {
        config.placed_targets =
            place_targets_along_path(survey_path_config(config), config.scene.targets);
    } else {
        auto targets = read_truth_targets(o.targets, error);
        if (!targets) return file_error(o.targets, error);
        config.placed_targets = std::move(*targets);
    }

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
        const double range = config.range_metres;
        const double reach = std::sqrt(std::max(0.0, range * range - altitude * altitude));
        const auto sightings =
            sight_targets(survey_path_config(config), o.pings, reach, *config.placed_targets);
        if (!write_truth_targets(o.truth, *config.placed_targets, sightings, error)) {
            return file_error(o.truth, error);
        }
    }
    return 0;
}

Run add_synth(CLI::App& vkd) {
    CLI::App* command =
        vkd.add_subcommand("synth", "Write a synthetic survey recording from the simulated head.");
    auto o = std::make_shared<SynthOptions>();
    command->add_option("-o,--output", o->output, "the data file to write")->required();
    command->add_option("--pings", o->pings, "number of pings")
        ->check(CLI::Range(1L, 10000000L))
        ->capture_default_str();
    auto model = std::make_shared<std::string>("G");
    command->add_option("--model", *model, "head model: G (400 samples) or H (500 samples)")
        ->check(CLI::IsMember({"G", "H"}))
        ->capture_default_str();
    command->add_option("--range", o->range_metres, "range in metres")
        ->check(CLI::IsMember({15, 30, 60, 90, 120, 150, 180, 210, 240}))
        ->capture_default_str();
    command->add_option("--channel", o->channel_code, "sides: both, port or stbd")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, int32_t>{{"both", 3}, {"port", 2}, {"stbd", 1}}))
        ->default_str("both");
    command->add_option("--speed", o->speed_knots, "speed of the survey line in knots")
        ->check(CLI::Range(0.0f, 25.0f))
        ->capture_default_str();
    command->add_option("--gain", o->gain, "gain step")
        ->check(CLI::Range(0, 40))
        ->capture_default_str();
    command->add_option("--latitude", o->latitude, "start latitude in degrees (south negative)")
        ->check(CLI::Range(-84.0, 84.0))
        ->capture_default_str();
    command->add_option("--longitude", o->longitude, "start longitude in degrees (west negative)")
        ->check(CLI::Range(-180.0, 180.0))
        ->capture_default_str();
    command->add_option("--heading", o->heading, "heading of the first line in degrees")
        ->check(CLI::Range(0.0, 359.99))
        ->capture_default_str();
    command
        ->add_option("--line-length", o->line_length,
                     "metres of each line before a turn to the next (0: one endless line)")
        ->check(CLI::Range(0.0, 1.0e6))
        ->capture_default_str();
    command->add_option("--line-spacing", o->line_spacing, "metres between neighbouring lines")
        ->check(CLI::Range(2.0, 10000.0))
        ->capture_default_str();
    command
        ->add_option("--fix-interval", o->fix_interval_ms,
                     "milliseconds between GPS fixes, rounded to 0.001 minute (0: the position "
                     "follows every ping)")
        ->check(CLI::Range(0, 10000))
        ->capture_default_str();
    command->add_option("--truth", o->truth,
                        "write the targets' latitude, longitude, side and size as JSON");
    command->add_option("--targets", o->targets,
                        "place the targets of this truth file instead of the scene's own");
    return [o, model] {
        o->model = (*model)[0];
        return synth(*o);
    };
}

}  // namespace kelvanor::vkd
