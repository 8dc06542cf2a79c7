#include "providers/components_zorvik2_token.h"

#include <limits>

namespace providers {

Zorvik2TokenAccess::SerialList ComponentsZorvik2Token::ListSerials() {
  const ZorvikRecord record(components_, components_.GetSerialNumber());
  SerialList list;
  list.status = static_cast<uint32_t>(record.status());
  if (!record.ok() || record->serials == nullptr) return list;
  for (int32_t i = 0; i < record->serial_count; ++i)
    if (record->serials[i] != nullptr) list.serials.emplace_back(record->serials[i]);
  return list;
}

Zorvik2TokenAccess::Data ComponentsZorvik2Token::ReadData(const std::string& serial,
                                                          uint32_t offset, uint32_t length) {
  constexpr auto kMax = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
  if (offset > kMax || length > kMax) return {};
  const ZorvikRecord record(components_,
                            components_.ReadData(serial.c_str(), static_cast<int32_t>(offset),
                                                 static_cast<int32_t>(length)));
  Data data;
  data.status = static_cast<uint32_t>(record.status());
  if (record.ok()) data.bytes.assign(record.data(), record.data() + record.size());
  return data;
}

uint32_t ComponentsZorvik2Token::ChangePassword(const std::string& serial,
                                                const std::string& old_password,
                                                const std::string& new_password) {
  const ZorvikRecord record(components_, components_.ChangeUserPassword(
                                             serial.c_str(), old_password.c_str(),
                                             new_password.c_str()));
  return static_cast<uint32_t>(record.status());
}

}  // namespace providers
