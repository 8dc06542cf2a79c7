// belt-hash and bash256/384/512 as legacy EVP_MD tables. The hash object
// lives flat in md_data, so EVP's memcpy copy of a context continues the same
// message. Block sizes: 32 for belt-hash, which makes OpenSSL's generic HMAC
// over it exactly hmac-hbelt; the rate for bash.
#include <openssl/evp.h>

#include <cstdint>
#include <new>

#include "stb/bash/bash.h"
#include "stb/belt/hash.h"
#include "stb/openssl/methods.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {

const char* const kDigestNames[kDigestCount] = {kBeltHash, kBash256, kBash384, kBash512};

namespace {

// Level 0 stands for belt-hash.
template <unsigned Level>
struct Digest {
  using Hash = bash::Hash;
  static constexpr int kSize = static_cast<int>(Level / 4);
  static constexpr int kBlock = static_cast<int>(bash::kStateSize - Level / 2);
  static bool start(Hash& h) { return h.init(Level); }
};

template <>
struct Digest<0> {
  using Hash = belt::Hash;
  static constexpr int kSize = static_cast<int>(belt::kHashSize);
  static constexpr int kBlock = static_cast<int>(belt::kHashBlockSize);
  static bool start(Hash& h) {
    h.init();
    return true;
  }
};

template <unsigned Level>
typename Digest<Level>::Hash* hash_of(EVP_MD_CTX* ctx) {
  return static_cast<typename Digest<Level>::Hash*>(EVP_MD_CTX_md_data(ctx));
}

template <unsigned Level>
int init(EVP_MD_CTX* ctx) {
  void* raw = EVP_MD_CTX_md_data(ctx);
  if (raw == nullptr) return 0;
  // md_data may hold a finished or a fresh (zeroed) object: start anew.
  auto* h = new (raw) typename Digest<Level>::Hash();
  return Digest<Level>::start(*h) ? 1 : 0;
}

template <unsigned Level>
int update(EVP_MD_CTX* ctx, const void* data, std::size_t len) {
  hash_of<Level>(ctx)->update(static_cast<const std::uint8_t*>(data), len);
  return 1;
}

template <unsigned Level>
int final(EVP_MD_CTX* ctx, unsigned char* out) {
  hash_of<Level>(ctx)->final(out);
  return 1;
}

// EVP frees md_data after this; the destructor wipes the state.
template <unsigned Level>
int cleanup(EVP_MD_CTX* ctx) {
  using Hash = typename Digest<Level>::Hash;
  if (Hash* h = hash_of<Level>(ctx)) h->~Hash();
  return 1;
}

template <unsigned Level>
EVP_MD* make(int nid) {
  using D = Digest<Level>;
  EVP_MD* md = EVP_MD_meth_new(nid, NID_undef);
  if (md == nullptr) return nullptr;
  const bool ok =
      EVP_MD_meth_set_result_size(md, D::kSize) && EVP_MD_meth_set_input_blocksize(md, D::kBlock) &&
      EVP_MD_meth_set_app_datasize(md, static_cast<int>(sizeof(typename D::Hash))) &&
      EVP_MD_meth_set_init(md, init<Level>) && EVP_MD_meth_set_update(md, update<Level>) &&
      EVP_MD_meth_set_final(md, final<Level>) && EVP_MD_meth_set_cleanup(md, cleanup<Level>);
  if (!ok) {
    EVP_MD_meth_free(md);
    return nullptr;
  }
  return md;
}

}  // namespace

EVP_MD* new_digest(std::size_t index) {
  if (index >= kDigestCount) return nullptr;
  const int nid = nid_of(kDigestNames[index]);
  if (nid == NID_undef) return nullptr;
  switch (index) {
    case 0:
      return make<0>(nid);
    case 1:
      return make<128>(nid);
    case 2:
      return make<192>(nid);
    default:
      return make<256>(nid);
  }
}

}  // namespace stb::openssl
