#pragma once
// The main window's menu: labels with their mnemonics, command ids and nesting.

#include <vector>

namespace kelvanor {

struct MenuEntry {
    enum class Kind { Command, Separator, Submenu, End };
    Kind kind;
    const char* label = nullptr;  // "&" marks the mnemonic
    int id = 0;                   // command id (Command only)
    bool marked = false;          // a check mark shows its state (Command only)
};

// Top-level menus and submenus are opened by a Submenu entry and closed by an End entry. A
// Command at the top level is a command on the menu bar itself.
const std::vector<MenuEntry>& main_menu_layout();

}  // namespace kelvanor
