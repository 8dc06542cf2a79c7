#include "stb/openssl/provider.h"

#include <openssl/core.h>
#include <openssl/core_dispatch.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>
#include <openssl/provider.h>

#include <cstdint>
#include <new>

#include "stb/bash/bash.h"
#include "stb/belt/hash.h"

namespace stb::openssl {
namespace {

// Level 0 stands for belt-hash (as in digests.cpp).
template <unsigned Level>
struct Digest {
  using Hash = bash::Hash;
  static constexpr std::size_t kSize = Level / 4;
  static constexpr std::size_t kBlock = bash::kStateSize - Level / 2;
  static bool start(Hash& h) { return h.init(Level); }
};

template <>
struct Digest<0> {
  using Hash = belt::Hash;
  static constexpr std::size_t kSize = belt::kHashSize;
  static constexpr std::size_t kBlock = belt::kHashBlockSize;
  static bool start(Hash& h) {
    h.init();
    return true;
  }
};

template <unsigned Level>
using HashOf = typename Digest<Level>::Hash;

template <unsigned Level>
void* newctx(void*) {
  return new (std::nothrow) HashOf<Level>();
}

template <unsigned Level>
void freectx(void* ctx) {
  delete static_cast<HashOf<Level>*>(ctx);
}

template <unsigned Level>
void* dupctx(void* ctx) {
  return new (std::nothrow) HashOf<Level>(*static_cast<const HashOf<Level>*>(ctx));
}

template <unsigned Level>
int init(void* ctx, const OSSL_PARAM*) {
  return Digest<Level>::start(*static_cast<HashOf<Level>*>(ctx)) ? 1 : 0;
}

template <unsigned Level>
int update(void* ctx, const unsigned char* in, std::size_t len) {
  static_cast<HashOf<Level>*>(ctx)->update(in, len);
  return 1;
}

template <unsigned Level>
int final(void* ctx, unsigned char* out, std::size_t* outl, std::size_t outsz) {
  if (outsz < Digest<Level>::kSize) return 0;
  static_cast<const HashOf<Level>*>(ctx)->final(out);
  *outl = Digest<Level>::kSize;
  return 1;
}

template <unsigned Level>
int get_params(OSSL_PARAM params[]) {
  OSSL_PARAM* p = OSSL_PARAM_locate(params, OSSL_DIGEST_PARAM_BLOCK_SIZE);
  if (p != nullptr && !OSSL_PARAM_set_size_t(p, Digest<Level>::kBlock)) return 0;
  p = OSSL_PARAM_locate(params, OSSL_DIGEST_PARAM_SIZE);
  if (p != nullptr && !OSSL_PARAM_set_size_t(p, Digest<Level>::kSize)) return 0;
  p = OSSL_PARAM_locate(params, OSSL_DIGEST_PARAM_XOF);
  if (p != nullptr && !OSSL_PARAM_set_int(p, 0)) return 0;
  p = OSSL_PARAM_locate(params, OSSL_DIGEST_PARAM_ALGID_ABSENT);
  if (p != nullptr && !OSSL_PARAM_set_int(p, 0)) return 0;
  return 1;
}

const OSSL_PARAM kDigestParams[] = {
    OSSL_PARAM_size_t(OSSL_DIGEST_PARAM_BLOCK_SIZE, nullptr),
    OSSL_PARAM_size_t(OSSL_DIGEST_PARAM_SIZE, nullptr),
    OSSL_PARAM_int(OSSL_DIGEST_PARAM_XOF, nullptr),
    OSSL_PARAM_int(OSSL_DIGEST_PARAM_ALGID_ABSENT, nullptr),
    OSSL_PARAM_END,
};

const OSSL_PARAM* gettable_params(void*) {
  return kDigestParams;
}

// OSSL_DISPATCH stores every function as void (*)(void).
template <class F>
void (*fn(F* f))() {
  return reinterpret_cast<void (*)()>(f);
}

template <unsigned Level>
const OSSL_DISPATCH kDigestFunctions[] = {
    {OSSL_FUNC_DIGEST_NEWCTX, fn(newctx<Level>)},
    {OSSL_FUNC_DIGEST_FREECTX, fn(freectx<Level>)},
    {OSSL_FUNC_DIGEST_DUPCTX, fn(dupctx<Level>)},
    {OSSL_FUNC_DIGEST_INIT, fn(init<Level>)},
    {OSSL_FUNC_DIGEST_UPDATE, fn(update<Level>)},
    {OSSL_FUNC_DIGEST_FINAL, fn(final<Level>)},
    {OSSL_FUNC_DIGEST_GET_PARAMS, fn(get_params<Level>)},
    {OSSL_FUNC_DIGEST_GETTABLE_PARAMS, fn(gettable_params)},
    {0, nullptr},
};

constexpr char kProperties[] = "provider=stb";

const OSSL_ALGORITHM kDigests[] = {
    {"belt-hash:1.2.112.0.2.0.34.101.31.81", kProperties, kDigestFunctions<0>, "belt-hash"},
    {"bash256:1.2.112.0.2.0.34.101.77.11", kProperties, kDigestFunctions<128>, "bash256"},
    {"bash384:1.2.112.0.2.0.34.101.77.12", kProperties, kDigestFunctions<192>, "bash384"},
    {"bash512:1.2.112.0.2.0.34.101.77.13", kProperties, kDigestFunctions<256>, "bash512"},
    {nullptr, nullptr, nullptr, nullptr},
};

const OSSL_ALGORITHM* query(void*, int operation, int* no_cache) {
  *no_cache = 0;
  return operation == OSSL_OP_DIGEST ? kDigests : nullptr;
}

const OSSL_PARAM kProviderParams[] = {
    OSSL_PARAM_utf8_ptr(OSSL_PROV_PARAM_NAME, nullptr, 0),
    OSSL_PARAM_int(OSSL_PROV_PARAM_STATUS, nullptr),
    OSSL_PARAM_END,
};

const OSSL_PARAM* provider_gettable(void*) {
  return kProviderParams;
}

int provider_get(void*, OSSL_PARAM params[]) {
  OSSL_PARAM* p = OSSL_PARAM_locate(params, OSSL_PROV_PARAM_NAME);
  if (p != nullptr && !OSSL_PARAM_set_utf8_ptr(p, "belt-hash and bash digests")) return 0;
  p = OSSL_PARAM_locate(params, OSSL_PROV_PARAM_STATUS);
  if (p != nullptr && !OSSL_PARAM_set_int(p, 1)) return 0;
  return 1;
}

const OSSL_DISPATCH kProviderFunctions[] = {
    {OSSL_FUNC_PROVIDER_QUERY_OPERATION, fn(query)},
    {OSSL_FUNC_PROVIDER_GETTABLE_PARAMS, fn(provider_gettable)},
    {OSSL_FUNC_PROVIDER_GET_PARAMS, fn(provider_get)},
    {0, nullptr},
};

// No per-load state; OpenSSL wants a non-null context all the same.
int provider_context;

int provider_init(const OSSL_CORE_HANDLE*, const OSSL_DISPATCH*, const OSSL_DISPATCH** out,
                  void** provctx) {
  *out = kProviderFunctions;
  *provctx = &provider_context;
  return 1;
}

OSSL_PROVIDER* loaded = nullptr;
OSSL_PROVIDER* fallback = nullptr;  // "default", when we had to load it

void unload() {
  OSSL_PROVIDER_unload(loaded);
  OSSL_PROVIDER_unload(fallback);
  loaded = nullptr;
  fallback = nullptr;
}

int count(OSSL_PROVIDER*, void* n) {
  ++*static_cast<int*>(n);
  return 1;
}

}  // namespace

bool start_provider() {
  if (loaded != nullptr) return true;
  // Walking the active providers makes OpenSSL activate its fallback
  // ("default") now if the configuration activated none; after our own
  // load it no longer would.
  int active = 0;
  OSSL_PROVIDER_do_all(nullptr, count, &active);
  if (active == 0 && (fallback = OSSL_PROVIDER_load(nullptr, "default")) == nullptr) return false;
  if (OSSL_PROVIDER_add_builtin(nullptr, kProviderName, provider_init)) {
    loaded = OSSL_PROVIDER_load(nullptr, kProviderName);
  }
  OPENSSL_atexit(unload);
  return loaded != nullptr;
}

}  // namespace stb::openssl
