#include "export/mosaic_swath.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>

namespace kelvanor {

uint32_t echo_value_8bit(const RecordEchoes& echoes, SonarSide side, int32_t index) {
    const uint32_t v = echoes.sample(side, index);
    switch (echoes.sample_bits) {
        case 4:
            return v * 17;
        case 16:
            return v >> 8;
        default:
            return std::min<uint32_t>(v, 255);
    }
}

bool swath_cells(const TrackPing& ping, const UtmTransformer& utm, const MosaicGrid& grid,
                 const SensorOffsets& offsets, std::vector<CellValue>& out) {
    if (!ping.has_position || !ping.heading_degrees || !ping.echoes) return false;
    const RecordEchoes& echoes = *ping.echoes;
    const int32_t samples = echoes.samples_per_side;
    if (samples <= 0 || echoes.range_metres <= 0) return false;
    const double heading = *ping.heading_degrees;
    const double range = echoes.range_metres;

    // The sensor and, per side, the point at the far end of the swath, all in the zone: the
    // samples lie on the straight line between them (over a swath's width the grid's
    // convergence and scale are constant).
    const GeoPoint sensor = sensor_position(ping.position, heading, offsets);
    std::array<double, 3> x{sensor.longitude_degrees, 0.0, 0.0};
    std::array<double, 3> y{sensor.latitude_degrees, 0.0, 0.0};
    std::array<double, 2> far_ground{0.0, 0.0};
    for (SonarSide side : {SonarSide::Port, SonarSide::Starboard}) {
        const auto s = static_cast<size_t>(side);
        const auto altitude = ping.altitude_metres[s];
        std::optional<double> ground;
        if (altitude) ground = ground_range_metres(range, *altitude);
        const GeoPoint far =
            across_track_point(sensor, heading, side, ground && *ground > 0.0 ? *ground : 1.0);
        x[s + 1] = far.longitude_degrees;
        y[s + 1] = far.latitude_degrees;
        far_ground[s] = echoes.holds(side) && ground && *ground > 0.0 ? *ground : 0.0;
    }
    if (!utm.to_utm(x, y)) return false;

    // In cell units from the grid's top-left corner: columns east, rows south.
    const double per_cell = 1.0 / grid.cell_metres;
    const double c0 = (x[0] - grid.west) * per_cell;
    const double r0 = (grid.north - y[0]) * per_cell;
    const auto columns = static_cast<double>(grid.columns);
    const auto rows = static_cast<double>(grid.rows);
    // Pieces of a sample are at most half a cell long, so that no cell is stepped over.
    const double pieces_per_metre = 2.0 * per_cell;
    for (SonarSide side : {SonarSide::Port, SonarSide::Starboard}) {
        const auto s = static_cast<size_t>(side);
        if (far_ground[s] <= 0.0) continue;
        const double altitude = *ping.altitude_metres[s];
        const double uc = (x[s + 1] - x[0]) / far_ground[s] * per_cell;
        const double ur = -(y[s + 1] - y[0]) / far_ground[s] * per_cell;
        const double per_sample = range / samples;
        const double altitude_squared = altitude * altitude;
        double near_ground = -1.0;  // ground range of the current sample's near edge
        for (int32_t i = 0; i < samples; ++i) {
            const double far_slant = (i + 1) * per_sample;
            if (far_slant <= altitude) continue;
            const double g1 = std::sqrt(far_slant * far_slant - altitude_squared);
            const double g0 = near_ground < 0.0 ? 0.0 : near_ground;
            near_ground = g1;
            const uint32_t value = echo_value_8bit(echoes, side, i);
            const int pieces =
                std::max(1, static_cast<int>(std::ceil((g1 - g0) * pieces_per_metre)));
            const double piece = (g1 - g0) / pieces;
            uint32_t last_column = UINT32_MAX, last_row = UINT32_MAX;
            for (int k = 0; k < pieces; ++k) {
                const double g = g0 + piece * (k + 0.5);
                const double c = c0 + uc * g;
                const double r = r0 + ur * g;
                if (!(c >= 0.0 && r >= 0.0 && c < columns && r < rows)) continue;
                const auto column = static_cast<uint32_t>(c);
                const auto row = static_cast<uint32_t>(r);
                if (column == last_column && row == last_row) continue;
                out.push_back({column, row, value});
                last_column = column;
                last_row = row;
            }
        }
    }
    return true;
}

}  // namespace kelvanor
