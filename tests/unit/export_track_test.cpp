#include <gtest/gtest.h>

#include "export/track_writer.h"

namespace kelvanor {
namespace {

TEST(ExportTrack, FormatFromTheFileName) {
    struct Case {
        const char* path;
        std::optional<TrackFormat> format;
    } cases[] = {
        {"line.gpx", TrackFormat::Gpx},
        {"survey/LINE1.KML", TrackFormat::Kml},
        {"t.geojson", TrackFormat::GeoJson},
        {"t.json", TrackFormat::GeoJson},
        {"a.b/t.GpKg", TrackFormat::GeoPackage},
        {"pings.csv", TrackFormat::Csv},
        {"t.shp", std::nullopt},
        {"gpx", std::nullopt},
        {"folder.gpx/track", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(track_format_for_path(c.path), c.format) << c.path;
}

TEST(ExportTrack, UtcTextWithHundredths) {
    struct Case {
        int64_t second;
        double fraction;
        const char* text;
    } cases[] = {
        {1715679007, 0.0, "2024-05-14T09:30:07.00Z"},
        {1715679007, 0.6, "2024-05-14T09:30:07.60Z"},  // not 59: 0.6 * 100 is 59.99...
        {1715679007, 0.999, "2024-05-14T09:30:07.99Z"},
        {951868799, 0.25, "2000-02-29T23:59:59.25Z"},
        {0, 0.0, "1970-01-01T00:00:00.00Z"},
    };
    for (const Case& c : cases) EXPECT_EQ(iso_utc_text(c.second, c.fraction), c.text);
}

}  // namespace
}  // namespace kelvanor
