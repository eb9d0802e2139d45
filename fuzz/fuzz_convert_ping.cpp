// Fuzzes the echo conversion with any reply bytes, any reply length and any combination of
// run mode, head model, channel, played sample format, conversion mode, side and range
// scale. Input: 8 setting bytes, then the reply bytes (the rest of the buffer stays zero).
// Up to three replies share one state, so that the side tracking of played files and the
// ping-rate count see changes between pings.
//
//   0  bit 0 run mode, bit 1 'H' head, bits 2..3 channel code, bit 4 half scale,
//      bits 5..6 number of extra pings (0..2) that reuse the reply with byte 7 changed
//   1  sample bits code: 0 -> 4, 1 -> 8, 2 -> 16, other -> the byte itself
//   2  conversion mode (the played record's byte 46)
//   3  file side
//   4  reply length, high byte
//   5  reply length, low byte
//   6  metres per sample: index into the range table; above it, 0 or a tiny scale
//   7  milliseconds between pings
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "control/app_state.h"
#include "ping/echo_conversion.h"
#include "waterfall/image.h"

namespace {

constexpr size_t kSettingBytes = 8;

int32_t sample_bits_for_code(uint8_t code) {
    switch (code) {
        case 0:
            return 4;
        case 1:
            return 8;
        case 2:
            return 16;
        default:
            return code;
    }
}

float metres_per_sample_for(uint8_t code) {
    if (code < kelvanor::kRangeMetres.size())
        return static_cast<float>(kelvanor::kRangeMetres[code]) / 500.0f;
    if (code == 0xFF) return 0.0f;
    if (code == 0xFE) return 1e-30f;
    return 0.24f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kSettingBytes) return 0;
    using namespace kelvanor;
    auto app = std::make_unique<AppState>();
    const uint8_t flags = data[0];
    app->settings.RunMode = (flags & 1) != 0 ? RunMode::File : RunMode::Head;
    app->head.head_type = (flags & 2) != 0 ? kHeadTypeH : kHeadTypeG;
    app->settings.channel_code = static_cast<ChannelCode>((flags >> 2) & 3);
    app->ping.half_scale = (flags >> 4) & 1;
    const int extra_pings = (flags >> 5) & 3;
    app->head.sample_bits = sample_bits_for_code(data[1]);
    app->head.extra_setting_2 = data[2];
    app->datafile.file_side = data[3];
    app->head.reply_length = (data[4] << 8) | data[5];
    app->head.metres_per_sample = metres_per_sample_for(data[6]);
    const uint64_t step_ms = data[7];

    const size_t reply_bytes = std::min(size - kSettingBytes, app->head.head_reply.size());
    std::memcpy(app->head.head_reply.data(), data + kSettingBytes, reply_bytes);

    uint64_t now_ms = 0;
    for (int i = 0; i <= extra_pings; ++i) {
        const ImageLock held = lock_image(app->waterfall);
        (void)convert_ping(*app, now_ms);
        now_ms += step_ms;
        // The next ping of a played file may carry another side and scale.
        app->datafile.file_side = (app->datafile.file_side + 1) & 3;
        app->head.head_reply[7] = static_cast<uint8_t>(app->head.head_reply[7] + 17);
    }
    return 0;
}
