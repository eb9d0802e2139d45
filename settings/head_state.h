#pragma once
// The head-link state that the switch command, the head reply, ping processing, recording
// and playback share: the head model in force, the values the switch command is built from,
// the reply buffer and the time stamp of the ping in flight.
//
// The acquisition thread writes most of these fields while the GUI thread reads them (and,
// in FILE mode, playback writes them on the GUI thread), so the scalars are Shared values.
// The byte buffers are written by whichever thread runs the ping pipeline for the current
// run mode and read by the same thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "settings/copyable_mutex.h"
#include "settings/settings.h"

namespace kelvanor {

struct RunState;

// Head models as reported in reply byte 1. 'M' only until the head port first starts.
inline constexpr int32_t kHeadTypeG = 'G';
inline constexpr int32_t kHeadTypeH = 'H';
inline constexpr int32_t kHeadTypeUnset = 'M';

// Head ids carried in reply byte 3 and in the settings marker of a ping record.
inline constexpr int32_t kSideScanHeadId = 0x10;

inline constexpr size_t kSwitchCommandLength = 27;
// Replies of the present heads are 413 ('G') or 513 ('H') bytes. A played record may carry
// any reply that fits behind the header of the longest record the reader accepts (1024
// bytes less the 100-byte header and the 2-byte back-link), so the buffer holds that much.
inline constexpr size_t kHeadReplyCapacity = 1024 - 102;

// A record stores 12 bytes of date and 9 of time ("07-DEC-2026" and "16:05:09" with their
// NULs). Each text keeps one byte more, so that a played field without its NUL (an old
// five-digit year) is still held whole and terminated.
inline constexpr size_t kDateFieldLength = 12;
inline constexpr size_t kTimeFieldLength = 9;
inline constexpr size_t kDateTextSize = kDateFieldLength + 1;
inline constexpr size_t kTimeTextSize = kTimeFieldLength + 1;
inline constexpr size_t kDateTimeTextSize = 40;  // date, two blanks, time, NUL; history width
inline constexpr size_t kPositionTextSize = 24;  // latitude 12 characters, longitude 12

// Range index (SSRange 0..8) to metres.
inline constexpr std::array<int32_t, 9> kRangeMetres = {15, 30, 60, 90, 120, 150, 180, 210, 240};

using PositionTextLock = CopyableMutex;

struct HeadState {
    // Head model, re-derived before every command from head_type_h_flag (HEAD mode) or
    // taken from each played record (FILE mode).
    SharedInt head_type = kHeadTypeUnset;
    SharedInt samples_per_line = 400;
    SharedInt reply_length = 413;  // always samples_per_line + 13 for a live head
    SharedInt record_size_code = 3;
    SharedInt line_span = 500;
    SharedInt head_type_h_flag = 0;               // status bit 0 of the last accepted reply
    SharedInt current_head_id = kSideScanHeadId;  // head id of the ping in flight

    // Values the switch command is built from, beside the settings.
    SharedInt hold_command_flag = 0;
    SharedInt balance_factor_plus = 100;
    SharedInt balance_factor_minus = 100;
    SharedInt range_metres = 120;
    SharedFloat metres_per_sample = 0.24f;

    // Values held for command bytes that live heads always get as constants; a played record
    // carries the ones it was made with. extra_setting_2 is the conversion mode that the
    // echo conversion applies to played pings.
    SharedInt held_byte4 = 0;
    SharedInt held_byte9 = 1;
    SharedInt frequency_code = 10;  // command byte 10: 20 high, 10 low
    SharedInt sample_bits = 8;      // command byte 20
    SharedInt extra_setting_1 = 0;
    SharedInt extra_setting_2 = 0;

    SharedInt reply_valid = 0;  // cleared by each command, set for a validated reply

    std::array<uint8_t, kSwitchCommandLength> switch_command{};
    std::array<uint8_t, kHeadReplyCapacity> head_reply{};

    // Time stamp of the ping in flight: formatted from the local clock by the acquisition
    // thread, restored from each played record in FILE mode. Always NUL-terminated.
    std::array<char, kDateTextSize> date_text{};
    std::array<char, kTimeTextSize> time_text{};
    std::array<char, kDateTimeTextSize> date_time_text{};
    SharedInt time_seconds = 0;

    // Position of the ping in flight: written by the GPS reader, restored from played
    // records; 24 zero bytes while none is known. Copy or change it only under
    // position_text_lock, since the GPS thread rewrites it while the acquisition thread
    // records.
    std::array<char, kPositionTextSize> position_text{};
    mutable PositionTextLock position_text_lock;
};

// Every value that playing a record overwrites and that HEAD mode needs back: the run-mode
// switch captures them on entering FILE mode and restores them on leaving it, so that a
// played 'H' file does not leave a 'G' head expected to send 513 bytes, nor the file's gain,
// channel, speed or head id in force.
struct HeadParameterSet {
    // Settings
    int32_t SSRange = 4;
    int32_t SSGain = 6;
    ChannelSelection SSTrain = ChannelSelection::Both;
    ChannelCode channel_code = ChannelCode::Both;
    ChannelSelection previous_ss_train = ChannelSelection::Both;
    FrequencyBand file_frequency = FrequencyBand::Low;
    // Run state
    float speed_knots = 3.0f;
    float heading_degrees = 0.0f;
    // Head model
    int32_t head_type = kHeadTypeUnset;
    int32_t samples_per_line = 400;
    int32_t reply_length = 413;
    int32_t record_size_code = 3;
    int32_t line_span = 500;
    int32_t head_type_h_flag = 0;
    int32_t current_head_id = kSideScanHeadId;
    // Switch-command values
    int32_t range_metres = 120;
    float metres_per_sample = 0.24f;
    int32_t held_byte4 = 0;
    int32_t held_byte9 = 1;
    int32_t frequency_code = 10;
    int32_t sample_bits = 8;
    int32_t extra_setting_1 = 0;
    int32_t extra_setting_2 = 0;
    std::array<uint8_t, kSwitchCommandLength> switch_command{};
};

// The head parameters are kept in the settings, the head state and the run values.
HeadParameterSet capture_head_parameters(const Settings& settings, const HeadState& head,
                                         const RunState& run);
void restore_head_parameters(Settings& settings, HeadState& head, RunState& run,
                             const HeadParameterSet& saved);

}  // namespace kelvanor
