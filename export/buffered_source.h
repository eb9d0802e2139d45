#pragma once
// A record source read through a buffer of its own: one large read of the file serves many
// small reads of records, for batch work that streams whole files.

#include <cstdint>
#include <span>
#include <vector>

#include "datafile/record_source.h"

namespace kelvanor {

class BufferedRecordSource final : public RecordSource {
  public:
    explicit BufferedRecordSource(RecordSource& inner, size_t buffer_bytes = 1 << 20)
        : inner_(inner), buffer_(buffer_bytes), position_(inner.tell()) {}

    size_t read(std::span<uint8_t> out) override;
    bool seek(int64_t offset) override;
    int64_t tell() const override { return position_; }
    int64_t size() override { return inner_.size(); }
    FileIdentity identity() override { return inner_.identity(); }

  private:
    RecordSource& inner_;
    std::vector<uint8_t> buffer_;
    int64_t buffer_start_ = 0;  // file offset of buffer_[0]
    size_t buffer_length_ = 0;  // bytes of buffer_ that hold the file
    int64_t position_ = 0;
};

}  // namespace kelvanor
