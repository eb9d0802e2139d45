#include "platform/wake_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <ctime>

namespace kelvanor {

timespec timespec_for_us(int64_t timeout_us) {
    if (timeout_us < 0) timeout_us = 0;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(timeout_us / 1000000);
    ts.tv_nsec = static_cast<long>((timeout_us % 1000000) * 1000);
    return ts;
}

WakePipe::WakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        read_fd_ = fds[0];
        write_fd_ = fds[1];
    }
}

WakePipe::~WakePipe() {
    if (read_fd_ >= 0) ::close(read_fd_);
    if (write_fd_ >= 0) ::close(write_fd_);
}

void WakePipe::wake() {
    if (write_fd_ < 0) return;
    const uint8_t byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(write_fd_, &byte, 1);
}

void WakePipe::consume() {
    uint8_t sink[64];
    while (::read(read_fd_, sink, sizeof sink) > 0) {
    }
}

bool WakePipe::wait(int64_t timeout_us) {
    pollfd p{read_fd_, POLLIN, 0};
    const timespec ts = timespec_for_us(timeout_us);
    if (::ppoll(&p, 1, &ts, nullptr) > 0 && (p.revents & POLLIN)) {
        consume();
        return true;
    }
    return false;
}

}  // namespace kelvanor
