// bash256 / bash512 throughput on 1 MiB messages for each bash-f path and the
// dispatched default, beside OpenSSL's SHA-256 and SHA3-256 measured the same
// way (one call hashing the whole buffer per iteration).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "stb/bash/bash.h"

namespace {

constexpr std::size_t kMessage = 1 << 20;

const std::vector<std::uint8_t>& message() {
  static const std::vector<std::uint8_t> m = [] {
    std::vector<std::uint8_t> v(kMessage);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 29 + 3);
    return v;
  }();
  return m;
}

enum class Choice { portable, avx2, avx512, dispatched };

// The path f() picks on its own, fixed before any benchmark forces one.
const stb::bash::Path kDefaultPath = stb::bash::current_path();

void bm_bash(benchmark::State& state, unsigned level, Choice choice) {
  if (choice != Choice::dispatched) {
    const auto path = static_cast<stb::bash::Path>(choice);
    if (!stb::bash::set_path(path)) {
      state.SkipWithError("this processor does not offer that bash-f path");
      return;
    }
  }
  const auto& m = message();
  std::uint8_t out[64];
  for (auto _ : state) {
    stb::bash::Hash::compute(level, m.data(), m.size(), out);
    benchmark::DoNotOptimize(out);
  }
  stb::bash::set_path(kDefaultPath);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(m.size()));
}

void bm_evp(benchmark::State& state, const char* name) {
  EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  if (md == nullptr) {
    state.SkipWithError("digest not available");
    return;
  }
  const auto& m = message();
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  for (auto _ : state) {
    EVP_Digest(m.data(), m.size(), out, &len, md, nullptr);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_free(md);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(m.size()));
}

}  // namespace

BENCHMARK_CAPTURE(bm_bash, bash256_portable, 128u, Choice::portable)->Name("bash256_portable/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash256_avx2, 128u, Choice::avx2)->Name("bash256_avx2/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash256_avx512, 128u, Choice::avx512)->Name("bash256_avx512/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash256_default, 128u, Choice::dispatched)->Name("bash256_default/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash512_portable, 256u, Choice::portable)->Name("bash512_portable/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash512_avx2, 256u, Choice::avx2)->Name("bash512_avx2/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash512_avx512, 256u, Choice::avx512)->Name("bash512_avx512/1MiB");
BENCHMARK_CAPTURE(bm_bash, bash512_default, 256u, Choice::dispatched)->Name("bash512_default/1MiB");
BENCHMARK_CAPTURE(bm_evp, openssl_sha256, "SHA256")->Name("sha256_evp/1MiB");
BENCHMARK_CAPTURE(bm_evp, openssl_sha3_256, "SHA3-256")->Name("sha3_256_evp/1MiB");
