#pragma once
// The altitude of a live ping from its echoes, read as the track of a file reads a record's.

#include <array>
#include <cstdint>

namespace kelvanor {

struct PingContext;

// The ping in flight encoded as its record would be, and the altitude of each side (port,
// starboard; metres, 0 where none is found) from that record's echoes. The caller has made
// sure that the reply has no bottom value.
std::array<float, 2> live_echo_altitudes(const PingContext& app, int32_t ping_interval_ms);

}  // namespace kelvanor
