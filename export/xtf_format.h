#pragma once
// XTF, the interchange format of side-scan data, as this program writes it: a 1024-byte file
// header naming two sonar channels (port and starboard), then one sonar packet per ping (a
// 256-byte ping header, per channel a 64-byte channel header and its samples, zero padding
// to a multiple of 64 bytes). Everything little-endian, every byte defined.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "geo/sample_range.h"
#include "geo/track.h"

namespace kelvanor {

inline constexpr size_t kXtfFileHeaderSize = 1024;
inline constexpr size_t kXtfPingHeaderSize = 256;
inline constexpr size_t kXtfChannelHeaderSize = 64;
inline constexpr size_t kXtfPacketAlignment = 64;
inline constexpr uint16_t kXtfMagic = 0xFACE;
// Readers turn time into range with this one-way sound velocity (m/s).
inline constexpr float kXtfSoundVelocity = 750.0f;

struct XtfSettings {
    // The recording's clock is this many hours ahead of UTC; the file holds UTC.
    double utc_offset_hours = 0.0;
    SensorOffsets offsets;  // where the sonar is relative to the GPS antenna
    // Acoustic frequency of the low and high setting; 0 when not known (the record holds
    // only which of the two was in use).
    float low_frequency_khz = 0.0f;
    float high_frequency_khz = 0.0f;
    int32_t bytes_per_sample = 1;  // 1, or 2 for 16-bit samples
    std::string file_name;         // the XTF file's own name, without folders
};

// Whole hundredths of a second in a fraction of one (0..99).
int32_t hundredths_of(double fraction);

// Bytes per sample that a ping's samples need: 2 for 16-bit records, else 1.
int32_t xtf_bytes_per_sample(const RecordEchoes& echoes);

std::array<uint8_t, kXtfFileHeaderSize> encode_xtf_file_header(const XtfSettings& settings,
                                                               int32_t first_frequency);

// What a sonar packet says about a ping beyond its samples.
struct XtfPingFields {
    int64_t utc_seconds = 0;  // whole seconds since 1970
    int32_t hundredths = 0;
    int64_t fix_utc_seconds = 0;
    bool has_position = false;
    GeoPoint ship;    // the GPS antenna
    GeoPoint sensor;  // the sonar, offsets and layback applied
    float speed_knots = 0.0f;
    float heading_degrees = 0.0f;
    float altitude_metres = 0.0f;
};
XtfPingFields xtf_ping_fields(const TrackPing& ping, const XtfSettings& settings);

// Appends the sonar packet of a ping that holds a valid reply; false (nothing appended)
// for one that does not.
bool append_xtf_ping(const TrackPing& ping, const XtfSettings& settings, std::vector<uint8_t>& out);

}  // namespace kelvanor
