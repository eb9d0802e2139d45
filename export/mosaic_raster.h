#pragma once
// The picture of a mosaic: each covered cell's mean echo value with the gain applied, as one
// 8-bit grey band or as RGB through one of the colour tables, with an alpha band that hides
// the cells nothing covered. Written as a Cloud-Optimized GeoTIFF (tiled, DEFLATE, internal
// overviews) through GDAL's COG driver, and optionally as a KMZ ground overlay.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "export/mosaic_tiles.h"
#include "settings/settings.h"

namespace kelvanor {

struct MosaicLook {
    std::optional<ColourTable> colours;  // none: the grey levels of the echoes themselves
    double gain_db = 0.0;
};

// The 8-bit level of a cell: the mean of its samples (rounded) times the gain, at most 255.
uint8_t mosaic_level(uint32_t sum, uint32_t count, double gain_factor);

// Writes the mosaic to `path` through a temporary GeoTIFF beside it; `threads` compress in
// parallel. False with the reason in `error`. Nothing is left at `path` on failure.
bool write_mosaic_cog(MosaicTiles& tiles, const MosaicLook& look, const std::string& path,
                      int threads, std::string& error);

// A KMZ ground overlay (regionated PNG tiles in WGS84) of a written mosaic.
bool write_mosaic_kmz(const std::string& mosaic_path, const std::string& kmz_path,
                      std::string& error);

}  // namespace kelvanor
