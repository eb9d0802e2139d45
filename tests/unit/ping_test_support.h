#pragma once
// Helpers for the ping-processing tests: head replies built byte by byte, a state set up for
// a live 'G' or 'H' head, a clock that only counts, and hooks that record their calls.

#include <cstdint>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "ping/process_ping.h"
#include "platform/clock.h"

namespace kelvanor::test {

struct ReplySpec {
    char model = 'G';
    uint8_t head_id = 0x10;
    uint8_t status = 0;  // bit 0: an 'H' head
    uint8_t type = 1;    // 0 single, 1 dual frequency
    uint8_t range = 150;
    int32_t bottom_value = 0;
    int32_t echo_bytes = 400;
    uint8_t fill = 0;
};

inline std::vector<uint8_t> make_reply(const ReplySpec& form) {
    std::vector<uint8_t> reply(static_cast<size_t>(form.echo_bytes) + 13, form.fill);
    reply[0] = 'Q';
    reply[1] = static_cast<uint8_t>(form.model);
    reply[2] = 'Z';
    reply[3] = form.head_id;
    reply[4] = form.status;
    reply[5] = form.type;
    reply[6] = 0;
    reply[7] = form.range;
    reply[8] = static_cast<uint8_t>(form.bottom_value & 0x7F);
    reply[9] = static_cast<uint8_t>(form.bottom_value >> 7);
    reply[10] = static_cast<uint8_t>(form.echo_bytes & 0x7F);
    reply[11] = static_cast<uint8_t>(form.echo_bytes >> 7);
    reply.back() = 0xFC;
    return reply;
}

// Puts a reply into head_reply with the head model that expects it.
inline void load_reply(AppState& app, const std::vector<uint8_t>& reply) {
    std::copy(reply.begin(), reply.end(), app.head.head_reply.begin());
    app.head.reply_length = static_cast<int32_t>(reply.size());
    app.head.head_type = reply[1];
    app.head.reply_valid = 0;
}

// A live 'G' head at 120 m, both sides.
inline void set_up_live_head(AppState& app) {
    app.settings.RunMode = RunMode::Head;
    app.head.head_type = 'G';
    app.head.samples_per_line = 400;
    app.head.reply_length = 413;
    app.head.range_metres = 120;
    app.head.metres_per_sample = 0.24f;
    app.settings.SSTrain = ChannelSelection::Both;
    app.settings.channel_code = ChannelCode::Both;
}

class CountingClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 0; }
    uint64_t monotonic_ms() override { return now_ms; }
    void sleep_ms(int milliseconds) override { sleeps.push_back(milliseconds); }

    uint64_t now_ms = 1000;
    std::vector<int> sleeps;
};

// Records every call as a short text, in order; the waterfall calls still run the drawer.
class RecordingHooks : public PingHooks {
  public:
    void refresh_diagnostics() override { calls.push_back("diagnostics"); }
    void redraw_range_readout() override { calls.push_back("range"); }
    void redraw_grid_label() override { calls.push_back("grid_label"); }
    void redraw_gain_readout() override { calls.push_back("gain"); }
    void redraw_frequency_readout() override { calls.push_back("frequency"); }
    void redraw_channel_readout(const ChannelReadoutState&) override { calls.push_back("channel"); }
    void redraw_balance_readout(const BalanceReadout& readout) override {
        calls.push_back("balance");
        last_balance = readout;
    }
    void show_date_time(std::string_view text) override {
        calls.push_back("date_time " + std::string(text));
    }
    void show_history_record(const HistoryEntry& entry, int32_t row) override {
        calls.push_back("history");
        last_history = entry;
        last_history_row = row;
    }
    void check_menu_item(int id, bool checked) override {
        calls.push_back((checked ? "check " : "uncheck ") + std::to_string(id));
    }
    void enable_menu_item(int id, bool enabled) override {
        calls.push_back((enabled ? "enable " : "grey ") + std::to_string(id));
    }
    void clear_line_history(const PingContext& app) override {
        calls.push_back("clear_line_history");
        PingHooks::clear_line_history(app);
    }
    int draw_ping(const PingContext& app, const ColumnRequest& request) override {
        calls.push_back("draw_ping");
        last_request = request;
        ++draws;
        return PingHooks::draw_ping(app, request);
    }
    void redraw_length_overlay() override { calls.push_back("length_overlay"); }
    void redraw_height_overlay() override { calls.push_back("height_overlay"); }
    void write_ping_record() override { calls.push_back("write_record"); }
    void show_record_size() override { calls.push_back("record_size"); }
    void flash_rec_pause() override { calls.push_back("flash_rec_pause"); }
    void update_ping_indicator(bool valid) override {
        calls.push_back(valid ? "indicator on" : "indicator off");
    }

    int count(const std::string& call) const {
        int n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
    bool called(const std::string& call) const { return count(call) > 0; }

    std::vector<std::string> calls;
    ColumnRequest last_request;
    int draws = 0;
    BalanceReadout last_balance;
    HistoryEntry last_history;
    int32_t last_history_row = -1;
};

}  // namespace kelvanor::test
