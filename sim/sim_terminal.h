#pragma once
// The raw pseudo-terminal a simulator serves: the program opens device_path as its serial
// port. The simulator holds the terminal's other end open itself, so that the terminal lives
// on while the program has it closed, and makes it raw before the program first opens it (a
// fresh terminal would echo and translate the bytes). A pipe wakes the serving thread.

#include <string>

namespace kelvanor {

class SimTerminal {
  public:
    SimTerminal() = default;
    ~SimTerminal();
    SimTerminal(const SimTerminal&) = delete;
    SimTerminal& operator=(const SimTerminal&) = delete;

    // Opens the terminal (master side non-blocking) and the wake pipe. False, with the
    // failing call and its reason in `error`, when the system refuses.
    bool open(std::string* error);
    // Wakes a thread waiting on wake_read_fd; safe from any thread.
    void wake();

    int master_fd = -1;
    int slave_hold_fd = -1;
    int wake_read_fd = -1;
    int wake_write_fd = -1;
    std::string device_path;
};

}  // namespace kelvanor
