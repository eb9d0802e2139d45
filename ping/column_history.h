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

#include "settings/shared_value.h"

namespace kelvanor {

inline constexpr int32_t kHistoryColumns = 784;
inline constexpr size_t kHistoryRecordSize = 98;
inline constexpr size_t kHistoryTextSize = 40;
inline constexpr size_t kHistoryPositionSize = 24;
inline constexpr size_t kHistoryHeaderSize = 12;

using HistoryRecordBytes = std::array<uint8_t, kHistoryRecordSize>;

struct ColumnHistory {
    std::array<HistoryRecordBytes, kHistoryColumns> records{};
    Shared<int32_t> history_index = 0;
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
// A count above the ring size stores one full turn.
void store_history_records(ColumnHistory& history, const HistoryEntry& entry, int32_t count);

// The record in `slot`, taken modulo the ring size (negative slots wrap as well).
HistoryEntry read_history_record(const ColumnHistory& history, int32_t slot);

// The slot of the column shown at screen column x (1 = oldest .. 784 = newest).
int32_t history_slot_for_column(int32_t history_index, int32_t x);

// Zeroes every record; history_index stays where it is.
void clear_column_history(ColumnHistory& history);

}  // namespace kelvanor
