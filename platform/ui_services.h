#pragma once
// What the core asks of the window system: menu marks, greying and labels, the window title,
// message boxes, file dialogs and repaint requests. The Qt program implements it; tests use
// a recording fake. Calls that the acquisition or GPS thread may make (message boxes, titles,
// menu marks, repaints) are safe from any thread and never wait for the GUI thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.h"

namespace kelvanor {

enum class MessageKind { Warning, Information, Error };

struct FileDialogSpec {
    std::string title;
    std::string filter_name;            // e.g. "Marlinray Files"
    std::vector<std::string> patterns;  // e.g. {"*.VKD", "*.vkd"}
    std::string default_extension;      // without the dot
    bool prompt_overwrite = false;
    bool must_exist = false;
    std::string initial_path;  // the file the dialog starts with; empty for none
};

class UiServices {
  public:
    virtual ~UiServices() = default;

    virtual void check_menu_item(int id, bool checked) = 0;
    virtual void enable_menu_item(int id, bool enabled) = 0;
    virtual void set_menu_label(int id, std::string_view label) = 0;
    virtual void set_window_title(std::string_view title) = 0;

    // Modal on the GUI thread; from another thread it is queued and the caller goes on.
    virtual void message_box(std::string_view text, std::string_view caption, MessageKind kind) = 0;

    // Modal file dialogs (GUI thread only). Nothing when cancelled.
    virtual std::optional<std::string> open_file_dialog(const FileDialogSpec& dialog) = 0;
    virtual std::optional<std::string> save_file_dialog(const FileDialogSpec& dialog) = 0;

    // Asks the window to copy its surface to the screen again; safe from any thread.
    virtual void request_repaint() = 0;
    virtual void request_repaint(Rect area) = 0;
};

}  // namespace kelvanor
