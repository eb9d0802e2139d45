// GPS sources on the network: the source texts, a TCP server that drops and comes back (the
// reconnection follows the injected clock), gpsd's watch request, and UDP datagrams. Every
// socket is on 127.0.0.1 at a port the system picks.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "platform/network_nmea_port.h"

namespace kelvanor {
namespace {

TEST(NetworkSource, TextsAreParsedOrRefused) {
    using K = NetworkSourceKind;
    struct Case {
        const char* text;
        std::optional<NetworkSource> expected;
    };
    const Case cases[] = {
        {"gpsd", NetworkSource{K::Gpsd, "localhost", 2947}},
        {"gpsd://", NetworkSource{K::Gpsd, "localhost", 2947}},
        {"gpsd://plotter", NetworkSource{K::Gpsd, "plotter", 2947}},
        {"gpsd://127.0.0.1:3000", NetworkSource{K::Gpsd, "127.0.0.1", 3000}},
        {"gpsd://[::1]:3000/", NetworkSource{K::Gpsd, "::1", 3000}},
        {"tcp://192.168.1.5:10110", NetworkSource{K::Tcp, "192.168.1.5", 10110}},
        {"tcp://[fe80::1]:10110", NetworkSource{K::Tcp, "fe80::1", 10110}},
        {"udp://:10110", NetworkSource{K::Udp, "", 10110}},
        {"udp://127.0.0.1:10110", NetworkSource{K::Udp, "127.0.0.1", 10110}},
        {"tcp://host", std::nullopt},    // no port
        {"tcp://:10110", std::nullopt},  // no host
        {"udp://", std::nullopt},
        {"udp://:0", std::nullopt},
        {"udp://:65536", std::nullopt},
        {"tcp://h:12x", std::nullopt},
        {"tcp://a:b:1", std::nullopt},
        {"tcp://[::1", std::nullopt},
        {"http://h:80", std::nullopt},
        {"/dev/ttyUSB0", std::nullopt},
        {"COM2", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_network_source(c.text), c.expected) << c.text;
    EXPECT_TRUE(is_network_source_text("tcp://host"));
    EXPECT_TRUE(is_network_source_text("gpsd"));
    EXPECT_FALSE(is_network_source_text("COM2"));
    EXPECT_FALSE(is_network_source_text("/dev/ttyUSB0"));
}

// Time that moves only when the test says so.
class ManualClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 0; }
    uint64_t monotonic_ms() override { return now_ms; }
    void sleep_ms(int) override {}
    uint64_t now_ms = 1000;
};

// A socket bound to 127.0.0.1 at a port the system picks.
struct Bound {
    int fd = -1;
    int port = 0;
    explicit Bound(int type, int port_wanted = 0) {
        fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port_wanted));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
        socklen_t length = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
        if (type == SOCK_STREAM) ::listen(fd, 4);
    }
    ~Bound() { close(); }
    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

int accept_within(int listener, int timeout_ms) {
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

// Reads through the port until `text` has come or a bounded number of looks have passed.
std::string read_until(NetworkNmeaPort& port, const std::string& text) {
    std::string got;
    for (int i = 0; i < 400 && got.find(text) == std::string::npos; ++i) {
        port.wait_readable(5000);
        uint8_t buffer[256];
        const std::optional<size_t> n = port.read(buffer);
        if (n) got.append(reinterpret_cast<const char*>(buffer), *n);
    }
    return got;
}

void send_text(int fd, const std::string& text) {
    ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(text.size()));
}

TEST(NetworkNmeaPort, TcpSourceReconnectsEveryTwoSecondsAfterTheServerDrops) {
    ManualClock clock;
    auto server = std::make_unique<Bound>(SOCK_STREAM);
    const int port_number = server->port;
    NetworkNmeaPort port(clock);
    ASSERT_TRUE(port.open("tcp://127.0.0.1:" + std::to_string(port_number)).ok());
    EXPECT_TRUE(port.is_open());
    int peer = accept_within(server->fd, 5000);
    ASSERT_GE(peer, 0);
    send_text(peer, "$GPGLL,1\r\n");
    EXPECT_NE(read_until(port, "$GPGLL,1\r\n").find("$GPGLL,1\r\n"), std::string::npos);
    EXPECT_FALSE(port.device_missing());
    EXPECT_EQ(port.connections(), 1);

    // The server goes away: the port stays open, carries nothing and says so.
    ::close(peer);
    server.reset();
    for (int i = 0; i < 400 && !port.device_missing(); ++i) {
        port.wait_readable(5000);
        port.bytes_waiting();
    }
    EXPECT_TRUE(port.device_missing());
    EXPECT_EQ(port.losses(), 1);
    EXPECT_EQ(port.bytes_waiting(), size_t{0});

    // It comes back on the same port; the next try waits for the 2 s to pass.
    server = std::make_unique<Bound>(SOCK_STREAM, port_number);
    ASSERT_EQ(server->port, port_number);
    clock.now_ms += kReconnectIntervalMs - 1;
    port.bytes_waiting();
    EXPECT_LT(accept_within(server->fd, 100), 0) << "tried again before 2 s";
    clock.now_ms += 1;
    port.bytes_waiting();
    peer = accept_within(server->fd, 5000);
    ASSERT_GE(peer, 0);
    send_text(peer, "$GPRMC,2\r\n");
    EXPECT_NE(read_until(port, "$GPRMC,2\r\n").find("$GPRMC,2\r\n"), std::string::npos);
    EXPECT_FALSE(port.device_missing());
    EXPECT_EQ(port.connections(), 2);
    ::close(peer);
}

TEST(NetworkNmeaPort, GpsdSourceAsksForTheNmeaWatchAndSendsNothingElse) {
    ManualClock clock;
    Bound server(SOCK_STREAM);
    NetworkNmeaPort port(clock);
    ASSERT_TRUE(port.open("gpsd://127.0.0.1:" + std::to_string(server.port)).ok());
    const int peer = accept_within(server.fd, 5000);
    ASSERT_GE(peer, 0);
    // The request goes out once the connection is made, which the reader's look completes.
    std::string request;
    for (int i = 0; i < 100 && request.find(';') == std::string::npos; ++i) {
        port.bytes_waiting();
        pollfd p{peer, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
        if (n > 0) request.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(request, "?WATCH={\"enable\":true,\"nmea\":true};\n");
    EXPECT_FALSE(port.write(std::vector<uint8_t>{'x'}).has_value());
    ::close(peer);
}

TEST(NetworkNmeaPort, UdpDatagramsArriveWholeAndAnAddressNotHereIsRefused) {
    ManualClock clock;
    Bound probe(SOCK_DGRAM);
    const int port_number = probe.port;
    probe.close();
    NetworkNmeaPort port(clock);
    ASSERT_TRUE(port.open("udp://127.0.0.1:" + std::to_string(port_number)).ok());
    Bound sender(SOCK_DGRAM);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(port_number));
    // A datagram longer than any read the reader makes is not cut.
    const std::string burst = "$GPGGA,1\r\n$GPRMC,2\r\n" + std::string(300, 'x') + "\r\n";
    ASSERT_EQ(::sendto(sender.fd, burst.data(), burst.size(), 0, reinterpret_cast<sockaddr*>(&to),
                       sizeof to),
              static_cast<ssize_t>(burst.size()));
    EXPECT_EQ(read_until(port, std::string(300, 'x') + "\r\n"), burst);
    EXPECT_FALSE(port.device_missing());

    // Flushing the input throws the queued datagrams away.
    ASSERT_GT(::sendto(sender.fd, burst.data(), burst.size(), 0, reinterpret_cast<sockaddr*>(&to),
                       sizeof to),
              0);
    port.wait_readable(1'000'000);
    port.flush(SerialQueue::Input);
    EXPECT_EQ(port.bytes_waiting(), size_t{0});

    // Another listener may share the port (a chart plotter on the same broadcast); an address
    // this machine does not have cannot be listened on.
    NetworkNmeaPort second(clock);
    EXPECT_TRUE(second.open("udp://127.0.0.1:" + std::to_string(port_number)).ok());
    const SerialOpenResult refused = second.open("udp://192.0.2.1:10110");
    EXPECT_FALSE(refused.ok());
    EXPECT_FALSE(second.is_open());
    EXPECT_EQ(second.open("udp://nonsense").status, SerialOpenStatus::NotFound);
}

}  // namespace
}  // namespace kelvanor
