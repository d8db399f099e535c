#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace varlin::filesystem {

// What the open handles of one object share, found by the object's one key (object_key) while a
// handle holds it. Its lock is taken before no other.
template <typename State>
class SharedStates {
 public:
  using Moved = std::vector<std::pair<std::string, std::shared_ptr<State>>>;

  // The state held under the key, or a new one.
  std::shared_ptr<State> find_or_add(const std::string& key) {
    std::lock_guard lock(mutex_);
    std::erase_if(states_, [](const auto& known) { return known.second.expired(); });
    auto& known = states_[key];
    auto state = known.lock();
    if (!state) {
      state = std::make_shared<State>();
      known = state;
    }
    return state;
  }

  // The state is found no more: the next find of its key makes a new one.
  void forget(const std::shared_ptr<State>& state) {
    std::lock_guard lock(mutex_);
    std::erase_if(states_, [&state](const auto& known) { return known.second.lock() == state; });
  }

  // Every state a handle holds.
  std::vector<std::shared_ptr<State>> live() {
    std::vector<std::shared_ptr<State>> held;
    std::lock_guard lock(mutex_);
    for (const auto& known : states_)
      if (auto state = known.second.lock()) held.push_back(std::move(state));
    return held;
  }

  // After a rename, the moved states are found under their new keys; a state forgotten before stays
  // forgotten.
  void rekey(Moved moved) {
    std::lock_guard lock(mutex_);
    std::erase_if(moved, [this](const auto& found) {
      return std::ranges::none_of(
          states_, [&found](const auto& known) { return known.second.lock() == found.second; });
    });
    if (moved.empty()) return;
    std::erase_if(states_, [&moved](const auto& known) {
      const auto state = known.second.lock();
      return !state ||
             std::ranges::any_of(moved, [&state](const auto& found) { return found.second == state; });
    });
    for (auto& [key, state] : moved) states_[std::move(key)] = std::move(state);
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::weak_ptr<State>, std::less<>> states_;
};

}  // namespace varlin::filesystem
