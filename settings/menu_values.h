#pragma once
// The menu items that stand for a setting's values: one item per colour table, unit and
// frequency, checked while the setting holds that value.

#include "platform/menu_ids.h"
#include "settings/settings.h"

namespace kelvanor {

constexpr int menu_item(ColourTable table) {
    return menu::kColor + static_cast<int>(table);
}
constexpr int menu_item(LengthUnit unit) {
    return unit == LengthUnit::Feet ? menu::kFeet : menu::kMeters;
}
constexpr int menu_item(FrequencyBand frequency) {
    return frequency == FrequencyBand::High ? menu::kHigh : menu::kLow;
}

// The colour table of one of the four colour items.
constexpr ColourTable colour_table_of_item(int id) {
    return static_cast<ColourTable>(id - menu::kColor);
}

}  // namespace kelvanor
