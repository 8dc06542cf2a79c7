// brng-ctr-hbelt and brng-hmac-hbelt against brng.txt, and a generator
// continued over several calls against one long call.
#include <gtest/gtest.h>

#include "stb/brng/brng.h"
#include "support/vectors.h"

namespace {

using testsupport::Bytes;
using testsupport::to_hex;

const auto& brng_records() {
  static const auto all = testsupport::load_vectors("brng.txt");
  return all;
}

TEST(BrngCtrHbelt, VectorsWithStartValueOut) {
  const auto records = testsupport::records_of(brng_records(), "brng-ctr-hbelt");
  ASSERT_GE(records.size(), 6u);
  std::size_t with_iv_out = 0;
  for (const auto& r : records) {
    const Bytes key = r.bytes("key"), iv = r.bytes("iv"), x = r.bytes("x");
    ASSERT_EQ(x.size() % 32, 0u) << r.where();
    stb::brng::CtrHbelt gen;
    gen.init(key.data(), iv.data());
    Bytes y(x.size());
    gen.generate(x.data(), x.size() / 32, y.data());
    EXPECT_EQ(to_hex(y), r.text("y")) << r.where();
    if (r.has("iv_out")) {
      EXPECT_EQ(to_hex(gen.start(), 32), r.text("iv_out")) << r.where();
      ++with_iv_out;
    }
    // In place: x and y in one buffer.
    Bytes inplace = x;
    gen.init(key.data(), iv.data());
    gen.generate(inplace.data(), inplace.size() / 32, inplace.data());
    EXPECT_EQ(inplace, y) << r.where();
  }
  EXPECT_GE(with_iv_out, 5u);
}

TEST(BrngCtrHbelt, ContinuingEqualsOneCall) {
  const auto r = testsupport::records_of(brng_records(), "brng-ctr-hbelt")[1];  // 8 blocks
  const Bytes key = r.bytes("key"), iv = r.bytes("iv"), x = r.bytes("x");
  const std::size_t n = x.size() / 32;
  ASSERT_GE(n, 4u);
  for (std::size_t first = 0; first <= n; ++first) {
    stb::brng::CtrHbelt gen;
    gen.init(key.data(), iv.data());
    Bytes y(x.size());
    gen.generate(x.data(), first, y.data());
    gen.generate(x.data() + 32 * first, n - first, y.data() + 32 * first);
    EXPECT_EQ(to_hex(y), r.text("y")) << "split after " << first;
  }
  // A null input means zero blocks: matches the all-zero record.
  const auto zeros = testsupport::records_of(brng_records(), "brng-ctr-hbelt")[3];
  ASSERT_EQ(zeros.bytes("x"), Bytes(64, 0)) << zeros.where();
  stb::brng::CtrHbelt gen;
  gen.init(zeros.bytes("key").data(), zeros.bytes("iv").data());
  Bytes y(64);
  gen.generate(nullptr, 2, y.data());
  EXPECT_EQ(to_hex(y), zeros.text("y"));
}

TEST(BrngHmacHbelt, Vectors) {
  const auto records = testsupport::records_of(brng_records(), "brng-hmac-hbelt");
  ASSERT_GE(records.size(), 4u);
  for (const auto& r : records) {
    const Bytes key = r.bytes("key"), iv = r.bytes("iv");
    stb::brng::HmacHbelt gen;
    gen.init(key.data(), key.size(), iv.data(), iv.size());
    Bytes y(r.text("y").size() / 2);
    gen.generate(y.data(), y.size());
    EXPECT_EQ(to_hex(y), r.text("y")) << r.where();
  }
}

// Any way of cutting the output into calls gives the same stream, partial
// blocks included.
TEST(BrngHmacHbelt, ContinuingEqualsOneCall) {
  const Bytes key(5, 0x31), start(50, 0x77);
  stb::brng::HmacHbelt one;
  one.init(key.data(), key.size(), start.data(), start.size());
  Bytes whole(200);
  one.generate(whole.data(), whole.size());
  for (std::size_t step = 1; step <= 70; ++step) {
    stb::brng::HmacHbelt gen;
    gen.init(key.data(), key.size(), start.data(), start.size());
    Bytes out(whole.size());
    for (std::size_t at = 0; at < out.size(); at += step)
      gen.generate(out.data() + at, std::min(step, out.size() - at));
    ASSERT_EQ(out, whole) << "step " << step;
  }
  // init() starts the stream over, even mid-block.
  stb::brng::HmacHbelt gen;
  gen.init(start.data(), 3, key.data(), 2);
  Bytes junk(45);
  gen.generate(junk.data(), junk.size());
  gen.init(key.data(), key.size(), start.data(), start.size());
  Bytes again(whole.size());
  gen.generate(again.data(), again.size());
  EXPECT_EQ(again, whole);
}

}  // namespace
