// Latency of the live loop: from the moment the last byte of a head reply is queued on the
// line to the moment its column is drawn into the waterfall image, through the real
// acquisition thread on a pseudo-terminal. The reply goes out in pieces at about the pace of
// 115200 baud, as the driver would hand it over: 12 bytes a millisecond (a UART's receive
// FIFO) or 62 bytes every 5.4 ms (a USB adapter's packets). Reports p50, p99 and the largest,
// in microseconds.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "control/app_state.h"
#include "headlink/acquisition.h"
#include "platform/clock.h"
#include "platform/posix_serial_port.h"
#include "sim/head_sim.h"

namespace kelvanor {
namespace {

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class TimingHooks final : public AcquisitionHooks {
  public:
    int draw_ping(const PingContext& app, const ColumnRequest& request) override {
        const int moved = PingHooks::draw_ping(app, request);
        drawn_ns.store(now_ns());
        return moved;
    }
    std::atomic<int64_t> drawn_ns{0};
};

template <size_t kPieceBytes>
void BM_ReplyLastByteToColumn(benchmark::State& state) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const std::string path = ::ttyname(slave);
    PosixSerialPort port;
    SerialLineSettings line;
    if (!port.open(path).ok() || !port.set_line(line)) {
        state.SkipWithError("the pseudo-terminal does not open");
        return;
    }
    ::fcntl(master, F_SETFL, O_NONBLOCK);

    SimHead head;
    const auto command = make_switch_command(15, 12, 3, 0, 'G');
    std::array<uint8_t, kSimMaxReplyLength> reply{};
    const size_t length = synthesize_reply(head, command, reply);

    // The state holds the image and its buffers: too big for a thread's stack.
    auto owned = std::make_unique<AppState>();
    AppState& app = *owned;
    app.settings.RunMode = RunMode::Head;
    app.settings.SSRange = 0;
    app.settings.SpeedCorrection = false;
    TimingHooks hooks;
    SystemClock clock;
    app.link.acquisition_running = 1;
    std::thread acquisition([&] {
        AcquisitionContext context{head_link_context(app), port, hooks, clock};
        run_acquisition(context);
    });
    auto drain_commands = [master] {
        uint8_t sink[512];
        while (::read(master, sink, sizeof sink) > 0) {
        }
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the start-up pause
    drain_commands();

    std::vector<double> latencies_us;
    const size_t piece = kPieceBytes;
    const auto piece_time = std::chrono::microseconds(piece * 87);  // line time at 115200
    for (auto _ : state) {
        int64_t last_byte_ns = 0;
        for (size_t at = 0; at < length; at += piece) {
            const size_t n = std::min(piece, length - at);
            if (::write(master, reply.data() + at, n) != static_cast<ssize_t>(n)) break;
            last_byte_ns = now_ns();
            if (at + n < length) std::this_thread::sleep_for(piece_time);
        }
        int64_t drawn = 0;
        for (int i = 0; i < 2000 && (drawn = hooks.drawn_ns.load()) < last_byte_ns; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        if (drawn >= last_byte_ns)
            latencies_us.push_back(static_cast<double>(drawn - last_byte_ns) / 1000.0);
        state.SetIterationTime(static_cast<double>(std::max<int64_t>(drawn - last_byte_ns, 0)) *
                               1e-9);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        drain_commands();
    }
    app.link.acquisition_running = 0;
    port.wake();
    acquisition.join();
    port.close();
    ::close(master);
    ::close(slave);

    if (latencies_us.empty()) {
        state.SkipWithError("no column was drawn");
        return;
    }
    std::sort(latencies_us.begin(), latencies_us.end());
    auto at = [&](double q) {
        return latencies_us[std::min(
            latencies_us.size() - 1,
            static_cast<size_t>(q * static_cast<double>(latencies_us.size())))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = latencies_us.back();
    state.counters["replies"] = static_cast<double>(latencies_us.size());
}
BENCHMARK_TEMPLATE(BM_ReplyLastByteToColumn, 12)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ReplyLastByteToColumn, 62)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvanor
