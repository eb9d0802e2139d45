#include <gtest/gtest.h>

#include "panel/panel_buttons.h"
#include "panel_test_support.h"

namespace kelvanor {
namespace {

using test::PanelTest;

Point inside(Rect r) {
    return {r.left + r.width() / 2, r.top + r.height() / 2};
}

TEST(PanelHitTest, FindsEachControlAndExcludesButtonBorders) {
    const PanelLayout l = compute_panel_layout(FontMetrics{8, 16});
    struct Case {
        Point p;
        PanelButton expected;
    };
    const Case cases[] = {
        {{104, 505}, PanelButton::HoldBox},
        {{103, 505}, PanelButton::None},  // the Hold box excludes its border
        {{146, 514}, PanelButton::HoldBox},
        {{147, 514}, PanelButton::None},
        {{697, 506}, PanelButton::RecPauseBox},
        {{l.head_button.x + 1, l.head_button.y + 1}, PanelButton::HeadButton},
        {{l.head_button.x, l.head_button.y + 1}, PanelButton::None},
        {{l.file_button.x + l.file_button.width - 1, 530}, PanelButton::FileButton},
        {{l.x1 + 1, l.y0 + 1}, PanelButton::RangeUp},
        {{l.x1, l.y0 + 1}, PanelButton::None},  // buttons: border excluded
        {{l.x1 + 1, l.y0 + l.bh + 1}, PanelButton::RangeDown},
        {{l.x2, l.y0}, PanelButton::GainUp},  // rectangles: left and top included
        {{l.x2 + l.bw - 1, l.y0 + 2 * l.bh - 1}, PanelButton::GainDown},
        {{l.x2 + l.bw, l.y0 + 2}, PanelButton::None},
        {{l.x3 + 5, l.y0 + 5}, PanelButton::ChannelUp},
        {{l.x3 + 5, l.y0 + l.bh + 5}, PanelButton::ChannelDown},
        {{389, 506}, PanelButton::PlotSpeedDown},
        {{454, 506}, PanelButton::PlotSpeedUp},
        {{400, 300}, PanelButton::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(panel_button_at(l, c.p), c.expected) << c.p.x << "," << c.p.y;
    }
}

TEST_F(PanelTest, RangeArrowsStepWithinTheFrequencyLimitAndRedraw) {
    app.settings.SSRange = 3;
    app.settings.max_range_index = 4;
    app.settings.Grid = 1;
    const Point up{layout().x1 + 4, layout().y0 + 4};
    EXPECT_EQ(panel_left_button_down(panel_context(app), surface, &ui, hooks, up).button,
              PanelButton::RangeUp);
    EXPECT_EQ(app.settings.SSRange, 4);
    EXPECT_EQ(app.head.range_metres, 120);
    EXPECT_EQ(text_in(layout().range_box), "120 M");
    EXPECT_TRUE(surface.find_text("24 M/DIV"));
    EXPECT_EQ(surface.glyph_at(up), SystemGlyph::ArrowUpPressed);
    EXPECT_EQ(app.panel.arrows.range_up_state, kArrowPressed);

    panel_left_button_down(panel_context(app), surface, &ui, hooks, up);
    EXPECT_EQ(app.settings.SSRange, 4) << "held at max_range_index";
    panel_left_button_up(panel_context(app), surface, &ui, up);
    EXPECT_EQ(surface.glyph_at(up), SystemGlyph::ArrowUp);
    EXPECT_EQ(app.panel.arrows.range_up_state, kArrowReleased);
}

TEST_F(PanelTest, RangeAndGainArrowsDoNothingInFileMode) {
    app.settings.RunMode = RunMode::File;
    app.settings.SSRange = 2;
    app.settings.SSGain = 10;
    panel_left_button_down(panel_context(app), surface, &ui, hooks,
                           {layout().x1 + 4, layout().y0 + 4});
    const PanelClick gain = panel_left_button_down(panel_context(app), surface, &ui, hooks,
                                                   inside(layout().gain_up_rect));
    EXPECT_EQ(app.settings.SSRange, 2);
    EXPECT_EQ(app.settings.SSGain, 10);
    EXPECT_EQ(gain.repeat_timer_ms, 0);
    // The channel works in both modes.
    app.settings.SSTrain = ChannelSelection::Both;
    panel_left_button_down(panel_context(app), surface, &ui, hooks,
                           {layout().x3 + 4, layout().y0 + 4});
    EXPECT_EQ(app.settings.SSTrain, ChannelSelection::Port);
    EXPECT_EQ(text_in(layout().channel_box), "Port");
}

TEST_F(PanelTest, GainAutoRepeatStepsAtOnceAfterHalfASecondThenStopsAtTheLimit) {
    app.settings.SSGain = 38;
    const Point p = inside(layout().gain_up_rect);
    const PanelClick click = panel_left_button_down(panel_context(app), surface, &ui, hooks, p);
    EXPECT_EQ(click.button, PanelButton::GainUp);
    EXPECT_EQ(click.repeat_timer_ms, 500);
    EXPECT_EQ(app.settings.SSGain, 39);
    EXPECT_EQ(text_in(layout().gain_box), "39 dB");
    EXPECT_EQ(surface.glyph_at(p), SystemGlyph::ArrowUpPressed);

    // A pointer move on the button changes nothing.
    RepeatStep step =
        panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::PointerMove, p);
    EXPECT_TRUE(step.running);
    EXPECT_EQ(step.restart_timer_ms, 0);
    EXPECT_EQ(app.settings.SSGain, 39);

    step = panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {});
    EXPECT_TRUE(step.running);
    EXPECT_EQ(step.restart_timer_ms, 50);
    EXPECT_EQ(app.settings.SSGain, 40);

    step = panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {});
    EXPECT_FALSE(step.running) << "the limit ends the repeat";
    EXPECT_EQ(app.settings.SSGain, 40);
    EXPECT_EQ(surface.glyph_at(p), SystemGlyph::ArrowUp);
    EXPECT_EQ(app.panel.repeat_delay_ms, 500);
    EXPECT_EQ(app.panel.repeat.button, PanelButton::None);
    // Events after the end are ignored.
    EXPECT_FALSE(
        panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {}).running);
}

TEST_F(PanelTest, GainAutoRepeatRunsEvery50msUntilTheButtonComesUp) {
    app.settings.SSGain = 10;
    const Point p = inside(layout().gain_down_rect);
    EXPECT_EQ(panel_left_button_down(panel_context(app), surface, &ui, hooks, p).repeat_timer_ms,
              500);
    for (int i = 0; i < 4; ++i) {
        const RepeatStep step =
            panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {});
        EXPECT_EQ(step.restart_timer_ms, 50);
    }
    EXPECT_EQ(app.settings.SSGain, 5);
    EXPECT_FALSE(panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::ButtonUp, p)
                     .running);
    EXPECT_EQ(app.settings.SSGain, 5);
    EXPECT_EQ(surface.glyph_at(p), SystemGlyph::ArrowDown);
    // The next press starts with the rest period again.
    EXPECT_EQ(panel_left_button_down(panel_context(app), surface, &ui, hooks, p).repeat_timer_ms,
              500);
}

TEST_F(PanelTest, SlidingOffTheGainButtonStopsTheRepeatAtOnce) {
    app.settings.SSGain = 10;
    const Rect r = layout().gain_up_rect;
    panel_left_button_down(panel_context(app), surface, &ui, hooks, inside(r));
    const RepeatStep step = panel_auto_repeat_event(panel_context(app), surface, &ui,
                                                    RepeatEvent::PointerMove, {r.right, r.top + 2});
    EXPECT_FALSE(step.running);
    panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {});
    EXPECT_EQ(app.settings.SSGain, 11);
}

TEST_F(PanelTest, PlotSpeedStepsByTenFrom55UpTo95AndDownTo5) {
    app.settings.RunMode = RunMode::File;
    app.settings.PlotSpeed = 55;
    const Point up = inside(layout().plot_up_rect);
    EXPECT_EQ(panel_left_button_down(panel_context(app), surface, &ui, hooks, up).repeat_timer_ms,
              500);
    EXPECT_EQ(app.settings.PlotSpeed, 65);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(
            panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {})
                .running);
    }
    EXPECT_EQ(app.settings.PlotSpeed, 95) << "95 is above 90: no further step";
    EXPECT_EQ(surface.count({405, 506, 453, 507}, kPaletteLightGrey), 45);
    panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::ButtonUp, up);

    const Point down = inside(layout().plot_down_rect);
    panel_left_button_down(panel_context(app), surface, &ui, hooks, down);
    for (int i = 0; i < 12; ++i)
        panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {});
    EXPECT_EQ(app.settings.PlotSpeed, 5) << "5 is below 10: no further step";
    EXPECT_EQ(surface.count({405, 506, 453, 507}, kPaletteLightGrey), 2);
    EXPECT_EQ(surface.glyph_at(down), SystemGlyph::ArrowLeftPressed);
    panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::ButtonUp, down);
    EXPECT_EQ(surface.glyph_at(down), SystemGlyph::ArrowLeft);
}

TEST_F(PanelTest, PlotSpeedAt100DoesNotChange) {
    app.settings.RunMode = RunMode::File;
    app.settings.PlotSpeed = 100;
    panel_left_button_down(panel_context(app), surface, &ui, hooks, inside(layout().plot_up_rect));
    EXPECT_EQ(app.settings.PlotSpeed, 100);
    EXPECT_FALSE(
        panel_auto_repeat_event(panel_context(app), surface, &ui, RepeatEvent::Timer, {}).running);
}

TEST_F(PanelTest, HoldIgnoresEveryOtherButtonUntilReleased) {
    app.settings.SSGain = 10;
    app.settings.SSTrain = ChannelSelection::Both;
    const Point hold_box{110, 510};
    EXPECT_EQ(panel_left_button_down(panel_context(app), surface, &ui, hooks, hold_box).button,
              PanelButton::HoldBox);
    EXPECT_EQ(app.run.hold, 1);
    EXPECT_EQ(app.head.hold_command_flag, 1);
    EXPECT_EQ(surface.glyph_at(hold_box), SystemGlyph::CheckBoxChecked);

    const Point clicks[] = {inside(layout().gain_up_rect),
                            {layout().x3 + 4, layout().y0 + 4},
                            {layout().file_button.x + 5, layout().file_button.y + 5},
                            {layout().x1 + 4, layout().y0 + 4}};
    for (const Point p : clicks) {
        EXPECT_EQ(panel_left_button_down(panel_context(app), surface, &ui, hooks, p).button,
                  PanelButton::None);
    }
    EXPECT_EQ(app.settings.SSGain, 10);
    EXPECT_EQ(app.settings.SSTrain, ChannelSelection::Both);
    EXPECT_EQ(app.settings.SSRange, 4);
    EXPECT_TRUE(hooks.calls.empty()) << "the DATA FROM buttons do not switch the mode";

    panel_left_button_down(panel_context(app), surface, &ui, hooks, hold_box);
    EXPECT_EQ(app.run.hold, 0);
    EXPECT_EQ(app.head.hold_command_flag, 0);
    EXPECT_EQ(surface.glyph_at(hold_box), SystemGlyph::CheckBoxEmpty);
    panel_left_button_down(panel_context(app), surface, &ui, hooks, clicks[0]);
    EXPECT_EQ(app.settings.SSGain, 11);
}

TEST_F(PanelTest, HoldInFileModeLeavesTheSwitchCommandAlone) {
    app.settings.RunMode = RunMode::File;
    toggle_hold(panel_context(app), surface, &ui);
    EXPECT_EQ(app.run.hold, 1);
    EXPECT_EQ(app.head.hold_command_flag, 0);
}

TEST_F(PanelTest, DataFromButtonsAskForTheRunModeAndRecPauseOnlyWhileRecording) {
    const ButtonBox file = layout().file_button;
    panel_left_button_down(panel_context(app), surface, &ui, hooks, {file.x + 3, file.y + 3});
    EXPECT_EQ(surface.index({file.x, file.y}), kPaletteButtonShade) << "FILE drawn pressed";
    const ButtonBox head = layout().head_button;
    panel_left_button_down(panel_context(app), surface, &ui, hooks, {head.x + 3, head.y + 3});
    const Point rec_pause{700, 510};
    panel_left_button_down(panel_context(app), surface, &ui, hooks, rec_pause);
    app.run.recording = 1;
    panel_left_button_down(panel_context(app), surface, &ui, hooks, rec_pause);
    EXPECT_EQ(hooks.calls,
              (std::vector<std::string>{"data_source 1", "data_source 0", "toggle_rec_pause"}));
}

}  // namespace
}  // namespace kelvanor
