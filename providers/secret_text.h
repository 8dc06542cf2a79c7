#pragma once
// Text that holds a password: every buffer it ever used is wiped when
// released, so reallocations leave no copy behind.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

namespace providers {

// Overwrites memory the compiler may not elide.
void WipeMemory(void* data, std::size_t size);

template <typename T>
struct WipedOnRelease {
  using value_type = T;
  WipedOnRelease() = default;
  template <typename U>
  WipedOnRelease(const WipedOnRelease<U>&) {}  // NOLINT: rebinding
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, std::size_t n) {
    WipeMemory(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipedOnRelease<U>&) const {
    return true;
  }
};

using SecretText = std::basic_string<char, std::char_traits<char>, WipedOnRelease<char>>;

// UTF-8 of a password typed into a widget. The QString's own buffer, which
// the widget may share, is overwritten as well.
SecretText TakeSecret(QString& typed);

}  // namespace providers
