#include "app/application.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QSplashScreen>
#include <QTimer>

#include "app/menu_marks.h"
#include "app/startup_logo.h"
#include "capture/qt_window_grab.h"
#include "headlink/busy_wait.h"
#include "platform/menu_ids.h"
#include "settings/settings_io.h"

namespace kelvanor {

Application::Application(StartOptions options)
    : options_(std::move(options)),
      clock_(options_.clock != nullptr ? *options_.clock : system_clock_),
      surface_(kClientSize) {
    window_ = std::make_unique<MainWindow>(surface_);
    services_ = new WindowServices(*window_);
    connect(window_.get(), &MainWindow::command, this, &Application::on_command);
    connect(window_.get(), &MainWindow::close_requested, this,
            [this] { request_close(CloseOrigin::Window); });
    connect(window_->diagnostics_window(), &ToolWindow::closed, this, [this] {
        state_.run.diagnostics_shown = 0;
        services_->check_menu_item(menu::kDiagnostics, false);
    });
    connect(window_->zoom_window(), &ToolWindow::closed, this, [this] {
        state_.run.zoom_shown = 0;
        services_->check_menu_item(menu::kZoom, false);
    });
    close_timer_ = new QTimer(this);
    close_timer_->setSingleShot(true);
    connect(close_timer_, &QTimer::timeout, this, &Application::run_close_handling);
    if (options_.watch_signals) {
        signals_ = new SignalWatcher(this);
        connect(signals_, &SignalWatcher::termination_requested, this,
                [this](int) { request_close(CloseOrigin::Signal); });
    }
}

Application::~Application() = default;

void Application::start() {
    // Creation handling of the main window.
    load_settings(state_);
    apply_creation_menu_marks(state_, *services_);

    // The logo stays up while the busy wait is calibrated (one to two seconds).
    std::unique_ptr<QSplashScreen> splash;
    if (options_.show_logo) {
        splash = std::make_unique<QSplashScreen>(make_startup_logo());
        splash->show();
        QApplication::processEvents();
    }
    state_.run.delay_loops_per_second = calibrate_delay(clock_);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        state_.run.screen_width = screen->geometry().width();
        state_.run.screen_height = screen->geometry().height();
    }
    {
        std::lock_guard lock(surface_.mutex());
        surface_.fill_rect({0, 0, kClientSize.width, kClientSize.height}, 0);
    }
    window_->show();
    if (splash) splash->finish(window_.get());
    window_->view()->repaint();

    enter_run_mode();

    if (options_.exit_after_seconds) {
        const int ms = static_cast<int>(*options_.exit_after_seconds * 1000.0);
        QTimer::singleShot(std::max(ms, 0), this, [this] { request_close(CloseOrigin::Timer); });
    }
}

void Application::enter_run_mode() {
    apply_frequency_range_limit(state_.settings);
    apply_run_mode_menu(state_, *services_);
}

void Application::on_command(int id) {
    switch (id) {
        case menu::kExit:
            request_close(CloseOrigin::Window);
            break;
        case menu::kDiagnostics:
        case menu::kZoom:
            toggle_tool_window(id);
            break;
        default:
            break;
    }
}

void Application::toggle_tool_window(int id) {
    const bool diagnostics = id == menu::kDiagnostics;
    SharedInt& shown = diagnostics ? state_.run.diagnostics_shown : state_.run.zoom_shown;
    ToolWindow* tool = diagnostics ? window_->diagnostics_window() : window_->zoom_window();
    if (shown == 0) {
        shown = 1;
        services_->check_menu_item(id, true);
        tool->show();
        tool->raise();
        tool->repaint();
    } else if (shown == 1) {
        tool->close();  // its close handling hides it, clears the flag and the mark
    }
}

void Application::request_close(CloseOrigin origin) {
    if (closed_) return;
    if (origin == CloseOrigin::Signal) close_from_signal_ = true;
    if (!close_requested_) {
        close_requested_ = true;
        close_timer_->start(0);
    }
}

void Application::run_close_handling() {
    if (closed_) return;
    // A modal dialog or message box runs its own loop: the close waits until it has ended. A
    // signal cannot wait for an operator, so it dismisses the program's own dialogs itself.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (close_from_signal_) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        }
        close_timer_->start(50);
        return;
    }
    closed_ = true;
    if (options_.screenshot_path) save_bmp(grab_window(*window_), *options_.screenshot_path);

    // Worker threads and ports stop first, then the data files close, then the settings are
    // saved; the subsystems add their steps here in that order.
    save_settings(state_);
    {
        std::lock_guard lock(surface_.mutex());
        surface_.fill_rect({0, 0, kClientSize.width, kClientSize.height}, 0);
    }
    window_->allow_close();
    window_->close();
    emit finished();
}

}  // namespace kelvanor
