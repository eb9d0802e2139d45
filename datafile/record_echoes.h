#pragma once
// What a stored record says about its ping beyond the header values playback restores: the
// echo samples of each side as the head sent them (4, 8 or 16 bits, one side or both), the
// range they cover, the bottom value and the record's local time. Read-only views into the
// record; nothing here touches the shared state.

#include <cstdint>
#include <optional>
#include <span>

#include "datafile/ping_record.h"

namespace kelvanor {

enum class SonarSide : int32_t { Port = 0, Starboard = 1 };

struct RecordEchoes {
    char model = 'G';            // head model letter of the reply, 'G' or 'H'
    int32_t range_metres = 120;  // slant range covered by the samples of one side
    int32_t sample_bits = 8;     // 4, 8 or 16
    bool port = false;           // which sides the ping holds
    bool starboard = false;
    int32_t samples_per_side = 0;  // samples of each side held
    int32_t bottom_value = 0;      // hundredths of a metre; 0 when the head sent none
    int32_t gain = 0;
    int32_t frequency = 0;  // 0 low, 1 high
    int32_t ping_interval_ms = 0;
    std::span<const uint8_t> echo;  // the echo bytes of the reply

    bool holds(SonarSide side) const { return side == SonarSide::Port ? port : starboard; }
    // Raw value of sample i (0 nearest the head) of a side the ping holds: 0..15, 0..255 or
    // 0..65535 by sample_bits.
    uint32_t sample(SonarSide side, int32_t i) const;
    // Full scale of a sample value.
    uint32_t full_scale() const;
};

// The echoes of a record that read_record returned whole. Nothing when the reply is not a
// valid head reply ('Q', 'G' or 'H', 'Z', terminator 0xFC). A record without a settings
// block is taken as the live default: 8-bit samples of both sides.
std::optional<RecordEchoes> record_echoes(std::span<const uint8_t> record,
                                          const RecordLimits& limits);

// Local date and time of a record as seconds since 1970-01-01 00:00:00 of the same clock
// (the record carries no time zone); nothing when the date or time text cannot be read. A
// date stored with a five-character year is repaired as playback does.
std::optional<int64_t> record_local_seconds(std::span<const uint8_t, kRecordHeaderLength> header);

// Seconds since 1970 of a civil date and time (proleptic Gregorian), and back.
int64_t seconds_from_civil(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                           int32_t second);
struct CivilTime {
    int32_t year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int32_t day_of_year = 1;  // 1..366
};
CivilTime civil_from_seconds(int64_t seconds);

}  // namespace kelvanor
