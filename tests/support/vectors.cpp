#include "support/vectors.h"

#include <fstream>
#include <stdexcept>

#ifndef TESSEL_VECTOR_DIR
#error "TESSEL_VECTOR_DIR must name the folder of the vector files"
#endif

namespace testsupport {
namespace {

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

const std::string& Record::text(const std::string& name) const {
  const auto it = fields.find(name);
  if (it == fields.end()) throw std::runtime_error(where() + ": no field " + name);
  return it->second;
}

Bytes Record::bytes(const std::string& name) const { return from_hex(text(name)); }

Bytes from_hex(const std::string& hex) {
  if (hex.size() % 2 != 0) throw std::runtime_error("odd hex length: " + hex);
  Bytes out(hex.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int hi = hex_digit(hex[2 * i]);
    const int lo = hex_digit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) throw std::runtime_error("bad hex: " + hex);
    out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return out;
}

std::string to_hex(const std::uint8_t* data, std::size_t len) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(2 * len);
  for (std::size_t i = 0; i < len; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 15]);
  }
  return out;
}

std::vector<Record> load_vectors(const std::string& name) {
  const std::string path = std::string(TESSEL_VECTOR_DIR) + "/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open vector file " + path);
  std::vector<Record> records;
  Record current;
  std::string line;
  int number = 0;
  auto flush = [&] {
    if (!current.fields.empty()) records.push_back(std::move(current));
    current = Record{};
  };
  while (std::getline(in, line)) {
    ++number;
    const std::string t = trim(line);
    if (t.empty()) {
      flush();
      continue;
    }
    if (t[0] == '#') continue;
    const auto eq = t.find('=');
    if (eq == std::string::npos) throw std::runtime_error(path + ":" + std::to_string(number) + ": no '='");
    if (current.fields.empty()) {
      current.file = name;
      current.line = number;
    }
    current.fields[trim(t.substr(0, eq))] = trim(t.substr(eq + 1));
  }
  flush();
  if (records.empty()) throw std::runtime_error("no records in " + path);
  return records;
}

std::vector<Record> records_of(const std::vector<Record>& all, const std::string& alg) {
  std::vector<Record> out;
  for (const auto& r : all)
    if (r.has("alg") && r.text("alg") == alg) out.push_back(r);
  return out;
}

}  // namespace testsupport
