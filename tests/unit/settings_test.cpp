#include <gtest/gtest.h>
#include <sys/stat.h>

#include "control/app_state.h"
#include "settings/ini_file.h"
#include "settings/settings_io.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::read_text;
using test::TempDir;
using test::write_text;

AppState load_from_text(const TempDir& dir, const std::string& text) {
    const std::string path = dir.file("KELVANOR.INI");
    write_text(path, text);
    AppState state;
    load_settings_from(state, path);
    return state;
}

TEST(Settings, MissingFileGivesTheDefaults) {
    TempDir dir;
    AppState state;
    state.settings.Grid = 0;  // the load must overwrite every persistent field
    state.settings.PlotSpeed = 7;
    load_settings_from(state, dir.file("KELVANOR.INI"));
    const Settings& s = state.settings;
    EXPECT_EQ(s.Grid, 1);
    EXPECT_EQ(s.Colors, ColourTable::Color);
    EXPECT_EQ(s.Units, LengthUnit::Metres);
    EXPECT_EQ(s.RunMode, RunMode::Head);
    EXPECT_EQ(s.ComPort, 0);
    EXPECT_EQ(s.ComPortGPS, 1);
    EXPECT_EQ(s.GPSHeadingType, 2);
    EXPECT_EQ(s.SSRange, 4);
    EXPECT_EQ(s.SSGain, 6);
    EXPECT_EQ(s.SSTrain, ChannelSelection::Both);
    EXPECT_EQ(s.SSDelay, 0);
    EXPECT_EQ(s.SpeedCorrection, 0);
    EXPECT_EQ(s.AlongTrackMarks, 0);
    EXPECT_EQ(s.Frequency, FrequencyBand::Low);
    EXPECT_EQ(s.ChannelBalance, 30);
    EXPECT_EQ(s.GPSBaudRate, GpsBaud::Baud4800);
    EXPECT_EQ(s.PlotSpeed, 100);
    EXPECT_EQ(s.saved_ss_range, 4);
    EXPECT_EQ(s.saved_ss_gain, 6);
    EXPECT_EQ(state.run.previous_run_mode, RunMode::Head);
    EXPECT_EQ(state.run.ini_path, dir.file("KELVANOR.INI"));
}

struct StoredValueCase {
    const char* key;
    const char* stored;
    int32_t (*field)(const Settings& s);  // the field as the INI file holds it
    int32_t expected;
};

template <auto Field>
int32_t as_int(const Settings& s) {
    return static_cast<int32_t>((s.*Field).load());
}

class StoredValue : public testing::TestWithParam<StoredValueCase> {};

TEST_P(StoredValue, IsConvertedLikeAtoiAndClamped) {
    const StoredValueCase& c = GetParam();
    TempDir dir;
    AppState state =
        load_from_text(dir, std::string("[Settings]\n") + c.key + "=" + c.stored + "\n");
    EXPECT_EQ(c.field(state.settings), c.expected) << c.key << "=" << c.stored;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredValue,
    testing::Values(
        StoredValueCase{"Colors", "2", &as_int<&Settings::Colors>, 0},
        StoredValueCase{"Colors", "5", &as_int<&Settings::Colors>, 5},
        StoredValueCase{"Colors", "3", &as_int<&Settings::Colors>, 3},
        StoredValueCase{"Colors", "1", &as_int<&Settings::Colors>, 0},
        StoredValueCase{"SSRange", "9", &as_int<&Settings::SSRange>, 4},
        StoredValueCase{"SSRange", "-1", &as_int<&Settings::SSRange>, 4},
        StoredValueCase{"SSRange", "2", &as_int<&Settings::SSRange>, 2},
        StoredValueCase{"ComPort", "32", &as_int<&Settings::ComPort>, 0},
        StoredValueCase{"ComPort", "31", &as_int<&Settings::ComPort>, 31},
        StoredValueCase{"ComPortGPS", "40", &as_int<&Settings::ComPortGPS>, 1},
        StoredValueCase{"PlotSpeed", "150", &as_int<&Settings::PlotSpeed>, 100},
        StoredValueCase{"PlotSpeed", "55", &as_int<&Settings::PlotSpeed>, 55},
        StoredValueCase{"Grid", "on", &as_int<&Settings::Grid>, 0},
        StoredValueCase{"Grid", "", &as_int<&Settings::Grid>, 0},
        StoredValueCase{"SSGain", "  +12abc", &as_int<&Settings::SSGain>, 12},
        StoredValueCase{"SSGain", "41", &as_int<&Settings::SSGain>, 6},
        StoredValueCase{"SSGain", "-0", &as_int<&Settings::SSGain>, 0},
        StoredValueCase{"SSGain", "99999999999999999999", &as_int<&Settings::SSGain>, 6},
        StoredValueCase{"SSDelay", "500", &as_int<&Settings::SSDelay>, 500},
        StoredValueCase{"SSDelay", "501", &as_int<&Settings::SSDelay>, 0},
        StoredValueCase{"ChannelBalance", "\"45\"", &as_int<&Settings::ChannelBalance>, 45},
        StoredValueCase{"ChannelBalance", "61", &as_int<&Settings::ChannelBalance>, 30},
        StoredValueCase{"Units", "2", &as_int<&Settings::Units>, 0},
        StoredValueCase{"Frequency", "-1", &as_int<&Settings::Frequency>, 0},
        StoredValueCase{"GPSHeadingType", "3", &as_int<&Settings::GPSHeadingType>, 2},
        StoredValueCase{"GPSBaudRate", "1", &as_int<&Settings::GPSBaudRate>, 1}));

TEST(Settings, AtoiConversion) {
    EXPECT_EQ(c_atoi("  42"), 42);
    EXPECT_EQ(c_atoi("\t-7x"), -7);
    EXPECT_EQ(c_atoi("+ 3"), 0);
    EXPECT_EQ(c_atoi("abc"), 0);
    EXPECT_EQ(c_atoi("12 34"), 12);
    EXPECT_EQ(c_atoi("-99999999999999"), INT32_MIN);
}

TEST(Settings, KeysAndSectionMatchWithoutRegardToCase) {
    TempDir dir;
    AppState state = load_from_text(dir, "[settings]\r\n  ssgain = 17 \r\nPLOTSPEED=30\r\n");
    EXPECT_EQ(state.settings.SSGain, 17);
    EXPECT_EQ(state.settings.PlotSpeed, 30);
}

TEST(Settings, KeysOutsideTheSectionAreIgnored) {
    TempDir dir;
    AppState state = load_from_text(dir, "SSGain=17\n[Other]\nSSGain=18\n[Settings]\nGrid=0\n");
    EXPECT_EQ(state.settings.SSGain, 6);
    EXPECT_EQ(state.settings.Grid, 0);
}

TEST(Settings, HighFrequencyLowersTheLoadedRangeAtStartUp) {
    TempDir dir;
    AppState state = load_from_text(dir, "[Settings]\nSSRange=9\nFrequency=1\n");
    EXPECT_EQ(state.settings.SSRange, 4);
    ASSERT_TRUE(apply_frequency_range_limit(state.settings));
    EXPECT_EQ(state.settings.max_range_index, 1);
    EXPECT_EQ(state.settings.SSRange, 1);
    EXPECT_EQ(state.settings.saved_ss_range, 1);
}

TEST(Settings, FrequencyRuleDoesNothingInFileMode) {
    AppState state;
    state.settings.RunMode = RunMode::File;
    state.settings.Frequency = FrequencyBand::High;
    state.settings.SSRange = 3;
    EXPECT_FALSE(apply_frequency_range_limit(state.settings));
    EXPECT_EQ(state.settings.SSRange, 3);
    EXPECT_EQ(state.settings.max_range_index, 4);
}

TEST(Settings, SaveWritesEveryKeyInOrder) {
    TempDir dir;
    AppState state;
    state.run.ini_path = dir.file("KELVANOR.INI");
    state.settings.SSGain = 12;
    state.settings.ChannelBalance = 0;
    ASSERT_TRUE(save_settings(state));
    EXPECT_EQ(read_text(state.run.ini_path),
              "[Settings]\nGrid=1\nColors=0\nUnits=0\nRunMode=0\nComPort=0\nComPortGPS=1\n"
              "GPSHeadingType=2\nSSRange=4\nSSGain=12\nSSTrain=1\nSSDelay=0\n"
              "SpeedCorrection=0\nAlongTrackMarks=0\nFrequency=0\nChannelBalance=0\n"
              "GPSBaudRate=0\nPlotSpeed=100\n");
}

TEST(Settings, FileModeSavesTheHeadModeRangeAndGain) {
    TempDir dir;
    AppState state;
    state.run.ini_path = dir.file("KELVANOR.INI");
    state.settings.RunMode = RunMode::File;
    state.settings.SSRange = 8;  // overwritten by a played record
    state.settings.SSGain = 33;
    state.settings.saved_ss_range = 2;
    state.settings.saved_ss_gain = 9;
    state.settings.Frequency = FrequencyBand::High;
    state.settings.file_frequency = FrequencyBand::Low;
    ASSERT_TRUE(save_settings(state));
    AppState reloaded;
    load_settings_from(reloaded, state.run.ini_path);
    EXPECT_EQ(reloaded.settings.SSRange, 2);
    EXPECT_EQ(reloaded.settings.SSGain, 9);
    EXPECT_EQ(reloaded.settings.Frequency, FrequencyBand::High);
    EXPECT_EQ(reloaded.settings.RunMode, RunMode::File);
    EXPECT_EQ(reloaded.run.previous_run_mode, RunMode::File);
}

// The typed flags read from the file's 0 and 1 and are written back as the same text.
TEST(Settings, TypedFlagsReadAndWriteTheFilesNumbers) {
    struct Case {
        const char* stored;
        RunMode run_mode;
        bool grid;
        bool speed_correction;
        bool along_track_marks;
    };
    const Case cases[] = {
        {"RunMode=0\nGrid=0\nSpeedCorrection=0\nAlongTrackMarks=0\n", RunMode::Head, false, false,
         false},
        {"RunMode=1\nGrid=1\nSpeedCorrection=1\nAlongTrackMarks=1\n", RunMode::File, true, true,
         true},
        {"RunMode=2\nGrid=2\nSpeedCorrection=-1\nAlongTrackMarks=9\n", RunMode::Head, true, false,
         false},  // out of range: each key's default
    };
    for (const Case& c : cases) {
        TempDir dir;
        AppState state = load_from_text(dir, std::string("[Settings]\n") + c.stored);
        EXPECT_EQ(state.settings.RunMode, c.run_mode) << c.stored;
        EXPECT_EQ(state.settings.Grid.load(), c.grid) << c.stored;
        EXPECT_EQ(state.settings.SpeedCorrection.load(), c.speed_correction) << c.stored;
        EXPECT_EQ(state.settings.AlongTrackMarks.load(), c.along_track_marks) << c.stored;
        ASSERT_TRUE(save_settings(state));
        const std::string saved = read_text(state.run.ini_path);
        const auto line = [](const char* key, bool on) {
            return std::string(key) + "=" + (on ? "1" : "0") + "\n";
        };
        EXPECT_NE(saved.find(line("RunMode", c.run_mode == RunMode::File)), std::string::npos);
        EXPECT_NE(saved.find(line("Grid", c.grid)), std::string::npos) << saved;
        EXPECT_NE(saved.find(line("SpeedCorrection", c.speed_correction)), std::string::npos);
        EXPECT_NE(saved.find(line("AlongTrackMarks", c.along_track_marks)), std::string::npos);
    }
}

TEST(Settings, SaveKeepsOtherSectionsCommentsAndLineEndings) {
    TempDir dir;
    const std::string path = dir.file("KELVANOR.INI");
    write_text(
        path,
        "; survey boat 3\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[Settings]\r\n"
        "; gain as the crew likes it\r\nSSGain = 20\r\nCustom=keep me\r\n\r\n[Later]\r\nx=1");
    AppState state;
    load_settings_from(state, path);
    state.settings.SSGain = 21;
    ASSERT_TRUE(save_settings(state));
    const std::string text = read_text(path);
    EXPECT_EQ(text.rfind("; survey boat 3\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[Settings]\r\n"
                         "; gain as the crew likes it\r\nSSGain=21\r\nCustom=keep me\r\nGrid=1\r\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("PlotSpeed=100\r\n\r\n[Later]\r\nx=1"), std::string::npos) << text;
    IniFile ini = IniFile::parse(text);
    EXPECT_EQ(ini.get("Ports", "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(ini.get("Later", "x"), "1");
}

TEST(Settings, FailedSaveLeavesTheOldFileWholeAndNoTemporaryFiles) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    const std::string path = dir.file("KELVANOR.INI");
    write_text(path, "[Settings]\nSSGain=20\n");
    ::chmod(dir.path().c_str(), 0555);
    AppState state;
    load_settings_from(state, path);
    state.settings.SSGain = 3;
    EXPECT_FALSE(save_settings(state));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(read_text(path), "[Settings]\nSSGain=20\n");
}

TEST(Settings, SaveThatCannotReplaceTheFileLeavesNoTemporaryFile) {
    // A folder where the file should be: the rename fails, whoever runs the test.
    TempDir dir;
    std::filesystem::create_directory(dir.file("KELVANOR.INI"));
    std::filesystem::create_directory(dir.file("KELVANOR.INI/inner"));
    AppState state;
    state.run.ini_path = dir.file("KELVANOR.INI");
    EXPECT_FALSE(save_settings(state));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(Settings, SaveIntoMissingFolderFailsQuietly) {
    TempDir dir;
    AppState state;
    state.run.ini_path = dir.file("no-such-folder/KELVANOR.INI");
    EXPECT_FALSE(save_settings(state));
}

TEST(Settings, SaveReplacesTheFileInOneStep) {
    // The new content appears under the name at once: no temporary file is left beside it.
    TempDir dir;
    AppState state;
    state.run.ini_path = dir.file("KELVANOR.INI");
    ASSERT_TRUE(save_settings(state));
    ASSERT_TRUE(save_settings(state));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace kelvanor
