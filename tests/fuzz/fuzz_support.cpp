#include "fuzz_support.h"

#include <openssl/err.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

namespace fuzz {

ErrorQueueReset::~ErrorQueueReset() {
  ERR_clear_error();
}

Input split_input(const uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  return {data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

std::vector<std::string_view> split_parts(std::string_view payload, std::size_t n) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < n) {
    const std::size_t at = payload.find(kPartSeparator);
    if (at == std::string_view::npos) break;
    parts.push_back(payload.substr(0, at));
    payload.remove_prefix(at + kPartSeparator.size());
  }
  parts.push_back(payload);
  parts.resize(n);
  return parts;
}

const std::string& fixture(const char* name) {
  static std::map<std::string, std::string> files;
  const auto found = files.find(name);
  if (found != files.end()) return found->second;
  const std::string path = std::string(TESSEL_FUZZ_FIXTURES) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "fixture %s is missing\n", path.c_str());
    std::abort();
  }
  return files[name] = std::string(std::istreambuf_iterator<char>(in), {});
}

void fail(const char* what) {
  std::fprintf(stderr, "fuzz oracle failed: %s\n", what);
  std::abort();
}

void check_conversion(ConvertFn convert, int32_t form, std::string_view input) {
  const Case first(convert(form, bytes(input), length(input)));
  if (!first || first->status != TESSEL_OK) return;
  const int32_t other = form == TESSEL_FORM_PEM ? TESSEL_FORM_DER : TESSEL_FORM_PEM;
  const Case second(convert(other, first->data, first->data_len));
  if (!second || second->status != TESSEL_OK) fail("a re-encoding does not read back");
  const Case third(convert(form, second->data, second->data_len));
  if (!third || third->status != TESSEL_OK ||
      view(third->data, third->data_len) != view(first->data, first->data_len))
    fail("re-encoding is not stable");
}

}  // namespace fuzz
