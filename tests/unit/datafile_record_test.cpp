#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/ping_record.h"
#include "datafile/playback.h"
#include "datafile_test_support.h"

namespace kelvanor {
namespace {

using test::encode;
using test::g_reply;
using test::sample_stamp;

// Reads one record from bytes and applies it to `app`; false when it could not be read.
bool play(AppState& app, const std::vector<uint8_t>& record) {
    MemoryRecordSource source(record);
    RecordBuffer buffer{};
    RecordRead read = read_record(source, buffer);
    if (read.status != RecordReadStatus::Read) return false;
    apply_record(app, buffer, read.limits);
    return true;
}

TEST(DatafileRecord, WriterLaysOutEveryHeaderFieldBigEndian) {
    RecordStamp stamp = sample_stamp();
    stamp.held_byte9 = 5;
    stamp.extra_setting_1 = 7;
    stamp.extra_setting_2 = 2;
    auto reply = g_reply();
    auto r = encode(stamp, reply);
    ASSERT_EQ(r.size(), 640u);
    EXPECT_EQ(std::string(r.begin(), r.begin() + 3), "VKD");
    EXPECT_EQ(r[3], 3);
    EXPECT_EQ(r[4] * 256 + r[5], 640);
    EXPECT_EQ(r[6] * 256 + r[7], 413);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[8])), "14-MAY-2024");
    EXPECT_EQ(r[19], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[20])), "09:30:07");
    for (size_t i = 29; i < 37; ++i) EXPECT_EQ(r[i], 0) << i;
    EXPECT_EQ(r[37], 0x10);
    EXPECT_EQ(r[38], 2);
    EXPECT_EQ(r[39], 17);
    EXPECT_EQ(r[43], 20);
    EXPECT_EQ(r[44], 5 | (1 << 3));
    EXPECT_EQ(r[45], 7);
    EXPECT_EQ(r[46], 2);
    EXPECT_EQ(std::string(r.begin() + 47, r.begin() + 71), " 54.21.123 N010.07.456 E");
    EXPECT_EQ(r[71] * 256 + r[72], 198);
    EXPECT_EQ(r[73], 45);
    EXPECT_EQ(r[74] * 256 + r[75], 1234);
    EXPECT_EQ(r[76], 1);
    EXPECT_EQ(r[77], 25 | 0x80);
    EXPECT_EQ(r[78], 1);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), r.begin() + 100));
    for (size_t i = 100 + 413; i < 638; ++i) ASSERT_EQ(r[i], 0) << i;
    EXPECT_EQ(r[638] * 256 + r[639], 640);
}

TEST(DatafileRecord, OtherHeadIdLeavesTheSettingsBlockZero) {
    auto r = encode(sample_stamp(), g_reply(0x12));
    for (size_t i = 37; i < 47; ++i) EXPECT_EQ(r[i], 0) << i;
}

TEST(DatafileRecord, WriterRefusesUnknownSizeCodeAndOversizedReply) {
    RecordStamp stamp = sample_stamp();
    stamp.record_size_code = 4;
    RecordBuffer buffer{};
    EXPECT_FALSE(encode_ping_record(stamp, g_reply(), buffer));
    stamp.record_size_code = 2;  // 384 bytes cannot hold 413
    EXPECT_FALSE(encode_ping_record(stamp, g_reply(), buffer));
    stamp.record_size_code = 3;
    std::vector<uint8_t> largest(640 - 102, 0);
    EXPECT_EQ(encode_ping_record(stamp, largest, buffer), 640u);
    largest.push_back(0);
    EXPECT_FALSE(encode_ping_record(stamp, largest, buffer));
}

struct SpeedCase {
    float knots;
    float degrees;
    uint8_t speed_byte;
    uint16_t heading_word;
};

TEST(DatafileRecord, SpeedAndHeadingAreStoredInTenthsCutTowardZero) {
    const SpeedCase cases[] = {
        {12.3f, 0.0f, 123, 0},
        {25.6f, 359.9f, 0, 3599},
        {0.0f, 0.05f, 0, 0},
        {30.0f, 720.0f, 44, 7200},
        {-1.0f, -1.0f, 246, 65526},
        {1e30f, 1e30f, 0xFF, 0xFFFF},  // saturates instead of overflowing
    };
    for (const auto& c : cases) {
        RecordStamp stamp = sample_stamp();
        stamp.speed_knots = c.knots;
        stamp.heading_degrees = c.degrees;
        auto r = encode(stamp, g_reply());
        EXPECT_EQ(r[73], c.speed_byte) << c.knots;
        EXPECT_EQ(r[74] * 256 + r[75], c.heading_word) << c.degrees;
    }
}

TEST(DatafileRecord, ReadsBackWhatWasWritten) {
    AppState app;
    RecordStamp stamp = sample_stamp();
    stamp.sample_bits = 16;
    stamp.extra_setting_2 = 2;
    auto reply = g_reply();
    ASSERT_TRUE(play(app, encode(stamp, reply)));
    EXPECT_STREQ(app.head.date_text.data(), "14-MAY-2024");
    EXPECT_STREQ(app.head.time_text.data(), "09:30:07");
    EXPECT_STREQ(app.head.date_time_text.data(), "14-MAY-2024  09:30:07");
    EXPECT_EQ(app.head.time_seconds, 7);
    EXPECT_EQ(app.head.current_head_id, 0x10);
    EXPECT_EQ(app.datafile.file_side, 1);  // channel code 2 (port) is side 1
    EXPECT_EQ(app.settings.SSGain, 17);
    EXPECT_EQ(app.head.frequency_code, 20);
    EXPECT_EQ(app.head.sample_bits, 16);
    EXPECT_EQ(app.head.extra_setting_2, 2);
    EXPECT_EQ(std::string(app.head.position_text.data(), 24), " 54.21.123 N010.07.456 E");
    EXPECT_EQ(app.ping.ping_interval_ms, 198);
    EXPECT_FLOAT_EQ(app.run.speed_knots, 4.5f);
    EXPECT_FLOAT_EQ(app.run.heading_degrees, 123.0f);  // whole degrees
    EXPECT_EQ(app.settings.file_frequency, FrequencyBand::High);
    EXPECT_EQ(app.datafile.file_channel_balance, 25);
    EXPECT_EQ(app.datafile.file_format_flag, 1);
    EXPECT_EQ(app.head.reply_length, 413);
    EXPECT_EQ(app.head.record_size_code, 3);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), app.head.head_reply.begin()));
    EXPECT_EQ(app.head.head_type, 'G');
    EXPECT_EQ(app.head.samples_per_line, 400);
}

// The frequency byte of a played record: 0 is low, anything else high, for the read-out and
// the menu marks alike.
TEST(DatafileRecord, FrequencyByteReadsLowOnlyWhenZero) {
    const std::pair<int32_t, FrequencyBand> cases[] = {{0, FrequencyBand::Low},
                                                       {1, FrequencyBand::High},
                                                       {2, FrequencyBand::High},
                                                       {255, FrequencyBand::High}};
    for (const auto& [byte, band] : cases) {
        AppState app;
        RecordStamp stamp = sample_stamp();
        stamp.frequency = byte;
        ASSERT_TRUE(play(app, encode(stamp, g_reply())));
        EXPECT_EQ(app.settings.file_frequency, band) << byte;
    }
}

TEST(DatafileRecord, ChannelByteMapsToTheCommandSide) {
    const int expected[4] = {0, 2, 1, 3};
    for (int channel = 0; channel < 8; ++channel) {
        AppState app;
        RecordStamp stamp = sample_stamp();
        stamp.channel_code = channel;
        ASSERT_TRUE(play(app, encode(stamp, g_reply())));
        EXPECT_EQ(app.datafile.file_side, expected[channel & 3]) << channel;
    }
}

TEST(DatafileRecord, FiveCharacterYearIsRepairedAndAnUnrepairableOneKeptAsStored) {
    struct Case {
        const char* stored;  // 12 bytes from offset 8, no NUL
        const char* date;
    } cases[] = {
        {"07-DEC-19113", "07-DEC-2013"},
        {"31-JAN-20100", "31-JAN-2100"},
        {"01-FEB-1900X", "01-FEB-1900"},
        {"01-FEB-99999", "01-FEB-99999"},  // 10899 does not fit four digits
    };
    for (const auto& c : cases) {
        AppState app;
        auto r = encode(sample_stamp(), g_reply());
        std::memcpy(&r[8], c.stored, 12);
        ASSERT_TRUE(play(app, r));
        EXPECT_STREQ(app.head.date_text.data(), c.date) << c.stored;
    }
}

TEST(DatafileRecord, TimeTextIsTakenFromItsNineBytesOnly) {
    AppState app;
    auto r = encode(sample_stamp(), g_reply());
    std::memcpy(&r[20], "12:34:567", 9);
    std::memset(&r[29], 'Z', 8);  // reserved bytes that would run on
    ASSERT_TRUE(play(app, r));
    EXPECT_STREQ(app.head.time_text.data(), "12:34:567");
    EXPECT_EQ(app.head.time_seconds, 567);
}

TEST(DatafileRecord, SettingsMarkerZeroLeavesSettingsAndAliasCountsAsSideScan) {
    AppState app;
    app.settings.SSGain = 9;
    auto r = encode(sample_stamp(), g_reply());
    r[37] = 0;
    ASSERT_TRUE(play(app, r));
    EXPECT_EQ(app.settings.SSGain, 9);
    EXPECT_EQ(app.datafile.file_side, 0);
    EXPECT_EQ(app.head.current_head_id, 0);

    AppState aliased;
    auto s = encode(sample_stamp(), g_reply());
    s[37] = 0x11;
    s[100 + 3] = 0x11;
    s[38] = 3;
    ASSERT_TRUE(play(aliased, s));
    EXPECT_EQ(aliased.head.current_head_id, 0x11);  // as stored
    EXPECT_EQ(aliased.settings.SSGain, 17);
    EXPECT_EQ(aliased.datafile.file_side, 3);
    EXPECT_EQ(aliased.head.head_reply[3], 0x10);
}

TEST(DatafileRecord, UnknownSampleBitsCodeKeepsTheSampleBits) {
    AppState app;
    app.head.sample_bits = 4;
    auto r = encode(sample_stamp(), g_reply());
    r[44] = (3 << 3) | 1;
    ASSERT_TRUE(play(app, r));
    EXPECT_EQ(app.head.sample_bits, 4);
    EXPECT_EQ(app.head.held_byte9, 1);
}

TEST(DatafileRecord, PositionIsCheckedAndABadOneSuppressesSpeedAndHeading) {
    struct Case {
        const char* text;  // nullptr: no position
        bool valid;
    } cases[] = {
        {nullptr, true},
        {" 54.21.123 S010.07.456 W", true},
        {"054.21.123 N010.07.456 E", false},
        {" 54.21.123 X010.07.456 E", false},
        {" 54.21.12a N010.07.456 E", false},
        {" 54.21.123 N010.07.456 e", false},
        {" 54:21.123 N010.07.456 E", false},
    };
    for (const auto& c : cases) {
        AppState app;
        std::memcpy(app.head.position_text.data(), " 01.01.001 N001.01.001 E", 24);
        app.run.speed_knots = 6.0f;
        app.run.heading_degrees = 45.0f;
        RecordStamp stamp = sample_stamp();
        if (c.text) {
            std::memcpy(stamp.position_text.data(), c.text, 24);
        } else {
            stamp.position_text.fill(0);
        }
        ASSERT_TRUE(play(app, encode(stamp, g_reply())));
        std::string position(app.head.position_text.data(), 24);
        EXPECT_EQ(app.datafile.file_position_valid, c.valid ? 1 : 0);
        if (c.valid && c.text) {
            EXPECT_EQ(position, c.text);
        } else {
            EXPECT_EQ(position, " 01.01.001 N001.01.001 E") << (c.text ? c.text : "none");
        }
        EXPECT_FLOAT_EQ(app.run.speed_knots, c.valid ? 4.5f : 6.0f);
        EXPECT_FLOAT_EQ(app.run.heading_degrees, c.valid ? 123.0f : 45.0f);
    }
}

// Plays records with the given speed bytes and heading words one after another and returns
// the speed and heading in force after each.
std::vector<std::pair<float, float>> play_speeds(
    const std::vector<std::pair<uint8_t, uint16_t>>& stored) {
    AppState app;
    std::vector<std::pair<float, float>> seen;
    for (auto [speed, heading] : stored) {
        auto r = encode(sample_stamp(), g_reply());
        r[73] = speed;
        r[74] = static_cast<uint8_t>(heading >> 8);
        r[75] = static_cast<uint8_t>(heading & 0xFF);
        EXPECT_TRUE(play(app, r));
        seen.emplace_back(app.run.speed_knots, app.run.heading_degrees);
    }
    return seen;
}

TEST(DatafileRecord, PlaceholderSpeedAndHeadingFallBackToTheLastRealOnes) {
    auto seen = play_speeds({{0, 0}, {52, 900}, {0, 0}, {123, 1800}, {30, 3599}});
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_FLOAT_EQ(seen[0].first, 3.0f);  // first record: the placeholder itself
    EXPECT_FLOAT_EQ(seen[0].second, 0.0f);
    EXPECT_FLOAT_EQ(seen[1].first, 5.2f);
    EXPECT_FLOAT_EQ(seen[1].second, 90.0f);
    EXPECT_FLOAT_EQ(seen[2].first, 5.2f);  // speed 0 and heading 0 keep the last real ones
    EXPECT_FLOAT_EQ(seen[2].second, 90.0f);
    EXPECT_FLOAT_EQ(seen[3].first, 5.2f);  // 12.3 knots (byte 123) is ignored
    EXPECT_FLOAT_EQ(seen[3].second, 90.0f);
    EXPECT_FLOAT_EQ(seen[4].first, 5.2f);  // a real 3.0 knots reads as the placeholder
    EXPECT_FLOAT_EQ(seen[4].second, 359.0f);
}

TEST(DatafileRecord, BalanceWithoutItsFlagBitReadsAsCentre) {
    AppState app;
    auto r = encode(sample_stamp(), g_reply());
    r[77] = 12;
    ASSERT_TRUE(play(app, r));
    EXPECT_EQ(app.datafile.file_channel_balance, 30);
    r[77] = 0x80 | 60;
    ASSERT_TRUE(play(app, r));
    EXPECT_EQ(app.datafile.file_channel_balance, 60);
}

TEST(DatafileRecord, HeadModelFollowsTheRestoredReply) {
    struct Case {
        uint8_t letter;
        uint8_t range;
        uint8_t format_flag;
        int samples;
        int span;
    } cases[] = {
        {'G', 15, 1, 400, 533},  {'G', 30, 1, 400, 533},  {'G', 90, 1, 400, 511},
        {'G', 150, 1, 400, 507}, {'G', 120, 1, 400, 500}, {'G', 15, 0, 400, 400},
        {'H', 15, 1, 500, 500},  {'X', 15, 1, 123, 77},
    };
    for (const auto& c : cases) {
        AppState app;
        app.head.samples_per_line = 123;
        app.head.line_span = 77;
        auto reply = g_reply();
        reply[1] = c.letter;
        reply[7] = c.range;
        auto r = encode(sample_stamp(), reply);
        r[78] = c.format_flag;
        ASSERT_TRUE(play(app, r));
        EXPECT_EQ(app.head.head_type, c.letter);
        EXPECT_EQ(app.head.samples_per_line, c.samples) << c.letter << int(c.range);
        EXPECT_EQ(app.head.line_span, c.span) << c.letter << int(c.range);
    }
}

TEST(DatafileRecord, ReaderLimitsRefuseRecordsThatCannotHoldTheirReply) {
    struct Case {
        uint16_t record_length;
        uint16_t reply_length;
        RecordFault fault;
    } cases[] = {
        {101, 13, RecordFault::RecordTooShort},
        {0, 0, RecordFault::RecordTooShort},
        {102, 13, RecordFault::ReplyDoesNotFit},
        {115, 13, RecordFault::None},
        {1024, 922, RecordFault::None},
        {1024, 923, RecordFault::ReplyDoesNotFit},
        {1025, 13, RecordFault::RecordTooLong},
        {65535, 413, RecordFault::RecordTooLong},
        {640, 12, RecordFault::None},
        {640, 539, RecordFault::ReplyDoesNotFit},
        {102, 0, RecordFault::None},
        {103, 1, RecordFault::None},
        {640, 538, RecordFault::None},
        {640, 65535, RecordFault::ReplyDoesNotFit},
    };
    for (const auto& c : cases) {
        std::array<uint8_t, kRecordHeaderLength> header{'V', 'K', 'D', 3};
        header[4] = static_cast<uint8_t>(c.record_length >> 8);
        header[5] = static_cast<uint8_t>(c.record_length);
        header[6] = static_cast<uint8_t>(c.reply_length >> 8);
        header[7] = static_cast<uint8_t>(c.reply_length);
        RecordLimits limits;
        EXPECT_EQ(check_record_header(header, limits), c.fault)
            << c.record_length << "/" << c.reply_length;
    }
    std::array<uint8_t, kRecordHeaderLength> lower{'v', 'k', 'd', 3, 2, 128, 1, 157};
    RecordLimits limits;
    EXPECT_EQ(check_record_header(lower, limits), RecordFault::BadMagic);
}

TEST(DatafileRecord, AnyRecordLengthWithinTheLimitsIsTakenFromTheRecord) {
    // A 384-byte record whose size code still says 3: the length field decides.
    RecordStamp stamp = sample_stamp();
    stamp.record_size_code = 2;
    std::vector<uint8_t> reply = g_reply();
    reply.resize(200);
    reply.back() = 0xFC;
    auto r = encode(stamp, reply);
    ASSERT_EQ(r.size(), 384u);
    r[3] = 3;
    AppState app;
    ASSERT_TRUE(play(app, r));
    EXPECT_EQ(app.head.record_size_code, 3);
    EXPECT_EQ(app.head.reply_length, 200);
}

}  // namespace
}  // namespace kelvanor
