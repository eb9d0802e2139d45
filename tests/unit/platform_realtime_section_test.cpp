// A real-time section raises the calling thread alone and puts it back as it was; sections
// nest without lowering the thread while an outer one lasts. Where the system refuses (an
// ordinary user without the right), the thread stays as it was.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <future>
#include <optional>
#include <thread>

#include "platform/realtime_section.h"

namespace kelvanor {
namespace {

int policy_of_this_thread() {
    int policy = -1;
    sched_param param{};
    EXPECT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);
    return policy;
}

TEST(RealtimeSection, RaisesNestsAndPutsTheThreadBack) {
    // On a thread of its own, so that the test runner's thread is never touched.
    std::thread([] {
        const int before = policy_of_this_thread();
        EXPECT_FALSE(RealtimeSection::thread_raised());
        {
            RealtimeSection outer;
            const bool raised = RealtimeSection::thread_raised();
            EXPECT_EQ(policy_of_this_thread(), raised ? SCHED_FIFO : before);
            {
                RealtimeSection inner;
                EXPECT_EQ(RealtimeSection::thread_raised(), raised);
            }
            // The inner section's end does not lower the thread while the outer one lasts.
            EXPECT_EQ(RealtimeSection::thread_raised(), raised);
            EXPECT_EQ(policy_of_this_thread(), raised ? SCHED_FIFO : before);
        }
        EXPECT_FALSE(RealtimeSection::thread_raised());
        EXPECT_EQ(policy_of_this_thread(), before);

        // An inner section alone raises and puts back as well.
        std::optional<RealtimeSection> again;
        again.emplace();
        again.reset();
        EXPECT_EQ(policy_of_this_thread(), before);
    }).join();
}

TEST(RealtimeSection, OnlyTheCallingThreadIsRaised) {
    std::promise<void> raised;
    std::promise<void> looked;
    std::thread other([&] {
        raised.get_future().wait();
        EXPECT_FALSE(RealtimeSection::thread_raised());
        EXPECT_NE(policy_of_this_thread(), SCHED_FIFO);
        looked.set_value();
    });
    std::thread([&] {
        RealtimeSection section;
        raised.set_value();
        looked.get_future().wait();
    }).join();
    other.join();
}

}  // namespace
}  // namespace kelvanor
