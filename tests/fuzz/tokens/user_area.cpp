// The user-data area reader: length fields and blocks read out of any bytes
// stay inside the area and inside their slot.
#include <cstddef>
#include <cstdint>
#include <span>

#include "tokens/store/user_area.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const unsigned char> area(data, size);
  for (const int32_t at : {tokens::kKeyLengthAt, tokens::kCertificateLengthAt,
                           tokens::kCompletionLengthAt, tokens::kOwnerLengthAt}) {
    const auto block = tokens::ReadBlock(area, at);
    if (block && (block->data() < area.data() + at + tokens::kLengthFieldSize ||
                  block->data() + block->size() > area.data() + area.size()))
      __builtin_trap();
  }
  static_cast<void>(tokens::BlocksOf(area));
  if (const auto owner = tokens::OwnerRecordOf(area);
      owner && owner->size() + tokens::kLengthFieldSize > size)
    __builtin_trap();
  return 0;
}
