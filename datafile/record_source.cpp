#include "datafile/record_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kelvanor {

std::optional<PosixRecordFile> PosixRecordFile::open(const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "Is a directory" : "Not a regular file";
        ::close(fd);
        return std::nullopt;
    }
    return PosixRecordFile(fd);
}

PosixRecordFile::PosixRecordFile(PosixRecordFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), position_(other.position_) {}

PosixRecordFile& PosixRecordFile::operator=(PosixRecordFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        position_ = other.position_;
    }
    return *this;
}

PosixRecordFile::~PosixRecordFile() {
    if (fd_ >= 0) ::close(fd_);
}

size_t PosixRecordFile::read(std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, position_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
        position_ += got;
    }
    return done;
}

bool PosixRecordFile::seek(int64_t offset) {
    if (offset < 0 || offset > size()) return false;
    position_ = offset;
    return true;
}

int64_t PosixRecordFile::size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

FileIdentity PosixRecordFile::identity() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return {};
    return {static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

size_t MemoryRecordSource::read(std::span<uint8_t> out) {
    size_t available = bytes_.size() - static_cast<size_t>(position_);
    size_t n = std::min(out.size(), available);
    if (n > 0) std::memcpy(out.data(), bytes_.data() + position_, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

bool MemoryRecordSource::seek(int64_t offset) {
    if (offset < 0 || offset > size()) return false;
    position_ = offset;
    return true;
}

}  // namespace kelvanor
