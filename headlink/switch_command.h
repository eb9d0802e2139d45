#pragma once
// The switch command: the 27 bytes the head receives before every ping, the head-model values
// the command and the reply share, and the framed send on the line (RTS raised around the
// write, with its lead and hold times).

#include <array>
#include <cstdint>
#include <optional>

#include "platform/realtime_section.h"
#include "settings/head_state.h"
#include "settings/settings.h"

namespace kelvanor {

class Clock;
class SerialPort;

using SwitchCommand = std::array<uint8_t, kSwitchCommandLength>;

// Everything one command is built from.
struct SwitchCommandParams {
    int32_t head_type = kHeadTypeG;  // 'G' or 'H'
    int32_t range_metres = 120;
    int32_t hold_command_flag = 0;
    ChannelCode channel_code = ChannelCode::Both;
    int32_t gain = 6;
    FrequencyBand frequency = FrequencyBand::Low;
    int32_t balance_factor_minus = 100;
    int32_t balance_factor_plus = 100;
    int32_t ss_delay = 0;
};

// Range code of byte 3 for a 'G' head; a 'G' head is asked for 120 m at 210 m and 240 m.
// A range not in the table gets the 120 m code.
uint8_t g_range_code(int32_t range_metres);

// The 27 bytes for one ping. Values are sent as the settings hold them, cut to a byte.
SwitchCommand build_switch_command(const SwitchCommandParams& params);

// The parameters as the settings and the head state hold them now.
SwitchCommandParams switch_command_params(const Settings& settings, const HeadState& head);

// Head model derivation from the status bit of the last reply: head_type, samples_per_line,
// reply_length, record_size_code and line_span (which for a 'G' head follows the range).
void update_head_model(HeadState& head);
int32_t line_span_for(int32_t head_type, int32_t range_metres);

// The bookkeeping before a send: clears reply_valid, restores head id 0x10 over 0x12, derives
// the head model and rebuilds switch_command when the head id is 0x10 (any other id sends the
// previous bytes again). Returns the bytes to send.
SwitchCommand prepare_switch_command(const Settings& settings, HeadState& head);

// The timing of the framed send, in microseconds.
inline constexpr int32_t kRtsLeadMicroseconds = 200;
inline constexpr int32_t kRtsHoldMicroseconds = 1500;

// One command going out on `port` (nothing but the bookkeeping when it is null or closed).
// The constructor raises RTS, waits 200 us, writes, and drains until the bytes have left;
// finish() (or the destructor) waits until 1500 us after the drain, drops RTS and flushes
// the input, so that only bytes arriving after the command count as its reply. In between,
// the caller may process the ping just read: the hold is then used instead of slept away,
// and it ends later than 1500 us only when that work takes longer. A line without modem
// lines (a pseudo-terminal) has no framing to time: both waits are left out, and the input
// is flushed before the write instead of after it, since a reply may begin as soon as the
// command has left. The calling thread asks for a real-time priority around the framing and
// goes on quietly where the system refuses.
class OutgoingCommand {
  public:
    OutgoingCommand(const Settings& settings, HeadState& head, SerialPort* port, Clock& clock);
    ~OutgoingCommand();
    OutgoingCommand(const OutgoingCommand&) = delete;
    OutgoingCommand& operator=(const OutgoingCommand&) = delete;

    // False when the write did not take all 27 bytes (or there was no port): the head then
    // stays silent and the no-data path sends again.
    bool written() const { return written_; }
    // Waits out the hold, drops RTS and flushes the input; once.
    void finish();

  private:
    Clock& clock_;
    SerialPort* port_ = nullptr;  // until finish()
    std::optional<RealtimeSection> realtime_;
    int64_t rts_drop_at_us_ = 0;
    bool framed_ = false;  // RTS rose: the line has modem lines
    bool written_ = false;
};

// Sends one command and waits out its hold: OutgoingCommand with nothing in between.
bool send_switch_command(const Settings& settings, HeadState& head, SerialPort* port, Clock& clock);

}  // namespace kelvanor
