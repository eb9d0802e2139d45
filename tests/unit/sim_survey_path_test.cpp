// The synthetic survey's path (lines, turns) and its targets at geographic positions: where
// they are placed, how a ping sees them, and which side a line sees them on.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geo/position.h"
#include "sim/survey_path.h"
#include "sim/survey_recording.h"

namespace kelvanor {
namespace {

SurveyPathConfig path_at(double latitude, double heading) {
    SurveyPathConfig c;
    c.start_latitude_minutes = latitude * 60.0;
    c.start_longitude_minutes = 145.0 * 60.0;
    c.heading_degrees = heading;
    return c;
}

TEST(SurveyPath, LinesBackAndForthJoinedByTurns) {
    SurveyPathConfig c = path_at(-37.8, 0.0);
    c.line_length_metres = 200.0;
    c.line_spacing_metres = 60.0;
    SurveyPath path(c);
    const GeoPoint start = path.position();
    bool turned = false;
    for (int i = 0; i < 1500; ++i) {  // 375 m: on the second line
        turned = turned || path.turning();
        path.advance();
    }
    EXPECT_TRUE(turned);
    EXPECT_FALSE(path.turning());
    // Back southwards (the wobble is 6 degrees at most), one line spacing to the east.
    EXPECT_NEAR(path.heading_degrees(), 180.0, 6.5);
    EXPECT_GT(bearing_degrees(start, path.position()), 0.0);
    EXPECT_LT(bearing_degrees(start, path.position()), 180.0);
}

TEST(SurveyPath, TargetsArePlacedWhereTheLineSeesThem) {
    struct Case {
        double latitude, heading;
        SurveyTarget target;
        SonarSide side;
    };
    const Case cases[] = {
        {-37.8, 0.0, {40.0f, 18.0f, 6.0f, 2.0f}, SonarSide::Starboard},
        {54.35, 45.0, {95.0f, -25.0f, 2.0f, 1.2f}, SonarSide::Port},
        {10.0, 300.0, {150.0f, 9.0f, 1.0f, 0.6f}, SonarSide::Starboard},
    };
    for (const Case& c : cases) {
        const SurveyPathConfig config = path_at(c.latitude, c.heading);
        const auto placed = place_targets_along_path(config, {c.target});
        ASSERT_EQ(placed.size(), 1u);
        EXPECT_NEAR(distance_metres(SurveyPath(config).position(), placed[0].point),
                    std::hypot(c.target.along_metres, c.target.across_metres), 2.0);
        const auto seen = sight_targets(config, 1000, 59.0, placed);
        ASSERT_TRUE(seen[0]) << c.latitude;
        EXPECT_EQ(seen[0]->side, c.side);
        EXPECT_NEAR(seen[0]->across_metres, std::fabs(c.target.across_metres), 0.1);
        // A survey that stops before the target never passes it.
        EXPECT_FALSE(sight_targets(config, 10, 59.0, placed)[0]);
    }
    // A target beyond the end of the first line is not placed.
    SurveyPathConfig short_line = path_at(-37.8, 0.0);
    short_line.line_length_metres = 30.0;
    EXPECT_TRUE(place_targets_along_path(short_line, {{40.0f, 18.0f, 6.0f, 2.0f}}).empty());
}

TEST(SurveyPath, APingSeesTargetsAlongAndAcrossItsHeading) {
    const GeoPoint here{54.35, 10.1};
    struct Case {
        double heading, north, east, along, across;
    };
    const Case cases[] = {
        {0.0, 10.0, -5.0, 10.0, -5.0},
        {90.0, 5.0, 10.0, 10.0, -5.0},
        {180.0, -10.0, -5.0, 10.0, 5.0},
        {270.0, 0.0, -20.0, 20.0, 0.0},
    };
    for (const Case& c : cases) {
        const std::vector<PlacedTarget> placed = {{offset_point(here, c.north, c.east), 2.0f, 1.0f},
                                                  {offset_point(here, 500.0, 0.0), 2.0f, 1.0f}};
        std::vector<SurveyTarget> seen;
        targets_seen_from(here, c.heading, 100.0f, 70.0, placed, seen);
        ASSERT_EQ(seen.size(), 1u) << "the far target is out of reach";
        EXPECT_NEAR(seen[0].along_metres, 100.0 + c.along, 0.01) << c.heading;
        EXPECT_NEAR(seen[0].across_metres, c.across, 0.01) << c.heading;
    }
}

TEST(SurveyRecording, FixesOnceASecondRoundedToTheText) {
    SurveyRecordingConfig config;
    config.fix_interval_ms = 1000;
    SurveyRecording recording(config);
    RecordStamp stamp;
    std::string previous;
    std::string previous_time;
    int changes = 0;
    for (int i = 0; i < 200; ++i) {
        ASSERT_FALSE(recording.next(stamp).empty());
        const std::string text(stamp.position_text.data(), 24);
        const std::string time(stamp.time_text.data());
        if (!previous.empty() && text != previous) {
            ++changes;
            EXPECT_NE(time, previous_time) << "a second fix within one second";
        }
        previous = text;
        previous_time = time;
    }
    // 200 pings of 121 ms: 24 seconds, one fix each.
    EXPECT_GE(changes, 20);
    EXPECT_LE(changes, 25);
}

}  // namespace
}  // namespace kelvanor
