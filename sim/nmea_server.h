#pragma once
// A simulated GPS receiver on a pseudo-terminal: once per interval it sends the sentences of
// the simulated track's current fix (GGA, GLL, RMC, VTG), paced at the line speed. Like a
// real receiver it never waits for its listener: what the terminal cannot take is dropped,
// and a fix that finds the previous one still unsent replaces what is left of it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/nmea_track.h"

#include "sim/sim_terminal.h"

namespace kelvanor {

struct NmeaServerOptions {
    SimGpsTrack track;
    int32_t interval_ms = 1000;  // one fix per second, as most receivers send
    // The line speed the sentences trickle out at (8N1: a tenth of it in bytes per second),
    // as the program meets them on a real line; 0 sends each fix at once.
    int32_t baud = 4800;
};

class NmeaServer {
  public:
    // Opens the pseudo-terminal. Nothing (and `error` set) when the system refuses one.
    static std::unique_ptr<NmeaServer> create(const NmeaServerOptions& options,
                                              std::string* error = nullptr);
    ~NmeaServer();
    NmeaServer(const NmeaServer&) = delete;
    NmeaServer& operator=(const NmeaServer&) = delete;

    // The terminal the program opens as its GPS port, e.g. /dev/pts/4.
    const std::string& device_path() const { return terminal_.device_path; }

    // Sends fixes until stop(). Runs on one thread; stop() and fixes_sent() are safe from any.
    void run();
    void stop();
    uint64_t fixes_sent() const { return fixes_sent_; }

  private:
    NmeaServer() = default;

    NmeaServerOptions options_;
    SimTerminal terminal_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> fixes_sent_{0};
};

}  // namespace kelvanor
