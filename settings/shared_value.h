#pragma once
// A value that one thread writes and another reads. It behaves like the plain field it
// replaces (assign, read, compare, copy a whole struct of them), but every access is atomic,
// so a reader on another thread sees either the old or the new value, never a torn one.

#include <atomic>
#include <type_traits>

namespace kelvanor {

template <class T>
class Shared {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    constexpr Shared() noexcept : value_(T{}) {}
    constexpr Shared(T value) noexcept : value_(value) {}  // NOLINT: implicit by design
    Shared(const Shared& other) noexcept : value_(other.load()) {}
    Shared& operator=(const Shared& other) noexcept {
        store(other.load());
        return *this;
    }
    Shared& operator=(T value) noexcept {
        store(value);
        return *this;
    }

    operator T() const noexcept { return load(); }  // NOLINT: implicit by design
    T load() const noexcept { return value_.load(); }
    void store(T value) noexcept { value_.store(value); }
    T exchange(T value) noexcept { return value_.exchange(value); }

    T operator++() noexcept requires std::is_integral_v<T> { return ++value_; }
    T operator--() noexcept requires std::is_integral_v<T> { return --value_; }
    T operator++(int) noexcept requires std::is_integral_v<T> { return value_++; }
    T operator--(int) noexcept requires std::is_integral_v<T> { return value_--; }
    Shared& operator+=(T delta) noexcept {
        store(load() + delta);
        return *this;
    }
    Shared& operator-=(T delta) noexcept {
        store(load() - delta);
        return *this;
    }

  private:
    std::atomic<T> value_;
};

}  // namespace kelvanor
