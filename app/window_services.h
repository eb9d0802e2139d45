#pragma once
// UiServices for the Qt main window. Menu marks, titles, message boxes and repaints asked for
// by a worker thread are queued to the GUI thread; the worker never waits for them.

#include <QObject>

#include <atomic>
#include <deque>

#include "app/main_window.h"
#include "platform/ui_services.h"

namespace kelvanor {

class WindowServices final : public QObject, public UiServices {
    Q_OBJECT
  public:
    explicit WindowServices(MainWindow& window);

    void check_menu_item(int id, bool checked) override;
    void enable_menu_item(int id, bool enabled) override;
    void set_menu_label(int id, std::string_view label) override;
    void set_window_title(std::string_view title) override;
    void message_box(std::string_view text, std::string_view caption, MessageKind kind) override;
    std::optional<std::string> open_file_dialog(const FileDialogSpec& dialog) override;
    std::optional<std::string> save_file_dialog(const FileDialogSpec& dialog) override;
    void request_repaint() override;
    void request_repaint(Rect area) override;

    // Unattended (--unattended, or a close from a signal or a timer under way): message boxes
    // are written to stderr as "CAPTION: TEXT" and acknowledged, file dialogs are cancelled,
    // so that nothing waits for a person.
    void set_unattended(bool unattended) { unattended_ = unattended; }
    // The next open-file dialogs answer with these paths instead of asking (command line,
    // tests); an empty answer stands for Cancel.
    void queue_dialog_answer(std::optional<std::string> answer) {
        answers_.push_back(std::move(answer));
    }

  private:
    // Runs fn on the GUI thread: at once when called there, queued otherwise.
    template <class Fn>
    void on_gui_thread(Fn&& fn);

    MainWindow& window_;
    std::optional<std::string> take_answer(bool& had_answer);

    std::atomic<bool> repaint_pending_{false};
    std::atomic<bool> unattended_{false};
    std::deque<std::optional<std::string>> answers_;
};

}  // namespace kelvanor
