#include "export/mosaic_tiles.h"

#include <gdal.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "cpl_string.h"

namespace kelvanor {

namespace {

constexpr size_t kTileCellCount = static_cast<size_t>(kMosaicTileCells) * kMosaicTileCells;

void register_gdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

}  // namespace

std::optional<MosaicTiles> MosaicTiles::create(const MosaicGrid& grid, const std::string& temp_path,
                                               size_t max_tiles, std::string& error) {
    register_gdal();
    MosaicTiles t;
    t.grid_ = grid;
    t.tiles_x_ = (grid.columns + kMosaicTileCells - 1) / kMosaicTileCells;
    t.tiles_y_ = (grid.rows + kMosaicTileCells - 1) / kMosaicTileCells;
    t.max_tiles_ = std::max<size_t>(max_tiles, 1);
    t.temp_path_ = temp_path;
    GDALDriverH gtiff = GDALGetDriverByName("GTiff");
    char** options = nullptr;
    options = CSLSetNameValue(options, "TILED", "YES");
    options = CSLSetNameValue(options, "BLOCKXSIZE", "256");
    options = CSLSetNameValue(options, "BLOCKYSIZE", "256");
    options = CSLSetNameValue(options, "SPARSE_OK", "TRUE");
    options = CSLSetNameValue(options, "BIGTIFF", "YES");
    options = CSLSetNameValue(options, "INTERLEAVE", "BAND");
    t.temp_ =
        gtiff == nullptr
            ? nullptr
            : GDALCreate(gtiff, temp_path.c_str(), static_cast<int>(t.tiles_x_ * kMosaicTileCells),
                         static_cast<int>(t.tiles_y_ * kMosaicTileCells), 2, GDT_UInt32, options);
    CSLDestroy(options);
    if (t.temp_ == nullptr) {
        error = "cannot create the temporary tile file " + temp_path + ": " + CPLGetLastErrorMsg();
        return std::nullopt;
    }
    return t;
}

MosaicTiles::MosaicTiles(MosaicTiles&& o) noexcept {
    *this = std::move(o);
}

MosaicTiles& MosaicTiles::operator=(MosaicTiles&& o) noexcept {
    if (this != &o) {
        if (temp_ != nullptr) {
            GDALClose(temp_);
            std::remove(temp_path_.c_str());
        }
        grid_ = o.grid_;
        tiles_x_ = o.tiles_x_;
        tiles_y_ = o.tiles_y_;
        max_tiles_ = o.max_tiles_;
        temp_path_ = std::move(o.temp_path_);
        temp_ = o.temp_;
        o.temp_ = nullptr;
        held_ = std::move(o.held_);
        use_order_ = std::move(o.use_order_);
        spilled_ = std::move(o.spilled_);
        last_key_ = -1;
        last_tile_ = nullptr;
        most_held_ = o.most_held_;
        failed_ = o.failed_;
    }
    return *this;
}

MosaicTiles::~MosaicTiles() {
    if (temp_ != nullptr) {
        GDALClose(temp_);
        std::remove(temp_path_.c_str());
    }
}

bool MosaicTiles::spill(int64_t key, const MosaicTile& tile) {
    const int x = static_cast<int>(key % tiles_x_) * kMosaicTileCells;
    const int y = static_cast<int>(key / tiles_x_) * kMosaicTileCells;
    for (int b = 1; b <= 2; ++b) {
        auto* data = const_cast<uint32_t*>(b == 1 ? tile.sum.data() : tile.count.data());
        if (GDALRasterIO(GDALGetRasterBand(temp_, b), GF_Write, x, y, kMosaicTileCells,
                         kMosaicTileCells, data, kMosaicTileCells, kMosaicTileCells, GDT_UInt32, 0,
                         0) != CE_None) {
            return false;
        }
    }
    spilled_.insert(key);
    return true;
}

bool MosaicTiles::reload(int64_t key, MosaicTile& tile) {
    const int x = static_cast<int>(key % tiles_x_) * kMosaicTileCells;
    const int y = static_cast<int>(key / tiles_x_) * kMosaicTileCells;
    for (int b = 1; b <= 2; ++b) {
        uint32_t* data = b == 1 ? tile.sum.data() : tile.count.data();
        if (GDALRasterIO(GDALGetRasterBand(temp_, b), GF_Read, x, y, kMosaicTileCells,
                         kMosaicTileCells, data, kMosaicTileCells, kMosaicTileCells, GDT_UInt32, 0,
                         0) != CE_None) {
            return false;
        }
    }
    return true;
}

MosaicTile& MosaicTiles::tile_for(int64_t key) {
    if (key == last_key_) return *last_tile_;
    auto it = held_.find(key);
    if (it != held_.end()) {
        use_order_.splice(use_order_.begin(), use_order_, it->second.use);
    } else {
        MosaicTile tile;
        if (held_.size() >= max_tiles_) {
            // The least recently used tile goes to the file; its buffers are reused.
            const int64_t old_key = use_order_.back();
            auto old = held_.find(old_key);
            if (!spill(old_key, old->second.tile)) failed_ = true;
            tile = std::move(old->second.tile);
            use_order_.pop_back();
            held_.erase(old);
        }
        tile.sum.assign(kTileCellCount, 0);
        tile.count.assign(kTileCellCount, 0);
        if (spilled_.count(key) != 0 && !reload(key, tile)) failed_ = true;
        use_order_.push_front(key);
        it = held_.emplace(key, Held{std::move(tile), use_order_.begin()}).first;
        most_held_ = std::max(most_held_, held_.size());
    }
    last_key_ = key;
    last_tile_ = &it->second.tile;
    return *last_tile_;
}

bool MosaicTiles::read_tile(int64_t tx, int64_t ty, std::optional<MosaicTile>& out) {
    const int64_t key = ty * tiles_x_ + tx;
    out.reset();
    if (auto it = held_.find(key); it != held_.end()) {
        out = it->second.tile;
        return true;
    }
    if (spilled_.count(key) == 0) return true;
    MosaicTile tile;
    tile.sum.assign(kTileCellCount, 0);
    tile.count.assign(kTileCellCount, 0);
    if (!reload(key, tile)) return false;
    out = std::move(tile);
    return true;
}

}  // namespace kelvanor
