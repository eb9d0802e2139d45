#include "export/xtf_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvanor {

namespace {

void put_u8(uint8_t* p, size_t at, uint32_t v) {
    p[at] = static_cast<uint8_t>(v);
}
void put_u16(uint8_t* p, size_t at, uint32_t v) {
    p[at] = static_cast<uint8_t>(v);
    p[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put_u32(uint8_t* p, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put_f32(uint8_t* p, size_t at, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put_u32(p, at, bits);
}
void put_f64(uint8_t* p, size_t at, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) p[at + i] = static_cast<uint8_t>(bits >> (8 * i));
}
void put_text(uint8_t* p, size_t at, size_t width, const std::string& text) {
    std::memcpy(p + at, text.data(), std::min(width, text.size()));
}

float frequency_khz(const XtfSettings& s, int32_t frequency) {
    return frequency == 1 ? s.high_frequency_khz : s.low_frequency_khz;
}

// Positions that went through trigonometry are cut to 1e-9 degree (0.1 mm), so that the
// last bits of a platform's libm do not reach the file.
double stable_degrees(double v) {
    return std::round(v * 1e9) / 1e9;
}

}  // namespace

int32_t hundredths_of(double fraction) {
    return std::clamp(static_cast<int32_t>(fraction * 100.0 + 1e-6), 0, 99);
}

int32_t xtf_bytes_per_sample(const RecordEchoes& echoes) {
    return echoes.sample_bits == 16 ? 2 : 1;
}

std::array<uint8_t, kXtfFileHeaderSize> encode_xtf_file_header(const XtfSettings& s,
                                                               int32_t first_frequency) {
    std::array<uint8_t, kXtfFileHeaderSize> h{};
    uint8_t* p = h.data();
    put_u8(p, 0, 0x7B);
    put_u8(p, 1, 1);
    put_text(p, 2, 8, "KELVANOR");
    put_text(p, 10, 8, "223");
    put_text(p, 18, 16, "Marlinray");
    put_u16(p, 34, 0);
    put_text(p, 36, 64, "exported by vkd export");
    put_text(p, 100, 64, s.file_name);
    put_u16(p, 164, 3);  // latitude/longitude in degrees
    put_u16(p, 166, 2);  // two sonar channels
    const float khz = frequency_khz(s, first_frequency);
    for (int c = 0; c < 2; ++c) {
        uint8_t* info = p + 256 + 128 * c;
        put_u8(info, 0, c == 0 ? 1 : 2);  // port, starboard
        put_u16(info, 2, 1);              // slant range, not corrected
        put_u16(info, 4, 1);              // unsigned samples
        put_u16(info, 6, static_cast<uint32_t>(s.bytes_per_sample));
        put_u32(info, 8, 1024);  // some readers fail on 0 here
        put_text(info, 12, 16, c == 0 ? "Port" : "Starboard");
        put_f32(info, 32, khz);
        put_u8(info, 74, s.bytes_per_sample == 2 ? 3 : 8);
    }
    return h;
}

XtfPingFields xtf_ping_fields(const TrackPing& ping, const XtfSettings& s) {
    XtfPingFields f;
    const auto offset = static_cast<int64_t>(std::llround(s.utc_offset_hours * 3600.0));
    if (ping.has_time) {
        f.utc_seconds = ping.time_second - offset;
        f.hundredths = hundredths_of(ping.time_fraction);
    }
    f.fix_utc_seconds = static_cast<int64_t>(ping.fix_time_seconds) - offset;
    f.speed_knots = static_cast<float>(ping.speed_knots.value_or(0.0));
    f.heading_degrees = static_cast<float>(ping.heading_degrees.value_or(0.0));
    if (ping.echoes && ping.echoes->bottom_value != 0) {
        f.altitude_metres = static_cast<float>(ping.echoes->bottom_value) / 100.0f;
    } else {
        float best = 0.0f;
        for (const auto& a : ping.altitude_metres) {
            if (a && (best == 0.0f || *a < best)) best = *a;
        }
        f.altitude_metres = best;
    }
    f.has_position = ping.has_position;
    if (ping.has_position) {
        f.ship = ping.position;
        f.sensor = ping.position;
        const SensorOffsets& o = s.offsets;
        if (ping.heading_degrees &&
            (o.forward_metres != 0.0 || o.starboard_metres != 0.0 || o.layback_metres != 0.0)) {
            const GeoPoint moved = sensor_position(ping.position, *ping.heading_degrees, o);
            f.sensor = {stable_degrees(moved.latitude_degrees),
                        stable_degrees(moved.longitude_degrees)};
        }
    }
    return f;
}

bool append_xtf_ping(const TrackPing& ping, const XtfSettings& s, std::vector<uint8_t>& out) {
    if (!ping.echoes) return false;
    const RecordEchoes& e = *ping.echoes;
    const XtfPingFields f = xtf_ping_fields(ping, s);
    const size_t bps = static_cast<size_t>(s.bytes_per_sample == 2 ? 2 : 1);
    const auto n = static_cast<size_t>(std::max(e.samples_per_side, 0));
    const size_t unpadded = kXtfPingHeaderSize + 2 * (kXtfChannelHeaderSize + n * bps);
    const size_t size =
        (unpadded + kXtfPacketAlignment - 1) / kXtfPacketAlignment * kXtfPacketAlignment;
    const size_t start = out.size();
    out.resize(start + size, 0);
    uint8_t* p = out.data() + start;

    const CivilTime t = civil_from_seconds(f.utc_seconds);
    const CivilTime fix = civil_from_seconds(f.fix_utc_seconds);
    put_u16(p, 0, kXtfMagic);
    put_u8(p, 2, 0);  // sonar
    put_u16(p, 4, 2);
    put_u32(p, 10, static_cast<uint32_t>(size));
    put_u16(p, 14, static_cast<uint32_t>(t.year));
    put_u8(p, 16, static_cast<uint32_t>(t.month));
    put_u8(p, 17, static_cast<uint32_t>(t.day));
    put_u8(p, 18, static_cast<uint32_t>(t.hour));
    put_u8(p, 19, static_cast<uint32_t>(t.minute));
    put_u8(p, 20, static_cast<uint32_t>(t.second));
    put_u8(p, 21, static_cast<uint32_t>(f.hundredths));
    put_u16(p, 22, static_cast<uint32_t>(t.day_of_year));
    put_u32(p, 28, static_cast<uint32_t>(ping.index));
    put_f32(p, 32, kXtfSoundVelocity);
    put_f32(p, 120, f.speed_knots);
    put_f32(p, 124, f.heading_degrees);
    if (f.has_position) {
        put_f64(p, 128, f.ship.latitude_degrees);
        put_f64(p, 136, f.ship.longitude_degrees);
        put_u8(p, 148, static_cast<uint32_t>(fix.hour));
        put_u8(p, 149, static_cast<uint32_t>(fix.minute));
        put_u8(p, 150, static_cast<uint32_t>(fix.second));
        put_f64(p, 160, f.sensor.latitude_degrees);
        put_f64(p, 168, f.sensor.longitude_degrees);
        put_u32(p, 232, static_cast<uint32_t>((f.fix_utc_seconds % 86400 + 86400) % 86400 * 1000));
    }
    put_f32(p, 152, f.speed_knots);
    put_f32(p, 196, f.altitude_metres);
    put_f32(p, 212, f.heading_degrees);

    const auto range = static_cast<float>(e.range_metres);
    uint8_t* c = p + kXtfPingHeaderSize;
    for (SonarSide side : {SonarSide::Port, SonarSide::Starboard}) {
        put_u16(c, 0, side == SonarSide::Port ? 0 : 1);
        put_f32(c, 4, range);
        put_f32(c, 16, range / kXtfSoundVelocity);
        put_f32(c, 20, static_cast<float>(e.ping_interval_ms) / 1000.0f);
        put_u16(c, 26, static_cast<uint32_t>(std::lround(frequency_khz(s, e.frequency))));
        put_u16(c, 28, static_cast<uint32_t>(e.gain));
        put_u16(c, 30, static_cast<uint32_t>(e.gain));
        put_u32(c, 42, static_cast<uint32_t>(n));
        uint8_t* samples = c + kXtfChannelHeaderSize;
        if (e.holds(side)) {
            // Port runs from far range in to the head, starboard from the head out.
            const bool reverse = side == SonarSide::Port;
            for (size_t i = 0; i < n; ++i) {
                const auto k = static_cast<int32_t>(reverse ? n - 1 - i : i);
                uint32_t v = e.sample(side, k);
                if (bps == 1) {
                    if (e.sample_bits == 16) v >>= 8;
                    samples[i] = static_cast<uint8_t>(v);
                } else {
                    if (e.sample_bits == 8) v <<= 8;
                    if (e.sample_bits == 4) v <<= 12;
                    put_u16(samples, 2 * i, v);
                }
            }
        }
        c += kXtfChannelHeaderSize + n * bps;
    }
    return true;
}

}  // namespace kelvanor
