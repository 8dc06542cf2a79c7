// bash (STB 34.101.77): the bash-f permutation and the bash hashes
// bash256 / bash384 / bash512 (security level 128 / 192 / 256).
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::bash {

inline constexpr std::size_t kStateWords = 24;
inline constexpr std::size_t kStateSize = 192;

// bash-f on 24 little-endian 64-bit words, in place. Picks the fastest code
// the processor supports (AVX-512, AVX2 or portable) on first use.
void f(std::uint64_t state[kStateWords]);

// The individual paths, for tests and benchmarks. The SIMD ones may only be
// called where available() says the processor has them.
enum class Path { portable, avx2, avx512 };
bool available(Path path);
void f_with(Path path, std::uint64_t state[kStateWords]);
// The path f() uses. set_path() forces one (false if the processor lacks it);
// tests use it to run the hashes over every path.
Path current_path();
bool set_path(Path path);

// Streaming bash-hash. The object is flat: a memcpy continues the same message.
class Hash {
 public:
  Hash() = default;
  ~Hash();
  // level: 128, 192 or 256 (hash of 32, 48 or 64 octets). False otherwise.
  bool init(unsigned level);
  void update(const std::uint8_t* data, std::size_t len);
  // Does not change the object.
  void final(std::uint8_t* out) const;
  std::size_t size() const { return level_ / 4; }
  std::size_t rate() const { return kStateSize - level_ / 2; }

  static bool compute(unsigned level, const std::uint8_t* data, std::size_t len,
                      std::uint8_t* out);

 private:
  std::uint64_t s_[kStateWords]{};
  unsigned level_ = 0;
  std::size_t buffered_ = 0;  // octets of the current block already in s_
};

}  // namespace stb::bash
