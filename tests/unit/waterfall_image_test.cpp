#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <random>
#include <thread>
#include <vector>

#include "waterfall/grid.h"
#include "waterfall/image.h"
#include "waterfall_test_support.h"

namespace kelvanor {
namespace {

using Picture = std::vector<uint8_t>;  // 784 x 500, row-major, as shown

Picture shown(const WaterfallState& waterfall) {
    Picture picture(kImageWidth * kImageHeight);
    const ImageLock held = lock_image(waterfall);
    copy_image(waterfall, held, picture.data(), kImageWidth);
    return picture;
}

uint8_t at(const Picture& picture, int row, int column) {
    return picture[row * kImageWidth + column];
}

void fill_samples(WaterfallState& waterfall, uint8_t stbd, uint8_t port) {
    waterfall.stbd_samples.fill(stbd);
    waterfall.port_samples.fill(port);
}

Settings settings_for(int32_t channel_code, bool grid, bool marks = false) {
    Settings settings;
    settings.channel_code = static_cast<ChannelCode>(channel_code);
    settings.Grid = grid ? 1 : 0;
    settings.AlongTrackMarks = marks ? 1 : 0;
    return settings;
}

// The image moved the plain way: every pixel one column per drawn column, as a reference for
// the ring the drawer keeps.
class ReferenceImage {
  public:
    uint8_t& px(int row, int column) { return pixels_[row * kImageWidth + column]; }
    const Picture& pixels() const { return pixels_; }

    void clear() { std::fill(pixels_.begin(), pixels_.end(), 0); }

    void grid(bool on, int32_t code) {
        const int zero = zero_line_row(static_cast<ChannelCode>(code));
        for (int c = 0; c < kImageWidth; ++c) {
            if (!on)
                px(zero, c) = clear_grid_mark(px(zero, c));
            else if ((c & 8) == 0)
                px(zero, c) = set_grid_mark(px(zero, c));
        }
        std::vector<int> rows;
        if (code == 1) rows = {101, 201, 301, 401};
        if (code == 2) rows = {399, 299, 199, 99};
        if (code == 3) rows = {200, 150, 100, 50, 0, 300, 350, 400, 450};
        for (int r : rows) {
            for (int c = 0; c < kImageWidth; ++c) {
                px(r, c) = on ? set_grid_mark(px(r, c)) : clear_grid_mark(px(r, c));
            }
        }
    }

    // Draws one ping from the lines the drawer resampled.
    void draw(const WaterfallState& lines, const Settings& settings, const ColumnRequest& request) {
        if (request.line_repeat < 0) return;
        // n single-column moves: column c takes old column c + n, the newest one repeating.
        const int n = std::min(1 + request.line_repeat, kImageWidth);
        for (int r = 0; r < kImageHeight; ++r) {
            uint8_t* row = &px(r, 0);
            const uint8_t newest = row[783];
            std::copy(row + n, row + kImageWidth, row);
            std::fill(row + kImageWidth - n, row + kImageWidth, newest);
        }
        const auto code = static_cast<int32_t>(settings.channel_code.load());
        const bool grid = settings.Grid != 0;
        if (grid) {
            const int zero = zero_line_row(static_cast<ChannelCode>(code));
            for (int c = 0; c < kImageWidth; ++c) px(zero, c) = clear_grid_mark(px(zero, c));
            for (int c = 0; c < kImageWidth; ++c) {
                if ((c & 8) == 0) px(zero, c) = set_grid_mark(px(zero, c));
            }
        }
        auto side = [&](const SampleBuffer& line, const SampleBuffer& previous, int row0, int dir,
                        int last) {
            for (int j = 0; j <= last; ++j) {
                const int r = row0 + dir * j;
                if (r < 0 || r >= kImageHeight) continue;
                int v = request.playback_restart ? 106 : line[j];
                v = std::min(v, 107);
                int a = std::min((line[j] + previous[j]) / 2, 107);
                if (grid && (px(r, 783) & 0x80)) {
                    v = std::min(v + 128, 245);
                    a = std::min(a + 128, 245);
                }
                px(r, 783) = static_cast<uint8_t>(v);
                for (int k = 0; k < request.line_repeat && 782 - k >= 0; ++k) {
                    px(r, 782 - k) = static_cast<uint8_t>(a);
                }
            }
        };
        if (code == 1) side(lines.stbd_line, lines.stbd_previous_line, 1, 1, 499);
        if (code == 2) side(lines.port_line, lines.port_previous_line, 499, -1, 499);
        if (code == 3) {
            side(lines.stbd_line, lines.stbd_previous_line, 251, 1, 251);
            side(lines.port_line, lines.port_previous_line, 250, -1, 251);
        }
        if (request.mark_pending && settings.AlongTrackMarks != 0) {
            for (int first : {1, 246, 489}) {
                for (int r = first; r < first + 10; ++r) px(r, 782) = 106;
            }
        }
    }

  private:
    Picture pixels_ = Picture(kImageWidth * kImageHeight, 0);
};

TEST(WaterfallImage, RingShowsExactlyThePlainShiftThroughAMixedSession) {
    std::mt19937 random(20240611);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    WaterfallState waterfall;
    ReferenceImage reference;
    Settings settings = settings_for(3, true);
    std::vector<std::byte> history(784 * 98, std::byte{1});
    clear_screen(waterfall, settings, history);
    reference.grid(true, 3);
    ASSERT_EQ(shown(waterfall), reference.pixels());

    const int spans[] = {400, 500, 507, 511, 533};
    const int repeats[] = {0, 0, 0, 0, 1, 2, 5, 11, 783, 900};
    for (int step = 0; step < 600; ++step) {
        const int action = pick(100);
        if (action < 4) {
            settings.Grid = settings.Grid != 0 ? 0 : 1;
            draw_grid(waterfall, settings);
            reference.grid(settings.Grid != 0, static_cast<int32_t>(settings.channel_code.load()));
        } else if (action < 8) {
            const auto old_code = static_cast<int32_t>(settings.channel_code.load());
            const int32_t new_code = 1 + pick(3);
            if (settings.Grid != 0) {
                change_grid_layout(waterfall, static_cast<ChannelCode>(old_code),
                                   static_cast<ChannelCode>(new_code));
                reference.grid(false, old_code);
                reference.grid(true, new_code);
            }
            settings.channel_code = static_cast<ChannelCode>(new_code);
            clear_line_history(waterfall);
        } else if (action < 10) {
            clear_screen(waterfall, settings, history);
            reference.clear();
            reference.grid(settings.Grid != 0, static_cast<int32_t>(settings.channel_code.load()));
        } else {
            if (action < 30) settings.AlongTrackMarks = pick(2);
            for (int i = 0; i < kSampleBufferSize; ++i) {
                waterfall.stbd_samples[i] = static_cast<uint8_t>(pick(120));
                waterfall.port_samples[i] = static_cast<uint8_t>(pick(120));
            }
            ColumnRequest request;
            request.data_channel = 1 + pick(3);
            request.samples_per_line = pick(2) ? 400 : 500;
            request.line_span = spans[pick(5)];
            request.line_repeat = repeats[pick(10)];
            request.playback_restart = pick(20) == 0;
            request.mark_pending = pick(5) == 0;
            const int moved = draw_ping(waterfall, settings, request);
            EXPECT_EQ(moved, 1 + request.line_repeat);
            reference.draw(waterfall, settings, request);
        }
        ASSERT_EQ(shown(waterfall), reference.pixels()) << "after step " << step;
    }
}

TEST(WaterfallImage, ExtraColumnsGetTheAverageOfThisAndThePreviousPing) {
    WaterfallState waterfall;
    const Settings settings = settings_for(1, false);
    fill_samples(waterfall, 20, 0);
    draw_ping(waterfall, settings, {});
    fill_samples(waterfall, 61, 0);
    ColumnRequest request;
    request.line_repeat = 2;
    EXPECT_EQ(draw_ping(waterfall, settings, request), 3);
    const Picture picture = shown(waterfall);
    for (int row : {1, 250, 499}) {
        EXPECT_EQ(at(picture, row, 783), 61) << row;
        EXPECT_EQ(at(picture, row, 782), 40) << row;
        EXPECT_EQ(at(picture, row, 781), 40) << row;
        EXPECT_EQ(at(picture, row, 780), 20) << row;  // the previous ping, moved three columns
        EXPECT_EQ(at(picture, row, 779), 0) << row;
    }
}

TEST(WaterfallImage, FirstPlayedPingIsAMarkColumnWithAveragedExtraColumns) {
    WaterfallState waterfall;
    const Settings settings = settings_for(2, false);
    fill_samples(waterfall, 0, 30);
    ColumnRequest request;
    request.playback_restart = true;
    request.line_repeat = 1;
    draw_ping(waterfall, settings, request);
    const Picture picture = shown(waterfall);
    for (int row = 0; row < kImageHeight; ++row) {
        ASSERT_EQ(at(picture, row, 783), kMarkLevel) << row;
        ASSERT_EQ(at(picture, row, 782), 15) << row;  // (30 + 0) / 2
    }
}

TEST(WaterfallImage, BothSidesPutPortAboveAndStarboardBelowTheZeroLine) {
    WaterfallState waterfall;
    const Settings settings = settings_for(3, false);
    for (int i = 0; i < kSampleBufferSize; ++i) {
        waterfall.stbd_samples[i] = static_cast<uint8_t>(1 + i % 50);
        waterfall.port_samples[i] = static_cast<uint8_t>(51 + i % 50);
    }
    draw_ping(waterfall, settings, {});
    const Picture picture = shown(waterfall);
    EXPECT_EQ(zero_line_row(ChannelCode::Both), 250);
    EXPECT_EQ(at(picture, 251, 783), 1);   // nearest starboard sample
    EXPECT_EQ(at(picture, 499, 783), 49);  // starboard sample 248
    EXPECT_EQ(at(picture, 250, 783), 51);  // nearest port sample on the zero line
    EXPECT_EQ(at(picture, 0, 783), 51 + 250 % 50);
}

TEST(WaterfallImage, OneSideLayoutsRunFromTheirZeroLine) {
    for (int32_t code : {1, 2}) {
        WaterfallState waterfall;
        for (int i = 0; i < kSampleBufferSize; ++i) {
            waterfall.stbd_samples[i] = waterfall.port_samples[i] = static_cast<uint8_t>(i % 100);
        }
        ColumnRequest request;
        request.data_channel = code == 1 ? 2 : 1;  // a one-side record
        draw_ping(waterfall, settings_for(code, false), request);
        const Picture picture = shown(waterfall);
        if (code == 1) {
            EXPECT_EQ(at(picture, 0, 783), 0);  // row 0 is not drawn
            EXPECT_EQ(at(picture, 1, 783), 0);
            EXPECT_EQ(at(picture, 2, 783), 1);
            EXPECT_EQ(at(picture, 499, 783), 498 % 100);
        } else {
            EXPECT_EQ(at(picture, 499, 783), 0);
            EXPECT_EQ(at(picture, 498, 783), 1);
            EXPECT_EQ(at(picture, 0, 783), 499 % 100);
        }
    }
}

TEST(WaterfallImage, OldestColumnIsDroppedAndNewestAlwaysOnTheRight) {
    WaterfallState waterfall;
    const Settings settings = settings_for(1, false);
    for (int ping = 0; ping < kImageWidth + 5; ++ping) {
        fill_samples(waterfall, static_cast<uint8_t>(ping % 100), 0);
        draw_ping(waterfall, settings, {});
    }
    const Picture picture = shown(waterfall);
    const int last = kImageWidth + 4;
    for (int column = 0; column < kImageWidth; ++column) {
        // Column c holds ping (last - 783 + c); pings 0..4 have left the image.
        ASSERT_EQ(at(picture, 300, column), (last - 783 + column) % 100) << column;
    }
    // Row 0 is never drawn in this layout: the newest column repeats into it.
    EXPECT_EQ(at(picture, 0, 783), 0);
}

TEST(WaterfallImage, UndrawnRowsRepeatTheNewestColumnWhenMoving) {
    WaterfallState waterfall;
    {
        const ImageLock held = lock_image(waterfall);
        set_image_pixel(waterfall, held, 0, 783, 77);
        set_image_pixel(waterfall, held, 0, 0, 55);
    }
    ColumnRequest request;
    request.line_repeat = 2;
    draw_ping(waterfall, settings_for(1, false), request);
    const Picture picture = shown(waterfall);
    EXPECT_EQ(at(picture, 0, 783), 77);
    EXPECT_EQ(at(picture, 0, 782), 77);
    EXPECT_EQ(at(picture, 0, 781), 77);
    EXPECT_EQ(at(picture, 0, 780), 77);
    EXPECT_EQ(at(picture, 0, 779), 0);
    EXPECT_EQ(std::count(picture.begin(), picture.end(), 55), 0);
}

TEST(WaterfallImage, NegativeRepeatDrawsNothingAndHugeRepeatStaysInsideTheImage) {
    WaterfallState waterfall;
    fill_samples(waterfall, 33, 33);
    ColumnRequest skip;
    skip.line_repeat = -1;
    EXPECT_EQ(draw_ping(waterfall, settings_for(3, false), skip), 0);
    EXPECT_FALSE(take_image_changed(waterfall));
    EXPECT_EQ(shown(waterfall), Picture(kImageWidth * kImageHeight, 0));

    ColumnRequest flood;
    flood.line_repeat = 5000;
    EXPECT_EQ(draw_ping(waterfall, settings_for(3, false), flood), 5001);
    const Picture picture = shown(waterfall);
    EXPECT_EQ(at(picture, 300, 0), 16);  // (33 + 0) / 2 reaches column 0
    EXPECT_EQ(at(picture, 300, 783), 33);
}

TEST(WaterfallImage, AlongTrackMarkIsThreeTicksInColumn782WhenMarksAreOn) {
    for (bool marks_on : {false, true}) {
        WaterfallState waterfall;
        fill_samples(waterfall, 5, 5);
        const Settings settings = settings_for(3, false, marks_on);
        draw_ping(waterfall, settings, {});
        ColumnRequest request;
        request.mark_pending = true;
        draw_ping(waterfall, settings, request);
        const Picture picture = shown(waterfall);
        for (int row = 0; row < kImageHeight; ++row) {
            const bool tick =
                (row >= 1 && row <= 10) || (row >= 246 && row <= 255) || (row >= 489 && row <= 498);
            const uint8_t expected = marks_on && tick ? kMarkLevel : 5;
            ASSERT_EQ(at(picture, row, 782), expected) << "row " << row << " marks " << marks_on;
        }
    }
}

TEST(WaterfallImage, ClearScreenEmptiesImageAndHistoryButKeepsTheGrid) {
    WaterfallState waterfall;
    const Settings settings = settings_for(1, true);
    fill_samples(waterfall, 90, 90);
    for (int i = 0; i < 20; ++i) draw_ping(waterfall, settings, {});
    take_image_changed(waterfall);
    std::vector<std::byte> history(784 * 98, std::byte{0x5A});
    clear_screen(waterfall, settings, history);
    EXPECT_TRUE(take_image_changed(waterfall));
    EXPECT_TRUE(
        std::all_of(history.begin(), history.end(), [](std::byte b) { return b == std::byte{0}; }));
    const Picture picture = shown(waterfall);
    for (int row = 0; row < kImageHeight; ++row) {
        for (int column = 0; column < kImageWidth; ++column) {
            const bool range_line = row == 101 || row == 201 || row == 301 || row == 401;
            const bool dash = row == 1 && (column & 8) == 0;
            ASSERT_EQ(at(picture, row, column), range_line || dash ? 128 : 0)
                << row << "," << column;
        }
    }
    // The line history is separate: the next ping still averages with the previous lines.
    ColumnRequest request;
    request.line_repeat = 1;
    fill_samples(waterfall, 10, 10);
    draw_ping(waterfall, settings, request);
    EXPECT_EQ(at(shown(waterfall), 250, 782), 50);
}

TEST(WaterfallImage, ClearLineHistoryZeroesSamplesAndLinesButNotTheImage) {
    WaterfallState waterfall;
    const Settings settings = settings_for(3, false);
    fill_samples(waterfall, 90, 90);
    waterfall.single_samples.fill(7);
    draw_ping(waterfall, settings, {});
    draw_ping(waterfall, settings, {});
    const Picture before = shown(waterfall);
    clear_line_history(waterfall);
    EXPECT_EQ(shown(waterfall), before);
    for (const SampleBuffer* buffer :
         {&waterfall.stbd_samples, &waterfall.port_samples, &waterfall.single_samples,
          &waterfall.stbd_line, &waterfall.stbd_previous_line, &waterfall.port_line,
          &waterfall.port_previous_line}) {
        EXPECT_TRUE(std::all_of(buffer->begin(), buffer->end(), [](uint8_t b) { return b == 0; }));
    }
    // With the history cleared, in-between columns average against 0.
    fill_samples(waterfall, 40, 40);
    ColumnRequest request;
    request.line_repeat = 1;
    draw_ping(waterfall, settings, request);
    EXPECT_EQ(at(shown(waterfall), 300, 782), 20);
}

// Sample i holds 1 + i % 100 so that the sample read back names its index (0 = not read).
struct ResampleCase {
    int32_t channel_code;
    int32_t data_channel;
    int32_t samples;
    int32_t span;
    int entry;
    int source;  // sample index read, -1 when beyond the buffer
};

void PrintTo(const ResampleCase& c, std::ostream* os) {
    *os << "code " << c.channel_code << " data " << c.data_channel << " " << c.samples << "/"
        << c.span << " entry " << c.entry;
}

class Resampling : public ::testing::TestWithParam<ResampleCase> {};

TEST_P(Resampling, ReadsTheSampleOfTheSinglePrecisionPosition) {
    const ResampleCase& c = GetParam();
    WaterfallState waterfall;
    for (int i = 0; i < kSampleBufferSize; ++i) {
        waterfall.stbd_samples[i] = waterfall.port_samples[i] = static_cast<uint8_t>(1 + i % 100);
    }
    const ImageLock held = lock_image(waterfall);
    resample_lines(waterfall, held, static_cast<ChannelCode>(c.channel_code), c.data_channel,
                   c.samples, c.span);
    const SampleBuffer& line = c.channel_code == 2 ? waterfall.port_line : waterfall.stbd_line;
    const int expected = c.source < 0 ? 0 : 1 + c.source % 100;
    EXPECT_EQ(line[c.entry], expected);
    if (c.channel_code == 3) {
        EXPECT_EQ(waterfall.port_line[c.entry], expected);
    }
}

// The position adds up in single precision: the last entry of every stretched span reads
// sample 399, where exact arithmetic would give 400, and 400/500 reads 19 at entry 25.
INSTANTIATE_TEST_SUITE_P(
    EachLineSpan, Resampling,
    ::testing::Values(
        ResampleCase{3, 3, 400, 533, 1, 0}, ResampleCase{3, 3, 400, 533, 266, 199},
        ResampleCase{3, 3, 400, 533, 400, 300}, ResampleCase{1, 1, 400, 533, 533, 399},
        ResampleCase{1, 1, 400, 511, 255, 199}, ResampleCase{2, 2, 400, 511, 300, 234},
        ResampleCase{2, 2, 400, 511, 511, 399}, ResampleCase{1, 1, 400, 507, 250, 197},
        ResampleCase{1, 1, 400, 507, 300, 236}, ResampleCase{2, 2, 400, 507, 507, 399},
        ResampleCase{1, 1, 400, 500, 25, 19}, ResampleCase{1, 1, 400, 500, 100, 80},
        ResampleCase{2, 2, 400, 500, 500, 399}, ResampleCase{3, 3, 400, 400, 400, 400},
        ResampleCase{3, 3, 500, 500, 499, 499}));

// One side shown from a both-sides record halves the step; both shown from a one-side record
// doubles it, and positions past the buffer read as 0.
INSTANTIATE_TEST_SUITE_P(
    MixedChannels, Resampling,
    ::testing::Values(ResampleCase{1, 3, 500, 500, 3, 1}, ResampleCase{2, 3, 500, 500, 499, 249},
                      ResampleCase{1, 3, 500, 500, 500, 250},
                      ResampleCase{2, 3, 400, 533, 300, 112},
                      ResampleCase{1, 3, 400, 533, 533, 199}, ResampleCase{3, 1, 500, 500, 1, 2},
                      ResampleCase{3, 2, 500, 500, 299, 598}, ResampleCase{3, 2, 500, 500, 300, -1},
                      ResampleCase{3, 1, 400, 533, 200, 300},
                      ResampleCase{3, 2, 400, 533, 400, -1}));

TEST(WaterfallImage, ResamplingLimitsLevelsAndKeepsThePreviousLine) {
    WaterfallState waterfall;
    waterfall.stbd_samples.fill(200);
    const ImageLock held = lock_image(waterfall);
    resample_lines(waterfall, held, ChannelCode::Starboard, 1, 500, 500);
    EXPECT_EQ(waterfall.stbd_line[0], 107);
    waterfall.stbd_samples.fill(3);
    resample_lines(waterfall, held, ChannelCode::Starboard, 1, 500, 500);
    EXPECT_EQ(waterfall.stbd_line[10], 3);
    EXPECT_EQ(waterfall.stbd_previous_line[10], 107);
    EXPECT_EQ(waterfall.port_line[10], 0);  // the other side is left alone
}

TEST(WaterfallImage, SpansBeyondTheLineBuffersStayInside) {
    WaterfallState waterfall;
    waterfall.stbd_samples.fill(9);
    const ImageLock held = lock_image(waterfall);
    for (int32_t span : {0, -5, 600, 100000})
        resample_lines(waterfall, held, ChannelCode::Starboard, 1, 500, span);
    for (int32_t samples : {0, -400, 100000})
        resample_lines(waterfall, held, ChannelCode::Starboard, 1, samples, 500);
    SUCCEED();  // the sanitizer build catches any access outside the buffers
}

TEST(WaterfallImage, SpilledColumnsAreTheColumnsThatLeaveTheImage) {
    WaterfallState waterfall;
    std::vector<uint8_t> spill;
    waterfall.column_spill = &spill;
    const Settings settings = settings_for(1, false);
    const int pings = kImageWidth + 16;
    for (int ping = 0; ping < pings; ++ping) {
        fill_samples(waterfall, static_cast<uint8_t>(ping % 100), 0);
        draw_ping(waterfall, settings, {});
    }
    ASSERT_EQ(spill.size(), static_cast<size_t>(pings) * kImageHeight);
    for (int ping = 0; ping < 16; ++ping) {
        const size_t column = kImageWidth + ping;  // after the 784 columns of the empty screen
        EXPECT_EQ(spill[column * kImageHeight + 300], ping % 100) << ping;
    }
}

TEST(WaterfallImage, ShowingOnlyMarksTheImageChanged) {
    WaterfallState waterfall;
    EXPECT_FALSE(take_image_changed(waterfall));
    draw_ping(waterfall, settings_for(3, false), {});
    draw_ping(waterfall, settings_for(3, false), {});
    EXPECT_TRUE(take_image_changed(waterfall));
    EXPECT_FALSE(take_image_changed(waterfall));
}

TEST(WaterfallImage, ConversionsAndBlitShowTheImageAsCopied) {
    WaterfallState waterfall;
    build_palette(waterfall, ColourTable::Brown);
    const Settings settings = settings_for(3, true);
    std::mt19937 random(7);
    for (int ping = 0; ping < 300; ++ping) {
        for (int i = 0; i < kSampleBufferSize; ++i) {
            waterfall.stbd_samples[i] = static_cast<uint8_t>(random() % 108);
            waterfall.port_samples[i] = static_cast<uint8_t>(random() % 108);
        }
        draw_ping(waterfall, settings, {});
    }
    const Picture picture = shown(waterfall);
    std::vector<uint32_t> rgb32(kImageWidth * kImageHeight);
    std::vector<uint8_t> rgb24(kImageWidth * kImageHeight * 3);
    convert_image_rgb32(waterfall, rgb32.data(), kImageWidth);
    convert_image_rgb24(waterfall, rgb24.data(), kImageWidth * 3);
    test::IndexedSurface surface(792, 600);
    blit_image(waterfall, surface);
    EXPECT_EQ(surface.palette_sets, 1);
    for (int i = 0; i < kImageWidth * kImageHeight; ++i) {
        const Rgb c = waterfall.palette[picture[i]];
        const uint32_t word = 0xFF000000u | (c.red << 16) | (c.green << 8) | c.blue;
        ASSERT_EQ(rgb32[i], word) << i;
        ASSERT_EQ((Rgb{rgb24[3 * i], rgb24[3 * i + 1], rgb24[3 * i + 2]}), c) << i;
        ASSERT_EQ(surface.index({1 + i % kImageWidth, 1 + i / kImageWidth}), picture[i]) << i;
    }
    EXPECT_EQ(surface.index({0, 0}), 0);
    EXPECT_EQ(surface.pixel({1 + 783, 1 + 250}),
              waterfall.palette[picture[250 * kImageWidth + 783]]);
}

TEST(WaterfallImage, DrawerWaitsForTheImageLock) {
    WaterfallState waterfall;
    fill_samples(waterfall, 50, 50);
    const Settings settings = settings_for(3, false);
    std::atomic<bool> drawn{false};
    std::thread drawer;
    {
        const ImageLock held = lock_image(waterfall);
        drawer = std::thread([&] {
            draw_ping(waterfall, settings, {});
            drawn = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(drawn.load());
        EXPECT_EQ(image_pixel(waterfall, held, 300, 783), 0);
    }
    drawer.join();
    EXPECT_TRUE(drawn.load());
    EXPECT_EQ(at(shown(waterfall), 300, 783), 50);
}

TEST(WaterfallImage, GridSwitchedOffWhilePingsAreDrawnLeavesNoGridBits) {
    WaterfallState waterfall;
    Settings settings = settings_for(3, true);
    fill_samples(waterfall, 60, 60);
    draw_grid(waterfall, settings);
    std::atomic<bool> stop{false};
    std::thread drawer([&] {
        ColumnRequest request;
        request.line_repeat = 1;
        while (!stop) draw_ping(waterfall, settings, request);
    });
    for (int toggle = 0; toggle < 200; ++toggle) {
        settings.Grid = settings.Grid != 0 ? 0 : 1;
        draw_grid(waterfall, settings);
    }
    ASSERT_EQ(settings.Grid, 1);
    settings.Grid = 0;
    draw_grid(waterfall, settings);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    drawer.join();
    const Picture picture = shown(waterfall);
    EXPECT_EQ(std::count_if(picture.begin(), picture.end(), [](uint8_t v) { return v & 0x80; }), 0);
}

}  // namespace
}  // namespace kelvanor
