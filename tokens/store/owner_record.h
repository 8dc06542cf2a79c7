#pragma once
// The owner record of the user-data area: a JSON object with the string
// members "surname", "givenName" and "name" (the organisation), UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace tokens {

struct Owner {
  std::string surname;
  std::string given_name;
  std::string organisation;
};

std::string OwnerRecordText(const Owner& owner);
// Nothing unless the text is such an object with all three members as strings.
std::optional<Owner> ParseOwnerRecord(std::string_view text);

}  // namespace tokens
