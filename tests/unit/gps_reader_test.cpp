// The GPS reader: one pass over a fake port (reads, drops in FILE mode and under Hold,
// purges after a line) and the thread's life (line speed, start failures, stop that joins
// before it closes, a second stop). Run under ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "control/app_state.h"
#include "gps/gps_reader.h"

namespace kelvanor {
namespace {

// A receiver on the other end of a line: bytes pushed by the test are what the port has
// queued. Counts every use of the port after it was closed.
class FakeGpsPort final : public SerialPort {
  public:
    SerialOpenResult open(const std::string& path) override {
        std::lock_guard lock(mutex_);
        if (refuse_open) return {SerialOpenStatus::NotFound, 2};
        open_ = true;
        path_ = path;
        return {SerialOpenStatus::Ok, 0};
    }
    void close() override {
        std::lock_guard lock(mutex_);
        if (open_) ++closes;
        open_ = false;
        path_.clear();
    }
    bool is_open() const override {
        std::lock_guard lock(mutex_);
        return open_;
    }
    const std::string& path() const override { return path_; }
    bool set_line(const SerialLineSettings& settings) override {
        std::lock_guard lock(mutex_);
        baud = settings.baud;
        return !refuse_line;
    }
    std::optional<size_t> bytes_waiting() override {
        std::lock_guard lock(mutex_);
        note_use();
        return queued_.size();
    }
    std::optional<size_t> read(std::span<uint8_t> buffer) override {
        std::lock_guard lock(mutex_);
        note_use();
        if (reads == 0) first_read_request = buffer.size();
        size_t n = 0;
        while (n < buffer.size() && !queued_.empty()) {
            buffer[n++] = queued_.front();
            queued_.pop_front();
        }
        ++reads;
        return n;
    }
    std::optional<size_t> write(std::span<const uint8_t>) override {
        std::lock_guard lock(mutex_);
        ++writes;
        return std::nullopt;
    }
    bool drain() override { return true; }
    void flush(SerialQueue which) override {
        std::lock_guard lock(mutex_);
        if (which != SerialQueue::Output) queued_.clear();
        ++flushes;
    }
    bool set_rts(bool) override { return false; }
    bool set_dtr(bool on) override {
        std::lock_guard lock(mutex_);
        dtr = on;
        return true;
    }
    bool take_line_error() override { return false; }
    SerialWait wait_readable(int64_t) override { return SerialWait::Failed; }
    void wake() override {
        std::lock_guard lock(mutex_);
        woken_ = true;
        wake_cv_.notify_all();
    }
    bool wait_woken(int64_t timeout_us) override {
        std::unique_lock lock(mutex_);
        note_use();
        ++waits;
        const bool woken =
            wake_cv_.wait_for(lock, std::chrono::microseconds(timeout_us), [&] { return woken_; });
        woken_ = false;
        return woken;
    }

    void push(const std::string& bytes) {
        std::lock_guard lock(mutex_);
        queued_.insert(queued_.end(), bytes.begin(), bytes.end());
    }
    size_t queued() const {
        std::lock_guard lock(mutex_);
        return queued_.size();
    }
    template <class T>
    T get(const T& field) const {
        std::lock_guard lock(mutex_);
        return field;
    }

    bool refuse_open = false;
    bool refuse_line = false;
    int baud = 0;
    bool dtr = false;
    int closes = 0;
    int reads = 0;
    int writes = 0;
    int flushes = 0;
    int waits = 0;
    int uses_after_close = 0;
    size_t first_read_request = 0;

  private:
    void note_use() {
        if (!open_) ++uses_after_close;
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_cv_;
    bool woken_ = false;
    bool open_ = false;
    std::string path_;
    std::deque<uint8_t> queued_;
};

const std::string kGll = "$GPGLL,3752.304,S,14458.617,E,123519,A*2C\r\n";
const std::string kGll2 = "$GPGLL,3852.111,N,14558.222,W,123520,A*2C\r\n";

std::unique_ptr<AppState> make_app() {
    auto app = std::make_unique<AppState>();
    app->settings.RunMode = RunMode::Head;
    app->settings.GPSHeadingType = kGpsPositionFromGll;
    return app;
}

std::string position_of(const AppState& app) {
    std::lock_guard lock(app.head.position_text_lock);
    return std::string(app.head.position_text.begin(), app.head.position_text.end());
}

TEST(GpsReaderPass, ReadsOneChunkAndPurgesWhatArrivedAfterIt) {
    auto app = make_app();
    FakeGpsPort port;
    port.open("/dev/gps");
    // Two sentences in the first 128 bytes, then more that is still waiting in the driver.
    std::string more(200, 'z');
    port.push(kGll + kGll2 + more);
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(app->gps.sentences_dispatched, 2);
    EXPECT_EQ(position_of(*app), " 38.52.111 N145.58.222 W");
    EXPECT_EQ(port.queued(), 0u);
}

// A network source delivers a second's sentences at once: all of them are read, through the
// same assembler, whatever their number; FILE mode and Hold drop them all.
TEST(GpsReaderPass, StreamInputReadsEverySentenceQueuedOrDropsThemAll) {
    struct Case {
        int32_t run_mode;
        int32_t hold;
        int dispatched;
        const char* position;
    };
    const std::string gpsd_reply =
        "{\"class\":\"VERSION\",\"release\":\"3.22\"," + std::string(100, ' ') + "}\r\n";
    const Case cases[] = {
        {0, 0, 6, " 38.52.111 N145.58.222 W"},
        {1, 0, 0, ""},
        {0, 1, 0, ""},
    };
    for (const Case& c : cases) {
        auto app = make_app();
        app->settings.RunMode = static_cast<RunMode>(c.run_mode);
        app->run.hold = c.hold;
        FakeGpsPort port;
        port.open("gpsd://localhost");
        // gpsd's JSON greeting (no sentence), then six sentences in one burst, the last one
        // the newest, more than one serial chunk holds.
        port.push(gpsd_reply + kGll + kGll + kGll + kGll + kGll + kGll2);
        gps_reader_pass(gps_context(*app), port, {}, GpsInput::Stream);
        EXPECT_EQ(app->gps.sentences_dispatched, c.dispatched) << c.run_mode << c.hold;
        if (c.dispatched > 0) {
            EXPECT_EQ(position_of(*app), c.position);
        }
        EXPECT_EQ(port.queued(), 0u);
        EXPECT_EQ(app->gps.line.length, 0);
    }
}

TEST(GpsReaderPass, ReadsAtMostOneChunk) {
    auto app = make_app();
    FakeGpsPort port;
    port.open("/dev/gps");
    port.push(std::string(300, 'x'));
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(port.first_read_request, kGpsChunkSize);
    EXPECT_EQ(port.reads, 2);            // the chunk, then the rest thrown away
    EXPECT_EQ(app->gps.line.length, 0);  // 128 characters without a line feed are dropped
}

TEST(GpsReaderPass, LineWhoseContinuationWasThrownAwayIsNotCompletedLater) {
    // The chunk ends inside a sentence whose rest is still queued; the rest is thrown away
    // after the chunk's complete sentences. Bytes of a later sentence must not finish it
    // into a plausible position.
    auto app = make_app();
    FakeGpsPort port;
    port.open("/dev/gps");
    const std::string partial = "$GPGLL,3952.1";
    const size_t need = kGpsChunkSize - kGll.size() - kGll2.size() - partial.size();
    ASSERT_GE(need, 9u);
    const std::string filler = "$GPZDA," + std::string(need - 9, '1') + "\r\n";
    port.push(kGll + kGll2 + filler + partial + "23,S,15458.617,E,1,A\r\n");
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(port.queued(), 0u);
    port.push("1,N,14558.222,W,123520,A*2C\r\n");
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(app->gps.sentences_dispatched, 3);
    EXPECT_EQ(position_of(*app), " 38.52.111 N145.58.222 W");
}

TEST(GpsReaderPass, LineContinuesWhenNothingWasThrownAway) {
    auto app = make_app();
    FakeGpsPort port;
    port.open("/dev/gps");
    port.push(kGll + kGll2.substr(0, 20));
    gps_reader_pass(gps_context(*app), port, {});
    port.push(kGll2.substr(20));
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(app->gps.sentences_dispatched, 2);
    EXPECT_EQ(position_of(*app), " 38.52.111 N145.58.222 W");
}

TEST(GpsReaderPass, NothingQueuedMeansNoRead) {
    auto app = make_app();
    FakeGpsPort port;
    port.open("/dev/gps");
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(port.reads, 0);
}

TEST(GpsReaderPass, FileModeAndHoldReadAndThrowAway) {
    for (int file_mode = 0; file_mode <= 1; ++file_mode) {
        auto app = make_app();
        FakeGpsPort port;
        port.open("/dev/gps");
        // A sentence begun before Hold or FILE mode is not finished after it.
        app->settings.RunMode = RunMode::Head;
        app->run.hold = 0;
        port.push(kGll.substr(0, 10));
        gps_reader_pass(gps_context(*app), port, {});
        app->settings.RunMode = file_mode != 0 ? RunMode::File : RunMode::Head;
        app->run.hold = file_mode == 0 ? 1 : 0;
        port.push(kGll.substr(10, 10));
        gps_reader_pass(gps_context(*app), port, {});
        EXPECT_EQ(port.queued(), 0u);
        // Released: the rest of the sentence read before the release is no sentence.
        app->settings.RunMode = RunMode::Head;
        app->run.hold = 0;
        port.push(kGll.substr(20));
        gps_reader_pass(gps_context(*app), port, {});
        EXPECT_EQ(app->gps.sentences_dispatched, 0);
        port.push(kGll);
        gps_reader_pass(gps_context(*app), port, {});
        EXPECT_EQ(app->gps.sentences_dispatched, 1);
    }
}

TEST(GpsReaderPass, SentenceSplitOverTwoPassesIsAssembled) {
    auto app = make_app();
    FakeGpsPort port;
    port.open("/dev/gps");
    port.push(kGll.substr(0, 25));
    gps_reader_pass(gps_context(*app), port, {});
    port.push(kGll.substr(25));
    gps_reader_pass(gps_context(*app), port, {});
    EXPECT_EQ(position_of(*app), " 37.52.304 S144.58.617 E");
}

TEST(GpsReader, LineSpeedFollowsTheBaudSetting) {
    const std::pair<int32_t, int> cases[] = {{0, 4800}, {1, 9600}, {2, 4800}, {-1, 4800}};
    for (auto [setting, baud] : cases) {
        auto app = make_app();
        app->settings.GPSBaudRate = static_cast<GpsBaud>(setting);
        auto port = std::make_unique<FakeGpsPort>();
        FakeGpsPort& fake = *port;
        GpsReader reader(gps_context(*app), std::move(port));
        ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
        ASSERT_TRUE(reader.start_gps_reader());
        EXPECT_EQ(fake.get(fake.baud), baud) << setting;
        reader.stop_gps();
    }
}

TEST(GpsReader, NoThreadWithoutAnOpenPortOrAnAcceptedLine) {
    auto app = make_app();
    auto port = std::make_unique<FakeGpsPort>();
    FakeGpsPort& fake = *port;
    GpsReader reader(gps_context(*app), std::move(port));
    EXPECT_FALSE(reader.start_gps_reader());  // never opened

    fake.refuse_open = true;
    EXPECT_FALSE(reader.open_gps_port("/dev/gps").ok());
    EXPECT_FALSE(reader.start_gps_reader());

    fake.refuse_open = false;
    fake.refuse_line = true;
    ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
    EXPECT_FALSE(reader.start_gps_reader());
    EXPECT_FALSE(reader.is_running());
    EXPECT_EQ(app->gps.gps_running, 0);
    reader.stop_gps();
    EXPECT_EQ(fake.get(fake.closes), 1);
}

TEST(GpsReader, ThreadDispatchesSentencesAndStopJoinsBeforeClosing) {
    auto app = make_app();
    auto port = std::make_unique<FakeGpsPort>();
    FakeGpsPort& fake = *port;
    std::mutex shown_mutex;
    std::condition_variable shown_cv;
    int positions_shown = 0;
    GpsReadoutHooks hooks;
    hooks.draw_position = [&] {
        std::lock_guard lock(shown_mutex);
        ++positions_shown;
        shown_cv.notify_all();
    };
    GpsReader reader(gps_context(*app), std::move(port), hooks);
    ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
    ASSERT_TRUE(reader.start_gps_reader());
    EXPECT_TRUE(reader.is_running());
    EXPECT_TRUE(fake.get(fake.dtr));

    fake.push(kGll);
    {
        std::unique_lock lock(shown_mutex);
        ASSERT_TRUE(shown_cv.wait_for(lock, std::chrono::seconds(10),
                                      [&] { return positions_shown == 1; }));
    }
    EXPECT_EQ(position_of(*app), " 37.52.304 S144.58.617 E");

    reader.stop_gps();
    EXPECT_FALSE(reader.is_running());
    EXPECT_EQ(app->gps.gps_running, 0);
    EXPECT_EQ(fake.get(fake.closes), 1);
    EXPECT_FALSE(fake.get(fake.dtr));
    EXPECT_EQ(fake.get(fake.uses_after_close), 0);
    EXPECT_EQ(fake.get(fake.writes), 0);  // the receiver is never written to

    // A second stop (a run-mode switch after the dialog stopped the GPS) does nothing.
    reader.stop_gps();
    EXPECT_EQ(fake.get(fake.closes), 1);
}

TEST(GpsReader, PassesWaitRatherThanSpin) {
    auto app = make_app();
    auto port = std::make_unique<FakeGpsPort>();
    FakeGpsPort& fake = *port;
    GpsReader reader(gps_context(*app), std::move(port));
    ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
    ASSERT_TRUE(reader.start_gps_reader());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    reader.stop_gps();
    // About three passes in 250 ms; a spinning loop would have made thousands.
    EXPECT_LE(fake.get(fake.waits), 20);
}

TEST(GpsReader, RestartAfterStopAndStopOnDestruction) {
    auto app = make_app();
    auto port = std::make_unique<FakeGpsPort>();
    FakeGpsPort* fake = port.get();
    {
        GpsReader reader(gps_context(*app), std::move(port));
        for (int round = 0; round < 3; ++round) {
            ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
            ASSERT_TRUE(reader.start_gps_reader());
            EXPECT_TRUE(reader.start_gps_reader());  // already running: no second thread
            reader.stop_gps();
        }
        ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
        ASSERT_TRUE(reader.start_gps_reader());
        // Opening again while running stops the running reader first.
        ASSERT_TRUE(reader.open_gps_port("/dev/gps").ok());
        EXPECT_FALSE(reader.is_running());
        ASSERT_TRUE(reader.start_gps_reader());
        EXPECT_EQ(fake->get(fake->closes), 4);
        EXPECT_EQ(fake->get(fake->uses_after_close), 0);
    }
    EXPECT_EQ(app->gps.gps_running, 0);
}

}  // namespace
}  // namespace kelvanor
