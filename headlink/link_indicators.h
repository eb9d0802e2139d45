#pragma once
// The head link's two marks on the panel: the "No Data at COMn" notice that blinks while the
// head is silent, and the ping indicator star that blinks while replies arrive. The caller
// holds the surface's lock and asks for the repaint afterwards.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/geometry.h"
#include "platform/surface.h"
#include "settings/settings.h"

namespace kelvanor {

// "No Data at COM%d" for a zero-based port number.
std::string no_data_text(int32_t com_port);

// The notice's rectangle, (402, 504) to (532, 507 + char_height), and its text origin.
Rect no_data_notice_rect(const FontMetrics& font);
inline constexpr Point kNoDataTextAt{411, 505};

// Text in `white` on palette 127 inside an outline of palette 123.
void draw_no_data_notice(Surface& surface, const FontMetrics& font, std::string_view text,
                         PaletteIndex white);
// Text, fill and outline all in the panel background (palette 121). The range/grid label
// shares the place and must be redrawn after it.
void erase_no_data_notice(Surface& surface, const FontMetrics& font);

// The indicator's box, (646 - 11 cw, 530) to (646 - 8 cw, 533 + ch).
Rect ping_indicator_rect(const FontMetrics& font);

// After each ping (valid as the reply was accepted) and at each no-data retry (not valid):
// clears the box, toggles `phase` and draws "*" in `white`, centred on x = 646 - 10 cw at
// y = 533, when the ping was valid and the phase is now 1.
void draw_ping_indicator(Surface& surface, const FontMetrics& font, bool valid, SharedInt& phase,
                         PaletteIndex white);
// The two halves of draw_ping_indicator: toggles `phase` and returns whether the star shows;
// clears the box and draws the star when `star`.
bool toggle_ping_indicator(bool valid, SharedInt& phase);
void paint_ping_indicator(Surface& surface, const FontMetrics& font, bool star, PaletteIndex white);

}  // namespace kelvanor
