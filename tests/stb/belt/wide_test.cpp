// The 16-block vector path against the portable one, over lengths around
// its boundaries, in place, and with the counter about to carry.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>

#include "stb/belt/block.h"
#include "stb/belt/modes.h"
#include "stb/belt/wide.h"
#include "support/vectors.h"

using testsupport::Bytes;
using namespace stb::belt;

namespace {

struct WideOff {
  WideOff() { detail::set_wide_enabled(false); }
  ~WideOff() { detail::set_wide_enabled(true); }
};

using OneShot = std::function<bool(const Bytes& key, const Bytes& iv, const std::uint8_t* in,
                                   std::size_t len, std::uint8_t* out)>;

struct Case {
  const char* name;
  OneShot run;
};

const Case kCases[] = {
    {"ecb-enc", [](const Bytes& k, const Bytes&, const std::uint8_t* in, std::size_t n,
                   std::uint8_t* out) { return Ecb::encrypt(k.data(), k.size(), in, n, out); }},
    {"ecb-dec", [](const Bytes& k, const Bytes&, const std::uint8_t* in, std::size_t n,
                   std::uint8_t* out) { return Ecb::decrypt(k.data(), k.size(), in, n, out); }},
    {"cbc-dec",
     [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
       return Cbc::decrypt(k.data(), k.size(), iv.data(), in, n, out);
     }},
    {"cfb-dec",
     [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
       return Cfb::decrypt(k.data(), k.size(), iv.data(), in, n, out);
     }},
    {"ctr",
     [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
       return Ctr::crypt(k.data(), k.size(), iv.data(), in, n, out);
     }},
};

Bytes run(const Case& c, const Bytes& key, const Bytes& iv, const Bytes& in, bool wide,
          bool in_place) {
  std::optional<WideOff> off;
  if (!wide) off.emplace();
  Bytes out(in.size());
  if (in_place) out = in;
  EXPECT_TRUE(c.run(key, iv, in_place ? out.data() : in.data(), in.size(), out.data()));
  return out;
}

class BeltWide : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!detail::wide_available()) GTEST_SKIP() << "no AVX-512 byte permutes here";
  }
  std::mt19937 rng{11};
  Bytes random_bytes(std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
  }
};

TEST_F(BeltWide, MatchesPortableAroundBoundaries) {
  for (const Case& c : kCases) {
    for (const std::size_t key_len : {16u, 24u, 32u}) {
      for (const std::size_t len :
           {255u, 256u, 257u, 271u, 287u, 511u, 512u, 513u, 1023u, 1029u, 1295u, 4096u}) {
        SCOPED_TRACE(::testing::Message() << c.name << " key " << key_len << " len " << len);
        const Bytes key = random_bytes(key_len), iv = random_bytes(16), in = random_bytes(len);
        const Bytes want = run(c, key, iv, in, false, false);
        EXPECT_EQ(run(c, key, iv, in, true, false), want);
        EXPECT_EQ(run(c, key, iv, in, true, true), want);
      }
    }
  }
}

// The counter starts at F(IV); choosing IV = F^-1(start) puts it just below
// a carry out of the first word, the first half and the whole block.
TEST_F(BeltWide, CounterCarriesAcrossLanes) {
  const Bytes key = random_bytes(32), in = random_bytes(64 * 16 + 7);
  Block block;
  ASSERT_TRUE(block.set_key(key.data(), key.size()));
  const Bytes starts[] = {
      testsupport::from_hex("EFFFFFFF000000000000000000000000"),
      testsupport::from_hex("F0FFFFFF000000000000000000000000"),
      testsupport::from_hex("F9FFFFFF000000000000000000000000"),
      testsupport::from_hex("F9FFFFFFFFFFFFFF1234567800000000"),
      testsupport::from_hex("F9FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"),
  };
  for (const Bytes& start : starts) {
    SCOPED_TRACE(testsupport::to_hex(start));
    Bytes iv(16);
    block.decrypt(start.data(), iv.data());
    const Case& ctr = kCases[4];
    EXPECT_EQ(run(ctr, key, iv, in, true, false), run(ctr, key, iv, in, false, false));
  }
}

// Streamed in uneven pieces the wide path starts at odd places in the
// message and must hand the chain or counter on to the portable code.
TEST_F(BeltWide, StreamingHandsStateOver) {
  const Bytes key = random_bytes(24), iv = random_bytes(16), in = random_bytes(3000);
  const std::size_t pieces[] = {5, 300, 1, 700, 16, 257, 1000, 721};
  auto stream = [&](auto& m) {
    Bytes out(in.size());
    std::size_t off = 0, got = 0;
    for (const std::size_t p : pieces) {
      got += m.update(in.data() + off, p, out.data() + got);
      off += p;
    }
    EXPECT_TRUE(m.final(out.data() + got));
    return out;
  };
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide);
    std::optional<WideOff> off;
    if (!wide) off.emplace();
    Cbc cbc;
    ASSERT_TRUE(cbc.init(key.data(), key.size(), iv.data(), false));
    Cfb cfb;
    ASSERT_TRUE(cfb.init(key.data(), key.size(), iv.data(), false));
    Ctr ctr;
    ASSERT_TRUE(ctr.init(key.data(), key.size(), iv.data()));
    Bytes want(in.size());
    ASSERT_TRUE(Cbc::decrypt(key.data(), key.size(), iv.data(), in.data(), in.size(), want.data()));
    EXPECT_EQ(stream(cbc), want);
    ASSERT_TRUE(Cfb::decrypt(key.data(), key.size(), iv.data(), in.data(), in.size(), want.data()));
    EXPECT_EQ(stream(cfb), want);
    ASSERT_TRUE(Ctr::crypt(key.data(), key.size(), iv.data(), in.data(), in.size(), want.data()));
    EXPECT_EQ(stream(ctr), want);
  }
}

}  // namespace
