#include "datafile/record_syncer.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace kelvanor {

RecordSyncer::RecordSyncer(int fd, SyncOptions options) : options_(std::move(options)) {
    if (!options_.sync) options_.sync = [](int descriptor) { return ::fdatasync(descriptor); };
    fd_ = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (fd_ < 0) {
        ++failures_;
        stopped_ = true;
        return;
    }
    thread_ = std::thread([this] { run(); });
}

RecordSyncer::~RecordSyncer() {
    stop();
    if (fd_ >= 0) ::close(fd_);
}

void RecordSyncer::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        stopped_ = true;
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    sync_now();
}

void RecordSyncer::sync_now() {
    const int64_t written = written_.load(std::memory_order_acquire);
    if (options_.sync(fd_) == 0) {
        synced_ = written;
    } else {
        ++failures_;
    }
    ++syncs_;
}

void RecordSyncer::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, options_.interval, [this] { return stopping_; });
        if (stopping_) break;
        if (written_.load(std::memory_order_acquire) == synced_) continue;
        // The flush may take long on a slow card: nobody waits for this lock meanwhile but
        // stop(), which wants the flush finished anyway.
        lock.unlock();
        sync_now();
        lock.lock();
    }
}

}  // namespace kelvanor
