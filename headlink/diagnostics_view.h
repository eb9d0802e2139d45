#pragma once
// The Diagnostics window's content: the header of the last head reply and the timing values
// of the head link, one row each. Drawing works from a snapshot taken at once, so that a
// window painted on the GUI thread never reads the reply buffer while the acquisition thread
// copies the next reply into it. Drawing only draws: it requests no repaint.

#include <array>
#include <cstdint>
#include <string>

#include "headlink/head_link_state.h"
#include "ping/ping_state.h"
#include "platform/surface.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"

namespace kelvanor {

// What the Diagnostics window reads of the program state. The GPS state lies above the head
// link: the program tells whether the GPS reader's device is away.
struct DiagnosticsSources {
    const Settings& settings;
    const RunState& run;
    const HeadState& head;
    const PingState& ping;
    const HeadLinkState& link;
    bool gps_missing = false;
};

inline constexpr int kDiagnosticsRows = 14;

struct DiagnosticsSnapshot {
    ReplyHeaderCopy reply;
    int32_t reply_type = 0;
    LengthUnit units = LengthUnit::Metres;
    int32_t ss_delay = 0;
    int32_t delay_loops_per_second = 0;
    std::array<char, 12> ping_interval_text{};
    float lines_per_ping = 0.0f;
    int32_t columns_per_mark = 0;
    float speed_knots = 0.0f;
    // A device that went away (unplugged, hung up, network source down) and is being reopened.
    bool head_missing = false;
    bool gps_missing = false;

    // Byte 0 stays 0 until the first reply arrives.
    bool has_reply() const { return reply.header[0] != 0; }
};

// Called by the thread that runs the ping pipeline after head_reply changed (the acquisition
// thread after each reply, and before it refreshes the window itself): copies the header and
// the terminator for readers on other threads.
void publish_reply_copy(const HeadState& head, HeadLinkState& link);

// Reads the published copy while the acquisition thread runs, and head_reply itself
// otherwise (then only the GUI thread writes it). Safe from any thread.
DiagnosticsSnapshot take_diagnostics_snapshot(const DiagnosticsSources& app);

// The texts of the rows. A row that shows nothing (PRF without a reply or of another head
// id) is empty.
std::array<std::string, kDiagnosticsRows> diagnostics_labels();
std::array<std::string, kDiagnosticsRows> diagnostics_values(const DiagnosticsSnapshot& s);

// "%d M", or "%d FT" in feet for the ranges of the table and "??? FT" for any other value.
std::string diagnostics_range_text(int32_t range_metres, LengthUnit units);

// The last row names the devices that are away: "none", "HEAD", "GPS" or "BOTH".
// Where the window's texts go. The rows keep the character-cell places (label at x = 10, a
// "-" at 6 cw + 10, values in a box from 7 cw + 11 to 13 cw + 11, rows ch apart from y = 6),
// widened where the font's texts need more: a proportional face writes "Data Bytes" wider
// than six cells, and a long delay count wider than the box. The window is at least
// 170 pixels wide, so that a caption bar has room for its title beside its buttons.
struct DiagnosticsLayout {
    FontMetrics font;
    int dash_x = 58;
    int value_left = 67;
    int value_right = 115;
    Size window{170, 242};

    Rect value_box(int row) const;
    int row_top(int row) const { return 6 + row * font.char_height; }
};

// The layout for `font`, measuring the labels and the widest values with `measure`'s
// text_extent.
DiagnosticsLayout diagnostics_layout(const FontMetrics& font, const Surface& measure);

// Draws the window. `full` (a paint) fills the background and writes the labels and the
// separators first; otherwise only the value boxes are refilled and written.
void draw_diagnostics(Surface& surface, const DiagnosticsLayout& layout,
                      const DiagnosticsSnapshot& s, bool full);

}  // namespace kelvanor
