#pragma once
// Contacts on the pings of a data file, placed through the file's track: the one path that
// both `vkd locate` and a contact marked in the window over a played or recorded file take,
// so that the two agree to the last digit. Records are numbered as `vkd dump` numbers them:
// the readable records from the start, from 0, skipping any that cannot be read.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "contacts/contact.h"
#include "datafile/record_source.h"
#include "geo/track.h"

namespace kelvanor {

struct FileTarget {
    // The ping: its record's index, or the byte offset where its record starts.
    std::optional<int64_t> record;
    std::optional<int64_t> offset;
    SonarSide side = SonarSide::Port;
    double slant_metres = 0.0;
};

// One contact per target (number and note left to the caller), or the reason there is none:
// no such record, a record without a valid reply, without that side, or a range beyond the
// ping's. Reads `file` from its start; stops once every target is placed.
struct FileContact {
    std::optional<Contact> contact;
    std::string error;
};
std::vector<FileContact> locate_in_file(RecordSource& file, std::span<const FileTarget> targets,
                                        const SensorOffsets& offsets,
                                        const TrackOptions& track_options = {});

}  // namespace kelvanor
