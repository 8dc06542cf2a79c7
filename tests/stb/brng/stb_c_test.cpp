// The C functions of stb/stb.h: the same vectors through the C interface, and
// every refusal (bad lengths, null buffers) answering nonzero without writing.
#include <gtest/gtest.h>

#include <cstdint>

#include "stb/stb.h"
#include "support/vectors.h"

namespace {

using testsupport::Bytes;
using testsupport::load_vectors;
using testsupport::records_of;
using testsupport::to_hex;

TEST(StbC, KeyexpandAndKeyrepVectors) {
  const auto all = load_vectors("belt_keys.txt");
  for (const auto& r : records_of(all, "belt-keyexpand")) {
    const Bytes key = r.bytes("key");
    Bytes out(32);
    ASSERT_EQ(BELT_keyexpand(out.data(), key.data(), key.size()), 0) << r.where();
    EXPECT_EQ(to_hex(out), r.text("out")) << r.where();
  }
  for (const auto& r : records_of(all, "belt-keyrep")) {
    const Bytes key = r.bytes("key"), level = r.bytes("level"), header = r.bytes("header");
    Bytes out(r.text("out").size() / 2);
    ASSERT_EQ(
        BELT_keyrep(key.data(), key.size(), level.data(), header.data(), out.size(), out.data()), 0)
        << r.where();
    EXPECT_EQ(to_hex(out), r.text("out")) << r.where();
  }
}

TEST(StbC, MacAndHmacVectors) {
  for (const auto& r : records_of(load_vectors("belt_mac.txt"), "belt-mac")) {
    const Bytes key = r.bytes("key"), msg = r.bytes("msg");
    Bytes out(8);
    ASSERT_EQ(belt_mac(msg.data(), msg.size(), key.data(), key.size(), out.data()), 0) << r.where();
    EXPECT_EQ(to_hex(out), r.text("mac")) << r.where();
  }
  for (const auto& r : records_of(load_vectors("hmac_hbelt.txt"), "hmac-hbelt")) {
    const Bytes key = r.bytes("key"), msg = r.bytes("msg");
    Bytes out(32);
    // Empty key and message go in as null pointers.
    ASSERT_EQ(hmac_hbelt(msg.empty() ? nullptr : msg.data(), msg.size(),
                         key.empty() ? nullptr : key.data(), key.size(), out.data()),
              0)
        << r.where();
    EXPECT_EQ(to_hex(out), r.text("mac")) << r.where();
  }
}

TEST(StbC, BrngVectors) {
  const auto all = load_vectors("brng.txt");
  for (const auto& r : records_of(all, "brng-ctr-hbelt")) {
    const Bytes key = r.bytes("key"), iv = r.bytes("iv"), x = r.bytes("x");
    Bytes start = iv, out(x.size());
    ASSERT_EQ(
        brng_ctr_hbelt(x.size() / 32, key.data(), start.data(), x.data(), x.size(), out.data()), 0)
        << r.where();
    EXPECT_EQ(to_hex(out), r.text("y")) << r.where();
    EXPECT_EQ(start, iv) << r.where() << ": caller's start value changed";
  }
  for (const auto& r : records_of(all, "brng-hmac-hbelt")) {
    const Bytes key = r.bytes("key"), iv = r.bytes("iv"), y = r.bytes("y");
    const std::size_t n = y.size() / 32;  // the C call gives whole blocks only
    Bytes out(32 * n);
    ASSERT_EQ(brng_hmac_hbelt(n, key.data(), key.size(), iv.data(), iv.size(), out.data()), 0)
        << r.where();
    EXPECT_EQ(out, Bytes(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(32 * n))) << r.where();
  }
}

TEST(StbC, RefusesBadArguments) {
  const Bytes key(32, 1), zero(32, 0), in(64, 2);
  Bytes out(64, 0xEE);
  unsigned char* o = out.data();
  const unsigned char* k = key.data();
  const unsigned char* z = zero.data();
  const struct {
    const char* what;
    int rc;
  } cases[] = {
      {"keyexpand 20", BELT_keyexpand(o, k, 20)},
      {"keyexpand null key", BELT_keyexpand(o, nullptr, 32)},
      {"keyexpand null out", BELT_keyexpand(nullptr, k, 32)},
      {"keyrep out > key", BELT_keyrep(k, 16, z, z, 24, o)},
      {"keyrep out 20", BELT_keyrep(k, 32, z, z, 20, o)},
      {"keyrep null level", BELT_keyrep(k, 32, nullptr, z, 32, o)},
      {"keyrep null header", BELT_keyrep(k, 32, z, nullptr, 32, o)},
      {"keyrep null out", BELT_keyrep(k, 32, z, z, 32, nullptr)},
      {"mac key 31", belt_mac(in.data(), 10, k, 31, o)},
      {"mac null data", belt_mac(nullptr, 10, k, 32, o)},
      {"mac null out", belt_mac(in.data(), 10, k, 32, nullptr)},
      {"hmac null key", hmac_hbelt(in.data(), 10, nullptr, 5, o)},
      {"hmac null data", hmac_hbelt(nullptr, 1, k, 32, o)},
      {"hmac null out", hmac_hbelt(in.data(), 10, k, 32, nullptr)},
      {"ctr in_len short", brng_ctr_hbelt(2, k, z, in.data(), 63, o)},
      {"ctr in_len long", brng_ctr_hbelt(1, k, z, in.data(), 64, o)},
      {"ctr n overflows", brng_ctr_hbelt(SIZE_MAX / 16, k, z, in.data(), 0, o)},
      {"ctr null key", brng_ctr_hbelt(1, nullptr, z, in.data(), 32, o)},
      {"ctr null start", brng_ctr_hbelt(1, k, nullptr, in.data(), 32, o)},
      {"ctr null in", brng_ctr_hbelt(1, k, z, nullptr, 32, o)},
      {"ctr null out", brng_ctr_hbelt(1, k, z, in.data(), 32, nullptr)},
      {"hmac-brng null key", brng_hmac_hbelt(1, nullptr, 4, z, 4, o)},
      {"hmac-brng null start", brng_hmac_hbelt(1, k, 4, nullptr, 4, o)},
      {"hmac-brng null out", brng_hmac_hbelt(1, k, 4, z, 4, nullptr)},
      {"hmac-brng n overflows", brng_hmac_hbelt(SIZE_MAX / 16, k, 4, z, 4, o)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, 1) << c.what;
  EXPECT_EQ(out, Bytes(64, 0xEE)) << "a refused call wrote output";
  // Empty requests are fine and write nothing.
  EXPECT_EQ(brng_ctr_hbelt(0, k, z, nullptr, 0, nullptr), 0);
  EXPECT_EQ(brng_hmac_hbelt(0, nullptr, 0, nullptr, 0, nullptr), 0);
  EXPECT_EQ(belt_mac(nullptr, 0, k, 16, o), 0);
}

}  // namespace
