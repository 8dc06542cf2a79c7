// The ASN.1 method of bign-pubkey: SubjectPublicKeyInfo and PKCS#8 with the
// curve OID as parameters, the bare parameters, printing, comparison, sizes,
// checks and raw key access. The ctrls and signature identifiers are in
// bign_asn1_ctrl.cpp.
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "stb/bign/keys.h"
#include "stb/openssl/bign_asn1.h"
#include "stb/openssl/bign_key.h"
#include "stb/openssl/bign_params.h"
#include "stb/openssl/methods.h"

namespace stb::openssl {
namespace {

ASN1_OBJECT* curve_object(unsigned level) {
  return OBJ_nid2obj(curve_nid(level));
}

// A key of the level that the AlgorithmIdentifier's parameters name.
std::unique_ptr<BignKey> key_for(const X509_ALGOR* alg) {
  int ptype = V_ASN1_UNDEF;
  const void* pval = nullptr;
  X509_ALGOR_get0(nullptr, &ptype, &pval, alg);
  const unsigned level = level_of_domain_params(ptype, pval);
  if (level == 0) {
    ERR_raise(ERR_LIB_EVP, EVP_R_UNSUPPORTED_ALGORITHM);
    return nullptr;
  }
  return std::unique_ptr<BignKey>(new (std::nothrow) BignKey(level));
}

int pub_decode(EVP_PKEY* pk, const X509_PUBKEY* pub) {
  const unsigned char* q = nullptr;
  int len = 0;
  X509_ALGOR* alg = nullptr;
  if (!X509_PUBKEY_get0_param(nullptr, &q, &len, &alg, pub)) return 0;
  std::unique_ptr<BignKey> key = key_for(alg);
  if (key == nullptr) return 0;
  if (static_cast<std::size_t>(len) != key->q_size() || !key->set_public(q)) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_KEY);
    return 0;
  }
  return assign_bign_key(pk, key.release()) ? 1 : 0;
}

int pub_encode(X509_PUBKEY* pub, const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr || !key->has_public) {
    ERR_raise(ERR_LIB_EVP, EVP_R_NO_KEY_SET);
    return 0;
  }
  const int len = static_cast<int>(key->q_size());
  auto* q = static_cast<unsigned char*>(OPENSSL_memdup(key->q, key->q_size()));
  if (q == nullptr) return 0;
  if (!X509_PUBKEY_set0_param(pub, OBJ_nid2obj(bign_nid()), V_ASN1_OBJECT, curve_object(key->level),
                              q, len)) {
    OPENSSL_free(q);
    return 0;
  }
  return 1;
}

// EVP_PKEY_eq (X509_check_private_key) compares parameters first, then this.
int pub_cmp(const EVP_PKEY* a, const EVP_PKEY* b) {
  const BignKey* x = bign_key(a);
  const BignKey* y = bign_key(b);
  if (x == nullptr || y == nullptr || !x->has_public || !y->has_public) return -2;
  if (x->level != y->level) return 0;
  return CRYPTO_memcmp(x->q, y->q, x->q_size()) == 0 ? 1 : 0;
}

int param_cmp(const EVP_PKEY* a, const EVP_PKEY* b) {
  const BignKey* x = bign_key(a);
  const BignKey* y = bign_key(b);
  if (x == nullptr || y == nullptr || x->level == 0 || y->level == 0) return -2;
  return x->level == y->level ? 1 : 0;
}

int param_missing(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  return key == nullptr || key->level == 0 ? 1 : 0;
}

int param_copy(EVP_PKEY* to, const EVP_PKEY* from) {
  const BignKey* src = bign_key(from);
  if (src == nullptr || src->level == 0) return 0;
  if (BignKey* dst = bign_key(to)) {
    if (dst->level != 0 && dst->level != src->level) return 0;
    dst->level = src->level;
    return 1;
  }
  return assign_bign_key(to, new (std::nothrow) BignKey(src->level)) ? 1 : 0;
}

// Parameters alone: the curve OID, or the specified form on input.
int param_decode(EVP_PKEY* pk, const unsigned char** der, int len) {
  if (der == nullptr || *der == nullptr || len <= 0) return 0;
  const unsigned char* p = *der;
  unsigned level = 0;
  if (p[0] == V_ASN1_OBJECT) {
    if (ASN1_OBJECT* obj = d2i_ASN1_OBJECT(nullptr, &p, len)) {
      level = level_of_curve(OBJ_obj2nid(obj));
      ASN1_OBJECT_free(obj);
    }
  } else {
    EcParams params;
    if (parse_ec_params(p, static_cast<std::size_t>(len), params)) {
      level = standard_level(params);
      p += len;
    }
  }
  if (level == 0) {
    ERR_raise(ERR_LIB_EVP, EVP_R_DECODE_ERROR);
    return 0;
  }
  if (!assign_bign_key(pk, new (std::nothrow) BignKey(level))) return 0;
  *der = p;
  return 1;
}

int param_encode(const EVP_PKEY* pk, unsigned char** der) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr || key->level == 0) return 0;
  return i2d_ASN1_OBJECT(curve_object(key->level), der);
}

int pkey_size(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  return key == nullptr ? 0 : static_cast<int>(bign::signature_size(key->level));
}

int pkey_bits(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  return key == nullptr ? 0 : static_cast<int>(2 * key->level);
}

int security_bits(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  return key == nullptr ? 0 : static_cast<int>(key->level);
}

void pkey_free(EVP_PKEY* pk) {
  delete bign_key(pk);
}

int priv_decode(EVP_PKEY* pk, const PKCS8_PRIV_KEY_INFO* p8) {
  const unsigned char* d = nullptr;
  int len = 0;
  const X509_ALGOR* alg = nullptr;
  if (!PKCS8_pkey_get0(nullptr, &d, &len, &alg, p8)) return 0;
  std::unique_ptr<BignKey> key = key_for(alg);
  if (key == nullptr) return 0;
  // The privateKey OCTET STRING holds d itself; Q is recomputed.
  if (static_cast<std::size_t>(len) != key->d_size() || !key->set_private(d)) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_KEY);
    return 0;
  }
  return assign_bign_key(pk, key.release()) ? 1 : 0;
}

int priv_encode(PKCS8_PRIV_KEY_INFO* p8, const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr || !key->has_private) {
    ERR_raise(ERR_LIB_EVP, EVP_R_NO_KEY_SET);
    return 0;
  }
  const std::size_t n = key->d_size();
  auto* d = static_cast<unsigned char*>(OPENSSL_memdup(key->d, n));
  if (d == nullptr) return 0;
  if (!PKCS8_pkey_set0(p8, OBJ_nid2obj(bign_nid()), 0, V_ASN1_OBJECT, curve_object(key->level), d,
                       static_cast<int>(n))) {
    OPENSSL_clear_free(d, n);
    return 0;
  }
  return 1;
}

enum class Part { params, pub, priv };

int print(BIO* out, const EVP_PKEY* pk, int indent, Part part) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr || key->level == 0) {
    return BIO_indent(out, indent, 128) && BIO_puts(out, "bign parameters missing\n") > 0;
  }
  const char* title = part == Part::priv  ? "Private-Key"
                      : part == Part::pub ? "Public-Key"
                                          : "Parameters";
  if (!BIO_indent(out, indent, 128) ||
      BIO_printf(out, "bign %s: (%u bit)\n", title, 2 * key->level) <= 0) {
    return 0;
  }
  if (part == Part::priv && key->has_private) {
    if (!BIO_indent(out, indent, 128) || BIO_puts(out, "priv:\n") <= 0 ||
        !ASN1_buf_print(out, key->d, key->d_size(), indent + 4)) {
      return 0;
    }
  }
  if (part != Part::params && key->has_public) {
    if (!BIO_indent(out, indent, 128) || BIO_puts(out, "pub:\n") <= 0 ||
        !ASN1_buf_print(out, key->q, key->q_size(), indent + 4)) {
      return 0;
    }
  }
  return BIO_indent(out, indent, 128) &&
         BIO_printf(out, "Curve: %s (%s)\n", OBJ_nid2sn(curve_nid(key->level)),
                    curve_oid(key->level)) > 0;
}

int pub_print(BIO* out, const EVP_PKEY* pk, int indent, ASN1_PCTX*) {
  return print(out, pk, indent, Part::pub);
}
int priv_print(BIO* out, const EVP_PKEY* pk, int indent, ASN1_PCTX*) {
  return print(out, pk, indent, Part::priv);
}
int param_print(BIO* out, const EVP_PKEY* pk, int indent, ASN1_PCTX*) {
  return print(out, pk, indent, Part::params);
}

// EVP_PKEY_check: d in range and Q = d G.
int pkey_check(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr || !key->has_private) return 0;
  std::uint8_t q[2 * bign::kMaxFieldSize];
  const bool ok =
      bign::public_key(key->level, std::span(key->d, key->d_size()), std::span(q, key->q_size())) &&
      CRYPTO_memcmp(q, key->q, key->q_size()) == 0;
  return ok ? 1 : 0;
}

int public_check(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  return key != nullptr && key->has_public &&
                 bign::public_key_valid(key->level, std::span(key->q, key->q_size()))
             ? 1
             : 0;
}

int param_check(const EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  return key != nullptr && bign::valid_level(key->level) ? 1 : 0;
}

// Raw keys (EVP_PKEY_new_raw_*_key and EVP_PKEY_get_raw_*_key): d or
// x || y, whose length tells the level.
int get_raw(const std::uint8_t* src, std::size_t n, bool present, unsigned char* out,
            std::size_t* len) {
  if (!present) return 0;
  if (out != nullptr) {
    if (*len < n) return 0;
    std::memcpy(out, src, n);
  }
  *len = n;
  return 1;
}

int get_priv_key(const EVP_PKEY* pk, unsigned char* out, std::size_t* len) {
  const BignKey* key = bign_key(pk);
  return key != nullptr && get_raw(key->d, key->d_size(), key->has_private, out, len);
}

int get_pub_key(const EVP_PKEY* pk, unsigned char* out, std::size_t* len) {
  const BignKey* key = bign_key(pk);
  return key != nullptr && get_raw(key->q, key->q_size(), key->has_public, out, len);
}

int set_raw(EVP_PKEY* pk, const unsigned char* in, unsigned level, bool priv) {
  if (!bign::valid_level(level)) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_KEY_LENGTH);
    return 0;
  }
  std::unique_ptr<BignKey> key(new (std::nothrow) BignKey(level));
  if (key == nullptr) return 0;
  if (!(priv ? key->set_private(in) : key->set_public(in))) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_KEY);
    return 0;
  }
  return assign_bign_key(pk, key.release()) ? 1 : 0;
}

int set_priv_key(EVP_PKEY* pk, const unsigned char* d, std::size_t len) {
  return set_raw(pk, d, static_cast<unsigned>(4 * len), true);
}

int set_pub_key(EVP_PKEY* pk, const unsigned char* q, std::size_t len) {
  return set_raw(pk, q, static_cast<unsigned>(2 * len), false);
}

}  // namespace

EVP_PKEY_ASN1_METHOD* new_bign_asn1_method() {
  const int nid = bign_nid();
  if (nid == NID_undef) return nullptr;
  // NULL parameters in the signature AlgorithmIdentifiers of X.509,
  // requests and CRLs.
  EVP_PKEY_ASN1_METHOD* m =
      EVP_PKEY_asn1_new(nid, ASN1_PKEY_SIGPARAM_NULL, "bign-pubkey", "bign key (STB 34.101.45)");
  if (m == nullptr) return nullptr;
  EVP_PKEY_asn1_set_public(m, pub_decode, pub_encode, pub_cmp, pub_print, pkey_size, pkey_bits);
  EVP_PKEY_asn1_set_private(m, priv_decode, priv_encode, priv_print);
  EVP_PKEY_asn1_set_param(m, param_decode, param_encode, param_missing, param_copy, param_cmp,
                          param_print);
  EVP_PKEY_asn1_set_free(m, pkey_free);
  EVP_PKEY_asn1_set_ctrl(m, bign_asn1_ctrl);
  EVP_PKEY_asn1_set_item(m, bign_item_verify, nullptr);
  EVP_PKEY_asn1_set_siginf(m, bign_siginf_set);
  EVP_PKEY_asn1_set_security_bits(m, security_bits);
  EVP_PKEY_asn1_set_check(m, pkey_check);
  EVP_PKEY_asn1_set_public_check(m, public_check);
  EVP_PKEY_asn1_set_param_check(m, param_check);
  EVP_PKEY_asn1_set_get_priv_key(m, get_priv_key);
  EVP_PKEY_asn1_set_get_pub_key(m, get_pub_key);
  EVP_PKEY_asn1_set_set_priv_key(m, set_priv_key);
  EVP_PKEY_asn1_set_set_pub_key(m, set_pub_key);
  return m;
}

}  // namespace stb::openssl
