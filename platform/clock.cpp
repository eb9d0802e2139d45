#include "platform/clock.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace kelvanor {

std::tm Clock::local_time(std::time_t seconds) {
    std::tm out{};
    localtime_r(&seconds, &out);
    return out;
}

int64_t Clock::monotonic_us() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

void Clock::sleep_until_us(int64_t deadline_us) {
    if (deadline_us <= 0) return;
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadline_us / 1'000'000);
    deadline.tv_nsec = static_cast<long>((deadline_us % 1'000'000) * 1000);
    // A signal handler ends the sleep early; the deadline stays the same on the next try.
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

std::time_t SystemClock::calendar_seconds() {
    return std::time(nullptr);
}

std::optional<int64_t> SystemClock::until_next_second_us() {
    // time() reads the coarse clock, whose second turns at the first tick after the precise
    // one's: the coarse clock tells when time() will show the next second. Read just before
    // the turn, it answers a short wait and the next look sees the turn.
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) return std::nullopt;
    return (1'000'000'000 - now.tv_nsec + 999) / 1000;
}

uint64_t SystemClock::monotonic_ms() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleep_ms(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kelvanor
