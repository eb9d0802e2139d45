#pragma once
// A reader of the XTF files the exporter writes, for the tests only: every field by its
// offset, independent of the writer's code.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kelvanor::test {

struct XtfChannelInfo {
    int type = 0, correction = 0, unipolar = 0, bytes_per_sample = 0, sample_format = 0;
    uint32_t reserved = 0;
    std::string name;
    float frequency = 0;
};

struct XtfFileHeader {
    int format = 0, system = 0, nav_units = 0, sonar_channels = 0, bathy_channels = 0;
    std::string program, version, file_name;
    XtfChannelInfo channels[2];
};

struct XtfChannel {
    int number = -1;
    float slant_range = 0, ground_range = 0, time_delay = 0, time_duration = 0,
          seconds_per_ping = 0;
    int frequency = 0, initial_gain = 0, gain = 0;
    uint32_t samples = 0;
    std::vector<uint32_t> data;  // one value per sample
};

struct XtfPacket {
    int magic = 0, header_type = 0, channels_to_follow = 0;
    uint32_t bytes = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, hundredths = 0,
        julian_day = 0;
    uint32_t ping_number = 0;
    float sound_velocity = 0, ship_speed = 0, ship_gyro = 0, sensor_speed = 0, altitude = 0,
          sensor_heading = 0, layback = 0;
    double ship_y = 0, ship_x = 0, sensor_y = 0, sensor_x = 0;
    int fix_hour = 0, fix_minute = 0, fix_second = 0;
    uint32_t fix_milliseconds = 0;
    XtfChannel channel[2];
    bool padding_zero = true;
};

struct XtfFile {
    bool ok = false;
    std::string fault;
    XtfFileHeader header;
    std::vector<XtfPacket> packets;
};

namespace xtf_detail {
inline uint32_t u8(const uint8_t* p) {
    return p[0];
}
inline uint32_t u16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
inline uint32_t u32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline float f32(const uint8_t* p) {
    uint32_t b = u32(p);
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}
inline double f64(const uint8_t* p) {
    uint64_t b = u32(p) | (static_cast<uint64_t>(u32(p + 4)) << 32);
    double v;
    std::memcpy(&v, &b, 8);
    return v;
}
inline std::string text(const uint8_t* p, size_t n) {
    size_t len = 0;
    while (len < n && p[len] != 0) ++len;
    return std::string(reinterpret_cast<const char*>(p), len);
}
}  // namespace xtf_detail

inline XtfFile read_xtf(const std::vector<uint8_t>& bytes) {
    using namespace xtf_detail;
    XtfFile file;
    if (bytes.size() < 1024) {
        file.fault = "shorter than a file header";
        return file;
    }
    const uint8_t* h = bytes.data();
    XtfFileHeader& fh = file.header;
    fh.format = static_cast<int>(u8(h));
    fh.system = static_cast<int>(u8(h + 1));
    fh.program = text(h + 2, 8);
    fh.version = text(h + 10, 8);
    fh.file_name = text(h + 100, 64);
    fh.nav_units = static_cast<int>(u16(h + 164));
    fh.sonar_channels = static_cast<int>(u16(h + 166));
    fh.bathy_channels = static_cast<int>(u16(h + 168));
    for (int c = 0; c < 2; ++c) {
        const uint8_t* ci = h + 256 + 128 * c;
        XtfChannelInfo& info = fh.channels[c];
        info.type = static_cast<int>(u8(ci));
        info.correction = static_cast<int>(u16(ci + 2));
        info.unipolar = static_cast<int>(u16(ci + 4));
        info.bytes_per_sample = static_cast<int>(u16(ci + 6));
        info.reserved = u32(ci + 8);
        info.name = text(ci + 12, 16);
        info.frequency = f32(ci + 32);
        info.sample_format = static_cast<int>(u8(ci + 74));
    }
    size_t at = 1024;
    while (at < bytes.size()) {
        if (bytes.size() - at < 256) {
            file.fault = "a packet header is cut off";
            return file;
        }
        const uint8_t* p = bytes.data() + at;
        XtfPacket k;
        k.magic = static_cast<int>(u16(p));
        k.header_type = static_cast<int>(u8(p + 2));
        k.channels_to_follow = static_cast<int>(u16(p + 4));
        k.bytes = u32(p + 10);
        if (k.magic != 0xFACE || k.bytes < 256 || k.bytes > bytes.size() - at) {
            file.fault = "bad packet at " + std::to_string(at);
            return file;
        }
        k.year = static_cast<int>(u16(p + 14));
        k.month = static_cast<int>(p[16]);
        k.day = static_cast<int>(p[17]);
        k.hour = static_cast<int>(p[18]);
        k.minute = static_cast<int>(p[19]);
        k.second = static_cast<int>(p[20]);
        k.hundredths = static_cast<int>(p[21]);
        k.julian_day = static_cast<int>(u16(p + 22));
        k.ping_number = u32(p + 28);
        k.sound_velocity = f32(p + 32);
        k.ship_speed = f32(p + 120);
        k.ship_gyro = f32(p + 124);
        k.ship_y = f64(p + 128);
        k.ship_x = f64(p + 136);
        k.fix_hour = p[148];
        k.fix_minute = p[149];
        k.fix_second = p[150];
        k.sensor_speed = f32(p + 152);
        k.sensor_y = f64(p + 160);
        k.sensor_x = f64(p + 168);
        k.layback = f32(p + 184);
        k.altitude = f32(p + 196);
        k.sensor_heading = f32(p + 212);
        k.fix_milliseconds = u32(p + 232);
        size_t c_at = 256;
        for (int c = 0; c < k.channels_to_follow && c < 2; ++c) {
            if (c_at + 64 > k.bytes) {
                file.fault = "channel header beyond its packet";
                return file;
            }
            const uint8_t* ch = p + c_at;
            XtfChannel& x = k.channel[c];
            x.number = static_cast<int>(u16(ch));
            x.slant_range = f32(ch + 4);
            x.ground_range = f32(ch + 8);
            x.time_delay = f32(ch + 12);
            x.time_duration = f32(ch + 16);
            x.seconds_per_ping = f32(ch + 20);
            x.frequency = static_cast<int>(u16(ch + 26));
            x.initial_gain = static_cast<int>(u16(ch + 28));
            x.gain = static_cast<int>(u16(ch + 30));
            x.samples = u32(ch + 42);
            const int bps = fh.channels[x.number == 1 ? 1 : 0].bytes_per_sample;
            c_at += 64;
            if (c_at + static_cast<size_t>(x.samples) * bps > k.bytes) {
                file.fault = "samples beyond their packet";
                return file;
            }
            for (uint32_t i = 0; i < x.samples; ++i) {
                x.data.push_back(bps == 2 ? u16(p + c_at + 2 * i) : u8(p + c_at + i));
            }
            c_at += static_cast<size_t>(x.samples) * bps;
        }
        for (size_t i = c_at; i < k.bytes; ++i) k.padding_zero = k.padding_zero && p[i] == 0;
        file.packets.push_back(std::move(k));
        at += file.packets.back().bytes;
    }
    file.ok = true;
    return file;
}

}  // namespace kelvanor::test
