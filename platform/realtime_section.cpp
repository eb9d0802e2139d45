#include "headlink/realtime_section.h"

#include <pthread.h>

namespace kelvanor {

RealtimeSection::RealtimeSection() {
    const pthread_t self = pthread_self();
    if (pthread_getschedparam(self, &saved_policy_, &saved_param_) != 0) return;
    sched_param wanted{};
    // Fixed for the system's life: asked once, not at every command.
    static const int lowest = sched_get_priority_min(SCHED_FIFO);
    static const int highest = sched_get_priority_max(SCHED_FIFO);
    if (lowest < 0 || highest < lowest) return;
    wanted.sched_priority = lowest + (highest - lowest) / 4;
    raised_ = pthread_setschedparam(self, SCHED_FIFO, &wanted) == 0;
}

RealtimeSection::~RealtimeSection() {
    if (raised_) pthread_setschedparam(pthread_self(), saved_policy_, &saved_param_);
}

}  // namespace kelvanor
