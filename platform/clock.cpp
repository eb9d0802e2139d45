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

uint64_t SystemClock::monotonic_ms() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleep_ms(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kelvanor
