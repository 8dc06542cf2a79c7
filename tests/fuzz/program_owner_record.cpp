// The owner record read from a token: any bytes give the three members or the
// failure text, never a crash or undefined behaviour.
#include <cstddef>
#include <cstdint>

#include "providers/token_owner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  providers::ParseOwnerRecord(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
