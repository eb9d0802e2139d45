#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "control/app_state.h"
#include "headlink/head_port.h"
#include "headlink/switch_command.h"
#include "headlink_test_support.h"
#include "ping/readout_state.h"
#include "platform/posix_serial_port.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::CountingHooks;
using test::FastClock;
using test::RecordingUi;
using test::SimulatedHead;
using test::wait_until;

class HeadLink : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sim_ok()) << head().error(); }

    virtual HeadServerOptions options() { return SimulatedHead::quick_options(); }

    SimulatedHead& head() {
        if (!head_) head_ = std::make_unique<SimulatedHead>(options());
        return *head_;
    }
    bool sim_ok() { return head().ok(); }

    HeadPort& port() {
        if (!port_) {
            enumerate_ports(head_link_context(app), head().port_table());
            port_ = std::make_unique<HeadPort>(head_link_context(app), hooks, clock, ui);
        }
        return *port_;
    }

    void start() {
        ASSERT_TRUE(port().open(app.settings.ComPort).ok());
        ASSERT_TRUE(port().start());
        ASSERT_EQ(app.link.acquisition_running, 1);
    }

    bool wait_for_valid_pings(int count, int timeout_ms = 10000) {
        return wait_until([&] { return hooks.valid_pings >= count; }, timeout_ms);
    }

    void TearDown() override {
        if (port_) port_->stop();
        port_.reset();
    }

    AppState app;
    CountingHooks hooks;
    FastClock clock{50};
    RecordingUi ui;

  private:
    std::unique_ptr<SimulatedHead> head_;
    std::unique_ptr<HeadPort> port_;
};

// A test that counts on no reply being missed runs its seconds at their real length: three
// quick seconds (150 ms) without a whole reply show the no-data notice, and a loaded machine
// can hold up the simulated head's thread for that long.
constexpr int kRealSecondMs = 1000;

TEST_F(HeadLink, EveryReplyIsAcceptedAndAnsweredWithTheCurrentCommand) {
    clock.set_ms_per_second(kRealSecondMs);
    start();
    ASSERT_TRUE(wait_for_valid_pings(20));
    // A stop flushes the line: on a pseudo-terminal that discards a command the head has not
    // read yet. The head falls silent first and the last command is let arrive.
    head().server().set_silent(true);
    EXPECT_TRUE(wait_until(
        [&] {
            return head().server().commands_received() >=
                   static_cast<uint64_t>(hooks.valid_pings + 1 + app.link.no_data_resends);
        },
        5000));
    port().stop();
    EXPECT_EQ(hooks.invalid_pings, 0);
    // One command per reply, plus the first one and any sent again into the silence.
    const std::vector<SimCommand> commands = head().server().commands();
    ASSERT_GE(commands.size(), 20u);
    EXPECT_EQ(commands.size(),
              static_cast<size_t>(hooks.valid_pings + 1 + app.link.no_data_resends));
    const SwitchCommand expected = build_switch_command(switch_command_params(app));
    for (const SimCommand& c : commands) EXPECT_EQ(c, expected);
    EXPECT_EQ(app.head.head_reply[0], 'Q');
    EXPECT_EQ(app.head.head_reply[412], 0xFC);
}

class HHeadLink : public HeadLink {
    HeadServerOptions options() override {
        HeadServerOptions o = SimulatedHead::quick_options();
        o.head.model = 'H';
        return o;
    }
};

TEST_F(HHeadLink, AnHHeadIsRecognisedAndAskedForItsOwnReply) {
    app.settings.SSRange = 3;
    apply_range_readout_state(app);  // 90 m
    start();
    ASSERT_TRUE(wait_for_valid_pings(5));
    port().stop();
    EXPECT_EQ(app.head.head_type, kHeadTypeH);
    EXPECT_EQ(app.head.reply_length, 513);
    const std::vector<SimCommand> commands = head().server().commands();
    ASSERT_GE(commands.size(), 3u);
    // The first command is for a 'G' head: nothing has reported an 'H' head yet.
    EXPECT_EQ(commands.front()[19], 40);
    EXPECT_EQ(commands.front()[3], 115);
    EXPECT_EQ(commands.back()[19], 50);
    EXPECT_EQ(commands.back()[3], 90);
}

class FaultyHeadLink : public HeadLink, public ::testing::WithParamInterface<HeadFaults> {
    void SetUp() override {
        clock.set_ms_per_second(kRealSecondMs);
        HeadLink::SetUp();
    }
    HeadServerOptions options() override {
        HeadServerOptions o = SimulatedHead::quick_options();
        o.faults = GetParam();
        return o;
    }
};

HeadFaults split_faults() {
    HeadFaults f;
    f.split_pieces = 6;
    f.split_gap_ms = 3;
    return f;
}
HeadFaults one_byte_pieces() {
    HeadFaults f;
    f.split_pieces = 413;
    f.split_gap_ms = 0;
    return f;
}
HeadFaults trailing_faults() {
    HeadFaults f;
    f.trailing_bytes = 37;
    return f;
}

// Replies split over many reads, or followed by stray bytes, are each read whole, once.
TEST_P(FaultyHeadLink, RepliesInPiecesOrWithStrayBytesAreAllAccepted) {
    start();
    ASSERT_TRUE(wait_for_valid_pings(10));
    port().stop();
    EXPECT_EQ(hooks.invalid_pings, 0);
    EXPECT_EQ(hooks.notices_shown, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyHeadLink,
                         ::testing::Values(split_faults(), one_byte_pieces(), trailing_faults()));

TEST_F(HeadLink, SilenceShowsTheBlinkingNoticeAndResendsUntilRepliesResume) {
    app.settings.ComPort = 0;
    start();
    ASSERT_TRUE(wait_for_valid_pings(3));
    head().server().set_silent(true);
    const uint64_t before = head().server().commands_received();
    ASSERT_TRUE(wait_until([&] { return hooks.notices_shown >= 2 && hooks.notices_erased >= 1; }));
    EXPECT_EQ(hooks.notice_text(), "No Data at COM1");
    // One command per counted second while silent, and the indicator off at each. The
    // command goes out just after the notice is drawn: let it arrive.
    EXPECT_TRUE(wait_until([&] { return head().server().commands_received() >= before + 3; }));
    EXPECT_GE(hooks.invalid_pings, 3);
    EXPECT_GE(app.link.no_data_seconds, 3);

    const int valid = hooks.valid_pings;
    const int erased = hooks.notices_erased;
    head().server().set_silent(false);
    ASSERT_TRUE(wait_for_valid_pings(valid + 5));
    // The notice goes at the first complete reply, whatever its blink phase.
    EXPECT_GT(hooks.notices_erased, erased);
    EXPECT_LE(app.link.no_data_seconds, 2);
}

TEST_F(HeadLink, DiagnosticsRefreshWhileSilentOnlyWhenShown) {
    app.run.diagnostics_shown = true;
    start();
    ASSERT_TRUE(wait_for_valid_pings(2));
    head().server().set_silent(true);
    ASSERT_TRUE(wait_until([&] { return hooks.diagnostics_refreshes >= 2; }));
}

class GarblingHeadLink : public HeadLink {
    HeadServerOptions options() override {
        HeadServerOptions o = SimulatedHead::quick_options();
        o.faults.garbage_every = 3;
        o.faults.short_every = 7;
        return o;
    }
};

TEST_F(GarblingHeadLink, NoiseAndShortRepliesAreRejectedAndTheLinkGoesOn) {
    start();
    ASSERT_TRUE(wait_for_valid_pings(12, 20000));
    port().stop();
    // Noise is read and rejected; a short reply is never read and the no-data path recovers.
    EXPECT_GE(hooks.invalid_pings, 2);
}

TEST_F(HeadLink, HoldStopsCommandsAndCountingButNotTheClock) {
    start();
    ASSERT_TRUE(wait_for_valid_pings(2));
    app.run.hold = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a turn under way ends
    const uint64_t commands = head().server().commands_received();
    const int32_t counted = app.link.no_data_seconds;
    const int32_t second = app.link.clock_second;
    ASSERT_TRUE(wait_until([&] { return app.link.clock_second != second; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // six fast seconds
    EXPECT_EQ(head().server().commands_received(), commands);
    EXPECT_EQ(app.link.no_data_seconds, counted);
    EXPECT_EQ(hooks.notices_shown, 0);

    // Released, the no-data path sends the command again.
    app.run.hold = 0;
    const int valid = hooks.valid_pings;
    ASSERT_TRUE(wait_for_valid_pings(valid + 2));
}

TEST_F(HeadLink, StopStartCyclesLeakNoDescriptorAndNoThread) {
    // Settle what the first use of the machinery opens once for good.
    start();
    ASSERT_TRUE(wait_for_valid_pings(1));
    port().stop();
    const int descriptors = test::open_descriptor_count();
    const int threads = test::thread_count();
    for (int i = 0; i < 25; ++i) {
        start();
        if (i % 8 == 0) {
            const int valid = hooks.valid_pings;
            ASSERT_TRUE(wait_for_valid_pings(valid + 1));
        }
        port().stop();
        EXPECT_FALSE(port().thread_running());
        EXPECT_FALSE(port().is_open());
    }
    EXPECT_EQ(test::open_descriptor_count(), descriptors);
    EXPECT_EQ(test::thread_count(), threads);
}

TEST_F(HeadLink, ASecondStopNeverClosesTheDescriptorThatReusedThePortsNumber) {
    start();
    port().stop();
    // The next file opened gets the lowest free number: likely the one the port had.
    test::TempDir dir;
    const int record = ::open(dir.file("record.vkd").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(record, 0);
    port().stop();
    port().stop();
    EXPECT_NE(::fcntl(record, F_GETFD), -1);
    ::close(record);
}

TEST_F(HeadLink, FileModeLeavesThePortAlone) {
    start();
    ASSERT_TRUE(wait_for_valid_pings(2));
    app.settings.RunMode = RunMode::File;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a turn under way ends
    const uint64_t commands = head().server().commands_received();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(head().server().commands_received(), commands);
    EXPECT_EQ(hooks.notices_shown, 0);
}

// Every value of every setting reaches the head byte for byte, through a raw line that must
// not eat 0x11, 0x13, 0x0D or 0x0A (gain 17 and 19, delay 26 and 20).
TEST_F(HeadLink, CommandsArriveByteForByteForEverySetting) {
    PosixSerialPort line;
    ASSERT_TRUE(line.open(head().path()).ok());
    ASSERT_TRUE(line.set_line({}));
    head().server().set_silent(true);
    uint64_t sent = 0;
    auto send_and_check = [&](const char* what, int value) {
        ASSERT_TRUE(send_switch_command(app, &line, clock)) << what << " " << value;
        ++sent;
        ASSERT_TRUE(head().server().wait_for_commands(sent, 5000)) << what << " " << value;
        const SimCommand received = head().server().commands().back();
        SwitchCommandParams p;
        p.head_type = app.head.head_type;
        p.range_metres = kRangeMetres[static_cast<size_t>(app.settings.SSRange.load())];
        p.channel_code = channel_code_for_train(app.settings.SSTrain);
        p.gain = app.settings.SSGain;
        p.frequency = app.settings.Frequency;
        const BalanceFactors balance = compute_balance_factors(app.settings.ChannelBalance);
        p.balance_factor_minus = balance.minus;
        p.balance_factor_plus = balance.plus;
        p.ss_delay = app.settings.SSDelay;
        p.hold_command_flag = app.head.hold_command_flag;
        EXPECT_EQ(received, build_switch_command(p)) << what << " " << value;
    };
    auto apply = [&] {
        apply_range_readout_state(app);
        apply_channel_readout_state(app);
        app.run.entry_kind = 0;
        const BalanceFactors balance = compute_balance_factors(app.settings.ChannelBalance);
        app.head.balance_factor_minus = balance.minus;
        app.head.balance_factor_plus = balance.plus;
    };
    for (int32_t h_flag : {0, 1}) {
        app.head.head_type_h_flag = h_flag;
        for (int32_t range = 0; range <= 8; ++range) {
            app.settings.SSRange = range;
            apply();
            send_and_check("range", range);
        }
    }
    app.head.head_type_h_flag = 0;
    app.settings.SSRange = 4;
    for (int32_t gain = 0; gain <= 40; ++gain) {
        app.settings.SSGain = gain;
        apply();
        send_and_check("gain", gain);
    }
    for (int32_t train = 0; train <= 2; ++train) {
        app.settings.SSTrain = static_cast<ChannelSelection>(train);
        apply();
        send_and_check("channel", train);
    }
    for (int32_t balance = 0; balance <= 60; ++balance) {
        app.settings.ChannelBalance = balance;
        apply();
        send_and_check("balance", balance);
    }
    for (int32_t delay : {0, 1, 7, 20, 26, 34, 38, 250, 499, 500}) {
        app.settings.SSDelay = delay;
        apply();
        send_and_check("delay", delay);
    }
    for (int32_t frequency : {1, 0}) {
        app.settings.Frequency = static_cast<FrequencyBand>(frequency);
        apply();
        send_and_check("frequency", frequency);
    }
    app.head.hold_command_flag = 1;
    send_and_check("hold", 1);
    line.close();
}

// --- Without a simulated head --------------------------------------------------------------

// A line that refuses to open for lack of permission.
class RefusingPort final : public SerialPort {
  public:
    SerialOpenResult open(const std::string&) override {
        ++opens;
        return {SerialOpenStatus::PermissionDenied, EACCES};
    }
    void close() override {}
    bool is_open() const override { return false; }
    const std::string& path() const override { return path_; }
    bool set_line(const SerialLineSettings&) override { return false; }
    std::optional<size_t> bytes_waiting() override { return {}; }
    std::optional<size_t> read(std::span<uint8_t>) override { return {}; }
    std::optional<size_t> write(std::span<const uint8_t>) override { return {}; }
    bool drain() override { return false; }
    void flush(SerialQueue) override {}
    bool set_rts(bool) override { return false; }
    bool set_dtr(bool) override { return false; }
    bool take_line_error() override { return false; }
    SerialWait wait_readable(int64_t) override { return SerialWait::Failed; }
    void wake() override {}
    bool wait_woken(int64_t) override { return false; }
    int opens = 0;

  private:
    std::string path_;
};

TEST(HeadPortOpen, APermissionFailureIsReportedOncePerDeviceAndNoThreadStarts) {
    AppState app;
    CountingHooks hooks;
    FastClock clock;
    RecordingUi ui;
    enumerate_ports(head_link_context(app),
                    resolve_ports({{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB1"}}, {}, {}));
    auto refusing = std::make_unique<RefusingPort>();
    RefusingPort& line = *refusing;
    HeadPort port(head_link_context(app), hooks, clock, ui, std::move(refusing));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(port.open(0).status, SerialOpenStatus::PermissionDenied);
        EXPECT_FALSE(port.start());
        EXPECT_EQ(app.link.acquisition_running, 0);
        EXPECT_FALSE(port.thread_running());
        port.stop();
    }
    EXPECT_EQ(port.open(1).status, SerialOpenStatus::PermissionDenied);
    EXPECT_EQ(line.opens, 4);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[0].find("/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(ui.messages[0].find("dialout"), std::string::npos);
    EXPECT_NE(ui.messages[1].find("/dev/ttyUSB1"), std::string::npos);
}

TEST(HeadPortOpen, AComNumberWithoutADeviceFailsQuietly) {
    AppState app;
    CountingHooks hooks;
    FastClock clock;
    RecordingUi ui;
    enumerate_ports(head_link_context(app), PortTable{});
    HeadPort port(head_link_context(app), hooks, clock, ui);
    EXPECT_EQ(port.open(app.settings.ComPort).status, SerialOpenStatus::NotFound);
    EXPECT_FALSE(port.start());
    port.stop();
    port.stop();
    EXPECT_TRUE(ui.messages.empty());
}

// --- Time stamp and waiting ----------------------------------------------------------------

class FixedClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return seconds; }
    std::tm local_time(std::time_t) override {
        ++conversions;
        return tm;
    }
    uint64_t monotonic_ms() override { return 0; }
    void sleep_ms(int) override {}
    std::time_t seconds = 100;
    std::tm tm{};
    int conversions = 0;
};

TEST(StampPingTime, FormatsDateAndTimeOncePerSecond) {
    AppState app;
    FixedClock clock;
    clock.tm.tm_mday = 7;
    clock.tm.tm_mon = 11;
    clock.tm.tm_year = 2026 - 1900;
    clock.tm.tm_hour = 16;
    clock.tm.tm_min = 5;
    clock.tm.tm_sec = 9;
    stamp_ping_time(head_link_context(app), clock);
    EXPECT_STREQ(app.head.date_text.data(), "07-DEC-2026");
    EXPECT_STREQ(app.head.time_text.data(), "16:05:09");
    EXPECT_STREQ(app.head.date_time_text.data(), "07-DEC-2026  16:05:09");
    EXPECT_EQ(app.link.clock_second, 9);
    EXPECT_EQ(app.head.time_seconds, 9);

    // The same calendar second is neither converted nor formatted again, however often the
    // port is looked at within it.
    clock.tm.tm_sec = 10;
    for (int i = 0; i < 100; ++i) stamp_ping_time(head_link_context(app), clock);
    EXPECT_STREQ(app.head.time_text.data(), "16:05:09");
    EXPECT_EQ(app.link.clock_second, 9);
    EXPECT_EQ(clock.conversions, 1);

    clock.seconds = 101;
    clock.tm.tm_mon = 0;
    clock.tm.tm_year = 12345 - 1900;  // too long for the field: cut, still terminated
    stamp_ping_time(head_link_context(app), clock);
    EXPECT_STREQ(app.head.time_text.data(), "16:05:10");
    EXPECT_STREQ(app.head.date_text.data(), "07-JAN-12345");
    EXPECT_EQ(app.link.clock_second, 10);
    EXPECT_EQ(clock.conversions, 2);
}

TEST(RestOfReplyWait, IsTheLineTimeOfTheMissingBytesCappedAt50MsAndAtHalfAMsForTheLastPiece) {
    EXPECT_EQ(rest_of_reply_wait_us(413, 412), 87 + 200);
    EXPECT_EQ(rest_of_reply_wait_us(413, 410), 3 * 87 + 200);
    EXPECT_EQ(rest_of_reply_wait_us(413, 349), 500);  // 64 missing: one adapter packet
    EXPECT_EQ(rest_of_reply_wait_us(413, 348), 65 * 87 + 200);
    EXPECT_EQ(rest_of_reply_wait_us(413, 13), 400 * 87 + 200);
    EXPECT_EQ(rest_of_reply_wait_us(513, 1), 512 * 87 + 200);
    EXPECT_EQ(rest_of_reply_wait_us(922, 1), 50000);       // a reply length left by a played record
    EXPECT_EQ(rest_of_reply_wait_us(413, 500), 87 + 200);  // never zero
}

TEST(WaitBeforeLastPiece, IsTheLineTimeUntilNoMoreThanTheLastPieceIsMissing) {
    EXPECT_EQ(wait_before_last_piece_us(413, 349), 0);  // 64 missing: one adapter packet
    EXPECT_EQ(wait_before_last_piece_us(413, 400), 0);
    EXPECT_EQ(wait_before_last_piece_us(413, 348), 87);
    EXPECT_EQ(wait_before_last_piece_us(413, 13), (400 - 64) * 87);
    EXPECT_EQ(wait_before_last_piece_us(922, 1), 50000);
    EXPECT_EQ(wait_before_last_piece_us(413, 500), 0);
}

// A first-byte wait ends just after the clock's next second, so that a silent head's
// seconds are counted as they turn and an answering head never wakes the thread for nothing.
TEST(FirstByteWait, EndsJustAfterTheNextSecondOrEvery20MsWhenTheClockCannotTell) {
    class TurningClock final : public Clock {
      public:
        std::time_t calendar_seconds() override { return 0; }
        std::optional<int64_t> until_next_second_us() override { return until; }
        uint64_t monotonic_ms() override { return 0; }
        void sleep_ms(int) override {}
        std::optional<int64_t> until;
    } clock;
    const std::pair<std::optional<int64_t>, int64_t> cases[] = {
        {std::nullopt, 20000}, {250000, 251000}, {0, 1000}, {-5, 1000}, {5000000, 1001000}};
    for (const auto& [until, wait] : cases) {
        clock.until = until;
        EXPECT_EQ(first_byte_wait_us(clock), wait) << until.value_or(-1);
    }
}

TEST(FirstByteWait, TheSystemClockShowsItsNextSecondOnceTheWaitIsOver) {
    SystemClock clock;
    const std::time_t before = clock.calendar_seconds();
    const int64_t wait = first_byte_wait_us(clock);
    ASSERT_GT(wait, kSecondTurnMarginUs);
    ASSERT_LE(wait, 1'000'000 + kSecondTurnMarginUs);
    clock.sleep_until_us(clock.monotonic_us() + wait);
    EXPECT_GT(clock.calendar_seconds(), before);
}

}  // namespace
}  // namespace kelvanor
