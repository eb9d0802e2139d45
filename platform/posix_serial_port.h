#pragma once
// SerialPort on a POSIX terminal device (a UART, a USB serial adapter or a pseudo-terminal)
// through termios.

#include <termios.h>

#include <optional>
#include <string>

#include "platform/serial_port.h"
#include "platform/wake_pipe.h"

namespace kelvanor {

class PosixSerialPort final : public SerialPort {
  public:
    PosixSerialPort();
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    SerialOpenResult open(const std::string& path) override;
    void close() override;
    bool is_open() const override { return fd_ >= 0; }
    const std::string& path() const override { return path_; }

    [[nodiscard]] bool set_line(const SerialLineSettings& settings) override;

    std::optional<size_t> bytes_waiting() override;
    std::optional<size_t> read(std::span<uint8_t> buffer) override;
    std::optional<size_t> write(std::span<const uint8_t> bytes) override;
    bool drain() override;
    void flush(SerialQueue which) override;

    bool set_rts(bool on) override;
    bool set_dtr(bool on) override;
    bool take_line_error() override;

    SerialWait wait_readable(int64_t timeout_us) override;
    SerialWait wait_for_more(int64_t timeout_us) override;
    void wake() override;
    bool wait_woken(int64_t timeout_us) override;
    bool hung_up() override;

  private:
    bool set_modem_line(int line, bool on);

    int fd_ = -1;
    // An epoll set of the line (edge-triggered: every arrival of bytes is one event, whatever
    // waits unread) and the wake pipe, for wait_for_more(); -1 where the system refused it.
    int arrivals_ = -1;
    std::string path_;
    std::optional<termios> saved_termios_;
    std::optional<uint64_t> line_error_count_;
    // Learnt at the first refusal, forgotten at the next open.
    bool lacks_modem_lines_ = false;
    bool lacks_line_counts_ = false;
    // wake() writes to it; the waits poll it beside the line.
    WakePipe wake_;
};

// The open status of an errno from open() or the exclusive-use ioctl.
SerialOpenStatus open_status_for_errno(int error_number);

}  // namespace kelvanor
