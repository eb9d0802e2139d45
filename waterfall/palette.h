#pragma once
// The colour tables and the 256-entry palette every window draws through.
//
// Entries 0..118 hold the selected colour table (echo level to colour), 119..127 the fixed
// interface colours, 128..255 the single grid colour. The image stores palette indices, so a
// table change recolours the waterfall without touching its pixels.

#include <array>
#include <cstdint>

#include "platform/palette_colour.h"
#include "settings/settings.h"

namespace kelvanor {

struct WaterfallState;

// Number of palette entries that belong to the colour table.
inline constexpr int kColourTableEntries = 119;

// Interface colours by palette index.
inline constexpr PaletteIndex kPaletteIndicatorGreen = 119;
inline constexpr PaletteIndex kPalettePanelBackground = 121;
inline constexpr PaletteIndex kPaletteButtonShade = 122;
inline constexpr PaletteIndex kPaletteLightGrey = 123;
inline constexpr PaletteIndex kPaletteBlack = 125;
inline constexpr PaletteIndex kPaletteDarkRed = 126;
inline constexpr PaletteIndex kPaletteRed = 127;
inline constexpr PaletteIndex kPaletteGrid = 128;

// The window surfaces also draw in plain white (the panel's labels, value texts, button
// edges, the heading needle, notices), which no palette entry holds. Entry 255 is taken for
// it: it belongs to the grid range 128..255, but the grid mark never makes a pixel above
// 245, so no image pixel ever uses it. Every palette set on a window surface, the image's at
// each blit included, goes through surface_palette_with_white().
inline constexpr PaletteIndex kPaletteWhite = 255;
inline constexpr Rgb kWhiteRgb{255, 255, 255};

// The palette a window surface draws through: `palette` with entry 255 white.
inline PaletteEntries surface_palette_with_white(PaletteEntries palette) {
    palette[kPaletteWhite] = kWhiteRgb;
    return palette;
}

struct BaseColour {
    int32_t red;
    int32_t green;
    int32_t blue;
};

// Rows 0..118: the base of the "Color" table; rows 119..255: the base of the interface and
// grid colours.
extern const std::array<BaseColour, 256> base_colour_table;

// True for the Colors values of the four tables (ColourTable).
bool is_colour_table(int32_t table);

// Entry i (0..118) of a colour table; an unknown table gives the "Color" table.
Rgb colour_table_entry(ColourTable table, int i);

// The whole palette for a table: the table in 0..118, the interface and grid colours above.
PaletteEntries make_palette(ColourTable table);

// Makes `table` current: replaces the palette and marks the image changed so that every
// window shows it in the new colours at its next refresh. Takes the image lock. An unknown
// table is taken as "Color" (the settings never hold one).
void build_palette(WaterfallState& waterfall, ColourTable table);

}  // namespace kelvanor
