#include "datafile/record_echoes.h"

#include <algorithm>
#include <cstring>

#include "ping/echo_conversion.h"

namespace kelvanor {

namespace {

constexpr size_t kSettingsMarkerAt = 37;
constexpr size_t kChannelAt = 38;
constexpr size_t kGainAt = 39;
constexpr size_t kCommandBitsAt = 44;
constexpr size_t kPingIntervalAt = 71;
constexpr size_t kFrequencyAt = 76;
constexpr size_t kTimeAt = 20;
constexpr uint8_t kStoredHeadIdAlias = 0x11;

int32_t two_digits(const char* p) {
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9') return -1;
    return (p[0] - '0') * 10 + (p[1] - '0');
}

}  // namespace

uint32_t RecordEchoes::sample(SonarSide side, int32_t i) const {
    const bool both = port && starboard;
    const auto k = static_cast<size_t>(both ? 2 * i + static_cast<int32_t>(side) : i);
    switch (sample_bits) {
        case 4: {
            const uint8_t b = echo[k / 2];
            return (k % 2 == 0) ? (b & 0x0Fu) : (b >> 4);
        }
        case 16:
            return static_cast<uint32_t>(echo[2 * k]) |
                   (static_cast<uint32_t>(echo[2 * k + 1]) << 8);
        default:
            return echo[k];
    }
}

uint32_t RecordEchoes::full_scale() const {
    return sample_bits == 4 ? 15u : sample_bits == 16 ? 65535u : 255u;
}

std::optional<RecordEchoes> record_echoes(std::span<const uint8_t> record,
                                          const RecordLimits& limits) {
    // A head reply holds at least its 12 header bytes and its terminator; a record may store
    // a shorter one, which has no echoes.
    constexpr size_t kMinEchoReplyLength = 13;
    const size_t n = limits.reply_length;
    if (record.size() < limits.record_length || n < kMinEchoReplyLength ||
        kRecordHeaderLength + n > record.size()) {
        return std::nullopt;
    }
    const uint8_t* reply = record.data() + kRecordHeaderLength;
    if (reply[0] != 'Q' || (reply[1] != kHeadTypeG && reply[1] != kHeadTypeH) || reply[2] != 'Z' ||
        reply[n - 1] != kReplyTerminator) {
        return std::nullopt;
    }
    RecordEchoes e;
    e.model = static_cast<char>(reply[1]);
    e.range_metres = kRangeMetres[static_cast<size_t>(range_index_for_metres(reply[7]))];
    e.bottom_value = reply[9] * 128 + (reply[8] & 0x7F);
    e.echo = {reply + kReplyHeaderLength, n - kReplyOverhead};
    e.ping_interval_ms = read_be16(record.data() + kPingIntervalAt);
    e.frequency = record[kFrequencyAt];

    int32_t side = 3;  // command byte 7 form: 1 port, 2 starboard, 3 both
    const uint8_t marker = record[kSettingsMarkerAt];
    if (marker == kSideScanHeadId || marker == kStoredHeadIdAlias) {
        static constexpr int32_t kSideOfChannel[4] = {0, 2, 1, 3};
        side = kSideOfChannel[record[kChannelAt] & 3];
        e.gain = record[kGainAt];
        static constexpr int32_t kBitsOfCode[8] = {4, 8, 16, 8, 8, 8, 8, 8};
        e.sample_bits = kBitsOfCode[(record[kCommandBitsAt] >> 3) & 7];
    }
    e.port = side == 1 || side == 3;
    e.starboard = side == 2 || side == 3;

    const auto bytes = static_cast<int32_t>(e.echo.size());
    const int32_t values = e.sample_bits == 4 ? 2 * bytes : e.sample_bits == 16 ? bytes / 2 : bytes;
    e.samples_per_side = (e.port && e.starboard)   ? values / 2
                         : (e.port || e.starboard) ? values
                                                   : 0;
    return e;
}

std::optional<int64_t> record_local_seconds(std::span<const uint8_t, kRecordHeaderLength> header) {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const auto date = record_date_text(header);
    // "DD-MON-YYYY"
    if (date[2] != '-' || date[6] != '-') return std::nullopt;
    const int32_t day = two_digits(date.data());
    int32_t month = 0;
    for (int32_t m = 0; m < 12; ++m) {
        if (std::memcmp(date.data() + 3, kMonths[m], 3) == 0) month = m + 1;
    }
    const int32_t century = two_digits(date.data() + 7);
    const int32_t year_in = two_digits(date.data() + 9);
    char time[8];
    std::memcpy(time, header.data() + kTimeAt, sizeof time);
    if (time[2] != ':' || time[5] != ':') return std::nullopt;
    const int32_t hour = two_digits(time);
    const int32_t minute = two_digits(time + 3);
    const int32_t second = two_digits(time + 6);
    if (day < 1 || day > 31 || month == 0 || century < 0 || year_in < 0 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    return seconds_from_civil(century * 100 + year_in, month, day, hour, minute, second);
}

// Days from civil and back: the well-known era-based algorithms for the proleptic Gregorian
// calendar, exact for every year a record can hold.
int64_t seconds_from_civil(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                           int32_t second) {
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

CivilTime civil_from_seconds(int64_t seconds) {
    int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const int64_t rest = seconds - days * 86400;
    CivilTime t;
    t.hour = static_cast<int32_t>(rest / 3600);
    t.minute = static_cast<int32_t>(rest / 60 % 60);
    t.second = static_cast<int32_t>(rest % 60);
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    t.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int32_t>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
    const int64_t jan1 = seconds_from_civil(t.year, 1, 1, 0, 0, 0) / 86400;
    t.day_of_year = static_cast<int32_t>(
        seconds_from_civil(t.year, t.month, t.day, 0, 0, 0) / 86400 - jan1 + 1);
    return t;
}

}  // namespace kelvanor
