#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "datafile_test_support.h"
#include "geo/track.h"
#include "sim/survey_recording.h"

namespace kelvanor {
namespace {

// One ping of a made-up recording.
struct PingPlan {
    int second = 0;        // seconds after 09:30:00
    std::string position;  // 24 characters; empty for none received
    double heading = 0.0;  // 0: none stored
    double speed = 3.0;    // knots
    int bottom_cm = 800;   // 0: the head sent none
    int channel_code = 3;  // 1 Stbd, 2 Port, 3 Both
    int interval_ms = 200;
};

std::vector<uint8_t> record_of(const PingPlan& p, std::vector<uint8_t> reply = test::g_reply()) {
    RecordStamp s = test::sample_stamp();
    char time[32];
    std::snprintf(time, sizeof time, "09:%02d:%02d", 30 + p.second / 60 % 30, p.second % 60);
    std::memcpy(s.time_text.data(), time, 9);
    s.position_text.fill(0);
    if (!p.position.empty()) std::memcpy(s.position_text.data(), p.position.data(), 24);
    s.heading_degrees = static_cast<float>(p.heading);
    s.speed_knots = static_cast<float>(p.speed);
    s.channel_code = p.channel_code;
    s.ping_interval_ms = p.interval_ms;
    reply[8] = static_cast<uint8_t>(p.bottom_cm & 0x7F);
    reply[9] = static_cast<uint8_t>(p.bottom_cm >> 7);
    return test::encode(s, reply);
}

std::vector<TrackPing> build(const std::vector<std::vector<uint8_t>>& records,
                             TrackOptions options = {}, TrackCounts* counts = nullptr) {
    std::vector<TrackPing> out;
    TrackBuilder builder(
        [&](const TrackPing& p, std::span<const uint8_t> record) {
            EXPECT_EQ(record.size(), 640u);
            out.push_back(p);
            if (out.back().echoes)
                out.back().echoes->echo = {};  // the record is gone after the call
        },
        options);
    for (const auto& r : records) builder.push(r, {r.size(), 413});
    builder.finish();
    if (counts) *counts = builder.counts();
    return out;
}

// Latitude text of `thousandths` of a minute north of 54 degrees, at 10 degrees east.
std::string north_of_54(int thousandths) {
    char text[64];
    std::snprintf(text, sizeof text, " 54.%02d.%03d N010.00.000 E", thousandths / 1000,
                  thousandths % 1000);
    return text;
}

TEST(GeoTrack, InterpolationIsExactAtFixesAndMonotonicBetween) {
    // Five pings a second, a fix every second moving north by 2 to 5 thousandths; three pings
    // before the first fix.
    std::vector<std::vector<uint8_t>> records;
    std::vector<std::string> texts;
    int thousandths = 100;
    for (int i = 0; i < 60; ++i) {
        if (i >= 3 && (i - 3) % 5 == 0) thousandths += 2 + (i % 4);
        texts.push_back(i < 3 ? std::string() : north_of_54(thousandths));
        records.push_back(record_of({i / 5, texts.back()}));
    }
    TrackCounts counts;
    const auto track = build(records, {}, &counts);
    ASSERT_EQ(track.size(), 60u);
    EXPECT_EQ(counts.fixes, 12);
    EXPECT_EQ(counts.with_position, 57);
    for (int i = 0; i < 60; ++i) {
        const TrackPing& p = track[i];
        EXPECT_EQ(p.index, i);
        EXPECT_EQ(p.has_position, i >= 3) << i;
        if (!p.has_position) continue;
        const bool fix = i == 3 || texts[i] != texts[i - 1];
        EXPECT_EQ(p.at_fix, fix) << i;
        if (fix) {
            const auto want = position_from_text(texts[i]);
            EXPECT_EQ(p.position, *want) << i;  // exact, not near
        }
        if (i > 3) {
            // Pings after the last fix keep its position; before it, strictly north.
            if (i <= 53) {
                EXPECT_GT(p.position.latitude_degrees, track[i - 1].position.latitude_degrees) << i;
            } else {
                EXPECT_GE(p.position.latitude_degrees, track[i - 1].position.latitude_degrees) << i;
            }
            EXPECT_EQ(p.position.longitude_degrees, 10.0);
        }
    }
    // Half-way between two fixes is half-way in position.
    const double a = track[8].position.latitude_degrees, b = track[13].position.latitude_degrees;
    EXPECT_NEAR(track[10].position.latitude_degrees, a + (b - a) * 2 / 5, 1e-12);
    EXPECT_LT(counts.most_waiting, 16u);
}

TEST(GeoTrack, NoPositionAcrossLongGapsOrAfterTheTextIsCleared) {
    struct Step {
        int second;
        int thousandths;  // -1: zeros (no position), -2: malformed
        bool has_position;
    };
    // A fix, then the same text for 8 s (longer than the 5 s allowed), a new fix, a cleared
    // text, a malformed text, then fixes again.
    const Step steps[] = {
        {0, 100, true},  {1, 102, true},  {2, 102, false}, {5, 102, false},
        {9, 102, false}, {10, 110, true}, {11, 112, true}, {12, 112, true},
        {12, -1, false}, {13, -2, false}, {14, 120, true}, {15, 121, true},
    };
    std::vector<std::vector<uint8_t>> records;
    for (const Step& s : steps) {
        std::string text = s.thousandths == -1   ? std::string()
                           : s.thousandths == -2 ? std::string(" 54.00.1x0 N010.00.000 E")
                                                 : north_of_54(s.thousandths);
        records.push_back(record_of({s.second, text}));
    }
    TrackCounts counts;
    const auto track = build(records, {}, &counts);
    ASSERT_EQ(track.size(), std::size(steps));
    for (size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(track[i].has_position, steps[i].has_position) << i;
    }
    EXPECT_EQ(counts.malformed_positions, 1);
    // The ping of the cleared text's predecessor holds the last fix.
    EXPECT_EQ(track[7].position, *position_from_text(north_of_54(112)));
}

TEST(GeoTrack, PingsAreSpreadOverTheirSecond) {
    // Seconds 0 (the first, partial), 1 and 2 (complete), 3 (the last): 3, 4, 5 and 2 pings.
    const int seconds[] = {0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3};
    std::vector<std::vector<uint8_t>> records;
    for (int s : seconds)
        records.push_back(record_of({s, north_of_54(100 + s), 0, 3, 800, 3, 200}));
    const auto track = build(records);
    const double want[] = {0.4, 0.6, 0.8, 1.0, 1.25, 1.5, 1.75, 2.0, 2.2, 2.4, 2.6, 2.8, 3.0, 3.2};
    for (size_t i = 0; i < track.size(); ++i) {
        ASSERT_TRUE(track[i].has_time);
        // 14 May 2024 09:30:00 as written, and the place within the second.
        EXPECT_EQ(track[i].time_second, 1715679000 + static_cast<int64_t>(want[i]));
        EXPECT_NEAR(track[i].time_fraction, want[i] - std::floor(want[i]), 1e-12) << i;
        EXPECT_NEAR(track[i].time_seconds, 1715679000.0 + want[i], 1e-6) << i;
    }
}

TEST(GeoTrack, HeadingFromTheRecordElseCourseOverGround) {
    // Eastward at 2.18 m/s (0.001 minute of longitude is 1.09 m at 54 N), a fix a second.
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 40; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, " 54.00.000 N010.00.%03d E", 2 * (i / 2));
        records.push_back(
            record_of({i / 2, text, i < 20 ? 0.0 : 271.5, i < 20 ? 0.0 : 4.5, 800, 3, 500}));
    }
    const auto track = build(records);
    // Until the fixes are 15 m apart there is no course; the record has no heading either.
    EXPECT_EQ(track[0].heading_source, HeadingSource::None);
    EXPECT_FALSE(track[0].speed_knots);
    const TrackPing& late = track[19];
    ASSERT_EQ(late.heading_source, HeadingSource::CourseOverGround);
    EXPECT_NEAR(*late.heading_degrees, 90.0, 0.01);
    // 0.002 minute of longitude (2.18 m) a second is 4.23 knots.
    EXPECT_NEAR(*late.speed_knots, 4.23, 0.05);
    const TrackPing& stored = track[30];
    EXPECT_EQ(stored.heading_source, HeadingSource::Record);
    EXPECT_DOUBLE_EQ(*stored.heading_degrees, 271.5);
    EXPECT_DOUBLE_EQ(*stored.speed_knots, 4.5);
    EXPECT_NEAR(*stored.course_over_ground_degrees, 90.0, 0.01);
}

TEST(GeoTrack, AltitudeFromTheBottomValueElseTheFirstReturn) {
    // Both sides, 200 samples each over 120 m: quiet water, then the seabed from sample 20
    // to port and from sample 30 to starboard, a little ringing at the head.
    std::vector<uint8_t> reply = test::g_reply();
    for (int j = 0; j < 200; ++j) {
        reply[12 + 2 * j] = j < 3 ? 40 : j < 20 ? 5 : j == 20 ? 200 : 120;
        reply[12 + 2 * j + 1] = j < 30 ? 6 : 150;
    }
    struct Case {
        int bottom_cm;
        int channel_code;
        std::optional<float> port, stbd;
    } cases[] = {
        {850, 3, 8.5f, 8.5f},                // the head's bottom value
        {0, 3, 12.0f, 18.0f},                // sample 20 and 30 of 200 over 120 m
        {0, 2, std::nullopt, std::nullopt},  // port only: 400 samples of the pattern above
    };
    for (const Case& c : cases) {
        const auto track =
            build({record_of({0, north_of_54(1), 0, 3, c.bottom_cm, c.channel_code}, reply)});
        ASSERT_EQ(track.size(), 1u);
        const auto& alt = track[0].altitude_metres;
        if (c.channel_code == 2) {
            EXPECT_FALSE(alt[1]) << "starboard is not held";
            ASSERT_TRUE(alt[0]);
            // Port only: the interleaved bytes are one side's 400 samples; the first strong
            // one is byte 40 (sample 40 of 400 over 120 m).
            EXPECT_NEAR(*alt[0], 12.0f, 1e-4);
            continue;
        }
        ASSERT_TRUE(alt[0] && alt[1]);
        EXPECT_NEAR(*alt[0], *c.port, 1e-4);
        EXPECT_NEAR(*alt[1], *c.stbd, 1e-4);
    }
    // A side that holds only noise has no altitude.
    std::vector<uint8_t> quiet = test::g_reply();
    for (size_t i = 12; i + 1 < quiet.size(); ++i) quiet[i] = 3;
    const auto track = build({record_of({0, north_of_54(1), 0, 3, 0, 3}, quiet)});
    EXPECT_FALSE(track[0].altitude_metres[0]);
    EXPECT_FALSE(track[0].altitude_metres[1]);
}

TEST(GeoTrack, SamplesArePlacedAcrossTheTrack) {
    const auto track =
        build({record_of({0, north_of_54(1), 90.0, 3, 1000, 3})});  // heading east, 10 m up
    const TrackPing& p = track[0];
    ASSERT_TRUE(p.echoes);
    EXPECT_EQ(p.echoes->samples_per_side, 200);
    EXPECT_EQ(p.echoes->range_metres, 120);
    struct Case {
        SonarSide side;
        int32_t index;
        std::optional<double> ground;  // metres from the sensor
        double bearing;
    } cases[] = {
        {SonarSide::Port, 0, std::nullopt, 0},
        {SonarSide::Starboard, 16, std::nullopt, 0},  // 9.6 m: still in the water column
        {SonarSide::Starboard, 50, std::sqrt(30.0 * 30 - 100), 180},
        {SonarSide::Port, 50, std::sqrt(30.0 * 30 - 100), 0},
        {SonarSide::Port, 200, std::nullopt, 0},  // beyond the samples
    };
    for (const Case& c : cases) {
        const auto at = place_sample(p, c.side, c.index, {});
        ASSERT_EQ(at.has_value(), c.ground.has_value()) << c.index;
        if (!at) continue;
        EXPECT_NEAR(distance_metres(p.position, *at), *c.ground, 1e-3);
        EXPECT_NEAR(bearing_degrees(p.position, *at), c.bearing, 1e-3);
    }
    // 30 m of layback east-bound puts the sensor 30 m west of the antenna.
    const auto behind = place_sample(p, SonarSide::Port, 50, {0, 0, 30});
    const GeoPoint sensor = offset_point(p.position, 0, -30);
    EXPECT_NEAR(distance_metres(sensor, *behind), std::sqrt(30.0 * 30 - 100), 1e-3);
}

TEST(GeoTrack, SyntheticSurveyHoldsItsRecordedPositionsAndStaysSmall) {
    SurveyRecordingConfig config;
    SurveyRecording recording(config);
    std::vector<std::vector<uint8_t>> records;
    std::vector<std::string> texts;
    RecordStamp stamp;
    for (int i = 0; i < 3000; ++i) {
        const auto reply = recording.next(stamp);
        texts.emplace_back(stamp.position_text.data(), 24);
        records.push_back(test::encode(stamp, {reply.begin(), reply.end()}));
    }
    TrackCounts counts;
    const auto track = build(records, {}, &counts);
    ASSERT_EQ(track.size(), 3000u);
    EXPECT_EQ(counts.with_position, 3000);
    int fixes = 0;
    for (size_t i = 0; i < track.size(); ++i) {
        if (!track[i].at_fix) continue;
        ++fixes;
        EXPECT_EQ(track[i].position, *position_from_text(texts[i]));
    }
    EXPECT_GT(fixes, 300);
    EXPECT_LT(counts.most_waiting, 64u);
    for (size_t i = 1; i < track.size(); ++i)
        EXPECT_GE(track[i].time_seconds, track[i - 1].time_seconds);
    // Survey heading is 45 degrees, give or take its slow weave.
    EXPECT_EQ(track[2000].heading_source, HeadingSource::Record);
    EXPECT_NEAR(*track[2000].course_over_ground_degrees, 45.0, 15.0);
}

}  // namespace
}  // namespace kelvanor
