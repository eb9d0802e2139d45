#include "panel/rec_pause.h"

#include <mutex>

#include "panel/panel_colours.h"
#include "panel/panel_layout.h"

namespace kelvanor {

void draw_rec_pause_box(Surface& surface, UiServices& ui, bool shown, bool paused) {
    {
        std::lock_guard lock(surface.mutex());
        if (!shown) {
            surface.fill_rect(kRecPauseArea, kPalettePanelBackground);
        } else {
            surface.glyph(paused ? SystemGlyph::CheckBoxChecked : SystemGlyph::CheckBoxEmpty,
                          kRecPauseCheckCell);
            surface.text(kRecPauseLabel, kRecPauseText, kPaletteWhite, kPalettePanelBackground);
        }
    }
    ui.request_repaint(kRecPauseArea);
}

void flash_rec_pause_label(Surface& surface, UiServices& ui, int phase) {
    {
        std::lock_guard lock(surface.mutex());
        if (phase == 1) {
            surface.text(kRecPauseLabel, kRecPauseText, kPaletteWhite, kPaletteRed);
        } else {
            surface.text(kRecPauseLabel, kRecPauseText, kPaletteRed, kPaletteWhite);
        }
    }
    ui.request_repaint(kRecPauseArea);
}

}  // namespace kelvanor
