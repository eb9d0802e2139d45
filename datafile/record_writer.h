#pragma once
// Appending whole records to a record or copy file. Each record goes out with one write();
// a failed or short write is counted and reported as a failure, never taken for success.
// Appends and the close are serialised, so the GUI thread can close the file (Record Stop)
// while the acquisition thread records. The file is flushed to stable storage at least once a
// second by a RecordSyncer of its own and at the close.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "datafile/ping_record.h"
#include "datafile/record_syncer.h"

namespace kelvanor {

class RecordWriter {
  public:
    // Creates (or truncates) the file; on failure the reason (strerror text) is in `error`.
    static std::optional<RecordWriter> create(const std::string& path, std::string& error,
                                              SyncOptions sync = {});

    RecordWriter(RecordWriter&& other) noexcept;
    RecordWriter& operator=(RecordWriter&&) = delete;
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;
    ~RecordWriter();

    // Writes the bytes with one write(). True only when all of them were written.
    bool append(std::span<const uint8_t> bytes);
    // Closes the file; later appends fail. Waits for an append under way, then flushes what
    // was written to stable storage (without holding the append lock meanwhile).
    void close();

    int64_t bytes_written() const;           // bytes actually written since creation
    int64_t failed_writes() const;           // appends that wrote less than asked
    int32_t previous_record_length() const;  // length of the last record written, 0 at start
    int64_t failed_syncs() const;            // flushes to storage that failed

    // Builds the record of the ping in flight from the shared state and appends it; keeps
    // the back-link chain. False when the record could not be built or written.
    bool write_ping_record(const Settings& settings, const HeadState& head, const RunState& run,
                           int32_t ping_interval_ms);
    // The same from an explicit stamp and reply (the stamp's previous_record_length is
    // replaced by this writer's).
    bool write_ping_record(RecordStamp stamp, std::span<const uint8_t> reply);

  private:
    RecordWriter(int fd, SyncOptions sync);
    bool append_locked(std::span<const uint8_t> bytes);

    mutable std::mutex mutex_;
    int fd_ = -1;
    int64_t bytes_written_ = 0;
    int64_t failed_writes_ = 0;
    int32_t previous_record_length_ = 0;
    std::unique_ptr<RecordSyncer> syncer_;
    int64_t closed_sync_failures_ = 0;
};

}  // namespace kelvanor
