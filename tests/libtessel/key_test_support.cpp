#include "key_test_support.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace tesseltest {
namespace {

Bytes stream;
std::size_t position = 0;

int hand_out(unsigned char* buf, int num) {
  const auto n = static_cast<std::size_t>(num);
  if (num < 0 || stream.size() - position < n) return 0;
  std::memcpy(buf, stream.data() + position, n);
  position += n;
  return 1;
}
int ignore_seed(const void*, int) {
  return 1;
}
int ignore_add(const void*, int, double) {
  return 1;
}
int ready() {
  return 1;
}

const RAND_METHOD kFixed = {ignore_seed, hand_out, nullptr, ignore_add, hand_out, ready};

}  // namespace

FixedRandom::FixedRandom(Bytes bytes) {
  stream = std::move(bytes);
  position = 0;
  RAND_set_rand_method(&kFixed);
}

FixedRandom::~FixedRandom() {
  RAND_set_rand_method(RAND_OpenSSL());
  stream.clear();
  position = 0;
}

std::size_t FixedRandom::taken() const {
  return position;
}

Bytes bash256(const Bytes& a, const Bytes& b) {
  Bytes out(32);
  unsigned int n = 0;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = ctx != nullptr && EVP_DigestInit(ctx, EVP_get_digestbyname("bash256")) &&
                  EVP_DigestUpdate(ctx, a.data(), a.size()) &&
                  EVP_DigestUpdate(ctx, b.data(), b.size()) &&
                  EVP_DigestFinal(ctx, out.data(), &n) && n == out.size();
  EVP_MD_CTX_free(ctx);
  return ok ? out : Bytes{};
}

}  // namespace tesseltest
