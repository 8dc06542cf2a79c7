// The owner record reader: any record it accepts is written back as one that
// reads the same (invalid UTF-8 is replaced on writing, so only valid records
// must come back unchanged).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tokens/store/owner_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto owner =
      tokens::ParseOwnerRecord(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!owner) return 0;
  const auto again = tokens::ParseOwnerRecord(tokens::OwnerRecordText(*owner));
  if (!again) __builtin_trap();
  return 0;
}
