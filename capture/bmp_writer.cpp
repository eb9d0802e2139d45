#include "capture/bmp_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kelvanor {
namespace {

void put_u16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put_u32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> encode_bmp24(const uint32_t* pixels, int width, int height, int stride) {
    if (width <= 0 || height <= 0) return {};
    const uint32_t row_size = bmp_row_size(width);
    const uint32_t data_size = row_size * static_cast<uint32_t>(height);
    std::vector<uint8_t> out(54 + data_size, 0);
    out[0] = 'B';
    out[1] = 'M';
    put_u32(out, 2, 54 + data_size);
    put_u32(out, 10, 54);
    put_u32(out, 14, 40);
    put_u32(out, 18, static_cast<uint32_t>(width));
    put_u32(out, 22, static_cast<uint32_t>(height));
    put_u16(out, 26, 1);
    put_u16(out, 28, 24);
    put_u32(out, 34, data_size);
    for (int row = 0; row < height; ++row) {
        const uint32_t* src = pixels + static_cast<size_t>(height - 1 - row) * stride;
        uint8_t* dst = out.data() + 54 + static_cast<size_t>(row) * row_size;
        for (int x = 0; x < width; ++x) {
            dst[3 * x] = static_cast<uint8_t>(src[x]);            // blue
            dst[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);   // green
            dst[3 * x + 2] = static_cast<uint8_t>(src[x] >> 16);  // red
        }
    }
    return out;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            ok = false;
        }
    }
    return (::close(fd) == 0) && ok;
}

}  // namespace kelvanor
