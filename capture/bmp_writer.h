#pragma once
// Screen captures as 24-bit Windows bitmaps: a 14-byte file header, a 40-byte info header,
// no colour table, rows bottom-up in blue-green-red order, each padded to a multiple of 4.

#include <cstdint>
#include <string>
#include <vector>

namespace kelvanor {

// Bytes of one padded pixel row of a 24-bit bitmap `width` pixels wide.
constexpr uint32_t bmp_row_size(int width) {
    return (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
}

// Encodes a top-down image of 0xAARRGGBB words (`stride` words from one row to the next).
std::vector<uint8_t> encode_bmp24(const uint32_t* pixels, int width, int height, int stride);

// Writes the bytes as the whole new content of `path`. False when the file could not be
// created or fully written.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace kelvanor
