#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datafile/record_source.h"
#include "datafile_test_support.h"
#include "export/recording_export.h"
#include "test_support.h"
#include "xtf_test_reader.h"

namespace kelvanor {
namespace {

struct Recording {
    char model = 'G';
    int channel_code = 3;  // 1 Stbd, 2 Port, 3 Both
    int sample_bits = 8;
};

// The value a ramp recording holds at sample i of a side, worked out from how the record
// lays its samples out: pairs port first when both sides are held; 4-bit samples low
// nibble first; 16-bit samples little-endian.
uint32_t ramp_value(const Recording& r, int side, uint32_t i) {
    const uint32_t k = r.channel_code == 3 ? 2 * i + side : i;
    if (r.sample_bits == 4) return k & 0xF;
    if (r.sample_bits == 16) return (k * 3) & 0xFFFF;
    return k & 0xFF;
}

std::vector<uint8_t> ramp_reply(const Recording& r, int range) {
    const size_t bytes = r.model == 'H' ? 500 : 400;
    std::vector<uint8_t> reply(bytes + 13, 0);
    reply[0] = 'Q';
    reply[1] = static_cast<uint8_t>(r.model);
    reply[2] = 'Z';
    reply[3] = 0x10;
    reply[4] = r.model == 'H' ? 1 : 0;
    reply[7] = static_cast<uint8_t>(range);
    reply[8] = 650 & 0x7F;  // bottom 6.50 m
    reply[9] = 650 >> 7;
    for (size_t j = 0; j < bytes; ++j) {
        uint8_t b = static_cast<uint8_t>(j);
        if (r.sample_bits == 4)
            b = static_cast<uint8_t>(((2 * j) & 0xF) | (((2 * j + 1) & 0xF) << 4));
        if (r.sample_bits == 16) {
            const uint32_t word = ((j / 2) * 3) & 0xFFFF;
            b = static_cast<uint8_t>(j % 2 == 0 ? word & 0xFF : word >> 8);
        }
        reply[12 + j] = b;
    }
    reply.back() = 0xFC;
    return reply;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    const std::string s = test::read_text(path);
    return {s.begin(), s.end()};
}

TEST(ExportXtf, RoundTripOfEveryFieldAndTheSampleOrder) {
    const Recording cases[] = {
        {'G', 3, 8}, {'G', 2, 8}, {'G', 1, 8},  {'H', 3, 8},  {'H', 2, 8},
        {'H', 1, 8}, {'G', 2, 4}, {'H', 3, 16}, {'G', 1, 16},
    };
    for (const Recording& r : cases) {
        SCOPED_TRACE(std::string(1, r.model) + " channel " + std::to_string(r.channel_code) + " " +
                     std::to_string(r.sample_bits) + "-bit");
        const int range = r.model == 'H' ? 240 : 60;
        // Three pings: the first without a position, then two fixes.
        std::vector<uint8_t> file;
        const char* positions[] = {nullptr, " 37.52.304 S144.58.617 E", " 37.52.310 S144.58.620 E"};
        for (int i = 0; i < 3; ++i) {
            RecordStamp s = test::sample_stamp();  // 14-MAY-2024 09:30:07
            s.channel_code = r.channel_code;
            s.sample_bits = r.sample_bits;
            s.gain = 17 + i;
            s.frequency = 1;
            s.ping_interval_ms = 121;
            s.speed_knots = 4.5f;
            s.heading_degrees = 90.0f;
            std::snprintf(s.time_text.data(), s.time_text.size(), "09:30:%02d", 7 + i);
            s.position_text.fill(0);
            if (positions[i]) std::memcpy(s.position_text.data(), positions[i], 24);
            test::append(file, test::encode(s, ramp_reply(r, range)));
        }
        test::TempDir dir;
        ExportSettings settings;
        settings.xtf_path = dir.file("out.xtf");
        settings.xtf.utc_offset_hours = 10.0;
        settings.xtf.file_name = "out.xtf";
        settings.xtf.offsets = {0.0, 0.0, 20.0};  // 20 m layback, heading east
        settings.xtf.high_frequency_khz = 680.0f;
        MemoryRecordSource source(file);
        const ExportReport report = export_recording(source, settings);
        EXPECT_FALSE(report.damaged()) << report.problems();
        EXPECT_EQ(report.pings, 3);
        EXPECT_EQ(report.xtf_pings, 3);
        EXPECT_EQ(report.without_position, 1);

        const test::XtfFile xtf = test::read_xtf(read_bytes(settings.xtf_path));
        ASSERT_TRUE(xtf.ok) << xtf.fault;
        const int bps = r.sample_bits == 16 ? 2 : 1;
        EXPECT_EQ(xtf.header.format, 0x7B);
        EXPECT_EQ(xtf.header.nav_units, 3);
        EXPECT_EQ(xtf.header.sonar_channels, 2);
        EXPECT_EQ(xtf.header.bathy_channels, 0);
        EXPECT_EQ(xtf.header.program, "KELVANOR");
        EXPECT_EQ(xtf.header.file_name, "out.xtf");
        for (int c = 0; c < 2; ++c) {
            const auto& info = xtf.header.channels[c];
            EXPECT_EQ(info.type, c + 1);
            EXPECT_EQ(info.name, c == 0 ? "Port" : "Starboard");
            EXPECT_EQ(info.bytes_per_sample, bps);
            EXPECT_EQ(info.sample_format, bps == 2 ? 3 : 8);
            EXPECT_NE(info.reserved, 0u);
            EXPECT_EQ(info.unipolar, 1);
            EXPECT_EQ(info.frequency, 680.0f);
        }

        const uint32_t bytes = r.model == 'H' ? 500 : 400;
        const uint32_t values = r.sample_bits == 4    ? 2 * bytes
                                : r.sample_bits == 16 ? bytes / 2
                                                      : bytes;
        const uint32_t n = r.channel_code == 3 ? values / 2 : values;
        ASSERT_EQ(xtf.packets.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const test::XtfPacket& p = xtf.packets[static_cast<size_t>(i)];
            const uint32_t unpadded = 256 + 2 * (64 + n * bps);
            EXPECT_EQ(p.bytes, (unpadded + 63) / 64 * 64);
            EXPECT_EQ(p.bytes % 64, 0u);
            EXPECT_TRUE(p.padding_zero);
            EXPECT_EQ(p.header_type, 0);
            EXPECT_EQ(p.channels_to_follow, 2);
            // 09:30:07 local at UTC+10 is 23:30:07 the day before.
            EXPECT_EQ(p.year, 2024);
            EXPECT_EQ(p.month, 5);
            EXPECT_EQ(p.day, 13);
            EXPECT_EQ(p.hour, 23);
            EXPECT_EQ(p.minute, 30);
            EXPECT_EQ(p.second, 7 + i);
            EXPECT_EQ(p.julian_day, 134);
            EXPECT_EQ(p.ping_number, static_cast<uint32_t>(i));
            EXPECT_EQ(p.sound_velocity, 750.0f);
            EXPECT_EQ(p.ship_speed, 4.5f);
            EXPECT_EQ(p.sensor_speed, 4.5f);
            EXPECT_EQ(p.ship_gyro, 90.0f);
            EXPECT_EQ(p.sensor_heading, 90.0f);
            EXPECT_EQ(p.altitude, 6.5f);
            if (i == 0) {
                EXPECT_EQ(p.ship_y, 0.0);
                EXPECT_EQ(p.ship_x, 0.0);
                EXPECT_EQ(p.sensor_y, 0.0);
                EXPECT_EQ(p.sensor_x, 0.0);
            } else {
                const auto want = position_from_text(std::string(positions[i]));
                EXPECT_EQ(p.ship_y, want->latitude_degrees);
                EXPECT_EQ(p.ship_x, want->longitude_degrees);
                // The sensor 20 m behind, to the west.
                EXPECT_NEAR(p.sensor_y, want->latitude_degrees, 1e-9);
                EXPECT_NEAR(distance_metres({p.sensor_y, p.sensor_x}, *want), 20.0, 1e-3);
                EXPECT_LT(p.sensor_x, want->longitude_degrees);
                EXPECT_EQ(p.fix_hour, 23);
                EXPECT_EQ(p.fix_second, 7 + i);
            }
            for (int c = 0; c < 2; ++c) {
                const test::XtfChannel& ch = p.channel[c];
                EXPECT_EQ(ch.number, c);
                EXPECT_EQ(ch.slant_range, static_cast<float>(range));
                EXPECT_EQ(ch.ground_range, 0.0f);
                EXPECT_FLOAT_EQ(ch.time_duration, static_cast<float>(range) / 750.0f);
                EXPECT_FLOAT_EQ(ch.seconds_per_ping, 0.121f);
                EXPECT_EQ(ch.frequency, 680);
                EXPECT_EQ(ch.gain, 17 + i);
                EXPECT_EQ(ch.initial_gain, 17 + i);
                ASSERT_EQ(ch.samples, n);
                ASSERT_EQ(ch.data.size(), n);
                const bool held =
                    r.channel_code == 3 || (c == 0 ? r.channel_code == 2 : r.channel_code == 1);
                for (uint32_t s = 0; s < n; ++s) {
                    // Port from far to near, starboard from near to far.
                    const uint32_t want = !held ? 0 : ramp_value(r, c, c == 0 ? n - 1 - s : s);
                    ASSERT_EQ(ch.data[s], want) << "channel " << c << " sample " << s;
                }
            }
        }
    }
}

TEST(ExportXtf, DamagedRecordingExportsItsGoodPings) {
    RecordStamp s = test::sample_stamp();
    const auto good = test::encode(s, test::g_reply());
    auto bad_reply = test::g_reply();
    bad_reply.back() = 0xFD;  // wrong terminator
    std::vector<uint8_t> file;
    test::append(file, good);
    test::append(file, test::encode(s, bad_reply));
    auto refused = good;
    refused[4] = 0;  // record length 50
    refused[5] = 50;
    test::append(file, refused);
    test::append(file, good);
    file.insert(file.end(), good.begin(), good.begin() + 300);  // cut off

    test::TempDir dir;
    ExportSettings settings;
    settings.xtf_path = dir.file("bad.xtf");
    MemoryRecordSource source(file);
    const ExportReport report = export_recording(source, settings);
    EXPECT_TRUE(report.damaged());
    EXPECT_TRUE(report.truncated);
    EXPECT_EQ(report.records_skipped, 1);
    EXPECT_EQ(report.without_reply, 1);
    EXPECT_EQ(report.pings, 3);
    EXPECT_EQ(report.xtf_pings, 2);
    const test::XtfFile xtf = test::read_xtf(read_bytes(settings.xtf_path));
    ASSERT_TRUE(xtf.ok) << xtf.fault;
    EXPECT_EQ(xtf.packets.size(), 2u);
    EXPECT_NE(report.problems().find("1 unreadable records skipped"), std::string::npos);

    // An output that cannot be created is reported and leaves nothing behind.
    settings.xtf_path = dir.file("no/such/folder.xtf");
    MemoryRecordSource again(file);
    const ExportReport failed = export_recording(again, settings);
    EXPECT_FALSE(failed.output_error.empty());
}

}  // namespace
}  // namespace kelvanor
