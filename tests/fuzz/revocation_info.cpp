// The revocation info column of the index database:
// "time[,reason[,argument]]".
#include <string>

#include "fuzz_support.h"
#include "libtessel/internal/ca.h"
#include "libtessel/tessel_stb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  tessel::ensure_registered();
  // A column is a C string: up to the first NUL.
  const std::string text(reinterpret_cast<const char*>(data), size);
  tessel::RevocationInfo info;
  if (tessel::parse_revocation_info(text.c_str(), info) && !info.time)
    fuzz::fail("revocation info read without its time");
  return 0;
}
