#include "headlink/link_indicators.h"

#include <cstdio>

namespace kelvanor {

namespace {

constexpr PaletteIndex kPanelBackground = 121;
constexpr PaletteIndex kLightGrey = 123;
constexpr PaletteIndex kRed = 127;

}  // namespace

std::string no_data_text(int32_t com_port) {
    char text[32];
    std::snprintf(text, sizeof text, "No Data at COM%d", static_cast<int>(com_port) + 1);
    return text;
}

Rect no_data_notice_rect(const FontMetrics& font) {
    return {402, 504, 532, 507 + font.char_height};
}

void draw_no_data_notice(Surface& surface, const FontMetrics& font, std::string_view text,
                         PaletteIndex white) {
    const Rect box = no_data_notice_rect(font);
    surface.fill_rect(box, kRed);
    surface.frame_rect(box, kLightGrey);
    surface.text(kNoDataTextAt, text, white, kRed);
}

void erase_no_data_notice(Surface& surface, const FontMetrics& font) {
    surface.fill_rect(no_data_notice_rect(font), kPanelBackground);
}

Rect ping_indicator_rect(const FontMetrics& font) {
    return {646 - 11 * font.char_width, 530, 646 - 8 * font.char_width, 533 + font.char_height};
}

bool toggle_ping_indicator(bool valid, SharedInt& phase) {
    phase = phase == 0 ? 1 : 0;
    return valid && phase == 1;
}

void draw_ping_indicator(Surface& surface, const FontMetrics& font, bool valid, SharedInt& phase,
                         PaletteIndex white) {
    paint_ping_indicator(surface, font, toggle_ping_indicator(valid, phase), white);
}

void paint_ping_indicator(Surface& surface, const FontMetrics& font, bool star,
                          PaletteIndex white) {
    surface.fill_rect(ping_indicator_rect(font), kPanelBackground);
    if (star) {
        const int centre = 646 - 10 * font.char_width;
        const Size extent = surface.text_extent("*");
        surface.text({centre - extent.width / 2, 533}, "*", white);
    }
}

}  // namespace kelvanor
