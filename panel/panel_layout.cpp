#include "panel/panel_layout.h"

namespace kelvanor {

PanelLayout compute_panel_layout(const FontMetrics& font, Size arrow) {
    PanelLayout l;
    l.cx = font.char_width;
    l.cy = font.char_height;
    l.bw = arrow.width;
    l.bh = arrow.height;
    l.arrow_button_size = arrow;
    const int cx = l.cx;
    const int cy = l.cy;
    const int y0 = l.y0;
    const int box_width = 6 * cx;
    const int box_top = y0 - 1;
    const int box_bottom = y0 + 2 * l.bh;

    l.range_box = {160, box_top, 160 + box_width, box_bottom};
    l.x1 = l.range_box.right;
    const int gain_left = l.x1 + l.bw + 5;
    l.gain_box = {gain_left, box_top, gain_left + box_width, box_bottom};
    l.x2 = l.gain_box.right;
    const int channel_left = l.x2 + l.bw + 5;
    l.channel_box = {channel_left, box_top, channel_left + box_width, box_bottom};
    l.x3 = l.channel_box.right;

    l.range_up_button = {l.x1, y0};
    l.range_down_button = {l.x1, y0 + l.bh};
    l.train_up_button = {l.x3, y0};
    l.train_down_button = {l.x3, y0 + l.bh};
    l.gain_up_rect = {l.x2, y0, l.x2 + l.bw, y0 + l.bh};
    l.gain_down_rect = {l.x2, y0 + l.bh, l.x2 + l.bw, y0 + 2 * l.bh};
    l.plot_down_rect = {389, 506, 389 + l.bw, 506 + l.bh};
    l.plot_up_rect = {454, 506, 454 + l.bw, 506 + l.bh};

    l.head_button = {4, 522, 5 * cx, cy + 5};
    l.file_button = {5 * cx + 4, 522, 5 * cx, cy + 5};
    l.data_from_label = {9, 522 - cy};

    l.speed_box = {646 - 8 * cx, 503, 646, 503 + cy};
    l.heading_box = {646 - 8 * cx, 520, 646, 520 + cy};
    l.heading_dial = {643 - 10 * cx, 511, 643 - 10 * cx + 17, 511 + 17};
    l.cursor_range_box = {646 - 8 * cx, 537, 646, 537 + cy};
    l.date_time_box = {467 - 9 * cx, 530, 467 + 9 * cx, 533 + cy};
    l.position_box = {692, 520, 792, 522 + 2 * cy};
    return l;
}

bool waterfall_hit(Point p) {
    return 0 < p.x && p.x < 785 && 0 < p.y && p.y < 501;
}

}  // namespace kelvanor
