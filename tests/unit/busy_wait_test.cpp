#include <gtest/gtest.h>

#include "headlink/busy_wait.h"

namespace kelvanor {
namespace {

// Each read of the calendar time advances a counter; the seconds value changes every
// `reads_per_second` reads, starting part-way through a second.
class SteppingClock : public Clock {
  public:
    explicit SteppingClock(int reads_per_second, int offset)
        : reads_per_second_(reads_per_second), reads_(offset) {}
    std::time_t calendar_seconds() override { return 1000 + reads_++ / reads_per_second_; }
    uint64_t monotonic_ms() override { return 0; }
    void sleep_ms(int) override {}

  private:
    int reads_per_second_;
    int reads_;
};

TEST(CalibrateDelay, CountsTheReadsOfOneWholeSecond) {
    SteppingClock clock(5000, 1234);
    // The read that first shows the new second starts the count; the count ends at the
    // read that shows the next one.
    EXPECT_EQ(calibrate_delay(clock), 4999);
}

}  // namespace
}  // namespace kelvanor
