#pragma once
// The settings and password-change dialogs' view of the Zorvik2 middleware,
// over the token components the providers sign with.

#include "providers/token_components.h"
#include "providers/zorvik2_token_access.h"

namespace providers {

class ComponentsZorvik2Token final : public Zorvik2TokenAccess {
 public:
  explicit ComponentsZorvik2Token(TokenComponents& components) : components_(components) {}

  SerialList ListSerials() override;
  Data ReadData(const std::string& serial, uint32_t offset, uint32_t length) override;
  uint32_t ChangePassword(const std::string& serial, const std::string& old_password,
                          const std::string& new_password) override;

 private:
  TokenComponents& components_;
};

}  // namespace providers
