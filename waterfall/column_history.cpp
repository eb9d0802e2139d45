#include "waterfall/column_history.h"

#include <algorithm>
#include <cstring>

namespace kelvanor {

namespace {

constexpr size_t kTextOffset = 0;
constexpr size_t kPositionOffset = 40;
constexpr size_t kHeaderOffset = 70;
constexpr size_t kSpeedOffset = 82;
constexpr size_t kHeadingOffset = 86;
constexpr size_t kReserved1Offset = 90;
constexpr size_t kReserved2Offset = 94;

int32_t wrap_slot(int32_t slot) {
    slot %= kHistoryColumns;
    return slot < 0 ? slot + kHistoryColumns : slot;
}

HistoryRecordBytes encode(const HistoryEntry& entry) {
    HistoryRecordBytes bytes{};
    std::memcpy(bytes.data() + kTextOffset, entry.date_time_text.data(), kHistoryTextSize);
    bytes[kTextOffset + kHistoryTextSize - 1] = 0;
    std::memcpy(bytes.data() + kPositionOffset, entry.position_text.data(), kHistoryPositionSize);
    std::memcpy(bytes.data() + kHeaderOffset, entry.reply_header.data(), kHistoryHeaderSize);
    std::memcpy(bytes.data() + kSpeedOffset, &entry.speed_knots, sizeof(float));
    std::memcpy(bytes.data() + kHeadingOffset, &entry.heading_degrees, sizeof(float));
    const int32_t reserved = 0;
    std::memcpy(bytes.data() + kReserved1Offset, &reserved, sizeof reserved);
    std::memcpy(bytes.data() + kReserved2Offset, &reserved, sizeof reserved);
    return bytes;
}

}  // namespace

void store_history_records(ColumnHistory& history, const HistoryEntry& entry, int32_t count,
                           const ColumnSource& source) {
    if (count <= 0) return;
    const HistoryRecordBytes bytes = encode(entry);
    const int32_t start = wrap_slot(history.history_index);
    // Column i of the count goes to slot start - i; of more than one turn only the last turn
    // stays, and a count beyond one turn moves the index as far as all those columns would
    // have. Every column is numbered, kept or not.
    for (int32_t i = std::max(0, count - kHistoryColumns); i < count; ++i) {
        const int32_t slot = wrap_slot(start - i);
        history.records[slot] = bytes;
        history.sources[slot] = source;
        history.sources[slot].serial = history.next_serial + static_cast<uint64_t>(i);
    }
    history.next_serial += static_cast<uint64_t>(count);
    history.history_index = wrap_slot(start - count % kHistoryColumns);
}

HistoryEntry read_history_record(const ColumnHistory& history, int32_t slot) {
    const HistoryRecordBytes& bytes = history.records[wrap_slot(slot)];
    HistoryEntry entry;
    std::memcpy(entry.date_time_text.data(), bytes.data() + kTextOffset, kHistoryTextSize);
    entry.date_time_text.back() = '\0';
    std::memcpy(entry.position_text.data(), bytes.data() + kPositionOffset, kHistoryPositionSize);
    std::memcpy(entry.reply_header.data(), bytes.data() + kHeaderOffset, kHistoryHeaderSize);
    std::memcpy(&entry.speed_knots, bytes.data() + kSpeedOffset, sizeof(float));
    std::memcpy(&entry.heading_degrees, bytes.data() + kHeadingOffset, sizeof(float));
    return entry;
}

int32_t history_slot_for_column(int32_t history_index, int32_t x) {
    return wrap_slot(history_index + 1 - x);
}

void clear_column_history(ColumnHistory& history) {
    for (auto& record : history.records) record.fill(0);
    history.sources.fill(ColumnSource{});
}

std::optional<ColumnSource> column_source(const ColumnHistory& history, int32_t slot) {
    slot = wrap_slot(slot);
    const HistoryRecordBytes& bytes = history.records[slot];
    const bool cleared = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
    if (cleared || history.sources[slot].serial == 0) return std::nullopt;
    return history.sources[slot];
}

std::optional<int32_t> screen_column_of(const ColumnHistory& history, uint64_t serial) {
    if (serial == 0) return std::nullopt;
    const int32_t newest_slot = history_slot_for_column(history.history_index, kHistoryColumns);
    const uint64_t newest = history.sources[newest_slot].serial;
    if (serial > newest || newest - serial >= static_cast<uint64_t>(kHistoryColumns)) {
        return std::nullopt;
    }
    const int32_t x = kHistoryColumns - static_cast<int32_t>(newest - serial);
    const std::optional<ColumnSource> source =
        column_source(history, history_slot_for_column(history.history_index, x));
    if (!source || source->serial != serial) return std::nullopt;
    return x;
}

}  // namespace kelvanor
