// libtessel overhead: CreateSignP7S (DER, detached, 1 KiB, level 128) beside
// the bare bign signature, and CreateDigest("bash256") over 1 MiB beside the
// bare bash256, all in one run.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "libtessel/tessel.h"
#include "stb/bash/bash.h"
#include "stb/bign/curves.h"
#include "stb/bign/digest.h"
#include "stb/bign/keys.h"
#include "stb/bign/sign.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace bign = stb::bign;

// The bash-f path the processor gets by default (other benchmarks force
// paths in this program's copy of the hash).
const stb::bash::Path kDefaultPath = stb::bash::current_path();

std::string pem_of(BIO* bio) {
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio, &p);
  return std::string(p, static_cast<std::size_t>(n));
}

void need(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

// A level-128 bign key as PKCS#8 PEM and its self-signed certificate.
struct Signer {
  std::string key, cert;
  Signer() {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));  // registers the algorithms
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(OBJ_sn2nid("bign-pubkey"), nullptr);
    EVP_PKEY* pkey = nullptr;
    X509* x = X509_new();
    BIO* key_bio = BIO_new(BIO_s_mem());
    BIO* cert_bio = BIO_new(BIO_s_mem());
    int md = NID_undef;
    const bool ok =
        ctx && EVP_PKEY_keygen_init(ctx) > 0 && EVP_PKEY_CTX_ctrl_str(ctx, "params", "A") > 0 &&
        EVP_PKEY_keygen(ctx, &pkey) > 0 && x && X509_set_version(x, 2) &&
        ASN1_INTEGER_set(X509_get_serialNumber(x), 1) &&
        X509_NAME_add_entry_by_txt(X509_get_subject_name(x), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("bench"), -1, -1, 0) &&
        X509_set_issuer_name(x, X509_get_subject_name(x)) &&
        X509_gmtime_adj(X509_getm_notBefore(x), 0) &&
        X509_gmtime_adj(X509_getm_notAfter(x), 86400) && X509_set_pubkey(x, pkey) &&
        EVP_PKEY_get_default_digest_nid(pkey, &md) > 0 &&
        X509_sign(x, pkey, EVP_get_digestbynid(md)) > 0 &&
        PEM_write_bio_PKCS8PrivateKey(key_bio, pkey, nullptr, nullptr, 0, nullptr, nullptr) > 0 &&
        PEM_write_bio_X509(cert_bio, x) > 0;
    if (ok) {
      key = pem_of(key_bio);
      cert = pem_of(cert_bio);
    }
    BIO_free(key_bio);
    BIO_free(cert_bio);
    X509_free(x);
    EVP_PKEY_free(pkey);
    EVP_PKEY_CTX_free(ctx);
    need(ok, "bign signer setup");
  }
};

const unsigned char* u8(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
int32_t len32(std::size_t n) {
  return static_cast<int32_t>(n);
}

void BM_TesselCreateSignP7S(benchmark::State& state) {
  static const Signer signer;
  const Bytes content(1024, 0x5A);
  for (auto _ : state) {
    CRYPTOCASE* rec = CreateSignP7S(
        content.data(), len32(content.size()), u8(signer.key), len32(signer.key.size()), nullptr,
        u8(signer.cert), len32(signer.cert.size()), TESSEL_FORM_DER, TESSEL_CMS_DETACHED);
    if (rec == nullptr || rec->status != TESSEL_OK) state.SkipWithError("CreateSignP7S failed");
    CRYPTOCASE_free(rec);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_TesselBareBignSign(benchmark::State& state) {
  constexpr unsigned kLevel = 128;
  Bytes d(bign::private_key_size(kLevel)), q(bign::public_key_size(kLevel));
  Bytes h(bign::hash_size(kLevel), 0x5A), sig(bign::signature_size(kLevel));
  const bign::HashInfo& info = bign::hash_info(bign::default_hash(kLevel));
  const Bytes oid(info.der, info.der + bign::kHashOidDerSize);
  need(bign::generate_keypair(kLevel, d, q), "bign key pair");
  for (auto _ : state) {
    if (!bign::sign(kLevel, oid, h, d, sig)) state.SkipWithError("sign failed");
    benchmark::DoNotOptimize(sig.data());
  }
  state.SetItemsProcessed(state.iterations());
}

const Bytes& mebibyte() {
  static const Bytes m = [] {
    Bytes v(1 << 20);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 29 + 3);
    return v;
  }();
  return m;
}

void BM_TesselCreateDigestBash256(benchmark::State& state) {
  const Bytes& m = mebibyte();
  for (auto _ : state) {
    CRYPTOCASE* rec = CreateDigest("bash256", m.data(), len32(m.size()));
    if (rec == nullptr || rec->status != TESSEL_OK) state.SkipWithError("CreateDigest failed");
    CRYPTOCASE_free(rec);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(m.size()));
}

void BM_TesselBareBash256(benchmark::State& state) {
  stb::bash::set_path(kDefaultPath);
  const Bytes& m = mebibyte();
  std::uint8_t out[32];
  for (auto _ : state) {
    stb::bash::Hash::compute(128, m.data(), m.size(), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(m.size()));
}

// ---- Certificate requests: a three-value subject at level 128, DER.
CRYPTOCASE* bench_request(const Signer& signer) {
  CRYPTOCASE* rec = REQUEST_INFO_Init();
  const std::string values[] = {"bench user", "BY", "Tessel"};
  const uint32_t types[] = {3, 6, 10};
  for (int i = 0; i < 3; ++i)
    REQUEST_INFO_AddValue(rec, types[i], u8(values[i]), len32(values[i].size()));
  return GenRequest(rec, u8(signer.key), len32(signer.key.size()), nullptr, nullptr, 0,
                    TESSEL_FORM_DER);
}

void BM_TesselGenRequest(benchmark::State& state) {
  static const Signer signer;
  for (auto _ : state) {
    CRYPTOCASE* rec = bench_request(signer);
    if (rec == nullptr || rec->status != TESSEL_OK) state.SkipWithError("GenRequest failed");
    CRYPTOCASE_free(rec);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_TesselVerifyRequest(benchmark::State& state) {
  static const Signer signer;
  CRYPTOCASE* req = bench_request(signer);
  need(req != nullptr && req->status == TESSEL_OK, "request setup");
  for (auto _ : state) {
    CRYPTOCASE* rec = VerifyRequest(req->data, req->data_len);
    if (rec == nullptr || rec->status != TESSEL_OK) state.SkipWithError("VerifyRequest failed");
    CRYPTOCASE_free(rec);
  }
  CRYPTOCASE_free(req);
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_TesselBareBignSign);
BENCHMARK(BM_TesselCreateSignP7S);
BENCHMARK(BM_TesselBareBash256);
BENCHMARK(BM_TesselCreateDigestBash256);
BENCHMARK(BM_TesselGenRequest);
BENCHMARK(BM_TesselVerifyRequest);
