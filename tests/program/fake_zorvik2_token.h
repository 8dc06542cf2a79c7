#pragma once
// A Zorvik2 token middleware of the test's making: tokens with owner records,
// a settable status for each call, and a record of the password changes asked.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "providers/zorvik2_token_access.h"

namespace testing_support {

class FakeZorvik2Token final : public providers::Zorvik2TokenAccess {
 public:
  struct Change {
    std::string serial, old_password, new_password;
    bool operator==(const Change&) const = default;
  };

  // A token whose user-data area holds owner at 3404 and its length at 3400.
  void AddToken(const std::string& serial, const std::string& owner) {
    char length[5];
    std::snprintf(length, sizeof length, "%04zX", owner.size());
    areas[serial][3400] = length;
    areas[serial][3404] = owner;
    serials.push_back(serial);
  }

  SerialList ListSerials() override { return {list_status, serials}; }
  Data ReadData(const std::string& serial, uint32_t offset, uint32_t length) override {
    const auto token = areas.find(serial);
    if (token == areas.end() || !token->second.contains(offset)) return {};
    const std::string& block = token->second.at(offset);
    const std::string bytes = block.substr(0, length);
    return {0, std::vector<unsigned char>(bytes.begin(), bytes.end())};
  }
  uint32_t ChangePassword(const std::string& serial, const std::string& old_password,
                          const std::string& new_password) override {
    changes.push_back({serial, old_password, new_password});
    return change_status;
  }

  uint32_t list_status = 0;
  uint32_t change_status = 0;
  std::vector<std::string> serials;
  std::map<std::string, std::map<uint32_t, std::string>> areas;  // serial -> offset -> bytes
  std::vector<Change> changes;
};

}  // namespace testing_support
