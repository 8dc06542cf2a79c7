#include <gtest/gtest.h>

#include <cstdint>

#include "belt_records.h"
#include "stb/belt/mac.h"
#include "support/vectors.h"

using stb::belt::Mac;
using testsupport::Bytes;

namespace {

Bytes tag_of(const Mac& m) {
  Bytes t(stb::belt::kMacSize);
  m.final(t.data());
  return t;
}

TEST(BeltMac, VectorsOneShotAndEveryChunkSize) {
  const auto recs = belttest::records("belt_mac.txt", "belt-mac");
  ASSERT_GE(recs.size(), 10u);
  for (const auto& r : recs) {
    SCOPED_TRACE(r.where());
    const Bytes key = r.bytes("key"), msg = r.bytes("msg"), want = r.bytes("mac");
    Bytes t(8);
    ASSERT_TRUE(Mac::compute(key.data(), key.size(), msg.data(), msg.size(), t.data()));
    EXPECT_EQ(t, want);
    for (std::size_t chunk = 1; chunk <= std::max<std::size_t>(msg.size(), 1); ++chunk) {
      SCOPED_TRACE(chunk);
      Mac m;
      ASSERT_TRUE(m.init(key.data(), key.size()));
      for (std::size_t off = 0; off < msg.size(); off += chunk)
        m.update(msg.data() + off, std::min(chunk, msg.size() - off));
      m.update(nullptr, 0);
      EXPECT_EQ(tag_of(m), want);
      if (HasFailure()) return;
    }
  }
}

// final() leaves the object as it was: tags of every prefix taken on the way
// equal one-shot tags of those prefixes (block boundaries included).
TEST(BeltMac, FinalMidStreamDoesNotDisturb) {
  const Bytes key(16, 0x3C);
  Bytes msg(100);
  for (std::size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<std::uint8_t>(i * 7 + 1);
  Mac m;
  ASSERT_TRUE(m.init(key.data(), key.size()));
  for (std::size_t n = 0; n <= msg.size(); ++n) {
    SCOPED_TRACE(n);
    Bytes want(8);
    ASSERT_TRUE(Mac::compute(key.data(), key.size(), msg.data(), n, want.data()));
    EXPECT_EQ(tag_of(m), want);
    EXPECT_EQ(tag_of(m), want);
    if (n < msg.size()) m.update(msg.data() + n, 1);
  }
}

TEST(BeltMac, RefusesBadKeyLengthsAndReinitStartsOver) {
  const Bytes key(64, 0x77), msg(20, 0x01);
  for (const std::size_t len : {0u, 8u, 15u, 17u, 31u, 33u, 64u}) {
    Mac m;
    EXPECT_FALSE(m.init(key.data(), len)) << len;
    Bytes t(8, 0xEE);
    EXPECT_FALSE(Mac::compute(key.data(), len, msg.data(), msg.size(), t.data())) << len;
    EXPECT_EQ(t, Bytes(8, 0xEE));
  }
  Mac m;
  ASSERT_TRUE(m.init(key.data(), 32));
  m.update(msg.data(), msg.size());
  ASSERT_TRUE(m.init(key.data(), 32));
  m.update(msg.data(), 5);
  Bytes want(8);
  ASSERT_TRUE(Mac::compute(key.data(), 32, msg.data(), 5, want.data()));
  EXPECT_EQ(tag_of(m), want);
}

}  // namespace
