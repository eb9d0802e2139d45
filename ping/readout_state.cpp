#include "ping/readout_state.h"

#include <algorithm>
#include <cmath>

namespace kelvanor {

namespace {

int32_t balance_factor(float exponent) {
    const float value = std::pow(10.0f, exponent) * 100.0f + 0.5f;
    if (!(value >= 71.0f && value < 142.0f)) return 100;
    return static_cast<int32_t>(value);
}

}  // namespace

int32_t range_metres_for_index(int32_t ss_range) {
    const int32_t last = static_cast<int32_t>(kRangeMetres.size()) - 1;
    return kRangeMetres[static_cast<size_t>(std::clamp(ss_range, 0, last))];
}

void apply_range_readout_state(const Settings& settings, HeadState& head, PingState& ping) {
    const int32_t metres = range_metres_for_index(settings.SSRange);
    head.range_metres = metres;
    head.metres_per_sample = static_cast<float>(metres) / 500.0f;
    reset_previous_ping_tracking(ping);
}

ChannelReadoutState apply_channel_readout_state(Settings& s) {
    const ChannelSelection train = s.SSTrain;
    s.channel_code = channel_code_for_train(train);
    ChannelReadoutState state;
    state.train_changed = train != s.previous_ss_train;
    state.redraw_grid = state.train_changed && s.Grid;
    s.previous_ss_train = train;
    return state;
}

BalanceFactors compute_balance_factors(int32_t channel_balance) {
    const float db = static_cast<float>(channel_balance - 30) * 0.1f;
    BalanceFactors factors;
    factors.plus = balance_factor(db * 0.05f);
    factors.minus = balance_factor(-db * 0.05f);
    return factors;
}

BalanceReadout apply_balance_readout_state(const Settings& settings, HeadState& head,
                                           int32_t file_channel_balance) {
    const bool head_mode = settings.RunMode == RunMode::Head;
    if (head_mode) {
        const BalanceFactors factors = compute_balance_factors(settings.ChannelBalance);
        head.balance_factor_plus = factors.plus;
        head.balance_factor_minus = factors.minus;
    }
    const int32_t balance = head_mode ? settings.ChannelBalance.load() : file_channel_balance;
    const float a = static_cast<float>(balance - 30) * 0.1f;
    return BalanceReadout{-a, a};
}

}  // namespace kelvanor
