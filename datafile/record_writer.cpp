#include "datafile/record_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kelvanor {

std::optional<RecordWriter> RecordWriter::create(const std::string& path, std::string& error,
                                                 SyncOptions sync) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    return RecordWriter(fd, std::move(sync));
}

RecordWriter::RecordWriter(int fd, SyncOptions sync)
    : fd_(fd), syncer_(std::make_unique<RecordSyncer>(fd, std::move(sync))) {}

RecordWriter::RecordWriter(RecordWriter&& other) noexcept {
    std::lock_guard lock(other.mutex_);
    fd_ = std::exchange(other.fd_, -1);
    bytes_written_ = other.bytes_written_;
    failed_writes_ = other.failed_writes_;
    previous_record_length_ = other.previous_record_length_;
    syncer_ = std::move(other.syncer_);
}

RecordWriter::~RecordWriter() {
    close();
}

void RecordWriter::close() {
    std::unique_ptr<RecordSyncer> syncer;
    {
        std::lock_guard lock(mutex_);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        syncer = std::move(syncer_);
    }
    // The syncer flushes through its own descriptor: the last flush needs no append lock.
    if (syncer) {
        syncer->stop();
        std::lock_guard lock(mutex_);
        closed_sync_failures_ = syncer->failures();
    }
}

bool RecordWriter::append(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    return append_locked(bytes);
}

bool RecordWriter::append_locked(std::span<const uint8_t> bytes) {
    if (fd_ < 0) {
        ++failed_writes_;
        return false;
    }
    ssize_t written;
    do {
        written = ::write(fd_, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(bytes.size())) {
        bytes_written_ += written;
        if (syncer_) syncer_->note_written(bytes_written_);
        return true;
    }
    // A short write leaves part of a record: cut it off again, so that the file holds whole
    // records only and the next record, if any, starts where a reader expects one.
    if (written > 0 && ::ftruncate(fd_, bytes_written_) == 0)
        ::lseek(fd_, bytes_written_, SEEK_SET);
    ++failed_writes_;
    return false;
}

int64_t RecordWriter::bytes_written() const {
    std::lock_guard lock(mutex_);
    return bytes_written_;
}

int64_t RecordWriter::failed_writes() const {
    std::lock_guard lock(mutex_);
    return failed_writes_;
}

int64_t RecordWriter::failed_syncs() const {
    std::lock_guard lock(mutex_);
    return syncer_ ? syncer_->failures() : closed_sync_failures_;
}

int32_t RecordWriter::previous_record_length() const {
    std::lock_guard lock(mutex_);
    return previous_record_length_;
}

bool RecordWriter::write_ping_record(const Settings& settings, const HeadState& head,
                                     const RunState& run, int32_t ping_interval_ms) {
    const size_t n = std::min<size_t>(static_cast<size_t>(std::max<int32_t>(head.reply_length, 0)),
                                      head.head_reply.size());
    return write_ping_record(record_stamp_from_state(settings, head, run, ping_interval_ms, 0),
                             std::span<const uint8_t>(head.head_reply.data(), n));
}

bool RecordWriter::write_ping_record(RecordStamp stamp, std::span<const uint8_t> reply) {
    RecordBuffer buffer;
    std::lock_guard lock(mutex_);
    stamp.previous_record_length = previous_record_length_;
    auto length = encode_ping_record(stamp, reply, buffer);
    if (!length) {
        ++failed_writes_;
        return false;
    }
    // The back-link points at the last record that reached the file.
    if (!append_locked(std::span<const uint8_t>(buffer.data(), *length))) return false;
    previous_record_length_ = static_cast<int32_t>(*length);
    return true;
}

}  // namespace kelvanor
