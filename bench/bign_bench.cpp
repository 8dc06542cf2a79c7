// bign: signatures, verifications, key pairs and tokens per second at each
// level (the argument is the level l).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "stb/bign/curves.h"
#include "stb/bign/digest.h"
#include "stb/bign/keys.h"
#include "stb/bign/sign.h"
#include "stb/bign/token.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace bign = stb::bign;

struct Setup {
  unsigned level;
  Bytes d, q, oid, h, sig;

  explicit Setup(unsigned l)
      : level(l),
        d(bign::private_key_size(l)),
        q(bign::public_key_size(l)),
        h(bign::hash_size(l), 0x5A),
        sig(bign::signature_size(l)) {
    const bign::HashInfo& info = bign::hash_info(bign::default_hash(l));
    oid.assign(info.der, info.der + bign::kHashOidDerSize);
    if (!bign::generate_keypair(l, d, q) || !bign::sign(l, oid, h, d, sig)) {
      throw std::runtime_error("bign setup failed");
    }
  }
};

unsigned level_of(const benchmark::State& state) {
  return static_cast<unsigned>(state.range(0));
}

void BM_BignSign(benchmark::State& state) {
  Setup s(level_of(state));
  Bytes sig(s.sig.size());
  for (auto _ : state) {
    if (!bign::sign(s.level, s.oid, s.h, s.d, sig)) state.SkipWithError("sign failed");
    benchmark::DoNotOptimize(sig.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BignVerify(benchmark::State& state) {
  Setup s(level_of(state));
  for (auto _ : state) {
    if (!bign::verify(s.level, s.oid, s.h, s.sig, s.q)) state.SkipWithError("verify failed");
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BignKeyPair(benchmark::State& state) {
  const unsigned level = level_of(state);
  Bytes d(bign::private_key_size(level)), q(bign::public_key_size(level));
  for (auto _ : state) {
    if (!bign::generate_keypair(level, d, q)) state.SkipWithError("keypair failed");
    benchmark::DoNotOptimize(q.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BignTokenCreate(benchmark::State& state) {
  Setup s(level_of(state));
  const Bytes key(32, 0x11), header(bign::kTokenHeaderSize, 0);
  Bytes token(bign::token_size(s.level, key.size()));
  for (auto _ : state) {
    if (!bign::token_create(s.level, key, header, s.q, token)) state.SkipWithError("token failed");
    benchmark::DoNotOptimize(token.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BignTokenDecode(benchmark::State& state) {
  Setup s(level_of(state));
  const Bytes key(32, 0x11), header(bign::kTokenHeaderSize, 0);
  Bytes token(bign::token_size(s.level, key.size())), out(key.size());
  if (!bign::token_create(s.level, key, header, s.q, token)) state.SkipWithError("token failed");
  for (auto _ : state) {
    if (bign::token_decode(s.level, token, header, s.d, out) != bign::TokenResult::ok) {
      state.SkipWithError("decode failed");
    }
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_BignSign)->Name("bign_sign")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_BignVerify)->Name("bign_verify")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_BignKeyPair)->Name("bign_keypair")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_BignTokenCreate)->Name("bign_token_create")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_BignTokenDecode)->Name("bign_token_decode")->Arg(128)->Arg(192)->Arg(256);

}  // namespace
