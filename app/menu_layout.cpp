#include "app/menu_layout.h"

#include "platform/menu_ids.h"

namespace kelvanor {

const std::vector<MenuEntry>& main_menu_layout() {
    using K = MenuEntry::Kind;
    // Only the items whose state the menu shows carry a check mark; plain commands do not.
    static const std::vector<MenuEntry> layout = {
        {K::Submenu, "&File"},
        {K::Submenu, "&Data From..."},
        {K::Command, "Marlinray &Head", menu::kHead, true},
        {K::Command, "Marlinray &File", menu::kFile, true},
        {K::End},
        {K::Command, "&Record Start...", menu::kRecord},
        {K::Command, "&Playback...", menu::kPlayback},
        {K::Command, "&Copy Start...", menu::kCopy},
        {K::Command, "&Save Screen...", menu::kSaveScreen},
        {K::Separator},
        {K::Command, "E&xit", menu::kExit},
        {K::End},
        {K::Submenu, "&Color Table"},
        {K::Command, "&Color", menu::kColor, true},
        {K::Command, "&Grey", menu::kGrey, true},
        {K::Command, "&Reverse Grey", menu::kReverseGrey, true},
        {K::Command, "&Brown", menu::kBrown, true},
        {K::End},
        {K::Command, "Com &Ports", menu::kComPorts},
        {K::Submenu, "&Misc"},
        {K::Submenu, "&Units"},
        {K::Command, "&Meters", menu::kMeters, true},
        {K::Command, "&Feet", menu::kFeet, true},
        {K::End},
        {K::Separator},
        {K::Command, "&Grid", menu::kGrid, true},
        {K::Command, "&Clear Screen Now", menu::kClearScreen},
        {K::Separator},
        {K::Command, "&Diagnostics", menu::kDiagnostics, true},
        {K::Separator},
        {K::Command, "&Zoom", menu::kZoom, true},
        {K::Separator},
        {K::Command, "Mark Con&tact", menu::kMarkContact},
        {K::Command, "C&ontacts...", menu::kContacts},
        {K::Separator},
        {K::Command, "&Manual Speed...", menu::kManualSpeed},
        {K::Command, "Speed from &GPS", menu::kSpeedFromGps, true},
        {K::Command, "&Speed Correction", menu::kSpeedCorrection, true},
        {K::Command, "&Along Track Marks", menu::kAlongTrackMarks, true},
        {K::End},
        {K::Submenu, "&Options"},
        {K::Submenu, "&Target Calculations"},
        {K::Command, "Target &Length", menu::kTargetLength, true},
        {K::Command, "Target &Height", menu::kTargetHeight, true},
        {K::End},
        {K::Separator},
        {K::Submenu, "&Frequency"},
        {K::Command, "&Low", menu::kLow, true},
        {K::Command, "&High", menu::kHigh, true},
        {K::End},
        {K::Separator},
        {K::Command, "Channel &Balance...", menu::kChannelBalance},
        {K::Separator},
        {K::Submenu, "&Window Size"},
        {K::Command, "&1x", menu::kWindowSize1x, true},
        {K::Command, "&2x", menu::kWindowSize2x, true},
        {K::Command, "&3x", menu::kWindowSize3x, true},
        {K::End},
        {K::End},
        {K::Command, "&About...", menu::kAbout},
    };
    return layout;
}

}  // namespace kelvanor
