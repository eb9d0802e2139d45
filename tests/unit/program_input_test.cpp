#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/program.h"
#include "fake_ui.h"
#include "memory_surface.h"
#include "platform/menu_ids.h"

namespace kelvanor {
namespace {

class StillClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 1715679000; }
    uint64_t monotonic_ms() override { return 0; }
    void sleep_ms(int) override {}
};

// Logs what the program asks of the ports, with the port each starts on.
class LoggingDevices final : public Devices {
  public:
    explicit LoggingDevices(const AppState& app) : app_(app) {}
    void start_head_port() override {
        calls.push_back("start head COM" + std::to_string(app_.settings.ComPort + 1));
    }
    void stop_head_port() override { calls.push_back("stop head"); }
    void start_gps() override {
        calls.push_back("start gps " + (app_.link.gps_network_source.empty()
                                            ? "COM" + std::to_string(app_.settings.ComPortGPS + 1)
                                            : app_.link.gps_network_source));
    }
    void stop_gps() override { calls.push_back("stop gps"); }
    std::vector<std::string> calls;

  private:
    const AppState& app_;
};

class ProgramInputTest : public testing::Test {
  protected:
    ProgramInputTest() { program.set_devices(&devices); }

    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& app = *owned;
    test::FakeUi ui;
    test::MemorySurface surface;
    StillClock clock;
    Program program{app, ui, surface, clock};
    LoggingDevices devices{app};
};

TEST_F(ProgramInputTest, ToolWindowItemShowsThenClosesAndTheCloseBoxClearsTheMark) {
    for (int id : {menu::kDiagnostics, menu::kZoom}) {
        const SharedBool& shown =
            id == menu::kDiagnostics ? app.run.diagnostics_shown : app.run.zoom_shown;
        EXPECT_EQ(program.toggle_tool_window(id), ToolWindowStep::Show) << id;
        EXPECT_TRUE(shown) << id;
        EXPECT_TRUE(ui.checked(id)) << id;
        EXPECT_EQ(program.toggle_tool_window(id), ToolWindowStep::Close) << id;
        EXPECT_TRUE(shown) << id << ": cleared by the window's close handling";
        program.tool_window_closed(id);
        EXPECT_FALSE(shown) << id;
        EXPECT_FALSE(ui.checked(id)) << id;
    }
}

TEST_F(ProgramInputTest, ClicksFreezeAndReleaseTheZoomPictureWhileZoomIsShown) {
    const Point p{300, 200};
    struct Step {
        bool zoom_shown;
        int frozen_after;
        bool zoom_view;
    };
    const Step steps[] = {{true, 1, false}, {true, 0, true}, {true, 1, false}, {false, 0, false}};
    for (const Step& s : steps) {
        app.run.zoom_shown = s.zoom_shown;
        const PressOutcome outcome = program.left_pressed(p);
        EXPECT_TRUE(outcome.taken);
        EXPECT_EQ(app.run.zoom_frozen, s.frozen_after);
        EXPECT_EQ(outcome.zoom.has_value(), s.zoom_view);
        if (outcome.zoom) {
            EXPECT_EQ(outcome.zoom->centre, p);
        }
    }
    EXPECT_FALSE(program.zoom_to_show().has_value()) << "Zoom x3 not shown";
    app.run.zoom_shown = true;
    ASSERT_TRUE(program.zoom_to_show().has_value());
    EXPECT_EQ(program.zoom_to_show()->centre, p) << "the last centre";
}

TEST_F(ProgramInputTest, PointerOverTheWaterfallMovesTheZoomPictureUnlessFrozen) {
    struct Case {
        Point p;
        bool zoom_shown;
        int frozen;
        bool over_image;
        bool zoom_view;
    };
    const Case cases[] = {
        {{300, 200}, true, 0, true, true},   {{300, 200}, true, 1, true, false},
        {{300, 200}, false, 0, true, false}, {{300, 550}, true, 0, false, false},
        {{0, 200}, true, 0, false, false},
    };
    for (const Case& c : cases) {
        app.run.zoom_shown = c.zoom_shown;
        app.run.zoom_frozen = c.frozen;
        const PointerOutcome outcome = program.pointer_moved(c.p);
        EXPECT_FALSE(outcome.to_auto_repeat);
        EXPECT_EQ(outcome.over_image, c.over_image) << c.p.x << "," << c.p.y;
        EXPECT_EQ(outcome.zoom.has_value(), c.zoom_view) << c.p.x << "," << c.p.y;
    }
}

TEST_F(ProgramInputTest, WhileAnAutoRepeatRunsOnlyItGetsTheInput) {
    app.panel.mouse_x = 10;
    app.panel.mouse_y = 20;
    EXPECT_FALSE(program.repeat_tick().ran) << "no repeat: the tick does nothing";
    app.panel.repeat.button = PanelButton::GainUp;
    EXPECT_TRUE(program.auto_repeat_running());
    EXPECT_FALSE(program.left_pressed({300, 200}).taken);
    EXPECT_FALSE(program.right_pressed({40, 50}));
    EXPECT_EQ(program.pointer(), (Point{10, 20})) << "a right press stores no pointer";
    EXPECT_FALSE(program.key_pressed(NavigationKey::Left, {100, 100}).has_value());
    EXPECT_TRUE(program.repeat_tick().ran);
    app.panel.repeat.button = PanelButton::GainUp;  // the tick off the arrow ended it
    const PointerOutcome moved = program.pointer_moved({30, 40});
    EXPECT_TRUE(moved.to_auto_repeat);
    EXPECT_FALSE(moved.over_image);
    EXPECT_EQ(program.pointer(), (Point{30, 40})) << "the repeat follows the pointer";
}

TEST_F(ProgramInputTest, RightPressStoresThePointerAndArrowKeysMoveIt) {
    program.right_pressed({40, 50});
    EXPECT_EQ(program.pointer(), (Point{40, 50}));
    const std::optional<Point> moved = program.key_pressed(NavigationKey::Right, {100, 100});
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(moved->y, 100);
    EXPECT_GT(moved->x, 100);
    EXPECT_FALSE(program.key_pressed(NavigationKey::Other, {100, 100}).has_value());
    program.key_released();
    EXPECT_EQ(program.key_pressed(NavigationKey::Up, {100, 100}), (Point{100, 99}))
        << "a key-up resets the step to one pixel";
}

TEST_F(ProgramInputTest, ManualSpeedOutcomeSetsTheSpeedOnlyWhenChosenAndTheHeadingAlways) {
    struct Case {
        std::optional<ManualSpeedValues> chosen;
        float speed_after;
    };
    const Case cases[] = {{ManualSpeedValues{7.5f}, 7.5f}, {std::nullopt, 4.0f}};
    for (const Case& c : cases) {
        app.run.speed_knots = 4.0f;
        app.run.heading_degrees = 123.0f;
        EXPECT_FLOAT_EQ(program.manual_speed_values().speed_knots, 4.0f);
        program.apply_manual_speed(c.chosen);
        EXPECT_FLOAT_EQ(app.run.speed_knots, c.speed_after);
        EXPECT_FLOAT_EQ(app.run.heading_degrees, 0.0f);
    }
}

TEST_F(ProgramInputTest, ChannelBalanceIsSetAtOnceOrAfterOkOnly) {
    app.settings.ChannelBalance = 12;
    EXPECT_EQ(program.channel_balance_values().balance, 12);
    program.apply_channel_balance(std::nullopt);
    EXPECT_EQ(app.settings.ChannelBalance, 12);
    program.set_channel_balance({30});
    EXPECT_EQ(app.settings.ChannelBalance, 30);
    program.apply_channel_balance(ChannelBalanceValues{41});
    EXPECT_EQ(app.settings.ChannelBalance, 41);
}

TEST_F(ProgramInputTest, ComPortsRestartOnTheChosenPortsInOrder) {
    struct Case {
        const char* name;
        bool gps_enabled;
        std::string source_before;
        std::string source_chosen;
        std::vector<std::string> calls;
        int gps_port_after;
    };
    const Case cases[] = {
        {"gps on a port",
         true,
         "",
         "",
         {"stop head", "stop gps", "start head COM2", "start gps COM4"},
         3},
        {"network source kept",
         true,
         "gpsd://h:2947",
         "gpsd://h:2947",
         {"stop head", "stop gps", "start head COM2", "start gps gpsd://h:2947"},
         3},
        {"network source replaced",
         true,
         "gpsd://h:2947",
         "",
         {"stop head", "stop gps", "start head COM2", "start gps COM4"},
         3},
        {"no gps", false, "", "", {"stop head", "start head COM2"}, 0},
    };
    for (const Case& c : cases) {
        app.run.gps_enabled = c.gps_enabled ? 1 : 0;
        app.settings.ComPort = 0;
        app.settings.ComPortGPS = 0;
        app.settings.GPSHeadingType = 0;
        app.link.gps_network_source = c.source_before;
        app.link.ports.paths[1] = "/dev/ttyS1";
        devices.calls.clear();
        ComPortValues values = program.com_port_values();
        EXPECT_EQ(values.gps_enabled, c.gps_enabled) << c.name;
        EXPECT_EQ(values.network_source, c.source_before) << c.name;
        ASSERT_EQ(values.ports.size(), 1u);
        EXPECT_EQ(values.ports[0].com_number, 2);
        values.head_port = 1;
        values.gps_port = 3;
        values.position_choice = 2;
        values.network_source = c.source_chosen;
        program.apply_com_ports(values);
        EXPECT_EQ(devices.calls, c.calls) << c.name;
        EXPECT_EQ(app.settings.ComPort, 1) << c.name;
        EXPECT_EQ(app.settings.ComPortGPS, c.gps_port_after) << c.name;
        EXPECT_EQ(app.settings.GPSHeadingType, 2) << c.name;
        EXPECT_EQ(app.link.gps_network_source, c.gps_enabled ? c.source_chosen : c.source_before)
            << c.name;
    }
}

TEST_F(ProgramInputTest, StartUpRunModeAndDemoPortsMarkTheMenu) {
    struct Case {
        RunMode before;
        bool demo;
        bool with_gps;
        RunMode run_mode_after;
        RunMode previous_after;
        int gps_port_after;
    };
    constexpr RunMode kHead = RunMode::Head;
    constexpr RunMode kFile = RunMode::File;
    constexpr RunMode kUnset = static_cast<RunMode>(7);
    const Case cases[] = {
        {kHead, false, false, kFile, kUnset, 5},  // --play: FILE mode
        {kFile, false, false, kFile, kUnset, 5},
        {kFile, true, true, kHead, kHead, 1},  // the demo: HEAD mode, no change at the first switch
        {kHead, true, false, kHead, kUnset, 5},
    };
    for (const Case& c : cases) {
        app.settings.RunMode = c.before;
        app.settings.ComPort = 4;
        app.settings.ComPortGPS = 5;
        app.run.previous_run_mode = kUnset;
        if (c.demo) {
            program.use_demo_ports(c.with_gps);
            EXPECT_EQ(app.settings.ComPort, 0);
        } else {
            program.choose_run_mode(RunMode::File);
        }
        EXPECT_EQ(app.settings.RunMode, c.run_mode_after);
        EXPECT_EQ(app.run.previous_run_mode, c.previous_after);
        EXPECT_EQ(app.settings.ComPortGPS, c.gps_port_after);
        if (c.before != c.run_mode_after) {
            EXPECT_EQ(ui.checked(menu::kHead), c.run_mode_after == RunMode::Head);
            EXPECT_EQ(ui.checked(menu::kFile), c.run_mode_after == RunMode::File);
        }
    }
}

}  // namespace
}  // namespace kelvanor
