#pragma once
// The cells of a mosaic grid that one ping's samples cover. Each side's samples lie on the
// seabed across the track, perpendicular to the heading (port to the left), at their ground
// ranges from the altitude; samples inside the water column are left out. A sample covers
// the ground between the ground ranges of its near and far edge, so that the wide first
// samples beyond the water column leave no gap under the track.

#include <cstdint>
#include <vector>

#include "export/mosaic_grid.h"
#include "geo/track.h"

namespace kelvanor {

struct CellValue {
    uint32_t column = 0;
    uint32_t row = 0;
    uint32_t value = 0;  // 0..255
};

// An echo sample as an 8-bit value: 4-bit samples spread over 0..255, 16-bit ones cut to
// their high byte.
uint32_t echo_value_8bit(const RecordEchoes& echoes, SonarSide side, int32_t index);

// Appends to `out` one entry per sample and cell it touches (a cell once per sample). Returns
// false, appending nothing, when the ping has no position, heading or echoes, or when the
// transform to the grid's zone fails; a side without an altitude adds nothing.
bool swath_cells(const TrackPing& ping, const UtmTransformer& utm, const MosaicGrid& grid,
                 const SensorOffsets& offsets, std::vector<CellValue>& out);

}  // namespace kelvanor
