#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace kelvanor {

std::tm Clock::local_time(std::time_t seconds) {
    std::tm out{};
    localtime_r(&seconds, &out);
    return out;
}

std::time_t SystemClock::calendar_seconds() { return std::time(nullptr); }

uint64_t SystemClock::monotonic_ms() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleep_ms(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kelvanor
