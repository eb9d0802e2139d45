#include "waterfall/palette.h"

#include <cmath>
#include <mutex>

#include "waterfall/waterfall_state.h"

namespace kelvanor {

namespace {

// One run of base rows: the first row's colour and the step added per following row.
struct BaseRun {
    int first_row;
    int last_row;
    BaseColour first;
    BaseColour step;
};

constexpr BaseRun kColorRuns[] = {
    {0, 1, {0, 0, 0}, {0, 0, 1}},          {2, 3, {0, 0, 3}, {0, 0, 2}},
    {4, 18, {0, 0, 10}, {0, 0, 5}},        {19, 35, {0, 20, 80}, {0, 5, -5}},
    {36, 39, {0, 105, 0}, {0, 5, 0}},      {40, 41, {5, 125, 0}, {5, 5, 0}},
    {42, 48, {20, 135, 0}, {0, 5, 0}},     {49, 50, {40, 170, 0}, {20, 5, 0}},
    {51, 52, {70, 180, 0}, {10, 5, 0}},    {53, 58, {90, 175, 0}, {10, -10, 0}},
    {59, 61, {150, 110, 0}, {5, -5, 0}},   {62, 69, {165, 100, 0}, {5, 0, 0}},
    {70, 72, {205, 105, 0}, {5, 5, 0}},    {73, 79, {210, 120, 0}, {-10, 5, 0}},
    {80, 88, {155, 155, 0}, {5, 5, 0}},    {89, 98, {200, 200, 50}, {5, 5, 10}},
    {99, 106, {180, 180, 180}, {5, 5, 5}}, {107, 118, {160, 0, 0}, {0, 0, 0}},
};

constexpr BaseColour kInterfaceBase[] = {
    {0, 100, 0},      // 119 panel indicators
    {80, 100, 0},     // 120
    {40, 40, 40},     // 121 panel background
    {80, 80, 80},     // 122 button shading
    {120, 120, 120},  // 123 light grey
    {0, 0, 90},       // 124
    {0, 0, 0},        // 125 black
    {100, 0, 0},      // 126 dark red
    {148, 0, 0},      // 127 red
};

constexpr BaseColour kGridBase{150, 0, 0};

constexpr std::array<BaseColour, 256> make_base_table() {
    std::array<BaseColour, 256> table{};
    for (const BaseRun& run : kColorRuns) {
        for (int row = run.first_row; row <= run.last_row; ++row) {
            const int n = row - run.first_row;
            table[row] = {run.first.red + n * run.step.red, run.first.green + n * run.step.green,
                          run.first.blue + n * run.step.blue};
        }
    }
    for (int i = 0; i < 9; ++i) table[119 + i] = kInterfaceBase[i];
    for (int i = 128; i < 256; ++i) table[i] = kGridBase;
    return table;
}

// Truncates toward zero and limits to 0..255.
uint8_t to_component(double value) {
    const double cut = std::trunc(value);
    if (cut >= 255.0) return 255;
    if (cut <= 0.0) return 0;
    return static_cast<uint8_t>(cut);
}

// The interface factors are single-precision constants, but the product is formed at full
// precision: 100 x 1.8f is 179.99999523..., which gives 179, where a product rounded back to
// single precision would give 180.
uint8_t scaled_component(int32_t base, float factor) {
    return to_component(static_cast<double>(base) * static_cast<double>(factor));
}

Rgb interface_entry(int index) {
    const BaseColour& base = base_colour_table[index];
    const float factor = index < 128 ? 1.8f : 0.85f;
    return {scaled_component(base.red, factor), scaled_component(base.green, factor),
            scaled_component(base.blue, factor)};
}

}  // namespace

const std::array<BaseColour, 256> base_colour_table = make_base_table();

bool is_colour_table(int32_t table) {
    for (ColourTable known :
         {ColourTable::Color, ColourTable::Grey, ColourTable::ReverseGrey, ColourTable::Brown}) {
        if (table == static_cast<int32_t>(known)) return true;
    }
    return false;
}

Rgb colour_table_entry(ColourTable table, int i) {
    switch (table) {
        case ColourTable::Grey: {
            const uint8_t v = to_component(i * 2.5);
            return {v, v, v};
        }
        case ColourTable::ReverseGrey: {
            const uint8_t v = to_component((118 - i) * 1.8);
            return {v, v, v};
        }
        case ColourTable::Brown: {
            const double theta = i * 0.5 * 3.141592654 / 118;
            const double red = std::trunc(255 * std::sin(theta)) * 1.2;
            const double green = std::trunc(255 - 255 * std::cos(theta)) * 1.2;
            return {to_component(red), to_component(green), 0};
        }
        default: {
            const BaseColour& base = base_colour_table[i];
            return {to_component(base.red * 1.5), to_component(base.green * 1.5),
                    to_component(base.blue * 1.5)};
        }
    }
}

PaletteEntries make_palette(ColourTable table) {
    PaletteEntries entries{};
    for (int i = 0; i < kColourTableEntries; ++i) entries[i] = colour_table_entry(table, i);
    for (int i = kColourTableEntries; i < 256; ++i) entries[i] = interface_entry(i);
    return entries;
}

void build_palette(WaterfallState& waterfall, ColourTable table) {
    if (!is_colour_table(static_cast<int32_t>(table))) table = ColourTable::Color;
    const PaletteEntries entries = make_palette(table);
    {
        std::lock_guard lock(waterfall.image_mutex);
        waterfall.palette = entries;
        waterfall.palette_table = table;
    }
    waterfall.image_changed = 1;
}

}  // namespace kelvanor
