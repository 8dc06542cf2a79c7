// bign: signatures, verifications, key pairs and tokens per second at each
// level (the argument is the level l).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "stb/bign/curves.h"
#include "stb/bign/digest.h"
#include "stb/bign/keys.h"
#include "stb/bign/sign.h"
#include "stb/bign/token.h"
#include "stb/stb.h"

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

// The same through OpenSSL: EVP_DigestSign / EVP_DigestVerify of 32 octets
// (init included, as a caller pays it per message), for bign keys made by
// name and for OpenSSL's own ECDSA beside them: P-256 with SHA-256, P-384
// with SHA-384, P-521 with SHA-512 (the curves of the same strength as bign's
// levels 128, 192 and 256).
struct EvpKey {
  EVP_PKEY* key = nullptr;
  EvpKey(const EvpKey&) = delete;
  EvpKey& operator=(const EvpKey&) = delete;
  explicit EvpKey(EVP_PKEY_CTX* ctx, const char* param_name, const char* param_value) {
    if (ctx != nullptr && EVP_PKEY_keygen_init(ctx) == 1 &&
        EVP_PKEY_CTX_ctrl_str(ctx, param_name, param_value) == 1) {
      EVP_PKEY_keygen(ctx, &key);
    }
    EVP_PKEY_CTX_free(ctx);
  }
  ~EvpKey() { EVP_PKEY_free(key); }
};

EvpKey bign_evp_key(unsigned level) {
  if (STB_register() != 1) return EvpKey(nullptr, nullptr, nullptr);
  const char* letter = level == 128 ? "A" : level == 192 ? "B" : "C";
  return EvpKey(EVP_PKEY_CTX_new_from_name(nullptr, "bign-pubkey", nullptr), "params", letter);
}

EvpKey ec_key(const char* curve) {
  return EvpKey(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr), "ec_paramgen_curve", curve);
}

bool evp_sign(EVP_PKEY* key, const EVP_MD* md, const Bytes& msg, Bytes& sig) {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  std::size_t len = sig.size();
  const bool ok = EVP_DigestSignInit(ctx, nullptr, md, nullptr, key) == 1 &&
                  EVP_DigestSign(ctx, sig.data(), &len, msg.data(), msg.size()) == 1;
  EVP_MD_CTX_free(ctx);
  sig.resize(ok ? len : 0);
  return ok;
}

bool evp_verify(EVP_PKEY* key, const EVP_MD* md, const Bytes& msg, const Bytes& sig) {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = EVP_DigestVerifyInit(ctx, nullptr, md, nullptr, key) == 1 &&
                  EVP_DigestVerify(ctx, sig.data(), sig.size(), msg.data(), msg.size()) == 1;
  EVP_MD_CTX_free(ctx);
  return ok;
}

// md null: the key's default digest.
void evp_sign_loop(benchmark::State& state, EVP_PKEY* key, const EVP_MD* md) {
  const Bytes msg(32, 0x5A);
  Bytes sig(256);
  if (key == nullptr) state.SkipWithError("no key");
  for (auto _ : state) {
    sig.resize(256);
    if (!evp_sign(key, md, msg, sig)) state.SkipWithError("sign failed");
    benchmark::DoNotOptimize(sig.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void evp_verify_loop(benchmark::State& state, EVP_PKEY* key, const EVP_MD* md) {
  const Bytes msg(32, 0x5A);
  Bytes sig(256);
  if (key == nullptr || !evp_sign(key, md, msg, sig)) state.SkipWithError("no signature");
  for (auto _ : state) {
    if (!evp_verify(key, md, msg, sig)) state.SkipWithError("verify failed");
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BignEvpSign(benchmark::State& state) {
  const EvpKey k = bign_evp_key(level_of(state));
  evp_sign_loop(state, k.key, nullptr);
}

void BM_BignEvpVerify(benchmark::State& state) {
  const EvpKey k = bign_evp_key(level_of(state));
  evp_verify_loop(state, k.key, nullptr);
}

// The argument is bign's level; the curve of the same strength signs.
struct EcCurve {
  const char* name;
  const EVP_MD* (*md)();
};

EcCurve ec_curve(const benchmark::State& state) {
  switch (level_of(state)) {
    case 192:
      return {"P-384", EVP_sha384};
    case 256:
      return {"P-521", EVP_sha512};
    default:
      return {"P-256", EVP_sha256};
  }
}

void BM_EcdsaSign(benchmark::State& state) {
  const EcCurve c = ec_curve(state);
  const EvpKey k = ec_key(c.name);
  evp_sign_loop(state, k.key, c.md());
}

void BM_EcdsaVerify(benchmark::State& state) {
  const EcCurve c = ec_curve(state);
  const EvpKey k = ec_key(c.name);
  evp_verify_loop(state, k.key, c.md());
}

BENCHMARK(BM_BignEvpSign)->Name("bign_evp_sign/32B")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_BignEvpVerify)->Name("bign_evp_verify/32B")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_EcdsaSign)->Name("ecdsa_evp_sign/32B")->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_EcdsaVerify)->Name("ecdsa_evp_verify/32B")->Arg(128)->Arg(192)->Arg(256);

}  // namespace
