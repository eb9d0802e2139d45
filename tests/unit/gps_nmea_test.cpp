// NMEA sentence parsing: the position text built from GLL, GGA and RMC, speed and course
// from RMC and VTG, which sentences each GPSHeadingType listens to, and the limits that keep
// malformed sentences inside their buffers and their values in range.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

#include "control/app_state.h"
#include "gps/gps_line_assembler.h"
#include "gps/nmea_parser.h"

namespace kelvanor {
namespace {

std::string position_of(const AppState& app) {
    std::lock_guard lock(app.head.position_text_lock);
    return std::string(app.head.position_text.begin(), app.head.position_text.end());
}

void set_position(AppState& app, const std::string& text) {
    std::lock_guard lock(app.head.position_text_lock);
    std::copy_n(text.begin(), kPositionTextSize, app.head.position_text.begin());
}

DispatchOutcome dispatch(AppState& app, const std::string& sentence,
                         const GpsReadoutHooks& hooks = {}) {
    set_gps_line(app.gps.line, sentence);
    return dispatch_sentence(gps_context(app), hooks);
}

std::unique_ptr<AppState> make_app(int32_t heading_type, int32_t speed_from_gps = 1) {
    auto app = std::make_unique<AppState>();
    app->settings.GPSHeadingType = heading_type;
    app->run.speed_from_gps = speed_from_gps;
    return app;
}

const std::string kGll = "$GPGLL,3752.304,S,14458.617,E,123519,A*2C\r\n";
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,005.3,084.4,230394,003.1,W*6A\r\n";
const std::string kVtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";

TEST(GpsNmeaPosition, GllSetsBothHalvesOfThePositionText) {
    auto app = make_app(kGpsPositionFromGll);
    EXPECT_TRUE(dispatch(*app, kGll).position_taken);
    EXPECT_EQ(position_of(*app), " 37.52.304 S144.58.617 E");
}

TEST(GpsNmeaPosition, EachHeadingTypeTakesOnlyItsOwnSentence) {
    struct Case {
        int32_t heading_type;
        const std::string* sentence;
        const char* expected;  // nullptr: the position stays empty
    };
    const Case cases[] = {
        {kGpsPositionFromGll, &kGll, " 37.52.304 S144.58.617 E"},
        {kGpsPositionFromGll, &kGga, nullptr},
        {kGpsPositionFromGll, &kRmc, nullptr},
        {kGpsPositionFromGga, &kGga, " 48.07.038 N011.31.000 E"},
        {kGpsPositionFromGga, &kGll, nullptr},
        {kGpsPositionFromGga, &kRmc, nullptr},
        {kGpsPositionFromRmc, &kRmc, " 48.07.038 N011.31.000 E"},
        {kGpsPositionFromRmc, &kGll, nullptr},
        {kGpsPositionFromRmc, &kGga, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.heading_type << ": " << *c.sentence);
        auto app = make_app(c.heading_type);
        const DispatchOutcome outcome = dispatch(*app, *c.sentence);
        EXPECT_EQ(outcome.position_taken, c.expected != nullptr);
        EXPECT_EQ(position_of(*app),
                  c.expected ? std::string(c.expected) : std::string(kPositionTextSize, '\0'));
    }
}

TEST(GpsNmeaPosition, TalkerIsNotLookedAt) {
    auto app = make_app(kGpsPositionFromRmc);
    dispatch(*app, "$GNRMC,123519,A,4807.038,N,01131.000,E,005.3,084.4,230394,,*00\r\n");
    EXPECT_EQ(position_of(*app), " 48.07.038 N011.31.000 E");
}

TEST(GpsNmeaPosition, RmcWithVoidStatusStillSetsThePosition) {
    auto app = make_app(kGpsPositionFromRmc);
    dispatch(*app, "$GPRMC,123519,V,4807.038,N,01131.000,E,,,230394,,*00\r\n");
    EXPECT_EQ(position_of(*app), " 48.07.038 N011.31.000 E");
}

TEST(GpsNmeaPosition, SentenceWithoutFixLeavesThePosition) {
    const std::string no_fix[] = {
        "$GPGGA,123520,,,,,0,00,99.99,,,,,,*66\r\n",
        "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n",
        "$GPGGA,123520,4807.038,X,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
        "$GPGGA,123520,4807.038,N,01131.000,Q,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
    };
    for (const std::string& sentence : no_fix) {
        SCOPED_TRACE(sentence);
        auto app = make_app(kGpsPositionFromGga);
        dispatch(*app, kGga);
        EXPECT_FALSE(dispatch(*app, sentence).position_taken);
        EXPECT_EQ(position_of(*app), " 48.07.038 N011.31.000 E");
    }
}

TEST(GpsNmeaPosition, TwoFractionDigitsKeepTheThirdDigitShownBefore) {
    auto app = make_app(kGpsPositionFromGll);
    dispatch(*app, kGll);
    dispatch(*app, "$GPGLL,3852.30,S,14558.61,E,123519,A*2C\r\n");
    EXPECT_EQ(position_of(*app), " 38.52.304 S145.58.617 E");
}

TEST(GpsNmeaPosition, ShortWholePartsAreRightAligned) {
    auto app = make_app(kGpsPositionFromGll);
    set_position(*app, " 99.99.999 N999.99.999 W");
    struct Case {
        const char* sentence;
        const char* expected;
    };
    // Characters the digits do not reach keep what they held.
    const Case cases[] = {
        {"$GPGLL,3752.304,S,4458.617,E,1,A\r\n", " 37.52.304 S944.58.617 E"},
        {"$GPGLL,752.304,S,458.617,E,1,A\r\n", " 37.52.304 S944.58.617 E"},
        {"$GPGLL,52.111,N,58.222,W,1,A\r\n", " 37.52.111 N944.58.222 W"},
        {"$GPGLL,2.333,S,8.444,E,1,A\r\n", " 37.52.333 S944.58.444 E"},
        {"$GPGLL,1234.555,N,12345.666,W,1,A\r\n", " 12.34.555 N123.45.666 W"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        dispatch(*app, c.sentence);
        EXPECT_EQ(position_of(*app), c.expected);
    }
}

TEST(GpsNmeaPosition, FractionDigitsBeyondTheThirdAreDroppedNotRounded) {
    auto app = make_app(kGpsPositionFromGll);
    dispatch(*app, "$GPGLL,3752.3049999,S,14458.6179999,E,123519,A\r\n");
    EXPECT_EQ(position_of(*app), " 37.52.304 S144.58.617 E");
}

TEST(GpsNmeaPosition, TextThatTheRecordReaderWouldRefuseIsNotTaken) {
    // On a first fix a part too short to fill its characters would leave zero bytes in the
    // text, and every ping recorded with it would play back without position and speed.
    const char* refused[] = {
        "$GPGLL,3752.30,S,14458.617,E,123519,A\r\n",    // third latitude digit missing
        "$GPGLL,52.304,S,14458.617,E,123519,A\r\n",     // no latitude degrees
        "$GPGLL,3752.304,S,4458.617,E,123519,A\r\n",    // longitude hundreds missing
        "$GPGLL,3752.,S,14458.617,E,123519,A\r\n",      // no fraction at all
        "$GPGLL,37521.304,S,14458.617,E,123519,A\r\n",  // five latitude digits write none
    };
    for (const char* sentence : refused) {
        SCOPED_TRACE(sentence);
        auto app = make_app(kGpsPositionFromGll);
        EXPECT_FALSE(dispatch(*app, sentence).position_taken);
        EXPECT_EQ(position_of(*app), std::string(kPositionTextSize, '\0'));
        EXPECT_EQ(app->gps.positions_taken, 0);
    }
}

TEST(GpsNmeaSpeed, RmcSpeedIsHeldAtTenKnots) {
    struct Case {
        const char* speed;
        float expected;
        float heading;
    };
    // Twelve characters fill the scan: the course scan then starts at the speed's ",".
    const Case cases[] = {{"005.3", 5.3f, 84.4f},
                          {"12.5", 10.0f, 84.4f},
                          {"", 0.0f, 84.4f},
                          {"10.0", 10.0f, 84.4f},
                          {"000000000005", 5.0f, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        auto app = make_app(kGpsPositionFromRmc);
        dispatch(*app, std::string("$GPRMC,123519,A,4807.038,N,01131.000,E,") + c.speed +
                           ",084.4,230394,003.1,W*6A\r\n");
        EXPECT_FLOAT_EQ(app->run.speed_knots, c.expected);
        EXPECT_FLOAT_EQ(app->run.heading_degrees, c.heading);
    }
}

TEST(GpsNmeaSpeed, RmcSpeedAndCourseOnlyWhileSpeedComesFromTheGps) {
    auto app = make_app(kGpsPositionFromRmc, 0);
    app->run.speed_knots = 4.0f;
    app->run.heading_degrees = 12.0f;
    const DispatchOutcome outcome = dispatch(*app, kRmc);
    EXPECT_TRUE(outcome.position_taken);
    EXPECT_FALSE(outcome.speed_and_heading_set);
    EXPECT_FLOAT_EQ(app->run.speed_knots, 4.0f);
    EXPECT_FLOAT_EQ(app->run.heading_degrees, 12.0f);
}

// Empty position fields shift every later field: the speed scan would land on the
// magnetic variation and the course on its letter. Such a sentence sets neither, and a
// position with hemispheres still sets both.
TEST(GpsNmeaSpeed, RmcWithoutPositionFieldsSetsNoSpeedNorHeading) {
    struct Case {
        const char* sentence;
        bool set;
        float speed;
        float heading;
    };
    const Case cases[] = {
        {"$GPRMC,123519,A,,,,,5.3,084.4,230394,003.1,W*6A\r\n", false, 4.0f, 12.0f},
        {"$GPRMC,123519,V,,,,,,,230394,,,N*00\r\n", false, 4.0f, 12.0f},
        {"$GPRMC,123519,A,4807.038,,01131.000,,5.3,084.4,230394,003.1,W*6A\r\n", false, 4.0f,
         12.0f},
        {"$GPRMC,123519,V,4807.038,N,01131.000,E,5.3,084.4,230394,003.1,W*6A\r\n", true, 5.3f,
         84.4f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        auto app = make_app(kGpsPositionFromRmc);
        app->run.speed_knots = 4.0f;
        app->run.heading_degrees = 12.0f;
        int draws = 0;
        GpsReadoutHooks hooks;
        hooks.draw_speed = [&](float) { ++draws; };
        hooks.draw_heading = [&](float) { ++draws; };
        const DispatchOutcome outcome = dispatch(*app, c.sentence, hooks);
        EXPECT_EQ(outcome.speed_and_heading_set, c.set);
        EXPECT_FLOAT_EQ(app->run.speed_knots, c.speed);
        EXPECT_FLOAT_EQ(app->run.heading_degrees, c.heading);
        EXPECT_EQ(draws, c.set ? 2 : 0);
    }
}

TEST(GpsNmeaSpeed, VtgGivesCourseAndKnots) {
    auto app = make_app(kGpsPositionFromGll);
    EXPECT_TRUE(dispatch(*app, kVtg).speed_and_heading_set);
    EXPECT_FLOAT_EQ(app->run.heading_degrees, 54.7f);
    EXPECT_FLOAT_EQ(app->run.speed_knots, 5.5f);
}

TEST(GpsNmeaSpeed, VtgIsHeardOnlyBesideGllAndGga) {
    struct Case {
        int32_t heading_type;
        int32_t speed_from_gps;
        bool heard;
    };
    const Case cases[] = {{kGpsPositionFromGll, 1, true},
                          {kGpsPositionFromGga, 1, true},
                          {kGpsPositionFromRmc, 1, false},
                          {kGpsPositionFromGll, 0, false},
                          {kGpsPositionFromGga, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "type " << c.heading_type << " gps speed " << c.speed_from_gps);
        auto app = make_app(c.heading_type, c.speed_from_gps);
        app->run.speed_knots = 3.0f;
        EXPECT_EQ(dispatch(*app, kVtg).speed_and_heading_set, c.heard);
        EXPECT_FLOAT_EQ(app->run.speed_knots, c.heard ? 5.5f : 3.0f);
    }
}

TEST(GpsNmeaSpeed, GgaTypeIgnoresPositionsOfOtherSentencesButHearsVtg) {
    auto app = make_app(kGpsPositionFromGga);
    dispatch(*app, kGll);
    dispatch(*app, kRmc);
    dispatch(*app, kVtg);
    EXPECT_EQ(position_of(*app), std::string(kPositionTextSize, '\0'));
    EXPECT_FLOAT_EQ(app->run.speed_knots, 5.5f);
}

TEST(GpsNmeaSpeed, VtgWithoutUnitLettersIsIgnored) {
    auto app = make_app(kGpsPositionFromGll);
    app->run.speed_knots = 3.0f;
    app->run.heading_degrees = 90.0f;
    EXPECT_FALSE(
        dispatch(*app, "$GPVTG,054.7,,034.4,M,005.5,,010.2,K*48\r\n").speed_and_heading_set);
    EXPECT_FALSE(dispatch(*app, "$GPVTG,054.7,T\r\n").speed_and_heading_set);
    EXPECT_FLOAT_EQ(app->run.speed_knots, 3.0f);
    EXPECT_FLOAT_EQ(app->run.heading_degrees, 90.0f);
}

TEST(GpsNmeaSpeed, VtgLettersAfterTheCarriageReturnAreNotSeen) {
    auto app = make_app(kGpsPositionFromGll);
    app->run.speed_knots = 3.0f;
    EXPECT_FALSE(dispatch(*app, "$GPVTG,054.7,,034.4\r\n,005.5,N,T").speed_and_heading_set);
    EXPECT_FLOAT_EQ(app->run.speed_knots, 3.0f);
}

TEST(GpsNmeaSpeed, ReadoutsFollowEachAcceptedSentence) {
    auto app = make_app(kGpsPositionFromRmc);
    int positions = 0;
    float speed_shown = -1.0f;
    float heading_shown = -1.0f;
    GpsReadoutHooks hooks;
    hooks.draw_position = [&] {
        // The read-out copies the text under the lock itself: it must be free here.
        std::unique_lock lock(app->head.position_text_lock, std::try_to_lock);
        EXPECT_TRUE(lock.owns_lock());
        ++positions;
    };
    hooks.draw_speed = [&](float v) { speed_shown = v; };
    hooks.draw_heading = [&](float h) { heading_shown = h; };
    dispatch(*app, kRmc, hooks);
    EXPECT_EQ(positions, 1);
    EXPECT_FLOAT_EQ(speed_shown, 5.3f);
    EXPECT_FLOAT_EQ(heading_shown, 84.4f);
}

// The parsers alone: each sentence gives the parts of the position it carries and, for RMC
// and VTG, speed and course, whatever the program state is.
NmeaDigits digits(const std::string& text) {
    NmeaDigits d;
    for (char c : text) d.append(c);
    return d;
}

NmeaWorkFields parts(const std::string& lat_whole, const std::string& lat_fraction, char lat,
                     const std::string& lon_whole, const std::string& lon_fraction, char lon) {
    NmeaWorkFields work;
    work.latitude_whole = digits(lat_whole);
    work.latitude_fraction = digits(lat_fraction);
    work.latitude_hemisphere = lat;
    work.longitude_whole = digits(lon_whole);
    work.longitude_fraction = digits(lon_fraction);
    work.longitude_hemisphere = lon;
    return work;
}

struct ParserCase {
    NmeaFix (*parse)(const GpsLine&);
    std::string sentence;
    NmeaFix expected;
};

void expect_parses(const ParserCase& c) {
    SCOPED_TRACE(c.sentence);
    GpsLine line;
    set_gps_line(line, c.sentence);
    const NmeaFix fix = c.parse(line);
    EXPECT_EQ(fix.position, c.expected.position);
    EXPECT_EQ(fix.speed_knots, c.expected.speed_knots);
    EXPECT_EQ(fix.course_degrees, c.expected.course_degrees);
}

TEST(GpsNmeaParsers, PositionSentences) {
    const NmeaWorkFields munich = parts("4807", "038", 'N', "01131", "000", 'E');
    const ParserCase cases[] = {
        {parse_gll, kGll, {parts("3752", "304", 'S', "14458", "617", 'E'), {}, {}}},
        {parse_gga, kGga, {munich, {}, {}}},
        {parse_gll,
         "$GPGLL,3852.30,S,14558.61,E,123519,A*2C\r\n",
         {parts("3852", "30", 'S', "14558", "61", 'E'), {}, {}}},
        {parse_gll,
         "$GPGLL,52.111,N,58.222,W,1,A\r\n",
         {parts("52", "111", 'N', "58", "222", 'W'), {}, {}}},
        // Only six whole digits are looked at, and at most six fraction digits are kept.
        {parse_gll,
         "$GPGLL,3752.3049999,S,14458.6179999,E,123519,A\r\n",
         {parts("3752", "304999", 'S', "14458", "617999", 'E'), {}, {}}},
        {parse_gga,
         "$GPGGA,123520,4807.038,X,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
         {parts("4807", "038", 'X', "01131", "000", 'E'), {}, {}}},
    };
    for (const ParserCase& c : cases) expect_parses(c);
}

TEST(GpsNmeaParsers, RmcGivesSpeedAndCourseOnlyWithBothHemispheres) {
    const NmeaWorkFields munich = parts("4807", "038", 'N', "01131", "000", 'E');
    const ParserCase cases[] = {
        {parse_rmc, kRmc, {munich, 5.3f, 84.4f}},
        {parse_rmc,
         "$GPRMC,123519,V,4807.038,N,01131.000,E,,,230394,,*00\r\n",
         {munich, 0.0f, 0.0f}},
        {parse_rmc,
         "$GPRMC,123519,A,4807.038,N,01131.000,E,12.5,084.4,230394,003.1,W*6A\r\n",
         {munich, 10.0f, 84.4f}},
        // A course that is none leaves the heading as it was; the speed still counts.
        {parse_rmc,
         "$GPRMC,1,A,4807.038,N,01131.000,E,1.0,360.1,230394,,*6A\r\n",
         {munich, 1.0f, {}}},
    };
    for (const ParserCase& c : cases) expect_parses(c);
}

// Sentences without both hemispheres give no position; RMC then gives no speed nor course
// either: with empty position fields the "speed" would be the magnetic variation.
TEST(GpsNmeaParsers, NoPositionWithoutBothHemispheres) {
    struct Case {
        NmeaFix (*parse)(const GpsLine&);
        const char* sentence;
    };
    const Case cases[] = {
        {parse_gga, "$GPGGA,123520,,,,,0,00,99.99,,,,,,*66\r\n"},
        {parse_gga, "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n"},
        {parse_gga, "$GPGGA,123520,4807.038,N,01131.000,Q,1,08,0.9,545.4,M,46.9,M,,*47\r\n"},
        {parse_gll, kGga.c_str()},  // the time stands where the latitude should be
        {parse_rmc, "$GPRMC,123519,A,,,,,5.3,084.4,230394,003.1,W*6A\r\n"},
        {parse_rmc, "$GPRMC,123519,V,,,,,,,230394,,,N*00\r\n"},
        {parse_rmc, "$GPRMC,123519,A,4807.038,,01131.000,,5.3,084.4,230394,003.1,W*6A\r\n"},
        {parse_rmc, "$GPRMC\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        GpsLine line;
        set_gps_line(line, std::string(c.sentence));
        const NmeaFix fix = c.parse(line);
        EXPECT_FALSE(hemispheres_valid(fix.position));
        EXPECT_EQ(fix.speed_knots, std::nullopt);
        EXPECT_EQ(fix.course_degrees, std::nullopt);
    }
}

TEST(GpsNmeaParsers, VtgGivesSpeedAndCourse) {
    const NmeaWorkFields none;
    const ParserCase cases[] = {
        {parse_vtg, kVtg, {none, 5.5f, 54.7f}},
        {parse_vtg, "$GPVTG,9999999999T,034.4,M,005.5,N,010.2,K*48\r\n", {none, 5.5f, {}}},
        {parse_vtg, "$GPVTG,054.7,,034.4,M,005.5,,010.2,K*48\r\n", {none, {}, {}}},
        {parse_vtg, "$GPVTG,054.7,T\r\n", {none, {}, {}}},
        {parse_vtg, "$GPVTG,054.7,,034.4\r\n,005.5,N,T", {none, {}, {}}},
    };
    for (const ParserCase& c : cases) expect_parses(c);
}

// Values no receiver sends must not reach the integer conversions of the record writer,
// the heading read-out ("%03d") or the mark interval.
TEST(GpsNmeaBounds, CourseBeyondAFullCircleKeepsTheLastHeading) {
    auto app = make_app(kGpsPositionFromRmc);
    app->run.heading_degrees = 45.0f;
    dispatch(*app, "$GPRMC,1,A,4807.038,N,01131.000,E,1.0,999999999999,230394,,*6A\r\n");
    EXPECT_FLOAT_EQ(app->run.heading_degrees, 45.0f);
    dispatch(*app, "$GPRMC,1,A,4807.038,N,01131.000,E,1.0,360.1,230394,,*6A\r\n");
    EXPECT_FLOAT_EQ(app->run.heading_degrees, 45.0f);

    auto gll = make_app(kGpsPositionFromGll);
    gll->run.heading_degrees = 45.0f;
    dispatch(*gll, "$GPVTG,9999999999T,034.4,M,005.5,N,010.2,K*48\r\n");
    EXPECT_FLOAT_EQ(gll->run.heading_degrees, 45.0f);
    EXPECT_FLOAT_EQ(gll->run.speed_knots, 5.5f);
}

TEST(GpsNmeaBounds, SpeedAndCourseLimits) {
    EXPECT_FLOAT_EQ(bound_gps_speed_knots(1e30), 10.0f);
    EXPECT_FLOAT_EQ(bound_gps_speed_knots(0.00001), kGpsMinSpeedKnots);
    EXPECT_FLOAT_EQ(bound_gps_speed_knots(0.0), 0.0f);
    EXPECT_FLOAT_EQ(bound_gps_speed_knots(-1.0), 0.0f);
    EXPECT_FLOAT_EQ(bound_gps_speed_knots(std::numeric_limits<double>::quiet_NaN()), 0.0f);
    EXPECT_FLOAT_EQ(bound_gps_speed_knots(7.25), 7.25f);

    EXPECT_EQ(bound_gps_heading_degrees(1e30), std::nullopt);
    EXPECT_EQ(bound_gps_heading_degrees(-0.5), std::nullopt);
    EXPECT_EQ(bound_gps_heading_degrees(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(bound_gps_heading_degrees(359.9), std::optional<float>(359.9f));
    EXPECT_EQ(bound_gps_heading_degrees(360.0), std::optional<float>(360.0f));
}

TEST(GpsNmeaBounds, TinySpeedKeepsTheMarkIntervalInRange) {
    auto app = make_app(kGpsPositionFromRmc);
    dispatch(*app, "$GPRMC,1,A,4807.038,N,01131.000,E,0.00001,1,230394,,*6A\r\n");
    const float v = app->run.speed_knots * 1852.0f / 3600.0f;
    ASSERT_GT(v, 0.0f);
    const double interval = 240.0 / v * 1000.0 * 0.2 + 0.5;  // longest range
    EXPECT_LT(interval, static_cast<double>(std::numeric_limits<int32_t>::max()));
}

TEST(GpsNmeaBounds, OverlongFieldsStayInsideTheirBuffers) {
    // Eleven fraction digits for a seven-character buffer, twelve speed digits for the
    // number buffer, and fields run together without separators.
    const char* sentences[] = {
        "$GPGLL,3752.30412345678,S,14458.61712345678,E,1,A\r\n",
        "$GPRMC,123519123519123519,A,4807.038,N,01131.000,E,123456789012,123456789012,1\r\n",
        "$GPRMC,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n",
        "$GPGGA...............................................................\r\n",
        "$GPRMC\r\n",
        "$GPGGA",
        "$GPVTG,TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTNN\r\n",
    };
    for (int type = 0; type <= 2; ++type) {
        for (const char* sentence : sentences) {
            SCOPED_TRACE(sentence);
            auto app = make_app(type);
            dispatch(*app, sentence);
            EXPECT_LE(app->run.speed_knots, kGpsMaxSpeedKnots);
            EXPECT_GE(app->run.heading_degrees, 0.0f);
            EXPECT_LE(app->run.heading_degrees, 360.0f);
        }
    }
}

TEST(GpsNmeaBounds, ScanAtTheVeryEndOfTheLineStaysInside) {
    // A line that fills the whole buffer: every scan that runs off its end must read zeros.
    auto app = make_app(kGpsPositionFromRmc);
    std::string line = "$GPRMC,";
    line.resize(kGpsLineCapacity, '9');
    for (int type = 0; type <= 2; ++type) {
        app->settings.GPSHeadingType = type;
        for (const char* formatter : {"GLL", "GGA", "RMC", "VTG"}) {
            line.replace(3, 3, formatter);
            set_gps_line(app->gps.line, line);
            dispatch_sentence(gps_context(*app));
        }
    }
    EXPECT_LE(app->run.speed_knots, kGpsMaxSpeedKnots);
}

}  // namespace
}  // namespace kelvanor
