// belt-hash throughput on 1 MiB messages (OpenSSL's SHA-256 beside it is in
// bash_bench.cpp).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "stb/belt/hash.h"

namespace {

constexpr std::size_t kMessageSize = 1 << 20;

std::vector<std::uint8_t> message() {
  std::vector<std::uint8_t> m(kMessageSize);
  for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return m;
}

void BM_BeltHash1MiB(benchmark::State& state) {
  const auto m = message();
  std::uint8_t out[stb::belt::kHashSize];
  for (auto _ : state) {
    stb::belt::Hash::compute(m.data(), m.size(), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(m.size()));
}
BENCHMARK(BM_BeltHash1MiB)->Name("belt_hash/1MiB");

}  // namespace
