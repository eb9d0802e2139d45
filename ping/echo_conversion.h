#pragma once
// Echo sample conversion: the first step of every ping, live or played. Checks the head
// reply, takes the per-ping values out of its header, measures the ping rate and turns the
// echo bytes into levels 0..107 in the sample buffers that the column drawer reads.

#include <cstdint>
#include <span>

#include "ping/ping_context.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

// Reply layout.
inline constexpr int32_t kReplyHeaderLength = 12;  // echo bytes start here
inline constexpr int32_t kReplyOverhead = 13;      // header plus the terminator
inline constexpr uint8_t kReplyTerminator = 0xFC;
// Head id (reply byte 3) whose pings carry no sample format to convert.
inline constexpr int32_t kNoFormatHeadId = 0x12;

// An interval between pings longer than this is not a ping rate.
inline constexpr int32_t kPingIntervalLimitMs = 2000;
// The first accepted ping has no predecessor; counting its interval as ten times the limit
// makes the first average end at the limit whatever the other nine intervals were.
inline constexpr int32_t kFirstPingIntervalMs = 10 * kPingIntervalLimitMs;

// Checks the reply in head_reply and converts it. Returns true for an accepted ping (which
// also sets reply_valid); a rejected reply changes nothing. `now_ms` is the millisecond
// clock, read for the ping rate of live pings. The caller holds the image lock, since the
// sample buffers are written.
[[nodiscard]] bool convert_ping(const PingContext& app, uint64_t now_ms);

// Range code a 'G' head echoes in reply byte 7, back to metres (unknown codes: 120).
int32_t g_range_code_to_metres(uint8_t code);
// Range index (SSRange) of a range in metres (unknown ranges: index 4, 120 m).
int32_t range_index_for_metres(int32_t metres);

// Sides of the 8-bit conversion: 1 port only, 2 starboard only, 3 both (port first in
// each pair). Other values convert nothing.
int32_t conversion_side_for_channel_code(ChannelCode channel_code);

// The conversions, each writing at most the 600 entries of a buffer; levels that would
// fall beyond it are dropped.
void convert_8bit(std::span<const uint8_t> echo, int32_t side, SampleBuffer& port,
                  SampleBuffer& stbd);
void convert_4bit(std::span<const uint8_t> echo, int32_t shift, SampleBuffer& single);
void convert_16bit(std::span<const uint8_t> echo, int32_t shift, SampleBuffer& single);

// Sample index of the bottom: trunc(bottom_value * 0.01 / metres_per_sample + 0.5), halved
// before rounding at half scale, in single precision. A result that no int32 holds (a zero
// or unusable metres_per_sample) saturates, so the bottom mark then falls outside the buffer.
int32_t bottom_index_for(int32_t bottom_value, float metres_per_sample, int32_t half_scale);

// One accepted live ping for the ping rate: every tenth sets ping_interval_ms.
void update_ping_rate(PingState& ping, uint64_t now_ms);

}  // namespace kelvanor
