#include <gtest/gtest.h>

#include <cstring>

#include "datafile/record_echoes.h"
#include "datafile_test_support.h"

namespace kelvanor {
namespace {

std::optional<int64_t> seconds_of(const char* date12, const char* time9) {
    RecordStamp s = test::sample_stamp();
    std::memcpy(s.date_text.data(), date12, 12);
    std::memcpy(s.time_text.data(), time9, 9);
    const auto record = test::encode(s, test::g_reply());
    return record_local_seconds(
        std::span<const uint8_t, kRecordHeaderLength>(record.data(), kRecordHeaderLength));
}

TEST(DatafileRecordTime, DateAndTimeTextsAsSeconds) {
    struct Case {
        const char* date;
        const char* time;
        std::optional<int64_t> seconds;
    } cases[] = {
        {"14-MAY-2024\0", "09:30:07\0", 1715679007},
        {"01-JAN-1970\0", "00:00:00\0", 0},
        {"29-FEB-2000\0", "23:59:59\0", 951868799},
        {"31-DEC-2099\0", "12:00:00\0", 4102401600},
        {"07-DEC-1910\0", "13:05:09\0", -1864032891},
        // A five-character year: "19113" is 2013, as playback repairs it.
        {"07-DEC-19113", "16:05:09\0", 1386432309},
        {"14-MAY-2024\0", "9:30:07\0\0", std::nullopt},            // not two digits
        {"14-MAI-2024\0", "09:30:07\0", std::nullopt},             // no such month
        {"14-MAY-2024\0", "24:00:00\0", std::nullopt},             // no such hour
        {"\0\0\0\0\0\0\0\0\0\0\0\0", "09:30:07\0", std::nullopt},  // no date
    };
    for (const Case& c : cases) {
        EXPECT_EQ(seconds_of(c.date, c.time), c.seconds) << c.date << " " << c.time;
    }
}

TEST(DatafileRecordTime, CivilTimeRoundTrip) {
    for (int64_t s : {int64_t{0}, int64_t{951868799}, int64_t{951868800}, int64_t{1715679007},
                      int64_t{4102401600}, int64_t{-1864032891}, int64_t{-1}}) {
        const CivilTime t = civil_from_seconds(s);
        EXPECT_EQ(seconds_from_civil(t.year, t.month, t.day, t.hour, t.minute, t.second), s);
    }
    const CivilTime leap = civil_from_seconds(seconds_from_civil(2024, 12, 31, 23, 59, 59));
    EXPECT_EQ(leap.day_of_year, 366);
    EXPECT_EQ(civil_from_seconds(seconds_from_civil(2023, 3, 1, 0, 0, 0)).day_of_year, 60);
    const CivilTime before = civil_from_seconds(-1);
    EXPECT_EQ(before.year, 1969);
    EXPECT_EQ(before.hour, 23);
    EXPECT_EQ(before.second, 59);
}

}  // namespace
}  // namespace kelvanor
