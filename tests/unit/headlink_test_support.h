#pragma once
// Helpers for the head-link tests: a simulated head serving a pseudo-terminal on its own
// thread, a clock whose seconds pass quickly, hooks that count what the acquisition thread
// asks of the window, and a wait for a condition with a deadline.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "control/app_state.h"
#include "headlink/acquisition.h"
#include "platform/clock.h"
#include "platform/port_resolver.h"
#include "platform/ui_services.h"
#include "sim/head_server.h"

namespace kelvanor::test {

// A head on a pseudo-terminal, served until the object goes.
class SimulatedHead {
  public:
    explicit SimulatedHead(HeadServerOptions options = quick_options()) {
        server_ = HeadServer::create(options, &error_);
        if (server_) serving_ = std::thread([this] { server_->run(); });
    }
    ~SimulatedHead() {
        if (server_) {
            server_->stop();
            serving_.join();
        }
    }
    SimulatedHead(const SimulatedHead&) = delete;
    SimulatedHead& operator=(const SimulatedHead&) = delete;

    static HeadServerOptions quick_options() {
        HeadServerOptions o;
        o.ping_ms = 2;
        return o;
    }

    bool ok() const { return server_ != nullptr; }
    const std::string& error() const { return error_; }
    HeadServer& server() { return *server_; }
    const std::string& path() const { return server_->device_path(); }

    // A port table with this head as COM1, as `--port COM1=PATH` makes it.
    PortTable port_table() const { return resolve_ports({{1, path()}}, {}, {}); }

  private:
    std::string error_;
    std::unique_ptr<HeadServer> server_;
    std::thread serving_;
};

// Calendar seconds that pass every `ms_per_second` milliseconds of real time, so that the
// no-data counting runs through its seconds quickly.
class FastClock final : public Clock {
  public:
    explicit FastClock(int ms_per_second = 50) : ms_per_second_(ms_per_second) {}
    // Before the link starts: the calendar jumps when the rate changes.
    void set_ms_per_second(int ms_per_second) { ms_per_second_ = ms_per_second; }
    std::time_t calendar_seconds() override {
        return static_cast<std::time_t>(1700000000 + elapsed_ms() / ms_per_second_);
    }
    uint64_t monotonic_ms() override { return static_cast<uint64_t>(elapsed_ms()); }
    void sleep_ms(int) override {}
    // The RTS lead and hold pass at once, as the seconds pass quickly: on a line with modem
    // lines the simulated head, which answers within 2 ms, must not lose its reply's start to
    // the flush that follows the hold.
    void sleep_until_us(int64_t) override {}

  private:
    int64_t elapsed_ms() const {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now() - start_).count();
    }
    int ms_per_second_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Counts what the acquisition thread asks of the window.
class CountingHooks final : public AcquisitionHooks {
  public:
    void refresh_diagnostics() override { ++diagnostics_refreshes; }
    void update_ping_indicator(bool valid) override { ++(valid ? valid_pings : invalid_pings); }
    void show_no_data_notice(std::string_view text) override {
        {
            std::lock_guard held(mutex_);
            notice_text_ = std::string(text);
        }
        ++notices_shown;
    }
    void erase_no_data_notice() override { ++notices_erased; }

    std::string notice_text() const {
        std::lock_guard held(mutex_);
        return notice_text_;
    }

    std::atomic<int> valid_pings{0};
    std::atomic<int> invalid_pings{0};
    std::atomic<int> notices_shown{0};
    std::atomic<int> notices_erased{0};
    std::atomic<int> diagnostics_refreshes{0};

  private:
    mutable std::mutex mutex_;
    std::string notice_text_;
};

// Records message boxes; everything else does nothing.
class RecordingUi final : public UiServices {
  public:
    void check_menu_item(int, bool) override {}
    void enable_menu_item(int, bool) override {}
    void set_menu_label(int, std::string_view) override {}
    void set_window_title(std::string_view) override {}
    void message_box(std::string_view text, std::string_view caption, MessageKind) override {
        std::lock_guard held(mutex);
        messages.push_back(std::string(caption) + ": " + std::string(text));
    }
    std::optional<std::string> open_file_dialog(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> save_file_dialog(const FileDialogSpec&) override { return {}; }
    void request_repaint() override {}
    void request_repaint(Rect) override {}

    std::mutex mutex;
    std::vector<std::string> messages;
};

inline bool wait_until(const std::function<bool()>& condition, int timeout_ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline int open_descriptor_count() {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         it != std::filesystem::directory_iterator(); ++it) {
        ++n;
    }
    return n;
}

inline int thread_count() {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
         it != std::filesystem::directory_iterator(); ++it) {
        ++n;
    }
    return n;
}

}  // namespace kelvanor::test
