#pragma once
// Playback of a data file: one record per step through the same ping pipeline as live
// pings, wrapping at the end of the file, re-synchronising past records that cannot be read
// and resting when a whole pass yields nothing.

#include <cstdint>
#include <functional>
#include <span>

#include "datafile/ping_record.h"
#include "datafile/playback_context.h"
#include "datafile/record_source.h"

namespace kelvanor {

enum class RecordReadStatus {
    Read,       // a whole record is in the buffer
    EndOfFile,  // no byte left at the record start
    Truncated,  // the file ends inside the record
    Refused,    // the header breaks the reader's limits (see `fault`)
};

struct RecordRead {
    RecordReadStatus status = RecordReadStatus::EndOfFile;
    RecordFault fault = RecordFault::None;
    int64_t offset = 0;  // where the record starts
    RecordLimits limits;
};

// Reads the record at the current position into `buffer` without touching any state. After
// Read the position is at the next record.
RecordRead read_record(RecordSource& source, RecordBuffer& buffer);

// Restores a record that read_record returned as Read: header values, head reply and the
// head model the reply names.
void apply_record(const PlaybackContext& app, const RecordBuffer& buffer,
                  const RecordLimits& limits);

// Moves to the first "VKD" at or after the current position; true when one was found,
// otherwise the position is at the end of the source.
bool sync_to_record(RecordSource& source);

// What playback calls out to. Every member may be empty.
struct PlaybackHooks {
    // Ping processing of the restored reply.
    std::function<void(const PlaybackContext&)> process_ping;
    // Copying: the whole record as read, byte for byte.
    std::function<void(std::span<const uint8_t>)> copy_record;
    // The slider follows the position (0..100).
    std::function<void(int32_t percent)> show_position;
    // Forget the previous ping, so that the next one is not compared with a ping from
    // elsewhere in the file (end of the file, a jump).
    std::function<void(const PlaybackContext&)> reset_ping_tracking;
};

enum class PlaybackStep {
    Played,   // a record went through ping processing
    Skipped,  // a record was refused; the position moved to the next record start
    Wrapped,  // end of the file: back at its start
    Stalled,  // the last pass yielded no ping and the file has not changed since
};

class PingHooks;
class Clock;

// The hooks that run the real ping pipeline (process_ping with `ping_hooks` and `clock`) and
// reset its previous-ping tracking; copying and the slider are left to the caller.
PlaybackHooks pipeline_playback_hooks(PingHooks& ping_hooks, Clock& clock);

// Checks that the source starts with "VKD" and, if so, sets up playback from its start.
// False (nothing changed) for a source that does not.
bool start_playback(const PlaybackContext& app, RecordSource& source);

// One idle turn of FILE mode.
PlaybackStep playback_step(const PlaybackContext& app, RecordSource& source, RecordBuffer& buffer,
                           const PlaybackHooks& hooks);

// A jump to a slider position: 1..99 move to the first record at or after that share of the
// file and return true (the caller then clears the line history and the waterfall); 0 and
// 100 do nothing.
bool seek_playback(const PlaybackContext& app, RecordSource& source, int32_t slider_position,
                   const PlaybackHooks& hooks);

}  // namespace kelvanor
