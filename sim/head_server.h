#pragma once
// A simulated sonar head on a pseudo-terminal: it reads switch commands from the line and
// answers each with the reply the head simulation synthesises, after the head's ping time.
// It keeps its own hold on the terminal, so the program may close and reopen the port as
// often as it likes. Faults for tests (silence, dropped or garbled replies, replies split
// over several writes, short replies, stray bytes) are chosen by options and by calls from
// other threads; every random choice comes from a seed, so a run repeats exactly.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/head_sim.h"
#include "sim/sim_terminal.h"

namespace kelvanor {

inline constexpr size_t kSimCommandLength = 27;
using SimCommand = std::array<uint8_t, kSimCommandLength>;

struct HeadFaults {
    uint32_t seed = 1;
    int32_t silent_after = 0;   // answer only the first N commands; 0 answers all
    int32_t drop_every = 0;     // leave every Nth command unanswered
    int32_t garbage_every = 0;  // every Nth reply is random bytes of the same length
    int32_t short_every = 0;    // every Nth reply loses its last `short_by` bytes
    int32_t short_by = 20;
    int32_t split_pieces = 1;    // each reply goes out in this many writes
    int32_t split_gap_ms = 5;    // between those writes
    int32_t trailing_bytes = 0;  // stray bytes after every reply
};

struct HeadServerOptions {
    SimHeadConfig head;
    HeadFaults faults;
    // Time from a command to its reply; negative: the sound's round trip over the commanded
    // range plus 5 ms, as a real head takes.
    int32_t ping_ms = -1;
    float speed_knots = 3.0f;  // how fast the simulated survey line passes under the head
};

class HeadServer {
  public:
    // Opens the pseudo-terminal. Nothing (and `error` set) when the system refuses one.
    static std::unique_ptr<HeadServer> create(const HeadServerOptions& options,
                                              std::string* error = nullptr);
    ~HeadServer();
    HeadServer(const HeadServer&) = delete;
    HeadServer& operator=(const HeadServer&) = delete;

    // The terminal the program opens as its head port, e.g. /dev/pts/3.
    const std::string& device_path() const { return terminal_.device_path; }

    // Serves until stop(). Runs on one thread; everything below is safe from any thread.
    void run();
    void stop();

    // Run-time faults: a silent head answers nothing; a garbling head answers with noise.
    void set_silent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }
    void set_garbage(bool garbage) { garbage_ = garbage; }
    bool garbage() const { return garbage_; }

    // Called on the serving thread with every command received (logging).
    void set_command_observer(std::function<void(const SimCommand&)> observer);

    uint64_t commands_received() const { return commands_received_; }
    uint64_t replies_sent() const { return replies_sent_; }
    // The commands received so far (the last 10000).
    std::vector<SimCommand> commands() const;
    // Waits until at least `count` commands have arrived; false after `timeout_ms`.
    bool wait_for_commands(uint64_t count, int timeout_ms) const;

  private:
    HeadServer() = default;
    struct Pending;
    void take_bytes(const uint8_t* bytes, size_t count, int64_t now_ms);
    void answer(const SimCommand& command, int64_t now_ms);
    void write_due(int64_t now_ms);
    int64_t next_due_ms() const;
    uint32_t next_random();

    HeadServerOptions options_;
    SimHead head_;
    SimTerminal terminal_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> silent_{false};
    std::atomic<bool> garbage_{false};
    std::atomic<uint64_t> commands_received_{0};
    std::atomic<uint64_t> replies_sent_{0};
    uint64_t replies_built_ = 0;
    uint32_t random_state_ = 1;
    int64_t last_ping_ms_ = -1;
    std::vector<uint8_t> input_;
    std::vector<std::unique_ptr<Pending>> pending_;
    std::function<void(const SimCommand&)> observer_;
    mutable std::mutex commands_mutex_;
    mutable std::condition_variable commands_arrived_;
    std::vector<SimCommand> commands_;
};

}  // namespace kelvanor
