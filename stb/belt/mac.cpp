#include "stb/belt/mac.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/internal.h"
#include "stb/belt/kernels.h"

namespace stb::belt {

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

  // Whole blocks, all but the last of the data so far.
  const std::uint32_t* k = detail::BlockAccess::key(block_);
  const detail::Kernels& run = detail::kernels();
  run.mac(k, s_, buf_, 1);
  const std::size_t whole = (len - 1) / kBlockSize;
  if (whole != 0) run.mac(k, s_, data, whole);
  data += whole * kBlockSize;
  len -= whole * kBlockSize;
  std::memcpy(buf_, data, len);
  buffered_ = len;
}

void Mac::final(std::uint8_t out[kMacSize]) const {
  using detail::load32;
  const std::uint32_t r[4] = {load32(r_), load32(r_ + 4), load32(r_ + 8), load32(r_ + 12)};
  std::uint8_t last[kBlockSize] = {};
  std::uint32_t mix[4];
  if (buffered_ == kBlockSize) {
    std::memcpy(last, buf_, kBlockSize);
    const std::uint32_t m[4] = {r[1], r[2], r[3], r[0] ^ r[1]};
    std::memcpy(mix, m, sizeof mix);
  } else {
    std::memcpy(last, buf_, buffered_);
    last[buffered_] = 0x80;
    const std::uint32_t m[4] = {r[0] ^ r[3], r[0], r[1], r[2]};
    std::memcpy(mix, m, sizeof mix);
  }
  std::uint8_t full[kBlockSize];
  for (int j = 0; j < 4; ++j)
    detail::store32(full + 4 * j, load32(s_ + 4 * j) ^ load32(last + 4 * j) ^ mix[j]);
  detail::kernels().ecb(detail::BlockAccess::key(block_), true, full, full, 1);
  std::memcpy(out, full, kMacSize);
  OPENSSL_cleanse(full, sizeof full);
  OPENSSL_cleanse(last, sizeof last);
  OPENSSL_cleanse(mix, sizeof mix);
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
