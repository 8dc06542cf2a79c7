// belt-block modes, belt-mac and belt-hash throughput on 1 MiB buffers (256-bit key),
// beside OpenSSL's AES-256-CTR measured the same way. The plain names run the
// path chosen for this processor; the _avx2, _ssse3 and _portable runs force
// that path (skipped where the processor lacks it).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "stb/belt/hash.h"
#include "stb/belt/mac.h"
#include "stb/belt/modes.h"
#include "stb/belt/path.h"
#ifdef TESSEL_TABLE_BELT
#include "table_belt.h"
#endif

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

void BM_BeltHash(benchmark::State& s) {
  run(s, [](In, In, In in, Out out) {
    stb::belt::Hash::compute(in, kBufferSize, out);
    return true;
  });
}

#ifdef TESSEL_TABLE_BELT
// The table-driven belt-block of the constant-time checker (not constant
// time), as a stand-in for table-driven implementations such as the
// standards' reference one: blocks one after another (ECB) and chained
// through each output (the shape of CBC encryption and belt-mac).
template <bool Chained>
void table_blocks(benchmark::State& s) {
  const Bytes in = filled(kBufferSize, 3);
  const std::uint32_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::uint32_t chain[4] = {};
  for (auto _ : s) {
    for (std::size_t off = 0; off < kBufferSize; off += 16) {
      std::uint32_t x[4];
      std::memcpy(x, in.data() + off, 16);
      if constexpr (Chained) {
        for (int j = 0; j < 4; ++j) chain[j] ^= x[j];
        ct::table_encrypt(key, chain);
      } else {
        ct::table_encrypt(key, x);
        benchmark::DoNotOptimize(x);
      }
    }
    benchmark::DoNotOptimize(chain);
  }
  count_bytes(s);
}
BENCHMARK(table_blocks<false>)->Name("belt_ecb_table_driven/1MiB");
BENCHMARK(table_blocks<true>)->Name("belt_mac_table_driven/1MiB");
#endif

void BM_Aes256CtrEvp(benchmark::State& s) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  run(s, [ctx](In k, In iv, In in, Out out) {
    int n = 0;
    return EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, k, iv) == 1 &&
           EVP_EncryptUpdate(ctx, out, &n, in, static_cast<int>(kBufferSize)) == 1;
  });
  EVP_CIPHER_CTX_free(ctx);
}

// Every mode on every forced path: name/path.
template <class Bench>
void on_path(benchmark::State& s, Bench bench, stb::belt::Path p) {
  const stb::belt::Path saved = stb::belt::current_path();
  if (!stb::belt::set_path(p)) {
    s.SkipWithError("path not offered by this processor");
    for (auto _ : s) {
    }
    return;
  }
  bench(s);
  stb::belt::set_path(saved);
}

void register_paths() {
  using stb::belt::Path;
  const struct {
    const char* name;
    void (*fn)(benchmark::State&);
  } modes[] = {{"belt_ecb", BM_BeltEcb},           {"belt_ecb_decrypt", BM_BeltEcbDecrypt},
               {"belt_cbc", BM_BeltCbc},           {"belt_cbc_decrypt", BM_BeltCbcDecrypt},
               {"belt_cfb", BM_BeltCfb},           {"belt_cfb_decrypt", BM_BeltCfbDecrypt},
               {"belt_ctr", BM_BeltCtr},           {"belt_mac", BM_BeltMac},
               {"belt_hash", BM_BeltHash}};
  for (const auto& m : modes) {
    benchmark::RegisterBenchmark((std::string(m.name) + "/1MiB").c_str(), m.fn);
    for (const Path p : {Path::avx512, Path::avx2, Path::ssse3, Path::portable}) {
      const std::string name =
          std::string(m.name) + "_" + stb::belt::path_name(p) + "/1MiB";
      benchmark::RegisterBenchmark(name.c_str(), [fn = m.fn, p](benchmark::State& s) {
        on_path(s, fn, p);
      });
    }
  }
}

const bool kRegistered = (register_paths(), true);

BENCHMARK(BM_Aes256CtrEvp)->Name("aes256_ctr_evp/1MiB");

}  // namespace
