#pragma once
// The cell grid of a mosaic: square cells on a UTM zone's easting and northing, rows from
// north to south, columns from west to east, the corners on whole multiples of the cell size.

#include <cstdint>
#include <optional>

#include "geo/utm.h"

namespace kelvanor {

struct MosaicGrid {
    UtmZone zone;
    double cell_metres = 1.0;
    double west = 0.0;   // easting of the left edge of column 0
    double north = 0.0;  // northing of the top edge of row 0
    int64_t columns = 0;
    int64_t rows = 0;

    // The cell a point falls in; nothing outside the grid.
    std::optional<int64_t> column_of(double easting) const;
    std::optional<int64_t> row_of(double northing) const;
};

// The default cell: the ground length of one sample (range / samples per side) rounded up to
// the next of 0.05, 0.1, 0.2, 0.25, 0.5, 1, 2, 2.5, 5, 10, 20, 25, 50 m.
double default_cell_metres(double range_metres, int32_t samples_per_side);

// The grid covering an easting/northing box, its edges moved out to whole cells. Nothing when
// the box is empty or the grid would be larger than `max_cells_per_side` either way.
std::optional<MosaicGrid> grid_for_box(const UtmZone& zone, double cell_metres, double min_east,
                                       double min_north, double max_east, double max_north,
                                       int64_t max_cells_per_side = 1 << 20);

}  // namespace kelvanor
