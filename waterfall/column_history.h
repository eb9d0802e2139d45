#pragma once
// The column history: one 98-byte record per drawn image column, in a ring of 784 (the
// image width), so that the panel can show the time, position, range, speed and heading of
// any column under the pointer. history_index is the slot of the next column; it moves one
// slot down per stored column, so the newest column sits at history_index + 1.
//
// Record layout (speed and heading in the machine's float format):
//   0  40  date and time text, NUL-terminated
//   40 24  position text: latitude 12 bytes, longitude 12 bytes
//   64  6  not written
//   70 12  bytes 0..11 of the head reply (byte 7 of them is the range in metres)
//   82  4  speed in knots (float)
//   86  4  heading in degrees (float)
//   90  4  reserved, 0
//   94  4  reserved, 0
//
// The ring is guarded by the waterfall image lock: the ping pipeline stores, the cursor
// read-out reads and Clear Screen zeroes it, each holding that lock.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "settings/shared_value.h"

namespace kelvanor {

inline constexpr int32_t kHistoryColumns = 784;
inline constexpr size_t kHistoryRecordSize = 98;
inline constexpr size_t kHistoryTextSize = 40;
inline constexpr size_t kHistoryPositionSize = 24;
inline constexpr size_t kHistoryHeaderSize = 12;

using HistoryRecordBytes = std::array<uint8_t, kHistoryRecordSize>;

// What a column's record does not hold, kept by slot beside it.
struct ColumnSource {
    // Every stored column numbered from 1, so that a column can be found again while it is
    // on screen; 0 for a slot never stored.
    uint64_t serial = 0;
    // Byte offset of the ping's record in the file being played or recorded; -1 for none.
    int64_t record_offset = -1;
    // Altitude above the seabed on the port and starboard side (metres; 0 for none) as the
    // echoes gave it where the reply had no bottom value.
    std::array<float, 2> altitude_metres{};
};

struct ColumnHistory {
    std::array<HistoryRecordBytes, kHistoryColumns> records{};
    Shared<int32_t> history_index = 0;
    std::array<ColumnSource, kHistoryColumns> sources{};
    uint64_t next_serial = 1;
};

// One record, decoded.
struct HistoryEntry {
    std::array<char, kHistoryTextSize> date_time_text{};  // always NUL-terminated
    std::array<char, kHistoryPositionSize> position_text{};
    std::array<uint8_t, kHistoryHeaderSize> reply_header{};
    float speed_knots = 0.0f;
    float heading_degrees = 0.0f;

    int32_t range_metres() const { return reply_header[7]; }
};

// Writes `count` records with the same content at history_index, history_index - 1, ...,
// wrapping from -1 to 783, and leaves history_index at the slot after the last one.
// A count above the ring size stores one full turn. Each column gets the next serial and
// `source`'s offset and altitudes.
void store_history_records(ColumnHistory& history, const HistoryEntry& entry, int32_t count,
                           const ColumnSource& source = {});

// The record in `slot`, taken modulo the ring size (negative slots wrap as well).
HistoryEntry read_history_record(const ColumnHistory& history, int32_t slot);

// The slot of the column shown at screen column x (1 = oldest .. 784 = newest).
int32_t history_slot_for_column(int32_t history_index, int32_t x);

// Zeroes every record and forgets the sources; history_index stays where it is.
void clear_column_history(ColumnHistory& history);

// The source of the column in `slot`, when that column is still stored: nothing for a slot
// whose record was cleared (Clear Screen zeroes the records alone).
std::optional<ColumnSource> column_source(const ColumnHistory& history, int32_t slot);

// The screen column (1 = oldest .. 784 = newest) showing the column numbered `serial`, while
// it is on screen and not cleared.
std::optional<int32_t> screen_column_of(const ColumnHistory& history, uint64_t serial);

}  // namespace kelvanor
