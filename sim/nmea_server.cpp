#include "sim/nmea_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvanor {

namespace {

void close_descriptor(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::unique_ptr<NmeaServer> NmeaServer::create(const NmeaServerOptions& options,
                                               std::string* error) {
    auto fail = [error](const char* what) -> std::unique_ptr<NmeaServer> {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        return nullptr;
    };
    std::unique_ptr<NmeaServer> server(new NmeaServer());
    server->options_ = options;
    server->options_.interval_ms = std::max(options.interval_ms, 1);

    server->master_fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (server->master_fd_ < 0) return fail("posix_openpt");
    if (::grantpt(server->master_fd_) != 0) return fail("grantpt");
    if (::unlockpt(server->master_fd_) != 0) return fail("unlockpt");
    char name[128];
    if (::ptsname_r(server->master_fd_, name, sizeof name) != 0) return fail("ptsname");
    server->device_path_ = name;
    // Holding the terminal keeps it alive while the program has it closed, and makes it raw
    // before the program first opens it, so that CR LF arrive as sent.
    server->slave_hold_fd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (server->slave_hold_fd_ < 0) return fail("open pseudo-terminal");
    termios raw{};
    if (::tcgetattr(server->slave_hold_fd_, &raw) != 0) return fail("tcgetattr");
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(server->slave_hold_fd_, TCSANOW, &raw) != 0) return fail("tcsetattr");
    const int flags = ::fcntl(server->master_fd_, F_GETFL);
    if (flags < 0 || ::fcntl(server->master_fd_, F_SETFL, flags | O_NONBLOCK) != 0) {
        return fail("fcntl");
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    server->wake_read_fd_ = fds[0];
    server->wake_write_fd_ = fds[1];
    return server;
}

NmeaServer::~NmeaServer() {
    close_descriptor(slave_hold_fd_);
    close_descriptor(master_fd_);
    close_descriptor(wake_read_fd_);
    close_descriptor(wake_write_fd_);
}

void NmeaServer::stop() {
    stopping_ = true;
    const uint8_t byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_write_fd_, &byte, 1);
}

void NmeaServer::run() {
    using Clock = std::chrono::steady_clock;
    constexpr auto kPace = std::chrono::milliseconds(10);
    const Clock::time_point start = Clock::now();
    const auto interval = std::chrono::milliseconds(options_.interval_ms);
    const double bytes_per_second = options_.baud > 0 ? options_.baud / 10.0 : 0.0;
    Clock::time_point next_fix = start;
    Clock::time_point paced_from = start;
    std::string pending;
    size_t pending_sent = 0;
    uint8_t discard[256];
    while (!stopping_) {
        const Clock::time_point now = Clock::now();
        if (now >= next_fix) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            pending = nmea_fix_sentences(sim_gps_fix_at(options_.track, elapsed));
            pending_sent = 0;
            paced_from = now;
            ++fixes_sent_;
            while (next_fix <= now) next_fix += interval;
        }
        if (pending_sent < pending.size()) {
            size_t due = pending.size();
            if (bytes_per_second > 0.0) {
                const double seconds = std::chrono::duration<double>(now - paced_from).count();
                due = std::min(due, static_cast<size_t>(seconds * bytes_per_second) + 1);
            }
            if (due > pending_sent) {
                const ssize_t n =
                    ::write(master_fd_, pending.data() + pending_sent, due - pending_sent);
                // A full terminal loses the bytes, as a line nobody reads does.
                pending_sent = n > 0 ? pending_sent + static_cast<size_t>(n) : due;
            }
        }
        // Whatever the program might write to the receiver is read and ignored, so that it
        // never fills the terminal the other way.
        pollfd fds[2] = {{wake_read_fd_, POLLIN, 0}, {master_fd_, POLLIN, 0}};
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_fix - now);
        if (pending_sent < pending.size()) wait = std::min<std::chrono::milliseconds>(wait, kPace);
        const int timeout = static_cast<int>(std::clamp<int64_t>(wait.count(), 1, 1000));
        if (::poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) {
            [[maybe_unused]] const ssize_t n = ::read(master_fd_, discard, sizeof discard);
        }
    }
}

}  // namespace kelvanor
