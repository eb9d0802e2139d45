#include <gtest/gtest.h>

#include "control/run_mode_menus.h"
#include "fake_ui.h"

namespace kelvanor {
namespace {

// Each item as each run mode leaves it (with the speed typed in, and from the GPS).
TEST(RunModeMenus, EachModeEnablesItsOwnItemsAndGreysTheOthers) {
    struct Case {
        int id;
        bool file;
        bool head_manual_speed;
        bool head_gps_speed;
    };
    const Case cases[] = {
        {menu::kPlayback, true, false, false},
        {menu::kRecord, false, true, true},
        {menu::kCopy, true, false, false},
        {menu::kComPorts, false, true, true},
        {menu::kManualSpeed, false, true, false},
        {menu::kSpeedFromGps, false, true, true},
        {menu::kLow, false, true, true},
        {menu::kHigh, false, true, true},
        {menu::kChannelBalance, false, true, true},
    };
    ASSERT_EQ(std::size(cases), kRunModeMenuItems.size());
    for (bool speed_from_gps : {false, true}) {
        test::FakeUi file_ui;
        test::FakeUi head_ui;
        enable_run_mode_menus(file_ui, true, speed_from_gps);
        enable_run_mode_menus(head_ui, false, speed_from_gps);
        for (const Case& c : cases) {
            EXPECT_EQ(file_ui.enabled(c.id), c.file) << c.id << " gps " << speed_from_gps;
            EXPECT_EQ(head_ui.enabled(c.id),
                      speed_from_gps ? c.head_gps_speed : c.head_manual_speed)
                << c.id << " gps " << speed_from_gps;
        }
    }
}

TEST(RunModeMenus, SwitchingBackAndForthLeavesNoItemFromTheOtherMode) {
    test::FakeUi ui;
    enable_run_mode_menus(ui, false, false);
    enable_run_mode_menus(ui, true, false);
    enable_run_mode_menus(ui, false, true);
    for (const RunModeMenuItem& item : kRunModeMenuItems) {
        EXPECT_EQ(ui.enabled(item.id), item.in_head_mode && item.id != menu::kManualSpeed)
            << item.id;
    }
}

}  // namespace
}  // namespace kelvanor
