#pragma once
// Builders of ping records for the data-file tests.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/ping_record.h"

namespace kelvanor::test {

// A 'G' reply of 413 bytes with head id 0x10, range byte 120 and a ramp of echo bytes.
inline std::vector<uint8_t> g_reply(uint8_t head_id = 0x10) {
    std::vector<uint8_t> reply(413, 0);
    reply[0] = 'Q';
    reply[1] = 'G';
    reply[2] = 'Z';
    reply[3] = head_id;
    reply[7] = 120;
    for (size_t i = 12; i + 1 < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i % 200);
    reply.back() = 0xFC;
    return reply;
}

inline RecordStamp sample_stamp() {
    RecordStamp s;
    std::memcpy(s.date_text.data(), "14-MAY-2024", 12);
    std::memcpy(s.time_text.data(), "09:30:07", 9);
    s.channel_code = 2;
    s.gain = 17;
    s.frequency_code = 20;
    s.sample_bits = 8;
    std::memcpy(s.position_text.data(), " 54.21.123 N010.07.456 E", 24);
    s.ping_interval_ms = 198;
    s.speed_knots = 4.5f;
    s.heading_degrees = 123.4f;
    s.frequency = 1;
    s.channel_balance = 25;
    return s;
}

inline std::vector<uint8_t> encode(const RecordStamp& stamp, const std::vector<uint8_t>& reply) {
    RecordBuffer buffer{};
    auto n = encode_ping_record(stamp, reply, buffer);
    return n ? std::vector<uint8_t>(buffer.begin(), buffer.begin() + *n) : std::vector<uint8_t>{};
}

inline void append(std::vector<uint8_t>& file, const std::vector<uint8_t>& record) {
    file.insert(file.end(), record.begin(), record.end());
}

inline std::string text_of(const char* p) {
    return std::string(p);
}

}  // namespace kelvanor::test
