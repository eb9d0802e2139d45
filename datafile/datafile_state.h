#pragma once
// State of the data-file subsystem that the rest of the program reads: the playback position
// and the values that only played records carry. Everything here belongs to the GUI thread,
// which runs playback.

#include <cstdint>

namespace kelvanor {

// What identifies one version of a file on disk: a file that grows or is rewritten gets a
// new identity, so stalled playback knows when to look at it again.
struct FileIdentity {
    int64_t size = -1;
    int64_t modified_ns = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct DataFileState {
    // Playback position.
    int64_t playback_file_size = 0;
    int64_t playback_offset = 0;     // offset after the last record read; 0 after the end
    int32_t playback_percent = 0;    // 0..100, the slider position
    int32_t playback_restart = 0;    // 1 after opening and after wrapping at the end
    int32_t playback_restarted = 0;  // playback_restart as it was for the ping just processed

    // A pass over the whole file that yields no ping stops playback until the file changes,
    // so that a file without a readable record does not spin a core.
    int32_t pings_this_pass = 0;
    int32_t playback_stalled = 0;
    FileIdentity stalled_identity;
    int64_t records_skipped = 0;  // records refused by the reader since the file was opened

    // Values restored from the last played record that only records carry.
    int32_t file_side = 0;  // command byte 7 form: 1 Port, 2 Stbd, 3 Both
    float file_last_speed = 3.0f;
    float file_last_heading = 0.0f;
    int32_t file_channel_balance = 30;
    int32_t file_format_flag = 0;
    int32_t file_position_valid = 1;  // the last record's position passed the check
};

}  // namespace kelvanor
