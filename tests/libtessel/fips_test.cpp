// RandomFIPS as callers see it: every source of the library passes, and
// the statuses of its inputs.
#include <functional>
#include <string>

#include "key_test_support.h"

namespace {

using namespace tesseltest;

class Fips : public Tessel {};

constexpr int kRuns = 100;
constexpr int32_t kSample = 2500;
// The tests are set at about 1 failure in 10,000 samples of true random
// data; more than 2 in 100 means a fault, not chance.
constexpr int kAllowedFailures = 2;

Bytes counter(int run) {
  Bytes b(32, 0);
  b[0] = static_cast<std::uint8_t>(run);
  b[1] = static_cast<std::uint8_t>(run >> 8);
  return b;
}

TEST_F(Fips, EverySourcePassesAtTheExpectedRate) {
  const Bytes key = counter(7777);
  // Each source answers at least 2500 bytes; run numbers vary the inputs
  // that would otherwise repeat the output.
  const std::pair<const char*, std::function<CRYPTOCASE*(int)>> sources[] = {
      {"GenRandomSystem", [](int) { return GenRandomSystem(kSample); }},
      {"GenRandomCTR", [&](int run) { return GenRandomCTR(79, key.data(), counter(run).data()); }},
      {"GenRandomHMAC",
       [&](int run) {
         const Bytes start = counter(run);
         return GenRandomHMAC(79, key.data(), len(key), start.data(), len(start));
       }},
      {"CryptoPseudoRandom", [](int) { return CryptoPseudoRandom(79, nullptr, 0); }}};
  for (const auto& [name, source] : sources) {
    int failures = 0;
    for (int run = 0; run < kRuns; ++run) {
      const Case sample(source(run));
      ASSERT_EQ(sample->status, 0) << name;
      ASSERT_GE(sample->data_len, kSample) << name;
      const Case verdict(RandomFIPS(sample->data, kSample));
      ASSERT_TRUE(verdict->status == 0 || verdict->status == TESSEL_FIPS_FAILED) << name;
      failures += verdict->status != 0;
    }
    EXPECT_LE(failures, kAllowedFailures) << name;
  }
}

TEST_F(Fips, StatusesOfTheInput) {
  const Bytes zeros(kSample, 0);
  Bytes good;
  {
    const Case sample(GenRandomSystem(kSample + 4));
    good = data_of(sample.get());
  }
  const struct {
    std::string what;
    const unsigned char* data;
    int32_t len;
    int32_t status;
  } cases[] = {
      {"fresh bytes of its own", nullptr, 0, 0},
      {"all zero", zeros.data(), kSample, TESSEL_FIPS_FAILED},
      {"empty: no one bits", zeros.data(), 0, TESSEL_FIPS_FAILED},
      {"a trailing partial group", good.data(), kSample + 1, TESSEL_BAD_LENGTH},
      {"three trailing bytes", good.data(), kSample + 3, TESSEL_BAD_LENGTH},
      {"a negative length", good.data(), -4, TESSEL_BAD_LENGTH},
  };
  for (const auto& c : cases) {
    const Case rec(RandomFIPS(c.data, c.len));
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->status, c.status) << c.what;
    EXPECT_EQ(rec->data, nullptr) << c.what;
  }
}

}  // namespace
