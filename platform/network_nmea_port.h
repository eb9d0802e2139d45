#pragma once
// NMEA 0183 from the boat's network, behind the SerialPort interface so that the GPS reader
// takes it like a receiver on a port:
//   gpsd[://HOST[:PORT]]  gpsd's NMEA watch (default localhost, port 2947): the receiver stays
//                         shared with the chart plotter;
//   tcp://HOST:PORT       NMEA over TCP (the marine convention is port 10110);
//   udp://[ADDR]:PORT     NMEA datagrams received on PORT (at ADDR, else on every address).
// Nothing but gpsd's watch request is ever sent. A TCP or gpsd connection that cannot be made
// or drops is tried again every 2 s by the reader's own calls; while it is down the port
// counts as open, carries nothing and reports the source as missing.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/wake_pipe.h"

namespace kelvanor {

enum class NetworkSourceKind { Gpsd, Tcp, Udp };

struct NetworkSource {
    NetworkSourceKind kind = NetworkSourceKind::Tcp;
    std::string host;  // empty for UDP on every address
    int port = 0;
    bool operator==(const NetworkSource&) const = default;
};

inline constexpr int kGpsdDefaultPort = 2947;
inline constexpr uint64_t kReconnectIntervalMs = 2000;
// What is kept of input not yet read; older bytes go first, so the newest sentences stay.
inline constexpr size_t kNetworkBacklogBytes = 16384;
// gpsd's request for the receiver's sentences as they come.
inline constexpr std::string_view kGpsdWatchRequest = "?WATCH={\"enable\":true,\"nmea\":true};\n";

// A source text as above; nothing when it is none of them or malformed (a port out of
// 1..65535, a TCP source without a port). Hosts may be names, IPv4 or bracketed IPv6.
std::optional<NetworkSource> parse_network_source(std::string_view text);

// Whether `text` names a network source at all (by its scheme), well formed or not.
bool is_network_source_text(std::string_view text);

class NetworkNmeaPort final : public SerialPort {
  public:
    explicit NetworkNmeaPort(Clock& clock);
    ~NetworkNmeaPort() override;
    NetworkNmeaPort(const NetworkNmeaPort&) = delete;
    NetworkNmeaPort& operator=(const NetworkNmeaPort&) = delete;

    // `path` is the source text. A malformed one fails with NotFound; a UDP port that cannot
    // be bound fails (Busy when another program has it). TCP and gpsd open at once and connect
    // in the background.
    SerialOpenResult open(const std::string& path) override;
    void close() override;
    bool is_open() const override { return !path_.empty(); }
    const std::string& path() const override { return path_; }

    // There is no line: settings are taken and ignored; modem lines and writes fail.
    [[nodiscard]] bool set_line(const SerialLineSettings&) override { return is_open(); }
    std::optional<size_t> bytes_waiting() override;
    std::optional<size_t> read(std::span<uint8_t> buffer) override;
    std::optional<size_t> write(std::span<const uint8_t>) override { return std::nullopt; }
    bool drain() override { return is_open(); }
    void flush(SerialQueue which) override;
    bool set_rts(bool) override { return false; }
    bool set_dtr(bool) override { return false; }
    bool take_line_error() override { return false; }
    SerialWait wait_readable(int64_t timeout_us) override;
    void wake() override { wake_.wake(); }
    bool wait_woken(int64_t timeout_us) override { return wake_.wait(timeout_us); }
    bool device_missing() const override;
    int32_t losses() const override { return losses_; }

    // Connections made (TCP and gpsd), for the tests.
    int32_t connections() const { return connections_; }

  private:
    enum class Link { Down, Connecting, Up };

    // Moves the connection along and takes what the socket holds into the backlog.
    void pump();
    void start_connect();
    void finish_connect();
    void drop_connection();
    void close_socket();

    Clock& clock_;
    WakePipe wake_;
    std::string path_;
    NetworkSource source_;
    int fd_ = -1;
    Link link_ = Link::Down;
    std::atomic<bool> missing_{false};
    uint64_t next_attempt_ms_ = 0;
    int32_t losses_ = 0;
    int32_t connections_ = 0;
    std::vector<uint8_t> backlog_;
};

}  // namespace kelvanor
