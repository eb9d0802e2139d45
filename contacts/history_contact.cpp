#include "contacts/history_contact.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace kelvanor {

ContactPing contact_ping_from_history(const HistoryEntry& entry) {
    ContactPing p;
    if (const auto at = position_from_text(
            std::string_view(entry.position_text.data(), entry.position_text.size()))) {
        p.antenna = *at;
    }
    p.heading_degrees = entry.heading_degrees;
    p.time_text = entry.date_time_text.data();  // NUL-terminated
    // Bytes 8 and 9 of the reply: the bottom value in hundredths of a metre, 0 for none.
    const int32_t bottom = entry.reply_header[9] * 128 + (entry.reply_header[8] & 0x7F);
    if (bottom != 0) p.altitude_metres = bottom / 100.0;
    return p;
}

PointerTarget pointer_target(ChannelCode channel_code, int32_t range_metres, int32_t y) {
    const double r = range_metres;
    PointerTarget t;
    switch (channel_code) {
        case ChannelCode::Starboard:
            t.side = SonarSide::Starboard;
            t.slant_metres = (y - 2) * r / 500.0;
            break;
        case ChannelCode::Port:
            t.side = SonarSide::Port;
            t.slant_metres = (500 - y) * r / 500.0;
            break;
        case ChannelCode::Both:
            t.side = y <= 251 ? SonarSide::Port : SonarSide::Starboard;
            t.slant_metres = std::abs(y - 251) * r / 250.0;
            break;
    }
    t.slant_metres = std::clamp(t.slant_metres, 0.0, r);
    return t;
}

}  // namespace kelvanor
