#pragma once
// A serial line that survives its device going away. USB serial adapters get knocked loose and
// boats brown out: when a read fails, a wait reports a hang-up or an error, or the device
// reports a hang-up while nothing is queued, the line is closed and opened again by its path
// once a second, with the line settings and the DTR state it had, until the device answers.
// Meanwhile the port counts as open but carries nothing: reads give no bytes, writes and the
// modem lines fail, so that the caller's own no-data handling runs as for a silent device.
//
// Wraps the port that does the I/O; used from one thread at a time like any SerialPort, except
// wake(). device_missing() and losses() may be read from any thread.

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace kelvanor {

inline constexpr uint64_t kReopenIntervalMs = 1000;
inline constexpr uint64_t kHangUpCheckIntervalMs = 200;

class ReopeningSerialPort final : public SerialPort {
  public:
    ReopeningSerialPort(std::unique_ptr<SerialPort> inner, Clock& clock);

    SerialOpenResult open(const std::string& path) override;
    void close() override;
    bool is_open() const override { return !path_.empty(); }
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
    void wake() override { inner_->wake(); }
    bool wait_woken(int64_t timeout_us) override { return inner_->wait_woken(timeout_us); }
    bool hung_up() override { return missing_ || inner_->hung_up(); }
    bool device_missing() const override { return missing_.load(); }
    int32_t losses() const override { return losses_.load(); }

  private:
    // Closes the device and starts the reopening.
    void lose();
    // While missing: one attempt when a second has passed since the last. True when present.
    bool present();
    // `wait` of the device while it is present (a failure loses it), else a wait for wake().
    SerialWait wait_on_device(int64_t timeout_us,
                              SerialWait (SerialPort::*wait)(int64_t timeout_us));

    std::unique_ptr<SerialPort> inner_;
    Clock& clock_;
    std::string path_;  // what the owner opened; kept while the device is missing
    std::optional<SerialLineSettings> line_;
    std::optional<bool> dtr_;
    std::atomic<bool> missing_{false};
    std::atomic<int32_t> losses_{0};
    uint64_t next_attempt_ms_ = 0;
    uint64_t next_hangup_check_ms_ = 0;
};

}  // namespace kelvanor
