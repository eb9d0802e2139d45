#include "headlink/switch_command.h"

#include "platform/clock.h"

#include "platform/serial_port.h"

namespace kelvanor {

namespace {

constexpr int32_t kRetiredHeadId = 0x12;
constexpr uint8_t kModelCodeG = 40;
constexpr uint8_t kModelCodeH = 50;

uint8_t low_byte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

uint8_t g_range_code(int32_t range_metres) {
    switch (range_metres) {
        case 15:
            return 20;
        case 30:
            return 40;
        case 60:
            return 75;
        case 90:
            return 115;
        case 150:
            return 190;
        case 180:
            return 225;
        default:  // 120, and 210 and 240, which a 'G' head cannot reach
            return 150;
    }
}

SwitchCommand build_switch_command(const SwitchCommandParams& p) {
    const bool h_head = p.head_type == kHeadTypeH;
    // Command byte 7 names the side as the head sees it: 1 port, 2 starboard, 3 both.
    int32_t channel = 3;
    if (p.channel_code == ChannelCode::Starboard) {
        channel = 2;
    } else if (p.channel_code == ChannelCode::Port) {
        channel = 1;
    }
    SwitchCommand c{};
    c[0] = 0xFE;
    c[1] = 0x44;
    c[2] = kSideScanHeadId;
    c[3] = h_head ? low_byte(p.range_metres) : g_range_code(p.range_metres);
    c[4] = 0;
    c[5] = low_byte(p.hold_command_flag);
    c[6] = 0x43;
    c[7] = low_byte(channel);
    c[8] = low_byte(p.gain);
    c[9] = 1;
    c[10] = p.frequency == FrequencyBand::High ? 20 : 10;
    c[11] = low_byte(p.balance_factor_minus);
    c[12] = low_byte(p.balance_factor_plus);
    c[13] = 0;
    c[14] = 100;
    c[19] = h_head ? kModelCodeH : kModelCodeG;
    c[20] = 8;
    c[21] = 6;
    c[24] = low_byte(p.ss_delay / 2);
    c[25] = low_byte(static_cast<int32_t>(p.frequency));
    c[26] = 0xFD;
    return c;
}

SwitchCommandParams switch_command_params(const Settings& shared, const HeadState& head) {
    // The frequency and the settings beside it as they stood at one moment.
    const Settings settings = consistent_copy(shared);
    SwitchCommandParams p;
    p.head_type = head.head_type;
    p.range_metres = head.range_metres;
    p.hold_command_flag = head.hold_command_flag;
    p.channel_code = settings.channel_code;
    p.gain = settings.SSGain;
    p.frequency = settings.Frequency;
    p.balance_factor_minus = head.balance_factor_minus;
    p.balance_factor_plus = head.balance_factor_plus;
    p.ss_delay = settings.SSDelay;
    return p;
}

int32_t line_span_for(int32_t head_type, int32_t range_metres) {
    if (head_type == kHeadTypeH) return 500;
    switch (range_metres) {
        case 15:
        case 30:
            return 533;
        case 90:
            return 511;
        case 150:
            return 507;
        default:
            return 500;
    }
}

void update_head_model(HeadState& head) {
    const bool h_head = (head.head_type_h_flag & 1) != 0;
    head.head_type = h_head ? kHeadTypeH : kHeadTypeG;
    head.samples_per_line = h_head ? 500 : 400;
    head.reply_length = head.samples_per_line + 13;
    head.record_size_code = 3;
    head.line_span = line_span_for(head.head_type, head.range_metres);
}

SwitchCommand prepare_switch_command(const Settings& settings, HeadState& head) {
    head.reply_valid = 0;
    if (head.current_head_id == kRetiredHeadId) head.current_head_id = kSideScanHeadId;
    update_head_model(head);
    if (head.current_head_id == kSideScanHeadId) {
        head.switch_command = build_switch_command(switch_command_params(settings, head));
    }
    // The frequency code a recorded ping carries is the one this command asks for.
    head.frequency_code = head.switch_command[10];
    return head.switch_command;
}

OutgoingCommand::OutgoingCommand(const Settings& settings, HeadState& head, SerialPort* port,
                                 Clock& clock)
    : clock_(clock) {
    head.reply_valid = 0;
    if (port == nullptr || !port->is_open()) return;
    port_ = port;
    realtime_.emplace();
    const SwitchCommand command = prepare_switch_command(settings, head);
    // The lead and hold times are minimums: sleeps to absolute deadlines keep them without
    // keeping a core busy. They time the RTS framing alone: a line without modem lines (a
    // pseudo-terminal) has nothing to frame, and the command goes out without the two waits.
    framed_ = port->set_rts(true);
    if (framed_) {
        clock.sleep_until_us(clock.monotonic_us() + kRtsLeadMicroseconds);
    } else {
        // Without a hold nothing keeps the head from answering as soon as the command has
        // left, so the input cannot be flushed after it without racing the reply: what waits
        // now is stale (bytes trailing the last reply) and goes before the write instead.
        port->flush(SerialQueue::Input);
    }
    const std::optional<size_t> written = port->write(command);
    written_ = written.has_value() && *written == command.size();
    // write() returns while the bytes are still queued (27 bytes are 2.3 ms on the line):
    // the hold time counts from the last stop bit.
    port->drain();
    if (framed_) {
        rts_drop_at_us_ = clock.monotonic_us() + kRtsHoldMicroseconds;
    } else {
        finish();
    }
}

OutgoingCommand::~OutgoingCommand() {
    finish();
}

void OutgoingCommand::finish() {
    if (port_ == nullptr) return;
    if (framed_) {
        clock_.sleep_until_us(rts_drop_at_us_);
        port_->set_rts(false);
        // Only bytes that arrive after the command (not its echo on a two-wire line) count as
        // its reply. The output side was drained above.
        port_->flush(SerialQueue::Input);
    }
    port_ = nullptr;
    realtime_.reset();
}

bool send_switch_command(const Settings& settings, HeadState& head, SerialPort* port,
                         Clock& clock) {
    return OutgoingCommand(settings, head, port, clock).written();
}

}  // namespace kelvanor
