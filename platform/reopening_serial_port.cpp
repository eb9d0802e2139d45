#include "platform/reopening_serial_port.h"

#include <utility>

namespace kelvanor {

ReopeningSerialPort::ReopeningSerialPort(std::unique_ptr<SerialPort> inner, Clock& clock)
    : inner_(std::move(inner)), clock_(clock) {}

SerialOpenResult ReopeningSerialPort::open(const std::string& path) {
    close();
    const SerialOpenResult result = inner_->open(path);
    if (result.ok()) path_ = path;
    return result;
}

void ReopeningSerialPort::close() {
    inner_->close();
    path_.clear();
    line_.reset();
    dtr_.reset();
    missing_ = false;
}

void ReopeningSerialPort::lose() {
    if (missing_ || path_.empty()) return;
    inner_->close();
    missing_ = true;
    ++losses_;
    next_attempt_ms_ = clock_.monotonic_ms() + kReopenIntervalMs;
}

bool ReopeningSerialPort::present() {
    if (!missing_) return !path_.empty();
    const uint64_t now = clock_.monotonic_ms();
    if (now < next_attempt_ms_) return false;
    next_attempt_ms_ = now + kReopenIntervalMs;
    if (!inner_->open(path_).ok()) return false;
    // The device is back: as the owner had set it up.
    if ((line_ && !inner_->set_line(*line_)) || inner_->hung_up()) {
        inner_->close();
        return false;
    }
    if (dtr_) (void)inner_->set_dtr(*dtr_);
    missing_ = false;
    return true;
}

bool ReopeningSerialPort::set_line(const SerialLineSettings& settings) {
    if (!present()) return false;
    if (!inner_->set_line(settings)) return false;
    line_ = settings;
    return true;
}

std::optional<size_t> ReopeningSerialPort::bytes_waiting() {
    if (!present()) return path_.empty() ? std::nullopt : std::optional<size_t>(0);
    const std::optional<size_t> waiting = inner_->bytes_waiting();
    if (!waiting) {
        lose();
        return 0;
    }
    // Nothing queued may be a hang-up: a pseudo-terminal whose other side closed, or an
    // adapter pulled out, still answers the count with zero. Asked a few times a second, not
    // at every look of a reader that polls every few milliseconds.
    if (*waiting == 0) {
        const uint64_t now = clock_.monotonic_ms();
        if (now >= next_hangup_check_ms_) {
            next_hangup_check_ms_ = now + kHangUpCheckIntervalMs;
            if (inner_->hung_up()) {
                lose();
                return 0;
            }
        }
    }
    return waiting;
}

std::optional<size_t> ReopeningSerialPort::read(std::span<uint8_t> buffer) {
    if (!present()) return path_.empty() ? std::nullopt : std::optional<size_t>(0);
    const std::optional<size_t> got = inner_->read(buffer);
    if (!got) {
        lose();
        return 0;
    }
    return got;
}

std::optional<size_t> ReopeningSerialPort::write(std::span<const uint8_t> bytes) {
    if (!present()) return std::nullopt;
    const std::optional<size_t> written = inner_->write(bytes);
    if (!written && inner_->hung_up()) lose();
    return written;
}

bool ReopeningSerialPort::drain() {
    return present() && inner_->drain();
}

void ReopeningSerialPort::flush(SerialQueue which) {
    if (present()) inner_->flush(which);
}

bool ReopeningSerialPort::set_rts(bool on) {
    return present() && inner_->set_rts(on);
}

bool ReopeningSerialPort::set_dtr(bool on) {
    if (path_.empty()) return false;
    dtr_ = on;
    return present() && inner_->set_dtr(on);
}

bool ReopeningSerialPort::take_line_error() {
    return present() && inner_->take_line_error();
}

SerialWait ReopeningSerialPort::wait_on_device(int64_t timeout_us,
                                               SerialWait (SerialPort::*wait)(int64_t timeout_us)) {
    if (!present()) {
        // Nothing to wait for but a wake-up; the caller's time-out still passes.
        return inner_->wait_woken(timeout_us) ? SerialWait::Woken : SerialWait::TimedOut;
    }
    const SerialWait result = (inner_.get()->*wait)(timeout_us);
    if (result == SerialWait::Failed) {
        lose();
        return SerialWait::TimedOut;
    }
    return result;
}

SerialWait ReopeningSerialPort::wait_readable(int64_t timeout_us) {
    return wait_on_device(timeout_us, &SerialPort::wait_readable);
}

SerialWait ReopeningSerialPort::wait_for_more(int64_t timeout_us) {
    return wait_on_device(timeout_us, &SerialPort::wait_for_more);
}

}  // namespace kelvanor
