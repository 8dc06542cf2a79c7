// The C functions of stb/stb.h over the C++ classes (STB_register lives with
// the OpenSSL binding). Every function checks its arguments first and writes
// nothing when it refuses them.
#include "stb/stb.h"

#include <openssl/crypto.h>

#include <cstdint>

#include "stb/belt/block.h"
#include "stb/belt/hmac.h"
#include "stb/belt/keyrep.h"
#include "stb/belt/mac.h"
#include "stb/brng/brng.h"

namespace {

constexpr int kOk = 0;
constexpr int kBad = 1;

// A buffer of len octets must be present unless it is empty.
bool present(const unsigned char* p, size_t len) {
  return p != nullptr || len == 0;
}

}  // namespace

extern "C" {

int BELT_keyexpand(unsigned char* out, const unsigned char* key, size_t key_len) {
  if (out == nullptr || key == nullptr || !stb::belt::valid_key_length(key_len)) return kBad;
  return stb::belt::keyexpand(key, key_len, out) ? kOk : kBad;
}

int BELT_keyrep(const unsigned char* key, size_t key_len, const unsigned char* level,
                const unsigned char* header, size_t out_len, unsigned char* out) {
  if (key == nullptr || level == nullptr || header == nullptr || out == nullptr) return kBad;
  return stb::belt::keyrep(key, key_len, level, header, out_len, out) ? kOk : kBad;
}

int belt_mac(const unsigned char* data, size_t data_len, const unsigned char* key, size_t key_len,
             unsigned char* out) {
  if (!present(data, data_len) || key == nullptr || out == nullptr ||
      !stb::belt::valid_key_length(key_len))
    return kBad;
  return stb::belt::Mac::compute(key, key_len, data, data_len, out) ? kOk : kBad;
}

int hmac_hbelt(const unsigned char* data, size_t data_len, const unsigned char* key, size_t key_len,
               unsigned char* out) {
  if (!present(data, data_len) || !present(key, key_len) || out == nullptr) return kBad;
  stb::belt::Hmac::compute(key, key_len, data, data_len, out);
  return kOk;
}

int brng_ctr_hbelt(size_t n, const unsigned char* key, const unsigned char* start,
                   const unsigned char* in, size_t in_len, unsigned char* out) {
  constexpr size_t kBlock = stb::brng::kBlockSize;
  if (key == nullptr || start == nullptr || n > SIZE_MAX / kBlock || in_len != n * kBlock ||
      !present(in, in_len) || !present(out, in_len))
    return kBad;
  // The generator works on its own copy of the start value: the caller's stays as it was.
  stb::brng::CtrHbelt gen;
  gen.init(key, start);
  gen.generate(in, n, out);
  return kOk;
}

int brng_hmac_hbelt(size_t n, const unsigned char* key, size_t key_len, const unsigned char* start,
                    size_t start_len, unsigned char* out) {
  constexpr size_t kBlock = stb::brng::kBlockSize;
  if (!present(key, key_len) || !present(start, start_len) || n > SIZE_MAX / kBlock ||
      !present(out, n * kBlock))
    return kBad;
  stb::brng::HmacHbelt gen;
  gen.init(key, key_len, start, start_len);
  gen.generate(out, n * kBlock);
  return kOk;
}

}  // extern "C"
