// Running the bash tests once per bash-f path: a path the processor lacks is
// skipped with the reason in the test output, never silently.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "stb/bash/bash.h"
#include "support/vectors.h"

namespace bash_test {

using stb::bash::Path;

inline const char* name_of(Path p) {
  switch (p) {
    case Path::portable:
      return "portable";
    case Path::avx2:
      return "avx2";
    case Path::avx512:
      return "avx512";
  }
  return "?";
}

}  // namespace bash_test

namespace stb::bash {
// Test output names the path instead of dumping its bytes.
inline void PrintTo(Path p, std::ostream* os) {
  *os << bash_test::name_of(p);
}
}  // namespace stb::bash

namespace bash_test {

inline std::string param_name(const testing::TestParamInfo<Path>& info) {
  return name_of(info.param);
}

#define BASH_ALL_PATHS \
  testing::Values(stb::bash::Path::portable, stb::bash::Path::avx2, stb::bash::Path::avx512)

#define BASH_REQUIRE_PATH(p)                                                        \
  do {                                                                              \
    if (!stb::bash::available(p))                                                   \
      GTEST_SKIP() << "this processor does not offer the " << bash_test::name_of(p) \
                   << " path of bash-f; only the paths it offers are tested";       \
  } while (0)

// The records of one bash algorithm from every vector file that has them.
inline std::vector<testsupport::Record> bash_records(const std::string& alg) {
  std::vector<testsupport::Record> out;
  for (const char* file : {"bash.txt", "derived_sym.txt"}) {
    const auto found = testsupport::records_of(testsupport::load_vectors(file), alg);
    out.insert(out.end(), found.begin(), found.end());
  }
  return out;
}

// Makes f() (and so the hashes) use one path for the scope, then restores the
// previous choice.
class UsePath {
 public:
  explicit UsePath(Path p) : saved_(stb::bash::current_path()) {
    EXPECT_TRUE(stb::bash::set_path(p)) << name_of(p);
  }
  ~UsePath() { stb::bash::set_path(saved_); }
  UsePath(const UsePath&) = delete;
  UsePath& operator=(const UsePath&) = delete;

 private:
  Path saved_;
};

}  // namespace bash_test
