#include "platform/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/serial.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

namespace kelvanor {

namespace {

std::optional<speed_t> speed_for_baud(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return std::nullopt;
    }
}

}  // namespace

SerialOpenStatus open_status_for_errno(int error_number) {
    switch (error_number) {
        case 0:
            return SerialOpenStatus::Ok;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return SerialOpenStatus::NotFound;
        case EACCES:
        case EPERM:
            return SerialOpenStatus::PermissionDenied;
        case EBUSY:
            return SerialOpenStatus::Busy;
        case ENOTTY:
            return SerialOpenStatus::NotASerialPort;
        default:
            return SerialOpenStatus::Failed;
    }
}

PosixSerialPort::PosixSerialPort() = default;

PosixSerialPort::~PosixSerialPort() {
    close();
}

SerialOpenResult PosixSerialPort::open(const std::string& path) {
    close();
    // O_NOCTTY: the sonar line must never become the program's controlling terminal.
    // O_NONBLOCK: the open does not wait for carrier, and reads return what is there.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        return {open_status_for_errno(e), e};
    }
    auto fail = [fd](int e) {
        ::close(fd);
        return SerialOpenResult{open_status_for_errno(e), e};
    };
    termios original{};
    if (::tcgetattr(fd, &original) != 0) return fail(errno == EINVAL ? ENOTTY : errno);
    // No second program may open the line while we drive it.
    if (::ioctl(fd, TIOCEXCL) != 0) return fail(errno);

    // A fresh terminal echoes, maps CR and LF and takes 0x11/0x13 as flow control: every one
    // of those would corrupt switch commands and replies.
    termios raw = original;
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
        const int e = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(e);
    }
    fd_ = fd;
    path_ = path;
    saved_termios_ = original;
    line_error_count_.reset();
    lacks_modem_lines_ = false;
    lacks_line_counts_ = false;
    // The head takes a raised RTS as the start of a command.
    set_rts(false);
    ::tcflush(fd_, TCIOFLUSH);
    take_line_error();  // start counting from now
    arrivals_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (arrivals_ >= 0) {
        epoll_event line{};
        line.events = EPOLLIN | EPOLLET;
        line.data.fd = fd_;
        epoll_event woken{};
        woken.events = EPOLLIN;
        woken.data.fd = wake_.read_fd();
        if (::epoll_ctl(arrivals_, EPOLL_CTL_ADD, fd_, &line) != 0 ||
            ::epoll_ctl(arrivals_, EPOLL_CTL_ADD, wake_.read_fd(), &woken) != 0) {
            ::close(arrivals_);
            arrivals_ = -1;
        }
    }
    return {SerialOpenStatus::Ok, 0};
}

void PosixSerialPort::close() {
    if (fd_ < 0) return;
    if (saved_termios_) ::tcsetattr(fd_, TCSANOW, &*saved_termios_);
    // Exclusive use lasts as long as the terminal stays open anywhere (a pseudo-terminal's
    // other side may keep it so): give it up, or our own next open is refused.
    ::ioctl(fd_, TIOCNXCL);
    if (arrivals_ >= 0) ::close(arrivals_);
    arrivals_ = -1;
    ::close(fd_);
    fd_ = -1;
    path_.clear();
    saved_termios_.reset();
    line_error_count_.reset();
}

bool PosixSerialPort::set_line(const SerialLineSettings& settings) {
    if (fd_ < 0) return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    if (settings.baud != 0) {
        const std::optional<speed_t> speed = speed_for_baud(settings.baud);
        if (!speed) return false;
        if (::cfsetispeed(&t, *speed) != 0 || ::cfsetospeed(&t, *speed) != 0) return false;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    switch (settings.data_bits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return false;
    }
    if (settings.parity != SerialParity::None) {
        t.c_cflag |= PARENB;
        if (settings.parity == SerialParity::Odd) t.c_cflag |= PARODD;
    }
    if (settings.stop_bits == 2) {
        t.c_cflag |= CSTOPB;
    } else if (settings.stop_bits != 1) {
        return false;
    }
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

std::optional<size_t> PosixSerialPort::bytes_waiting() {
    if (fd_ < 0) return std::nullopt;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0 || count < 0) return std::nullopt;
    return static_cast<size_t>(count);
}

std::optional<size_t> PosixSerialPort::read(std::span<uint8_t> buffer) {
    if (fd_ < 0) return std::nullopt;
    if (buffer.empty()) return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n >= 0) return static_cast<size_t>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return std::nullopt;
    }
}

std::optional<size_t> PosixSerialPort::write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return std::nullopt;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The driver's buffer is full: wait for room, but not for ever.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0 && (p.revents & POLLOUT)) continue;
        }
        break;
    }
    if (done == 0 && !bytes.empty()) return std::nullopt;
    return done;
}

bool PosixSerialPort::drain() {
    if (fd_ < 0) return false;
    for (;;) {
        if (::tcdrain(fd_) == 0) return true;
        if (errno != EINTR) return false;
    }
}

void PosixSerialPort::flush(SerialQueue which) {
    if (fd_ < 0) return;
    const int selector = which == SerialQueue::Input    ? TCIFLUSH
                         : which == SerialQueue::Output ? TCOFLUSH
                                                        : TCIOFLUSH;
    ::tcflush(fd_, selector);
}

namespace {

// The driver has no such request at all (a pseudo-terminal has no modem lines and keeps no
// line error counts): asking again would only cost a system call per command.
bool request_unknown(int error_number) {
    return error_number == ENOTTY || error_number == EINVAL;
}

}  // namespace

bool PosixSerialPort::set_modem_line(int line, bool on) {
    if (fd_ < 0 || lacks_modem_lines_) return false;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    lacks_modem_lines_ = request_unknown(errno);
    return false;
}

bool PosixSerialPort::set_rts(bool on) {
    return set_modem_line(TIOCM_RTS, on);
}

bool PosixSerialPort::set_dtr(bool on) {
    return set_modem_line(TIOCM_DTR, on);
}

bool PosixSerialPort::take_line_error() {
    if (fd_ < 0 || lacks_line_counts_) return false;
    serial_icounter_struct counts{};
    if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
        lacks_line_counts_ = request_unknown(errno);
        return false;
    }
    const uint64_t total = static_cast<uint64_t>(counts.frame) + counts.parity + counts.overrun +
                           counts.brk + counts.buf_overrun;
    const bool changed = line_error_count_.has_value() && total != *line_error_count_;
    line_error_count_ = total;
    return changed;
}

SerialWait PosixSerialPort::wait_readable(int64_t timeout_us) {
    pollfd fds[2] = {{wake_.read_fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
    const nfds_t count = fd_ >= 0 ? 2 : 1;
    const timespec ts = timespec_for_us(timeout_us);
    const int n = ::ppoll(fds, count, &ts, nullptr);
    if (n < 0) return errno == EINTR ? SerialWait::TimedOut : SerialWait::Failed;
    if (n == 0) return SerialWait::TimedOut;
    if (fds[0].revents & POLLIN) {
        wake_.consume();
        return SerialWait::Woken;
    }
    // A hang-up or an error: the device is gone or its other side closed. What poll() may
    // still call readable then only gives EIO.
    if (count == 2 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) return SerialWait::Failed;
    if (count == 2 && (fds[1].revents & POLLIN)) return SerialWait::Readable;
    return SerialWait::Failed;
}

SerialWait PosixSerialPort::wait_for_more(int64_t timeout_us) {
    if (arrivals_ < 0) return SerialPort::wait_for_more(timeout_us);
    std::array<epoll_event, 2> events{};
    // Whole milliseconds, rounded up: the time-out is the fallback, an arrival ends the wait.
    const int timeout_ms = static_cast<int>(
        std::clamp<int64_t>((timeout_us + 999) / 1000, 0, std::numeric_limits<int>::max()));
    const int n =
        ::epoll_wait(arrivals_, events.data(), static_cast<int>(events.size()), timeout_ms);
    if (n < 0) return errno == EINTR ? SerialWait::TimedOut : SerialWait::Failed;
    SerialWait result = SerialWait::TimedOut;
    for (int i = 0; i < n; ++i) {
        const epoll_event& e = events[static_cast<size_t>(i)];
        if (e.data.fd == wake_.read_fd()) {
            wake_.consume();
            return SerialWait::Woken;
        }
        // A hang-up or an error: the device is gone or its other side closed.
        if (e.events & (EPOLLHUP | EPOLLERR)) return SerialWait::Failed;
        if (e.events & EPOLLIN) result = SerialWait::Readable;
    }
    return result;
}

void PosixSerialPort::wake() {
    wake_.wake();
}

bool PosixSerialPort::wait_woken(int64_t timeout_us) {
    return wake_.wait(timeout_us);
}

bool PosixSerialPort::hung_up() {
    if (fd_ < 0) return false;
    pollfd p{fd_, 0, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace kelvanor
