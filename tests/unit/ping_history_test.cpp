#include <gtest/gtest.h>

#include <cstdio>

#include "waterfall/column_history.h"

namespace kelvanor {
namespace {

HistoryEntry entry_with_range(uint8_t metres) {
    HistoryEntry entry;
    entry.reply_header[7] = metres;
    return entry;
}

TEST(ColumnHistory, TheIndexMovesDownAndWrapsFromZeroTo783) {
    ColumnHistory history;
    store_history_records(history, entry_with_range(15), 1);
    EXPECT_EQ(history.history_index, 783);
    EXPECT_EQ(read_history_record(history, 0).range_metres(), 15);
    store_history_records(history, entry_with_range(30), 3);
    EXPECT_EQ(history.history_index, 780);
    for (int slot : {783, 782, 781})
        EXPECT_EQ(read_history_record(history, slot).range_metres(), 30);
}

TEST(ColumnHistory, ScreenColumnsMapToSlotsNewestAtTheRightEdge) {
    ColumnHistory history;
    for (uint8_t metres = 1; metres <= 10; ++metres) {
        store_history_records(history, entry_with_range(metres), 1);
    }
    const int32_t index = history.history_index;
    EXPECT_EQ(read_history_record(history, history_slot_for_column(index, 784)).range_metres(), 10);
    EXPECT_EQ(read_history_record(history, history_slot_for_column(index, 783)).range_metres(), 9);
    EXPECT_EQ(read_history_record(history, history_slot_for_column(index, 775)).range_metres(), 1);
    EXPECT_EQ(read_history_record(history, history_slot_for_column(index, 774)).range_metres(), 0);
}

TEST(ColumnHistory, MoreColumnsThanTheRingHoldsFillItOnceAndMoveTheIndexAllTheWay) {
    ColumnHistory history;
    store_history_records(history, entry_with_range(60), kHistoryColumns + 5);
    EXPECT_EQ(history.history_index, kHistoryColumns - 5);
    for (int slot = 0; slot < kHistoryColumns; ++slot) {
        ASSERT_EQ(read_history_record(history, slot).range_metres(), 60);
    }
}

TEST(ColumnHistory, RecordsKeepTheirFieldsAndTextsStayTerminated) {
    ColumnHistory history;
    HistoryEntry entry;
    entry.date_time_text.fill('x');  // no terminator given
    std::snprintf(entry.position_text.data(), entry.position_text.size(), "%s", " 54.21.123 N");
    entry.reply_header = {'Q', 'G', 'Z', 0x10, 0, 1, 0, 90, 1, 2, 3, 4};
    entry.speed_knots = 3.5f;
    entry.heading_degrees = 359.9f;
    store_history_records(history, entry, 1);
    const HistoryEntry back = read_history_record(history, 0);
    EXPECT_EQ(back.date_time_text.back(), '\0');
    EXPECT_EQ(back.position_text, entry.position_text);
    EXPECT_EQ(back.reply_header, entry.reply_header);
    EXPECT_EQ(back.speed_knots, 3.5f);
    EXPECT_EQ(back.heading_degrees, 359.9f);
    // The reserved words are zero, the unwritten gap too.
    for (size_t i = 90; i < kHistoryRecordSize; ++i) EXPECT_EQ(history.records[0][i], 0);

    clear_column_history(history);
    EXPECT_EQ(read_history_record(history, 0).range_metres(), 0);
    EXPECT_EQ(history.history_index, 783) << "clearing keeps the index";
}

}  // namespace
}  // namespace kelvanor
