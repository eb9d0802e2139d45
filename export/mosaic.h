#pragma once
// A mosaic of survey lines: every ping's samples laid on the seabed at their ground
// positions, on a UTM grid of the data's zone, averaged per cell, written as a
// Cloud-Optimized GeoTIFF.
//
// Two passes over the files. The first builds each file's track for the extent, the zone and
// the default cell. The second streams the pings again: producer threads (one file each at a
// time) turn pings into cell values, one thread adds them into tiles of bounded number, and
// the tiles become the picture. Memory does not grow with the survey's length, and the sums
// are whole numbers, so the output is the same whatever the number of threads.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/mosaic_grid.h"
#include "export/mosaic_raster.h"
#include "geo/sample_range.h"

namespace kelvanor {

struct MosaicOptions {
    double cell_metres = 0.0;  // 0: from the recordings' range and sample count
    MosaicLook look;
    // Pings while the heading turns faster than this (degrees per second) are left out.
    std::optional<double> skip_turns_degrees_per_second;
    SensorOffsets offsets;
    int threads = 1;
    size_t max_tiles = 128;  // tiles of 256 x 256 cells held in memory (512 KB each)
    std::string kmz_path;    // also a KMZ ground overlay when set
    // Called with the share done (0..100) whenever it changes.
    std::function<void(int percent)> progress;
};

struct MosaicFileReport {
    std::string path;
    int64_t pings = 0;
    int64_t placed = 0;            // pings laid on the mosaic
    int64_t without_position = 0;  // no position, heading or echoes
    int64_t turning = 0;           // left out by skip-turns
    int64_t damaged = 0;           // records that could not be read
    std::string error;             // why the file is bad; empty when it is good
};

struct MosaicReport {
    bool written = false;
    std::string error;  // why nothing was written
    std::vector<MosaicFileReport> files;
    MosaicGrid grid;
    int64_t placed = 0;
    size_t most_tiles_held = 0;
    int64_t tiles_spilled = 0;
    // True when every file was read whole.
    bool all_files_good() const;
};

// Mosaics `inputs` in order into `output`. A file that cannot be read is reported and left
// out; the others go on.
MosaicReport make_mosaic(const std::vector<std::string>& inputs, const std::string& output,
                         const MosaicOptions& options);

}  // namespace kelvanor
