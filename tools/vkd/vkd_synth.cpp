// vkd synth: a synthetic recording from the simulated head, written with the recorder's own
// record writer, with the time, position, speed and heading moving along a survey track.

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

}  // namespace

int synth(const SynthOptions& o) {
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
    return [o, model] {
        o->model = (*model)[0];
        return synth(*o);
    };
}

}  // namespace kelvanor::vkd
