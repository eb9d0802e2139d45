#include "ping/column_history.h"

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

void store_history_records(ColumnHistory& history, const HistoryEntry& entry, int32_t count) {
    if (count <= 0) return;
    const HistoryRecordBytes bytes = encode(entry);
    int32_t index = wrap_slot(history.history_index);
    const int32_t stored = std::min(count, kHistoryColumns);
    for (int32_t i = 0; i < stored; ++i) {
        history.records[index] = bytes;
        index = index == 0 ? kHistoryColumns - 1 : index - 1;
    }
    // A count beyond one turn moves the index as far as all those columns would have.
    history.history_index = wrap_slot(index - (count - stored) % kHistoryColumns);
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
}

}  // namespace kelvanor
