#include <gtest/gtest.h>

#include "control/app_state.h"
#include "ping/readout_state.h"

namespace kelvanor {
namespace {

TEST(RangeReadoutState, SetsRangeAndMetresPerSampleAndForgetsThePreviousPingTime) {
    const struct {
        int32_t index, metres;
        float per_sample;
    } cases[] = {
        {0, 15, 0.03f},  {1, 30, 0.06f},  {2, 60, 0.12f},  {3, 90, 0.18f},
        {4, 120, 0.24f}, {5, 150, 0.30f}, {6, 180, 0.36f}, {7, 210, 0.42f},
        {8, 240, 0.48f}, {9, 240, 0.48f}, {-1, 15, 0.03f}};  // outside the table: held to its ends
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        AppState app;
        app.settings.SSRange = c.index;
        app.ping.seen.time_seconds = 42;
        app.ping.seen.gain = 6;
        apply_range_readout_state(app);
        EXPECT_EQ(app.head.range_metres, c.metres);
        EXPECT_FLOAT_EQ(app.head.metres_per_sample, c.per_sample);
        EXPECT_EQ(app.ping.seen.time_seconds, kNothingShown);
        EXPECT_EQ(app.ping.seen.gain, 6) << "only the previous-ping tracking value";
    }
}

TEST(ChannelReadoutState, FollowsTheTrainAndAsksForTheGridOnlyOnAChangeWithGridOn) {
    const struct {
        int32_t train, previous, grid, code;
        bool changed, redraw_grid;
    } cases[] = {
        {0, 1, 1, 1, true, true},
        {1, 1, 1, 3, false, false},
        {2, 1, 1, 2, true, true},
        {2, 1, 0, 2, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.train);
        AppState app;
        app.settings.SSTrain = static_cast<ChannelSelection>(c.train);
        app.settings.previous_ss_train = static_cast<ChannelSelection>(c.previous);
        app.settings.Grid = c.grid;
        const ChannelReadoutState state = apply_channel_readout_state(app);
        EXPECT_EQ(app.settings.channel_code, static_cast<ChannelCode>(c.code));
        EXPECT_EQ(state.train_changed, c.changed);
        EXPECT_EQ(state.redraw_grid, c.redraw_grid);
        EXPECT_EQ(app.settings.previous_ss_train, static_cast<ChannelSelection>(c.train));
    }
}

TEST(BalanceFactors, FollowTheBalanceInDecibelsAndFallBackTo100OutsideTheirRange) {
    const struct {
        int32_t balance, plus, minus;
    } cases[] = {{30, 100, 100}, {0, 71, 141},    {60, 141, 71}, {45, 119, 84},
                 {15, 84, 119},  {-10, 100, 100}, {70, 100, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.balance);
        const BalanceFactors f = compute_balance_factors(c.balance);
        EXPECT_EQ(f.plus, c.plus);
        EXPECT_EQ(f.minus, c.minus);
    }
}

TEST(BalanceReadoutState, ShowsPortAndStarboardDecibelsAndSetsTheFactorsOnlyLive) {
    AppState app;
    app.settings.ChannelBalance = 45;
    BalanceReadout shown = apply_balance_readout_state(app);
    EXPECT_FLOAT_EQ(shown.port_db, -1.5f);
    EXPECT_FLOAT_EQ(shown.stbd_db, 1.5f);
    EXPECT_EQ(app.head.balance_factor_plus, 119);
    EXPECT_EQ(app.head.balance_factor_minus, 84);

    app.settings.RunMode = RunMode::File;
    app.settings.ChannelBalance = 60;
    app.datafile.file_channel_balance = 15;
    shown = apply_balance_readout_state(app);
    EXPECT_FLOAT_EQ(shown.port_db, 1.5f);
    EXPECT_FLOAT_EQ(shown.stbd_db, -1.5f);
    EXPECT_EQ(app.head.balance_factor_plus, 119) << "a played file leaves the live factors";
}

}  // namespace
}  // namespace kelvanor
