// Chooses the belt path once, on first use. The choice is one atomic:
// concurrent first calls may both probe the processor, but only the first
// store counts and every probe gives the same answer.
#include "stb/belt/path.h"

#include <atomic>

#include "stb/belt/kernels.h"

namespace stb::belt {
namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define STB_BELT_X86_PATHS 1
#else
#define STB_BELT_X86_PATHS 0
#endif

const detail::Kernels* kernels_of(Path p) {
  switch (p) {
    case Path::portable:
      return detail::portable_kernels();
    case Path::ssse3:
      return detail::ssse3_kernels();
    case Path::avx2:
      return detail::avx2_kernels();
    case Path::avx512:
      return detail::avx512_kernels();
  }
  return nullptr;
}

bool cpu_has(Path p) {
#if STB_BELT_X86_PATHS
  __builtin_cpu_init();
  switch (p) {
    case Path::portable:
      return true;
    case Path::ssse3:
      return __builtin_cpu_supports("ssse3");
    case Path::avx2:
      return __builtin_cpu_supports("avx2");
    case Path::avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi");
  }
  return false;
#else
  return p == Path::portable;
#endif
}

Path best_path() {
  for (Path p : {Path::avx512, Path::avx2, Path::ssse3}) {
    if (available(p)) return p;
  }
  return Path::portable;
}

constexpr int kUnchosen = -1;
std::atomic<int> g_path{kUnchosen};

Path chosen() {
  int path = g_path.load(std::memory_order_acquire);
  if (path == kUnchosen) {
    const int best = static_cast<int>(best_path());
    if (g_path.compare_exchange_strong(path, best, std::memory_order_acq_rel)) path = best;
  }
  return static_cast<Path>(path);
}

}  // namespace

bool available(Path p) {
  return kernels_of(p) != nullptr && cpu_has(p);
}

bool set_path(Path p) {
  if (!available(p)) return false;
  g_path.store(static_cast<int>(p), std::memory_order_release);
  return true;
}

Path current_path() {
  return chosen();
}

const char* path_name(Path p) {
  switch (p) {
    case Path::portable:
      return "portable";
    case Path::ssse3:
      return "ssse3";
    case Path::avx2:
      return "avx2";
    case Path::avx512:
      return "avx512";
  }
  return "?";
}

namespace detail {

const Kernels& kernels() {
  return *kernels_of(chosen());
}

#if !STB_BELT_X86_PATHS
const Kernels* ssse3_kernels() {
  return nullptr;
}
const Kernels* avx2_kernels() {
  return nullptr;
}
const Kernels* avx512_kernels() {
  return nullptr;
}
#endif

}  // namespace detail
}  // namespace stb::belt
