#pragma once
// The ping record: a 100-byte header of time, position, speed, heading and settings, the
// head reply behind it, zero padding and a 2-byte back-link to the previous record. All
// integers are big-endian. Records lie back to back in a .VKD file with nothing around them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "datafile/datafile_state.h"
#include "ping/ping_state.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"

namespace kelvanor {

// The parts of the program state a played record is restored into.
struct RecordContext {
    Settings& settings;
    RunState& run;
    HeadState& head;
    PingState& ping;
    DataFileState& datafile;
};

inline constexpr size_t kRecordHeaderLength = 100;
// The reader's limits: a record must hold its header and back-link, and no longer record
// than this is accepted (the longest the head link produces is 640 bytes).
inline constexpr size_t kMinRecordLength = kRecordHeaderLength + 2;
inline constexpr size_t kMaxRecordLength = 1024;
inline constexpr std::array<uint8_t, 3> kRecordMagic = {'V', 'K', 'D'};

static_assert(kMaxRecordLength - kMinRecordLength <= kHeadReplyCapacity);

using RecordBuffer = std::array<uint8_t, kMaxRecordLength>;

// Record length of a size code 0..3; nothing for any other code.
std::optional<size_t> record_length_for_size_code(int32_t size_code);

// Everything the writer stamps onto a ping besides the reply itself.
struct RecordStamp {
    int32_t record_size_code = 3;
    std::array<char, kDateTextSize> date_text{};
    std::array<char, kTimeTextSize> time_text{};
    int32_t channel_code = 3;
    int32_t gain = 0;
    int32_t held_byte4 = 0;
    int32_t frequency_code = 10;
    int32_t held_byte9 = 1;
    int32_t sample_bits = 8;
    int32_t extra_setting_1 = 0;
    int32_t extra_setting_2 = 0;
    std::array<char, kPositionTextSize> position_text{};
    int32_t ping_interval_ms = 0;
    float speed_knots = 0.0f;
    float heading_degrees = 0.0f;
    int32_t frequency = 0;
    int32_t channel_balance = 30;
    int32_t previous_record_length = 0;  // 0 for the first record of a recording
};

// The stamp of the ping in flight, taken from the shared state as recording sees it.
RecordStamp record_stamp_from_state(const Settings& settings, const HeadState& head,
                                    const RunState& run, int32_t ping_interval_ms,
                                    int32_t previous_record_length);

// Builds one record into `out`. Returns its length, or nothing when the size code is not
// one of the four or the reply does not fit into the record.
std::optional<size_t> encode_ping_record(const RecordStamp& stamp, std::span<const uint8_t> reply,
                                         std::span<uint8_t, kMaxRecordLength> out);

// What the reader takes from a header before it trusts it: the two lengths.
struct RecordLimits {
    size_t record_length = 0;
    size_t reply_length = 0;
};

// Why a header is refused.
enum class RecordFault {
    None,
    BadMagic,
    RecordTooShort,
    RecordTooLong,
    ReplyDoesNotFit,
};
const char* record_fault_text(RecordFault fault);

// Checks the magic and the reader's limits. On success `limits` holds S and n.
RecordFault check_record_header(std::span<const uint8_t, kRecordHeaderLength> header,
                                RecordLimits& limits);

uint16_t read_be16(const uint8_t* p);

// The date text of a record header, a date stored with a five-character year repaired.
std::array<char, kDateTextSize> record_date_text(
    std::span<const uint8_t, kRecordHeaderLength> header);

// Restores the header of a checked record into the shared state (size code, reply length,
// date and time, settings block, position, ping interval, speed and heading with their
// fall-backs, frequency, balance and format flag).
void restore_record_header(std::span<const uint8_t, kRecordHeaderLength> header,
                           const RecordContext& into);

// Copies the reply of a checked record into head_reply (a stored head id 0x11 reads 0x10)
// and clears the rest of the buffer, so that a short reply never shows the bytes of the
// reply before it.
void restore_head_reply(std::span<const uint8_t> record, const RecordLimits& limits,
                        HeadState& head);

// Takes the head model from the restored reply: 'G' and 'H' set samples_per_line and
// line_span (by the file's format flag); any other letter leaves them.
void take_head_model_from_reply(HeadState& head, const DataFileState& file);

// True when the 24 bytes have the form " DD.MM.mmm NDDD.MM.mmm E".
bool position_text_is_valid(std::span<const char, kPositionTextSize> text);

}  // namespace kelvanor
