// What reaches the providers from outside: the request body (base64 text, or
// refused), and what a token hands back (a length field, an owner record).
// A body that decodes must encode back to itself; nothing may crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "providers/signing_io.h"
#include "providers/text_conversions.h"
#include "providers/token_selection.h"

namespace {

class NoComponents final : public providers::TokenComponents {
 public:
  ZORVIKCASE* AuthUser(const char*, const char*) override { return nullptr; }
  ZORVIKCASE* DeAuthUser() override { return nullptr; }
  ZORVIKCASE* ReadData(const char*, int32_t, int32_t) override { return nullptr; }
  ZORVIKCASE* GetSerialNumber() override { return nullptr; }
  ZORVIKCASE* ProcessP7S(const unsigned char*, int32_t, const unsigned char*, int32_t) override {
    return nullptr;
  }
  void FreeRecord(ZORVIKCASE*) override {}
  int32_t SignZorvik(const char*, const char*, const char*) override { return 2; }
  int32_t SignZorvik2(const unsigned char*, int32_t, unsigned char*, uint32_t*) override {
    return 2;
  }
  uint32_t SignAvest(PEXLO_AVCMSIGN, void*, const unsigned char*, uint32_t, unsigned char*,
                     uint32_t*, uint32_t) override {
    return 2;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto* text = reinterpret_cast<const char*>(data);
  if (const auto body = providers::DecodeBody(text, static_cast<uint32_t>(size))) {
    const std::string again = providers::Base64Encode(body->data(), body->size());
    // Canonical text comes back unchanged (non-zero spare bits may not).
    if (again.size() != size) __builtin_trap();
  }
  providers::OwnerFieldsOf(std::string_view(text, size));
  ZORVIKCASE field{};
  field.data = const_cast<unsigned char*>(data);  // NOLINT: read only
  field.data_len = static_cast<int32_t>(size);
  NoComponents components;
  const providers::ZorvikRecord record(components, &field);
  const auto length = providers::ParseLengthField(record);
  if (length && (*length < 0 || *length > 0xFFFF)) __builtin_trap();
  return 0;
}
