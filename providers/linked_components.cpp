#include "providers/linked_components.h"

namespace providers {

ZORVIKCASE* LinkedComponents::AuthUser(const char* serial, const char* password) {
  return ::AuthUser(serial, password);
}
ZORVIKCASE* LinkedComponents::DeAuthUser() {
  return ::DeAuthUser();
}
ZORVIKCASE* LinkedComponents::ReadData(const char* serial, int32_t offset, int32_t length) {
  return ::ReadData(serial, offset, length);
}
ZORVIKCASE* LinkedComponents::GetSerialNumber() {
  return ::GetSerialNumber();
}
ZORVIKCASE* LinkedComponents::ChangeUserPassword(const char* serial, const char* old_password,
                                                 const char* new_password) {
  return ::ChangeUserPassword(serial, old_password, new_password);
}
ZORVIKCASE* LinkedComponents::ProcessP7S(const unsigned char* block, int32_t block_len,
                                         const unsigned char* p7s, int32_t p7s_len) {
  return ::ProcessP7S(block, block_len, p7s, p7s_len);
}
void LinkedComponents::FreeRecord(ZORVIKCASE* record) {
  ::ZORVIKCASE_free(record);
}
int32_t LinkedComponents::SignZorvik(const char* folder, const char* data_path,
                                     const char* password) {
  return ::sign_Zorvik(folder, data_path, password);
}
int32_t LinkedComponents::SignZorvik2(const unsigned char* cms, int32_t cms_len,
                                      unsigned char* output, uint32_t* output_len) {
  return ::sign_Zorvik2(cms, cms_len, output, output_len);
}
uint32_t LinkedComponents::SignAvest(PEXLO_AVCMSIGN sign, void* session, const unsigned char* data,
                                     uint32_t data_len, unsigned char* output,
                                     uint32_t* output_len, uint32_t flags) {
  return ::sign_Avest(sign, session, data, data_len, output, output_len, flags);
}

}  // namespace providers
