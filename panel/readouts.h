#pragma once
// The read-outs at the right of the panel: speed, heading with its dial, date and time,
// position, and the slant range under the pointer; and the cursor read-out that shows the
// stored values of the image column under the pointer.
//
// Each read-out redraws only when its value differs from the last one it showed, unless
// forced. The draw_* forms take the surface lock themselves and then ask for a repaint;
// the paint_* forms expect the caller to hold it (see panel/panel_paint.h).
//
// No worker thread draws them: what the GPS reader and ping processing change is published
// into the panel feed and drawn by the GUI thread at its refresh (panel/panel_feed.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "panel/panel_paint.h"
#include "settings/head_state.h"
#include "waterfall/column_history.h"

namespace kelvanor {

// "%3.1f KTS". Returns whether it drew.
bool draw_speed(const PanelContext& app, Surface& surface, UiServices* ui, float speed_knots,
                bool force);
bool paint_speed(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                 float speed_knots, bool force);

// The compass dial and "%03d DEG" of the heading cut to whole degrees.
bool draw_heading(const PanelContext& app, Surface& surface, UiServices* ui, float heading_degrees,
                  bool force);
bool paint_heading(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                   float heading_degrees, bool force);
// End point of the dial's needle from the centre (x0 + 8, 519); north up, clockwise.
Point heading_needle_end(int dial_left, float heading_degrees);

// The date-and-time text, when it differs from the last one shown.
bool draw_date_time(const PanelContext& app, Surface& surface, UiServices* ui,
                    std::string_view text);
bool paint_date_time(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                     std::string_view text);

// The GPS position (show) with its blink mark, or "N/A" twice.
void draw_gps_position(const PanelContext& app, Surface& surface, UiServices* ui, bool show);
void paint_gps_position(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                        bool show);
// The position text of one fix with the blink mark of `blink` (1 shows it), which the panel
// keeps as its blink state.
void paint_gps_fix(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                   const std::array<char, kPositionTextSize>& position, int32_t blink);

// The position of a played or hovered line (FILE mode only; nothing in HEAD mode). An empty
// text counts as show = false. Returns whether it drew.
bool draw_line_position(const PanelContext& app, Surface& surface, UiServices* ui,
                        std::string_view text, bool show);
bool paint_line_position(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                         std::string_view text, bool show);

// The slant range under the pointer at client row y for a line of `range_metres`, by
// channel_code and Units.
void draw_cursor_range(const PanelContext& app, Surface& surface, UiServices* ui,
                       int32_t range_metres, int32_t y);
void paint_cursor_range(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                        int32_t range_metres, int32_t y);
// The text the cursor range shows: "%#06.2f M" or "%#06.2f FT".
std::string cursor_range_text(LengthUnit units, ChannelCode channel_code, int32_t range_metres,
                              int32_t y);

// The cursor read-out for client point p: the record of the image column under p while
// history_view is set, else the newest column's. Stores the chosen column and row for ping
// processing. Takes the image lock to read the record, then the surface lock.
void show_cursor_values(const PanelContext& app, Surface& surface, UiServices* ui, Point p);
// The read-outs for one history record (cursor range, line position, date and time, speed
// and heading forced): show_cursor_values' drawing, and ping processing's while the pointer
// is over the waterfall.
void show_history_entry(const PanelContext& app, Surface& surface, UiServices* ui,
                        const HistoryEntry& entry, int32_t row);
void paint_history_entry(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                         const HistoryEntry& entry, int32_t row);

// The panel's part of a pointer move: stores mouse_x and mouse_y; over the waterfall sets
// history_view and shows the cursor values; off it, when history_view was set, clears it and
// shows the live values once more. Call it after the zoom and overlay steps of the move.
void follow_pointer_readouts(const PanelContext& app, Surface& surface, UiServices* ui, Point p);
// The pointer left the client area without a move onto the panel (up to the menu bar, out of
// the window, under another window) or the window lost the focus: as a move onto the panel,
// clears history_view and shows the live values once more.
void leave_waterfall_readouts(const PanelContext& app, Surface& surface, UiServices* ui);
// The read-out a screen capture shows: with history_view set and every read-out's "same as
// shown" shortcut skipped, the cursor read-out for the last pointer position, so that the
// picture holds a whole, current read-out whatever was drawn over it meanwhile.
void show_capture_readout(const PanelContext& app, Surface& surface, UiServices* ui);

}  // namespace kelvanor
