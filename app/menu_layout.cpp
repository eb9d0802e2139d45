#include "app/menu_layout.h"

#include "platform/menu_ids.h"

namespace kelvanor {

const std::vector<MenuEntry>& main_menu_layout() {
    using K = MenuEntry::Kind;
    static const std::vector<MenuEntry> layout = {
        {K::Submenu, "&File"},
        {K::Submenu, "&Data From..."},
        {K::Command, "Marlinray &Head", menu::kHead},
        {K::Command, "Marlinray &File", menu::kFile},
        {K::End},
        {K::Command, "&Record Start...", menu::kRecord},
        {K::Command, "&Playback...", menu::kPlayback},
        {K::Command, "&Copy Start...", menu::kCopy},
        {K::Command, "&Save Screen...", menu::kSaveScreen},
        {K::Separator},
        {K::Command, "E&xit", menu::kExit},
        {K::End},
        {K::Submenu, "&Color Table"},
        {K::Command, "&Color", menu::kColor},
        {K::Command, "&Grey", menu::kGrey},
        {K::Command, "&Reverse Grey", menu::kReverseGrey},
        {K::Command, "&Brown", menu::kBrown},
        {K::End},
        {K::Command, "Com &Ports", menu::kComPorts},
        {K::Submenu, "&Misc"},
        {K::Submenu, "&Units"},
        {K::Command, "&Meters", menu::kMeters},
        {K::Command, "&Feet", menu::kFeet},
        {K::End},
        {K::Separator},
        {K::Command, "&Grid", menu::kGrid},
        {K::Command, "&Clear Screen Now", menu::kClearScreen},
        {K::Separator},
        {K::Command, "&Diagnostics", menu::kDiagnostics},
        {K::Separator},
        {K::Command, "&Zoom", menu::kZoom},
        {K::Separator},
        {K::Command, "Mark Con&tact", menu::kMarkContact},
        {K::Command, "C&ontacts...", menu::kContacts},
        {K::Separator},
        {K::Command, "&Manual Speed...", menu::kManualSpeed},
        {K::Command, "Speed from &GPS", menu::kSpeedFromGps},
        {K::Command, "&Speed Correction", menu::kSpeedCorrection},
        {K::Command, "&Along Track Marks", menu::kAlongTrackMarks},
        {K::End},
        {K::Submenu, "&Options"},
        {K::Submenu, "&Target Calculations"},
        {K::Command, "Target &Length", menu::kTargetLength},
        {K::Command, "Target &Height", menu::kTargetHeight},
        {K::End},
        {K::Separator},
        {K::Submenu, "&Frequency"},
        {K::Command, "&Low", menu::kLow},
        {K::Command, "&High", menu::kHigh},
        {K::End},
        {K::Separator},
        {K::Command, "Channel &Balance...", menu::kChannelBalance},
        {K::End},
        {K::Command, "&About...", menu::kAbout},
    };
    return layout;
}

}  // namespace kelvanor
