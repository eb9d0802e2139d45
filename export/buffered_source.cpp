#include "export/buffered_source.h"

#include <algorithm>
#include <cstring>

namespace kelvanor {

size_t BufferedRecordSource::read(std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        const int64_t in_buffer = position_ - buffer_start_;
        if (in_buffer >= 0 && static_cast<size_t>(in_buffer) < buffer_length_) {
            const size_t n =
                std::min(out.size() - done, buffer_length_ - static_cast<size_t>(in_buffer));
            std::memcpy(out.data() + done, buffer_.data() + in_buffer, n);
            done += n;
            position_ += static_cast<int64_t>(n);
            continue;
        }
        if (!inner_.seek(position_)) break;
        buffer_start_ = position_;
        buffer_length_ = inner_.read(buffer_);
        if (buffer_length_ == 0) break;
    }
    return done;
}

bool BufferedRecordSource::seek(int64_t offset) {
    if (offset < 0 || offset > inner_.size()) return false;
    position_ = offset;
    return true;
}

}  // namespace kelvanor
