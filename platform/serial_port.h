#pragma once
// One serial line: the whole serial API of the program in one small interface, shaped after
// libserialport (open, line settings, bytes waiting, read, write, drain, flush, modem lines).
// The head link and the GPS reader use it; platform/posix_serial_port.h is the termios
// implementation, and tests may put a fake behind it.
//
// A port is used by one thread at a time, except wake(), which any thread may call to end a
// wait_readable() early.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvanor {

// Why an open failed. PermissionDenied is told apart because the operator can mend it
// (membership of the group that owns the device), while the others point at the device.
enum class SerialOpenStatus { Ok, NotFound, PermissionDenied, Busy, NotASerialPort, Failed };

struct SerialOpenResult {
    SerialOpenStatus status = SerialOpenStatus::Failed;
    int error_number = 0;  // errno of the failing call, 0 on success
    bool ok() const { return status == SerialOpenStatus::Ok; }
};

enum class SerialParity { None, Odd, Even };

// Line settings. Every line the program drives is 8 data bits, no parity, one stop bit.
struct SerialLineSettings {
    int baud = 115200;  // 0 leaves the line's rate as it is
    int data_bits = 8;
    SerialParity parity = SerialParity::None;
    int stop_bits = 1;
};

// Which buffered data flush() throws away.
enum class SerialQueue { Input, Output, Both };

// What ended a wait_readable() or wait_for_more().
enum class SerialWait { Readable, TimedOut, Woken, Failed };

class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Opens the device at `path` for reading and writing, exclusive, and makes the line raw
    // (no echo, no character mapping, no flow control, reads never block), with RTS low.
    // Both queues are flushed. Closes a port that was open before.
    virtual SerialOpenResult open(const std::string& path) = 0;
    // Restores the line as it was found at open and closes it. Harmless when not open.
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    // The path given to the last successful open; empty when closed.
    virtual const std::string& path() const = 0;

    // Applies baud rate, data bits, parity and stop bits. False when the device refuses them,
    // the rate is not one the driver offers, or the port is not open; the line is then as it
    // was.
    [[nodiscard]] virtual bool set_line(const SerialLineSettings& settings) = 0;

    // Bytes received and not yet read; nothing when the port is not open or the query fails.
    virtual std::optional<size_t> bytes_waiting() = 0;
    // Reads what is there, up to buffer.size() bytes, without waiting. Nothing on failure
    // (the device went away); 0 when no byte was waiting.
    virtual std::optional<size_t> read(std::span<uint8_t> buffer) = 0;
    // Writes the bytes, waiting until the driver has taken all of them. Returns how many it
    // took (fewer only on failure); nothing when the port is not open or nothing was taken.
    virtual std::optional<size_t> write(std::span<const uint8_t> bytes) = 0;
    // Waits until every written byte has left the line. write() returns before that.
    virtual bool drain() = 0;
    // Discards received bytes not yet read and/or written bytes not yet sent.
    virtual void flush(SerialQueue which) = 0;

    // Modem control lines. False when the line cannot be set: a pseudo-terminal has none, and
    // the callers go on without them.
    virtual bool set_rts(bool on) = 0;
    virtual bool set_dtr(bool on) = 0;

    // Whether a line error (framing, parity, overrun, break) was counted since the last call.
    // Always false where the driver keeps no such counts.
    virtual bool take_line_error() = 0;

    // Waits up to `timeout_us` microseconds for a byte to read. Returns Woken as soon as
    // another thread calls wake(); a wake() made while nobody waits ends the next wait.
    virtual SerialWait wait_readable(int64_t timeout_us) = 0;
    // Waits up to `timeout_us` microseconds for bytes that arrive after the last look, even
    // while older bytes wait unread (where wait_readable() would answer at once). Readable
    // may also come once for bytes that arrived just before the last look. A port that cannot
    // tell new bytes from old waits for wake() alone, and the time-out passes.
    virtual SerialWait wait_for_more(int64_t timeout_us) {
        return wait_woken(timeout_us) ? SerialWait::Woken : SerialWait::TimedOut;
    }
    // Ends the current or next wait_readable(), wait_for_more() or wait_woken() early. Safe
    // from any thread.
    virtual void wake() = 0;
    // Waits up to `timeout_us` microseconds for wake() alone, ignoring the line. True when
    // woken.
    virtual bool wait_woken(int64_t timeout_us) = 0;

    // True when the device reports a hang-up or an error: it was unplugged, or a
    // pseudo-terminal lost its other side. Never waits.
    virtual bool hung_up() { return false; }
    // True while the device (or network source) this port was opened on is away and the port
    // is trying to get it back by itself.
    virtual bool device_missing() const { return false; }
    // How many times the device went away since the open.
    virtual int32_t losses() const { return 0; }
};

// Baud rate of a baud index of the port set-up (0..5: 9600, 14400, 19200, 38400, 57600,
// 115200); nothing for any other index, which leaves the line's rate as it is.
std::optional<int> baud_for_index(int baud_index);

// The head's line: 115200 baud, 8 data bits, no parity, one stop bit.
inline constexpr int kHeadBaudIndex = 5;

// Text for an open failure, naming the device; for a permission failure it names the group
// the user must belong to.
std::string describe_open_failure(std::string_view path, const SerialOpenResult& result);

}  // namespace kelvanor
