#include "export/track_writer.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace kelvanor {

namespace {

const char* driver_name(TrackFormat f) {
    switch (f) {
        case TrackFormat::Gpx:
            return "GPX";
        case TrackFormat::Kml:
            return "KML";
        case TrackFormat::GeoJson:
            return "GeoJSON";
        case TrackFormat::GeoPackage:
            return "GPKG";
        case TrackFormat::Csv:
            return "CSV";
    }
    return "";
}

std::string gdal_error(const char* what) {
    const char* message = CPLGetLastErrorMsg();
    return std::string(what) + (message && *message ? std::string(": ") + message : "");
}

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

}  // namespace

std::optional<TrackFormat> track_format_for_path(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "gpx") return TrackFormat::Gpx;
    if (ext == "kml") return TrackFormat::Kml;
    if (ext == "geojson" || ext == "json") return TrackFormat::GeoJson;
    if (ext == "gpkg") return TrackFormat::GeoPackage;
    if (ext == "csv") return TrackFormat::Csv;
    return std::nullopt;
}

const char* track_format_extension(TrackFormat f) {
    switch (f) {
        case TrackFormat::Gpx:
            return "gpx";
        case TrackFormat::Kml:
            return "kml";
        case TrackFormat::GeoJson:
            return "geojson";
        case TrackFormat::GeoPackage:
            return "gpkg";
        case TrackFormat::Csv:
            return "csv";
    }
    return "";
}

std::string iso_utc_text(int64_t utc_second, double fraction) {
    const CivilTime t = civil_from_seconds(utc_second);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, hundredths_of(fraction));
    return text;
}

struct TrackWriter::Handles {
    GDALDatasetH dataset = nullptr;
    OGRSpatialReferenceH wgs84 = nullptr;
    OGRLayerH layer = nullptr;
    std::optional<int64_t> last_change;
    ~Handles() {
        if (dataset) GDALClose(dataset);
        if (wgs84) OSRDestroySpatialReference(wgs84);
    }
};

std::unique_ptr<TrackWriter> TrackWriter::create(const std::string& path, TrackFormat format,
                                                 std::string& error) {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    GDALDriverH driver = GDALGetDriverByName(driver_name(format));
    if (!driver) {
        error = std::string("GDAL has no ") + driver_name(format) + " driver";
        return nullptr;
    }
    std::remove(path.c_str());
    // GeoPackage stamps its contents with a change time: the data's own, never the clock's
    // (set again when the file is closed).
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", "1970-01-01T00:00:00.000Z");
    auto h = std::make_unique<Handles>();
    h->wgs84 = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(h->wgs84, 4326);
    OSRSetAxisMappingStrategy(h->wgs84, OAMS_TRADITIONAL_GIS_ORDER);
    CPLErrorReset();
    h->dataset = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!h->dataset) {
        error = gdal_error("cannot be created");
        return nullptr;
    }
    char** options = nullptr;
    OGRwkbGeometryType type = wkbLineString;
    const char* layer_name = "tracks";
    if (format == TrackFormat::Gpx) type = wkbMultiLineString;  // GPX: trk with trkseg
    if (format == TrackFormat::Csv) {
        type = wkbNone;
        layer_name = "pings";
        options = CSLSetNameValue(options, "LINEFORMAT", "LF");
    }
    if (format == TrackFormat::GeoJson) options = CSLSetNameValue(options, "RFC7946", "NO");
    h->layer = GDALDatasetCreateLayer(h->dataset, layer_name, type == wkbNone ? nullptr : h->wgs84,
                                      type, options);
    CSLDestroy(options);
    if (!h->layer) {
        error = gdal_error("cannot hold a track layer");
        return nullptr;
    }
    auto field = [&](const char* name, OGRFieldType t) {
        OGRFieldDefnH d = OGR_Fld_Create(name, t);
        const bool ok = OGR_L_CreateField(h->layer, d, TRUE) == OGRERR_NONE;
        OGR_Fld_Destroy(d);
        return ok;
    };
    bool ok = true;
    if (format == TrackFormat::Csv) {
        // Numbers as text with fixed decimals: the same characters on every machine.
        ok = field("file", OFTString) && field("ping", OFTInteger64) && field("time", OFTString) &&
             field("latitude", OFTString) && field("longitude", OFTString) &&
             field("speed_knots", OFTString) && field("heading_degrees", OFTString) &&
             field("altitude_port_metres", OFTString) && field("altitude_stbd_metres", OFTString);
    } else if (format == TrackFormat::Gpx) {
        ok = field("name", OFTString);
    } else {
        ok = field("name", OFTString) && field("pings", OFTInteger64);
    }
    if (!ok) {
        error = gdal_error("cannot hold the track fields");
        return nullptr;
    }
    return std::unique_ptr<TrackWriter>(new TrackWriter(format, std::move(h)));
}

TrackWriter::TrackWriter(TrackFormat format, std::unique_ptr<Handles> handles)
    : format_(format), handles_(std::move(handles)) {}

TrackWriter::~TrackWriter() = default;

bool TrackWriter::add(const std::string& name, const FileTrack& track, std::string& error) {
    OGRLayerH layer = handles_->layer;
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    if (track.last_utc_second) {
        handles_->last_change = std::max(handles_->last_change.value_or(*track.last_utc_second),
                                         *track.last_utc_second);
    }
    auto write = [&](OGRFeatureH f) {
        const bool ok = OGR_L_CreateFeature(layer, f) == OGRERR_NONE;
        OGR_F_Destroy(f);
        if (!ok) error = gdal_error("a feature cannot be written");
        return ok;
    };
    if (format_ == TrackFormat::Csv) {
        for (const TrackRow& r : track.rows) {
            OGRFeatureH f = OGR_F_Create(defn);
            OGR_F_SetFieldString(f, 0, name.c_str());
            OGR_F_SetFieldInteger64(f, 1, r.ping);
            if (r.has_time) {
                OGR_F_SetFieldString(f, 2, iso_utc_text(r.utc_second, r.fraction).c_str());
            }
            auto number = [&](int i, std::optional<double> v, int decimals) {
                if (v) OGR_F_SetFieldString(f, i, fixed(*v, decimals).c_str());
            };
            if (r.has_position) {
                number(3, r.position.latitude_degrees, 9);
                number(4, r.position.longitude_degrees, 9);
            }
            number(5, r.speed_knots, 2);
            number(6, r.heading_degrees, 2);
            for (int side = 0; side < 2; ++side) {
                const auto& a = r.altitude_metres[static_cast<size_t>(side)];
                number(7 + side, a ? std::optional<double>(*a) : std::nullopt, 2);
            }
            if (!write(f)) return false;
        }
        return true;
    }
    size_t vertices = 0;
    for (const auto& s : track.segments) vertices += s.size();
    if (vertices == 0) return true;  // nothing to draw

    OGRGeometryH geometry = nullptr;
    if (format_ == TrackFormat::Gpx) {
        geometry = OGR_G_CreateGeometry(wkbMultiLineString);
        for (const auto& s : track.segments) {
            OGRGeometryH line = OGR_G_CreateGeometry(wkbLineString);
            for (const GeoPoint& p : s)
                OGR_G_AddPoint_2D(line, p.longitude_degrees, p.latitude_degrees);
            if (s.size() == 1)
                OGR_G_AddPoint_2D(line, s[0].longitude_degrees, s[0].latitude_degrees);
            OGR_G_AddGeometryDirectly(geometry, line);
        }
    } else {
        geometry = OGR_G_CreateGeometry(wkbLineString);
        for (const auto& s : track.segments) {
            for (const GeoPoint& p : s) {
                OGR_G_AddPoint_2D(geometry, p.longitude_degrees, p.latitude_degrees);
            }
        }
        if (vertices == 1) {
            const GeoPoint& p = track.segments.front().front();
            OGR_G_AddPoint_2D(geometry, p.longitude_degrees, p.latitude_degrees);
        }
    }
    OGR_G_AssignSpatialReference(geometry, handles_->wgs84);
    OGRFeatureH f = OGR_F_Create(defn);
    OGR_F_SetFieldString(f, 0, name.c_str());
    if (format_ != TrackFormat::Gpx) {
        OGR_F_SetFieldInteger64(f, 1, track.pings);
    }
    OGR_F_SetGeometryDirectly(f, geometry);
    return write(f);
}

bool TrackWriter::close(std::string& error) {
    if (!handles_->dataset) return true;
    const std::string stamp =
        iso_utc_text(handles_->last_change.value_or(0), 0.0).substr(0, 19) + ".000Z";
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", stamp.c_str());
    CPLErrorReset();
    GDALClose(handles_->dataset);
    handles_->dataset = nullptr;
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", nullptr);
    if (CPLGetLastErrorType() >= CE_Failure) {
        error = gdal_error("cannot be finished");
        return false;
    }
    return true;
}

}  // namespace kelvanor
