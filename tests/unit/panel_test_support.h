#pragma once
// Helpers for the panel tests: a memory surface with the program's palette, a UiServices
// that records repaint requests, and panel hooks that record their calls.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/app_state.h"
#include "memory_surface.h"
#include "panel/panel_hooks.h"
#include "panel/panel_paint.h"
#include "platform/ui_services.h"
#include "waterfall/palette.h"

namespace kelvanor::test {

class RepaintRecorder final : public UiServices {
  public:
    void check_menu_item(int, bool) override {}
    void enable_menu_item(int, bool) override {}
    void set_menu_label(int, std::string_view) override {}
    void set_window_title(std::string_view) override {}
    void message_box(std::string_view, std::string_view, MessageKind) override {}
    std::optional<std::string> open_file_dialog(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> save_file_dialog(const FileDialogSpec&) override { return {}; }
    void request_repaint() override { ++whole_repaints; }
    void request_repaint(Rect area) override { areas.push_back(area); }

    int whole_repaints = 0;
    std::vector<Rect> areas;
};

class RecordingPanelHooks final : public PanelHooks {
  public:
    void select_data_source(RunMode run_mode) override {
        calls.push_back("data_source " + std::to_string(static_cast<int>(run_mode)));
    }
    void toggle_rec_pause() override { calls.push_back("toggle_rec_pause"); }
    void draw_rec_pause() override { calls.push_back("draw_rec_pause"); }
    void draw_panel_notices() override { calls.push_back("notices"); }

    std::vector<std::string> calls;
};

// A fresh state, a window-sized memory surface drawing through the program's palette with
// white, and recorders for the repaints and the hooks.
class PanelTest : public ::testing::Test {
  protected:
    PanelTest() {
        surface.set_palette(surface_palette_with_white(make_palette(ColourTable::Color)));
    }

    const PanelLayout& layout() const { return app.panel.layout; }
    // The text last written with its first cell inside `area`, or "" when none.
    std::string text_in(Rect area) const {
        const auto call = surface.last_text_in(area);
        return call ? call->text : std::string();
    }

    AppState app;
    MemorySurface surface{{800, 600}};
    RepaintRecorder ui;
    RecordingPanelHooks hooks;
};

}  // namespace kelvanor::test
