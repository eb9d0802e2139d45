#include "headlink/acquisition.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "headlink/diagnostics_view.h"
#include "headlink/link_indicators.h"
#include "headlink/switch_command.h"
#include "platform/clock.h"
#include "platform/realtime_section.h"
#include "platform/serial_port.h"

namespace kelvanor {

namespace {

constexpr const char* kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

constexpr int64_t kLongestRestWaitUs = 50000;
// Covers the scheduling delay of the wake-up, so that one more look finds the reply whole.
constexpr int64_t kRestWaitMarginUs = 200;
// The last bytes of a reply come in one piece whose time the line rate does not tell: a USB
// adapter hands over up to 62 bytes at once. While no more than that is missing, the wait
// ends at the piece's arrival; a port that cannot report arrivals is looked at every half
// millisecond instead of sleeping a line-time estimate past the piece.
constexpr int64_t kLastPieceBytes = 64;
constexpr int64_t kLastPieceStepUs = 500;

// Copies as much of `text` as fits, always NUL-terminated (a year past 9999 is cut).
template <size_t N>
void copy_text(std::array<char, N>& out, const char* text) {
    out.fill('\0');
    std::memcpy(out.data(), text, strnlen(text, N - 1));
}

void handle_complete_reply(AcquisitionContext& c, size_t waiting) {
    const HeadLinkContext& app = c.state;
    HeadLinkState& link = app.link;
    if (link.no_data_seconds > 2) {
        c.hooks.erase_no_data_notice();
        link.no_data_notice_shown = 0;
    }
    link.no_data_seconds = 0;

    std::array<uint8_t, kHeadReplyCapacity> reply{};
    const auto length = static_cast<size_t>(std::max(app.head.reply_length.load(), 0));
    if (const std::optional<size_t> now = c.port.bytes_waiting()) waiting = *now;
    const size_t wanted = std::min({length, waiting, reply.size()});
    const std::optional<size_t> got = c.port.read(std::span(reply.data(), wanted));
    // A failed or short read drops the reply; the no-data path sends again. Bytes after the
    // reply's terminator belong to no reply and never start the next one: they are dropped
    // here, or with the input flush that goes with the next command.
    if (!got || *got != wanted || wanted == 0) {
        c.port.flush(SerialQueue::Both);
        return;
    }

    ++link.replies_read;
    {
        // The head pings again while this ping is processed: the next command goes out
        // first, and the ping is processed while RTS is held after it, so that its column is
        // drawn without waiting for the hold.
        OutgoingCommand next(app.settings, app.head, &c.port, c.clock);
        if (next.written()) ++link.commands_sent;
        process_head_reply(app, c.hooks, c.clock, reply.data(), wanted);
    }
    if (app.head.reply_valid == 1) ++link.replies_accepted;
    publish_reply_copy(app.head, app.link);
}

// Counts the first incomplete look of each clock second; from the third count on the notice
// blinks and the command goes out again once a second.
void count_no_data_second(AcquisitionContext& c) {
    const HeadLinkContext& app = c.state;
    HeadLinkState& link = app.link;
    const int32_t second = link.clock_second;
    if (second == link.no_data_last_second) return;
    link.no_data_last_second = second;
    ++link.no_data_seconds;
    if (link.no_data_seconds >= 2 && app.run.diagnostics_shown) {
        c.hooks.refresh_diagnostics();
    }
    if (link.no_data_seconds < 3) return;
    ++link.no_data_blink;
    if (link.no_data_blink >= 2) {
        link.no_data_blink = 0;
        c.hooks.erase_no_data_notice();
        link.no_data_notice_shown = 0;
    } else {
        c.hooks.show_no_data_notice(no_data_text(app.settings.ComPort));
        link.no_data_notice_shown = 1;
    }
    c.port.flush(SerialQueue::Both);
    c.hooks.update_ping_indicator(false);
    if (send_switch_command(app.settings, app.head, &c.port, c.clock)) {
        ++link.commands_sent;
        ++link.no_data_resends;
    }
}

}  // namespace

void stamp_ping_time(const HeadLinkContext& app, Clock& clock) {
    // Called on every look at the port: the conversion to local time (a time-zone lookup)
    // runs once per calendar second, not once per look.
    const std::time_t now = clock.calendar_seconds();
    HeadLinkState& link = app.link;
    if (static_cast<int64_t>(now) == link.last_stamped_time) return;
    link.last_stamped_time = static_cast<int64_t>(now);
    const std::tm local = clock.local_time(now);
    link.clock_second = local.tm_sec;

    HeadState& head = app.head;
    const int month = std::clamp(local.tm_mon, 0, 11);
    char date[32];
    std::snprintf(date, sizeof date, "%02d-%s-%04d", local.tm_mday, kMonths[month],
                  local.tm_year + 1900);
    char time[32];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    copy_text(head.date_text, date);
    copy_text(head.time_text, time);
    char both[80];
    std::snprintf(both, sizeof both, "%s  %s", head.date_text.data(), head.time_text.data());
    copy_text(head.date_time_text, both);
    head.time_seconds = local.tm_sec;
}

int64_t rest_of_reply_wait_us(int32_t reply_length, size_t queued) {
    const int64_t missing =
        std::max<int64_t>(static_cast<int64_t>(reply_length) - static_cast<int64_t>(queued), 1);
    const int64_t longest = missing <= kLastPieceBytes ? kLastPieceStepUs : kLongestRestWaitUs;
    return std::min(missing * kByteTimeUs + kRestWaitMarginUs, longest);
}

int64_t wait_before_last_piece_us(int32_t reply_length, size_t queued) {
    const int64_t missing = static_cast<int64_t>(reply_length) - static_cast<int64_t>(queued);
    if (missing <= kLastPieceBytes) return 0;
    return std::min((missing - kLastPieceBytes) * kByteTimeUs, kLongestRestWaitUs);
}

int64_t first_byte_wait_us(Clock& clock) {
    const std::optional<int64_t> until = clock.until_next_second_us();
    if (!until) return kReplyPollTimeoutUs;
    return std::clamp<int64_t>(*until, 0, 1'000'000) + kSecondTurnMarginUs;
}

void poll_head_reply(AcquisitionContext& c) {
    SerialPort& port = c.port;
    if (!port.is_open()) {
        port.wait_woken(kIdleWaitUs);
        return;
    }
    std::optional<size_t> waiting = port.bytes_waiting();
    // A stray byte left by a line error would shift every later reply by one.
    if (port.take_line_error() && waiting == size_t{1}) {
        port.flush(SerialQueue::Input);
        waiting = port.bytes_waiting();
    }
    const size_t queued = waiting.value_or(0);
    const int32_t reply_length = c.state.head.reply_length;
    if (reply_length > 0 && queued >= static_cast<size_t>(reply_length)) {
        handle_complete_reply(c, queued);
        return;
    }
    count_no_data_second(c);
    if (queued > 0) {
        // poll() would answer at once while these bytes wait. Until no more than the last
        // piece can be missing, the line time of the rest is slept through in one wait (a
        // wake-up for every piece would cost more than the look it saves); then the wait ends
        // when more bytes arrive, so that a reply made whole by them is handled at once.
        const int64_t before_last_piece = wait_before_last_piece_us(reply_length, queued);
        if (before_last_piece > 0) {
            port.wait_woken(before_last_piece);
        } else if (port.wait_for_more(rest_of_reply_wait_us(reply_length, queued)) ==
                   SerialWait::Failed) {
            port.wait_woken(kIdleWaitUs);
        }
        return;
    }
    if (port.wait_readable(first_byte_wait_us(c.clock)) == SerialWait::Failed) {
        // The device went away (or a pseudo-terminal lost its other side): poll() would
        // report it at once, again and again.
        port.wait_woken(kIdleWaitUs);
    }
}

void run_acquisition(AcquisitionContext& c) {
    // The loop sleeps in the kernel between replies and runs for a moment per reply: at a
    // real-time priority its wake-ups are not queued behind ordinary work (a compiler, a
    // chart plotter), which on a busy machine delayed columns by milliseconds. The framing of
    // each command then asks the system nothing more.
    RealtimeSection realtime;
    const HeadLinkContext& app = c.state;
    if (app.settings.RunMode == RunMode::Head &&
        send_switch_command(app.settings, app.head, &c.port, c.clock))
        ++app.link.commands_sent;
    // The head's first answer waits in the queue meanwhile; a stop cuts the pause short.
    c.port.wait_woken(kStartupWaitUs);
    while (app.link.acquisition_running == 1) {
        if (app.settings.RunMode != RunMode::Head) {
            c.port.wait_woken(kIdleWaitUs);
            continue;
        }
        stamp_ping_time(app, c.clock);
        if (app.run.hold) {
            c.port.wait_woken(kIdleWaitUs);
            continue;
        }
        poll_head_reply(c);
        app.link.device_missing = c.port.device_missing() ? 1 : 0;
        app.link.device_losses = c.port.losses();
    }
}

}  // namespace kelvanor
