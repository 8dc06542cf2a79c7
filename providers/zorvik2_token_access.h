#pragma once
// What the token dialogs need of the Zorvik2 token middleware, and nothing
// more: the connected tokens, their user-data area and the password change.
// The program's adapter calls the middleware's GetSerialNumber, ReadData and
// ChangeUserPassword and releases each result record; tests use a fake.

#include <cstdint>
#include <string>
#include <vector>

namespace providers {

// Status values the middleware answers with.
inline constexpr uint32_t kZorvikSuccess = 0;
inline constexpr uint32_t kZorvikWrongPassword = 4;

class Zorvik2TokenAccess {
 public:
  virtual ~Zorvik2TokenAccess() = default;

  struct SerialList {
    uint32_t status = 1;               // not 0: no token, or no middleware
    std::vector<std::string> serials;  // UTF-8, in the middleware's order
  };
  struct Data {
    uint32_t status = 1;
    std::vector<unsigned char> bytes;  // data_len bytes of the user-data area
  };

  // GetSerialNumber.
  virtual SerialList ListSerials() = 0;
  // ReadData(serial, offset, length).
  virtual Data ReadData(const std::string& serial, uint32_t offset, uint32_t length) = 0;
  // ChangeUserPassword(serial, old, new): 0 changed, 4 wrong old password.
  // The passwords are the caller's to wipe.
  virtual uint32_t ChangePassword(const std::string& serial, const std::string& old_password,
                                  const std::string& new_password) = 0;
};

// Stands in while no middleware is connected: no tokens, every call fails.
class NoZorvik2Token final : public Zorvik2TokenAccess {
 public:
  SerialList ListSerials() override { return {}; }
  Data ReadData(const std::string&, uint32_t, uint32_t) override { return {}; }
  uint32_t ChangePassword(const std::string&, const std::string&, const std::string&) override {
    return 1;
  }
};

}  // namespace providers
