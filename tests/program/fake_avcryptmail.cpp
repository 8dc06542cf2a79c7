// Stands in for the Avest vendor library: the entry points the readiness check
// resolves. AvCmInit answers with FAKE_AVCM_INIT_RESULT (hex) when it is set.

#include <cstdint>
#include <cstdlib>

extern "C" {

uint32_t AvCmInit(uint32_t) {
  const char* result = std::getenv("FAKE_AVCM_INIT_RESULT");
  return result != nullptr ? static_cast<uint32_t>(std::strtoul(result, nullptr, 16)) : 0;
}
uint32_t AvCmInitEx(uint32_t) {
  return 0;
}
uint32_t AvCmLogin(void*, void*, void** session, int32_t) {
  *session = nullptr;
  return 0;
}
uint32_t AvCmLogout(void*, uint32_t) {
  return 0;
}
uint32_t AvCmSign(void*) {
  return 0;
}
}
