#pragma once
// State of the head link's port and acquisition thread: the ports found, the run flag, the
// no-data counting, the ping indicator's phase and the copy of the last reply header that
// other threads (the Diagnostics window) read.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/port_resolver.h"
#include "settings/copyable_mutex.h"
#include "settings/head_state.h"
#include "settings/settings.h"

namespace kelvanor {

// What the Diagnostics window shows of a reply: its header and its last byte.
inline constexpr size_t kReplyHeaderCopyLength = 12;
struct ReplyHeaderCopy {
    std::array<uint8_t, kReplyHeaderCopyLength> header{};
    uint8_t terminator = 0;  // byte reply_length - 1
    int32_t reply_length = 0;
};

struct HeadLinkState {
    // Ports found at start-up (GUI thread only).
    PortTable ports;
    std::array<int32_t, kMaxComPorts> port_present{};     // entry n - 1 for COMn
    std::array<int32_t, kMaxComPorts> available_ports{};  // zero-based numbers, then -1
    // The GPS source when it is on the network (gpsd://, tcp://, udp://); empty when the GPS is
    // COM(ComPortGPS + 1). GUI thread only.
    std::string gps_network_source;

    // 1 while the acquisition thread must keep looping.
    SharedInt acquisition_running = 0;

    // No-data counting (acquisition thread; read by the panel).
    SharedInt no_data_seconds = 0;
    SharedInt no_data_blink = 0;
    SharedInt no_data_notice_shown = 0;  // the notice is on the panel now
    SharedInt clock_second = 0;
    int32_t no_data_last_second = -1;
    int64_t last_stamped_time = -1;  // calendar seconds of the last formatted time stamp

    // What crossed the line since the start, for the accounting that shows no ping was lost:
    // every command sent is answered by a reply read, or followed by a no-data re-send.
    SharedInt commands_sent = 0;
    SharedInt replies_read = 0;
    SharedInt replies_accepted = 0;
    SharedInt no_data_resends = 0;

    // The head's device while the thread runs: 1 while it is away (unplugged, hung up) and
    // being reopened; how many times it went away.
    SharedInt device_missing = 0;
    SharedInt device_losses = 0;

    // Phase of the blinking ping indicator.
    SharedInt ping_star_phase = 0;

    // The last reply's header as the ping pipeline left it, published by the thread that
    // runs the pipeline, so that a window on another thread never reads head_reply while a
    // new reply is copied into it.
    mutable CopyableMutex reply_copy_mutex;
    ReplyHeaderCopy reply_copy;
};

}  // namespace kelvanor
