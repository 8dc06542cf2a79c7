// Vector records of one belt algorithm from the official/derived files plus
// the lead's random-length file, when it is there.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "support/vectors.h"

namespace belttest {

inline std::vector<testsupport::Record> records(const std::string& file, const std::string& alg) {
  auto out = testsupport::records_of(testsupport::load_vectors(file), alg);
  const std::string extra = std::string(TESSEL_VECTOR_DIR) + "/derived_sym.txt";
  if (std::ifstream(extra).good()) {
    const auto more = testsupport::records_of(testsupport::load_vectors("derived_sym.txt"), alg);
    out.insert(out.end(), more.begin(), more.end());
  }
  return out;
}

}  // namespace belttest
