#include "platform/network_nmea_port.h"

#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace kelvanor {

namespace {

std::optional<int> parse_port_number(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < 1 || value > 65535)
        return std::nullopt;
    return value;
}

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT" into host and port text.
bool split_host_port(std::string_view text, std::string& host, std::string_view& port) {
    port = {};
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (rest.empty()) return true;
        if (rest.front() != ':') return false;
        port = rest.substr(1);
        return !port.empty();
    }
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        host = std::string(text);
        return true;
    }
    host = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
    return host.find(':') == std::string::npos && !port.empty();
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Every address of the source, for a socket of `type`; empty when it does not resolve.
addrinfo* resolve(const NetworkSource& source, int type, bool passive) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    const std::string service = std::to_string(source.port);
    addrinfo* found = nullptr;
    const char* host = source.host.empty() ? nullptr : source.host.c_str();
    if (::getaddrinfo(host, service.c_str(), &hints, &found) != 0) return nullptr;
    return found;
}

}  // namespace

bool is_network_source_text(std::string_view text) {
    return text == "gpsd" || starts_with(text, "gpsd://") || starts_with(text, "tcp://") ||
           starts_with(text, "udp://");
}

std::optional<NetworkSource> parse_network_source(std::string_view text) {
    NetworkSource source;
    std::string_view rest;
    if (text == "gpsd") {
        return NetworkSource{NetworkSourceKind::Gpsd, "localhost", kGpsdDefaultPort};
    } else if (starts_with(text, "gpsd://")) {
        source.kind = NetworkSourceKind::Gpsd;
        rest = text.substr(7);
    } else if (starts_with(text, "tcp://")) {
        source.kind = NetworkSourceKind::Tcp;
        rest = text.substr(6);
    } else if (starts_with(text, "udp://")) {
        source.kind = NetworkSourceKind::Udp;
        rest = text.substr(6);
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    std::string_view port_text;
    if (!split_host_port(rest, source.host, port_text)) return std::nullopt;
    if (port_text.empty()) {
        if (source.kind != NetworkSourceKind::Gpsd) return std::nullopt;
        source.port = kGpsdDefaultPort;
    } else if (const std::optional<int> port = parse_port_number(port_text)) {
        source.port = *port;
    } else {
        return std::nullopt;
    }
    if (source.kind == NetworkSourceKind::Gpsd && source.host.empty()) source.host = "localhost";
    if (source.kind == NetworkSourceKind::Tcp && source.host.empty()) return std::nullopt;
    return source;
}

NetworkNmeaPort::NetworkNmeaPort(Clock& clock) : clock_(clock) {}

NetworkNmeaPort::~NetworkNmeaPort() {
    close();
}

SerialOpenResult NetworkNmeaPort::open(const std::string& path) {
    close();
    const std::optional<NetworkSource> source = parse_network_source(path);
    if (!source) return {SerialOpenStatus::NotFound, EINVAL};
    source_ = *source;
    if (source_.kind == NetworkSourceKind::Udp) {
        addrinfo* found = resolve(source_, SOCK_DGRAM, true);
        if (found == nullptr) return {SerialOpenStatus::NotFound, EADDRNOTAVAIL};
        int error = EADDRNOTAVAIL;
        for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
            const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                error = errno;
                continue;
            }
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0) {
                fd_ = fd;
            } else {
                error = errno;
                ::close(fd);
            }
        }
        ::freeaddrinfo(found);
        if (fd_ < 0) {
            return {error == EADDRINUSE ? SerialOpenStatus::Busy : SerialOpenStatus::Failed, error};
        }
        link_ = Link::Up;
    } else {
        start_connect();
    }
    path_ = path;
    return {SerialOpenStatus::Ok, 0};
}

void NetworkNmeaPort::close_socket() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    link_ = Link::Down;
}

void NetworkNmeaPort::close() {
    close_socket();
    path_.clear();
    backlog_.clear();
    missing_ = false;
}

bool NetworkNmeaPort::device_missing() const {
    return missing_.load();
}

void NetworkNmeaPort::start_connect() {
    close_socket();
    next_attempt_ms_ = clock_.monotonic_ms() + kReconnectIntervalMs;
    missing_ = true;
    // Resolving may ask a name server: that is the reader thread's time, never the head's.
    addrinfo* found = resolve(source_, SOCK_STREAM, false);
    if (found == nullptr) return;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 || errno == EINPROGRESS) {
            fd_ = fd;
            link_ = Link::Connecting;
            break;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (link_ == Link::Connecting) finish_connect();
}

void NetworkNmeaPort::finish_connect() {
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0) return;  // still under way
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        close_socket();
        return;
    }
    if (source_.kind == NetworkSourceKind::Gpsd) {
        const ssize_t sent =
            ::send(fd_, kGpsdWatchRequest.data(), kGpsdWatchRequest.size(), MSG_NOSIGNAL);
        if (sent != static_cast<ssize_t>(kGpsdWatchRequest.size())) {
            close_socket();
            return;
        }
    }
    link_ = Link::Up;
    missing_ = false;
    ++connections_;
}

void NetworkNmeaPort::drop_connection() {
    close_socket();
    missing_ = true;
    ++losses_;
    next_attempt_ms_ = clock_.monotonic_ms() + kReconnectIntervalMs;
}

void NetworkNmeaPort::pump() {
    if (path_.empty()) return;
    if (link_ == Link::Down) {
        if (source_.kind == NetworkSourceKind::Udp) return;
        if (clock_.monotonic_ms() < next_attempt_ms_) return;
        start_connect();
    }
    if (link_ == Link::Connecting) {
        finish_connect();
        if (link_ == Link::Connecting && clock_.monotonic_ms() >= next_attempt_ms_) {
            close_socket();  // no answer in time: start over on the next pass
        }
    }
    if (link_ != Link::Up) return;
    uint8_t chunk[4096];
    // Bounded: a source that keeps sending cannot hold the reader here.
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            backlog_.insert(backlog_.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // The peer closed (0) or the connection broke. A datagram socket sees neither.
        if (source_.kind != NetworkSourceKind::Udp) drop_connection();
        break;
    }
    if (backlog_.size() > kNetworkBacklogBytes) {
        backlog_.erase(backlog_.begin(),
                       backlog_.end() - static_cast<std::ptrdiff_t>(kNetworkBacklogBytes));
    }
}

std::optional<size_t> NetworkNmeaPort::bytes_waiting() {
    if (path_.empty()) return std::nullopt;
    pump();
    return backlog_.size();
}

std::optional<size_t> NetworkNmeaPort::read(std::span<uint8_t> buffer) {
    if (path_.empty()) return std::nullopt;
    if (backlog_.empty()) pump();
    const size_t n = std::min(buffer.size(), backlog_.size());
    std::copy_n(backlog_.begin(), n, buffer.begin());
    backlog_.erase(backlog_.begin(), backlog_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void NetworkNmeaPort::flush(SerialQueue which) {
    if (which == SerialQueue::Output || path_.empty()) return;
    pump();
    backlog_.clear();
}

SerialWait NetworkNmeaPort::wait_readable(int64_t timeout_us) {
    if (!backlog_.empty()) return SerialWait::Readable;
    pollfd fds[2] = {{wake_.read_fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
    const nfds_t count = fd_ >= 0 && link_ == Link::Up ? 2 : 1;
    const timespec ts = timespec_for_us(timeout_us);
    const int n = ::ppoll(fds, count, &ts, nullptr);
    if (n <= 0) return SerialWait::TimedOut;
    if (fds[0].revents & POLLIN) {
        wake_.consume();
        return SerialWait::Woken;
    }
    return SerialWait::Readable;
}

}  // namespace kelvanor
