// belt-wblock and belt-kwp: the vector records in both directions, every
// must-fail record refused, and the ring-buffer implementation against a
// literal transcription of the algorithm on every length 32..160.
#include <gtest/gtest.h>

#include <cstring>

#include "stb/belt/block.h"
#include "stb/belt/kwp.h"
#include "support/vectors.h"

namespace {

using testsupport::Bytes;
using testsupport::to_hex;

const auto& wrap_records() {
  static const auto all = testsupport::load_vectors("belt_wrap.txt");
  return all;
}

TEST(BeltWblock, VectorsBothDirections) {
  const auto records = testsupport::records_of(wrap_records(), "belt-wblock");
  ASSERT_EQ(records.size(), 14u);
  for (const auto& r : records) {
    const Bytes key = r.bytes("key");
    Bytes data = r.bytes("pt");
    ASSERT_TRUE(stb::belt::wblock_encrypt(key.data(), key.size(), data.data(), data.size()));
    EXPECT_EQ(to_hex(data), r.text("ct")) << r.where();
    data = r.bytes("ct");
    ASSERT_TRUE(stb::belt::wblock_decrypt(key.data(), key.size(), data.data(), data.size()));
    EXPECT_EQ(to_hex(data), r.text("pt")) << r.where();
  }
}

// Only kwp is ours here; the authenticated-encryption records belong to the
// modes. Count them so a new algorithm in the file cannot slip through.
TEST(BeltKwp, VectorsAndRefusals) {
  std::size_t wrapped = 0, refused = 0, skipped = 0;
  for (const auto& r : wrap_records()) {
    const std::string& alg = r.text("alg");
    if (alg == "belt-dwp" || alg == "belt-che") {
      ++skipped;
      continue;
    }
    if (alg != "belt-kwp") continue;
    const Bytes key = r.bytes("key"), header = r.bytes("header"), ct = r.bytes("ct");
    Bytes out(ct.size() - 16, 0xAA);
    const bool ok = stb::belt::kwp_unwrap(key.data(), key.size(), ct.data(), ct.size(),
                                          header.data(), out.data());
    if (r.has("result")) {
      ASSERT_EQ(r.text("result"), "fail") << r.where();
      EXPECT_FALSE(ok) << r.where();
      EXPECT_EQ(out, Bytes(out.size(), 0)) << r.where() << ": output not wiped";
      ++refused;
      continue;
    }
    ASSERT_TRUE(ok) << r.where();
    EXPECT_EQ(to_hex(out), r.text("pt")) << r.where();
    const Bytes pt = r.bytes("pt");
    Bytes again(pt.size() + 16);
    ASSERT_TRUE(stb::belt::kwp_wrap(key.data(), key.size(), pt.data(), pt.size(), header.data(),
                                    again.data()));
    EXPECT_EQ(to_hex(again), r.text("ct")) << r.where();
    ++wrapped;
  }
  EXPECT_EQ(skipped, 33u);
  EXPECT_EQ(wrapped, 14u);
  EXPECT_EQ(refused, 2u);
}

TEST(BeltKwp, RefusesBadArguments) {
  const Bytes key(32, 7), header(16, 0), secret(32, 9);
  Bytes out(64, 0xEE);
  EXPECT_FALSE(stb::belt::kwp_wrap(key.data(), 20, secret.data(), 32, header.data(), out.data()));
  EXPECT_FALSE(stb::belt::kwp_wrap(key.data(), 32, secret.data(), 15, header.data(), out.data()));
  EXPECT_FALSE(stb::belt::kwp_unwrap(key.data(), 32, secret.data(), 31, header.data(), out.data()));
  EXPECT_FALSE(stb::belt::kwp_unwrap(key.data(), 0, secret.data(), 32, header.data(), out.data()));
  EXPECT_EQ(out, Bytes(64, 0xEE));
  Bytes data(31, 1);
  EXPECT_FALSE(stb::belt::wblock_encrypt(key.data(), 32, data.data(), data.size()));
  EXPECT_FALSE(stb::belt::wblock_decrypt(key.data(), 32, data.data(), data.size()));
  EXPECT_EQ(data, Bytes(31, 1));
}

// The algorithm exactly as written: shift the whole string each step.
Bytes literal_wblock(const Bytes& key, Bytes r) {
  stb::belt::Block f;
  f.set_key(key.data(), key.size());
  const std::size_t n = (r.size() + 15) / 16;
  for (std::size_t i = 1; i <= 2 * n; ++i) {
    std::uint8_t s[16] = {}, t[16];
    for (std::size_t j = 0; j + 1 < n; ++j)
      for (int k = 0; k < 16; ++k) s[k] ^= r[16 * j + static_cast<std::size_t>(k)];
    f.encrypt(s, t);
    for (int k = 0; k < 8; ++k)
      t[k] ^= static_cast<std::uint8_t>(static_cast<std::uint64_t>(i) >> (8 * k));
    for (std::size_t k = 0; k < 16; ++k) r[r.size() - 16 + k] ^= t[k];
    r.erase(r.begin(), r.begin() + 16);
    r.insert(r.end(), s, s + 16);
  }
  return r;
}

TEST(BeltWblock, MatchesLiteralFormOnEveryLength) {
  for (const std::size_t key_len : {16u, 24u, 32u}) {
    Bytes key(key_len);
    for (std::size_t i = 0; i < key_len; ++i) key[i] = static_cast<std::uint8_t>(3 * i + key_len);
    for (std::size_t len = 32; len <= 160; ++len) {
      Bytes pt(len);
      for (std::size_t i = 0; i < len; ++i) pt[i] = static_cast<std::uint8_t>(i * 29 + len);
      Bytes data = pt;
      ASSERT_TRUE(stb::belt::wblock_encrypt(key.data(), key.size(), data.data(), len));
      ASSERT_EQ(data, literal_wblock(key, pt)) << "key " << key_len << ", length " << len;
      ASSERT_TRUE(stb::belt::wblock_decrypt(key.data(), key.size(), data.data(), len));
      ASSERT_EQ(data, pt) << "key " << key_len << ", length " << len;
    }
  }
}

// A flipped bit anywhere in the wrapped key, or the wrong key, is refused.
TEST(BeltKwp, AnyDamageRefused) {
  const Bytes key(32, 0x42), header(16, 0x11);
  Bytes secret(24);
  for (std::size_t i = 0; i < secret.size(); ++i) secret[i] = static_cast<std::uint8_t>(i);
  Bytes wrapped(40);
  ASSERT_TRUE(
      stb::belt::kwp_wrap(key.data(), 32, secret.data(), 24, header.data(), wrapped.data()));
  Bytes out(24);
  for (std::size_t bit = 0; bit < 8 * wrapped.size(); bit += 5) {
    Bytes bad = wrapped;
    bad[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(stb::belt::kwp_unwrap(key.data(), 32, bad.data(), 40, header.data(), out.data()))
        << "bit " << bit;
  }
  // 16 octets of 0x42 expand to the same key: take another short key.
  const Bytes other(16, 0x24);
  EXPECT_FALSE(
      stb::belt::kwp_unwrap(other.data(), 16, wrapped.data(), 40, header.data(), out.data()));
  ASSERT_TRUE(stb::belt::kwp_unwrap(key.data(), 32, wrapped.data(), 40, header.data(), out.data()));
  EXPECT_EQ(out, secret);
}

}  // namespace
