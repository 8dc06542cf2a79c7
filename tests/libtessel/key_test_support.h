// Helpers of the random-number and key tests: the record's key outputs as
// values, and OpenSSL's generator swapped for one whose output is known.
#pragma once

#include <openssl/rand.h>

#include <string>

#include "tessel_support.h"

namespace tesseltest {

inline Bytes bytes_of(const unsigned char* p, int32_t n) {
  return p == nullptr || n <= 0 ? Bytes{} : Bytes(p, p + n);
}
inline Bytes key_of(const CRYPTOCASE* rec) {
  return bytes_of(rec->key, rec->key_len);
}
inline std::string key_text(const CRYPTOCASE* rec) {
  const Bytes b = key_of(rec);
  return std::string(b.begin(), b.end());
}
inline std::string public_key_text(const CRYPTOCASE* rec) {
  const Bytes b = bytes_of(rec->public_key, rec->public_key_len);
  return std::string(b.begin(), b.end());
}
inline Bytes token_of(const CRYPTOCASE* rec) {
  return bytes_of(rec->token, rec->token_len);
}

// While alive, OpenSSL's random method hands out the given bytes in order
// and then fails (or fails from the start): the input the library draws
// becomes known, and its failure paths reachable. Restores OpenSSL's own
// method when it goes.
class FixedRandom {
 public:
  explicit FixedRandom(Bytes stream);
  ~FixedRandom();
  FixedRandom(const FixedRandom&) = delete;
  FixedRandom& operator=(const FixedRandom&) = delete;
  // Bytes handed out so far.
  std::size_t taken() const;
};

// "bash256" of the concatenated parts, through OpenSSL.
Bytes bash256(const Bytes& a, const Bytes& b);

inline Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace tesseltest
