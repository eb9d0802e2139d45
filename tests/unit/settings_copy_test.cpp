// The settings that must agree, seen from another thread: the frequency rule and the range
// button change SSRange and its limit together under the settings lock, so that a copy taken
// on the acquisition thread never pairs a range with a limit it exceeds.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "settings/settings.h"

namespace kelvanor {
namespace {

TEST(SettingsCopy, ACopyNeverHoldsARangeAboveItsLimit) {
    Settings settings;
    settings.RunMode = RunMode::Head;
    std::atomic<bool> done{false};
    int bad = 0;
    std::thread reader([&] {
        while (!done) {
            const Settings copy = consistent_copy(settings);
            if (copy.SSRange < 0 || copy.SSRange > copy.max_range_index) ++bad;
        }
    });
    for (int i = 0; i < 20000; ++i) {
        settings.Frequency = i % 2 == 0 ? FrequencyBand::Low : FrequencyBand::High;
        apply_frequency_range_limit(settings);
        // The range button at low frequency: up to the limit.
        std::lock_guard held(settings.lock);
        while (settings.SSRange < settings.max_range_index) ++settings.SSRange;
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad, 0);
    const Settings copy = consistent_copy(settings);
    EXPECT_EQ(copy.max_range_index, kMaxRangeIndexHigh);
    EXPECT_EQ(copy.SSRange, kMaxRangeIndexHigh);
}

}  // namespace
}  // namespace kelvanor
