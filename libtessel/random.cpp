// Random numbers: OpenSSL's private generator, the processor's generator
// through the "rdrand" ENGINE, the national generators brng-ctr-hbelt and
// brng-hmac-hbelt, the seeded mixer and the library's own pseudo-random
// generator that every key comes from.
#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/rand.h>

#include <climits>
#include <cstddef>
#include <cstring>

#include "libtessel/internal/md_steps.h"
#include "libtessel/internal/ossl.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

constexpr std::size_t kBlock = 32;
// One byte more than two blocks of fresh input to the mixer.
constexpr std::size_t kMixerFreshBytes = 65;
constexpr char kRdrandEngine[] = "rdrand";

CRYPTOCASE* answer(CRYPTOCASE* rec, int32_t status) {
  rec->status = status;
  return rec;
}

// n blocks in bytes; 0 when n is no positive count or the bytes would not
// fit a buffer length.
std::size_t block_bytes(int32_t n) {
  if (n <= 0 || n > INT32_MAX / static_cast<int32_t>(kBlock)) return 0;
  return static_cast<std::size_t>(n) * kBlock;
}

// A byte input may be absent only when it is empty.
bool usable(const unsigned char* p, int32_t len) {
  return len >= 0 && (p != nullptr || len == 0);
}

bool fill_fresh(const SecretBytes& buf) {
  return RAND_priv_bytes(buf.get(), static_cast<int>(buf.size())) >= 1;
}

// brng-ctr-hbelt over fresh input blocks, into rec's data.
int32_t ctr_into(CRYPTOCASE* rec, int32_t n, const unsigned char* key, const unsigned char* start) {
  const std::size_t len = block_bytes(n);
  if (len == 0) return TESSEL_NO_MEMORY;
  SecretBytes work(len);
  SecretBytes out(len);
  if (!work || !out) return TESSEL_NO_MEMORY;
  if (!fill_fresh(work)) return TESSEL_RANDOM_FAILED;
  if (brng_ctr_hbelt(len / kBlock, key, start, work.get(), len, out.get()) != 0)
    return TESSEL_RANDOM_FAILED;
  out.hand_to(&rec->data, &rec->data_len);
  return TESSEL_OK;
}

// The ENGINE's references: ENGINE_by_id's structural one, ENGINE_init's
// functional one once taken.
struct EngineHold {
  ENGINE* e = nullptr;
  bool initialised = false;
  ~EngineHold() {
    if (initialised) ENGINE_finish(e);
    ENGINE_free(e);
  }
};

}  // namespace
}  // namespace tessel

using tessel::answer;
using tessel::SecretBytes;

extern "C" {

TESSEL_API CRYPTOCASE* GenRandomSystem(int32_t length) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  SecretBytes out(length > 0 ? static_cast<std::size_t>(length) : 0);
  if (!out) return answer(rec, TESSEL_NO_MEMORY);
  if (!tessel::fill_fresh(out)) return answer(rec, TESSEL_RANDOM_FAILED);
  out.hand_to(&rec->data, &rec->data_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* GenRandomIntel(int32_t length) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  static_cast<void>(OPENSSL_init_crypto(OPENSSL_INIT_ENGINE_RDRAND, nullptr));
  tessel::EngineHold engine;
  engine.e = ENGINE_by_id(tessel::kRdrandEngine);
  if (engine.e == nullptr) {
    // The search may also have tried to load a module of that name.
    ERR_clear_error();
    return answer(rec, TESSEL_NO_RDRAND);
  }
  engine.initialised = ENGINE_init(engine.e) == 1;
  if (!engine.initialised || !ENGINE_set_default(engine.e, ENGINE_METHOD_RAND))
    return answer(rec, TESSEL_NO_RDRAND);
  SecretBytes out(length > 0 ? static_cast<std::size_t>(length) : 0);
  if (!out) return answer(rec, TESSEL_NO_MEMORY);
  if (RAND_bytes(out.get(), length) < 1) return answer(rec, TESSEL_RANDOM_FAILED);
  out.hand_to(&rec->data, &rec->data_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* GenRandomCTR(int32_t n, const unsigned char* key,
                                    const unsigned char* start) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  // Both are fixed-size inputs without a length: all that can be checked.
  if (key == nullptr || start == nullptr) return answer(rec, TESSEL_BAD_LENGTH);
  return answer(rec, tessel::ctr_into(rec, n, key, start));
}

TESSEL_API CRYPTOCASE* GenRandomHMAC(int32_t n, const unsigned char* key, int32_t key_len,
                                     const unsigned char* start, int32_t start_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const std::size_t len = tessel::block_bytes(n);
  SecretBytes out(len);
  if (!out) return answer(rec, TESSEL_NO_MEMORY);
  if (!tessel::usable(key, key_len) || !tessel::usable(start, start_len))
    return answer(rec, TESSEL_BAD_LENGTH);
  if (brng_hmac_hbelt(len / tessel::kBlock, key, static_cast<std::size_t>(key_len), start,
                      static_cast<std::size_t>(start_len), out.get()) != 0)
    return answer(rec, TESSEL_RANDOM_FAILED);
  out.hand_to(&rec->data, &rec->data_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* CryptoRandom(const unsigned char* seed, int32_t seed_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  SecretBytes fresh(tessel::kMixerFreshBytes);
  if (!fresh) return answer(rec, TESSEL_NO_MEMORY);
  if (!tessel::fill_fresh(fresh)) return answer(rec, TESSEL_RANDOM_FAILED);
  tessel::InnerCase digest(CreateDigest_Init(tessel::kBash256));
  if (!digest) return answer(rec, TESSEL_NO_MEMORY);
  if (digest->status == TESSEL_OK) tessel::md_update(digest.get(), seed, seed_len);
  if (digest->status == TESSEL_OK)
    tessel::md_update(digest.get(), fresh.get(), static_cast<int32_t>(fresh.size()));
  if (digest->status == TESSEL_OK) CreateDigest_Final(digest.get());
  if (digest->status != TESSEL_OK) return answer(rec, digest->status);
  if (!tessel::set_buffer(&rec->data, &rec->data_len, digest->digest,
                          static_cast<std::size_t>(digest->digest_len)))
    return answer(rec, TESSEL_NO_MEMORY);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* CryptoPseudoRandom(int32_t n, const unsigned char* seed, int32_t seed_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  SecretBytes key(tessel::kBlock);
  SecretBytes start(tessel::kBlock);
  if (!key || !start) return answer(rec, TESSEL_NO_MEMORY);
  if (seed != nullptr) {
    const tessel::InnerCase mixed(CryptoRandom(seed, seed_len));
    if (!mixed) return answer(rec, TESSEL_NO_MEMORY);
    if (mixed->status != TESSEL_OK) return answer(rec, mixed->status);
    if (mixed->data_len != static_cast<int32_t>(tessel::kBlock))
      return answer(rec, TESSEL_RANDOM_FAILED);
    std::memcpy(key.get(), mixed->data, tessel::kBlock);
  } else if (!tessel::fill_fresh(key)) {
    return answer(rec, TESSEL_RANDOM_FAILED);
  }
  if (!tessel::fill_fresh(start)) return answer(rec, TESSEL_RANDOM_FAILED);
  return answer(rec, tessel::ctr_into(rec, n, key.get(), start.get()));
}

}  // extern "C"
