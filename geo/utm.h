#pragma once
// UTM for metric work on a survey: the zone and hemisphere taken from the data, and a
// transformer between WGS84 latitude/longitude and that zone's easting/northing (GDAL's OSR).

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "geo/position.h"

namespace kelvanor {

struct UtmZone {
    int zone = 31;  // 1..60
    bool north = true;
    // EPSG code of WGS 84 / UTM: 326zz in the north, 327zz in the south.
    int epsg() const { return (north ? 32600 : 32700) + zone; }
    friend bool operator==(const UtmZone&, const UtmZone&) = default;
};

// The zone of a point, with the exceptions for south-west Norway and Svalbard.
UtmZone utm_zone_for(const GeoPoint& point);

// The extent of a set of positions, gathered one at a time.
class GeoBounds {
  public:
    void add(const GeoPoint& p);
    bool empty() const { return count_ == 0; }
    GeoPoint south_west() const { return {min_lat_, min_lon_}; }
    GeoPoint north_east() const { return {max_lat_, max_lon_}; }
    GeoPoint centre() const;

  private:
    long count_ = 0;
    double min_lat_ = 0, max_lat_ = 0, min_lon_ = 0, max_lon_ = 0;
};

// The zone of a track: that of the centre of its extent; nothing for a track without any
// position.
std::optional<UtmZone> utm_zone_for_track(const GeoBounds& bounds);

struct UtmPoint {
    double easting_metres = 0.0;
    double northing_metres = 0.0;
};

// Transforms between WGS84 and one UTM zone. One object per thread: a transformer is not
// to be shared between threads.
class UtmTransformer {
  public:
    // Nothing, with the reason in `error`, when GDAL cannot set the transform up.
    static std::optional<UtmTransformer> create(const UtmZone& zone, std::string& error);

    UtmTransformer(UtmTransformer&&) noexcept;
    UtmTransformer& operator=(UtmTransformer&&) noexcept;
    ~UtmTransformer();

    const UtmZone& zone() const { return zone_; }
    std::optional<UtmPoint> to_utm(const GeoPoint& p) const;
    std::optional<GeoPoint> to_geographic(const UtmPoint& p) const;
    // In place, many at a time: longitudes/eastings in `x`, latitudes/northings in `y`.
    // False when any point failed.
    bool to_utm(std::span<double> x, std::span<double> y) const;
    bool to_geographic(std::span<double> x, std::span<double> y) const;

  private:
    struct Handles;
    UtmTransformer(UtmZone zone, std::unique_ptr<Handles> handles);
    UtmZone zone_;
    std::unique_ptr<Handles> handles_;
};

}  // namespace kelvanor
