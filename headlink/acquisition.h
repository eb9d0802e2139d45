#pragma once
// The acquisition thread's work: stamp the time, wait for the head reply on the port, read a
// complete reply, send the next switch command at once and run ping processing on the reply;
// while the head is silent, count the seconds, blink the "No Data at COMn" notice and send the
// command again once a second.
//
// The thread never burns a core: it waits in poll() with a short time-out (woken at once by
// a stop), and while part of a reply is queued it waits for the line time the rest needs.
// It runs at a real-time priority where the system allows (platform/realtime_section.h).

#include <cstdint>
#include <string_view>

#include "headlink/head_link_context.h"
#include "ping/process_ping.h"

namespace kelvanor {

class Clock;
class SerialPort;

// What the acquisition thread asks of the window besides ping processing. Everything is
// called on the acquisition thread and must not wait for the GUI thread: publish what the
// panel shows for the window's refresh (panel/panel_feed.h), never draw.
class AcquisitionHooks : public PingHooks {
  public:
    // Show "No Data at COMn" on the panel (link_indicators.h draws it).
    virtual void show_no_data_notice(std::string_view /*text*/) {}
    // Erase it, then redraw the range/grid label that shares its place.
    virtual void erase_no_data_notice() {}
};

struct AcquisitionContext {
    HeadLinkContext state;
    SerialPort& port;
    AcquisitionHooks& hooks;
    Clock& clock;
};

// How long the thread waits in one poll() for a first byte. A byte ends the wait at once; the
// time-out only sets when a silent head's new second is counted. The wait lasts until just
// after the clock's next second, so that a head answering every 28 ms never wakes the
// thread for nothing; a clock that cannot tell its next second is looked at every 20 ms.
inline constexpr int64_t kReplyPollTimeoutUs = 20000;
inline constexpr int64_t kSecondTurnMarginUs = 1000;
int64_t first_byte_wait_us(Clock& clock);
// How long the thread waits per turn while FILE mode runs or Hold is on.
inline constexpr int64_t kIdleWaitUs = 20000;
// The pause after the first command, before the first poll.
inline constexpr int64_t kStartupWaitUs = 500000;
// Line time of one byte at 115200 baud (start, 8 data, stop bits), rounded up.
inline constexpr int64_t kByteTimeUs = 87;

// The time stamp: clock_second, date_text, time_text, date_time_text and time_seconds when
// the calendar second changed since the last stamp; nothing else.
void stamp_ping_time(const HeadLinkContext& app, Clock& clock);

// Microseconds the rest of a reply needs on the line when `queued` of `reply_length` bytes
// have arrived (a little over, so that the next look finds it whole), at most 50 ms; at most
// 0.5 ms once no more than 64 bytes are missing, which may arrive as one piece at any time.
// Once only the last piece may be missing, it is the longest wait for more bytes before the
// next look; an arrival ends it earlier.
int64_t rest_of_reply_wait_us(int32_t reply_length, size_t queued);
// Microseconds, at the line rate, until no more than the last piece (64 bytes) of a reply
// can be missing, at most 50 ms; 0 once no more than that is missing.
int64_t wait_before_last_piece_us(int32_t reply_length, size_t queued);

// One look at the port: a complete reply is read and handled, otherwise the no-data counting
// runs and the call waits (for the first byte, or for the rest of a partial reply).
void poll_head_reply(AcquisitionContext& context);

// The thread procedure: the first command (HEAD mode), the start-up pause, then the loop
// until acquisition_running is cleared (and the port woken).
void run_acquisition(AcquisitionContext& context);

}  // namespace kelvanor
