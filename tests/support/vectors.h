// Reads the test vector files: records separated by blank lines, each line
// "name = value", '#' starts a comment line. Values are hex except for a few
// word-valued fields, which are kept as text too.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct Record {
  std::string file;  // for failure messages
  int line = 0;      // line of the record's first field
  std::map<std::string, std::string> fields;

  bool has(const std::string& name) const { return fields.count(name) != 0; }
  const std::string& text(const std::string& name) const;
  Bytes bytes(const std::string& name) const;  // hex-decoded; throws on bad hex
  std::string where() const { return file + ":" + std::to_string(line); }
};

// The records of one file in the vector folder (path relative to it).
std::vector<Record> load_vectors(const std::string& name);
// The records of every file whose alg field equals alg, in file order.
std::vector<Record> records_of(const std::vector<Record>& all, const std::string& alg);

Bytes from_hex(const std::string& hex);
std::string to_hex(const std::uint8_t* data, std::size_t len);
inline std::string to_hex(const Bytes& b) { return to_hex(b.data(), b.size()); }

}  // namespace testsupport
