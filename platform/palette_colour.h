#pragma once
// One palette entry and the 256-entry palette every drawing goes through.

#include <array>
#include <cstdint>

namespace kelvanor {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

using PaletteEntries = std::array<Rgb, 256>;

// Colours are palette indices everywhere in the program.
using PaletteIndex = uint8_t;

}  // namespace kelvanor
