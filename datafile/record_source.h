#pragma once
// Where playback and the vkd tool read records from: a file on disk, or bytes in memory
// (tests and the fuzzer). Reads never go past what the source holds.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "datafile/datafile_state.h"

namespace kelvanor {

class RecordSource {
  public:
    virtual ~RecordSource() = default;
    // Reads up to out.size() bytes at the current position; fewer only at the end of the
    // source or on a read error.
    virtual size_t read(std::span<uint8_t> out) = 0;
    // Moves to an offset within 0..size(); false when the offset is outside.
    virtual bool seek(int64_t offset) = 0;
    virtual int64_t tell() const = 0;
    virtual int64_t size() = 0;
    // Changes whenever the content may have changed.
    virtual FileIdentity identity() = 0;
};

// A read-only file on disk, closed with the object.
class PosixRecordFile final : public RecordSource {
  public:
    // Opens for reading; on failure the reason (strerror text) is in `error`.
    static std::optional<PosixRecordFile> open(const std::string& path, std::string& error);

    PosixRecordFile(PosixRecordFile&& other) noexcept;
    PosixRecordFile& operator=(PosixRecordFile&& other) noexcept;
    PosixRecordFile(const PosixRecordFile&) = delete;
    PosixRecordFile& operator=(const PosixRecordFile&) = delete;
    ~PosixRecordFile() override;

    size_t read(std::span<uint8_t> out) override;
    bool seek(int64_t offset) override;
    int64_t tell() const override { return position_; }
    int64_t size() override;
    FileIdentity identity() override;

  private:
    explicit PosixRecordFile(int fd) : fd_(fd) {}
    int fd_ = -1;
    int64_t position_ = 0;
};

// Bytes held by someone else, read like a file.
class MemoryRecordSource final : public RecordSource {
  public:
    explicit MemoryRecordSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t read(std::span<uint8_t> out) override;
    bool seek(int64_t offset) override;
    int64_t tell() const override { return position_; }
    int64_t size() override { return static_cast<int64_t>(bytes_.size()); }
    FileIdentity identity() override { return {size(), 0}; }

  private:
    std::span<const uint8_t> bytes_;
    int64_t position_ = 0;
};

}  // namespace kelvanor
