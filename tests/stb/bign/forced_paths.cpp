// Runs the whole bign suite on one belt path and one field product when the
// environment asks for it (CTest registers the suite once per path; see
// CMakeLists.txt): STB_TEST_BELT_PATH = portable | ssse3 | avx2 | avx512,
// STB_TEST_FIELD = portable (the product without MULX/ADX). A path the
// processor lacks skips every test with the reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "stb/belt/path.h"
#include "stb/bign/field_x86.h"

namespace {

class ForcedPaths : public testing::Environment {
 public:
  void SetUp() override {
    if (const char* name = std::getenv("STB_TEST_BELT_PATH")) {
      using stb::belt::Path;
      bool found = false;
      for (const Path p : {Path::portable, Path::ssse3, Path::avx2, Path::avx512}) {
        if (std::string(name) != stb::belt::path_name(p)) continue;
        found = true;
        if (!stb::belt::set_path(p))
          GTEST_SKIP() << "this processor does not offer the " << name << " path of belt";
      }
      ASSERT_TRUE(found) << "unknown belt path " << name;
    }
    if (const char* field = std::getenv("STB_TEST_FIELD")) {
      ASSERT_EQ(std::string(field), "portable");
#if STB_BIGN_X86_MUL
      stb::bign::field::x86::g_enabled = false;
#endif
    }
  }
};

[[maybe_unused]] testing::Environment* const kForced =
    testing::AddGlobalTestEnvironment(new ForcedPaths);

}  // namespace
