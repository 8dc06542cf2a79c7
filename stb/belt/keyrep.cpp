#include "stb/belt/keyrep.h"

#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block.h"
#include "stb/belt/h_table.h"
#include "stb/belt/hash.h"

namespace stb::belt {

bool keyrep(const std::uint8_t* key, std::size_t key_len, const std::uint8_t level[12],
            const std::uint8_t header[16], std::size_t out_len, std::uint8_t* out) {
  if (!valid_key_length(key_len) || !valid_key_length(out_len) || out_len > key_len) return false;
  // compress(r || D || I || K): r is a 4-octet slice of H chosen by both lengths.
  std::uint8_t in[64];
  const std::size_t offset = 4 * (key_len - 16) + 2 * (out_len - 16);
  std::memcpy(in, kH + offset, 4);
  std::memcpy(in + 4, level, 12);
  std::memcpy(in + 16, header, 16);
  keyexpand(key, key_len, in + 32);
  std::uint8_t y[32];
  compress(in, nullptr, y);
  std::memcpy(out, y, out_len);
  OPENSSL_cleanse(in, sizeof in);
  OPENSSL_cleanse(y, sizeof y);
  return true;
}

}  // namespace stb::belt
