// Key and certificate input: the loaders, the bign key-generation context and
// the PKCS#8 private-key writer.
#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <cstring>
#include <string>
#include <string_view>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/ossl.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

constexpr int kPbeIterations = 10000;

// Never prompt on a terminal: a library has no business asking for a
// password that was not given.
int no_password(char*, int, int, void*) {
  return 0;
}

// A memory BIO with a copy of the bytes, or null when it cannot be made or
// the write does not take a single byte (empty input).
BioPtr filled_bio(const unsigned char* p, int32_t len) {
  if (p == nullptr || len <= 0) return nullptr;
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || BIO_write(bio.get(), p, len) <= 0) return nullptr;
  return bio;
}

// One attempt: the reader over a fresh BIO. A failed attempt leaves no
// error behind for the next one.
template <class T, class Reader>
T* attempt(const unsigned char* p, int32_t len, Reader read, bool eof_is_end = false) {
  BioPtr bio = filled_bio(p, len);
  T* obj = nullptr;
  if (bio) {
    // Readers that pull line by line must see the end as the end, not as
    // "try again later".
    if (eof_is_end) BIO_set_mem_eof_return(bio.get(), 0);
    obj = read(bio.get());
  }
  if (obj == nullptr) ERR_clear_error();
  return obj;
}

// A national key straight from its key info, or null to leave it to the
// generic conversion: the privateKey octets are d itself and the parameters
// name a standard curve. OpenSSL 3.0's generic conversion first assembles its
// provider decoders, which costs many times a signature and cannot succeed
// for a key type an ENGINE supplies.
EVP_PKEY* national_key(const PKCS8_PRIV_KEY_INFO* info) {
  const ASN1_OBJECT* algorithm = nullptr;
  const unsigned char* d = nullptr;
  int d_len = 0;
  const X509_ALGOR* params = nullptr;
  if (!PKCS8_pkey_get0(&algorithm, &d, &d_len, &params, info) || d_len <= 0) return nullptr;
  const int nid = OBJ_obj2nid(algorithm);
  if (nid == NID_undef || nid != OBJ_sn2nid(kBignKeyType)) return nullptr;
  int param_type = V_ASN1_UNDEF;
  const void* param = nullptr;
  X509_ALGOR_get0(nullptr, &param_type, &param, params);
  char curve[96];
  if (param_type != V_ASN1_OBJECT ||
      OBJ_obj2txt(curve, sizeof curve, static_cast<const ASN1_OBJECT*>(param), 1) <= 0)
    return nullptr;
  // The level follows from the length of d; the curve must agree with it.
  PkeyPtr key(EVP_PKEY_new_raw_private_key(nid, nullptr, d, static_cast<std::size_t>(d_len)));
  const char* key_curve = key ? BIGN_get_params(key.get()) : nullptr;
  if (key_curve == nullptr || std::strcmp(key_curve, curve) != 0) return nullptr;
  return key.release();
}

EVP_PKEY* key_from_info(const PKCS8_PRIV_KEY_INFO* info) {
  if (EVP_PKEY* key = national_key(info)) return key;
  return EVP_PKCS82PKEY(info);
}

bool contains(const unsigned char* p, int32_t len, std::string_view what) {
  return p != nullptr && len > 0 &&
         std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len))
                 .find(what) != std::string_view::npos;
}

// NCONF's ".include" directive reads files (or every file of a folder): a
// library that works on the caller's bytes only must not follow it. The
// reader joins a line ending in a backslash with the next, and after a NUL
// byte it goes on with the next line as well, so the directive is looked for
// in the joined text, and a text with a NUL is refused outright.
bool names_a_file(const unsigned char* p, int32_t len) {
  if (p == nullptr || len <= 0) return false;
  const std::string_view text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len));
  if (text.find('\0') != std::string_view::npos) return true;
  std::string joined;
  joined.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      std::size_t end = i + 1;
      while (end < text.size() && text[end] == '\r') ++end;
      if (end < text.size() && text[end] == '\n') {
        i = end;
        continue;
      }
    }
    joined += text[i];
  }
  return joined.find(".include") != std::string::npos;
}

}  // namespace

X509_REQ* load_request(const unsigned char* p, int32_t len) {
  if (X509_REQ* r = attempt<X509_REQ>(
          p, len, [](BIO* b) { return PEM_read_bio_X509_REQ(b, nullptr, no_password, nullptr); }))
    return r;
  return attempt<X509_REQ>(p, len, [](BIO* b) { return d2i_X509_REQ_bio(b, nullptr); });
}

X509* load_certificate(const unsigned char* p, int32_t len) {
  if (X509* c = attempt<X509>(
          p, len, [](BIO* b) { return PEM_read_bio_X509(b, nullptr, no_password, nullptr); }))
    return c;
  return attempt<X509>(p, len, [](BIO* b) { return d2i_X509_bio(b, nullptr); });
}

X509_CRL* load_crl(const unsigned char* p, int32_t len) {
  if (X509_CRL* c = attempt<X509_CRL>(
          p, len, [](BIO* b) { return PEM_read_bio_X509_CRL(b, nullptr, no_password, nullptr); }))
    return c;
  return attempt<X509_CRL>(p, len, [](BIO* b) { return d2i_X509_CRL_bio(b, nullptr); });
}

PKCS7* load_pkcs7(const unsigned char* p, int32_t len) {
  if (PKCS7* c = attempt<PKCS7>(
          p, len, [](BIO* b) { return PEM_read_bio_PKCS7(b, nullptr, no_password, nullptr); }))
    return c;
  return attempt<PKCS7>(p, len, [](BIO* b) { return d2i_PKCS7_bio(b, nullptr); });
}

CMS_ContentInfo* load_cms(const unsigned char* p, int32_t len) {
  if (CMS_ContentInfo* c = attempt<CMS_ContentInfo>(
          p, len, [](BIO* b) { return PEM_read_bio_CMS(b, nullptr, no_password, nullptr); }))
    return c;
  if (CMS_ContentInfo* c =
          attempt<CMS_ContentInfo>(p, len, [](BIO* b) { return d2i_CMS_bio(b, nullptr); }))
    return c;
  // A multipart/signed message's content part is dropped: the caller passes
  // detached content separately.
  return attempt<CMS_ContentInfo>(
      p, len, [](BIO* b) { return SMIME_read_CMS(b, nullptr); }, true);
}

CONF* load_config(const unsigned char* p, int32_t len) {
  if (names_a_file(p, len)) return nullptr;
  BioPtr bio = filled_bio(p, len);
  if (!bio) return nullptr;
  ConfPtr conf(NCONF_new(nullptr));
  long error_line = 0;
  if (!conf || NCONF_load_bio(conf.get(), bio.get(), &error_line) <= 0) return nullptr;
  return conf.release();
}

EVP_PKEY* load_public_key(const unsigned char* p, int32_t len) {
  // OpenSSL 3.0 assembles its decoders before it looks at the text, which
  // costs more than the rest of a signature check; it takes only the PEM
  // blocks named "PUBLIC KEY" and "RSA PUBLIC KEY", so other texts skip it.
  if (contains(p, len, "PUBLIC KEY-----"))
    if (EVP_PKEY* k = attempt<EVP_PKEY>(
            p, len, [](BIO* b) { return PEM_read_bio_PUBKEY(b, nullptr, no_password, nullptr); }))
      return k;
  if (EVP_PKEY* k = attempt<EVP_PKEY>(p, len, [](BIO* b) { return b2i_PublicKey_bio(b); }))
    return k;
  if (X509Ptr cert{load_certificate(p, len)}) {
    EVP_PKEY* k = X509_get_pubkey(cert.get());
    if (k == nullptr) ERR_clear_error();
    return k;
  }
  if (ReqPtr req{load_request(p, len)}) {
    EVP_PKEY* k = X509_REQ_get_pubkey(req.get());
    if (k == nullptr) ERR_clear_error();
    return k;
  }
  return nullptr;
}

EVP_PKEY* load_private_key(const unsigned char* p, int32_t len, const char* password) {
  P8InfoPtr info;
  {
    BioPtr bio = filled_bio(p, len);
    char* name = nullptr;
    unsigned char* der = nullptr;
    long der_len = 0;
    if (!bio || !PEM_bytes_read_bio(&der, &der_len, &name, PEM_STRING_EVP_PKEY, bio.get(),
                                    no_password, nullptr)) {
      ERR_clear_error();
      return nullptr;
    }
    const unsigned char* q = der;
    if (std::strcmp(name, PEM_STRING_PKCS8INF) == 0) {
      info.reset(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &q, der_len));
    } else if (std::strcmp(name, PEM_STRING_PKCS8) == 0) {
      X509SigPtr sig(d2i_X509_SIG(nullptr, &q, der_len));
      const char* pass = password != nullptr ? password : "";
      if (sig) {
        info.reset(PKCS8_decrypt(sig.get(), pass, static_cast<int>(std::strlen(pass))));
      }
    }
    OPENSSL_free(name);
    OPENSSL_clear_free(der, static_cast<std::size_t>(der_len));
  }
  EVP_PKEY* key = info ? key_from_info(info.get()) : nullptr;
  // OpenSSL's decoders leave their complaints behind even when the key
  // loads in the end.
  ERR_clear_error();
  return key;
}

const EVP_MD* default_digest(EVP_PKEY* key) {
  int nid = NID_undef;
  if (EVP_PKEY_get_default_digest_nid(key, &nid) <= 0 || nid == NID_undef) return nullptr;
  const char* name = OBJ_nid2sn(nid);
  return name != nullptr ? EVP_get_digestbyname(name) : nullptr;
}

EVP_PKEY_CTX* new_keygen_context() {
  ensure_registered();
  ENGINE* found_in = nullptr;
  const EVP_PKEY_ASN1_METHOD* method = EVP_PKEY_asn1_find_str(&found_in, kBignKeyType, -1);
  // The search hands back a reference on the ENGINE that supplied the
  // method, held here while the method is in use.
  const Owned<ENGINE, ENGINE_finish> engine(found_in);
  if (method == nullptr) return nullptr;
  ERR_clear_error();
  int id = 0;
  if (!EVP_PKEY_asn1_get0_info(&id, nullptr, nullptr, nullptr, nullptr, method)) return nullptr;
  PkeyCtxPtr ctx(EVP_PKEY_CTX_new_id(id, nullptr));
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) <= 0) return nullptr;
  return ctx.release();
}

bool write_private_key(BIO* bio, EVP_PKEY* key, const EVP_CIPHER* cipher, const char* password,
                       int password_len) {
  P8InfoPtr info(EVP_PKEY2PKCS8(key));
  if (!info) return false;
  if (cipher == nullptr) return PEM_write_bio_PKCS8_PRIV_KEY_INFO(bio, info.get()) > 0;
  X509SigPtr sig(
      PKCS8_encrypt(-1, cipher, password, password_len, nullptr, 0, kPbeIterations, info.get()));
  return sig && PEM_write_bio_PKCS8(bio, sig.get()) > 0;
}

}  // namespace tessel
