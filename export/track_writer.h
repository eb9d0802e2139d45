#pragma once
// Navigation tracks of recordings through GDAL's vector drivers: GPX (a track per
// recording, a segment per stretch with positions), KML, GeoJSON and GeoPackage (a line per
// recording), CSV (a row per ping). Output is the same bytes for the same input.

#include <memory>
#include <optional>
#include <string>

#include "export/recording_export.h"

namespace kelvanor {

enum class TrackFormat { Gpx, Kml, GeoJson, GeoPackage, Csv };

// The format a file name asks for by its extension (.gpx, .kml, .geojson or .json, .gpkg,
// .csv; any case); nothing for any other.
std::optional<TrackFormat> track_format_for_path(const std::string& path);
const char* track_format_extension(TrackFormat format);

class TrackWriter {
  public:
    // Creates the file, replacing one that exists. Nothing, with the reason in `error`, when
    // it cannot be created.
    static std::unique_ptr<TrackWriter> create(const std::string& path, TrackFormat format,
                                               std::string& error);
    ~TrackWriter();
    TrackWriter(const TrackWriter&) = delete;
    TrackWriter& operator=(const TrackWriter&) = delete;

    // The track of one recording, named after it.
    bool add(const std::string& name, const FileTrack& track, std::string& error);
    // Writes everything out; false with the reason when that failed.
    bool close(std::string& error);

  private:
    struct Handles;
    TrackWriter(TrackFormat format, std::unique_ptr<Handles> handles);
    TrackFormat format_;
    std::unique_ptr<Handles> handles_;
};

// "2024-05-14T09:30:00.40Z": UTC with hundredths.
std::string iso_utc_text(int64_t utc_second, double fraction);

}  // namespace kelvanor
