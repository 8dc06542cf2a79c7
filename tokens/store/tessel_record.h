#pragma once
// libtessel's result records, owned: released (and wiped) on every path.

#include <memory>
#include <string>

#include "libtessel/tessel.h"
#include "tokens/store/secret_bytes.h"

namespace tokens {

struct RecordFree {
  void operator()(CRYPTOCASE* record) const { CRYPTOCASE_free(record); }
};
using Record = std::unique_ptr<CRYPTOCASE, RecordFree>;

inline bool Succeeded(const Record& r) {
  return r && r->status == TESSEL_OK;
}
inline Bytes DataOf(const Record& r) {
  return r && r->data ? Bytes(r->data, r->data + r->data_len) : Bytes();
}
// A buffer of a record as text (PEM, index database, key).
template <typename Text = std::string>
Text TextOf(const unsigned char* bytes, int32_t length) {
  if (bytes == nullptr || length <= 0) return Text();
  return Text(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}
inline const unsigned char* Ptr(const auto& c) {
  return reinterpret_cast<const unsigned char*>(c.data());
}
inline int32_t Len(const auto& c) {
  return static_cast<int32_t>(c.size());
}

// The national algorithms are registered into OpenSSL by libtessel's first
// call; code that asks OpenSSL for them directly runs this first.
void EnsureNationalAlgorithms();

}  // namespace tokens
