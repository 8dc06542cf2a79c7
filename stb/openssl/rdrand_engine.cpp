#include "stb/openssl/rdrand_engine.h"

#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/rand.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define STB_HAVE_RDRAND 1
#endif

namespace stb::openssl {
namespace {

constexpr char kName[] = "RDRAND processor random numbers";
// The processor vendor's advice: a draw that reports no value may be retried
// (the generator is reseeding); ten failures in a row mean it is broken.
constexpr int kTries = 10;
// Draws compared at initialisation: a generator that repeats one value
// (firmware faults are known to answer all ones) is not used.
constexpr int kHealthDraws = 4;

#ifdef STB_HAVE_RDRAND

bool cpu_has_rdrand() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(1, &a, &b, &c, &d) != 0 && (c & bit_RDRND) != 0;
}

// Compiled for the instruction here only: the rest of the build runs on
// processors without it, and this is reached only after the CPUID check.
__attribute__((target("rdrnd"))) bool draw(std::uint64_t& out) {
  for (int i = 0; i < kTries; ++i) {
    unsigned long long v = 0;
    if (_rdrand64_step(&v) != 0) {
      out = v;
      return true;
    }
  }
  return false;
}

#else

bool cpu_has_rdrand() {
  return false;
}

bool draw(std::uint64_t&) {
  return false;
}

#endif

bool hidden_for_tests() {
  const char* v = std::getenv(kHideRdrandVariable);
  return v != nullptr && *v != '\0';
}

int bytes(unsigned char* buf, int num) {
  if (num < 0 || (buf == nullptr && num > 0)) return 0;
  std::size_t left = static_cast<std::size_t>(num);
  std::uint64_t v = 0;
  bool ok = true;
  while (ok && left > 0) {
    ok = draw(v);
    if (!ok) break;
    const std::size_t n = left < sizeof v ? left : sizeof v;
    std::memcpy(buf, &v, n);
    buf += n;
    left -= n;
  }
  OPENSSL_cleanse(&v, sizeof v);
  return ok ? 1 : 0;
}

// The instruction takes no seed: what callers add is not needed.
int seed(const void*, int) {
  return 1;
}
int add(const void*, int, double) {
  return 1;
}
int status() {
  return 1;
}

const RAND_METHOD kMethod = {seed, bytes, nullptr, add, bytes, status};

int init(ENGINE*) {
  if (hidden_for_tests() || !cpu_has_rdrand()) return 0;
  std::uint64_t first = 0;
  if (!draw(first)) return 0;
  bool varies = false;
  for (int i = 1; i < kHealthDraws; ++i) {
    std::uint64_t next = 0;
    if (!draw(next)) return 0;
    varies = varies || next != first;
  }
  return varies ? 1 : 0;
}

bool listed() {
  for (ENGINE* e = ENGINE_get_first(); e != nullptr; e = ENGINE_get_next(e)) {
    const char* id = ENGINE_get_id(e);
    if (id != nullptr && std::strcmp(id, kRdrandEngineId) == 0) {
      ENGINE_free(e);
      return true;
    }
  }
  return false;
}

}  // namespace

bool add_rdrand_engine() {
  if (listed()) return true;
  ENGINE* e = ENGINE_new();
  if (e == nullptr) return false;
  // Never made a default by a blanket ENGINE_register_all_complete: only a
  // caller that asks for it by id changes the process's generator.
  const bool ok = ENGINE_set_id(e, kRdrandEngineId) && ENGINE_set_name(e, kName) &&
                  ENGINE_set_flags(e, ENGINE_FLAGS_NO_REGISTER_ALL) &&
                  ENGINE_set_RAND(e, &kMethod) && ENGINE_set_init_function(e, init) &&
                  ENGINE_add(e);
  ENGINE_free(e);
  return ok;
}

}  // namespace stb::openssl
