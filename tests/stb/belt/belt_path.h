// Running belt tests once per path: a path the processor lacks is skipped
// with the reason in the test output, never silently.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "stb/belt/path.h"

namespace stb::belt {
// Test output names the path instead of dumping its bytes.
inline void PrintTo(Path p, std::ostream* os) {
  *os << path_name(p);
}
}  // namespace stb::belt

namespace belttest {

using stb::belt::Path;

inline std::string param_name(const testing::TestParamInfo<Path>& info) {
  return stb::belt::path_name(info.param);
}

#define BELT_ALL_PATHS                                                                    \
  testing::Values(stb::belt::Path::portable, stb::belt::Path::ssse3, stb::belt::Path::avx2, \
                  stb::belt::Path::avx512)

// Makes belt use one path for the scope, then restores the previous choice.
class UsePath {
 public:
  explicit UsePath(Path p) : saved_(stb::belt::current_path()) {
    EXPECT_TRUE(stb::belt::set_path(p)) << stb::belt::path_name(p);
  }
  ~UsePath() { stb::belt::set_path(saved_); }
  UsePath(const UsePath&) = delete;
  UsePath& operator=(const UsePath&) = delete;

 private:
  Path saved_;
};

// A fixture running its test under the path of its parameter.
class PathTest : public testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    if (!stb::belt::available(GetParam()))
      GTEST_SKIP() << "this processor does not offer the " << stb::belt::path_name(GetParam())
                   << " path of belt; only the paths it offers are tested";
    saved_ = stb::belt::current_path();
    ASSERT_TRUE(stb::belt::set_path(GetParam()));
  }
  void TearDown() override { stb::belt::set_path(saved_); }

 private:
  Path saved_ = Path::portable;
};

}  // namespace belttest
