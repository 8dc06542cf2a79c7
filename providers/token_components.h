#pragma once
// The outside token components as the providers call them: the Zorvik2
// middleware (zorvik) and the signing steps (Pexlo). Behind an interface so
// that tests can put a failing step in front of the real ones.

#include <cstdint>
#include <memory>

#include "tokens/pexlo/pexlo.h"
#include "tokens/zorvik/zorvik.h"

namespace providers {

class TokenComponents {
 public:
  virtual ~TokenComponents() = default;
  virtual ZORVIKCASE* AuthUser(const char* serial, const char* password) = 0;
  virtual ZORVIKCASE* DeAuthUser() = 0;
  virtual ZORVIKCASE* ReadData(const char* serial, int32_t offset, int32_t length) = 0;
  virtual ZORVIKCASE* GetSerialNumber() = 0;
  virtual ZORVIKCASE* ChangeUserPassword(const char* serial, const char* old_password,
                                         const char* new_password) = 0;
  virtual ZORVIKCASE* ProcessP7S(const unsigned char* block, int32_t block_len,
                                 const unsigned char* p7s, int32_t p7s_len) = 0;
  virtual void FreeRecord(ZORVIKCASE* record) = 0;
  virtual int32_t SignZorvik(const char* folder, const char* data_path, const char* password) = 0;
  virtual int32_t SignZorvik2(const unsigned char* cms, int32_t cms_len, unsigned char* output,
                              uint32_t* output_len) = 0;
  virtual uint32_t SignAvest(PEXLO_AVCMSIGN sign, void* session, const unsigned char* data,
                             uint32_t data_len, unsigned char* output, uint32_t* output_len,
                             uint32_t flags) = 0;
};

// A middleware record, released (and wiped by the middleware) on every path.
class ZorvikRecord {
 public:
  ZorvikRecord(TokenComponents& components, ZORVIKCASE* record)
      : record_(record, Release{&components}) {}
  // A missing record (the middleware could not allocate one) reads as a failure.
  int32_t status() const { return record_ ? record_->status : ZORVIK_FAILED; }
  bool ok() const { return status() == ZORVIK_OK; }
  const ZORVIKCASE* operator->() const { return record_.get(); }
  const unsigned char* data() const { return record_ && record_->data ? record_->data : nullptr; }
  int32_t size() const { return data() != nullptr && record_->data_len > 0 ? record_->data_len : 0; }

 private:
  struct Release {
    TokenComponents* components;
    void operator()(ZORVIKCASE* r) const { components->FreeRecord(r); }
  };
  std::unique_ptr<ZORVIKCASE, Release> record_;
};

}  // namespace providers
