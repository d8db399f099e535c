#pragma once

#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace tarvik {

// A value behind a mutex that is poisoned for good once a holder has left by an exception, so that
// nobody goes on with a value that may be half changed.
template <typename T>
class Poisonable {
 public:
  class Guard {
   public:
    explicit Guard(Poisonable& owner) : lock_(owner.mutex_), owner_(&owner) {}
    Guard(Guard&& other) noexcept
        : lock_(std::move(other.lock_)),
          owner_(std::exchange(other.owner_, nullptr)),
          exceptions_(other.exceptions_) {}
    Guard& operator=(Guard&&) = delete;
    ~Guard() {
      if (owner_ && std::uncaught_exceptions() > exceptions_) owner_->poisoned_ = true;
    }

    T& operator*() const { return owner_->value_; }
    T* operator->() const { return &owner_->value_; }

   private:
    std::unique_lock<std::mutex> lock_;
    Poisonable* owner_;
    int exceptions_ = std::uncaught_exceptions();
  };

  Poisonable() = default;
  Poisonable(const Poisonable&) = delete;
  Poisonable& operator=(const Poisonable&) = delete;

  // The value, locked; nothing once poisoned.
  std::optional<Guard> lock() {
    Guard guard(*this);
    if (poisoned_) return std::nullopt;
    return std::optional<Guard>(std::move(guard));
  }

 private:
  std::mutex mutex_;
  bool poisoned_ = false;
  T value_{};
};

}  // namespace tarvik
