// belt-block modes and belt-mac throughput on 1 MiB buffers (256-bit key),
// beside OpenSSL's AES-256-CTR measured the same way. The *_portable runs
// switch off the AVX-512 path of the parallel modes.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "stb/belt/mac.h"
#include "stb/belt/modes.h"
#include "stb/belt/wide.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBufferSize = 1 << 20;

Bytes filled(std::size_t n, unsigned seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 131 + seed);
  return b;
}

void count_bytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kBufferSize));
}

// fn(key, iv, in, out) runs one whole buffer.
template <class Fn>
void run(benchmark::State& state, Fn fn) {
  const Bytes key = filled(32, 1), iv = filled(16, 2), in = filled(kBufferSize, 3);
  Bytes out(kBufferSize);
  for (auto _ : state) {
    if (!fn(key.data(), iv.data(), in.data(), out.data())) {
      state.SkipWithError("failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  count_bytes(state);
}

using stb::belt::Cbc;
using stb::belt::Cfb;
using stb::belt::Ctr;
using stb::belt::Ecb;
using In = const std::uint8_t*;
using Out = std::uint8_t*;

void BM_BeltEcb(benchmark::State& s) {
  run(s, [](In k, In, In in, Out out) { return Ecb::encrypt(k, 32, in, kBufferSize, out); });
}
void BM_BeltEcbDecrypt(benchmark::State& s) {
  run(s, [](In k, In, In in, Out out) { return Ecb::decrypt(k, 32, in, kBufferSize, out); });
}
void BM_BeltCbc(benchmark::State& s) {
  run(s, [](In k, In iv, In in, Out out) { return Cbc::encrypt(k, 32, iv, in, kBufferSize, out); });
}
void BM_BeltCbcDecrypt(benchmark::State& s) {
  run(s, [](In k, In iv, In in, Out out) { return Cbc::decrypt(k, 32, iv, in, kBufferSize, out); });
}
void BM_BeltCfb(benchmark::State& s) {
  run(s, [](In k, In iv, In in, Out out) { return Cfb::encrypt(k, 32, iv, in, kBufferSize, out); });
}
void BM_BeltCfbDecrypt(benchmark::State& s) {
  run(s, [](In k, In iv, In in, Out out) { return Cfb::decrypt(k, 32, iv, in, kBufferSize, out); });
}
void BM_BeltCtr(benchmark::State& s) {
  run(s, [](In k, In iv, In in, Out out) { return Ctr::crypt(k, 32, iv, in, kBufferSize, out); });
}
void BM_BeltMac(benchmark::State& s) {
  run(s, [](In k, In, In in, Out out) {
    return stb::belt::Mac::compute(k, 32, in, kBufferSize, out);
  });
}

// The same with the 16-block vector path off: the table-driven code alone.
template <class Bench>
void portable(benchmark::State& s, Bench bench) {
  stb::belt::detail::set_wide_enabled(false);
  bench(s);
  stb::belt::detail::set_wide_enabled(true);
}
void BM_BeltEcbPortable(benchmark::State& s) {
  portable(s, BM_BeltEcb);
}
void BM_BeltCbcDecryptPortable(benchmark::State& s) {
  portable(s, BM_BeltCbcDecrypt);
}
void BM_BeltCfbDecryptPortable(benchmark::State& s) {
  portable(s, BM_BeltCfbDecrypt);
}
void BM_BeltCtrPortable(benchmark::State& s) {
  portable(s, BM_BeltCtr);
}

void BM_Aes256CtrEvp(benchmark::State& s) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  run(s, [ctx](In k, In iv, In in, Out out) {
    int n = 0;
    return EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, k, iv) == 1 &&
           EVP_EncryptUpdate(ctx, out, &n, in, static_cast<int>(kBufferSize)) == 1;
  });
  EVP_CIPHER_CTX_free(ctx);
}

BENCHMARK(BM_BeltEcb)->Name("belt_ecb/1MiB");
BENCHMARK(BM_BeltEcbDecrypt)->Name("belt_ecb_decrypt/1MiB");
BENCHMARK(BM_BeltCbc)->Name("belt_cbc/1MiB");
BENCHMARK(BM_BeltCbcDecrypt)->Name("belt_cbc_decrypt/1MiB");
BENCHMARK(BM_BeltCfb)->Name("belt_cfb/1MiB");
BENCHMARK(BM_BeltCfbDecrypt)->Name("belt_cfb_decrypt/1MiB");
BENCHMARK(BM_BeltCtr)->Name("belt_ctr/1MiB");
BENCHMARK(BM_BeltMac)->Name("belt_mac/1MiB");
BENCHMARK(BM_BeltEcbPortable)->Name("belt_ecb_portable/1MiB");
BENCHMARK(BM_BeltCbcDecryptPortable)->Name("belt_cbc_decrypt_portable/1MiB");
BENCHMARK(BM_BeltCfbDecryptPortable)->Name("belt_cfb_decrypt_portable/1MiB");
BENCHMARK(BM_BeltCtrPortable)->Name("belt_ctr_portable/1MiB");
BENCHMARK(BM_Aes256CtrEvp)->Name("aes256_ctr_evp/1MiB");

}  // namespace
