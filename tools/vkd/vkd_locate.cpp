// vkd locate: where a target marked on a ping lies, as the JSON the program stores for a
// contact, and optionally the contact files for the targets asked for.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "contacts/contact.h"
#include "contacts/contact_files.h"
#include "contacts/file_contact.h"
#include "vkd_commands.h"

namespace kelvanor::vkd {

namespace {

struct LocateOptions {
    std::string path;
    std::vector<int64_t> pings;
    std::vector<std::string> sides;
    std::vector<double> ranges;
    std::vector<std::string> notes;
    double layback_metres = 0.0;
    double offset_forward_metres = 0.0;
    double offset_starboard_metres = 0.0;
    double max_fix_gap_seconds = 5.0;
    std::string write_folder;
};

int locate(const LocateOptions& o) {
    const size_t count = o.pings.size();
    if (o.sides.size() != count || o.ranges.size() != count) {
        return usage_error("give --side and --range once for every --ping");
    }
    if (!o.notes.empty() && o.notes.size() != count) {
        return usage_error("give --note once for every --ping, or not at all");
    }
    auto file = open_data_file(o.path);
    if (!file) return 1;

    const SensorOffsets offsets{o.offset_forward_metres, o.offset_starboard_metres,
                                o.layback_metres};
    std::vector<FileTarget> targets(count);
    for (size_t i = 0; i < count; ++i) {
        targets[i].record = o.pings[i];
        targets[i].side = o.sides[i] == "port" ? SonarSide::Port : SonarSide::Starboard;
        targets[i].slant_metres = o.ranges[i];
    }
    TrackOptions track_options;
    track_options.max_fix_gap_seconds = o.max_fix_gap_seconds;
    const std::vector<FileContact> located = locate_in_file(*file, targets, offsets, track_options);

    std::vector<Contact> found;
    for (size_t i = 0; i < count; ++i) {
        if (!located[i].contact) return file_error(o.path, located[i].error);
        Contact c = *located[i].contact;
        c.number = static_cast<int>(i) + 1;
        c.note = o.notes.empty() ? "Contact " + std::to_string(c.number) : o.notes[i];
        found.push_back(std::move(c));
    }
    std::string error;
    for (const Contact& c : found) std::printf("%s\n", contact_json(c).c_str());
    if (std::fflush(stdout) != 0) return file_error("stdout", "cannot be written");
    if (!o.write_folder.empty() && !write_contact_files(o.write_folder, found, error)) {
        return file_error(o.write_folder, error);
    }
    return 0;
}

}  // namespace

Run add_locate(CLI::App& vkd) {
    CLI::App* command = vkd.add_subcommand(
        "locate",
        "Where a target seen on a ping lies: prints, one line each, the JSON the program stores "
        "for a contact marked there (the target's latitude and longitude, the ship's under "
        "\"ship\"). --ping, --side and --range may be given several times, once per target.");
    auto o = std::make_shared<LocateOptions>();
    command->add_option("FILE", o->path, "data file")->required();
    command->add_option("--ping", o->pings, "record index, as vkd dump numbers it")
        ->required()
        ->check(CLI::NonNegativeNumber);
    command->add_option("--side", o->sides, "side of the ping")
        ->required()
        ->check(CLI::IsMember({"port", "stbd"}));
    command->add_option("--range", o->ranges, "slant range in metres, as a row of the waterfall")
        ->required()
        ->check(CLI::Range(0.0, 1000.0));
    command->add_option("--note", o->notes, "note of the contact (default \"Contact N\")");
    command->add_option("--layback", o->layback_metres, "metres the sonar is towed behind the GPS")
        ->check(CLI::Range(0.0, 10000.0))
        ->capture_default_str();
    command
        ->add_option("--offset-forward", o->offset_forward_metres,
                     "metres the sonar is ahead of the GPS antenna")
        ->check(CLI::Range(-1000.0, 1000.0))
        ->capture_default_str();
    command
        ->add_option("--offset-starboard", o->offset_starboard_metres,
                     "metres the sonar is to starboard of the GPS antenna")
        ->check(CLI::Range(-1000.0, 1000.0))
        ->capture_default_str();
    command
        ->add_option("--max-fix-gap", o->max_fix_gap_seconds,
                     "seconds without a new fix after which pings have no position")
        ->check(CLI::Range(0.5, 3600.0))
        ->capture_default_str();
    command->add_option("--write", o->write_folder,
                        "folder to write contacts.csv, .geojson, .kml and .gpx of these targets");
    return [o] { return locate(*o); };
}

}  // namespace kelvanor::vkd
