#include "tokens/store/token_state.h"

#include <openssl/crypto.h>

#include <nlohmann/json.hpp>

namespace tokens {
namespace {

using nlohmann::json;

constexpr int kFormat = 1;
constexpr uint32_t kMinIterations = 1000;
constexpr uint32_t kMaxIterations = 10'000'000;
constexpr std::size_t kVerifierSize = 32;

std::string ToHex(const Bytes& bytes) {
  std::string hex(bytes.size() * 2 + 1, '\0');
  std::size_t length = 0;
  if (OPENSSL_buf2hexstr_ex(hex.data(), hex.size(), &length, bytes.data(), bytes.size(), '\0') !=
      1)
    return {};
  hex.resize(length > 0 ? length - 1 : 0);  // the length counts the terminator
  return hex;
}

std::optional<Bytes> FromHex(const json& value, std::size_t min_size, std::size_t max_size) {
  if (!value.is_string()) return std::nullopt;
  const std::string& hex = value.get_ref<const std::string&>();
  if (hex.size() % 2 != 0 || hex.size() / 2 < min_size || hex.size() / 2 > max_size)
    return std::nullopt;
  Bytes bytes(hex.size() / 2);
  std::size_t length = 0;
  if (!bytes.empty() &&
      OPENSSL_hexstr2buf_ex(bytes.data(), bytes.size(), &length, hex.c_str(), '\0') != 1)
    return std::nullopt;
  if (length != bytes.size()) return std::nullopt;
  return bytes;
}

template <typename T>
std::optional<T> Integer(const json& object, const char* name, T low, T high) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_number_integer()) return std::nullopt;
  const auto value = found->get<int64_t>();
  if (value < static_cast<int64_t>(low) || value > static_cast<int64_t>(high)) return std::nullopt;
  return static_cast<T>(value);
}

const json* Member(const json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

}  // namespace

std::optional<TokenState> ParseTokenState(std::string_view text) {
  if (text.size() > kMaxStateFile) return std::nullopt;
  const json root = json::parse(text, nullptr, false);
  if (!root.is_object()) return std::nullopt;
  TokenState state;
  const json* serial = Member(root, "serial");
  const json* kind = Member(root, "kind");
  const json* kdf = Member(root, "kdf");
  const json* locked = Member(root, "locked");
  if (Integer<int>(root, "format", kFormat, kFormat) == std::nullopt || serial == nullptr ||
      !serial->is_string() || kind == nullptr || !kind->is_string() || kdf == nullptr ||
      !kdf->is_object() || locked == nullptr || !locked->is_boolean())
    return std::nullopt;
  state.serial = serial->get<std::string>();
  const auto parsed_kind = ParseKind(kind->get<std::string>());
  const json* prf = Member(*kdf, "prf");
  if (prf == nullptr || *prf != "hmac-hbelt") return std::nullopt;
  const auto iterations = Integer<uint32_t>(*kdf, "iterations", kMinIterations, kMaxIterations);
  const json* salt_text = Member(*kdf, "salt");
  auto salt = salt_text ? FromHex(*salt_text, 16, 64) : std::nullopt;
  const json* verifier_text = Member(root, "verifier");
  auto verifier = verifier_text ? FromHex(*verifier_text, kVerifierSize, kVerifierSize) : std::nullopt;
  const json* contents_text = Member(root, "contents");
  auto contents = contents_text ? FromHex(*contents_text, 0, kMaxStateFile / 2) : std::nullopt;
  const auto failures = Integer<int>(root, "failures", 0, kMaxFailures);
  const auto refuse_until = Integer<int64_t>(root, "refuse_until", 0, INT64_MAX);
  if (!IsValidSerial(state.serial) || !parsed_kind || !iterations || !salt || !verifier ||
      !contents || !failures || !refuse_until)
    return std::nullopt;
  state.kind = *parsed_kind;
  state.iterations = *iterations;
  state.salt = std::move(*salt);
  state.verifier = std::move(*verifier);
  state.contents = std::move(*contents);
  state.failures = *failures;
  state.refuse_until_ms = *refuse_until;
  state.locked = locked->get<bool>();
  return state;
}

std::string SerializeTokenState(const TokenState& state) {
  const json root = {{"format", kFormat},
                     {"serial", state.serial},
                     {"kind", std::string(KindName(state.kind))},
                     {"kdf", {{"prf", "hmac-hbelt"}, {"iterations", state.iterations},
                              {"salt", ToHex(state.salt)}}},
                     {"verifier", ToHex(state.verifier)},
                     {"contents", ToHex(state.contents)},
                     {"failures", state.failures},
                     {"refuse_until", state.refuse_until_ms},
                     {"locked", state.locked}};
  return root.dump(1) + "\n";
}

}  // namespace tokens
