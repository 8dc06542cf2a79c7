// Working buffers for key material and generator state: allocated with
// OpenSSL's allocator, wiped when they go, and handed out as an output
// buffer of a record when the work succeeds.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "libtessel/tessel.h"

namespace tessel {

class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(std::size_t n)
      : p_(n > 0 ? static_cast<unsigned char*>(OPENSSL_malloc(n)) : nullptr),
        n_(p_ != nullptr ? n : 0) {}
  ~SecretBytes() { OPENSSL_clear_free(p_, n_); }
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  // False when the allocation failed (or nothing was asked for).
  explicit operator bool() const { return p_ != nullptr; }
  unsigned char* get() const { return p_; }
  std::size_t size() const { return n_; }

  // Moves the buffer into a record's output pair, whose previous content is
  // wiped and released first.
  void hand_to(unsigned char** buf, int32_t* len) {
    if (*buf != nullptr) OPENSSL_clear_free(*buf, static_cast<std::size_t>(*len > 0 ? *len : 0));
    *buf = p_;
    *len = static_cast<int32_t>(n_);
    p_ = nullptr;
    n_ = 0;
  }

 private:
  unsigned char* p_ = nullptr;
  std::size_t n_ = 0;
};

// A record made by an inner call of another export, freed when done.
struct CaseRelease {
  void operator()(CRYPTOCASE* rec) const { CRYPTOCASE_free(rec); }
};
using InnerCase = std::unique_ptr<CRYPTOCASE, CaseRelease>;

}  // namespace tessel
