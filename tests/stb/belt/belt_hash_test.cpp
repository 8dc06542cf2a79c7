// belt-compress, belt-hash, hmac-hbelt and belt-keyrep against the vector
// files, and the streaming forms against the one-shot ones.
#include <gtest/gtest.h>

#include <filesystem>

#include "stb/belt/hash.h"
#include "stb/belt/hmac.h"
#include "stb/belt/keyrep.h"
#include "support/vectors.h"

namespace {

using testsupport::Bytes;
using testsupport::Record;
using testsupport::to_hex;

// Records of alg from file, plus those of the lead's extra derived file when present.
std::vector<Record> vectors(const std::string& file, const std::string& alg) {
  auto out = testsupport::records_of(testsupport::load_vectors(file), alg);
  if (std::filesystem::exists(std::string(TESSEL_VECTOR_DIR) + "/derived_sym.txt")) {
    const auto extra = testsupport::records_of(testsupport::load_vectors("derived_sym.txt"), alg);
    out.insert(out.end(), extra.begin(), extra.end());
  }
  return out;
}

Bytes hash_of(const Bytes& m) {
  Bytes out(stb::belt::kHashSize);
  stb::belt::Hash::compute(m.data(), m.size(), out.data());
  return out;
}

TEST(BeltCompress, Vectors) {
  const auto records = vectors("belt_hash.txt", "belt-compress");
  ASSERT_GE(records.size(), 3u);
  for (const auto& r : records) {
    const Bytes in = r.bytes("in");
    ASSERT_EQ(in.size(), 64u) << r.where();
    std::uint8_t s[16], y[32];
    stb::belt::compress(in.data(), s, y);
    EXPECT_EQ(to_hex(s, 16), r.text("s")) << r.where();
    EXPECT_EQ(to_hex(y, 32), r.text("y")) << r.where();
    // Either output may be left out without disturbing the other.
    std::uint8_t y_only[32];
    stb::belt::compress(in.data(), nullptr, y_only);
    EXPECT_EQ(to_hex(y_only, 32), r.text("y")) << r.where();
  }
}

TEST(BeltHash, Vectors) {
  const auto records = vectors("belt_hash.txt", "belt-hash");
  ASSERT_GE(records.size(), 20u);
  for (const auto& r : records)
    EXPECT_EQ(to_hex(hash_of(r.bytes("msg"))), r.text("hash")) << r.where();
}

// Every chunk size from 1 to the whole message, and a copy taken mid-stream,
// give the one-shot hash; final() leaves the object usable.
TEST(BeltHash, StreamingAnySplit) {
  Bytes m(200);
  for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const Bytes whole = hash_of(m);
  for (std::size_t chunk = 1; chunk <= m.size(); ++chunk) {
    stb::belt::Hash h;
    for (std::size_t at = 0; at < m.size(); at += chunk)
      h.update(m.data() + at, std::min(chunk, m.size() - at));
    Bytes out(32);
    h.final(out.data());
    ASSERT_EQ(out, whole) << "chunk " << chunk;
  }
  stb::belt::Hash h;
  h.update(m.data(), 77);
  Bytes mid(32);
  h.final(mid.data());
  EXPECT_EQ(mid, hash_of(Bytes(m.begin(), m.begin() + 77)));
  stb::belt::Hash copy = h;
  copy.update(m.data() + 77, m.size() - 77);
  Bytes out(32);
  copy.final(out.data());
  EXPECT_EQ(out, whole);
  h.init();  // init() starts over
  h.update(m.data(), m.size());
  h.final(out.data());
  EXPECT_EQ(out, whole);
}

Bytes hmac_of(const Bytes& key, const Bytes& m) {
  Bytes out(32);
  stb::belt::Hmac::compute(key.data(), key.size(), m.data(), m.size(), out.data());
  return out;
}

TEST(HmacHbelt, Vectors) {
  const auto records = vectors("hmac_hbelt.txt", "hmac-hbelt");
  ASSERT_GE(records.size(), 19u);
  for (const auto& r : records)
    EXPECT_EQ(to_hex(hmac_of(r.bytes("key"), r.bytes("msg"))), r.text("mac")) << r.where();
}

TEST(HmacHbelt, StreamingAnySplitAndReuse) {
  const Bytes key(45, 0xA5);  // longer than a block: hashed first
  Bytes m(150);
  for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<std::uint8_t>(i ^ 0x5A);
  const Bytes whole = hmac_of(key, m);
  for (std::size_t chunk = 1; chunk <= m.size(); ++chunk) {
    stb::belt::Hmac h;
    h.init(key.data(), key.size());
    for (std::size_t at = 0; at < m.size(); at += chunk)
      h.update(m.data() + at, std::min(chunk, m.size() - at));
    Bytes out(32), again(32);
    h.final(out.data());
    h.final(again.data());  // final() does not consume the object
    ASSERT_EQ(out, whole) << "chunk " << chunk;
    ASSERT_EQ(again, whole) << "chunk " << chunk;
  }
  // Re-initialising with another key forgets the first one completely.
  stb::belt::Hmac h;
  h.init(key.data(), key.size());
  h.update(m.data(), 10);
  h.init(m.data(), 16);
  h.update(key.data(), key.size());
  Bytes out(32);
  h.final(out.data());
  EXPECT_EQ(out, hmac_of(Bytes(m.begin(), m.begin() + 16), key));
}

TEST(BeltKeyrep, Vectors) {
  const auto records = vectors("belt_keys.txt", "belt-keyrep");
  ASSERT_EQ(records.size(), 12u);
  for (const auto& r : records) {
    const Bytes key = r.bytes("key"), level = r.bytes("level"), header = r.bytes("header");
    const std::size_t m = r.text("out").size() / 2;
    Bytes out(m);
    ASSERT_TRUE(
        stb::belt::keyrep(key.data(), key.size(), level.data(), header.data(), m, out.data()))
        << r.where();
    EXPECT_EQ(to_hex(out), r.text("out")) << r.where();
  }
}

TEST(BeltKeyrep, RefusesBadLengthsWithoutWriting) {
  const Bytes key(32, 1), zeros(16, 0);
  const std::pair<std::size_t, std::size_t> bad[] = {{16, 24}, {16, 32}, {24, 32}, {32, 8},
                                                     {32, 0},  {20, 16}, {0, 16},  {33, 32}};
  for (const auto& [key_len, out_len] : bad) {
    Bytes out(32, 0xEE);
    EXPECT_FALSE(
        stb::belt::keyrep(key.data(), key_len, zeros.data(), zeros.data(), out_len, out.data()))
        << key_len << " -> " << out_len;
    EXPECT_EQ(out, Bytes(32, 0xEE));
  }
}

}  // namespace
