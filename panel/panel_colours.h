#pragma once
// The panel's colours. Everything is a palette index, as in the rest of the program; the
// interface entries come from waterfall/palette.h.
//
// Plain white (kPaletteWhite) and the palette with it are defined beside the palette.

#include "platform/palette_colour.h"
#include "waterfall/palette.h"
