#include "export/mosaic_grid.h"

#include <cmath>

namespace kelvanor {

std::optional<int64_t> MosaicGrid::column_of(double easting) const {
    const double c = std::floor((easting - west) / cell_metres);
    if (!(c >= 0.0) || c >= static_cast<double>(columns)) return std::nullopt;
    return static_cast<int64_t>(c);
}

std::optional<int64_t> MosaicGrid::row_of(double northing) const {
    const double r = std::floor((north - northing) / cell_metres);
    if (!(r >= 0.0) || r >= static_cast<double>(rows)) return std::nullopt;
    return static_cast<int64_t>(r);
}

double default_cell_metres(double range_metres, int32_t samples_per_side) {
    static constexpr double kSteps[] = {0.05, 0.1, 0.2,  0.25, 0.5,  1.0, 2.0,
                                        2.5,  5.0, 10.0, 20.0, 25.0, 50.0};
    if (samples_per_side <= 0 || !(range_metres > 0.0)) return 1.0;
    // A hair of slack, so that 60 m over 240 samples is 0.25, not the step above.
    const double resolution = range_metres / samples_per_side * (1.0 - 1e-9);
    for (double step : kSteps) {
        if (step >= resolution) return step;
    }
    return kSteps[std::size(kSteps) - 1];
}

std::optional<MosaicGrid> grid_for_box(const UtmZone& zone, double cell_metres, double min_east,
                                       double min_north, double max_east, double max_north,
                                       int64_t max_cells_per_side) {
    if (!(cell_metres > 0.0) || !(max_east > min_east) || !(max_north > min_north)) {
        return std::nullopt;
    }
    MosaicGrid grid;
    grid.zone = zone;
    grid.cell_metres = cell_metres;
    const double west = std::floor(min_east / cell_metres);
    const double east = std::ceil(max_east / cell_metres);
    const double south = std::floor(min_north / cell_metres);
    const double north = std::ceil(max_north / cell_metres);
    if (east - west > static_cast<double>(max_cells_per_side) ||
        north - south > static_cast<double>(max_cells_per_side)) {
        return std::nullopt;
    }
    grid.west = west * cell_metres;
    grid.north = north * cell_metres;
    grid.columns = static_cast<int64_t>(east - west);
    grid.rows = static_cast<int64_t>(north - south);
    return grid;
}

}  // namespace kelvanor
