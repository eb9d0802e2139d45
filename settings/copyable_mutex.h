#pragma once
// A mutex that lets the struct holding it be copied: the copy gets its own unlocked mutex.
// The shared state is plain structs that tests build and return by value; a lock never
// travels with the data it guards.

#include <mutex>

namespace kelvanor {

class CopyableMutex : public std::mutex {
  public:
    CopyableMutex() = default;
    CopyableMutex(const CopyableMutex&) noexcept : std::mutex() {}
    CopyableMutex& operator=(const CopyableMutex&) noexcept { return *this; }
};

}  // namespace kelvanor
