#pragma once
// Sums and counts of echo values per mosaic cell, kept by tiles of 256 x 256 cells. At most
// `max_tiles` tiles stay in memory; the least recently used one goes to a temporary GeoTIFF
// beside the output and comes back when a later line crosses it again, so memory stays
// bounded whatever the survey's extent and length. The sums are whole numbers: the result
// does not depend on the order in which pings arrive.

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "export/mosaic_grid.h"

typedef void* GDALDatasetH;

namespace kelvanor {

inline constexpr int kMosaicTileCells = 256;

struct MosaicTile {
    std::vector<uint32_t> sum;    // kMosaicTileCells^2, row by row
    std::vector<uint32_t> count;  // the same
};

class MosaicTiles {
  public:
    // Nothing, with the reason, when the temporary file cannot be made.
    static std::optional<MosaicTiles> create(const MosaicGrid& grid, const std::string& temp_path,
                                             size_t max_tiles, std::string& error);
    MosaicTiles(MosaicTiles&&) noexcept;
    MosaicTiles& operator=(MosaicTiles&&) noexcept;
    ~MosaicTiles();  // removes the temporary file

    const MosaicGrid& grid() const { return grid_; }
    int64_t tiles_across() const { return tiles_x_; }
    int64_t tiles_down() const { return tiles_y_; }

    // Adds `value` to the cell at column, row (inside the grid).
    void add(uint32_t column, uint32_t row, uint32_t value) {
        const int64_t key =
            static_cast<int64_t>(row / kMosaicTileCells) * tiles_x_ + column / kMosaicTileCells;
        MosaicTile& tile = key == last_key_ ? *last_tile_ : tile_for(key);
        const size_t at = (row % kMosaicTileCells) * kMosaicTileCells + column % kMosaicTileCells;
        tile.sum[at] += value;
        tile.count[at] += 1;
    }

    // The tile at tx, ty as it stands (held, brought back from the file, or nothing when no
    // sample ever fell in it). False when the temporary file could not be read.
    bool read_tile(int64_t tx, int64_t ty, std::optional<MosaicTile>& out);

    size_t held_tiles() const { return held_.size(); }
    size_t most_held_tiles() const { return most_held_; }
    int64_t spilled_tiles() const { return static_cast<int64_t>(spilled_.size()); }
    bool failed() const { return failed_; }  // a spill or reload failed

  private:
    struct Held {
        MosaicTile tile;
        std::list<int64_t>::iterator use;  // place in the use order
    };
    MosaicTiles() = default;
    MosaicTile& tile_for(int64_t key);
    bool spill(int64_t key, const MosaicTile& tile);
    bool reload(int64_t key, MosaicTile& tile);

    MosaicGrid grid_;
    int64_t tiles_x_ = 0;
    int64_t tiles_y_ = 0;
    size_t max_tiles_ = 1;
    std::string temp_path_;
    GDALDatasetH temp_ = nullptr;
    std::unordered_map<int64_t, Held> held_;
    std::list<int64_t> use_order_;  // most recent first
    std::unordered_set<int64_t> spilled_;
    int64_t last_key_ = -1;
    MosaicTile* last_tile_ = nullptr;
    size_t most_held_ = 0;
    bool failed_ = false;
};

}  // namespace kelvanor
