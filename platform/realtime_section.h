#pragma once
// A stretch of code run at a real-time priority: the calling thread alone is raised while the
// object lives and put back afterwards. The process's own priority is never touched: an
// ordinary user could not raise it again. Where the system refuses, the thread goes on at its
// own priority.

#include <sched.h>

namespace kelvanor {

class RealtimeSection {
  public:
    RealtimeSection();
    ~RealtimeSection();
    RealtimeSection(const RealtimeSection&) = delete;
    RealtimeSection& operator=(const RealtimeSection&) = delete;

  private:
    int saved_policy_ = SCHED_OTHER;
    sched_param saved_param_{};
    bool raised_ = false;
};

}  // namespace kelvanor
