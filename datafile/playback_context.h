#pragma once
// The parts of the program state playback works on: those of ping processing, through which
// every played record goes, and the data-file subsystem's own state, which holds the playback
// position and the values only records carry. The program builds it from its whole state
// (playback_context in control/app_state.h).

#include "datafile/datafile_state.h"
#include "datafile/ping_record.h"
#include "ping/ping_context.h"

namespace kelvanor {

struct PlaybackContext : PingContext {
    DataFileState& datafile;

    // The parts a played record is restored into.
    RecordContext record() const { return {settings, run, head, ping, datafile}; }
};

}  // namespace kelvanor
