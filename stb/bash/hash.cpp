// bash-hash: a sponge whose blocks overwrite (not XOR) the front of the state.
// Since padding always adds an octet, a block can be processed as soon as it
// is complete; full blocks go from the input straight into the state words.
#include <openssl/crypto.h>

#include <bit>
#include <cstring>

#include "stb/bash/bash.h"
#include "stb/bash/paths.h"

namespace stb::bash {

// Octet k of the state is octet k % 8 of word k / 8 only on a little-endian host.
static_assert(std::endian::native == std::endian::little,
              "bash state layout assumes little-endian");

namespace {

std::uint8_t* octets(std::uint64_t* s) {
  return reinterpret_cast<std::uint8_t*>(s);
}

}  // namespace

Hash::~Hash() {
  OPENSSL_cleanse(s_, sizeof s_);
}

bool Hash::init(unsigned level) {
  if (level != 128 && level != 192 && level != 256) return false;
  OPENSSL_cleanse(s_, sizeof s_);
  s_[kStateWords - 1] = level / 4;
  level_ = level;
  buffered_ = 0;
  return true;
}

void Hash::update(const std::uint8_t* data, std::size_t len) {
  if (len == 0) return;
  const std::size_t r = rate();
  if (buffered_ != 0) {
    const std::size_t take = len < r - buffered_ ? len : r - buffered_;
    std::memcpy(octets(s_) + buffered_, data, take);
    buffered_ += take;
    data += take;
    len -= take;
    if (buffered_ < r) return;
    f(s_);
    buffered_ = 0;
  }
  // Whole blocks straight from the input; the state stays in registers
  // across them on the SIMD paths.
  if (len >= r) {
    const std::size_t blocks = len / r;
    detail::absorb(s_, data, blocks, r);
    data += blocks * r;
    len -= blocks * r;
  }
  if (len != 0) {
    std::memcpy(s_, data, len);
    buffered_ = len;
  }
}

void Hash::final(std::uint8_t* out) const {
  std::uint64_t s[kStateWords];
  std::memcpy(s, s_, sizeof s);
  const std::size_t r = rate();
  std::uint8_t* const p = octets(s);
  p[buffered_] = 0x40;
  std::memset(p + buffered_ + 1, 0, r - buffered_ - 1);
  f(s);
  std::memcpy(out, s, size());
  OPENSSL_cleanse(s, sizeof s);
}

bool Hash::compute(unsigned level, const std::uint8_t* data, std::size_t len, std::uint8_t* out) {
  Hash h;
  if (!h.init(level)) return false;
  h.update(data, len);
  h.final(out);
  return true;
}

}  // namespace stb::bash
