#include "settings/head_state.h"

#include "settings/run_state.h"

namespace kelvanor {

HeadParameterSet capture_head_parameters(const Settings& s, const HeadState& h,
                                         const RunState& run) {
    HeadParameterSet p;
    p.SSRange = s.SSRange;
    p.SSGain = s.SSGain;
    p.SSTrain = s.SSTrain;
    p.channel_code = s.channel_code;
    p.previous_ss_train = s.previous_ss_train;
    p.file_frequency = s.file_frequency;
    p.speed_knots = run.speed_knots;
    p.heading_degrees = run.heading_degrees;
    p.head_type = h.head_type;
    p.samples_per_line = h.samples_per_line;
    p.reply_length = h.reply_length;
    p.record_size_code = h.record_size_code;
    p.line_span = h.line_span;
    p.head_type_h_flag = h.head_type_h_flag;
    p.current_head_id = h.current_head_id;
    p.range_metres = h.range_metres;
    p.metres_per_sample = h.metres_per_sample;
    p.held_byte4 = h.held_byte4;
    p.held_byte9 = h.held_byte9;
    p.frequency_code = h.frequency_code;
    p.sample_bits = h.sample_bits;
    p.extra_setting_1 = h.extra_setting_1;
    p.extra_setting_2 = h.extra_setting_2;
    p.switch_command = h.switch_command;
    return p;
}

void restore_head_parameters(Settings& s, HeadState& h, RunState& run, const HeadParameterSet& p) {
    s.SSRange = p.SSRange;
    s.SSGain = p.SSGain;
    s.SSTrain = p.SSTrain;
    s.channel_code = p.channel_code;
    s.previous_ss_train = p.previous_ss_train;
    s.file_frequency = p.file_frequency;
    run.speed_knots = p.speed_knots;
    run.heading_degrees = p.heading_degrees;
    h.head_type = p.head_type;
    h.samples_per_line = p.samples_per_line;
    h.reply_length = p.reply_length;
    h.record_size_code = p.record_size_code;
    h.line_span = p.line_span;
    h.head_type_h_flag = p.head_type_h_flag;
    h.current_head_id = p.current_head_id;
    h.range_metres = p.range_metres;
    h.metres_per_sample = p.metres_per_sample;
    h.held_byte4 = p.held_byte4;
    h.held_byte9 = p.held_byte9;
    h.frequency_code = p.frequency_code;
    h.sample_bits = p.sample_bits;
    h.extra_setting_1 = p.extra_setting_1;
    h.extra_setting_2 = p.extra_setting_2;
    h.switch_command = p.switch_command;
}

}  // namespace kelvanor
