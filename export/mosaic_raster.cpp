#include "export/mosaic_raster.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "waterfall/palette.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

namespace {

constexpr size_t kTileCellCount = static_cast<size_t>(kMosaicTileCells) * kMosaicTileCells;

// Closes a dataset when it goes out of scope.
struct Dataset {
    GDALDatasetH handle = nullptr;
    Dataset() = default;
    explicit Dataset(GDALDatasetH h) : handle(h) {}
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;
    ~Dataset() { close(); }
    bool close() {
        if (handle == nullptr) return true;
        CPLErrorReset();
        GDALClose(handle);  // writes what is still cached: a failure shows as the last error
        const bool ok = CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal;
        handle = nullptr;
        return ok;
    }
};

// Frees a GDAL option list when it goes out of scope.
struct Options {
    char** list = nullptr;
    ~Options() { CSLDestroy(list); }
    void set(const char* name, const std::string& value) {
        list = CSLSetNameValue(list, name, value.c_str());
    }
};

std::string last_gdal_error() {
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr && *message != 0 ? message : "GDAL failed";
}

std::string wkt_of(const UtmZone& zone) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    std::string wkt;
    if (OSRImportFromEPSG(srs, zone.epsg()) == OGRERR_NONE) {
        char* text = nullptr;
        if (OSRExportToWkt(srs, &text) == OGRERR_NONE && text != nullptr) wkt = text;
        CPLFree(text);
    }
    OSRDestroySpatialReference(srs);
    return wkt;
}

}  // namespace

uint8_t mosaic_level(uint32_t sum, uint32_t count, double gain_factor) {
    if (count == 0) return 0;
    const double mean = static_cast<double>(sum) / count;
    return static_cast<uint8_t>(std::clamp(std::round(mean * gain_factor), 0.0, 255.0));
}

bool write_mosaic_cog(MosaicTiles& tiles, const MosaicLook& look, const std::string& path,
                      int threads, std::string& error) {
    const MosaicGrid& grid = tiles.grid();
    const bool rgb = look.colours.has_value();
    const int bands = rgb ? 4 : 2;
    const double gain = std::pow(10.0, look.gain_db / 20.0);
    std::array<Rgb, 256> colour_of{};
    if (rgb) {
        for (int v = 0; v < 256; ++v) {
            colour_of[v] = colour_table_entry(*look.colours, std::min<int>(v, kMaxEchoLevel));
        }
    }

    const std::string staging = path + ".staging.tif";
    {
        Options options;
        options.set("TILED", "YES");
        options.set("BLOCKXSIZE", "256");
        options.set("BLOCKYSIZE", "256");
        options.set("SPARSE_OK", "TRUE");
        options.set("BIGTIFF", "IF_NEEDED");  // uncompressed: read once, then removed
        Dataset out(GDALCreate(GDALGetDriverByName("GTiff"), staging.c_str(),
                               static_cast<int>(grid.columns), static_cast<int>(grid.rows), bands,
                               GDT_Byte, options.list));
        if (out.handle == nullptr) {
            error = "cannot create " + staging + ": " + last_gdal_error();
            return false;
        }
        double transform[6] = {grid.west, grid.cell_metres, 0.0, grid.north,
                               0.0,       -grid.cell_metres};
        GDALSetGeoTransform(out.handle, transform);
        GDALSetProjection(out.handle, wkt_of(grid.zone).c_str());
        static constexpr GDALColorInterp kRgb[] = {GCI_RedBand, GCI_GreenBand, GCI_BlueBand,
                                                   GCI_AlphaBand};
        static constexpr GDALColorInterp kGrey[] = {GCI_GrayIndex, GCI_AlphaBand};
        for (int b = 0; b < bands; ++b) {
            GDALSetRasterColorInterpretation(GDALGetRasterBand(out.handle, b + 1),
                                             rgb ? kRgb[b] : kGrey[b]);
        }

        std::vector<uint8_t> pixels(kTileCellCount * bands);
        std::optional<MosaicTile> tile;
        for (int64_t ty = 0; ty < tiles.tiles_down(); ++ty) {
            for (int64_t tx = 0; tx < tiles.tiles_across(); ++tx) {
                if (!tiles.read_tile(tx, ty, tile)) {
                    error = "cannot read back the temporary tiles: " + last_gdal_error();
                    return false;
                }
                if (!tile) continue;  // nothing fell here: the sparse file leaves it empty
                const int x0 = static_cast<int>(tx * kMosaicTileCells);
                const int y0 = static_cast<int>(ty * kMosaicTileCells);
                const int w =
                    static_cast<int>(std::min<int64_t>(kMosaicTileCells, grid.columns - x0));
                const int h = static_cast<int>(std::min<int64_t>(kMosaicTileCells, grid.rows - y0));
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        const size_t cell = static_cast<size_t>(y) * kMosaicTileCells + x;
                        const size_t at = static_cast<size_t>(y) * w + x;
                        const uint32_t count = tile->count[cell];
                        const uint8_t level = mosaic_level(tile->sum[cell], count, gain);
                        const size_t plane = static_cast<size_t>(w) * h;
                        if (rgb) {
                            pixels[at] = colour_of[level].red;
                            pixels[plane + at] = colour_of[level].green;
                            pixels[2 * plane + at] = colour_of[level].blue;
                        } else {
                            pixels[at] = level;
                        }
                        pixels[(bands - 1) * plane + at] = count != 0 ? 255 : 0;
                    }
                }
                if (GDALDatasetRasterIO(out.handle, GF_Write, x0, y0, w, h, pixels.data(), w, h,
                                        GDT_Byte, bands, nullptr, 0, 0, 0) != CE_None) {
                    error = "cannot write " + staging + ": " + last_gdal_error();
                    return false;
                }
            }
        }
        if (!out.close()) {
            error = "cannot write " + staging + ": " + last_gdal_error();
            std::remove(staging.c_str());
            return false;
        }
    }

    Dataset source(GDALOpen(staging.c_str(), GA_ReadOnly));
    Options options;
    options.set("COMPRESS", "DEFLATE");
    options.set("PREDICTOR", "YES");
    options.set("LEVEL", "1");  // fast: the picture is written once per survey, read often
    options.set("BLOCKSIZE", "256");
    options.set("OVERVIEWS", "AUTO");
    options.set("OVERVIEW_RESAMPLING", "AVERAGE");
    options.set("SPARSE_OK", "TRUE");
    options.set("BIGTIFF", "IF_SAFER");
    options.set("NUM_THREADS", std::to_string(std::max(threads, 1)));
    bool ok = source.handle != nullptr;
    if (ok) {
        Dataset cog(GDALCreateCopy(GDALGetDriverByName("COG"), path.c_str(), source.handle, FALSE,
                                   options.list, nullptr, nullptr));
        ok = cog.handle != nullptr && cog.close();
    }
    if (!ok) error = "cannot write " + path + ": " + last_gdal_error();
    source.close();
    std::remove(staging.c_str());
    if (!ok) std::remove(path.c_str());
    return ok;
}

bool write_mosaic_kmz(const std::string& mosaic_path, const std::string& kmz_path,
                      std::string& error) {
    Dataset source(GDALOpen(mosaic_path.c_str(), GA_ReadOnly));
    if (source.handle == nullptr) {
        error = "cannot open " + mosaic_path + ": " + last_gdal_error();
        return false;
    }
    // The overlay takes RGB with alpha: grey levels are spread over the three colours
    // through a virtual dataset.
    Dataset rgba;
    if (GDALGetRasterCount(source.handle) == 2) {
        const char* args[] = {"-of",  "VRT", "-b", "1", "-b",           "1",
                              "-b",   "1",   "-b", "2", "-colorinterp", "red,green,blue,alpha",
                              nullptr};
        GDALTranslateOptions* translate =
            GDALTranslateOptionsNew(const_cast<char**>(args), nullptr);
        rgba.handle = GDALTranslate("", source.handle, translate, nullptr);
        GDALTranslateOptionsFree(translate);
        if (rgba.handle == nullptr) {
            error = "cannot make the overlay's colours: " + last_gdal_error();
            return false;
        }
    }
    Options options;
    options.set("FORMAT", "PNG");
    Dataset kmz(GDALCreateCopy(GDALGetDriverByName("KMLSUPEROVERLAY"), kmz_path.c_str(),
                               rgba.handle != nullptr ? rgba.handle : source.handle, FALSE,
                               options.list, nullptr, nullptr));
    if (kmz.handle == nullptr || !kmz.close()) {
        error = "cannot write " + kmz_path + ": " + last_gdal_error();
        std::remove(kmz_path.c_str());
        return false;
    }
    return true;
}

}  // namespace kelvanor
