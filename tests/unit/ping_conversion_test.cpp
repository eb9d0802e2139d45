#include <gtest/gtest.h>

#include <limits>

#include "ping/echo_conversion.h"
#include "ping_test_support.h"
#include "waterfall/image.h"

namespace kelvanor {
namespace {

using test::load_reply;
using test::make_reply;
using test::ReplySpec;

class EchoConversion : public ::testing::Test {
  protected:
    void SetUp() override { test::set_up_live_head(app); }

    bool convert(const std::vector<uint8_t>& reply, uint64_t now_ms = 1000) {
        load_reply(app, reply);
        const ImageLock held = lock_image(app.waterfall);
        return convert_ping(app, now_ms);
    }

    AppState app;
};

struct BadReplyCase {
    const char* name;
    size_t index;  // byte to spoil; SIZE_MAX: the terminator
    uint8_t value;
};

TEST_F(EchoConversion, RejectsAReplyWithAWrongHeaderModelOrTerminatorAndChangesNothing) {
    const BadReplyCase cases[] = {
        {"first header byte", 0, 'R'},
        {"model letter of another head", 1, 'H'},
        {"third header byte", 2, 'Y'},
        {"terminator 0xFD", SIZE_MAX, 0xFD},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplySpec form;
        form.fill = 50;
        form.bottom_value = 1200;
        auto reply = make_reply(form);
        reply[c.index == SIZE_MAX ? reply.size() - 1 : c.index] = c.value;
        app.waterfall.port_samples.fill(7);
        app.ping.bottom_value = 99;
        load_reply(app, reply);
        app.head.head_type = 'G';  // what the head is expected to be
        {
            const ImageLock held = lock_image(app.waterfall);
            EXPECT_FALSE(convert_ping(app, 1000));
        }
        EXPECT_EQ(app.head.reply_valid, 0);
        EXPECT_EQ(app.ping.bottom_value, 99);
        EXPECT_EQ(app.waterfall.port_samples[0], 7);
        EXPECT_EQ(app.head.head_reply[7], 150) << "the range code is not mapped";
    }
}

TEST_F(EchoConversion, RejectsReplyLengthsThatCannotHoldAHeaderOrDoNotFitTheBuffer) {
    for (int32_t length : {0, 3, 12, static_cast<int32_t>(kHeadReplyCapacity) + 1, -5, 100000}) {
        SCOPED_TRACE(length);
        app.head.head_reply.fill(0xFC);
        app.head.head_reply[0] = 'Q';
        app.head.head_reply[1] = 'G';
        app.head.head_reply[2] = 'Z';
        app.head.reply_length = length;
        const ImageLock held = lock_image(app.waterfall);
        EXPECT_FALSE(convert_ping(app, 1000));
        EXPECT_EQ(app.head.reply_valid, 0);
    }
}

TEST_F(EchoConversion, MapsTheRangeCodeOfALiveGHeadToMetres) {
    const std::pair<uint8_t, int32_t> cases[] = {{20, 15},   {40, 30},   {75, 60},   {115, 90},
                                                 {150, 120}, {190, 150}, {225, 180}, {77, 120},
                                                 {0, 120},   {240, 120}};
    for (const auto& [code, metres] : cases) {
        SCOPED_TRACE(static_cast<int>(code));
        ReplySpec form;
        form.range = code;
        ASSERT_TRUE(convert(make_reply(form)));
        EXPECT_EQ(app.head.head_reply[7], metres);
        EXPECT_EQ(app.ping.reply_range_metres, metres);
    }
}

TEST_F(EchoConversion, KeepsTheRangeOfAnHHeadAndOfPlayedRecords) {
    ReplySpec h;
    h.model = 'H';
    h.status = 1;
    h.range = 90;
    h.echo_bytes = 500;
    ASSERT_TRUE(convert(make_reply(h)));
    EXPECT_EQ(app.ping.reply_range_metres, 90);

    app.settings.RunMode = RunMode::File;
    ReplySpec played;
    played.range = 150;  // a played 'G' record already carries metres
    ASSERT_TRUE(convert(make_reply(played)));
    EXPECT_EQ(app.ping.reply_range_metres, 150);
}

TEST_F(EchoConversion, CutsEightBitLevelsAt107) {
    app.settings.channel_code = ChannelCode::Port;  // port only
    ReplySpec form;
    auto reply = make_reply(form);
    reply[12] = 200;
    reply[13] = 107;
    reply[14] = 0;
    reply[15] = 108;
    ASSERT_TRUE(convert(reply));
    EXPECT_EQ(app.waterfall.port_samples[0], 107);
    EXPECT_EQ(app.waterfall.port_samples[1], 107);
    EXPECT_EQ(app.waterfall.port_samples[2], 0);
    EXPECT_EQ(app.waterfall.port_samples[3], 107);
}

TEST_F(EchoConversion, SplitsBothSidesPortFirstIntoHalfAsManyLevelsEach) {
    app.waterfall.port_samples.fill(99);
    app.waterfall.stbd_samples.fill(99);
    auto reply = make_reply(ReplySpec{});
    for (int i = 0; i < 400; ++i) reply[12 + i] = static_cast<uint8_t>(i % 2 == 0 ? 10 : 20);
    ASSERT_TRUE(convert(reply));
    EXPECT_EQ(app.waterfall.port_samples[0], 10);
    EXPECT_EQ(app.waterfall.stbd_samples[0], 20);
    EXPECT_EQ(app.waterfall.port_samples[199], 10);
    EXPECT_EQ(app.waterfall.stbd_samples[199], 20);
    EXPECT_EQ(app.waterfall.port_samples[200], 99) << "only 200 levels reach each side";
    EXPECT_EQ(app.waterfall.stbd_samples[200], 99);
}

TEST_F(EchoConversion, ALiveSingleSideFillsOnlyThatSide) {
    const std::pair<int32_t, bool> cases[] = {{1, false}, {2, true}};  // channel code, port?
    for (const auto& [code, port] : cases) {
        SCOPED_TRACE(code);
        app.settings.channel_code = static_cast<ChannelCode>(code);
        app.waterfall.port_samples.fill(99);
        app.waterfall.stbd_samples.fill(99);
        ReplySpec form;
        form.fill = 30;
        ASSERT_TRUE(convert(make_reply(form)));
        const SampleBuffer& written =
            port ? app.waterfall.port_samples : app.waterfall.stbd_samples;
        const SampleBuffer& kept = port ? app.waterfall.stbd_samples : app.waterfall.port_samples;
        EXPECT_EQ(written[0], 30);
        EXPECT_EQ(written[399], 30);
        EXPECT_EQ(written[400], 99);
        EXPECT_EQ(kept[0], 99);
    }
}

TEST_F(EchoConversion, SwitchingAPlayedFileFromBothSidesToPortOnlyClearsStarboardOnce) {
    app.settings.RunMode = RunMode::File;
    app.datafile.file_side = 3;
    ReplySpec form;
    form.fill = 40;
    ASSERT_TRUE(convert(make_reply(form)));
    EXPECT_EQ(app.waterfall.stbd_samples[0], 40);

    app.datafile.file_side = 1;
    ASSERT_TRUE(convert(make_reply(form)));
    EXPECT_EQ(app.waterfall.stbd_samples[0], 0) << "the side the record does not carry";
    EXPECT_EQ(app.waterfall.port_samples[399], 40);

    app.waterfall.stbd_samples[0] = 55;
    ASSERT_TRUE(convert(make_reply(form)));
    EXPECT_EQ(app.waterfall.stbd_samples[0], 55) << "cleared only when the side changes";
}

// A played record of the longest reply the buffer holds: 909 echo bytes.
std::vector<uint8_t> longest_played_reply(uint8_t fill, int32_t bottom_value = 0) {
    ReplySpec form;
    form.echo_bytes = static_cast<int32_t>(kHeadReplyCapacity) - 13;
    form.fill = fill;
    form.bottom_value = bottom_value;
    return make_reply(form);
}

TEST_F(EchoConversion, FourBitSamplesGiveTwoLevelsLowNibbleFirstAndStopAtTheBuffer) {
    app.settings.RunMode = RunMode::File;
    app.head.sample_bits = 4;
    const std::pair<int32_t, std::pair<int, int>> cases[] = {
        {0, {107, 48}},  // 0xA * 16 = 160 is cut; 0x30 = 48
        {2, {40, 12}},   // both divided by 4
        {3, {107, 48}},  // modes above 2 are not shifted
    };
    for (const auto& [mode, levels] : cases) {
        SCOPED_TRACE(mode);
        app.head.extra_setting_2 = mode;
        // The bottom (sample 500 at 0.24 m per sample) is marked in mode 2 and above.
        ASSERT_TRUE(convert(longest_played_reply(0x3A, 12000)));
        EXPECT_EQ(app.waterfall.single_samples[0], levels.first);
        EXPECT_EQ(app.waterfall.single_samples[1], levels.second);
        EXPECT_EQ(app.waterfall.single_samples[599], levels.second);
    }
}

TEST_F(EchoConversion, SixteenBitWordsAreShiftedCutToEightBitsAndLimited) {
    app.settings.RunMode = RunMode::File;
    app.head.sample_bits = 16;
    auto reply = longest_played_reply(0, 12000);
    const uint16_t words[] = {0x4B00, 0xFFFF, 0x1A80};
    for (int k = 0; k < 3; ++k) {
        reply[12 + 2 * k] = static_cast<uint8_t>(words[k] & 0xFF);
        reply[13 + 2 * k] = static_cast<uint8_t>(words[k] >> 8);
    }
    ASSERT_TRUE(convert(reply));
    EXPECT_EQ(app.waterfall.single_samples[0], 44);   // 300 cut to 44
    EXPECT_EQ(app.waterfall.single_samples[1], 107);  // 1023 -> 255 -> 107
    EXPECT_EQ(app.waterfall.single_samples[2], 106);  // 0x1A80 >> 6 = 106

    app.head.extra_setting_2 = 2;
    ASSERT_TRUE(convert(reply));
    EXPECT_EQ(app.waterfall.single_samples[0], 75);  // 300 >> 2
}

TEST_F(EchoConversion, MarksTheBottomInScaledRecordsAndDropsAMarkBeyondTheBuffer) {
    app.settings.RunMode = RunMode::File;
    app.head.sample_bits = 16;
    app.head.extra_setting_2 = 2;
    app.head.metres_per_sample = 0.24f;
    ASSERT_TRUE(convert(longest_played_reply(0, 1200)));  // 12 m / 0.24 = sample 50
    EXPECT_EQ(app.ping.bottom_index, 50);
    EXPECT_EQ(app.waterfall.single_samples[50], kBottomMarkLevel);

    ASSERT_TRUE(convert(longest_played_reply(0, 32767)));  // sample 1365
    EXPECT_EQ(app.ping.bottom_index, 1365);
    for (uint8_t level : app.waterfall.single_samples) EXPECT_EQ(level, 0);

    app.head.metres_per_sample = 0.0f;  // nothing sane, but nothing written outside either
    ASSERT_TRUE(convert(longest_played_reply(0, 1200)));
    EXPECT_EQ(app.ping.bottom_index, std::numeric_limits<int32_t>::max());
}

TEST_F(EchoConversion, ConversionModeOneLeavesEveryBufferUntouched) {
    app.settings.RunMode = RunMode::File;
    app.datafile.file_side = 3;
    app.head.extra_setting_2 = 1;
    for (int32_t bits : {4, 8, 16}) {
        app.head.sample_bits = bits;
        app.waterfall.port_samples.fill(9);
        app.waterfall.single_samples.fill(9);
        ASSERT_TRUE(convert(longest_played_reply(80, 1200)));
        EXPECT_EQ(app.waterfall.port_samples[0], 9);
        EXPECT_EQ(app.waterfall.single_samples[0], 9);
        EXPECT_EQ(app.waterfall.single_samples[50], 9);
    }
}

TEST_F(EchoConversion, OtherHeadIdsKeepThePreviousFormatAndTakeTheBottomValueAsIndex) {
    ReplySpec first;
    first.range = 75;  // 60 m
    ASSERT_TRUE(convert(make_reply(first)));

    ReplySpec other;
    other.head_id = 0x20;
    other.range = 20;
    other.bottom_value = 321;
    other.fill = 33;
    ASSERT_TRUE(convert(make_reply(other)));
    EXPECT_EQ(app.ping.sample_format, 8);
    EXPECT_EQ(app.ping.reply_range_metres, 60) << "kept from the previous ping";
    EXPECT_EQ(app.ping.bottom_index, 321);
    EXPECT_EQ(app.waterfall.port_samples[0], 33) << "converted with the previous format";

    ReplySpec no_format = other;
    no_format.head_id = 0x12;
    no_format.fill = 44;
    ASSERT_TRUE(convert(make_reply(no_format)));
    EXPECT_EQ(app.ping.sample_format, 0);
    EXPECT_EQ(app.waterfall.port_samples[0], 33) << "a 0x12 ping converts nothing";
}

TEST_F(EchoConversion, APlayedSideScanRecordSetsTheRangeIndex) {
    app.settings.RunMode = RunMode::File;
    const std::pair<uint8_t, int32_t> cases[] = {{15, 0},  {30, 1},  {60, 2},  {90, 3},  {120, 4},
                                                 {150, 5}, {180, 6}, {210, 7}, {240, 8}, {100, 4}};
    for (const auto& [metres, index] : cases) {
        SCOPED_TRACE(static_cast<int>(metres));
        ReplySpec form;
        form.range = metres;
        ASSERT_TRUE(convert(make_reply(form)));
        EXPECT_EQ(app.settings.SSRange, index);
    }
}

TEST_F(EchoConversion, TakesTheHeadFlagsTypeAndBottomFromTheHeader) {
    ReplySpec form;
    form.status = 0x03;
    form.type = 0;
    form.bottom_value = 0x3FFF;
    auto reply = make_reply(form);
    reply[8] |= 0x80;  // bit 7 of the low part is not part of the value
    ASSERT_TRUE(convert(reply));
    EXPECT_EQ(app.head.head_type_h_flag, 1);
    EXPECT_EQ(app.ping.reply_type, 0);
    EXPECT_EQ(app.ping.bottom_value, 0x3FFF);
}

TEST_F(EchoConversion, TheTenthLivePingSetsThePingIntervalTheFirstAverageEndsAtTheLimit) {
    uint64_t now = 5000;
    for (int i = 1; i <= 9; ++i) {
        ASSERT_TRUE(convert(make_reply(ReplySpec{}), now));
        now += 66;
    }
    EXPECT_EQ(app.ping.ping_interval_ms, 0) << "nothing before the tenth ping";
    ASSERT_TRUE(convert(make_reply(ReplySpec{}), now));
    EXPECT_EQ(app.ping.ping_interval_ms, kPingIntervalLimitMs);
    EXPECT_EQ(app.ping.ping_interval_text_value, (kFirstPingIntervalMs + 9 * 66) / 10);

    for (int i = 1; i <= 10; ++i) {
        now += i % 2 == 0 ? 60 : 80;
        ASSERT_TRUE(convert(make_reply(ReplySpec{}), now));
    }
    EXPECT_EQ(app.ping.ping_interval_ms, 70);
}

TEST_F(EchoConversion, PlayedPingsAndOtherHeadIdsDoNotCountForThePingRate) {
    ReplySpec other;
    other.head_id = 0x11;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(convert(make_reply(other), 100 * i));
    app.settings.RunMode = RunMode::File;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(convert(make_reply(ReplySpec{}), 100 * i));
    EXPECT_EQ(app.ping.ping_rate_count, 0);
    EXPECT_FALSE(app.ping.has_previous_ping);
}

TEST(BottomIndex, RoundsInSinglePrecisionAndHalvesAtHalfScale) {
    EXPECT_EQ(bottom_index_for(1200, 0.24f, 0), 50);
    EXPECT_EQ(bottom_index_for(1200, 0.24f, 1), 25);
    EXPECT_EQ(bottom_index_for(1, 0.03f, 0), 0);  // 0.333 rounds down
    EXPECT_EQ(bottom_index_for(2, 0.03f, 0), 1);  // 0.667 rounds up
    EXPECT_EQ(bottom_index_for(32767, 0.03f, 0), 10922);
    EXPECT_EQ(bottom_index_for(5, -0.0f, 0), std::numeric_limits<int32_t>::min());
}

}  // namespace
}  // namespace kelvanor
