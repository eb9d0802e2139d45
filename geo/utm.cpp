#include "geo/utm.h"

#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kelvanor {

UtmZone utm_zone_for(const GeoPoint& point) {
    const double lat = point.latitude_degrees;
    double lon = point.longitude_degrees;
    if (lon >= 180.0) lon -= 360.0;
    int zone = static_cast<int>(std::floor((lon + 180.0) / 6.0)) + 1;
    zone = std::clamp(zone, 1, 60);
    if (lat >= 56.0 && lat < 64.0 && lon >= 3.0 && lon < 12.0) zone = 32;  // south-west Norway
    if (lat >= 72.0 && lat < 84.0 && lon >= 0.0 && lon < 42.0) {           // Svalbard
        zone = lon < 9.0 ? 31 : lon < 21.0 ? 33 : lon < 33.0 ? 35 : 37;
    }
    return {zone, lat >= 0.0};
}

void GeoBounds::add(const GeoPoint& p) {
    if (count_++ == 0) {
        min_lat_ = max_lat_ = p.latitude_degrees;
        min_lon_ = max_lon_ = p.longitude_degrees;
        return;
    }
    min_lat_ = std::min(min_lat_, p.latitude_degrees);
    max_lat_ = std::max(max_lat_, p.latitude_degrees);
    min_lon_ = std::min(min_lon_, p.longitude_degrees);
    max_lon_ = std::max(max_lon_, p.longitude_degrees);
}

GeoPoint GeoBounds::centre() const {
    return {(min_lat_ + max_lat_) / 2.0, (min_lon_ + max_lon_) / 2.0};
}

std::optional<UtmZone> utm_zone_for_track(const GeoBounds& bounds) {
    if (bounds.empty()) return std::nullopt;
    return utm_zone_for(bounds.centre());
}

struct UtmTransformer::Handles {
    OGRSpatialReferenceH geographic = nullptr;
    OGRSpatialReferenceH utm = nullptr;
    OGRCoordinateTransformationH forward = nullptr;
    OGRCoordinateTransformationH inverse = nullptr;
    ~Handles() {
        if (forward) OCTDestroyCoordinateTransformation(forward);
        if (inverse) OCTDestroyCoordinateTransformation(inverse);
        if (geographic) OSRDestroySpatialReference(geographic);
        if (utm) OSRDestroySpatialReference(utm);
    }
};

std::optional<UtmTransformer> UtmTransformer::create(const UtmZone& zone, std::string& error) {
    if (zone.zone < 1 || zone.zone > 60) {
        error = "no such UTM zone";
        return std::nullopt;
    }
    auto h = std::make_unique<Handles>();
    h->geographic = OSRNewSpatialReference(nullptr);
    h->utm = OSRNewSpatialReference(nullptr);
    if (!h->geographic || !h->utm || OSRImportFromEPSG(h->geographic, 4326) != OGRERR_NONE ||
        OSRImportFromEPSG(h->utm, zone.epsg()) != OGRERR_NONE) {
        error = "the coordinate systems EPSG:4326 and EPSG:" + std::to_string(zone.epsg()) +
                " are not known to GDAL";
        return std::nullopt;
    }
    // x is longitude or easting, y latitude or northing, whatever the authority's axis order.
    OSRSetAxisMappingStrategy(h->geographic, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(h->utm, OAMS_TRADITIONAL_GIS_ORDER);
    h->forward = OCTNewCoordinateTransformation(h->geographic, h->utm);
    h->inverse = OCTNewCoordinateTransformation(h->utm, h->geographic);
    if (!h->forward || !h->inverse) {
        error = "GDAL cannot transform to EPSG:" + std::to_string(zone.epsg());
        return std::nullopt;
    }
    return UtmTransformer(zone, std::move(h));
}

UtmTransformer::UtmTransformer(UtmZone zone, std::unique_ptr<Handles> handles)
    : zone_(zone), handles_(std::move(handles)) {}
UtmTransformer::UtmTransformer(UtmTransformer&&) noexcept = default;
UtmTransformer& UtmTransformer::operator=(UtmTransformer&&) noexcept = default;
UtmTransformer::~UtmTransformer() = default;

namespace {

bool transform(OGRCoordinateTransformationH t, std::span<double> x, std::span<double> y) {
    if (x.size() != y.size()) return false;
    if (x.empty()) return true;
    const int n = static_cast<int>(x.size());
    std::vector<int> ok(x.size(), 0);
    if (!OCTTransformEx(t, n, x.data(), y.data(), nullptr, ok.data())) return false;
    return std::all_of(ok.begin(), ok.end(), [](int v) { return v != 0; });
}

}  // namespace

std::optional<UtmPoint> UtmTransformer::to_utm(const GeoPoint& p) const {
    double x = p.longitude_degrees, y = p.latitude_degrees;
    if (!transform(handles_->forward, {&x, 1}, {&y, 1})) return std::nullopt;
    return UtmPoint{x, y};
}

std::optional<GeoPoint> UtmTransformer::to_geographic(const UtmPoint& p) const {
    double x = p.easting_metres, y = p.northing_metres;
    if (!transform(handles_->inverse, {&x, 1}, {&y, 1})) return std::nullopt;
    return GeoPoint{y, x};
}

bool UtmTransformer::to_utm(std::span<double> x, std::span<double> y) const {
    return transform(handles_->forward, x, y);
}

bool UtmTransformer::to_geographic(std::span<double> x, std::span<double> y) const {
    return transform(handles_->inverse, x, y);
}

}  // namespace kelvanor
