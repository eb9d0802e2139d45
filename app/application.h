#pragma once
// The running program: the shared state, the main window and its surface, start-up and the
// close handling. Everything the window asks for (menu commands, the close box, signals,
// --exit-after) arrives here on the GUI thread.

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/signal_watcher.h"
#include "app/tool_views.h"
#include "app/window_services.h"
#include "contacts/contact_book.h"
#include "control/app_state.h"
#include "control/program.h"
#include "platform/clock.h"
#include "platform/qt_surface.h"
#include "sim/head_server.h"
#include "sim/nmea_server.h"

class QSlider;
class QTimer;

namespace kelvanor {

struct StartOptions {
    std::optional<std::string> screenshot_path;  // written right before the close handling
    std::optional<double> exit_after_seconds;
    std::optional<std::string> play_path;    // FILE mode plays this file instead of asking
    std::optional<std::string> record_path;  // HEAD mode records to this new file at start
    std::vector<std::string> port_options;   // "COMn=PATH" mappings of the serial ports
    std::string gps_source;   // COMn or a network source (gpsd, tcp://, udp://); INI when empty
    bool demo = false;        // a simulated head and GPS on pseudo-terminals as COM1 and COM2
    bool unattended = false;  // no message box or dialog waits for a person
    bool show_logo = true;
    bool watch_signals = true;
    Clock* clock = nullptr;      // the system clock when null
    Devices* devices = nullptr;  // the real head port (and GPS) when null
};

enum class CloseOrigin { Window, Signal, Timer };

class Application : public QObject {
    Q_OBJECT
  public:
    explicit Application(StartOptions options);
    ~Application() override;

    // Start-up: settings, menu marks, calibration under the logo, showing the window, the
    // stored run mode.
    void start();

    // The tests' way to the state; the window itself goes through program().
    AppState& state() { return program_->app(); }
    MainWindow& window() { return *window_; }
    QtSurface& surface() { return surface_; }
    WindowServices& ui() { return *services_; }
    Program& program() { return *program_; }
    QSlider* slider() const { return slider_; }
    bool closed() const { return closed_; }
    ContactBook& contacts() { return contacts_; }
    // Marks a contact at the pointer over the waterfall (key M, Misc > Mark Contact).
    void mark_contact_at_pointer();

    // Asks for the close handling; it runs once, from the top of the event loop, after any
    // modal dialog has ended.
    void request_close(CloseOrigin origin);

    // One period of the arrow buttons' auto-repeat, as its timer runs it (tests drive it).
    void repeat_tick();
    const QTimer* repeat_timer() const { return repeat_timer_; }

  signals:
    void finished();

  private:
    void on_command(int id);
    // The surface is now shown at `scale`: marks, tool windows.
    void on_scale_changed(int scale);
    void toggle_tool_window(int id);
    void run_close_handling();
    void schedule_playback();
    void play_one_record();
    // Refreshes the window now, or when the last refresh is 16 ms old.
    void schedule_refresh();
    void refresh_window();
    void show_slider(bool shown);
    void refresh_zoom();
    void start_demo_head();
    void stop_demo_devices();
    // Window input, in client coordinates.
    void on_pointer_moved(QPoint at);
    void on_left_pressed(QPoint at);
    void on_left_released(QPoint at);
    void on_right_pressed(QPoint at);
    void on_character(int character);
    void on_key_pressed(int key);
    void end_auto_repeat();

    StartOptions options_;
    SystemClock system_clock_;
    Clock& clock_;
    AppState state_;  // reached through program_ only
    QtSurface surface_;
    std::unique_ptr<MainWindow> window_;
    WindowServices* services_ = nullptr;  // owned by the window
    SignalWatcher* signals_ = nullptr;
    std::unique_ptr<Program> program_;
    std::unique_ptr<Devices> devices_;
    std::unique_ptr<HeadServer> demo_head_;
    std::thread demo_head_thread_;
    std::unique_ptr<NmeaServer> demo_gps_;
    std::thread demo_gps_thread_;
    QTimer* repeat_timer_ = nullptr;
    QTimer* close_timer_ = nullptr;
    QTimer* playback_timer_ = nullptr;
    QTimer* refresh_timer_ = nullptr;
    static constexpr qint64 kRefreshIntervalMs = 16;
    QElapsedTimer last_refresh_;
    std::vector<Rect> panel_areas_;  // what the last refresh drew of the panel
    QSlider* slider_ = nullptr;
    ContactBook contacts_;
    DiagnosticsView* diagnostics_view_ = nullptr;
    ZoomPicture* zoom_picture_ = nullptr;
    std::atomic<bool> diagnostics_pending_{false};
    std::atomic<bool> refresh_pending_{false};
    bool close_requested_ = false;
    bool close_from_signal_ = false;
    bool close_from_timer_ = false;
    bool closed_ = false;
};

}  // namespace kelvanor
