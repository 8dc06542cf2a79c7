#pragma once
// Buffers that hold passwords, keys and decrypted token contents: wiped when
// they are released or shrink, so no secret outlives its use.

#include <openssl/crypto.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tokens {

template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) {}  // NOLINT: allocator conversion
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, std::size_t n) {
    OPENSSL_cleanse(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const {
    return true;
  }
};

using SecretBytes = std::vector<unsigned char, WipingAllocator<unsigned char>>;
using SecretString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
using Bytes = std::vector<unsigned char>;

inline SecretString ToSecret(std::string_view text) {
  return SecretString(text.data(), text.size());
}

// Wipes the content in place (the allocator wipes on release, this is for
// buffers that stay allocated).
template <typename Container>
void Wipe(Container& c) {
  if (!c.empty()) OPENSSL_cleanse(c.data(), c.size() * sizeof(c[0]));
  c.clear();
}

}  // namespace tokens
