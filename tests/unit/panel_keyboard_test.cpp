#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/keyboard_entry.h"
#include "panel_test_support.h"

namespace kelvanor {
namespace {

using test::PanelTest;

class PanelKeyboardTest : public PanelTest {
  protected:
    void type(const std::string& keys) {
        for (const char c : keys) panel_key_char(panel_context(app), surface, &ui, hooks, c);
    }
    std::string prompt() const { return text_in({692, 504, 792, 530}); }
};

TEST_F(PanelKeyboardTest, RangeNinetyAtHighFrequencyIsLoweredToTheLimit) {
    app.settings.Frequency = FrequencyBand::High;
    app.settings.max_range_index = 1;
    app.settings.SSRange = 0;
    type("R9");
    EXPECT_EQ(app.run.entry_kind, 1);
    EXPECT_EQ(prompt(), "Range: 9 M");
    type("0");
    EXPECT_EQ(prompt(), "Range: 90 M");
    type("\r");
    EXPECT_EQ(app.settings.SSRange, 1);
    EXPECT_EQ(app.head.range_metres, 30);
    EXPECT_EQ(text_in(layout().range_box), "30 M");
    EXPECT_TRUE(surface.find_text(" 6 M/DIV"));
    EXPECT_EQ(app.run.entry_kind, 0);
    EXPECT_EQ(app.run.entry_count, 0);
    EXPECT_TRUE(surface.all({692, 504, 792, 520}, kPalettePanelBackground)) << "prompt erased";
}

// The prompt's box is one text line high and ends above the position box (top edge at
// y = 520): neither the prompt nor its erasure after Enter or Esc touches that box.
TEST_F(PanelKeyboardTest, PromptLeavesThePositionBoxAlone) {
    auto position_box = [this] {
        std::vector<PaletteIndex> pixels;
        const Rect box = layout().position_box;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) pixels.push_back(surface.index({x, y}));
        }
        return pixels;
    };
    for (const char* keys : {"R12\r", "G3\x1b", "r\x1b", "g\r"}) {
        SCOPED_TRACE(keys);
        paint_panel(panel_context(app), surface, &ui, hooks);
        const std::vector<PaletteIndex> before = position_box();
        type(std::string(keys, 2));
        EXPECT_EQ(position_box(), before) << "while the prompt shows";
        type(keys + 2);
        EXPECT_EQ(position_box(), before) << "after the prompt is gone";
    }
}

TEST_F(PanelKeyboardTest, RangeEntriesByUnits) {
    struct Case {
        int32_t units;
        const char* keys;
        int32_t expected;
    };
    const Case cases[] = {{0, "r15\r", 0},   {0, "r120\r", 4}, {1, "r400\r", 4},
                          {1, "r50\r", 0},   {1, "r15\r", 2},  // 15 is no feet range: unchanged
                          {0, "r1234\r", 2}, {0, "r\r", 2}};
    for (const Case& c : cases) {
        app.settings.Units = static_cast<LengthUnit>(c.units);
        app.settings.SSRange = 2;
        type(c.keys);
        EXPECT_EQ(app.settings.SSRange, c.expected) << c.keys;
    }
}

TEST_F(PanelKeyboardTest, FourthDigitIsDropped) {
    type("R1234");
    EXPECT_EQ(app.run.entry_count, 3);
    EXPECT_EQ(std::string(app.run.entry_digits.data()), "123");
    EXPECT_EQ(prompt(), "Range: 123 M");
}

TEST_F(PanelKeyboardTest, GainEntryAcceptsZeroToForty) {
    type("G25\r");
    EXPECT_EQ(app.settings.SSGain, 25);
    EXPECT_EQ(text_in(layout().gain_box), "25 dB");
    type("g41\r");
    EXPECT_EQ(app.settings.SSGain, 25);
    type("g0\r");
    EXPECT_EQ(app.settings.SSGain, 0);
}

TEST_F(PanelKeyboardTest, EscapeAndANewEntryCancelTheRunningOne) {
    type("G3");
    type("\x1b");
    EXPECT_EQ(app.run.entry_kind, 0);
    type("G3R");
    EXPECT_EQ(app.run.entry_kind, 1);
    EXPECT_EQ(app.run.entry_count, 0);
    EXPECT_EQ(prompt(), "Range: ? M");
}

TEST_F(PanelKeyboardTest, FileModeIgnoresEverythingButHold) {
    app.settings.RunMode = RunMode::File;
    app.run.recording = 1;
    type("RG12\r\x1bP");
    EXPECT_EQ(app.run.entry_kind, 0);
    EXPECT_TRUE(hooks.calls.empty());
    EXPECT_TRUE(surface.texts().empty());
    type("h");
    EXPECT_EQ(app.run.hold, 1);
}

TEST_F(PanelKeyboardTest, RecPauseKeyAndPromptOverRecPauseWhileRecording) {
    type("p");
    EXPECT_TRUE(hooks.calls.empty());
    app.run.recording = 1;
    type("P");
    type("G5\r");
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"toggle_rec_pause", "draw_rec_pause"}));
}

TEST(PanelArrowKeys, PointerAcceleratesUpToSixteenPixels) {
    RunState run;
    Point p{100, 100};
    const int expected_x[] = {101, 102, 104, 106, 109};  // steps 1, 1.5, 2, 2.5, 3 cut to whole
    for (const int x : expected_x) {
        p = *pointer_after_key_down(run, NavigationKey::Right, p);
        EXPECT_EQ(p.x, x);
    }
    for (int i = 0; i < 40; ++i) pointer_after_key_down(run, NavigationKey::Other, p);
    EXPECT_FLOAT_EQ(run.cursor_step, 16.0f);
    EXPECT_EQ(*pointer_after_key_down(run, NavigationKey::Up, {50, 50}), (Point{50, 34}));
    EXPECT_FALSE(pointer_after_key_down(run, NavigationKey::Other, p));
    reset_cursor_step(run);
    EXPECT_EQ(*pointer_after_key_down(run, NavigationKey::Left, {50, 50}), (Point{49, 50}));
}

}  // namespace
}  // namespace kelvanor
