#pragma once
// The panel's colours. Everything is a palette index, as in the rest of the program; the
// interface entries come from waterfall/palette.h.
//
// The panel also draws in plain white (labels, value texts, button edges, the heading
// needle), which no palette entry holds. Entry 255 is taken for it: it belongs to the grid
// range 128..255, but the grid mark never makes a pixel above 245, so no image pixel ever
// uses it. The window's surface palette must therefore be set through
// surface_palette_with_white(), which leaves every other entry as the palette has it.

#include "platform/palette_colour.h"
#include "waterfall/palette.h"

namespace kelvanor {

inline constexpr PaletteIndex kPaletteWhite = 255;
inline constexpr Rgb kWhiteRgb{255, 255, 255};

// The palette a window surface draws through: `palette` with entry 255 white.
inline PaletteEntries surface_palette_with_white(PaletteEntries palette) {
    palette[kPaletteWhite] = kWhiteRgb;
    return palette;
}

}  // namespace kelvanor
