#include "panel/rec_pause.h"

#include <mutex>

#include "panel/panel_colours.h"
#include "panel/panel_layout.h"

namespace kelvanor {

void draw_rec_pause_box(Surface& surface, UiServices& ui, bool shown, bool paused) {
    {
        std::lock_guard lock(surface.mutex());
        if (!shown) {
            erase_rec_pause_box(surface);
        } else {
            surface.glyph(paused ? SystemGlyph::CheckBoxChecked : SystemGlyph::CheckBoxEmpty,
                          kRecPauseCheckCell);
            surface.text(kRecPauseLabel, kRecPauseText, kPaletteWhite, kPalettePanelBackground);
        }
    }
    ui.request_repaint(kRecPauseArea);
}

void paint_rec_pause_label(Surface& surface, int phase) {
    if (phase == 1) {
        surface.text(kRecPauseLabel, kRecPauseText, kPaletteWhite, kPaletteRed);
    } else {
        surface.text(kRecPauseLabel, kRecPauseText, kPaletteRed, kPaletteWhite);
    }
}

void erase_rec_pause_box(Surface& surface) {
    surface.fill_rect(kRecPauseArea, kPalettePanelBackground);
}

void flash_rec_pause_label(Surface& surface, UiServices& ui, int phase) {
    {
        std::lock_guard lock(surface.mutex());
        paint_rec_pause_label(surface, phase);
    }
    ui.request_repaint(kRecPauseArea);
}

}  // namespace kelvanor
