#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "belt_records.h"
#include "stb/belt/block.h"
#include "stb/belt/h_table.h"
#include "support/vectors.h"

using testsupport::Bytes;

namespace {

// A typo in the 256-entry table would pass many vectors, so rebuild it from
// its generating rule and compare every entry.
TEST(BeltTable, RebuildsFromGeneratingRuleAndIsPermutation) {
  std::uint8_t h[256] = {};
  h[10] = 0x00;
  h[11] = 0x8E;
  for (unsigned x = 12; x <= 265; ++x) {
    unsigned t = h[(x - 1) % 256];
    for (int i = 0; i < 116; ++i) {
      const unsigned parity = static_cast<unsigned>(__builtin_parity(t & 0x63));
      t = (t >> 1) | (parity << 7);
    }
    h[x % 256] = static_cast<std::uint8_t>(t);
  }
  std::set<int> seen;
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(h[i], stb::belt::kH[i]) << "entry " << i;
    seen.insert(stb::belt::kH[i]);
  }
  EXPECT_EQ(seen.size(), 256u);
}

TEST(BeltBlock, VectorsBothDirectionsAndInPlace) {
  const auto recs =
      testsupport::records_of(testsupport::load_vectors("belt_block.txt"), "belt-block");
  ASSERT_GE(recs.size(), 2u);
  for (const auto& r : recs) {
    SCOPED_TRACE(r.where());
    const Bytes key = r.bytes("key"), pt = r.bytes("pt"), ct = r.bytes("ct");
    stb::belt::Block b;
    ASSERT_TRUE(b.set_key(key.data(), key.size()));
    Bytes out(16);
    b.encrypt(pt.data(), out.data());
    EXPECT_EQ(out, ct);
    b.decrypt(ct.data(), out.data());
    EXPECT_EQ(out, pt);
    Bytes io = pt;
    b.encrypt(io.data(), io.data());
    EXPECT_EQ(io, ct);
    b.decrypt(io.data(), io.data());
    EXPECT_EQ(io, pt);
    // A copy keeps the key; set_key32 is the same as set_key for 32 octets.
    stb::belt::Block c = b;
    stb::belt::Block d;
    d.set_key32(key.data());
    c.encrypt(pt.data(), out.data());
    EXPECT_EQ(out, ct);
    d.encrypt(pt.data(), out.data());
    EXPECT_EQ(out, ct);
  }
}

TEST(BeltKeyexpand, VectorsAndShortKeysMatchExpandedKey) {
  const auto recs =
      testsupport::records_of(testsupport::load_vectors("belt_keys.txt"), "belt-keyexpand");
  ASSERT_GE(recs.size(), 5u);
  const std::uint8_t block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (const auto& r : recs) {
    SCOPED_TRACE(r.where());
    const Bytes key = r.bytes("key"), want = r.bytes("out");
    Bytes out(32, 0xAA);
    ASSERT_TRUE(stb::belt::keyexpand(key.data(), key.size(), out.data()));
    EXPECT_EQ(out, want);
    // Output over the input buffer.
    Bytes io(32);
    std::copy(key.begin(), key.end(), io.begin());
    ASSERT_TRUE(stb::belt::keyexpand(io.data(), key.size(), io.data()));
    EXPECT_EQ(io, want);
    // Block::set_key on the short key equals set_key32 on the expanded one.
    stb::belt::Block a, b;
    ASSERT_TRUE(a.set_key(key.data(), key.size()));
    b.set_key32(want.data());
    std::uint8_t x[16], y[16];
    a.encrypt(block, x);
    b.encrypt(block, y);
    EXPECT_EQ(Bytes(x, x + 16), Bytes(y, y + 16));
  }
}

TEST(BeltKeyexpand, RefusesOtherLengthsWithoutWriting) {
  const Bytes key(64, 0x5A);
  for (const std::size_t len : {0u, 1u, 8u, 15u, 17u, 20u, 23u, 25u, 31u, 33u, 48u, 64u}) {
    SCOPED_TRACE(len);
    EXPECT_FALSE(stb::belt::valid_key_length(len));
    Bytes out(32, 0xEE);
    EXPECT_FALSE(stb::belt::keyexpand(key.data(), len, out.data()));
    EXPECT_EQ(out, Bytes(32, 0xEE));
    stb::belt::Block b;
    EXPECT_FALSE(b.set_key(key.data(), len));
  }
}

}  // namespace
