#include "sim/head_server.h"

#include "ping/echo_conversion.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace kelvanor {

namespace {

constexpr uint8_t kCommandStart0 = 0xFE;
constexpr uint8_t kCommandStart1 = 0x44;
constexpr uint8_t kCommandEnd = 0xFD;
constexpr size_t kMaxKeptCommands = 10000;
constexpr float kSoundMetresPerSecond = 1500.0f;
constexpr float kMetresPerSecondPerKnot = 0.514444f;

int64_t monotonic_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Metres the command asks for: an 'H' command carries them, a 'G' command a range code.
int32_t commanded_range_metres(const SimCommand& c) {
    return c[19] == 50 ? c[3] : g_range_code_to_metres(c[3]);
}

}  // namespace

struct HeadServer::Pending {
    int64_t due_ms = 0;
    std::vector<uint8_t> bytes;
    bool completes_reply = false;
};

std::unique_ptr<HeadServer> HeadServer::create(const HeadServerOptions& options,
                                               std::string* error) {
    std::unique_ptr<HeadServer> server(new HeadServer());
    server->options_ = options;
    server->head_.config = options.head;
    server->random_state_ = options.faults.seed == 0 ? 1 : options.faults.seed;
    server->options_.faults.split_pieces = std::max(options.faults.split_pieces, 1);

    if (!server->terminal_.open(error)) return nullptr;
    return server;
}

HeadServer::~HeadServer() = default;

void HeadServer::stop() {
    stopping_ = true;
    terminal_.wake();
}

void HeadServer::set_command_observer(std::function<void(const SimCommand&)> observer) {
    observer_ = std::move(observer);
}

std::vector<SimCommand> HeadServer::commands() const {
    std::lock_guard held(commands_mutex_);
    return commands_;
}

bool HeadServer::wait_for_commands(uint64_t count, int timeout_ms) const {
    std::unique_lock held(commands_mutex_);
    return commands_arrived_.wait_for(held, std::chrono::milliseconds(timeout_ms),
                                      [&] { return commands_received_ >= count; });
}

uint32_t HeadServer::next_random() {
    // xorshift32: small, and the same sequence for the same seed on every machine.
    uint32_t x = random_state_;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    random_state_ = x;
    return x;
}

int64_t HeadServer::next_due_ms() const {
    // write_due() sends in order, so the front decides when the next write happens.
    return pending_.empty() ? -1 : pending_.front()->due_ms;
}

void HeadServer::run() {
    uint8_t buffer[4096];
    while (!stopping_) {
        const int64_t now = monotonic_ms();
        write_due(now);
        const int64_t due = next_due_ms();
        int timeout = 100;
        if (due >= 0) timeout = static_cast<int>(std::clamp<int64_t>(due - now, 0, 100));
        pollfd fds[2] = {{terminal_.wake_read_fd, POLLIN, 0}, {terminal_.master_fd, POLLIN, 0}};
        const int n = ::poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) {
            while (::read(terminal_.wake_read_fd, buffer, sizeof buffer) > 0) {
            }
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t got = ::read(terminal_.master_fd, buffer, sizeof buffer);
            if (got > 0) take_bytes(buffer, static_cast<size_t>(got), monotonic_ms());
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while we hold the terminal, but never spin on it.
            ::poll(fds, 1, 20);
        }
    }
}

void HeadServer::take_bytes(const uint8_t* bytes, size_t count, int64_t now_ms) {
    input_.insert(input_.end(), bytes, bytes + count);
    size_t pos = 0;
    while (input_.size() - pos >= kSimCommandLength) {
        if (input_[pos] != kCommandStart0 || input_[pos + 1] != kCommandStart1 ||
            input_[pos + kSimCommandLength - 1] != kCommandEnd) {
            ++pos;  // out of step: look for the next command start
            continue;
        }
        SimCommand command;
        std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(pos), kSimCommandLength,
                    command.begin());
        pos += kSimCommandLength;
        answer(command, now_ms);
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(pos));
    // A stream of noise without a command start must not grow without end.
    if (input_.size() > 4 * kSimCommandLength) {
        input_.erase(input_.begin(), input_.end() - static_cast<std::ptrdiff_t>(kSimCommandLength));
    }
}

void HeadServer::answer(const SimCommand& command, int64_t now_ms) {
    if (observer_) observer_(command);
    uint64_t number = 0;
    {
        std::lock_guard held(commands_mutex_);
        if (commands_.size() >= kMaxKeptCommands) commands_.erase(commands_.begin());
        commands_.push_back(command);
        number = ++commands_received_;
    }
    commands_arrived_.notify_all();

    const HeadFaults& f = options_.faults;
    if (silent_) return;
    if (f.silent_after > 0 && number > static_cast<uint64_t>(f.silent_after)) return;
    if (f.drop_every > 0 && number % static_cast<uint64_t>(f.drop_every) == 0) return;

    // The head moves along the line between pings.
    if (last_ping_ms_ >= 0) {
        const float seconds = static_cast<float>(now_ms - last_ping_ms_) * 0.001f;
        advance_survey(head_,
                       std::min(seconds, 2.0f) * options_.speed_knots * kMetresPerSecondPerKnot);
    }
    last_ping_ms_ = now_ms;

    std::array<uint8_t, kSimMaxReplyLength> reply{};
    size_t length = synthesize_reply(head_, command, reply);
    if (length == 0) return;
    const uint64_t reply_number = ++replies_built_;
    if (garbage_ ||
        (f.garbage_every > 0 && reply_number % static_cast<uint64_t>(f.garbage_every) == 0)) {
        for (size_t i = 0; i < length; ++i) reply[i] = static_cast<uint8_t>(next_random());
    }
    if (f.short_every > 0 && reply_number % static_cast<uint64_t>(f.short_every) == 0) {
        length -= std::min(length - 1, static_cast<size_t>(std::max(f.short_by, 0)));
    }
    std::vector<uint8_t> bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(length));
    for (int32_t i = 0; i < f.trailing_bytes; ++i) {
        bytes.push_back(static_cast<uint8_t>(next_random()));
    }

    int64_t delay = options_.ping_ms;
    if (delay < 0) {
        const float metres = static_cast<float>(commanded_range_metres(command));
        delay = static_cast<int64_t>(2.0f * metres / kSoundMetresPerSecond * 1000.0f) + 5;
    }
    const size_t pieces = static_cast<size_t>(f.split_pieces);
    const size_t step = (bytes.size() + pieces - 1) / pieces;
    int64_t due = now_ms + delay;
    for (size_t start = 0; start < bytes.size(); start += step) {
        auto p = std::make_unique<Pending>();
        p->due_ms = due;
        const size_t end = std::min(bytes.size(), start + step);
        p->bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                        bytes.begin() + static_cast<std::ptrdiff_t>(end));
        p->completes_reply = end == bytes.size();
        pending_.push_back(std::move(p));
        due += f.split_gap_ms;
    }
}

void HeadServer::write_due(int64_t now_ms) {
    // Pieces go out in the order they were made, so a split reply is never reordered.
    while (!pending_.empty() && pending_.front()->due_ms <= now_ms) {
        const Pending& p = *pending_.front();
        size_t done = 0;
        while (done < p.bytes.size()) {
            const ssize_t n =
                ::write(terminal_.master_fd, p.bytes.data() + done, p.bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;  // nobody reads and the terminal is full: the line loses the rest
            }
        }
        if (p.completes_reply) ++replies_sent_;
        pending_.erase(pending_.begin());
    }
}

}  // namespace kelvanor
