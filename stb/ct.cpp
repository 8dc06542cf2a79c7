#include "stb/ct.h"

#if defined(STB_CT_CHECK)
// memcheck's client requests are C macros with C-style casts.
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wuseless-cast"
#include <valgrind/memcheck.h>
#endif

namespace stb::ct {

void declassify(const void* p, std::size_t n) {
#if defined(STB_CT_CHECK)
  VALGRIND_MAKE_MEM_DEFINED(p, n);
#else
  (void)p;
  (void)n;
#endif
}

}  // namespace stb::ct
