#include <gtest/gtest.h>

#include "control/app_state.h"
#include "settings/ini_file.h"
#include "settings/settings_io.h"
#include "settings/window_scale_io.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::read_text;
using test::TempDir;
using test::write_text;

TEST(WindowScaleIni, ReadsOnlyScalesOneToThreeFromItsOwnSection) {
    struct Case {
        const char* text;
        int scale;
    };
    const Case cases[] = {
        {"", 1},
        {"[Settings]\nScale=2\n", 1},  // not the section of the 17 settings
        {"[Window]\nScale=2\n", 2},
        {"[window]\n  scale = 3 \n", 3},  // names without regard to case, blanks ignored
        {"[Window]\nScale=\"2\"\n", 2},
        {"[Window]\nScale=0\n", 1},
        {"[Window]\nScale=4\n", 1},
        {"[Window]\nScale=-2\n", 1},
        {"[Window]\nScale=two\n", 1},
        {"[Window]\nScale=2x\n", 2},  // read as the settings are, up to the first non-digit
    };
    TempDir dir;
    const std::string path = dir.file("KELVANOR.INI");
    for (const Case& c : cases) {
        write_text(path, c.text);
        EXPECT_EQ(load_window_scale(path), c.scale) << c.text;
    }
    EXPECT_EQ(load_window_scale(dir.file("missing.ini")), 1);
}

TEST(WindowScaleIni, SavingKeepsTheSettingsSectionAndEverythingElse) {
    TempDir dir;
    const std::string path = dir.file("KELVANOR.INI");
    write_text(path, "; boat 3\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n");
    AppState state;
    load_settings_from(state, path);
    state.settings.SSGain = 17;
    ASSERT_TRUE(save_settings(state));
    const std::string settings_only = read_text(path);

    ASSERT_TRUE(save_window_scale(path, 2));
    const std::string with_scale = read_text(path);
    EXPECT_EQ(with_scale, settings_only + "[Window]\r\nScale=2\r\n");
    ASSERT_TRUE(save_window_scale(path, 9));  // limited to 3
    EXPECT_EQ(load_window_scale(path), 3);
    ASSERT_TRUE(save_window_scale(path, 1));
    EXPECT_EQ(load_window_scale(path), 1);

    // Saving the settings again leaves the window's section alone, and the other way round.
    state.settings.SSGain = 18;
    ASSERT_TRUE(save_settings(state));
    const IniFile ini = IniFile::parse(read_text(path));
    EXPECT_EQ(ini.get("Window", "Scale"), "1");
    EXPECT_EQ(ini.get("Settings", "SSGain"), "18");
    EXPECT_EQ(ini.get("Ports", "COM1"), "/dev/ttyUSB0");
}

TEST(WindowScaleIni, SaveIntoMissingFolderFailsQuietly) {
    TempDir dir;
    EXPECT_FALSE(save_window_scale(dir.file("no-such-folder/KELVANOR.INI"), 2));
}

}  // namespace
}  // namespace kelvanor
