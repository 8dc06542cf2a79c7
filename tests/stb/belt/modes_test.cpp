// ECB/CBC/CFB/CTR: every vector both ways, one-shot and streamed with every
// chunk size, in place and not, checking the update/pending/final contract.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>

#include "belt_records.h"
#include "stb/belt/modes.h"
#include "support/vectors.h"

using testsupport::Bytes;
using namespace stb::belt;

namespace {

// Uniform access to the four mode classes.
template <class M>
struct Traits;

template <>
struct Traits<Ecb> {
  static constexpr const char* kAlg = "belt-ecb";
  static constexpr bool kCts = true;
  static bool init(Ecb& m, const Bytes& key, const Bytes&, bool enc) {
    return m.init(key.data(), key.size(), enc);
  }
  static bool once(bool enc, const Bytes& key, const Bytes&, const std::uint8_t* in,
                   std::size_t len, std::uint8_t* out) {
    return enc ? Ecb::encrypt(key.data(), key.size(), in, len, out)
               : Ecb::decrypt(key.data(), key.size(), in, len, out);
  }
};

template <>
struct Traits<Cbc> {
  static constexpr const char* kAlg = "belt-cbc";
  static constexpr bool kCts = true;
  static bool init(Cbc& m, const Bytes& key, const Bytes& iv, bool enc) {
    return m.init(key.data(), key.size(), iv.data(), enc);
  }
  static bool once(bool enc, const Bytes& key, const Bytes& iv, const std::uint8_t* in,
                   std::size_t len, std::uint8_t* out) {
    return enc ? Cbc::encrypt(key.data(), key.size(), iv.data(), in, len, out)
               : Cbc::decrypt(key.data(), key.size(), iv.data(), in, len, out);
  }
};

template <>
struct Traits<Cfb> {
  static constexpr const char* kAlg = "belt-cfb";
  static constexpr bool kCts = false;
  static bool init(Cfb& m, const Bytes& key, const Bytes& iv, bool enc) {
    return m.init(key.data(), key.size(), iv.data(), enc);
  }
  static bool once(bool enc, const Bytes& key, const Bytes& iv, const std::uint8_t* in,
                   std::size_t len, std::uint8_t* out) {
    return enc ? Cfb::encrypt(key.data(), key.size(), iv.data(), in, len, out)
               : Cfb::decrypt(key.data(), key.size(), iv.data(), in, len, out);
  }
};

template <>
struct Traits<Ctr> {
  static constexpr const char* kAlg = "belt-ctr";
  static constexpr bool kCts = false;
  static bool init(Ctr& m, const Bytes& key, const Bytes& iv, bool) {
    return m.init(key.data(), key.size(), iv.data());
  }
  static bool once(bool, const Bytes& key, const Bytes& iv, const std::uint8_t* in, std::size_t len,
                   std::uint8_t* out) {
    return Ctr::crypt(key.data(), key.size(), iv.data(), in, len, out);
  }
};

constexpr std::uint8_t kGuard = 0xC3;
constexpr std::size_t kSlack = 48;

// Where update() writes: a separate buffer; over the very octets it was given
// (out == in on every call); or one buffer holding the whole stream, output
// trailing the input by pending().
enum class Place { kApart, kSameCall, kOneBuffer };
constexpr Place kPlaces[] = {Place::kApart, Place::kSameCall, Place::kOneBuffer};

// Streams `in` through a fresh object, chunk sizes from next_chunk(); checks
// the contract after every call. Returns the output, or nothing when final()
// refused.
template <class M>
std::optional<Bytes> stream(const Bytes& key, const Bytes& iv, bool enc, const Bytes& in,
                            const std::function<std::size_t()>& next_chunk, Place place) {
  M m;
  EXPECT_TRUE(Traits<M>::init(m, key, iv, enc));
  // Room past the end, filled with a guard value, to catch overlong writes.
  Bytes src = in;
  src.resize(in.size() + kSlack, kGuard);
  Bytes dst(in.size() + kSlack, kGuard);
  std::uint8_t* out = place == Place::kOneBuffer ? src.data() : dst.data();
  std::size_t fed = 0, got = 0;
  bool bad = false;
  while (fed < in.size() && !bad) {
    const std::size_t c = std::min(next_chunk(), in.size() - fed);
    std::size_t w;
    if (place == Place::kSameCall) {
      Bytes call(src.begin() + static_cast<long>(fed), src.begin() + static_cast<long>(fed + c));
      call.resize(c + kSlack, kGuard);
      w = m.update(call.data(), c, call.data());
      EXPECT_EQ(Bytes(call.begin() + static_cast<long>(c), call.end()), Bytes(kSlack, kGuard));
      std::copy(call.begin(), call.begin() + static_cast<long>(std::min(w, c)), out + got);
    } else {
      w = m.update(src.data() + fed, c, out + got);
    }
    fed += c;
    got += w;
    bad |= w > c;
    EXPECT_LE(w, c) << "update yielded more than given at " << fed;
    EXPECT_EQ(m.pending(), fed - got);
    if (Traits<M>::kCts) {
      // 16..31 kept back once a block has come in; the queue stays short.
      EXPECT_LE(m.pending(), 31u);
      if (fed >= 16) {
        EXPECT_GE(m.pending(), 16u);
      }
    } else {
      EXPECT_EQ(m.pending(), 0u);
    }
  }
  const std::size_t pend = m.pending();
  if (!m.final(out + got)) return std::nullopt;
  got += pend;
  EXPECT_EQ(got, in.size());
  for (std::size_t i = in.size(); i < in.size() + kSlack; ++i)
    EXPECT_EQ(out[i], kGuard) << "wrote past the end at " << i;
  return Bytes(out, out + in.size());
}

template <class M>
class BeltMode : public ::testing::Test {};

using ModeTypes = ::testing::Types<Ecb, Cbc, Cfb, Ctr>;
TYPED_TEST_SUITE(BeltMode, ModeTypes);

TYPED_TEST(BeltMode, VectorsOneShotAndEveryChunkSize) {
  using M = TypeParam;
  const auto recs = belttest::records("belt_modes.txt", Traits<M>::kAlg);
  ASSERT_GE(recs.size(), 10u);
  for (const auto& r : recs) {
    SCOPED_TRACE(r.where());
    const Bytes key = r.bytes("key"), pt = r.bytes("pt"), ct = r.bytes("ct");
    const Bytes iv = r.has("iv") ? r.bytes("iv") : Bytes(16);
    ASSERT_EQ(pt.size(), ct.size());
    for (const bool enc : {true, false}) {
      SCOPED_TRACE(enc ? "encrypt" : "decrypt");
      const Bytes& in = enc ? pt : ct;
      const Bytes& want = enc ? ct : pt;
      Bytes out(in.size());
      ASSERT_TRUE(Traits<M>::once(enc, key, iv, in.data(), in.size(), out.data()));
      EXPECT_EQ(out, want);
      Bytes io = in;
      ASSERT_TRUE(Traits<M>::once(enc, key, iv, io.data(), io.size(), io.data()));
      EXPECT_EQ(io, want);
      for (std::size_t chunk = 1; chunk <= std::max<std::size_t>(in.size(), 1); ++chunk) {
        SCOPED_TRACE(chunk);
        auto fixed = [chunk] { return chunk; };
        for (const Place place : kPlaces)
          EXPECT_EQ(stream<M>(key, iv, enc, in, fixed, place), want);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

// Long random messages through uneven chunks (hitting the multi-block paths,
// the output queue and the carried keystream at every offset) against
// one-shot, and back.
TYPED_TEST(BeltMode, UnevenChunksMatchOneShotAndRoundTrip) {
  using M = TypeParam;
  std::mt19937 rng(7);
  auto random_bytes = [&](std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
  };
  for (const std::size_t key_len : {16u, 24u, 32u}) {
    for (const std::size_t len :
         {16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 95u, 130u, 1000u, 4099u}) {
      SCOPED_TRACE(::testing::Message() << "key " << key_len << " len " << len);
      const Bytes key = random_bytes(key_len), iv = random_bytes(16), pt = random_bytes(len);
      Bytes ct(len);
      ASSERT_TRUE(Traits<M>::once(true, key, iv, pt.data(), len, ct.data()));
      Bytes back(len);
      ASSERT_TRUE(Traits<M>::once(false, key, iv, ct.data(), len, back.data()));
      EXPECT_EQ(back, pt);
      for (const Place place : kPlaces) {
        std::size_t step = 0;
        auto uneven = [&step] {
          static constexpr std::size_t kSizes[] = {1, 15, 16, 17, 31, 33, 0, 2, 64, 47, 100, 5};
          return kSizes[step++ % std::size(kSizes)];
        };
        EXPECT_EQ(stream<M>(key, iv, true, pt, uneven, place), ct);
        step = 3;
        EXPECT_EQ(stream<M>(key, iv, false, ct, uneven, place), pt);
      }
    }
  }
}

TYPED_TEST(BeltMode, RefusesBadKeyLengths) {
  using M = TypeParam;
  const Bytes key(64, 0x11), iv(16, 0x22), in(40, 0x33);
  for (const std::size_t len : {0u, 1u, 15u, 17u, 23u, 25u, 31u, 33u, 64u}) {
    SCOPED_TRACE(len);
    const Bytes k(key.begin(), key.begin() + static_cast<long>(len));
    M m;
    EXPECT_FALSE(Traits<M>::init(m, k, iv, true));
    Bytes out(in.size(), 0xEE);
    EXPECT_FALSE(Traits<M>::once(true, k, iv, in.data(), in.size(), out.data()));
    EXPECT_FALSE(Traits<M>::once(false, k, iv, in.data(), in.size(), out.data()));
    EXPECT_EQ(out, Bytes(in.size(), 0xEE));
  }
}

// ECB and CBC need a whole block: shorter input is refused, nothing written,
// and the object is usable again afterwards. CFB and CTR take any length.
TYPED_TEST(BeltMode, ShortInput) {
  using M = TypeParam;
  const Bytes key(32, 0x42), iv(16, 0x24), msg(40, 0x99);
  for (std::size_t len = 0; len < 16; ++len) {
    SCOPED_TRACE(len);
    const Bytes in(msg.begin(), msg.begin() + static_cast<long>(len));
    Bytes out(16, 0xEE);
    const bool ok = Traits<M>::once(true, key, iv, in.data(), len, out.data());
    EXPECT_EQ(ok, !Traits<M>::kCts);
    if (Traits<M>::kCts) {
      EXPECT_EQ(out, Bytes(16, 0xEE));
      M m;
      ASSERT_TRUE(Traits<M>::init(m, key, iv, true));
      EXPECT_EQ(m.update(in.data(), len, out.data()), 0u);
      EXPECT_EQ(m.pending(), len);
      EXPECT_FALSE(m.final(out.data()));
      EXPECT_EQ(out, Bytes(16, 0xEE));
      EXPECT_EQ(m.pending(), 0u);
    }
  }
}

TYPED_TEST(BeltMode, SetIvRestartsTheStream) {
  using M = TypeParam;
  if constexpr (!std::is_same_v<M, Ecb>) {
    const Bytes key(24, 0x42), iv1(16, 0x01), iv2(16, 0x02), msg(53, 0x5C);
    Bytes want1(msg.size()), want2(msg.size());
    ASSERT_TRUE(Traits<M>::once(true, key, iv1, msg.data(), msg.size(), want1.data()));
    ASSERT_TRUE(Traits<M>::once(true, key, iv2, msg.data(), msg.size(), want2.data()));
    M m;
    ASSERT_TRUE(Traits<M>::init(m, key, iv1, true));
    Bytes out(msg.size());
    // Leave the stream half-way (buffered input, carried keystream), restart.
    m.update(msg.data(), 37, out.data());
    m.set_iv(iv2.data());
    EXPECT_EQ(m.pending(), 0u);
    std::size_t n = m.update(msg.data(), msg.size(), out.data());
    ASSERT_TRUE(m.final(out.data() + n));
    EXPECT_EQ(out, want2);
    m.set_iv(iv1.data());
    n = m.update(msg.data(), msg.size(), out.data());
    ASSERT_TRUE(m.final(out.data() + n));
    EXPECT_EQ(out, want1);
  }
}

}  // namespace
