// The FIPS 140-2 tests one by one: data crafted to cross exactly one
// threshold trips exactly that test.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "libtessel/internal/fips_statistics.h"
#include "libtessel/tessel.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using tessel::fips_failures;

constexpr std::size_t kSample = 2500;

unsigned failures(const Bytes& b) {
  return fips_failures(b.data(), b.size());
}

// A fixed sample from the HMAC generator that passes every test: the same
// bytes on every run, so the crafted variants below are deterministic.
Bytes base_sample() {
  static const Bytes sample = [] {
    const Bytes key = {'f', 'i', 'p', 's'};
    const Bytes start = {1, 2, 3};
    CRYPTOCASE* rec = GenRandomHMAC(79, key.data(), 4, start.data(), 3);
    Bytes b(rec->data, rec->data + kSample);
    CRYPTOCASE_free(rec);
    return b;
  }();
  return sample;
}

// The sample with `count` one bits at the front and zeros after: only the
// number of ones matters for the monobit test.
Bytes with_ones(std::size_t count) {
  Bytes b(kSample, 0);
  for (std::size_t i = 0; i < count; ++i) b[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  return b;
}

// Sets bits [from, from + n) of b to one and the bits on either side to
// zero: a run of exactly n ones.
void put_run(Bytes& b, std::size_t from, std::size_t n) {
  auto set = [&](std::size_t bit, bool one) {
    const auto mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
    b[bit / 8] = static_cast<std::uint8_t>(one ? b[bit / 8] | mask : b[bit / 8] & ~mask);
  };
  if (from > 0) set(from - 1, false);
  for (std::size_t i = 0; i < n; ++i) set(from + i, true);
  if (from + n < b.size() * 8) set(from + n, false);
}

TEST(FipsStatistics, BaseSamplePassesEveryTest) {
  EXPECT_EQ(failures(base_sample()), 0u);
}

TEST(FipsStatistics, MonobitBoundsAreInclusive) {
  const struct {
    std::size_t ones;
    bool fails;
  } cases[] = {{9725, true}, {9726, false}, {10274, false}, {10275, true}, {0, true}};
  for (const auto& c : cases)
    EXPECT_EQ((failures(with_ones(c.ones)) & tessel::kFipsMonobit) != 0, c.fails) << c.ones;
}

TEST(FipsStatistics, PokerRefusesTooEvenAndTooUnevenNibbles) {
  // Every nibble value equally often: a sum of squares below the bound.
  Bytes even(kSample);
  for (std::size_t i = 0; i < kSample; ++i)
    even[i] = static_cast<std::uint8_t>((2 * i % 16) << 4 | (2 * i + 1) % 16);
  EXPECT_NE(failures(even) & tessel::kFipsPoker, 0u);
  // One nibble value far too often.
  Bytes uneven = base_sample();
  for (std::size_t i = 0; i < kSample; i += 3) uneven[i] = 0x96;
  EXPECT_NE(failures(uneven) & tessel::kFipsPoker, 0u);
  EXPECT_EQ(failures(base_sample()) & tessel::kFipsPoker, 0u);
}

TEST(FipsStatistics, RunsRefuseAlternatingBits) {
  // 0101...: 20,000 runs of length 1 and none longer.
  EXPECT_NE(failures(Bytes(kSample, 0x55)) & tessel::kFipsRuns, 0u);
  // Runs of exactly two: far too many of them.
  EXPECT_NE(failures(Bytes(kSample, 0x33)) & tessel::kFipsRuns, 0u);
}

TEST(FipsStatistics, LongRunStartsAtTwentySixBitsAnywhere) {
  const struct {
    std::size_t from, length;
    bool fails;
  } cases[] = {{800, 25, false},
               {800, 26, true},
               {0, 26, true},                 // the first run
               {kSample * 8 - 26, 26, true},  // the last run, counted at the end
               {kSample * 8 - 25, 25, false}};
  for (const auto& c : cases) {
    Bytes b = base_sample();
    put_run(b, c.from, c.length);
    EXPECT_EQ((failures(b) & tessel::kFipsLongRun) != 0, c.fails) << c.from << "+" << c.length;
    // Nothing else notices a single run.
    EXPECT_EQ(failures(b) & ~tessel::kFipsLongRun, 0u) << c.from << "+" << c.length;
  }
}

TEST(FipsStatistics, ContinuousTestComparesWholeWords) {
  Bytes repeated = base_sample();
  for (std::size_t i = 0; i < 4; ++i) repeated[1200 + i] = repeated[1196 + i];
  EXPECT_EQ(failures(repeated), tessel::kFipsContinuous);
  // Equal bytes at the same offsets of words further apart are fine.
  Bytes apart = base_sample();
  for (std::size_t i = 0; i < 4; ++i) apart[1204 + i] = apart[1196 + i];
  EXPECT_EQ(failures(apart) & tessel::kFipsContinuous, 0u);
  Bytes first = base_sample();
  for (std::size_t i = 0; i < 4; ++i) first[i] = 0;
  EXPECT_NE(failures(first) & tessel::kFipsContinuous, 0u);
}

}  // namespace
