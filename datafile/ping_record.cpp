#include "datafile/ping_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace kelvanor {

namespace {

// Header offsets.
constexpr size_t kSizeCodeAt = 3;
constexpr size_t kRecordLengthAt = 4;
constexpr size_t kReplyLengthAt = 6;
constexpr size_t kDateAt = 8;
constexpr size_t kTimeAt = 20;
constexpr size_t kSettingsMarkerAt = 37;
constexpr size_t kChannelAt = 38;
constexpr size_t kGainAt = 39;
constexpr size_t kByte4At = 42;
constexpr size_t kFrequencyCodeAt = 43;
constexpr size_t kCommandBitsAt = 44;
constexpr size_t kExtra1At = 45;
constexpr size_t kExtra2At = 46;
constexpr size_t kPositionAt = 47;
constexpr size_t kPingIntervalAt = 71;
constexpr size_t kSpeedAt = 73;
constexpr size_t kHeadingAt = 74;
constexpr size_t kFrequencyAt = 76;
constexpr size_t kBalanceAt = 77;
constexpr size_t kFormatFlagAt = 78;

constexpr uint8_t kStoredHeadIdAlias = 0x11;  // older recorders stored 0x11 for 0x10
constexpr size_t kReplyHeadIdAt = 3;

void write_be16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>((value >> 8) & 0xFF);
    p[1] = static_cast<uint8_t>(value & 0xFF);
}

// Converts toward zero like a C cast, but saturates instead of overflowing for values the
// 32-bit range cannot hold (a garbled GPS speed must not make the recorder misbehave).
int64_t truncate_saturating(float value) {
    if (!std::isfinite(value)) return 0;
    if (value >= 2147483647.0f) return 2147483647;
    if (value <= -2147483648.0f) return -2147483648LL;
    return static_cast<int64_t>(value);
}

// The number at the start of a field, read like atoi but never past the field: leading
// blanks, an optional sign, then digits up to the first non-digit.
int32_t leading_number(std::span<const uint8_t> field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    int32_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        if (value < 100000000) value = value * 10 + (field[i] - '0');
    }
    return negative ? -value : value;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int32_t sample_bits_code(int32_t sample_bits) {
    switch (sample_bits) {
        case 4:
            return 0;
        case 8:
            return 1;
        case 16:
            return 2;
        default:
            return -1;
    }
}

// Copies a field up to its first NUL into a text of one byte more, NUL-filled behind it.
template <size_t N>
void take_text(std::span<const uint8_t> field, std::array<char, N>& text) {
    static_assert(N >= 1);
    text.fill(0);
    size_t n = std::min(field.size(), N - 1);
    for (size_t i = 0; i < n && field[i] != 0; ++i) text[i] = static_cast<char>(field[i]);
}

size_t text_length(std::span<const char> text) {
    return static_cast<size_t>(std::find(text.begin(), text.end(), '\0') - text.begin());
}

void compose_date_time(HeadState& head) {
    auto& out = head.date_time_text;
    out.fill(0);
    size_t pos = 0;
    auto append = [&](std::span<const char> part) {
        size_t n = std::min(part.size(), out.size() - 1 - pos);
        std::memcpy(out.data() + pos, part.data(), n);
        pos += n;
    };
    append({head.date_text.data(), text_length(head.date_text)});
    append({"  ", 2});
    append({head.time_text.data(), text_length(head.time_text)});
}

void restore_date(std::span<const uint8_t, kRecordHeaderLength> header, HeadState& head) {
    head.date_text = record_date_text(header);
}

}  // namespace

std::optional<size_t> record_length_for_size_code(int32_t size_code) {
    switch (size_code) {
        case 0:
            return 128;
        case 1:
            return 256;
        case 2:
            return 384;
        case 3:
            return 640;
        default:
            return std::nullopt;
    }
}

std::array<char, kDateTextSize> record_date_text(
    std::span<const uint8_t, kRecordHeaderLength> header) {
    std::array<char, kDateTextSize> date{};
    auto field = header.subspan(kDateAt, kDateFieldLength);
    if (field[kDateFieldLength - 1] == 0) {
        take_text(field, date);
        return date;
    }
    // A five-character year (such as "19113" for 2013) runs into the NUL's place: the first
    // two characters are the century, the last three the year within it.
    int32_t century = leading_number(field.subspan(7, 2));
    int32_t year_part = leading_number(field.subspan(9, 3));
    int32_t year = 100 * century + year_part;
    if (year < 0 || year > 9999) {
        take_text(field, date);  // cannot be repaired: kept as stored
        return date;
    }
    for (size_t i = 0; i < 7; ++i) date[i] = static_cast<char>(field[i]);
    std::snprintf(date.data() + 7, date.size() - 7, "%04d", year);
    return date;
}

uint16_t read_be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

RecordStamp record_stamp_from_state(const Settings& settings, const HeadState& head,
                                    const RunState& run, int32_t ping_interval_ms,
                                    int32_t previous_record_length) {
    RecordStamp stamp;
    stamp.record_size_code = head.record_size_code;
    stamp.date_text = head.date_text;
    stamp.time_text = head.time_text;
    stamp.channel_code = static_cast<int32_t>(settings.channel_code.load());
    stamp.gain = settings.SSGain;
    stamp.held_byte4 = head.held_byte4;
    stamp.frequency_code = head.frequency_code;
    stamp.held_byte9 = head.held_byte9;
    stamp.sample_bits = head.sample_bits;
    stamp.extra_setting_1 = head.extra_setting_1;
    stamp.extra_setting_2 = head.extra_setting_2;
    {
        std::lock_guard lock(head.position_text_lock);
        stamp.position_text = head.position_text;
    }
    stamp.ping_interval_ms = ping_interval_ms;
    stamp.speed_knots = run.speed_knots;
    stamp.heading_degrees = run.heading_degrees;
    stamp.frequency = static_cast<int32_t>(settings.Frequency.load());
    stamp.channel_balance = settings.ChannelBalance;
    stamp.previous_record_length = previous_record_length;
    return stamp;
}

std::optional<size_t> encode_ping_record(const RecordStamp& stamp, std::span<const uint8_t> reply,
                                         std::span<uint8_t, kMaxRecordLength> out) {
    auto length = record_length_for_size_code(stamp.record_size_code);
    if (!length || reply.size() + kMinRecordLength > *length) return std::nullopt;
    const size_t s = *length;
    uint8_t* r = out.data();
    std::memset(r, 0, s);

    std::memcpy(r, kRecordMagic.data(), kRecordMagic.size());
    r[kSizeCodeAt] = static_cast<uint8_t>(stamp.record_size_code);
    write_be16(r + kRecordLengthAt, static_cast<uint32_t>(s));
    write_be16(r + kReplyLengthAt, static_cast<uint32_t>(reply.size()));
    std::memcpy(r + kDateAt, stamp.date_text.data(), kDateFieldLength);
    std::memcpy(r + kTimeAt, stamp.time_text.data(), kTimeFieldLength);

    if (reply.size() > kReplyHeadIdAt && reply[kReplyHeadIdAt] == kSideScanHeadId) {
        r[kSettingsMarkerAt] = kSideScanHeadId;
        r[kChannelAt] = static_cast<uint8_t>(stamp.channel_code);
        r[kGainAt] = static_cast<uint8_t>(stamp.gain);
        r[kByte4At] = static_cast<uint8_t>(stamp.held_byte4);
        r[kFrequencyCodeAt] = static_cast<uint8_t>(stamp.frequency_code);
        int32_t bits_code = sample_bits_code(stamp.sample_bits);
        r[kCommandBitsAt] =
            static_cast<uint8_t>((stamp.held_byte9 & 7) | (bits_code >= 0 ? bits_code << 3 : 0));
        r[kExtra1At] = static_cast<uint8_t>(stamp.extra_setting_1);
        r[kExtra2At] = static_cast<uint8_t>(stamp.extra_setting_2);
    }

    std::memcpy(r + kPositionAt, stamp.position_text.data(), kPositionTextSize);
    write_be16(r + kPingIntervalAt, static_cast<uint32_t>(stamp.ping_interval_ms) & 0xFFFF);
    r[kSpeedAt] = static_cast<uint8_t>(truncate_saturating(stamp.speed_knots * 10.0f) & 0xFF);
    write_be16(r + kHeadingAt,
               static_cast<uint32_t>(truncate_saturating(stamp.heading_degrees * 10.0f) & 0xFFFF));
    r[kFrequencyAt] = static_cast<uint8_t>(stamp.frequency);
    r[kBalanceAt] = static_cast<uint8_t>(stamp.channel_balance | 0x80);
    r[kFormatFlagAt] = 1;

    if (!reply.empty()) std::memcpy(r + kRecordHeaderLength, reply.data(), reply.size());
    write_be16(r + s - 2, static_cast<uint32_t>(s + stamp.previous_record_length) & 0xFFFF);
    return s;
}

const char* record_fault_text(RecordFault fault) {
    switch (fault) {
        case RecordFault::None:
            return "no fault";
        case RecordFault::BadMagic:
            return "record does not start with \"VKD\"";
        case RecordFault::RecordTooShort:
            return "record length below 102 bytes";
        case RecordFault::RecordTooLong:
            return "record length above 1024 bytes";
        case RecordFault::ReplyDoesNotFit:
            return "reply does not fit into its record";
    }
    return "unknown fault";
}

RecordFault check_record_header(std::span<const uint8_t, kRecordHeaderLength> header,
                                RecordLimits& limits) {
    if (!std::equal(kRecordMagic.begin(), kRecordMagic.end(), header.begin())) {
        return RecordFault::BadMagic;
    }
    const size_t s = read_be16(header.data() + kRecordLengthAt);
    const size_t n = read_be16(header.data() + kReplyLengthAt);
    if (s < kMinRecordLength) return RecordFault::RecordTooShort;
    if (s > kMaxRecordLength) return RecordFault::RecordTooLong;
    if (n > s - kMinRecordLength || n > kHeadReplyCapacity) return RecordFault::ReplyDoesNotFit;
    limits = {s, n};
    return RecordFault::None;
}

bool position_text_is_valid(std::span<const char, kPositionTextSize> t) {
    auto digits = [&](size_t from, size_t count) {
        for (size_t i = from; i < from + count; ++i) {
            if (!is_digit(t[i])) return false;
        }
        return true;
    };
    return t[0] == ' ' && digits(1, 2) && t[3] == '.' && digits(4, 2) && t[6] == '.' &&
           digits(7, 3) && t[10] == ' ' && (t[11] == 'N' || t[11] == 'S') && digits(12, 3) &&
           t[15] == '.' && digits(16, 2) && t[18] == '.' && digits(19, 3) && t[22] == ' ' &&
           (t[23] == 'E' || t[23] == 'W');
}

void restore_record_header(std::span<const uint8_t, kRecordHeaderLength> h,
                           const RecordContext& into) {
    HeadState& head = into.head;
    DataFileState& file = into.datafile;
    Settings& settings = into.settings;
    RunState& run = into.run;

    head.record_size_code = h[kSizeCodeAt];
    head.reply_length = read_be16(h.data() + kReplyLengthAt);

    restore_date(h, head);
    take_text(h.subspan(kTimeAt, kTimeFieldLength), head.time_text);
    compose_date_time(head);
    {
        size_t len = text_length(head.time_text);
        head.time_seconds =
            len > 6 ? leading_number(
                          {reinterpret_cast<const uint8_t*>(head.time_text.data()) + 6, len - 6})
                    : 0;
    }

    head.current_head_id = h[kSettingsMarkerAt];
    uint8_t marker =
        h[kSettingsMarkerAt] == kStoredHeadIdAlias ? kSideScanHeadId : h[kSettingsMarkerAt];
    if (marker == kSideScanHeadId) {
        static constexpr int32_t kSideOfChannel[4] = {0, 2, 1, 3};
        file.file_side = kSideOfChannel[h[kChannelAt] & 3];
        settings.SSGain = h[kGainAt];
        head.held_byte4 = h[kByte4At];
        head.frequency_code = h[kFrequencyCodeAt];
        head.held_byte9 = h[kCommandBitsAt] & 7;
        switch ((h[kCommandBitsAt] >> 3) & 7) {
            case 0:
                head.sample_bits = 4;
                break;
            case 1:
                head.sample_bits = 8;
                break;
            case 2:
                head.sample_bits = 16;
                break;
            default:
                break;
        }
        head.extra_setting_1 = h[kExtra1At];
        head.extra_setting_2 = h[kExtra2At];
    }

    bool valid = true;
    if (h[kPositionAt] != 0) {
        std::array<char, kPositionTextSize> text{};
        std::memcpy(text.data(), h.data() + kPositionAt, kPositionTextSize);
        valid = position_text_is_valid(text);
        if (valid) {
            std::lock_guard lock(head.position_text_lock);
            head.position_text = text;
        }
    }
    file.file_position_valid = valid ? 1 : 0;

    into.ping.ping_interval_ms = read_be16(h.data() + kPingIntervalAt);

    if (valid) {
        const uint8_t v = h[kSpeedAt];
        if (v < 100) {
            run.speed_knots = v == 0 ? 3.0f : static_cast<float>(v * 0.1);
            run.heading_degrees = static_cast<float>(read_be16(h.data() + kHeadingAt) / 10);
        }
        // A placeholder speed (3.0, as stored for "no speed") or heading (0) does not
        // replace the last real one read from this file.
        float speed = run.speed_knots;
        if (speed == 3.0f && file.file_last_speed != speed) {
            run.speed_knots = file.file_last_speed;
        } else {
            file.file_last_speed = speed;
        }
        float heading = run.heading_degrees;
        if (heading == 0.0f && file.file_last_heading != heading) {
            run.heading_degrees = file.file_last_heading;
        } else {
            file.file_last_heading = heading;
        }
    }

    settings.file_frequency = h[kFrequencyAt] != 0 ? FrequencyBand::High : FrequencyBand::Low;
    file.file_channel_balance = (h[kBalanceAt] & 0x80) ? (h[kBalanceAt] & 0x7F) : 30;
    file.file_format_flag = h[kFormatFlagAt];
}

void restore_head_reply(std::span<const uint8_t> record, const RecordLimits& limits,
                        HeadState& head) {
    const size_t n = std::min(
        {limits.reply_length, head.head_reply.size(),
         record.size() > kRecordHeaderLength ? record.size() - kRecordHeaderLength : size_t{0}});
    std::memcpy(head.head_reply.data(), record.data() + kRecordHeaderLength, n);
    std::fill(head.head_reply.begin() + static_cast<std::ptrdiff_t>(n), head.head_reply.end(), 0);
    if (n > kReplyHeadIdAt && head.head_reply[kReplyHeadIdAt] == kStoredHeadIdAlias) {
        head.head_reply[kReplyHeadIdAt] = kSideScanHeadId;
    }
}

void take_head_model_from_reply(HeadState& head, const DataFileState& file) {
    const uint8_t letter = head.head_reply[1];
    head.head_type = letter;
    if (letter == kHeadTypeG) {
        head.samples_per_line = 400;
        int32_t span = 400;
        if (file.file_format_flag == 1) {
            switch (head.head_reply[7]) {
                case 15:
                case 30:
                    span = 533;
                    break;
                case 90:
                    span = 511;
                    break;
                case 150:
                    span = 507;
                    break;
                default:
                    span = 500;
                    break;
            }
        }
        head.line_span = span;
    } else if (letter == kHeadTypeH) {
        head.samples_per_line = 500;
        head.line_span = 500;
    }
}

}  // namespace kelvanor
