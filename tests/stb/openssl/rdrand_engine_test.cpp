// The "rdrand" ENGINE the extension lists: found by id once registered,
// never made the default behind a caller's back, initialised only where
// the processor has the instruction, and drawing from it.
#include <gtest/gtest.h>
#include <openssl/engine.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "stb/stb.h"
#include "support/cpu.h"

namespace {

int engines_named_rdrand() {
  int n = 0;
  for (ENGINE* e = ENGINE_get_first(); e != nullptr; e = ENGINE_get_next(e)) {
    if (std::strcmp(ENGINE_get_id(e), "rdrand") == 0) ++n;
  }
  return n;
}

struct EngineRef {
  ENGINE* e;
  ~EngineRef() { ENGINE_free(e); }
};

TEST(RdrandEngine, ListedOnceAndNeverTheDefaultByItself) {
  ASSERT_EQ(STB_register(), 1);
  ASSERT_EQ(STB_register(), 1);
  EXPECT_EQ(engines_named_rdrand(), 1);
  // A program that registers every listed ENGINE keeps OpenSSL's generator.
  ENGINE_register_all_complete();
  EXPECT_EQ(RAND_get_rand_method(), RAND_OpenSSL());
}

TEST(RdrandEngine, InitialisesOnlyWithTheInstructionAndDraws) {
  ASSERT_EQ(STB_register(), 1);
  const EngineRef ref{ENGINE_by_id("rdrand")};
  ASSERT_NE(ref.e, nullptr);

  ASSERT_EQ(setenv("STB_HIDE_RDRAND", "1", 1), 0);
  EXPECT_EQ(ENGINE_init(ref.e), 0);
  ASSERT_EQ(unsetenv("STB_HIDE_RDRAND"), 0);

  const int initialised = ENGINE_init(ref.e);
  ASSERT_EQ(initialised, testsupport::processor_has_rdrand() ? 1 : 0);
  if (!initialised) return;
  const RAND_METHOD* method = ENGINE_get_RAND(ref.e);
  ASSERT_NE(method, nullptr);
  // Lengths that are no multiple of the 8-byte draw included.
  for (const int n : {1, 7, 8, 13, 1000}) {
    std::vector<unsigned char> a(static_cast<std::size_t>(n), 0), b(a);
    ASSERT_EQ(method->bytes(a.data(), n), 1) << n;
    ASSERT_EQ(method->bytes(b.data(), n), 1) << n;
    if (n >= 7) {
      EXPECT_NE(a, b) << n;
    }
  }
  EXPECT_EQ(method->bytes(nullptr, 0), 1);
  EXPECT_EQ(method->bytes(nullptr, -1), 0);
  EXPECT_EQ(method->status(), 1);
  ENGINE_finish(ref.e);
}

}  // namespace
