// libtessel keys and random numbers: GenPrivateKey at level 128 (key pairs
// per second, plain and password-protected) and CryptoPseudoRandom over
// 1 MiB beside OpenSSL's own generator.
#include <benchmark/benchmark.h>
#include <openssl/rand.h>

#include <cstdint>
#include <vector>

#include "libtessel/tessel.h"

namespace {

void BM_GenPrivateKey128(benchmark::State& state) {
  const char* password = state.range(0) != 0 ? "bench password" : nullptr;
  for (auto _ : state) {
    CRYPTOCASE* rec = GenPrivateKey(128, password, nullptr, 0);
    if (rec == nullptr || rec->status != 0) state.SkipWithError("GenPrivateKey failed");
    CRYPTOCASE_free(rec);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GenPrivateKey128)->Arg(0)->Arg(1)->ArgName("password");

constexpr int32_t kMiB = 1 << 20;

void BM_CryptoPseudoRandom1MiB(benchmark::State& state) {
  for (auto _ : state) {
    CRYPTOCASE* rec = CryptoPseudoRandom(kMiB / 32, nullptr, 0);
    if (rec == nullptr || rec->status != 0) state.SkipWithError("CryptoPseudoRandom failed");
    CRYPTOCASE_free(rec);
  }
  state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(BM_CryptoPseudoRandom1MiB);

void BM_OpenSslPrivateRandom1MiB(benchmark::State& state) {
  std::vector<unsigned char> out(kMiB);
  for (auto _ : state) {
    if (RAND_priv_bytes(out.data(), kMiB) != 1) state.SkipWithError("RAND_priv_bytes failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(BM_OpenSslPrivateRandom1MiB);

}  // namespace
