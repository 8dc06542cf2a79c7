// Chooses the bash-f path once, on first use. The choice is one atomic:
// concurrent first calls may both probe the processor, but only the first
// store counts and every probe gives the same answer, so no lock is needed.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "stb/bash/bash.h"
#include "stb/bash/paths.h"

namespace stb::bash {
namespace {

using Fn = void (*)(std::uint64_t*);
using AbsorbFn = void (*)(std::uint64_t*, const std::uint8_t*, std::size_t, std::size_t);

bool cpu_has(Path path) {
  switch (path) {
    case Path::portable:
      return true;
#if STB_BASH_HAVE_X86_PATHS
    case Path::avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
    case Path::avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#else
    case Path::avx2:
    case Path::avx512:
      return false;
#endif
  }
  return false;
}

struct Functions {
  Fn f;
  AbsorbFn absorb;
};

Functions functions_of(Path path) {
  switch (path) {
#if STB_BASH_HAVE_X86_PATHS
    case Path::avx2:
      return {detail::f_avx2, detail::absorb_avx2};
    case Path::avx512:
      return {detail::f_avx512, detail::absorb_avx512};
#else
    case Path::avx2:
    case Path::avx512:
      break;
#endif
    case Path::portable:
      break;
  }
  return {detail::f_portable, detail::absorb_portable};
}

Path best_path() {
  if (cpu_has(Path::avx512)) return Path::avx512;
  if (cpu_has(Path::avx2)) return Path::avx2;
  return Path::portable;
}

// -1 until the first use picks a path; then the Path value.
constexpr int kUnchosen = -1;
std::atomic<int> g_path{kUnchosen};

Path chosen() {
  int path = g_path.load(std::memory_order_acquire);
  if (path == kUnchosen) {
    // A set_path() racing with the first use wins over the probe.
    const int best = static_cast<int>(best_path());
    if (g_path.compare_exchange_strong(path, best, std::memory_order_acq_rel)) path = best;
  }
  return static_cast<Path>(path);
}

}  // namespace

void f(std::uint64_t state[kStateWords]) {
  functions_of(chosen()).f(state);
}

bool available(Path path) {
  return cpu_has(path);
}

void f_with(Path path, std::uint64_t state[kStateWords]) {
  functions_of(path).f(state);
}

Path current_path() {
  return chosen();
}

bool set_path(Path path) {
  if (!cpu_has(path)) return false;
  g_path.store(static_cast<int>(path), std::memory_order_release);
  return true;
}

void detail::absorb(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                    std::size_t rate) {
  functions_of(chosen()).absorb(state, data, blocks, rate);
}

}  // namespace stb::bash
