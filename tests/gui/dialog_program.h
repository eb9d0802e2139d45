#pragma once
// For the dialog tests: the program a dialog's outcome is handed to, without a window — a
// fresh state, a recording fake of the window system, a memory surface, and devices that log
// what they are asked to start and stop (with the port each starts on).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>

#include "control/app_state.h"
#include "control/program.h"
#include "tests/gui/gui_support.h"
#include "tests/unit/fake_ui.h"
#include "tests/unit/memory_surface.h"

namespace kelvanor::test {

class LoggingDevices final : public Devices {
  public:
    explicit LoggingDevices(const AppState& app) : app_(app) {}
    void start_head_port() override {
        calls.push_back("start head COM" + std::to_string(app_.settings.ComPort + 1));
    }
    void stop_head_port() override { calls.push_back("stop head"); }
    void start_gps() override {
        calls.push_back("start gps COM" + std::to_string(app_.settings.ComPortGPS + 1));
    }
    void stop_gps() override { calls.push_back("stop gps"); }
    std::vector<std::string> calls;

  private:
    const AppState& app_;
};

struct DialogProgram {
    DialogProgram() { program.set_devices(&devices); }

    // What a dialog handed back: its values after Ok, nothing otherwise.
    template <typename Dialog>
    static auto outcome(const Dialog& dialog) {
        using Values = std::decay_t<decltype(dialog.values())>;
        return dialog.result() == QDialog::Accepted ? std::optional<Values>(dialog.values())
                                                    : std::nullopt;
    }

    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& app = *owned;
    FakeUi ui;
    MemorySurface surface;
    FastClock clock;
    Program program{app, ui, surface, clock};
    LoggingDevices devices{app};
};

}  // namespace kelvanor::test
