#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace morva {

// Overwrites memory with zeros in a way the compiler may not drop.
void wipe(void* data, std::size_t size) noexcept;

// An allocator that zeroes every block before giving it back to `Upstream`, so a container that
// grows, shrinks or is destroyed (also while an exception unwinds) leaves no copy of its bytes behind.
template <typename T, typename Upstream = std::allocator<T>>
struct WipingAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = WipingAllocator<U, typename std::allocator_traits<Upstream>::template rebind_alloc<U>>;
  };

  WipingAllocator() noexcept = default;
  template <typename U, typename V>
  WipingAllocator(const WipingAllocator<U, V>&) noexcept {}

  T* allocate(std::size_t count) { return Upstream{}.allocate(count); }
  void deallocate(T* pointer, std::size_t count) noexcept {
    wipe(pointer, count * sizeof(T));
    Upstream{}.deallocate(pointer, count);
  }

  template <typename U, typename V>
  bool operator==(const WipingAllocator<U, V>&) const noexcept {
    return true;
  }
};

using WipedBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// Bytes of a password, a password substitute, a key or a token. Move-only; zeroed on release.
class Secret {
 public:
  Secret() = default;
  explicit Secret(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}
  explicit Secret(std::string_view text) : bytes_(text.begin(), text.end()) {}
  explicit Secret(std::size_t size) : bytes_(size) {}

  Secret(Secret&&) noexcept = default;
  Secret& operator=(Secret&& other) noexcept {
    if (this != &other) {
      clear();
      bytes_ = std::move(other.bytes_);
      other.clear();
    }
    return *this;
  }
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret() = default;

  Secret clone() const { return Secret(std::span<const std::uint8_t>(bytes_)); }

  std::span<const std::uint8_t> bytes() const noexcept { return bytes_; }
  std::span<std::uint8_t> bytes() noexcept { return bytes_; }
  std::string_view text() const noexcept {
    return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
  }
  std::size_t size() const noexcept { return bytes_.size(); }
  bool empty() const noexcept { return bytes_.empty(); }

  void append(std::span<const std::uint8_t> more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  void push_back(std::uint8_t byte) { bytes_.push_back(byte); }
  void clear() noexcept {
    wipe(bytes_.data(), bytes_.size());
    bytes_.clear();
  }

 private:
  WipedBytes bytes_;
};

}  // namespace morva
