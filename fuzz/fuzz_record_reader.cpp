// Fuzzes the record reader: any bytes are played as a data file through the playback step
// (header checks, restore, re-synchronisation, wrap and stall) and through slider jumps.
// Nothing may be read or written outside a buffer, and playback must come to rest.

#include <cstddef>
#include <cstdint>
#include <span>

#include "control/app_state.h"
#include "datafile/playback.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvanor;
    MemoryRecordSource source(std::span<const uint8_t>(data, size));
    // One state for the whole run (a fresh AppState costs more than the input): everything
    // the reader restores starts from its initial value for every input.
    static AppState& app = *new AppState;
    app.settings = Settings{};
    app.run.speed_knots = 3.0f;
    app.run.heading_degrees = 0.0f;
    app.run.playback_file_open = false;
    app.head = HeadState{};
    app.datafile = DataFileState{};
    app.ping.ping_interval_ms = 0;
    RecordBuffer buffer{};
    uint32_t checksum = 0;
    PlaybackHooks hooks;
    hooks.process_ping = [&checksum](const PlaybackContext& a) {
        // Touch what ping processing reads, as far as the reply length says.
        const int32_t n = a.head.reply_length;
        for (int32_t i = 0; i < n; ++i) checksum += a.head.head_reply[static_cast<size_t>(i)];
        checksum += static_cast<uint32_t>(a.head.date_time_text[0] + a.head.time_seconds);
    };
    if (!start_playback(app, source)) return 0;

    // Enough steps to pass over the file twice; a pass without a ping must end in a stall.
    const size_t max_steps = 2 * (size / 3 + 2) + 4;
    for (size_t step = 0; step < max_steps; ++step) {
        if (playback_step(app, source, buffer, hooks) == PlaybackStep::Stalled) break;
    }
    // A jump to a slider position taken from the data, then a few more steps.
    if (size > 0) {
        seek_playback(app, source, data[size - 1] % 101, hooks);
        for (int step = 0; step < 4; ++step) playback_step(app, source, buffer, hooks);
    }
    return checksum == 0xFFFFFFFF ? 1 : 0;
}
