#include "stb/belt/mac.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/block_core.h"

namespace stb::belt {

using detail::Words;

Mac::~Mac() {
  OPENSSL_cleanse(s_, sizeof s_);
  OPENSSL_cleanse(r_, sizeof r_);
  OPENSSL_cleanse(buf_, sizeof buf_);
}

bool Mac::init(const std::uint8_t* key, std::size_t key_len) {
  if (!block_.set_key(key, key_len)) return false;
  std::memset(s_, 0, sizeof s_);
  block_.encrypt(s_, r_);
  std::memset(buf_, 0, sizeof buf_);
  buffered_ = 0;
  return true;
}

void Mac::update(const std::uint8_t* data, std::size_t len) {
  // The last block, full or not, is closed differently, so a full buffer is
  // absorbed only once more data is known to follow.
  if (len == 0) return;
  const std::size_t take = std::min(kBlockSize - buffered_, len);
  std::memcpy(buf_ + buffered_, data, take);
  buffered_ += take;
  data += take;
  len -= take;
  if (len == 0) return;

  const std::uint32_t* k = detail::BlockAccess::key(block_);
  Words s[1] = {detail::load_words(s_) ^ detail::load_words(buf_)};
  detail::encrypt_words(k, s);
  for (; len > kBlockSize; len -= kBlockSize, data += kBlockSize) {
    s[0] = s[0] ^ detail::load_words(data);
    detail::encrypt_words(k, s);
  }
  detail::store_words(s_, s[0]);
  std::memcpy(buf_, data, len);
  buffered_ = len;
}

void Mac::final(std::uint8_t out[kMacSize]) const {
  const Words r = detail::load_words(r_);
  Words s[1] = {detail::load_words(s_)};
  if (buffered_ == kBlockSize) {
    s[0] = s[0] ^ detail::load_words(buf_) ^ Words { r.b, r.c, r.d, r.a ^ r.b };
  } else {
    std::uint8_t last[kBlockSize] = {};
    std::memcpy(last, buf_, buffered_);
    last[buffered_] = 0x80;
    s[0] = s[0] ^ detail::load_words(last) ^ Words { r.a ^ r.d, r.a, r.b, r.c };
    OPENSSL_cleanse(last, sizeof last);
  }
  detail::encrypt_words(detail::BlockAccess::key(block_), s);
  std::uint8_t full[kBlockSize];
  detail::store_words(full, s[0]);
  std::memcpy(out, full, kMacSize);
  OPENSSL_cleanse(full, sizeof full);
  OPENSSL_cleanse(s, sizeof s);
}

bool Mac::compute(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* data,
                  std::size_t len, std::uint8_t out[kMacSize]) {
  Mac mac;
  if (!mac.init(key, key_len)) return false;
  mac.update(data, len);
  mac.final(out);
  return true;
}

}  // namespace stb::belt
