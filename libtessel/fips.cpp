// The statistical tests of FIPS 140-2 for random data: monobit, poker,
// runs, long run, and the continuous test over 32-bit words.
#include <openssl/rand.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "libtessel/internal/fips_statistics.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// 20,000 bits: the sample size the thresholds are made for.
constexpr std::size_t kSampleBytes = 2500;
constexpr std::size_t kGroup = 4;
constexpr int kLongRun = 26;
constexpr int kRunClasses = 6;  // lengths 1 to 5, and 6 or more

struct Range {
  long low, high;  // both allowed
  bool holds(long v) const { return v >= low && v <= high; }
};

constexpr Range kOnes{9726, 10274};
constexpr Range kPokerSquares{1563176, 1576928};
constexpr std::array<Range, kRunClasses> kRuns{
    {{2315, 2685}, {1114, 1386}, {527, 723}, {240, 384}, {103, 209}, {103, 209}}};

struct fips_statistics {
  std::array<long, 16> nibbles{};
  std::array<std::array<long, kRunClasses>, 2> runs{};
  long ones = 0;
  int run_length = -1;  // no bit seen yet
  int run_bit = 0;
  bool long_run = false;
  std::uint32_t previous_word = 0;
  bool repeated_word = false;

  void end_run() {
    if (run_length <= 0) return;
    const int cls = run_length < kRunClasses ? run_length - 1 : kRunClasses - 1;
    ++runs[static_cast<std::size_t>(run_bit)][static_cast<std::size_t>(cls)];
    if (run_length >= kLongRun) long_run = true;
  }

  void bit(int b) {
    ones += b;
    if (run_length > 0 && b == run_bit) {
      // Saturate: only "26 or more" matters beyond the classes.
      if (run_length < kLongRun) ++run_length;
      return;
    }
    end_run();
    run_bit = b;
    run_length = 1;
  }

  void byte(unsigned char c) {
    ++nibbles[c >> 4];
    ++nibbles[c & 0x0F];
    for (int i = 7; i >= 0; --i) bit((c >> i) & 1);
  }

  void group(const unsigned char* g) {
    const std::uint32_t word =
        static_cast<std::uint32_t>(g[0]) | static_cast<std::uint32_t>(g[1]) << 8 |
        static_cast<std::uint32_t>(g[2]) << 16 | static_cast<std::uint32_t>(g[3]) << 24;
    if (word == previous_word) repeated_word = true;
    previous_word = word;
    for (std::size_t i = 0; i < kGroup; ++i) byte(g[i]);
  }

  unsigned failures() const {
    long squares = 0;
    for (long f : nibbles) squares += f * f;
    bool runs_hold = true;
    for (const auto& by_bit : runs)
      for (std::size_t i = 0; i < kRuns.size(); ++i)
        runs_hold = runs_hold && kRuns[i].holds(by_bit[i]);
    unsigned failed = 0;
    if (!kOnes.holds(ones)) failed |= kFipsMonobit;
    if (!kPokerSquares.holds(squares)) failed |= kFipsPoker;
    if (!runs_hold) failed |= kFipsRuns;
    if (long_run) failed |= kFipsLongRun;
    if (repeated_word) failed |= kFipsContinuous;
    return failed;
  }
};

int32_t test(const unsigned char* data, std::size_t len) {
  return fips_failures(data, len) == 0 ? TESSEL_OK : TESSEL_FIPS_FAILED;
}

}  // namespace

unsigned fips_failures(const unsigned char* data, std::size_t len) {
  fips_statistics stats;
  for (std::size_t at = 0; at + kGroup <= len; at += kGroup) stats.group(data + at);
  stats.end_run();
  return stats.failures();
}
}  // namespace tessel

extern "C" TESSEL_API CRYPTOCASE* RandomFIPS(const unsigned char* data, int32_t data_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  if (data == nullptr) {
    tessel::SecretBytes sample(tessel::kSampleBytes);
    if (!sample) {
      rec->status = TESSEL_NO_MEMORY;
    } else if (RAND_priv_bytes(sample.get(), static_cast<int>(sample.size())) < 1) {
      rec->status = TESSEL_RANDOM_FAILED;
    } else {
      rec->status = tessel::test(sample.get(), sample.size());
    }
    return rec;
  }
  // Whole groups only: a trailing part of a word has no continuous test
  // and would be read past the caller's end.
  if (data_len < 0 || data_len % static_cast<int32_t>(tessel::kGroup) != 0) {
    rec->status = TESSEL_BAD_LENGTH;
    return rec;
  }
  rec->status = tessel::test(data, static_cast<std::size_t>(data_len));
  return rec;
}
