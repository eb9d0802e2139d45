#include "app/application.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSlider>
#include <QSplashScreen>
#include <QTimer>

#include <cstdio>

#include "app/contact_marking.h"
#include "app/menu_marks.h"
#include "app/startup_logo.h"
#include "capture/qt_save_screen.h"
#include "capture/qt_window_grab.h"
#include "control/link_devices.h"
#include "dialogs/about_dialog.h"
#include "dialogs/channel_balance_dialog.h"
#include "dialogs/comport_setup_dialog.h"
#include "dialogs/manual_speed_dialog.h"
#include "headlink/busy_wait.h"
#include "panel/panel_layout.h"
#include "platform/menu_ids.h"
#include "settings/window_scale_io.h"
#include "waterfall/target_measurement.h"

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
    connect(window_->diagnostics_window(), &ToolWindow::closed, this,
            [this] { program_->tool_window_closed(menu::kDiagnostics); });
    connect(window_->zoom_window(), &ToolWindow::closed, this,
            [this] { program_->tool_window_closed(menu::kZoom); });
    diagnostics_view_ = new DiagnosticsView(state_, window_->diagnostics_window());
    window_->diagnostics_window()->setFixedSize(diagnostics_view_->size());
    zoom_picture_ = new ZoomPicture(surface_, window_->zoom_window());
    window_->zoom_window()->setFixedSize(zoom_picture_->size());
    connect(window_->view(), &SurfaceView::scale_changed, this, &Application::on_scale_changed);

    program_ = std::make_unique<Program>(state_, *services_, surface_, clock_);
    WindowHooks hooks;
    hooks.show_slider = [this](bool shown) { show_slider(shown); };
    hooks.set_slider = [this](int32_t percent) {
        if (slider_ == nullptr) return;
        const QSignalBlocker blocker(slider_);  // moved by playback: no seek
        slider_->setValue(percent);
    };
    hooks.playback_state_changed = [this] { schedule_playback(); };
    hooks.refresh_diagnostics = [this] {
        if (diagnostics_pending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                diagnostics_pending_ = false;
                diagnostics_view_->update();
            },
            Qt::QueuedConnection);
    };
    hooks.image_changed = [this] {
        if (refresh_pending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { schedule_refresh(); }, Qt::QueuedConnection);
    };
    program_->set_window_hooks(std::move(hooks));

    // Records play one per turn of the event loop, after every pending event; the pause
    // between them (100 - PlotSpeed ms) is this timer's interval, never a sleep.
    playback_timer_ = new QTimer(this);
    playback_timer_->setSingleShot(true);
    connect(playback_timer_, &QTimer::timeout, this, &Application::play_one_record);
    // The waterfall is converted for the screen, and the panel read-outs of ping processing
    // drawn, at most about 60 times a second (schedule_refresh).
    refresh_timer_ = new QTimer(this);
    refresh_timer_->setSingleShot(true);
    connect(refresh_timer_, &QTimer::timeout, this, &Application::refresh_window);

    // Auto-repeat of the gain and plot speed arrows: the first step at once, then after the
    // timer's period; events go to the repeat until it ends.
    repeat_timer_ = new QTimer(this);
    repeat_timer_->setSingleShot(true);
    connect(repeat_timer_, &QTimer::timeout, this, &Application::repeat_tick);
    SurfaceView* view = window_->view();
    connect(view, &SurfaceView::pointer_moved, this, &Application::on_pointer_moved);
    connect(view, &SurfaceView::left_pressed, this, &Application::on_left_pressed);
    connect(view, &SurfaceView::left_released, this, &Application::on_left_released);
    connect(view, &SurfaceView::right_pressed, this, &Application::on_right_pressed);
    connect(view, &SurfaceView::character_typed, this, &Application::on_character);
    connect(view, &SurfaceView::key_pressed, this, &Application::on_key_pressed);
    connect(view, &SurfaceView::key_released, this, [this] { program_->key_released(); });
    connect(view, &SurfaceView::input_lost, this, [this] {
        if (program_->input_lost()) end_auto_repeat();
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

Application::~Application() {
    // The window goes after the program (members go in reverse order), and a window still on
    // the screen sends its view's focus loss as it goes: nothing of it may reach the program.
    if (window_) {
        QObject::disconnect(window_.get(), nullptr, this, nullptr);
        for (QObject* child : window_->findChildren<QObject*>())
            QObject::disconnect(child, nullptr, this, nullptr);
    }
    // The head port's thread stops before the simulated head it talks to goes away.
    devices_.reset();
    stop_demo_devices();
}

void Application::stop_demo_devices() {
    if (demo_head_) demo_head_->stop();
    if (demo_head_thread_.joinable()) demo_head_thread_.join();
    if (demo_gps_) demo_gps_->stop();
    if (demo_gps_thread_.joinable()) demo_gps_thread_.join();
}

void Application::start() {
    // Creation handling of the main window.
    program_->load_settings();
    apply_creation_menu_marks(program_->state(), *services_);
    window_->set_client_scale(load_window_scale(program_->state().run.ini_path));
    on_scale_changed(window_->view()->scale());
    if (options_.demo) start_demo_head();
    std::vector<std::string> problems;
    program_->set_up_ports(options_.port_options, "/sys/class/tty", problems, options_.gps_source);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "kelvanor: %s\n", problem.c_str());
    program_->set_font(panel_font().metrics);
    if (options_.devices != nullptr) {
        program_->set_devices(options_.devices);
    } else {
        devices_ = std::make_unique<LinkDevices>(*program_, clock_, *services_);
        program_->set_devices(devices_.get());
    }

    // The logo stays up while the busy wait is calibrated (one to two seconds).
    std::unique_ptr<QSplashScreen> splash;
    if (options_.show_logo) {
        splash = std::make_unique<QSplashScreen>(make_startup_logo());
        splash->show();
        QApplication::processEvents();
    }
    program_->set_delay_loops_per_second(calibrate_delay(clock_));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        program_->set_screen_size({screen->geometry().width(), screen->geometry().height()});
    }
    program_->create_image();
    program_->repaint_panel();
    window_->show();
    if (splash) splash->finish(window_.get());
    window_->view()->repaint();

    if (options_.unattended) services_->set_unattended(true);
    if (options_.play_path) {
        // As if FILE mode was chosen and the file picked in its dialog.
        program_->choose_run_mode(RunMode::File);
        services_->queue_dialog_answer(options_.play_path);
    }
    program_->run_mode_switch();
    if (options_.record_path && program_->head_mode()) {
        // Nobody is there to confirm overwriting a file.
        if (QFileInfo::exists(QString::fromLocal8Bit(options_.record_path->c_str()))) {
            services_->message_box(
                "The file exists already and is not overwritten:\n" + *options_.record_path,
                "Open a Marlinray File For Recording", MessageKind::Warning);
        } else {
            services_->queue_dialog_answer(options_.record_path);
            program_->start_recording();
        }
    }

    if (options_.exit_after_seconds) {
        const int ms = static_cast<int>(*options_.exit_after_seconds * 1000.0);
        QTimer::singleShot(std::max(ms, 0), this, [this] { request_close(CloseOrigin::Timer); });
    }
}

void Application::show_slider(bool shown) {
    if (!shown) {
        delete slider_;
        slider_ = nullptr;
        return;
    }
    if (slider_ != nullptr) return;
    slider_ = new QSlider(Qt::Horizontal, window_->view());
    slider_->setObjectName(QStringLiteral("Trackbar Control"));
    window_->view()->anchor(slider_, Rect{658, 504, 658 + 133, 504 + 16});
    slider_->setRange(0, 100);
    slider_->setPageStep(10);
    slider_->setTickInterval(10);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setFocusPolicy(Qt::NoFocus);  // the keyboard stays with the main window
    slider_->setValue(0);
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        program_->seek_playback(value);
        schedule_refresh();
    });
    slider_->show();
}

void Application::schedule_playback() {
    if (closed_ || !program_->playback_ready()) {
        playback_timer_->stop();
        return;
    }
    if (!playback_timer_->isActive()) playback_timer_->start(0);
}

void Application::play_one_record() {
    if (closed_ || !program_->playback_ready()) return;
    // A modal dialog or message box pauses playback until it has ended.
    if (QApplication::activeModalWidget() != nullptr) {
        playback_timer_->start(50);
        return;
    }
    program_->playback_step();
    if (program_->playback_ready()) playback_timer_->start(program_->playback_pause_ms());
}

void Application::start_demo_head() {
    // The demo's head: simulated in this process, on a pseudo-terminal that the head link
    // opens as COM1 like any serial device. HEAD mode, as the demo shows live acquisition.
    HeadServerOptions options;
    options.head.model = 'G';
    std::string error;
    demo_head_ = HeadServer::create(options, &error);
    if (!demo_head_) {
        std::fprintf(stderr, "kelvanor: the simulated head could not start: %s\n", error.c_str());
        return;
    }
    demo_head_thread_ = std::thread([server = demo_head_.get()] { server->run(); });
    options_.port_options.insert(options_.port_options.begin(),
                                 "COM1=" + demo_head_->device_path());
    // And a GPS receiver on the survey line, as COM2, at the line speed the settings give.
    NmeaServerOptions gps_options;
    gps_options.baud = gps_baud_for_setting(program_->state().settings.GPSBaudRate);
    demo_gps_ = NmeaServer::create(gps_options, &error);
    if (demo_gps_) {
        demo_gps_thread_ = std::thread([server = demo_gps_.get()] { server->run(); });
        options_.port_options.insert(options_.port_options.begin() + 1,
                                     "COM2=" + demo_gps_->device_path());
    } else {
        std::fprintf(stderr, "kelvanor: the simulated GPS could not start: %s\n", error.c_str());
    }
    program_->use_demo_ports(demo_gps_ != nullptr);
}

void Application::on_pointer_moved(QPoint at) {
    const PointerOutcome outcome = program_->pointer_moved(Point{at.x(), at.y()});
    if (outcome.to_auto_repeat) {
        if (outcome.auto_repeat_ended) end_auto_repeat();
        return;
    }
    window_->view()->setCursor(outcome.over_image ? Qt::CrossCursor : Qt::ArrowCursor);
    if (outcome.zoom) zoom_picture_->show_view(*outcome.zoom);
    if (outcome.image_changed) schedule_refresh();
}

void Application::on_left_pressed(QPoint at) {
    const PressOutcome outcome = program_->left_pressed(Point{at.x(), at.y()});
    if (!outcome.taken) return;
    if (outcome.zoom) zoom_picture_->show_view(*outcome.zoom);
    if (outcome.image_changed) schedule_refresh();
    if (outcome.repeat_timer_ms > 0) repeat_timer_->start(outcome.repeat_timer_ms);
    schedule_playback();
}

void Application::on_right_pressed(QPoint at) {
    if (program_->right_pressed(Point{at.x(), at.y()})) schedule_refresh();
}

void Application::on_left_released(QPoint at) {
    if (program_->left_released(Point{at.x(), at.y()})) end_auto_repeat();
}

void Application::repeat_tick() {
    const RepeatTickOutcome tick = program_->repeat_tick();
    if (!tick.ran) return;
    if (!tick.running) {
        end_auto_repeat();
    } else if (tick.restart_timer_ms > 0) {
        repeat_timer_->start(tick.restart_timer_ms);
    }
    schedule_playback();
}

void Application::end_auto_repeat() {
    repeat_timer_->stop();
    schedule_playback();
}

void Application::on_character(int character) {
    if (program_->auto_repeat_running()) return;
    if (character == 'm' || character == 'M') {
        mark_contact_at_pointer();
        return;
    }
    program_->key_char(character);
    schedule_playback();
}

void Application::on_key_pressed(int key) {
    if (program_->auto_repeat_running()) return;
    NavigationKey nav = NavigationKey::Other;
    if (key == Qt::Key_Left) nav = NavigationKey::Left;
    if (key == Qt::Key_Right) nav = NavigationKey::Right;
    if (key == Qt::Key_Up) nav = NavigationKey::Up;
    if (key == Qt::Key_Down) nav = NavigationKey::Down;
    // The step is in client pixels: on an enlarged surface the pointer moves by scaled steps.
    SurfaceView* view = window_->view();
    const QPoint local = view->to_client(view->mapFromGlobal(QCursor::pos()));
    if (std::optional<Point> moved = program_->key_pressed(nav, Point{local.x(), local.y()})) {
        // Some desktops ignore a program moving the pointer: the move is handled here too.
        QCursor::setPos(view->mapToGlobal(view->to_view(*moved)));
        on_pointer_moved(QPoint(moved->x, moved->y));
    }
}

void Application::mark_contact_at_pointer() {
    kelvanor::mark_contact_at_pointer(window_.get(), *program_, contacts_);
}

void Application::refresh_zoom() {
    if (std::optional<ZoomView> view = program_->zoom_to_show()) zoom_picture_->show_view(*view);
}

void Application::schedule_refresh() {
    if (refresh_timer_->isActive()) return;
    // A change after a quiet spell is shown at once; one that follows a refresh closely waits
    // for the rest of the interval. A ping every 28 ms then costs one wake-up, not two.
    const qint64 since = last_refresh_.isValid() ? last_refresh_.elapsed() : kRefreshIntervalMs;
    if (since >= kRefreshIntervalMs) {
        refresh_window();
        return;
    }
    refresh_timer_->start(static_cast<int>(kRefreshIntervalMs - since));
}

void Application::refresh_window() {
    refresh_pending_ = false;
    last_refresh_.start();
    // Only what was drawn goes to the screen: the read-outs' areas and, when it changed, the
    // image with the overlays drawn over it. The rest of the window is as it was.
    panel_areas_.clear();
    const bool panel = program_->refresh_panel(&panel_areas_);
    const bool image = program_->refresh_image();
    for (const Rect& area : panel_areas_) window_->view()->update_client(area);
    if (image) window_->view()->update_client(kTargetImageArea);
    if (panel || image) refresh_zoom();
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
        case menu::kManualSpeed:
            program_->apply_manual_speed(run_manual_speed_dialog(
                window_.get(), program_->manual_speed_values(), *services_));
            break;
        case menu::kComPorts:
            if (program_->head_mode()) {
                if (std::optional<ComPortValues> chosen =
                        run_comport_setup_dialog(window_.get(), program_->com_port_values(),
                                                 *services_, program_->screen_size())) {
                    program_->apply_com_ports(*chosen);
                }
            }
            break;
        case menu::kChannelBalance:
            if (program_->head_mode()) {
                program_->apply_channel_balance(run_channel_balance_dialog(
                    window_.get(), program_->channel_balance_values(), program_->screen_size(),
                    [this](const ChannelBalanceValues& values) {
                        program_->set_channel_balance(values);
                    }));
            }
            break;
        case menu::kMarkContact:
            mark_contact_at_pointer();
            break;
        case menu::kContacts:
            show_contacts_dialog(window_.get(), *program_, contacts_);
            break;
        case menu::kAbout:
            run_about_dialog(window_.get(), program_->screen_size(), make_startup_logo());
            break;
        case menu::kWindowSize1x:
        case menu::kWindowSize2x:
        case menu::kWindowSize3x:
            window_->set_client_scale(id - menu::kWindowSize1x + 1);
            // Where the screen is too small, the scale that fits is the one marked.
            on_scale_changed(window_->view()->scale());
            break;
        case menu::kSaveScreen:
            save_screen(*window_, *services_, [this] {
                if (program_->refresh()) window_->view()->repaint();
                program_->show_capture_readout();
            });
            // The capture set history_view; the pointer is no longer over the waterfall
            // unless it is seen there again.
            if (!window_->view()->underMouse()) {
                program_->pointer_left_window();
            }
            break;
        default:
            program_->command(id);
            break;
    }
}

void Application::on_scale_changed(int scale) {
    for (int id : {menu::kWindowSize1x, menu::kWindowSize2x, menu::kWindowSize3x})
        services_->check_menu_item(id, id == menu::kWindowSize1x + scale - 1);
    diagnostics_view_->set_scale(scale);
    window_->diagnostics_window()->setFixedSize(diagnostics_view_->size());
    zoom_picture_->set_scale(scale);
    window_->zoom_window()->setFixedSize(zoom_picture_->size());
}

void Application::toggle_tool_window(int id) {
    const bool diagnostics = id == menu::kDiagnostics;
    ToolWindow* tool = diagnostics ? window_->diagnostics_window() : window_->zoom_window();
    const ToolWindowStep step = program_->toggle_tool_window(id);
    if (step == ToolWindowStep::Show) {
        tool->show_over(window_->view());
        tool->raise();
        if (!diagnostics) refresh_zoom();
        tool->repaint();
    } else if (step == ToolWindowStep::Close) {
        tool->close();  // its close handling hides it, clears the flag and the mark
    }
}

void Application::request_close(CloseOrigin origin) {
    if (closed_) return;
    if (origin == CloseOrigin::Signal) close_from_signal_ = true;
    if (origin == CloseOrigin::Timer) close_from_timer_ = true;
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
    if (options_.screenshot_path) {
        if (program_->refresh()) window_->view()->repaint();
        save_bmp(grab_window(*window_), *options_.screenshot_path);
    }
    closed_ = true;
    playback_timer_->stop();
    // No operator may be there to acknowledge a "Close Record File" box of a signal or timer.
    if (close_from_signal_ || close_from_timer_) services_->set_unattended(true);
    program_->close_handling();
    save_window_scale(program_->state().run.ini_path, window_->view()->scale());
    stop_demo_devices();
    if (options_.unattended) {
        // The accounting of an unattended run: every command was answered or re-sent after
        // silence, and every accepted reply was recorded while recording was on.
        const HeadLinkState& link = program_->state().link;
        std::fprintf(stderr,
                     "kelvanor: head link: %d commands sent, %d replies read, %d accepted, "
                     "%d no-data re-sends; %lld records written; devices lost: head %d, "
                     "GPS %d\n",
                     link.commands_sent.load(), link.replies_read.load(),
                     link.replies_accepted.load(), link.no_data_resends.load(),
                     static_cast<long long>(program_->records_written()), link.device_losses.load(),
                     program_->state().gps.device_losses.load());
    }
    // A visible tool window refuses to close (its close box only hides it), and the quit
    // that follows would wait for it for ever: they go first.
    window_->diagnostics_window()->hide();
    window_->zoom_window()->hide();
    window_->allow_close();
    window_->close();
    emit finished();
}

}  // namespace kelvanor
