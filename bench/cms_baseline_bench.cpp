// Where the time of a CMS signature goes, with the key and certificate already
// parsed: the EVP one-shot signature of 1 KiB (hash and sign) beside OpenSSL's
// own CMS_sign of the same content, for a bign key and, as a yardstick of
// OpenSSL's CMS machinery alone, for a P-256 key.
#include <benchmark/benchmark.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "libtessel/tessel.h"

namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(CMS_ContentInfo* p) const { CMS_ContentInfo_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
template <class T>
using Own = std::unique_ptr<T, Free>;

void need(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

// A key of the given kind and its self-signed certificate, as objects.
struct Pair {
  Own<EVP_PKEY> key;
  Own<X509> cert;

  explicit Pair(bool bign) {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));  // registers the algorithms
    const Own<EVP_PKEY_CTX> ctx(
        EVP_PKEY_CTX_new_id(bign ? OBJ_sn2nid("bign-pubkey") : EVP_PKEY_EC, nullptr));
    EVP_PKEY* k = nullptr;
    need(ctx && EVP_PKEY_keygen_init(ctx.get()) > 0, "keygen init");
    need(bign ? EVP_PKEY_CTX_ctrl_str(ctx.get(), "params", "A") > 0
              : EVP_PKEY_CTX_set_ec_paramgen_curve_nid(ctx.get(), NID_X9_62_prime256v1) > 0,
         "key parameters");
    need(EVP_PKEY_keygen(ctx.get(), &k) > 0, "keygen");
    key.reset(k);
    cert.reset(X509_new());
    X509* x = cert.get();
    int md = NID_undef;
    need(x && X509_set_version(x, 2) && ASN1_INTEGER_set(X509_get_serialNumber(x), 1) &&
             X509_NAME_add_entry_by_txt(X509_get_subject_name(x), "CN", MBSTRING_ASC,
                                        reinterpret_cast<const unsigned char*>("bench"), -1, -1,
                                        0) &&
             X509_set_issuer_name(x, X509_get_subject_name(x)) &&
             X509_gmtime_adj(X509_getm_notBefore(x), 0) &&
             X509_gmtime_adj(X509_getm_notAfter(x), 86400) && X509_set_pubkey(x, k) &&
             EVP_PKEY_get_default_digest_nid(k, &md) > 0 &&
             X509_sign(x, k, EVP_get_digestbynid(md)) > 0,
         "certificate");
  }
};

const std::vector<unsigned char>& kibibyte() {
  static const std::vector<unsigned char> v(1024, 0x5A);
  return v;
}

void digest_sign(benchmark::State& state, const Pair& pair) {
  const auto& m = kibibyte();
  int md = NID_undef;
  need(EVP_PKEY_get_default_digest_nid(pair.key.get(), &md) > 0, "default digest");
  std::vector<unsigned char> sig(static_cast<std::size_t>(EVP_PKEY_get_size(pair.key.get())));
  for (auto _ : state) {
    const Own<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    std::size_t n = sig.size();
    if (!ctx ||
        EVP_DigestSignInit(ctx.get(), nullptr, EVP_get_digestbynid(md), nullptr, pair.key.get()) <=
            0 ||
        EVP_DigestSign(ctx.get(), sig.data(), &n, m.data(), m.size()) <= 0)
      state.SkipWithError("sign failed");
    benchmark::DoNotOptimize(sig.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void cms_sign(benchmark::State& state, const Pair& pair) {
  const auto& m = kibibyte();
  const unsigned flags = CMS_DETACHED | CMS_BINARY | CMS_NOSMIMECAP;
  for (auto _ : state) {
    const Own<BIO> in(BIO_new_mem_buf(m.data(), static_cast<int>(m.size())));
    const Own<BIO> out(BIO_new(BIO_s_mem()));
    const Own<CMS_ContentInfo> cms(
        CMS_sign(pair.cert.get(), pair.key.get(), nullptr, in.get(), flags));
    if (!cms || i2d_CMS_bio(out.get(), cms.get()) <= 0) state.SkipWithError("CMS_sign failed");
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BignDigestSign1KiB(benchmark::State& state) {
  static const Pair pair(true);
  digest_sign(state, pair);
}
void BM_BignCmsSignParsed1KiB(benchmark::State& state) {
  static const Pair pair(true);
  cms_sign(state, pair);
}
void BM_P256DigestSign1KiB(benchmark::State& state) {
  static const Pair pair(false);
  digest_sign(state, pair);
}
void BM_P256CmsSignParsed1KiB(benchmark::State& state) {
  static const Pair pair(false);
  cms_sign(state, pair);
}

}  // namespace

BENCHMARK(BM_BignDigestSign1KiB);
BENCHMARK(BM_BignCmsSignParsed1KiB);
BENCHMARK(BM_P256DigestSign1KiB);
BENCHMARK(BM_P256CmsSignParsed1KiB);
