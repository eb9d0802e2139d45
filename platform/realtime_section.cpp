#include "platform/realtime_section.h"

#include <pthread.h>

namespace kelvanor {

namespace {

// Set while a section holds this thread raised: a nested section then asks nothing of the
// system (each ask is two system calls).
thread_local bool raised_on_this_thread = false;

}  // namespace

RealtimeSection::RealtimeSection() {
    if (raised_on_this_thread) return;
    const pthread_t self = pthread_self();
    if (pthread_getschedparam(self, &saved_policy_, &saved_param_) != 0) return;
    sched_param wanted{};
    // Fixed for the system's life: asked once, not at every command.
    static const int lowest = sched_get_priority_min(SCHED_FIFO);
    static const int highest = sched_get_priority_max(SCHED_FIFO);
    if (lowest < 0 || highest < lowest) return;
    wanted.sched_priority = lowest + (highest - lowest) / 4;
    raised_ = pthread_setschedparam(self, SCHED_FIFO, &wanted) == 0;
    raised_on_this_thread = raised_;
}

RealtimeSection::~RealtimeSection() {
    if (!raised_) return;
    pthread_setschedparam(pthread_self(), saved_policy_, &saved_param_);
    raised_on_this_thread = false;
}

bool RealtimeSection::thread_raised() {
    return raised_on_this_thread;
}

}  // namespace kelvanor
