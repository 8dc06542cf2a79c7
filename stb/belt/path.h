// The instruction-set paths of belt-block and belt-compress. Every path
// computes the substitution H without a table lookup, so no memory address
// and no branch depends on keys or data: AVX-512 byte permutes (with VBMI),
// AVX2 or SSSE3 byte shuffles, or plain 64-bit arithmetic. The fastest path
// the processor offers is chosen on first use; tests and benchmarks switch.
#pragma once

namespace stb::belt {

enum class Path { portable, ssse3, avx2, avx512 };

// Whether this processor can run the path.
bool available(Path p);
// Makes every later belt call use the path; false (nothing changed) when
// the processor lacks it. Meant for tests and benchmarks, not for use while
// other threads run belt.
bool set_path(Path p);
Path current_path();
const char* path_name(Path p);

}  // namespace stb::belt
