// vkd info: a summary of a data file for a person, with a warning for anything odd.

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/playback.h"
#include "vkd_commands.h"

namespace kelvanor::vkd {

namespace {

template <size_t N>
std::string text(const std::array<char, N>& t) {
    return std::string(t.data(),
                       static_cast<size_t>(std::find(t.begin(), t.end(), '\0') - t.begin()));
}

template <class Map>
std::string counts(const Map& m, const char* unit = "") {
    std::string out;
    for (const auto& [key, count] : m) {
        if (!out.empty()) out += ", ";
        out += std::to_string(key) + unit + " (" + std::to_string(count) + ")";
    }
    return out.empty() ? "none" : out;
}

struct Summary {
    int64_t records = 0;
    int64_t record_bytes = 0;
    std::map<int64_t, int64_t> lengths, ranges, sides, gains;
    std::map<std::string, int64_t> models;
    std::string first_time, last_time;
    std::string first_position, last_position;
    int64_t without_position = 0, bad_position = 0;
    float min_speed = 0, max_speed = 0;
    double speed_sum = 0;
    std::vector<std::string> warnings;
    int64_t refused = 0, bad_replies = 0, odd_lengths = 0, back_link_breaks = 0;
    int64_t ignored_speeds = 0, without_settings = 0;
};

void note(Summary& s, int64_t& counter, const std::string& first) {
    if (counter++ == 0) s.warnings.push_back(first);
}

int info(const std::string& path) {
    auto file = open_data_file(path);
    if (!file) return 1;

    AppState app;
    start_playback(app, *file);
    RecordBuffer buffer{};
    Summary s;
    int64_t previous_length = 0;
    std::string truncated;
    for (;;) {
        const RecordRead read = read_record(*file, buffer);
        if (read.status == RecordReadStatus::EndOfFile) break;
        if (read.status == RecordReadStatus::Truncated) {
            truncated = "the file ends inside a record at offset " + std::to_string(read.offset) +
                        " (" + std::to_string(file->size() - read.offset) + " bytes left over)";
            break;
        }
        if (read.status == RecordReadStatus::Refused) {
            note(s, s.refused,
                 "record at offset " + std::to_string(read.offset) +
                     " cannot be read: " + record_fault_text(read.fault) + "; skipped");
            file->seek(read.offset + 1);
            sync_to_record(*file);
            previous_length = -1;  // the record before the next one is unknown
            continue;
        }
        apply_record(app, buffer, read.limits);
        const HeadState& head = app.head;
        const size_t len = read.limits.record_length;
        const size_t n = read.limits.reply_length;
        ++s.records;
        s.record_bytes += static_cast<int64_t>(len);
        ++s.lengths[static_cast<int64_t>(len)];

        const auto& reply = head.head_reply;
        const bool reply_ok = reply[0] == 'Q' && (reply[1] == 'G' || reply[1] == 'H') &&
                              reply[2] == 'Z' && reply[n - 1] == 0xFC;
        if (!reply_ok) {
            note(s, s.bad_replies,
                 "record " + std::to_string(s.records - 1) +
                     " holds no valid head reply (header, model letter or terminator)");
        } else {
            std::string model(1, static_cast<char>(reply[1]));
            model += (reply[4] & 1) ? " reply from an H head" : " reply from a G head";
            ++s.models[model];
            ++s.ranges[reply[7]];
            if (n != static_cast<size_t>(head.samples_per_line) + 13) {
                note(s, s.odd_lengths,
                     "record " + std::to_string(s.records - 1) + ": reply of " + std::to_string(n) +
                         " bytes from a " + static_cast<char>(reply[1]) + " head");
            }
        }
        const int64_t link = read_be16(buffer.data() + len - 2);
        // The first record of a recording links to itself, any later one to the one before.
        const bool link_ok = previous_length < 0 || link == static_cast<int64_t>(len) ||
                             link == ((static_cast<int64_t>(len) + previous_length) & 0xFFFF);
        if (!link_ok) {
            note(s, s.back_link_breaks,
                 "record " + std::to_string(s.records - 1) + ": back-link " + std::to_string(link) +
                     " does not lead to the record before it");
        }
        previous_length = static_cast<int64_t>(len);

        if (buffer[37] == 0x10 || buffer[37] == 0x11) {
            ++s.sides[app.datafile.file_side];
            ++s.gains[app.settings.SSGain];
        } else {
            note(s, s.without_settings,
                 "record " + std::to_string(s.records - 1) + " carries no settings block");
        }
        if (buffer[73] >= 100 && app.datafile.file_position_valid) {
            note(s, s.ignored_speeds,
                 "record " + std::to_string(s.records - 1) +
                     ": stored speed of 10 knots or more, ignored on playback");
        }

        const std::string when = text(head.date_time_text);
        if (s.first_time.empty()) s.first_time = when;
        s.last_time = when;
        if (buffer[47] == 0) {
            ++s.without_position;
        } else if (!app.datafile.file_position_valid) {
            note(s, s.bad_position,
                 "record " + std::to_string(s.records - 1) + ": position text is malformed");
        } else {
            std::string pos(head.position_text.data(), head.position_text.size());
            if (s.first_position.empty()) s.first_position = pos;
            s.last_position = pos;
        }
        const float speed = app.run.speed_knots;
        if (s.records == 1 || speed < s.min_speed) s.min_speed = speed;
        if (s.records == 1 || speed > s.max_speed) s.max_speed = speed;
        s.speed_sum += speed;
    }

    std::printf("file: %s\n", path.c_str());
    std::printf("bytes: %lld\n", static_cast<long long>(file->size()));
    std::printf("records: %lld\n", static_cast<long long>(s.records));
    std::printf("record lengths: %s\n", counts(s.lengths, " B").c_str());
    std::string models;
    for (const auto& [m, c] : s.models) {
        models += (models.empty() ? "" : ", ") + m + " (" + std::to_string(c) + ")";
    }
    std::printf("head model: %s\n", models.empty() ? "none" : models.c_str());
    std::printf("time: %s .. %s\n", s.first_time.c_str(), s.last_time.c_str());
    std::printf("ranges: %s\n", counts(s.ranges, " m").c_str());
    std::string sides;
    for (const auto& [side, c] : s.sides) {
        const char* name = side == 1 ? "port" : side == 2 ? "stbd" : side == 3 ? "both" : "none";
        sides += (sides.empty() ? "" : ", ") + std::string(name) + " (" + std::to_string(c) + ")";
    }
    std::printf("channels: %s\n", sides.empty() ? "none" : sides.c_str());
    std::printf("gains: %s\n", counts(s.gains).c_str());
    if (s.first_position.empty()) {
        std::printf("position: none\n");
    } else {
        std::printf("position: %s .. %s\n", s.first_position.c_str(), s.last_position.c_str());
    }
    if (s.without_position) {
        std::printf("records without position: %lld\n", static_cast<long long>(s.without_position));
    }
    if (s.records > 0) {
        std::printf("speed: %.1f .. %.1f knots, mean %.1f\n", s.min_speed, s.max_speed,
                    s.speed_sum / static_cast<double>(s.records));
    }
    if (!truncated.empty()) s.warnings.push_back(truncated);
    if (s.models.size() > 1) s.warnings.push_back("more than one head model in one file");
    if (s.records == 0) s.warnings.push_back("no record can be played");
    for (const auto& w : s.warnings) std::printf("warning: %s\n", w.c_str());
    struct Count {
        const char* what;
        int64_t n;
    } repeated[] = {{"unreadable records skipped", s.refused},
                    {"records without a valid reply", s.bad_replies},
                    {"records with an odd reply length", s.odd_lengths},
                    {"broken back-links", s.back_link_breaks},
                    {"records without settings", s.without_settings},
                    {"records with an ignored speed", s.ignored_speeds},
                    {"malformed positions", s.bad_position}};
    for (const auto& c : repeated) {
        if (c.n > 1) std::printf("warning: %lld %s in all\n", static_cast<long long>(c.n), c.what);
    }
    return 0;
}

}  // namespace

Run add_info(CLI::App& vkd) {
    CLI::App* command =
        vkd.add_subcommand("info", "Summarise a data file for a person, with warnings.");
    auto path = std::make_shared<std::string>();
    command->add_option("FILE", *path, "the data file")->required();
    return [path] { return info(*path); };
}

}  // namespace kelvanor::vkd
