#include "ping/echo_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvanor {

namespace {

uint8_t cut_level(int32_t value) {
    return static_cast<uint8_t>(std::min<int32_t>(value, kMaxEchoLevel));
}

}  // namespace

int32_t g_range_code_to_metres(uint8_t code) {
    switch (code) {
        case 20:
            return 15;
        case 40:
            return 30;
        case 75:
            return 60;
        case 115:
            return 90;
        case 150:
            return 120;
        case 190:
            return 150;
        case 225:
            return 180;
        default:
            return 120;
    }
}

int32_t range_index_for_metres(int32_t metres) {
    for (size_t i = 0; i < kRangeMetres.size(); ++i) {
        if (kRangeMetres[i] == metres) return static_cast<int32_t>(i);
    }
    return 4;
}

int32_t conversion_side_for_channel_code(ChannelCode channel_code) {
    switch (channel_code) {
        case ChannelCode::Starboard:
            return 2;
        case ChannelCode::Port:
            return 1;
        case ChannelCode::Both:
            return 3;
    }
    return 0;
}

void convert_8bit(std::span<const uint8_t> echo, int32_t side, SampleBuffer& port,
                  SampleBuffer& stbd) {
    const size_t n = echo.size();
    if (side == 1 || side == 2) {
        SampleBuffer& out = side == 1 ? port : stbd;
        const size_t count = std::min(n, out.size());
        for (size_t i = 0; i < count; ++i) out[i] = cut_level(echo[i]);
    } else if (side == 3) {
        const size_t pairs = std::min((n + 1) / 2, port.size());
        for (size_t j = 0; j < pairs; ++j) {
            port[j] = cut_level(echo[2 * j]);
            if (2 * j + 1 < n) stbd[j] = cut_level(echo[2 * j + 1]);
        }
    }
}

void convert_4bit(std::span<const uint8_t> echo, int32_t shift, SampleBuffer& single) {
    const size_t count = std::min(echo.size(), single.size() / 2);
    for (size_t j = 0; j < count; ++j) {
        const int32_t b = echo[j];
        single[2 * j] = cut_level(((b & 0x0F) * 16) >> shift);
        single[2 * j + 1] = cut_level((b & 0xF0) >> shift);
    }
}

void convert_16bit(std::span<const uint8_t> echo, int32_t shift, SampleBuffer& single) {
    const size_t count = std::min(echo.size() / 2, single.size());
    for (size_t k = 0; k < count; ++k) {
        const uint32_t word = echo[2 * k] | (static_cast<uint32_t>(echo[2 * k + 1]) << 8);
        const int32_t level = static_cast<int32_t>(((word >> 6) >> shift) & 0xFF);
        single[k] = cut_level(level);
    }
}

int32_t bottom_index_for(int32_t bottom_value, float metres_per_sample, int32_t half_scale) {
    float x = static_cast<float>(bottom_value) * 0.01f / metres_per_sample;
    if (half_scale == 1) x /= 2.0f;
    const float rounded = x + 0.5f;
    // 2^31 is exactly representable; anything at or above it (or not a number) saturates.
    if (!(rounded < 2147483648.0f)) return std::numeric_limits<int32_t>::max();
    if (!(rounded > -2147483648.0f)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

void update_ping_rate(PingState& ping, uint64_t now_ms) {
    int64_t interval = kFirstPingIntervalMs;
    if (ping.has_previous_ping) {
        interval = now_ms >= ping.previous_ping_ms
                       ? static_cast<int64_t>(std::min<uint64_t>(
                             now_ms - ping.previous_ping_ms, std::numeric_limits<int32_t>::max()))
                       : 0;
    }
    ping.previous_ping_ms = now_ms;
    ping.has_previous_ping = true;
    ping.ping_rate_sum_ms += interval;
    if (++ping.ping_rate_count < 10) return;
    const int32_t average = static_cast<int32_t>(ping.ping_rate_sum_ms / 10);
    ping.ping_interval_ms = average;
    ping.ping_interval_text_value = average;
    if (ping.ping_interval_ms > kPingIntervalLimitMs) ping.ping_interval_ms = kPingIntervalLimitMs;
    ping.ping_rate_sum_ms = 0;
    ping.ping_rate_count = 0;
}

bool convert_ping(const PingContext& app, uint64_t now_ms) {
    HeadState& head = app.head;
    PingState& ping = app.ping;
    WaterfallState& waterfall = app.waterfall;
    auto& reply = head.head_reply;

    // 1. Validation. A length that cannot hold the header and the terminator, or that runs
    // past the reply buffer, is refused with it.
    const int32_t length = head.reply_length;
    if (length < kReplyOverhead || length > static_cast<int32_t>(reply.size())) return false;
    if (reply[0] != 'Q' || reply[1] != head.head_type || reply[2] != 'Z' ||
        reply[length - 1] != kReplyTerminator) {
        return false;
    }
    const bool head_mode = app.settings.RunMode == RunMode::Head;

    // 2. A 'G' head echoes the range code of the command; played records carry metres.
    if (head_mode && head.head_type == kHeadTypeG)
        reply[7] = static_cast<uint8_t>(g_range_code_to_metres(reply[7]));

    // 3.
    head.reply_valid = 1;

    const int32_t head_id = reply[3];
    // 4.
    if (head_id == kSideScanHeadId && head_mode) update_ping_rate(ping, now_ms);

    // 5.
    ping.bottom_value = reply[9] * 128 + (reply[8] & 0x7F);
    head.head_type_h_flag = reply[4] & 1;
    ping.reply_type = reply[5];

    // 6.
    if (head_id == kSideScanHeadId) {
        ping.sample_format = head_mode ? 8 : head.sample_bits.load();
        ping.conversion_mode = head_mode ? 0 : head.extra_setting_2.load();
        ping.reply_range_metres = reply[7];
        ping.bottom_index =
            bottom_index_for(ping.bottom_value, head.metres_per_sample, ping.half_scale);
    } else {
        if (head_id == kNoFormatHeadId) {
            ping.sample_format = 0;
            ping.conversion_mode = 0;
        }
        ping.bottom_index = ping.bottom_value.load();
    }
    // 7.
    if (ping.bottom_value == 0) ping.bottom_index = 0;

    // 8.
    const int32_t mode = ping.conversion_mode;
    if (mode != 1) {
        const std::span<const uint8_t> echo(reply.data() + kReplyHeaderLength,
                                            static_cast<size_t>(length - kReplyOverhead));
        const int32_t shift = mode == 2 ? 2 : 0;
        const int32_t format = ping.sample_format;
        if (format == 8) {
            int32_t side = 0;
            if (head_mode) {
                side = conversion_side_for_channel_code(app.settings.channel_code);
            } else {
                side = app.file_side;
                if (side != ping.seen.conversion_side) {
                    ping.seen.conversion_side = side;
                    if (side == 1) waterfall.stbd_samples.fill(0);
                    if (side == 2) waterfall.port_samples.fill(0);
                }
            }
            convert_8bit(echo, side, waterfall.port_samples, waterfall.stbd_samples);
        } else if (format == 4 || format == 16) {
            if (format == 4) {
                convert_4bit(echo, shift, waterfall.single_samples);
            } else {
                convert_16bit(echo, shift, waterfall.single_samples);
            }
            // A bottom beyond the buffer gets no mark.
            const int32_t bottom = ping.bottom_index;
            if (mode >= 2 && bottom >= 0 && bottom < kSampleBufferSize) {
                waterfall.single_samples[bottom] = kBottomMarkLevel;
            }
        }
    }

    // 9.
    if (!head_mode && head_id == kSideScanHeadId) {
        app.settings.SSRange = range_index_for_metres(ping.reply_range_metres);
    }
    return true;
}

}  // namespace kelvanor
