// bash256/384/512: the vectors on every path, streaming, copies, bad levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "bash_paths.h"
#include "stb/bash/bash.h"
#include "support/vectors.h"

namespace {

using stb::bash::Hash;
using stb::bash::Path;
using testsupport::Bytes;

struct Level {
  const char* alg;
  unsigned level;
  std::size_t size;
  std::size_t rate;
};

constexpr Level kLevels[] = {
    {"bash256", 128, 32, 128},
    {"bash384", 192, 48, 96},
    {"bash512", 256, 64, 64},
};

// Feeds msg in chunks of `chunk` octets (the last one shorter).
Bytes hash_in_chunks(unsigned level, const Bytes& msg, std::size_t chunk) {
  Hash h;
  EXPECT_TRUE(h.init(level));
  for (std::size_t at = 0; at < msg.size(); at += chunk)
    h.update(msg.data() + at, std::min(chunk, msg.size() - at));
  Bytes out(h.size());
  h.final(out.data());
  return out;
}

Bytes pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return b;
}

class BashHash : public testing::TestWithParam<Path> {};

TEST_P(BashHash, Vectors) {
  BASH_REQUIRE_PATH(GetParam());
  bash_test::UsePath use(GetParam());
  for (const Level& lv : kLevels) {
    const auto records = bash_test::bash_records(lv.alg);
    ASSERT_FALSE(records.empty()) << lv.alg;
    for (const auto& r : records) {
      const Bytes msg = r.bytes("msg");
      Bytes out(lv.size, 0);
      ASSERT_TRUE(Hash::compute(lv.level, msg.data(), msg.size(), out.data()));
      EXPECT_EQ(testsupport::to_hex(out), r.text("hash")) << r.where();
    }
  }
}

// Every chunk size from 1 to past the message: partial blocks, blocks
// completed across calls and full blocks taken straight from the input.
TEST_P(BashHash, StreamingInEveryChunkSize) {
  BASH_REQUIRE_PATH(GetParam());
  bash_test::UsePath use(GetParam());
  for (const Level& lv : kLevels) {
    for (const auto& r : bash_test::bash_records(lv.alg)) {
      const Bytes msg = r.bytes("msg");
      const std::string expected = r.text("hash");
      for (std::size_t chunk = 1; chunk <= msg.size() + 1; ++chunk)
        ASSERT_EQ(testsupport::to_hex(hash_in_chunks(lv.level, msg, chunk)), expected)
            << r.where() << " chunk " << chunk;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, BashHash, BASH_ALL_PATHS, bash_test::param_name);

TEST(BashHashObject, SizesAndRates) {
  for (const Level& lv : kLevels) {
    Hash h;
    ASSERT_TRUE(h.init(lv.level));
    EXPECT_EQ(h.size(), lv.size) << lv.alg;
    EXPECT_EQ(h.rate(), lv.rate) << lv.alg;
  }
}

// A byte copy taken at any point continues the same message, and the two
// objects are independent afterwards.
TEST(BashHashObject, ByteCopyMidMessageContinues) {
  const Bytes msg = pattern(3 * 128 + 5);
  for (const Level& lv : kLevels) {
    Bytes whole(lv.size), other(lv.size);
    Hash::compute(lv.level, msg.data(), msg.size(), whole.data());
    Bytes changed = msg;
    changed.back() ^= 1;
    Hash::compute(lv.level, changed.data(), changed.size(), other.data());
    for (std::size_t cut = 0; cut < msg.size(); cut += 7) {
      Hash h;
      ASSERT_TRUE(h.init(lv.level));
      h.update(msg.data(), cut);
      alignas(Hash) unsigned char raw[sizeof(Hash)];
      std::memcpy(raw, static_cast<const void*>(&h), sizeof(Hash));
      Hash& copy = *std::launder(reinterpret_cast<Hash*>(raw));
      copy.update(msg.data() + cut, msg.size() - cut);
      h.update(changed.data() + cut, changed.size() - cut);
      Bytes a(lv.size), b(lv.size);
      copy.final(a.data());
      h.final(b.data());
      EXPECT_EQ(a, whole) << lv.alg << " cut " << cut;
      EXPECT_EQ(b, other) << lv.alg << " cut " << cut;
      copy.~Hash();
    }
  }
}

// final() leaves the object as it was: calling it twice, or going on after
// it, gives the hashes of the messages so far.
TEST(BashHashObject, FinalDoesNotChangeObject) {
  const Bytes msg = pattern(300);
  for (const Level& lv : kLevels) {
    for (std::size_t cut : {std::size_t{0}, lv.rate - 1, lv.rate, std::size_t{200}}) {
      Hash h;
      ASSERT_TRUE(h.init(lv.level));
      h.update(msg.data(), cut);
      Bytes first(lv.size), second(lv.size), prefix(lv.size), whole(lv.size), end(lv.size);
      h.final(first.data());
      h.final(second.data());
      Hash::compute(lv.level, msg.data(), cut, prefix.data());
      EXPECT_EQ(first, prefix) << lv.alg << " cut " << cut;
      EXPECT_EQ(second, prefix) << lv.alg << " cut " << cut;
      h.update(msg.data() + cut, msg.size() - cut);
      h.final(end.data());
      Hash::compute(lv.level, msg.data(), msg.size(), whole.data());
      EXPECT_EQ(end, whole) << lv.alg << " cut " << cut;
    }
  }
}

// init() starts a fresh message, whatever was absorbed before.
TEST(BashHashObject, InitRestarts) {
  const Bytes msg = pattern(150);
  Hash h;
  ASSERT_TRUE(h.init(256));
  h.update(msg.data(), msg.size());
  ASSERT_TRUE(h.init(128));
  h.update(msg.data(), 10);
  Bytes got(32), expected(32);
  h.final(got.data());
  Hash::compute(128, msg.data(), 10, expected.data());
  EXPECT_EQ(got, expected);
}

TEST(BashHashObject, RefusesOtherLevels) {
  const std::uint8_t msg[3] = {1, 2, 3};
  for (unsigned level : {0u, 1u, 16u, 64u, 112u, 127u, 129u, 144u, 160u, 255u, 257u, 384u, 512u}) {
    Hash h;
    EXPECT_FALSE(h.init(level)) << level;
    std::uint8_t out[64];
    std::memset(out, 0xA5, sizeof out);
    EXPECT_FALSE(Hash::compute(level, msg, sizeof msg, out)) << level;
    for (std::uint8_t o : out) ASSERT_EQ(o, 0xA5) << "output written for level " << level;
  }
}

}  // namespace
