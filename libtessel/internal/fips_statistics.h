// The FIPS 140-2 statistical tests over whole 4-byte groups, with the
// failed tests as bits (RandomFIPS reports only pass or fail).
#pragma once

#include <cstddef>

namespace tessel {

enum FipsTest : unsigned {
  kFipsMonobit = 1u << 0,
  kFipsPoker = 1u << 1,
  kFipsRuns = 1u << 2,
  kFipsLongRun = 1u << 3,
  kFipsContinuous = 1u << 4
};

// The tests that fail on len bytes (len a multiple of 4); 0 = all passed.
unsigned fips_failures(const unsigned char* data, std::size_t len);

}  // namespace tessel
