// bash-f on every path: the vectors, agreement between the paths, dispatch.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <random>

#include "bash_paths.h"
#include "stb/bash/bash.h"
#include "support/vectors.h"

namespace {

using bash_test::name_of;
using stb::bash::kStateSize;
using stb::bash::kStateWords;
using stb::bash::Path;
using testsupport::Bytes;

struct State {
  std::uint64_t w[kStateWords];
};

State from_octets(const Bytes& b) {
  State s{};
  EXPECT_EQ(b.size(), kStateSize);
  std::memcpy(s.w, b.data(), kStateSize);
  return s;
}

Bytes to_octets(const State& s) {
  Bytes b(kStateSize);
  std::memcpy(b.data(), s.w, kStateSize);
  return b;
}

State random_state(std::mt19937_64& rng) {
  State s;
  for (auto& w : s.w) w = rng();
  return s;
}

class BashF : public testing::TestWithParam<Path> {};

TEST_P(BashF, Vectors) {
  BASH_REQUIRE_PATH(GetParam());
  const auto records = bash_test::bash_records("bash-f");
  ASSERT_FALSE(records.empty());
  for (const auto& r : records) {
    State s = from_octets(r.bytes("in"));
    stb::bash::f_with(GetParam(), s.w);
    EXPECT_EQ(testsupport::to_hex(to_octets(s)), r.text("out")) << r.where();
  }
}

// Random states reach lanes, bits and rotation amounts the few vectors may
// not; chaining iterations also catches errors that cancel out in one call.
TEST_P(BashF, AgreesWithPortableOnRandomStates) {
  BASH_REQUIRE_PATH(GetParam());
  std::mt19937_64 rng(0x62617368);
  for (int trial = 0; trial < 200; ++trial) {
    State expected = random_state(rng);
    State got = expected;
    const int chain = trial % 10 == 0 ? 100 : 1;
    for (int k = 0; k < chain; ++k) {
      stb::bash::f_with(Path::portable, expected.w);
      stb::bash::f_with(GetParam(), got.w);
    }
    ASSERT_EQ(to_octets(got), to_octets(expected)) << "trial " << trial;
  }
}

// One-word differences: every input word must reach the output the same way
// on every path (a swapped lane or a wrong per-lane count shows up here).
TEST_P(BashF, AgreesWithPortableOnSingleWordStates) {
  BASH_REQUIRE_PATH(GetParam());
  for (std::size_t i = 0; i < kStateWords; ++i) {
    State expected{};
    expected.w[i] = 0x8000000000000001u;
    State got = expected;
    stb::bash::f_with(Path::portable, expected.w);
    stb::bash::f_with(GetParam(), got.w);
    EXPECT_EQ(to_octets(got), to_octets(expected)) << "word " << i;
  }
}

TEST_P(BashF, DispatchUsesForcedPath) {
  BASH_REQUIRE_PATH(GetParam());
  std::mt19937_64 rng(7);
  State a = random_state(rng);
  State b = a;
  {
    bash_test::UsePath use(GetParam());
    EXPECT_EQ(stb::bash::current_path(), GetParam());
    stb::bash::f(a.w);
  }
  stb::bash::f_with(GetParam(), b.w);
  EXPECT_EQ(to_octets(a), to_octets(b));
}

INSTANTIATE_TEST_SUITE_P(Paths, BashF, BASH_ALL_PATHS, bash_test::param_name);

TEST(BashDispatch, DefaultIsBestOfferedPath) {
  const Path best = stb::bash::available(Path::avx512) ? Path::avx512
                    : stb::bash::available(Path::avx2) ? Path::avx2
                                                       : Path::portable;
  EXPECT_EQ(stb::bash::current_path(), best);
  std::cout << "[ info     ] bash-f paths offered:";
  for (Path p : {Path::portable, Path::avx2, Path::avx512})
    if (stb::bash::available(p)) std::cout << ' ' << name_of(p);
  std::cout << "; default " << name_of(best) << '\n';
}

TEST(BashDispatch, SetPathFollowsAvailability) {
  const Path saved = stb::bash::current_path();
  EXPECT_TRUE(stb::bash::available(Path::portable));
  for (Path p : {Path::portable, Path::avx2, Path::avx512}) {
    const Path before = stb::bash::current_path();
    const bool ok = stb::bash::set_path(p);
    EXPECT_EQ(ok, stb::bash::available(p)) << name_of(p);
    // A refused path leaves the choice alone.
    EXPECT_EQ(stb::bash::current_path(), ok ? p : before) << name_of(p);
  }
  EXPECT_TRUE(stb::bash::set_path(saved));
}

}  // namespace
