// CreateCertificate into index databases of 100, 1,000 and 10,000 rows: each
// call parses the whole database, indexes it and writes it back, so the time
// per certificate grows with the rows. CreateCRL over the same databases.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "libtessel/tessel.h"

namespace {

const unsigned char* u8(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
int32_t size32(const std::string& s) {
  return static_cast<int32_t>(s.size());
}

// Takes the record's data (or key) and releases it; throws when it failed.
std::string take(CRYPTOCASE* rec, bool key, const char* what) {
  if (rec == nullptr || rec->status != 0) {
    CRYPTOCASE_free(rec);
    throw std::runtime_error(what);
  }
  const unsigned char* p = key ? rec->key : rec->data;
  const std::string out(reinterpret_cast<const char*>(p),
                        static_cast<std::size_t>(key ? rec->key_len : rec->data_len));
  CRYPTOCASE_free(rec);
  return out;
}

// A level-128 CA made by the library itself: key, a holder's request (signed
// with the same key: the request's key does not matter here) and the
// self-signed CA certificate.
struct Ca {
  std::string key, cert, request;
  Ca() {
    key = take(GenPrivateKey(128, nullptr, nullptr, 0), true, "CA key");
    CRYPTOCASE* info = REQUEST_INFO_Init();
    const std::string cn = "bench holder";
    if (info != nullptr) REQUEST_INFO_AddValue(info, 3, u8(cn), size32(cn));
    request = take(GenRequest(info, u8(key), size32(key), nullptr, nullptr, 0, TESSEL_FORM_PEM),
                   false, "holder request");
    cert = take(CreateCertificate(u8(request), size32(request), u8(key), size32(key), nullptr,
                                  nullptr, 0, nullptr, 0, nullptr, 0, "01", 1, 0),
                false, "CA certificate");
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
