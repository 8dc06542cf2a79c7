// The key method of bign-pubkey: parameter and key generation ("params" =
// A/B/C), signatures over a hash value made with the digest that OpenSSL
// sets, key transport tokens as encryption (CMS KeyTransRecipientInfo, zero
// header), and the Diffie-Hellman point as derivation.
#include <openssl/err.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "stb/bign/dh.h"
#include "stb/bign/sign.h"
#include "stb/bign/token.h"
#include "stb/openssl/bign_key.h"
#include "stb/openssl/methods.h"

namespace stb::openssl {
namespace {

// Our ctrl for the level of parameter and key generation (p1).
constexpr int kCtrlLevel = EVP_PKEY_ALG_CTRL + 1;

// Generation without "params" makes level-128 keys.
constexpr unsigned kDefaultLevel = 128;

// CMS passes no header: 16 zero octets.
constexpr std::uint8_t kZeroHeader[bign::kTokenHeaderSize] = {};

struct Ctx {
  unsigned level = 0;          // for generation; 0: the context key's, or the default
  const EVP_MD* md = nullptr;  // the signature's digest; null: the key's default
};

Ctx* ctx_of(const EVP_PKEY_CTX* c) {
  return static_cast<Ctx*>(EVP_PKEY_CTX_get_data(c));
}

const BignKey* key_of(EVP_PKEY_CTX* c) {
  return bign_key(EVP_PKEY_CTX_get0_pkey(c));
}

// The key with the parts an operation needs, or null (error raised).
const BignKey* usable_key(EVP_PKEY_CTX* c, bool need_private) {
  const BignKey* key = key_of(c);
  if (key == nullptr || !(need_private ? key->has_private : key->has_public)) {
    ERR_raise(ERR_LIB_EVP, EVP_R_NO_KEY_SET);
    return nullptr;
  }
  return key;
}

int init(EVP_PKEY_CTX* c) {
  auto* x = new (std::nothrow) Ctx;
  if (x == nullptr) return 0;
  EVP_PKEY_CTX_set_data(c, x);
  return 1;
}

// EVP_PKEY_CTX_dup calls this on every duplication (EVP_MD_CTX_copy_ex of a
// signing context included), with dst fresh: no init before it.
int copy(EVP_PKEY_CTX* dst, const EVP_PKEY_CTX* src) {
  const Ctx* from = ctx_of(src);
  auto* x = new (std::nothrow) Ctx(from != nullptr ? *from : Ctx{});
  if (x == nullptr) return 0;
  EVP_PKEY_CTX_set_data(dst, x);
  return 1;
}

void cleanup(EVP_PKEY_CTX* c) {
  delete ctx_of(c);
  EVP_PKEY_CTX_set_data(c, nullptr);
}

unsigned generation_level(EVP_PKEY_CTX* c) {
  if (const Ctx* x = ctx_of(c); x != nullptr && x->level != 0) return x->level;
  if (const BignKey* key = key_of(c); key != nullptr && key->level != 0) return key->level;
  return kDefaultLevel;
}

int paramgen(EVP_PKEY_CTX* c, EVP_PKEY* pkey) {
  return assign_bign_key(pkey, new (std::nothrow) BignKey(generation_level(c))) ? 1 : 0;
}

int keygen(EVP_PKEY_CTX* c, EVP_PKEY* pkey) {
  std::unique_ptr<BignKey> key(new (std::nothrow) BignKey(generation_level(c)));
  if (key == nullptr || !key->generate()) return 0;
  return assign_bign_key(pkey, key.release()) ? 1 : 0;
}

// The hash whose value is signed: the digest set on the context, or the
// key's default.
const bign::HashInfo* signed_hash(EVP_PKEY_CTX* c, const BignKey& key) {
  const Ctx* x = ctx_of(c);
  if (x == nullptr || x->md == nullptr) return &bign::hash_info(bign::default_hash(key.level));
  return hash_for(EVP_MD_get_type(x->md), key.level);
}

int sign(EVP_PKEY_CTX* c, unsigned char* sig, std::size_t* siglen, const unsigned char* tbs,
         std::size_t tbslen) {
  const BignKey* key = usable_key(c, true);
  if (key == nullptr) return 0;
  const std::size_t size = bign::signature_size(key->level);
  if (sig == nullptr) {
    *siglen = size;
    return 1;
  }
  if (*siglen < size) {
    ERR_raise(ERR_LIB_EVP, EVP_R_BUFFER_TOO_SMALL);
    return 0;
  }
  const bign::HashInfo* h = signed_hash(c, *key);
  if (h == nullptr || tbslen != h->size) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_DIGEST);
    return 0;
  }
  // The one-time key comes from d and H (bign-genk): no generator involved.
  if (!bign::sign(key->level, h->der, std::span(tbs, tbslen), std::span(key->d, key->d_size()),
                  std::span(sig, size))) {
    return 0;
  }
  *siglen = size;
  return 1;
}

int verify(EVP_PKEY_CTX* c, const unsigned char* sig, std::size_t siglen, const unsigned char* tbs,
           std::size_t tbslen) {
  const BignKey* key = usable_key(c, false);
  if (key == nullptr) return 0;
  const bign::HashInfo* h = signed_hash(c, *key);
  if (h == nullptr || tbslen != h->size) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_DIGEST);
    return 0;
  }
  return bign::verify(key->level, h->der, std::span(tbs, tbslen), std::span(sig, siglen),
                      std::span(key->q, key->q_size()))
             ? 1
             : 0;
}

// Encryption makes a token of the key given as input (16 octets or more).
int encrypt(EVP_PKEY_CTX* c, unsigned char* out, std::size_t* outlen, const unsigned char* in,
            std::size_t inlen) {
  const BignKey* key = usable_key(c, false);
  if (key == nullptr) return 0;
  if (inlen < bign::kTokenMinKeySize) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_LENGTH);
    return 0;
  }
  const std::size_t size = bign::token_size(key->level, inlen);
  if (out == nullptr) {
    *outlen = size;
    return 1;
  }
  if (*outlen < size) {
    ERR_raise(ERR_LIB_EVP, EVP_R_BUFFER_TOO_SMALL);
    return 0;
  }
  if (!bign::token_create(key->level, std::span(in, inlen), kZeroHeader,
                          std::span(key->q, key->q_size()), std::span(out, size))) {
    return 0;
  }
  *outlen = size;
  return 1;
}

// A token that does not open is an error: CMS with CMS_DEBUG_DECRYPT then
// reports it instead of going on with a random key.
int decrypt(EVP_PKEY_CTX* c, unsigned char* out, std::size_t* outlen, const unsigned char* in,
            std::size_t inlen) {
  const BignKey* key = usable_key(c, true);
  if (key == nullptr) return 0;
  const std::size_t overhead = bign::token_size(key->level, 0);
  if (inlen < overhead + bign::kTokenMinKeySize) {
    ERR_raise(ERR_LIB_EVP, EVP_R_BAD_DECRYPT);
    return 0;
  }
  const std::size_t size = inlen - overhead;
  if (out == nullptr) {
    *outlen = size;
    return 1;
  }
  if (*outlen < size) {
    ERR_raise(ERR_LIB_EVP, EVP_R_BUFFER_TOO_SMALL);
    return 0;
  }
  if (bign::token_decode(key->level, std::span(in, inlen), kZeroHeader,
                         std::span(key->d, key->d_size()),
                         std::span(out, size)) != bign::TokenResult::ok) {
    ERR_raise(ERR_LIB_EVP, EVP_R_BAD_DECRYPT);
    return 0;
  }
  *outlen = size;
  return 1;
}

// x(d Q_peer), l/4 octets; a longer buffer gets up to x || y.
int derive(EVP_PKEY_CTX* c, unsigned char* out, std::size_t* outlen) {
  const BignKey* key = usable_key(c, true);
  const BignKey* peer = bign_key(EVP_PKEY_CTX_get0_peerkey(c));
  if (key == nullptr) return 0;
  if (peer == nullptr || !peer->has_public || peer->level != key->level) {
    ERR_raise(ERR_LIB_EVP, EVP_R_DIFFERENT_PARAMETERS);
    return 0;
  }
  if (out == nullptr) {
    *outlen = bign::field_size(key->level);
    return 1;
  }
  const std::size_t n = std::min(*outlen, key->q_size());
  if (n == 0 || !bign::dh(key->level, std::span(key->d, key->d_size()),
                          std::span(peer->q, peer->q_size()), std::span(out, n))) {
    return 0;
  }
  *outlen = n;
  return 1;
}

int ctrl(EVP_PKEY_CTX* c, int type, int p1, void* p2) {
  Ctx* x = ctx_of(c);
  if (x == nullptr) return 0;
  switch (type) {
    case kCtrlLevel:
      if (!bign::valid_level(static_cast<unsigned>(p1))) return 0;
      x->level = static_cast<unsigned>(p1);
      return 1;
    case EVP_PKEY_CTRL_MD: {
      // Only the hashes that fit the key's level sign with it.
      const auto* md = static_cast<const EVP_MD*>(p2);
      const BignKey* key = key_of(c);
      const unsigned level = key != nullptr && key->level != 0 ? key->level : 0;
      const int nid = md == nullptr ? NID_undef : EVP_MD_get_type(md);
      const bool fits = level != 0
                            ? hash_for(nid, level) != nullptr
                            : hash_for(nid, 128) != nullptr || hash_for(nid, 192) != nullptr ||
                                  hash_for(nid, 256) != nullptr;
      if (!fits) {
        ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_DIGEST);
        return 0;
      }
      x->md = md;
      return 1;
    }
    case EVP_PKEY_CTRL_GET_MD: {
      const EVP_MD* md = x->md;
      if (md == nullptr) {
        if (const BignKey* key = key_of(c); key != nullptr && key->level != 0) {
          md = EVP_get_digestbynid(default_md_nid(key->level));
        }
      }
      *static_cast<const EVP_MD**>(p2) = md;
      return 1;
    }
    // The peer's type and parameters are checked by EVP before and after.
    case EVP_PKEY_CTRL_PEER_KEY:
    // Nothing to prepare for these: the ASN.1 method's ctrl has set the
    // algorithm identifiers already.
    case EVP_PKEY_CTRL_DIGESTINIT:
    case EVP_PKEY_CTRL_PKCS7_SIGN:
    case EVP_PKEY_CTRL_PKCS7_ENCRYPT:
    case EVP_PKEY_CTRL_PKCS7_DECRYPT:
    case EVP_PKEY_CTRL_CMS_SIGN:
    case EVP_PKEY_CTRL_CMS_ENCRYPT:
    case EVP_PKEY_CTRL_CMS_DECRYPT:
      return 1;
    default:
      return -2;
  }
}

// "params": A, B or C (levels 128, 192, 256), or a curve name or OID.
int ctrl_str(EVP_PKEY_CTX* c, const char* type, const char* value) {
  if (type == nullptr || std::strcmp(type, "params") != 0) return -2;
  const unsigned level = level_by_text(value);
  if (level == 0) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_VALUE);
    return 0;
  }
  return ctrl(c, kCtrlLevel, static_cast<int>(level), nullptr);
}

}  // namespace

EVP_PKEY_METHOD* new_bign_pkey_method() {
  const int nid = bign_nid();
  if (nid == NID_undef) return nullptr;
  EVP_PKEY_METHOD* m = EVP_PKEY_meth_new(nid, 0);
  if (m == nullptr) return nullptr;
  EVP_PKEY_meth_set_init(m, init);
  EVP_PKEY_meth_set_copy(m, copy);
  EVP_PKEY_meth_set_cleanup(m, cleanup);
  EVP_PKEY_meth_set_paramgen(m, nullptr, paramgen);
  EVP_PKEY_meth_set_keygen(m, nullptr, keygen);
  EVP_PKEY_meth_set_sign(m, nullptr, sign);
  EVP_PKEY_meth_set_verify(m, nullptr, verify);
  EVP_PKEY_meth_set_encrypt(m, nullptr, encrypt);
  EVP_PKEY_meth_set_decrypt(m, nullptr, decrypt);
  EVP_PKEY_meth_set_derive(m, nullptr, derive);
  EVP_PKEY_meth_set_ctrl(m, ctrl, ctrl_str);
  return m;
}

}  // namespace stb::openssl
