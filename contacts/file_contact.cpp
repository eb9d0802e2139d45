#include "contacts/file_contact.h"

#include <map>

#include "datafile/playback.h"

namespace kelvanor {

namespace {

// The reason a ping cannot carry a contact on `side` at `slant_metres`, or empty.
std::string unusable(const TrackPing& ping, SonarSide side, double slant_metres) {
    const std::string record = "record " + std::to_string(ping.index);
    if (!ping.echoes) return record + " holds no valid reply";
    if (!ping.echoes->holds(side)) return record + " holds no " + side_name(side) + " side";
    if (slant_metres > ping.echoes->range_metres) {
        return "range " + fixed_text(slant_metres, 2) + " m is beyond the " +
               std::to_string(ping.echoes->range_metres) + " m of " + record;
    }
    return {};
}

}  // namespace

std::vector<FileContact> locate_in_file(RecordSource& file, std::span<const FileTarget> targets,
                                        const SensorOffsets& offsets,
                                        const TrackOptions& track_options) {
    std::vector<FileContact> out(targets.size());
    std::multimap<int64_t, size_t> by_index;   // record index -> target
    std::multimap<int64_t, size_t> by_offset;  // record offset -> target, until its index is known
    for (size_t i = 0; i < targets.size(); ++i) {
        if (targets[i].record) {
            by_index.emplace(*targets[i].record, i);
        } else if (targets[i].offset) {
            by_offset.emplace(*targets[i].offset, i);
        }
    }
    size_t settled = 0;
    TrackBuilder builder(
        [&](const TrackPing& ping, std::span<const uint8_t>) {
            const auto [first, last] = by_index.equal_range(ping.index);
            for (auto it = first; it != last; ++it) {
                const FileTarget& t = targets[it->second];
                FileContact& result = out[it->second];
                ++settled;
                result.error = unusable(ping, t.side, t.slant_metres);
                if (!result.error.empty()) continue;
                result.contact = locate_contact(contact_ping_from_track(ping, t.side), t.side,
                                                t.slant_metres, offsets);
            }
        },
        track_options);

    file.seek(0);
    RecordBuffer buffer{};
    int64_t index = 0;
    while (settled < targets.size()) {
        const RecordRead read = read_record(file, buffer);
        if (read.status == RecordReadStatus::EndOfFile ||
            read.status == RecordReadStatus::Truncated) {
            break;
        }
        if (read.status == RecordReadStatus::Refused) {
            // Numbered on from the next record start, as vkd dump and playback go on.
            file.seek(read.offset + 1);
            if (!sync_to_record(file)) break;
            continue;
        }
        const auto [first, last] = by_offset.equal_range(read.offset);
        for (auto it = first; it != last; ++it) by_index.emplace(index, it->second);
        by_offset.erase(first, last);
        builder.push({buffer.data(), read.limits.record_length}, read.limits);
        ++index;
    }
    builder.finish();
    for (size_t i = 0; i < targets.size(); ++i) {
        if (out[i].contact || !out[i].error.empty()) continue;
        out[i].error = targets[i].record ? "no record " + std::to_string(*targets[i].record)
                                         : "no readable record at byte " +
                                               std::to_string(targets[i].offset.value_or(-1));
    }
    return out;
}

}  // namespace kelvanor
