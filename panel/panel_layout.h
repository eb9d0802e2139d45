#pragma once
// The fixed pixel layout of the control panel below and beside the waterfall. Most positions
// are absolute client pixels; the value boxes, their arrows, the DATA FROM buttons and the
// read-out boxes at the right depend on the panel font's character cell (cx, cy) and on the
// arrow button size (bw, bh), and are computed once from them.

#include "platform/geometry.h"
#include "platform/surface.h"

namespace kelvanor {

// A push button given by its top-left corner and size. It is hit strictly inside its border:
// x < px < x + width and y < py < y + height.
struct ButtonBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool hit(Point p) const { return x < p.x && p.x < x + width && y < p.y && p.y < y + height; }
    Rect rect() const { return {x, y, x + width, y + height}; }
    bool operator==(const ButtonBox&) const = default;
};

// The size of an arrow button of the platform's glyphs.
inline constexpr Size kDefaultArrowSize{16, 16};
// One cell of the check-box glyphs (Hold, REC Pause).
inline constexpr int kCheckBoxSize = 13;

// The REC Pause box right of the panel's top row, shown while recording in HEAD mode: its
// check-box cell, its label, and the area the two take (erased when the recording stops).
inline constexpr Rect kRecPauseArea{696, 504, 787, 520};
inline constexpr Rect kRecPauseCheckCell{696, 505, 696 + kCheckBoxSize, 505 + kCheckBoxSize};
inline constexpr Point kRecPauseLabel{712, 504};
inline constexpr const char* kRecPauseText = "REC Pause";

// Rows of the panel that do not depend on the font.
inline constexpr int kPanelTop = 502;
inline constexpr int kPanelBottom = 599;
inline constexpr int kPanelRight = 792;
inline constexpr int kValueRowTop = 521;  // y0: top of the value boxes' arrows

struct PanelLayout {
    // Character cell of the panel font and size of one arrow button.
    int cx = 8;
    int cy = 16;
    int bw = kDefaultArrowSize.width;
    int bh = kDefaultArrowSize.height;
    int y0 = kValueRowTop;

    // Value boxes (outline and face), each followed by its up and down arrows at x1, x2, x3.
    Rect range_box;
    Rect gain_box;
    Rect channel_box;
    int x1 = 0;
    int x2 = 0;
    int x3 = 0;

    // Arrow buttons. Range and channel arrows are buttons (hit inside their border), gain and
    // plot speed arrows are rectangles (hit as rectangles are): the auto-repeat follows the
    // pointer with the rectangle test.
    Point range_up_button;
    Point range_down_button;
    Point train_up_button;
    Point train_down_button;
    Size arrow_button_size;
    Rect gain_up_rect;
    Rect gain_down_rect;
    Rect plot_up_rect;    // right arrow of Plot Spd (FILE mode)
    Rect plot_down_rect;  // left arrow of Plot Spd (FILE mode)

    ButtonBox head_button;
    ButtonBox file_button;
    Point data_from_label;

    // Fixed click areas, hit strictly inside.
    Rect hold_box{103, 504, 147, 515};
    Rect rec_pause_box{696, 505, 786, 516};
    Point hold_check{103, 504};
    Point rec_pause_check{696, 505};

    Point entry_box{692, 504};
    // The pointer is over the waterfall strictly inside this rectangle.
    Rect waterfall_rect{1, 1, 785, 501};

    // Read-out boxes (right part of the panel).
    Rect speed_box;
    Rect heading_box;
    Rect heading_dial;
    Rect cursor_range_box;
    Rect date_time_box;
    Rect position_box{692, 520, 792, 0};

    Rect range_up_rect() const { return arrow_rect(range_up_button); }
    Rect range_down_rect() const { return arrow_rect(range_down_button); }
    Rect train_up_rect() const { return arrow_rect(train_up_button); }
    Rect train_down_rect() const { return arrow_rect(train_down_button); }
    Rect arrow_rect(Point at) const {
        return {at.x, at.y, at.x + arrow_button_size.width, at.y + arrow_button_size.height};
    }
    // An arrow given by its corner is hit strictly inside its border.
    bool arrow_hit(Point at, Point p) const {
        return ButtonBox{at.x, at.y, arrow_button_size.width, arrow_button_size.height}.hit(p);
    }
};

// The layout for a font and an arrow button size; called once at start-up (and built with
// the default 8 x 16 cell for a fresh state).
PanelLayout compute_panel_layout(const FontMetrics& font, Size arrow = kDefaultArrowSize);

// Strictly inside the waterfall: 0 < x < 785 and 0 < y < 501.
bool waterfall_hit(Point p);

}  // namespace kelvanor
