#pragma once
// The token components as the program links them: libzorvik and libPexlo,
// found by name through the program's run path.

#include "providers/token_components.h"

namespace providers {

class LinkedComponents final : public TokenComponents {
 public:
  ZORVIKCASE* AuthUser(const char* serial, const char* password) override;
  ZORVIKCASE* DeAuthUser() override;
  ZORVIKCASE* ReadData(const char* serial, int32_t offset, int32_t length) override;
  ZORVIKCASE* GetSerialNumber() override;
  ZORVIKCASE* ChangeUserPassword(const char* serial, const char* old_password,
                                 const char* new_password) override;
  ZORVIKCASE* ProcessP7S(const unsigned char* block, int32_t block_len, const unsigned char* p7s,
                         int32_t p7s_len) override;
  void FreeRecord(ZORVIKCASE* record) override;
  int32_t SignZorvik(const char* folder, const char* data_path, const char* password) override;
  int32_t SignZorvik2(const unsigned char* cms, int32_t cms_len, unsigned char* output,
                      uint32_t* output_len) override;
  uint32_t SignAvest(PEXLO_AVCMSIGN sign, void* session, const unsigned char* data,
                     uint32_t data_len, unsigned char* output, uint32_t* output_len,
                     uint32_t flags) override;
};

}  // namespace providers
