// CreateCertificate into index databases of 100, 1,000 and 10,000 rows: each
// call parses the whole database, indexes it and writes it back, so the time
// per certificate grows with the rows. CreateCRL over the same databases.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "libtessel/tessel.h"

namespace {

std::string drain(BIO* bio) {
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio, &p);
  return std::string(p, static_cast<std::size_t>(n));
}

const unsigned char* u8(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
int32_t size32(const std::string& s) {
  return static_cast<int32_t>(s.size());
}

// A level-128 CA: key, self-signed certificate, and a request of a holder
// (signed with the same key: the request's key does not matter here).
struct Ca {
  std::string key, cert, request;
  Ca() {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));  // registers the algorithms
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(OBJ_sn2nid("bign-pubkey"), nullptr);
    EVP_PKEY* pkey = nullptr;
    X509_REQ* req = X509_REQ_new();
    BIO* key_bio = BIO_new(BIO_s_mem());
    BIO* req_bio = BIO_new(BIO_s_mem());
    int md = NID_undef;
    const bool ok =
        ctx && EVP_PKEY_keygen_init(ctx) > 0 && EVP_PKEY_CTX_ctrl_str(ctx, "params", "A") > 0 &&
        EVP_PKEY_keygen(ctx, &pkey) > 0 && req && X509_REQ_set_pubkey(req, pkey) &&
        X509_NAME_add_entry_by_txt(X509_REQ_get_subject_name(req), "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>("bench holder"), -1, -1,
                                   0) &&
        EVP_PKEY_get_default_digest_nid(pkey, &md) > 0 &&
        X509_REQ_sign(req, pkey, EVP_get_digestbynid(md)) > 0 &&
        PEM_write_bio_PKCS8PrivateKey(key_bio, pkey, nullptr, nullptr, 0, nullptr, nullptr) > 0 &&
        PEM_write_bio_X509_REQ(req_bio, req) > 0;
    if (ok) {
      key = drain(key_bio);
      request = drain(req_bio);
    }
    BIO_free(key_bio);
    BIO_free(req_bio);
    X509_REQ_free(req);
    EVP_PKEY_free(pkey);
    EVP_PKEY_CTX_free(ctx);
    if (!ok) throw std::runtime_error("bign CA setup");
    // The CA certificate through the library itself.
    CRYPTOCASE* root = CreateCertificate(u8(request), size32(request), u8(key), size32(key),
                                         nullptr, nullptr, 0, nullptr, 0, nullptr, 0, "01", 1, 0);
    if (root == nullptr || root->status != 0) throw std::runtime_error("CA certificate");
    cert.assign(reinterpret_cast<const char*>(root->data),
                static_cast<std::size_t>(root->data_len));
    CRYPTOCASE_free(root);
  }
};

const Ca& ca() {
  static const Ca instance;
  return instance;
}

const std::string kConfig =
    "[ certificate ]\npolicy = p\nx509_extensions = e\n"
    "[ p ]\nCN = supplied\n[ e ]\nbasicConstraints = CA:false\n";

// rows valid rows with distinct serials and subjects; every tenth revoked.
std::string index_of(long rows) {
  std::string index;
  char line[128];
  for (long i = 1; i <= rows; ++i) {
    const bool revoked = i % 10 == 0;
    std::snprintf(line, sizeof line, "%s\t300101000000Z\t%s\t%08lX\tunknown\t/CN=holder %ld\n",
                  revoked ? "R" : "V", revoked ? "240101000000Z,superseded" : "", i, i);
    index += line;
  }
  return index;
}

void BM_CreateCertificate(benchmark::State& state) {
  const Ca& c = ca();
  const std::string index = index_of(state.range(0));
  for (auto _ : state) {
    CRYPTOCASE* rec = CreateCertificate(
        u8(c.request), size32(c.request), u8(c.key), size32(c.key), nullptr, u8(c.cert),
        size32(c.cert), u8(kConfig), size32(kConfig), u8(index), size32(index), "7FFFFFFF", 0, 0);
    if (rec == nullptr || rec->status != 0) state.SkipWithError("CreateCertificate failed");
    benchmark::DoNotOptimize(rec);
    CRYPTOCASE_free(rec);
  }
  state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_CreateCertificate)
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

void BM_CreateCRL(benchmark::State& state) {
  const Ca& c = ca();
  const std::string index = index_of(state.range(0));
  for (auto _ : state) {
    CRYPTOCASE* rec = CreateCRL(u8(c.key), size32(c.key), nullptr, u8(c.cert), size32(c.cert),
                                nullptr, 0, u8(index), size32(index), 1, 1);
    if (rec == nullptr || rec->status != 0) state.SkipWithError("CreateCRL failed");
    CRYPTOCASE_free(rec);
  }
  state.counters["revoked"] = static_cast<double>(state.range(0) / 10);
}
BENCHMARK(BM_CreateCRL)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
