#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/ping_record.h"
#include "headlink/acquisition.h"
#include "headlink/switch_command.h"
#include "ping/readout_state.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "sim/head_sim.h"

namespace kelvanor {
namespace {

SwitchCommand bytes(std::vector<int> values) {
    SwitchCommand c{};
    for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(values.at(i));
    return c;
}

TEST(SwitchCommand, DefaultGHeadCommandIsByteForByte) {
    SwitchCommandParams p;  // 'G', 120 m, gain 6, both sides, low frequency, centred balance
    EXPECT_EQ(build_switch_command(p),
              bytes({0xFE, 0x44, 0x10, 150, 0, 0,  0x43, 3, 6, 1, 10, 100, 100, 0,
                     100,  0,    0,    0,   0, 40, 8,    6, 0, 0, 0,  0,   0xFD}));
}

TEST(SwitchCommand, HHeadCommandCarriesMetresModelCodeAndEverySetting) {
    SwitchCommandParams p;
    p.head_type = kHeadTypeH;
    p.range_metres = 240;
    p.hold_command_flag = 1;
    p.channel_code = ChannelCode::Port;
    p.gain = 40;
    p.frequency = FrequencyBand::High;
    p.balance_factor_minus = 141;
    p.balance_factor_plus = 71;
    p.ss_delay = 499;
    EXPECT_EQ(build_switch_command(p),
              bytes({0xFE, 0x44, 0x10, 240, 0, 1,  0x43, 1, 40, 1, 20,  141, 71,  0,
                     100,  0,    0,    0,   0, 50, 8,    6, 0,  0, 249, 1,   0xFD}));
}

TEST(SwitchCommand, RangeByteFollowsTheHeadModel) {
    struct Case {
        int32_t metres;
        int g_code;
    };
    // A 'G' head cannot reach 210 m or 240 m and is asked for 120 m there.
    const Case cases[] = {{15, 20},   {30, 40},   {60, 75},   {90, 115}, {120, 150},
                          {150, 190}, {180, 225}, {210, 150}, {240, 150}};
    for (const Case& c : cases) {
        SwitchCommandParams p;
        p.range_metres = c.metres;
        p.head_type = kHeadTypeG;
        EXPECT_EQ(build_switch_command(p)[3], c.g_code) << c.metres;
        EXPECT_EQ(build_switch_command(p)[19], 40) << c.metres;
        p.head_type = kHeadTypeH;
        EXPECT_EQ(build_switch_command(p)[3], c.metres) << c.metres;
        EXPECT_EQ(build_switch_command(p)[19], 50) << c.metres;
    }
}

TEST(SwitchCommand, ChannelByteNamesPortOneStarboardTwoBothThree) {
    struct Case {
        int32_t ss_train;
        int byte7;
    };
    const Case cases[] = {{0, 2} /* Stbd */, {1, 3} /* Both */, {2, 1} /* Port */};
    for (const Case& c : cases) {
        SwitchCommandParams p;
        p.channel_code = channel_code_for_train(static_cast<ChannelSelection>(c.ss_train));
        EXPECT_EQ(build_switch_command(p)[7], c.byte7) << c.ss_train;
    }
}

TEST(SwitchCommand, DelayIsHalvedFrequencyGivesCodeAndFlag) {
    const std::pair<int32_t, int> delays[] = {{0, 0}, {7, 3}, {8, 4}, {499, 249}, {500, 250}};
    for (auto [delay, byte24] : delays) {
        SwitchCommandParams p;
        p.ss_delay = delay;
        EXPECT_EQ(build_switch_command(p)[24], byte24) << delay;
    }
    SwitchCommandParams p;
    p.frequency = FrequencyBand::High;
    EXPECT_EQ(build_switch_command(p)[10], 20);
    EXPECT_EQ(build_switch_command(p)[25], 1);
    p.frequency = FrequencyBand::Low;
    EXPECT_EQ(build_switch_command(p)[10], 10);
    EXPECT_EQ(build_switch_command(p)[25], 0);
}

TEST(SwitchCommand, BalanceExtremesGiveTheDocumentedFactors) {
    const BalanceFactors full_port = compute_balance_factors(0);
    const BalanceFactors centre = compute_balance_factors(30);
    const BalanceFactors full_stbd = compute_balance_factors(60);
    SwitchCommandParams p;
    p.balance_factor_minus = full_port.minus;
    p.balance_factor_plus = full_port.plus;
    EXPECT_EQ(build_switch_command(p)[11], 141);
    EXPECT_EQ(build_switch_command(p)[12], 71);
    p.balance_factor_minus = centre.minus;
    p.balance_factor_plus = centre.plus;
    EXPECT_EQ(build_switch_command(p)[11], 100);
    EXPECT_EQ(build_switch_command(p)[12], 100);
    p.balance_factor_minus = full_stbd.minus;
    p.balance_factor_plus = full_stbd.plus;
    EXPECT_EQ(build_switch_command(p)[11], 71);
    EXPECT_EQ(build_switch_command(p)[12], 141);
}

TEST(HeadModel, StatusBitSelectsTheModelAndGLineSpanFollowsTheRange) {
    struct Case {
        int32_t h_flag;
        int32_t range;
        int32_t type, samples, reply, span;
    };
    const Case cases[] = {
        {0, 15, 'G', 400, 413, 533}, {0, 30, 'G', 400, 413, 533},  {0, 60, 'G', 400, 413, 500},
        {0, 90, 'G', 400, 413, 511}, {0, 150, 'G', 400, 413, 507}, {0, 240, 'G', 400, 413, 500},
        {1, 15, 'H', 500, 513, 500}, {1, 150, 'H', 500, 513, 500}, {3, 90, 'H', 500, 513, 500},
    };
    for (const Case& c : cases) {
        HeadState head;
        head.head_type_h_flag = c.h_flag;
        head.range_metres = c.range;
        update_head_model(head);
        EXPECT_EQ(head.head_type, c.type) << c.h_flag << " " << c.range;
        EXPECT_EQ(head.samples_per_line, c.samples);
        EXPECT_EQ(head.reply_length, c.reply);
        EXPECT_EQ(head.record_size_code, 3);
        EXPECT_EQ(head.line_span, c.span) << c.range;
    }
}

TEST(PrepareSwitchCommand, FirstCommandIsForAGHeadAndClearsReplyValid) {
    AppState app;
    app.head.reply_valid = 1;
    const SwitchCommand c = prepare_switch_command(app);
    EXPECT_EQ(app.head.reply_valid, 0);
    EXPECT_EQ(app.head.head_type, kHeadTypeG);
    EXPECT_EQ(c[19], 40);
    EXPECT_EQ(app.head.switch_command, c);
}

TEST(PrepareSwitchCommand, RetiredHeadIdIsRestoredAndOtherIdsResendTheOldBuffer) {
    AppState app;
    app.head.current_head_id = 0x12;
    app.settings.SSGain = 9;
    EXPECT_EQ(prepare_switch_command(app)[8], 9);
    EXPECT_EQ(app.head.current_head_id, 0x10);

    // A played record left a foreign head id: the buffer keeps its content.
    app.head.current_head_id = 0x22;
    app.settings.SSGain = 30;
    EXPECT_EQ(prepare_switch_command(app)[8], 9);
    app.head.current_head_id = 0x10;
    EXPECT_EQ(prepare_switch_command(app)[8], 30);
}

// A live recording stores in byte 43 the frequency code of the command in force and in
// byte 76 the frequency it was made from: the two agree for every frequency.
TEST(PrepareSwitchCommand, RecordedFrequencyCodeFollowsTheCommandSent) {
    struct Case {
        int32_t frequency;
        uint8_t code;
    };
    for (const Case c : {Case{1, 20}, Case{0, 10}, Case{1, 20}}) {
        SCOPED_TRACE(c.frequency);
        AppState app;
        app.settings.Frequency = static_cast<FrequencyBand>(c.frequency);
        EXPECT_EQ(prepare_switch_command(app)[10], c.code);
        std::array<uint8_t, kMaxRecordLength> record{};
        std::array<uint8_t, 413> reply{'G', 'G', 0, kSideScanHeadId};
        ASSERT_TRUE(encode_ping_record(record_stamp_from_state(app, 100, 0), reply, record));
        EXPECT_EQ(record[43], c.code);
        EXPECT_EQ(record[76], c.frequency);
    }
}

TEST(SendSwitchCommand, WithoutAPortNothingIsSentButReplyValidIsCleared) {
    AppState app;
    app.head.reply_valid = 1;
    SystemClock clock;
    EXPECT_FALSE(send_switch_command(app, nullptr, clock));
    EXPECT_EQ(app.head.reply_valid, 0);
    EXPECT_EQ(app.head.head_type, kHeadTypeUnset);  // no model derivation without a port
}

// A line and a clock that write what is done to them into one log, so that the order of the
// RTS framing and its waits can be read back. The clock advances 7 us per read.
struct FramingLog {
    std::vector<std::string> events;
    int64_t now_us = 1'000'000;
};

class LoggingPort final : public SerialPort {
  public:
    explicit LoggingPort(FramingLog& log) : log_(log) {}
    SerialOpenResult open(const std::string&) override { return {SerialOpenStatus::Ok, 0}; }
    void close() override {}
    bool is_open() const override { return true; }
    const std::string& path() const override { return path_; }
    bool set_line(const SerialLineSettings&) override { return true; }
    std::optional<size_t> bytes_waiting() override { return queued.size(); }
    std::optional<size_t> read(std::span<uint8_t> buffer) override {
        const size_t n = std::min(buffer.size(), queued.size());
        std::copy_n(queued.begin(), n, buffer.begin());
        queued.erase(queued.begin(), queued.begin() + static_cast<ptrdiff_t>(n));
        return n;
    }
    std::optional<size_t> write(std::span<const uint8_t> bytes) override {
        log_.events.push_back("write " + std::to_string(bytes.size()));
        return bytes.size();
    }
    bool drain() override {
        log_.events.push_back("drain");
        return true;
    }
    void flush(SerialQueue) override { log_.events.push_back("flush"); }
    bool set_rts(bool on) override {
        log_.events.push_back(on ? "rts on" : "rts off");
        return modem_lines;
    }
    bool set_dtr(bool) override { return false; }
    bool take_line_error() override { return false; }
    SerialWait wait_readable(int64_t) override { return SerialWait::TimedOut; }
    void wake() override {}
    bool wait_woken(int64_t) override { return false; }

    std::vector<uint8_t> queued;  // what the head has sent and nobody has read
    bool modem_lines = true;      // false: a pseudo-terminal

  private:
    FramingLog& log_;
    std::string path_;
};

class LoggingClock final : public Clock {
  public:
    explicit LoggingClock(FramingLog& log) : log_(log) {}
    std::time_t calendar_seconds() override {
        log_.events.push_back("calendar read");
        return 0;
    }
    uint64_t monotonic_ms() override { return static_cast<uint64_t>(log_.now_us / 1000); }
    void sleep_ms(int) override { log_.events.push_back("sleep_ms"); }
    int64_t monotonic_us() override { return log_.now_us += 7; }
    void sleep_until_us(int64_t deadline_us) override {
        log_.events.push_back("sleep " + std::to_string(deadline_us - log_.now_us));
        log_.now_us = std::max(log_.now_us, deadline_us);
    }

  private:
    FramingLog& log_;
};

TEST(SendSwitchCommand, RtsLeadAndHoldAreSleepsToDeadlinesAroundTheDrainedWrite) {
    // The deadline is taken after RTS rises and after the drain, so each wait is at least its
    // minimum from that moment; nothing reads the calendar clock or spins. A line without
    // modem lines has no framing to time: the command goes out without either wait, and the
    // input is flushed before it, not after.
    const std::vector<std::string> framed = {"rts on",     "sleep 200", "write 27", "drain",
                                             "sleep 1500", "rts off",   "flush"};
    const std::vector<std::string> unframed = {"rts on", "flush", "write 27", "drain"};
    for (const bool modem_lines : {true, false}) {
        FramingLog log;
        LoggingPort port(log);
        port.modem_lines = modem_lines;
        LoggingClock clock(log);
        AppState app;
        app.run.delay_loops_per_second = 5'000'000;  // shown in Diagnostics; not spun on
        EXPECT_TRUE(send_switch_command(app, &port, clock));
        EXPECT_EQ(log.events, modem_lines ? framed : unframed) << "modem lines " << modem_lines;
    }
}

// Work done between the drained write and finish() takes the place of the hold's sleep: RTS
// drops 1500 us after the drain, or as soon as the work ends when it took longer. Without
// modem lines there is no hold, and the input is flushed before the write: a head answering
// at once keeps its reply.
TEST(OutgoingCommand, WorkWhileRtsIsHeldShortensTheHoldSleepNotTheHold) {
    struct Case {
        bool modem_lines;
        int64_t work_us;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> before = {"rts on", "sleep 200", "write 27", "drain", "work"};
    auto framed = [&](const char* hold_sleep) {
        std::vector<std::string> events = before;
        events.insert(events.end(), {hold_sleep, "rts off", "flush"});
        return events;
    };
    for (const Case& c : {Case{true, 0, framed("sleep 1500")}, Case{true, 600, framed("sleep 900")},
                          Case{true, 2000, framed("sleep -500")},
                          Case{false, 2000, {"rts on", "flush", "write 27", "drain", "work"}}}) {
        FramingLog log;
        LoggingPort port(log);
        port.modem_lines = c.modem_lines;
        LoggingClock clock(log);
        AppState app;
        {
            OutgoingCommand command(app.settings, app.head, &port, clock);
            EXPECT_TRUE(command.written());
            log.events.push_back("work");
            log.now_us += c.work_us;
        }
        EXPECT_EQ(log.events, c.expected)
            << c.work_us << " us of work, modem lines " << c.modem_lines;
    }
}

// A complete reply: the next command goes out at once, and the reply's column is drawn while
// RTS is held after it, not after the hold.
class LoggingHooks final : public AcquisitionHooks {
  public:
    explicit LoggingHooks(FramingLog& log) : log_(log) {}
    int draw_ping(const PingContext& app, const ColumnRequest& request) override {
        log_.events.push_back("draw");
        return PingHooks::draw_ping(app, request);
    }

  private:
    FramingLog& log_;
};

TEST(PollHeadReply, AReplysColumnIsDrawnWhileTheNextCommandsRtsIsHeld) {
    FramingLog log;
    LoggingPort port(log);
    LoggingClock clock(log);
    LoggingHooks hooks(log);
    auto owned = std::make_unique<AppState>();  // the image is too big for the stack
    AppState& app = *owned;
    app.settings.RunMode = RunMode::Head;
    app.settings.SSRange = 0;
    app.settings.SpeedCorrection = 0;
    update_head_model(app.head);
    SimHead head;
    const auto command = make_switch_command(15, 12, 3, 0, 'G');
    port.queued.resize(kSimMaxReplyLength);
    port.queued.resize(synthesize_reply(head, command, port.queued));
    ASSERT_EQ(port.queued.size(), static_cast<size_t>(app.head.reply_length.load()));

    AcquisitionContext context{head_link_context(app), port, hooks, clock};
    poll_head_reply(context);
    EXPECT_EQ(app.link.replies_accepted, 1);
    EXPECT_EQ(app.link.commands_sent, 1);
    auto at = [&log](const std::string& event) {
        return std::find(log.events.begin(), log.events.end(), event) - log.events.begin();
    };
    ASSERT_LT(at("draw"), static_cast<ptrdiff_t>(log.events.size()));
    EXPECT_LT(at("write 27"), at("draw"));
    EXPECT_LT(at("drain"), at("draw"));
    EXPECT_LT(at("draw"), at("rts off"));
}

TEST(SleepUntil, APassedDeadlineReturnsAtOnceAndAFutureOneIsReached) {
    SystemClock clock;
    const int64_t start = clock.monotonic_us();
    clock.sleep_until_us(start - 1'000'000);
    clock.sleep_until_us(0);
    clock.sleep_until_us(start + 300);
    EXPECT_GE(clock.monotonic_us(), start + 300);
}

}  // namespace
}  // namespace kelvanor
