#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "stb/brng/brng.h"

namespace stb::brng {

HmacHbelt::~HmacHbelt() {
  if (!start_.empty()) OPENSSL_cleanse(start_.data(), start_.size());
  OPENSSL_cleanse(r_, sizeof r_);
  OPENSSL_cleanse(block_, sizeof block_);
}

void HmacHbelt::init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* start,
                     std::size_t start_len) {
  if (!start_.empty()) OPENSSL_cleanse(start_.data(), start_.size());
  start_.assign(start, start + start_len);
  keyed_.init(key, key_len);
  // r <- hmac(key, S)
  belt::Hmac h = keyed_;
  h.update(start_.data(), start_.size());
  h.final(r_);
  OPENSSL_cleanse(block_, sizeof block_);
  left_ = 0;
}

void HmacHbelt::next_block(std::uint8_t out[kBlockSize]) {
  // Y = hmac(key, r || S), taken before r <- hmac(key, r).
  belt::Hmac h = keyed_;
  h.update(r_, sizeof r_);
  h.update(start_.data(), start_.size());
  h.final(out);
  h = keyed_;
  h.update(r_, sizeof r_);
  h.final(r_);
}

void HmacHbelt::generate(std::uint8_t* out, std::size_t len) {
  if (left_ != 0) {
    const std::size_t take = std::min(len, left_);
    std::memcpy(out, block_ + kBlockSize - left_, take);
    left_ -= take;
    out += take;
    len -= take;
  }
  for (; len >= kBlockSize; len -= kBlockSize, out += kBlockSize) next_block(out);
  if (len != 0) {
    next_block(block_);
    std::memcpy(out, block_, len);
    left_ = kBlockSize - len;
  }
}

}  // namespace stb::brng
