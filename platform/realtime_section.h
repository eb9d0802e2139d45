#pragma once
// A stretch of code run at a real-time priority (SCHED_FIFO): the calling thread alone is
// raised while the object lives and put back afterwards. The process's own priority is never
// touched: an ordinary user could not raise it again. Where the system refuses, the thread
// goes on at its own priority, quietly.
//
// Sections nest: one taken while an outer one holds the thread raised costs nothing, and the
// thread goes back only when the outermost ends. A thread that runs at this priority must
// wait in the kernel (poll, sleeps) rather than spin: it takes the processor from every
// ordinary thread while it runs. A thread started from inside a section inherits the
// priority: start none there.

#include <sched.h>

namespace kelvanor {

class RealtimeSection {
  public:
    RealtimeSection();
    ~RealtimeSection();
    RealtimeSection(const RealtimeSection&) = delete;
    RealtimeSection& operator=(const RealtimeSection&) = delete;

    // True while the calling thread runs at the raised priority (through this section or an
    // outer one).
    static bool thread_raised();

  private:
    int saved_policy_ = SCHED_OTHER;
    sched_param saved_param_{};
    bool raised_ = false;  // this section raised the thread and puts it back
};

}  // namespace kelvanor
