#pragma once
// A UiServices that records what the program asked of the window, and answers file dialogs
// from a queue (an empty queue, or nullopt, is Cancel). Safe to call from any thread.

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui_services.h"

namespace kelvanor::test {

class FakeUi : public UiServices {
  public:
    struct Box {
        std::string text;
        std::string caption;
    };

    void check_menu_item(int id, bool checked) override {
        std::lock_guard lock(mutex_);
        checked_[id] = checked;
    }
    void enable_menu_item(int id, bool enabled) override {
        std::lock_guard lock(mutex_);
        enabled_[id] = enabled;
    }
    void set_menu_label(int id, std::string_view label) override {
        std::lock_guard lock(mutex_);
        labels_[id] = std::string(label);
    }
    void set_window_title(std::string_view title) override {
        std::lock_guard lock(mutex_);
        title_ = std::string(title);
    }
    void message_box(std::string_view text, std::string_view caption, MessageKind) override {
        // What goes on while the box waits for OK: runs before the box is recorded.
        if (while_box_shown) while_box_shown(caption);
        std::lock_guard lock(mutex_);
        boxes_.push_back({std::string(text), std::string(caption)});
    }
    std::optional<std::string> open_file_dialog(const FileDialogSpec& dialog) override {
        return answer(dialog);
    }
    std::optional<std::string> save_file_dialog(const FileDialogSpec& dialog) override {
        return answer(dialog);
    }
    void request_repaint() override {}
    void request_repaint(Rect) override {}

    std::function<void(std::string_view caption)> while_box_shown;

    void answer_next_dialog(std::optional<std::string> path) {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(path));
    }
    std::string title() const {
        std::lock_guard lock(mutex_);
        return title_;
    }
    std::string label(int id) const {
        std::lock_guard lock(mutex_);
        auto it = labels_.find(id);
        return it == labels_.end() ? std::string() : it->second;
    }
    bool checked(int id) const {
        std::lock_guard lock(mutex_);
        auto it = checked_.find(id);
        return it != checked_.end() && it->second;
    }
    bool enabled(int id) const {
        std::lock_guard lock(mutex_);
        auto it = enabled_.find(id);
        return it == enabled_.end() || it->second;
    }
    std::vector<Box> boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    std::vector<std::string> dialog_titles() const {
        std::lock_guard lock(mutex_);
        return dialog_titles_;
    }

    // The file each dialog started with, in order.
    std::vector<std::string> dialog_initial_paths() const {
        std::lock_guard lock(mutex_);
        return dialog_initial_paths_;
    }

  private:
    std::optional<std::string> answer(const FileDialogSpec& dialog) {
        std::lock_guard lock(mutex_);
        dialog_titles_.push_back(dialog.title);
        dialog_initial_paths_.push_back(dialog.initial_path);
        if (answers_.empty()) return std::nullopt;
        std::optional<std::string> a = std::move(answers_.front());
        answers_.pop_front();
        return a;
    }

    mutable std::mutex mutex_;
    std::map<int, bool> checked_;
    std::map<int, bool> enabled_;
    std::map<int, std::string> labels_;
    std::string title_;
    std::vector<Box> boxes_;
    std::deque<std::optional<std::string>> answers_;
    std::vector<std::string> dialog_titles_;
    std::vector<std::string> dialog_initial_paths_;
};

}  // namespace kelvanor::test
