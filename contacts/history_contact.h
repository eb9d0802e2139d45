#pragma once
// What a waterfall column knows of its ping, for a contact marked on it: the antenna's
// position from the stored position text, the heading, and the altitude from the bottom
// value of the stored reply header where the head sent one. The record index and the time
// are the caller's to fill: the column does not hold them as numbers.

#include "contacts/contact.h"
#include "waterfall/column_history.h"

namespace kelvanor {

ContactPing contact_ping_from_history(const HistoryEntry& entry);

// The side and slant range under screen row `y` of the waterfall, read as the cursor range
// read-out reads it: both sides shown (channel code 3), port above the middle and starboard
// below; one side shown, starboard from the top (code 1) or port from the bottom (code 2).
struct PointerTarget {
    SonarSide side = SonarSide::Port;
    double slant_metres = 0.0;
};
PointerTarget pointer_target(ChannelCode channel_code, int32_t range_metres, int32_t y);

}  // namespace kelvanor
