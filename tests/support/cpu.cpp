#include "support/cpu.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace testsupport {

bool processor_has_rdrand() {
#if defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(1, &a, &b, &c, &d) != 0 && (c & bit_RDRND) != 0;
#else
  return false;
#endif
}

}  // namespace testsupport
