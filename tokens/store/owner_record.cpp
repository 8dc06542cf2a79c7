#include "tokens/store/owner_record.h"

#include <nlohmann/json.hpp>

namespace tokens {

using nlohmann::json;

std::string OwnerRecordText(const Owner& owner) {
  return json{{"surname", owner.surname},
              {"givenName", owner.given_name},
              {"name", owner.organisation}}
      .dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<Owner> ParseOwnerRecord(std::string_view text) {
  const json root = json::parse(text, nullptr, false);
  if (!root.is_object()) return std::nullopt;
  const auto text_of = [&root](const char* name) -> const std::string* {
    const auto found = root.find(name);
    return found != root.end() && found->is_string() ? &found->get_ref<const std::string&>()
                                                     : nullptr;
  };
  const std::string* surname = text_of("surname");
  const std::string* given_name = text_of("givenName");
  const std::string* organisation = text_of("name");
  if (surname == nullptr || given_name == nullptr || organisation == nullptr) return std::nullopt;
  return Owner{*surname, *given_name, *organisation};
}

}  // namespace tokens
