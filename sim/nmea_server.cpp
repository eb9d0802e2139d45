#include "sim/nmea_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvanor {

namespace {}  // namespace

std::unique_ptr<NmeaServer> NmeaServer::create(const NmeaServerOptions& options,
                                               std::string* error) {
    std::unique_ptr<NmeaServer> server(new NmeaServer());
    server->options_ = options;
    server->options_.interval_ms = std::max(options.interval_ms, 1);

    if (!server->terminal_.open(error)) return nullptr;
    return server;
}

NmeaServer::~NmeaServer() = default;

void NmeaServer::stop() {
    stopping_ = true;
    terminal_.wake();
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
                    ::write(terminal_.master_fd, pending.data() + pending_sent, due - pending_sent);
                // A full terminal loses the bytes, as a line nobody reads does.
                pending_sent = n > 0 ? pending_sent + static_cast<size_t>(n) : due;
            }
        }
        // Whatever the program might write to the receiver is read and ignored, so that it
        // never fills the terminal the other way.
        pollfd fds[2] = {{terminal_.wake_read_fd, POLLIN, 0}, {terminal_.master_fd, POLLIN, 0}};
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_fix - now);
        if (pending_sent < pending.size()) wait = std::min<std::chrono::milliseconds>(wait, kPace);
        const int timeout = static_cast<int>(std::clamp<int64_t>(wait.count(), 1, 1000));
        if (::poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) {
            [[maybe_unused]] const ssize_t n = ::read(terminal_.master_fd, discard, sizeof discard);
        }
    }
}

}  // namespace kelvanor
