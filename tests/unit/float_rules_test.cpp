// The single-precision rules give the same bits on every machine. A compiler that contracts
// a * b + c into one fused multiply-add rounds once instead of twice; GCC does so by default on
// ARM64. The rows marked "fused" are inputs (found by searching) where that single rounding
// changes the result: built with -ffp-contract=fast for ARM64 they fail, built as the project
// builds (no contraction) they pass on every architecture.

#include <gtest/gtest.h>

#include <cstdint>

#include "ping/ping_state.h"
#include "ping/process_ping.h"
#include "waterfall/palette.h"

namespace kelvanor {
namespace {

// Ping time in ms to travel a fifth of the range: (range / speed * 1000) * 0.2 + 0.5, cut.
TEST(SinglePrecisionRules, MarkInterval) {
    const struct {
        int32_t range_metres;
        float speed_knots;
        int32_t interval_ms;
        int32_t fused_ms;  // what a fused multiply-add gives; equal where it makes no difference
    } cases[] = {
        {60, 5.0f, 4665, 4665},
        {120, 0.0f, 24000, 24000},  // 0 knots counts as 1 m/s
        {15, 10.0f, 583, 583},
        // A boat at anchor: the receiver reports a few thousandths of a knot, and the interval
        // passes 2^23 ms, where one float step is a whole millisecond or more.
        {120, 0.005f, 9330454, 9330453},
        {180, 0.005f, 13995680, 13995681},
        {210, 0.009f, 9071276, 9071275},
        {240, 0.01f, 9330454, 9330453},
        {240, 0.011f, 8482232, 8482231},
        {90, 0.002f, 17494598, 17494600},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mark_interval_for(c.range_metres, c.speed_knots), c.interval_ms)
            << c.range_metres << " m at " << c.speed_knots << " kn"
            << (c.fused_ms != c.interval_ms ? " (the fused result)" : "");
    }
}

// Columns per ping with speed correction, to the last bit, and the columns 100 pings draw.
TEST(SinglePrecisionRules, LinesPerPingAndColumnsDrawn) {
    const struct {
        int32_t interval_ms;
        float speed_knots;
        int32_t range_metres;
        ChannelCode channel_code;
        float lines;
        int columns_per_100_pings;
    } cases[] = {
        {198, 4.0f, 120, ChannelCode::Both, 0x1.b29a32p-1f, 85},  // 0.848833: 85 of 100 pings draw
        {66, 10.0f, 15, ChannelCode::Starboard, 0x1.6a2b26p+3f, 1131},  // 11.3178
        {121, 5.0f, 60, ChannelCode::Both, 0x1.4bfce4p+0f, 129},
        {82, 6.0f, 30, ChannelCode::Port, 0x1.0dfaeep+2f, 421},
        {159, 3.7f, 90, ChannelCode::Both, 0x1.ae6e92p-1f, 85},
        {358, 0.01f, 240, ChannelCode::Both, 0x1.f6e8d4p-10f, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.interval_ms << " ms, " << c.speed_knots << " kn, " << c.range_metres
                     << " m, channel " << static_cast<int>(c.channel_code));
        EXPECT_EQ(lines_per_ping_for(c.interval_ms, c.speed_knots, c.range_metres, c.channel_code),
                  c.lines);
        PingState ping;
        ping.ping_interval_ms = c.interval_ms;
        int columns = 0;
        for (int i = 0; i < 100; ++i) {
            apply_speed_correction(ping, 1, c.speed_knots, c.range_metres, c.channel_code);
            columns += 1 + ping.line_repeat;
        }
        EXPECT_EQ(columns, c.columns_per_100_pings);
    }
}

// The four palettes whole (FNV-1a over every entry), and the worked interface entry:
// 100 x 1.8f is 179.99999..., cut to 179.
TEST(SinglePrecisionRules, Palettes) {
    const struct {
        ColourTable table;
        uint32_t fnv1a;
    } cases[] = {
        {ColourTable::Color, 1353933123u},
        {ColourTable::Grey, 2722203787u},
        {ColourTable::ReverseGrey, 3534877644u},
        {ColourTable::Brown, 2821118256u},
    };
    for (const auto& c : cases) {
        const PaletteEntries palette = make_palette(c.table);
        uint32_t hash = 2166136261u;
        for (const Rgb& entry : palette) {
            for (uint8_t byte : {entry.red, entry.green, entry.blue}) {
                hash = (hash ^ byte) * 16777619u;
            }
        }
        EXPECT_EQ(hash, c.fnv1a) << "table " << static_cast<int>(c.table);
        EXPECT_EQ(palette[kPaletteIndicatorGreen], (Rgb{0, 179, 0}))
            << "table " << static_cast<int>(c.table);
    }
}

}  // namespace
}  // namespace kelvanor
