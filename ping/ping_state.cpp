#include "ping/ping_state.h"

#include <cstdio>

namespace kelvanor {

std::array<char, 12> ping_interval_text(const PingState& ping) {
    std::array<char, 12> text{};
    std::snprintf(text.data(), text.size(), "%d", ping.ping_interval_text_value.load());
    return text;
}

void reset_previous_ping_tracking(PingState& ping) {
    ping.seen.time_seconds = kNothingShown;
}

void reset_tracking_for_new_file(PingState& ping) {
    PingTracking& seen = ping.seen;
    seen.time_seconds = kNothingShown;
    seen.range_metres = kFileOpenedShown;
    seen.byte4 = kFileOpenedShown;
    seen.gain = kFileOpenedShown;
    seen.file_frequency = std::nullopt;
    seen.file_channel_balance = kNothingShown;
    seen.sample_format = 0;
    seen.file_side = 0;
    seen.channel_code = std::nullopt;
    seen.conversion_side = 0;
}

void reset_reply_type_seen(PingState& ping) {
    ping.seen.reply_type = -1;
}

}  // namespace kelvanor
