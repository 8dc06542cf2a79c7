// libtessel encryption overhead: Encrypt("belt-ctr256") over 1 MiB beside
// the bare belt-ctr of stb/belt in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "libtessel/tessel.h"
#include "stb/belt/modes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes& message() {
  static const Bytes m = [] {
    Bytes v(std::size_t{1} << 20);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return v;
  }();
  return m;
}

constexpr std::uint8_t kKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                   17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
constexpr std::uint8_t kIv[16] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
                                  0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};

void BM_TesselEncryptBeltCtr256(benchmark::State& state) {
  const Bytes& m = message();
  for (auto _ : state) {
    CRYPTOCASE* rec = Encrypt("belt-ctr256", m.data(), static_cast<int32_t>(m.size()), kKey, kIv);
    if (rec == nullptr || rec->status != TESSEL_OK) state.SkipWithError("Encrypt failed");
    CRYPTOCASE_free(rec);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message().size()));
}

// The same call with the release outside the timing: CRYPTOCASE_free wipes
// the megabyte with OPENSSL_cleanse, whose cost shows here by difference.
void BM_TesselEncryptBeltCtr256NoRelease(benchmark::State& state) {
  const Bytes& m = message();
  for (auto _ : state) {
    CRYPTOCASE* rec = Encrypt("belt-ctr256", m.data(), static_cast<int32_t>(m.size()), kKey, kIv);
    if (rec == nullptr || rec->status != TESSEL_OK) state.SkipWithError("Encrypt failed");
    state.PauseTiming();
    CRYPTOCASE_free(rec);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message().size()));
}

// The same work without the library: one output buffer per message, as the
// library allocates one.
void BM_TesselBareBeltCtr256(benchmark::State& state) {
  const Bytes& m = message();
  for (auto _ : state) {
    Bytes out(m.size());
    if (!stb::belt::Ctr::crypt(kKey, sizeof kKey, kIv, m.data(), m.size(), out.data()))
      state.SkipWithError("belt-ctr failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message().size()));
}

}  // namespace

BENCHMARK(BM_TesselBareBeltCtr256);
BENCHMARK(BM_TesselEncryptBeltCtr256);
BENCHMARK(BM_TesselEncryptBeltCtr256NoRelease);
