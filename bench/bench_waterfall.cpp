// Cost of drawing pings into the waterfall and of showing the whole image through the palette.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "waterfall/grid.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

void fill_random(WaterfallState& waterfall) {
    std::mt19937 random(1);
    for (int i = 0; i < kSampleBufferSize; ++i) {
        waterfall.stbd_samples[i] = static_cast<uint8_t>(random() % 108);
        waterfall.port_samples[i] = static_cast<uint8_t>(random() % 108);
    }
}

// One ping per iteration; arg 0 is line_repeat, so the rate per column is items/s.
void BM_DrawPing(benchmark::State& state) {
    WaterfallState waterfall;
    Settings settings;
    settings.channel_code = ChannelCode::Both;
    settings.Grid = true;
    settings.AlongTrackMarks = true;
    draw_grid(waterfall, settings);
    fill_random(waterfall);
    ColumnRequest request;
    request.line_repeat = static_cast<int32_t>(state.range(0));
    request.line_span = 533;
    request.samples_per_line = 400;
    for (auto _ : state) {
        benchmark::DoNotOptimize(draw_ping(waterfall, settings, request));
    }
    state.SetItemsProcessed(state.iterations() * (1 + request.line_repeat));
}
BENCHMARK(BM_DrawPing)->Arg(0)->Arg(1)->Arg(11);

// What moving the whole image per column would cost, for comparison with the ring.
void BM_PlainImageShift(benchmark::State& state) {
    std::vector<uint8_t> image(kImageWidth * kImageHeight, 3);
    for (auto _ : state) {
        for (int row = 0; row < kImageHeight; ++row) {
            uint8_t* p = image.data() + row * kImageWidth;
            std::memmove(p, p + 1, kImageWidth - 1);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainImageShift);

// The window's conversion of all 784 x 500 pixels at a refresh.
void BM_ConvertImageRgb32(benchmark::State& state) {
    WaterfallState waterfall;
    Settings settings;
    fill_random(waterfall);
    for (int i = 0; i < 400; ++i) draw_ping(waterfall, settings, {});
    std::vector<uint32_t> out(kImageWidth * kImageHeight);
    for (auto _ : state) {
        convert_image_rgb32(waterfall, out.data(), kImageWidth);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kImageWidth * kImageHeight);
}
BENCHMARK(BM_ConvertImageRgb32);

void BM_ConvertImageRgb24(benchmark::State& state) {
    WaterfallState waterfall;
    Settings settings;
    fill_random(waterfall);
    for (int i = 0; i < 400; ++i) draw_ping(waterfall, settings, {});
    std::vector<uint8_t> out(kImageWidth * kImageHeight * 3);
    for (auto _ : state) {
        convert_image_rgb24(waterfall, out.data(), kImageWidth * 3);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kImageWidth * kImageHeight);
}
BENCHMARK(BM_ConvertImageRgb24);

}  // namespace
}  // namespace kelvanor
