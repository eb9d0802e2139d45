#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geo/position.h"
#include "geo/sample_range.h"
#include "geo/utm.h"

namespace kelvanor {
namespace {

TEST(GeoPosition, TextsGiveDecimalDegrees) {
    struct Case {
        const char* text;
        double latitude;
        double longitude;
    } cases[] = {
        {" 37.52.304 S144.58.617 E", -37.871733333, 144.976950000},
        {" 54.21.000 N010.07.000 E", 54.35, 10.116666667},
        {" 00.00.000 N000.00.000 E", 0.0, 0.0},
        {" 90.00.000 N180.00.000 W", 90.0, -180.0},
        {" 33.51.540 S151.12.660 E", -33.859, 151.211},
        {" 40.42.768 N074.00.360 W", 40.7128, -74.006},
        {" 00.00.001 S000.00.001 W", -1.0 / 60000, -1.0 / 60000},
    };
    for (const Case& c : cases) {
        const auto p = position_from_text(std::string(c.text));
        ASSERT_TRUE(p) << c.text;
        EXPECT_NEAR(p->latitude_degrees, c.latitude, 5e-10) << c.text;
        EXPECT_NEAR(p->longitude_degrees, c.longitude, 5e-10) << c.text;
    }
    // Six decimals, as a person reads them.
    const auto melbourne = position_from_text(std::string(" 37.52.304 S144.58.617 E"));
    EXPECT_EQ(std::round(melbourne->latitude_degrees * 1e6), -37871733.0);
    EXPECT_EQ(std::round(melbourne->longitude_degrees * 1e6), 144976950.0);
}

TEST(GeoPosition, InvalidTextsAreRefused) {
    const char* cases[] = {
        "",                           // empty
        "37.52.304 S 144.58.617 E",   // a person's spelling, not the recorded one
        " 37.52.304 S144.58.617 E ",  // 25 characters
        " 37.52.304 X144.58.617 E",   // hemisphere
        " 37.52.304 S144.58.617 N",   // longitude hemisphere
        " 37.60.000 S144.58.617 E",   // 60 minutes
        " 37.52.304 S144.61.000 E",   // 61 minutes
        " 91.00.000 N010.00.000 E",   // beyond the pole
        " 90.00.001 N010.00.000 E",   // just beyond the pole
        " 10.00.000 N180.00.001 E",   // beyond the antimeridian
        " 3a.52.304 S144.58.617 E",   // not a digit
        " 37,52.304 S144.58.617 E",   // separator
    };
    for (const char* text : cases) {
        EXPECT_FALSE(position_from_text(std::string(text))) << "\"" << text << "\"";
    }
    // No position received: 24 zero bytes.
    EXPECT_FALSE(position_from_text(std::string(24, '\0')));
}

TEST(GeoPosition, OffsetsDistancesAndBearings) {
    const GeoPoint origin{-37.8, 145.0};
    struct Case {
        double north, east, bearing;
    } cases[] = {{100, 0, 0}, {0, 100, 90}, {-100, 0, 180}, {0, -100, 270}, {70.7, 70.7, 45}};
    for (const Case& c : cases) {
        const GeoPoint p = offset_point(origin, c.north, c.east);
        EXPECT_NEAR(distance_metres(origin, p), std::hypot(c.north, c.east), 1e-3);
        EXPECT_NEAR(bearing_degrees(origin, p), c.bearing, 1e-3);
    }
    // One minute of latitude is about a nautical mile.
    EXPECT_NEAR(distance_metres({0.0, 0.0}, {1.0 / 60, 0.0}), 1843.0, 2.0);
    EXPECT_NEAR(distance_metres({60.0, 0.0}, {60.0 + 1.0 / 60, 0.0}), 1855.0, 2.0);
}

TEST(GeoRange, SlantAndGroundRange) {
    EXPECT_DOUBLE_EQ(slant_range_metres(0, 60, 200), 0.0);
    EXPECT_DOUBLE_EQ(slant_range_metres(100, 60, 200), 30.0);
    EXPECT_DOUBLE_EQ(slant_range_metres(199, 240, 500), 95.52);
    struct Case {
        double slant, altitude;
        std::optional<double> ground;
    } cases[] = {
        {10.0, 6.0, 8.0},            // 3-4-5
        {5.0, 5.0, 0.0},             // the first return: straight below
        {4.99, 5.0, std::nullopt},   // inside the water column
        {0.0, 8.0, std::nullopt},    // at the head
        {30.0, 0.0, 30.0},           // no height: slant is ground
        {10.0, -1.0, std::nullopt},  // nonsense altitude
    };
    for (const Case& c : cases) {
        const auto g = ground_range_metres(c.slant, c.altitude);
        ASSERT_EQ(g.has_value(), c.ground.has_value()) << c.slant << " over " << c.altitude;
        if (g) {
            EXPECT_NEAR(*g, *c.ground, 1e-9);
        }
    }
}

TEST(GeoRange, SensorOffsetsFollowTheHeading) {
    const GeoPoint antenna{54.0, 10.0};
    struct Case {
        double heading, forward, starboard, layback, north, east;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},   {0, 10, 0, 0, 10, 0},  {90, 10, 0, 0, 0, 10},  {0, 0, 5, 0, 0, 5},
        {90, 0, 5, 0, -5, 0}, {0, 0, 0, 30, -30, 0}, {180, 2, 0, 30, 28, 0}, {270, 0, 4, 10, 4, 10},
    };
    for (const Case& c : cases) {
        const GeoPoint s = sensor_position(antenna, c.heading, {c.forward, c.starboard, c.layback});
        const GeoPoint want = offset_point(antenna, c.north, c.east);
        EXPECT_NEAR(distance_metres(s, want), 0.0, 1e-6) << c.heading << " " << c.forward;
    }
    // Port lies left of the heading, starboard right.
    const GeoPoint port = across_track_point(antenna, 0.0, SonarSide::Port, 20.0);
    const GeoPoint stbd = across_track_point(antenna, 0.0, SonarSide::Starboard, 20.0);
    EXPECT_LT(port.longitude_degrees, antenna.longitude_degrees);
    EXPECT_GT(stbd.longitude_degrees, antenna.longitude_degrees);
    EXPECT_NEAR(distance_metres(port, antenna), 20.0, 1e-6);
    const GeoPoint east_port = across_track_point(antenna, 90.0, SonarSide::Port, 20.0);
    EXPECT_NEAR(bearing_degrees(antenna, east_port), 0.0, 1e-6);
}

TEST(GeoUtm, ZoneAndEpsgFromTheData) {
    struct Case {
        double latitude, longitude;
        int epsg;
    } cases[] = {
        {-37.0, 145.0, 32755}, {54.0, 10.0, 32632},   {0.0, 0.0, 32631},     {-0.1, -0.1, 32730},
        {60.0, 5.0, 32632},    {78.0, 15.0, 32633},   {-33.9, 151.2, 32756}, {40.7, -74.0, 32618},
        {10.0, 179.99, 32660}, {10.0, -180.0, 32601},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utm_zone_for({c.latitude, c.longitude}).epsg(), c.epsg)
            << c.latitude << " " << c.longitude;
    }
    GeoBounds bounds;
    EXPECT_FALSE(utm_zone_for_track(bounds));
    bounds.add({-37.1, 144.9});
    bounds.add({-36.9, 145.1});
    EXPECT_EQ(utm_zone_for_track(bounds)->epsg(), 32755);
}

TEST(GeoUtm, TransformsThereAndBack) {
    struct Case {
        double latitude, longitude, easting, northing;
    } cases[] = {
        // Zone 32 N: its central meridian 9 E, the false easting 500 km.
        {54.0, 9.0, 500000.0, 5983521.66},
        // Zone 55 S: false northing 10000 km.
        {-37.0, 147.0, 500000.0, 5905127.63},
    };
    for (const Case& c : cases) {
        const UtmZone zone = utm_zone_for({c.latitude, c.longitude});
        std::string error;
        auto t = UtmTransformer::create(zone, error);
        ASSERT_TRUE(t) << error;
        const auto utm = t->to_utm({c.latitude, c.longitude});
        ASSERT_TRUE(utm);
        EXPECT_NEAR(utm->easting_metres, c.easting, 1.0);
        EXPECT_NEAR(utm->northing_metres, c.northing, 1.0);
        const auto back = t->to_geographic(*utm);
        ASSERT_TRUE(back);
        EXPECT_NEAR(back->latitude_degrees, c.latitude, 1e-9);
        EXPECT_NEAR(back->longitude_degrees, c.longitude, 1e-9);
        // 100 m east on the ground is about 100 m of easting (scale factor near 0.9996).
        const auto moved = t->to_utm(offset_point({c.latitude, c.longitude}, 0.0, 100.0));
        EXPECT_NEAR(moved->easting_metres - utm->easting_metres, 99.96, 0.05);
    }
    std::string error;
    EXPECT_FALSE(UtmTransformer::create({61, true}, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace kelvanor
