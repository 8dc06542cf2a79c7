// Every belt path (portable arithmetic, SSSE3, AVX2, AVX-512) against every
// vector record of the belt family, and against the portable path over
// lengths around each path's group boundaries. A path the processor lacks is
// skipped with the reason in the test output.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "belt_path.h"
#include "belt_records.h"
#include "stb/belt/block.h"
#include "stb/belt/hash.h"
#include "stb/belt/hmac.h"
#include "stb/belt/keyrep.h"
#include "stb/belt/kwp.h"
#include "stb/belt/mac.h"
#include "stb/belt/modes.h"
#include "stb/brng/brng.h"

using testsupport::Bytes;
using testsupport::Record;
using namespace stb::belt;

namespace {

// One vector family: its file, alg and the output a record expects from its
// inputs (empty when the record must be refused).
struct Family {
  const char* file;
  const char* alg;
  const char* expect;
  std::function<Bytes(const Record&)> run;
};

Bytes sized(std::size_t n) {
  return Bytes(n, 0xEE);
}

const Family kFamilies[] = {
    {"belt_block.txt", "belt-block", "ct",
     [](const Record& r) {
       Block b;
       const Bytes key = r.bytes("key"), pt = r.bytes("pt");
       Bytes ct = sized(16), back = sized(16);
       EXPECT_TRUE(b.set_key(key.data(), key.size()));
       b.encrypt(pt.data(), ct.data());
       b.decrypt(ct.data(), back.data());
       EXPECT_EQ(back, pt);
       return ct;
     }},
    {"belt_modes.txt", "belt-ecb", "ct",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), pt = r.bytes("pt");
       Bytes ct = sized(pt.size()), back = sized(pt.size());
       EXPECT_TRUE(Ecb::encrypt(key.data(), key.size(), pt.data(), pt.size(), ct.data()));
       EXPECT_TRUE(Ecb::decrypt(key.data(), key.size(), ct.data(), ct.size(), back.data()));
       EXPECT_EQ(back, pt);
       return ct;
     }},
    {"belt_modes.txt", "belt-cbc", "ct",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), iv = r.bytes("iv"), pt = r.bytes("pt");
       Bytes ct = sized(pt.size()), back = sized(pt.size());
       EXPECT_TRUE(Cbc::encrypt(key.data(), key.size(), iv.data(), pt.data(), pt.size(), ct.data()));
       EXPECT_TRUE(
           Cbc::decrypt(key.data(), key.size(), iv.data(), ct.data(), ct.size(), back.data()));
       EXPECT_EQ(back, pt);
       return ct;
     }},
    {"belt_modes.txt", "belt-cfb", "ct",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), iv = r.bytes("iv"), pt = r.bytes("pt");
       Bytes ct = sized(pt.size()), back = sized(pt.size());
       EXPECT_TRUE(Cfb::encrypt(key.data(), key.size(), iv.data(), pt.data(), pt.size(), ct.data()));
       EXPECT_TRUE(
           Cfb::decrypt(key.data(), key.size(), iv.data(), ct.data(), ct.size(), back.data()));
       EXPECT_EQ(back, pt);
       return ct;
     }},
    {"belt_modes.txt", "belt-ctr", "ct",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), iv = r.bytes("iv"), pt = r.bytes("pt");
       Bytes ct = sized(pt.size());
       EXPECT_TRUE(Ctr::crypt(key.data(), key.size(), iv.data(), pt.data(), pt.size(), ct.data()));
       return ct;
     }},
    {"belt_mac.txt", "belt-mac", "mac",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), msg = r.bytes("msg");
       Bytes mac = sized(kMacSize);
       EXPECT_TRUE(Mac::compute(key.data(), key.size(), msg.data(), msg.size(), mac.data()));
       return mac;
     }},
    {"belt_hash.txt", "belt-compress", "y",
     [](const Record& r) {
       Bytes s = sized(16), y = sized(32);
       compress(r.bytes("in").data(), s.data(), y.data());
       EXPECT_EQ(s, r.bytes("s"));
       return y;
     }},
    {"belt_hash.txt", "belt-hash", "hash",
     [](const Record& r) {
       const Bytes msg = r.bytes("msg");
       Bytes out = sized(kHashSize);
       Hash::compute(msg.data(), msg.size(), out.data());
       return out;
     }},
    {"belt_wrap.txt", "belt-wblock", "ct",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), pt = r.bytes("pt");
       Bytes ct = pt;
       EXPECT_TRUE(wblock_encrypt(key.data(), key.size(), ct.data(), ct.size()));
       Bytes back = ct;
       EXPECT_TRUE(wblock_decrypt(key.data(), key.size(), back.data(), back.size()));
       EXPECT_EQ(back, pt);
       return ct;
     }},
    {"belt_wrap.txt", "belt-kwp", "pt",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), header = r.bytes("header"), ct = r.bytes("ct");
       Bytes pt = sized(ct.size() - kHeaderSize);
       if (!kwp_unwrap(key.data(), key.size(), ct.data(), ct.size(), header.data(), pt.data()))
         return Bytes{};
       return pt;
     }},
    {"belt_keys.txt", "belt-keyrep", "out",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), level = r.bytes("level"), header = r.bytes("header");
       Bytes out = sized(r.bytes("out").size());
       EXPECT_TRUE(keyrep(key.data(), key.size(), level.data(), header.data(), out.size(),
                          out.data()));
       return out;
     }},
    {"hmac_hbelt.txt", "hmac-hbelt", "mac",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), msg = r.bytes("msg");
       Bytes mac = sized(kHashSize);
       Hmac::compute(key.data(), key.size(), msg.data(), msg.size(), mac.data());
       return mac;
     }},
    {"brng.txt", "brng-ctr-hbelt", "y",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), iv = r.bytes("iv"), x = r.bytes("x");
       Bytes y = sized(x.size());
       stb::brng::CtrHbelt g;
       g.init(key.data(), iv.data());
       g.generate(x.data(), x.size() / stb::brng::kBlockSize, y.data());
       return y;
     }},
    {"brng.txt", "brng-hmac-hbelt", "y",
     [](const Record& r) {
       const Bytes key = r.bytes("key"), iv = r.bytes("iv");
       Bytes y = sized(r.bytes("y").size());
       stb::brng::HmacHbelt g;
       g.init(key.data(), key.size(), iv.data(), iv.size());
       g.generate(y.data(), y.size());
       return y;
     }},
};

class BeltPath : public belttest::PathTest {};

TEST_P(BeltPath, EveryVectorRecord) {
  for (const Family& f : kFamilies) {
    const auto recs = belttest::records(f.file, f.alg);
    ASSERT_FALSE(recs.empty()) << f.alg;
    for (const Record& r : recs) {
      SCOPED_TRACE(r.where());
      const bool refused = r.has("result") && r.text("result") == "fail";
      EXPECT_EQ(f.run(r), refused ? Bytes{} : r.bytes(f.expect));
    }
  }
}

// Lengths around the group sizes of every path (4, 8, 16 lanes; 2 or 4
// groups), in place and not, 128- to 256-bit keys.
TEST_P(BeltPath, MatchesPortableAroundGroupBoundaries) {
  using OneShot = bool (*)(const Bytes&, const Bytes&, const std::uint8_t*, std::size_t,
                           std::uint8_t*);
  const struct {
    const char* name;
    OneShot run;
  } modes[] = {
      {"ecb-enc", [](const Bytes& k, const Bytes&, const std::uint8_t* in, std::size_t n,
                     std::uint8_t* out) { return Ecb::encrypt(k.data(), k.size(), in, n, out); }},
      {"ecb-dec", [](const Bytes& k, const Bytes&, const std::uint8_t* in, std::size_t n,
                     std::uint8_t* out) { return Ecb::decrypt(k.data(), k.size(), in, n, out); }},
      {"cbc-enc",
       [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n,
          std::uint8_t* out) { return Cbc::encrypt(k.data(), k.size(), iv.data(), in, n, out); }},
      {"cbc-dec",
       [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n,
          std::uint8_t* out) { return Cbc::decrypt(k.data(), k.size(), iv.data(), in, n, out); }},
      {"cfb-enc",
       [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n,
          std::uint8_t* out) { return Cfb::encrypt(k.data(), k.size(), iv.data(), in, n, out); }},
      {"cfb-dec",
       [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n,
          std::uint8_t* out) { return Cfb::decrypt(k.data(), k.size(), iv.data(), in, n, out); }},
      {"ctr",
       [](const Bytes& k, const Bytes& iv, const std::uint8_t* in, std::size_t n,
          std::uint8_t* out) { return Ctr::crypt(k.data(), k.size(), iv.data(), in, n, out); }},
  };
  std::mt19937 rng(11);
  auto random_bytes = [&](std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
  };
  for (const auto& m : modes) {
    for (const std::size_t key_len : {16u, 24u, 32u}) {
      for (const std::size_t len : {16u, 33u, 47u, 48u, 64u, 127u, 128u, 129u, 143u, 255u, 256u,
                                    257u, 271u, 511u, 512u, 1023u, 1024u, 1029u, 1295u, 4096u}) {
        SCOPED_TRACE(::testing::Message() << m.name << " key " << key_len << " len " << len);
        const Bytes key = random_bytes(key_len), iv = random_bytes(16), in = random_bytes(len);
        Bytes want(len), got(len), in_place = in;
        {
          belttest::UsePath portable(Path::portable);
          ASSERT_TRUE(m.run(key, iv, in.data(), len, want.data()));
        }
        ASSERT_TRUE(m.run(key, iv, in.data(), len, got.data()));
        EXPECT_EQ(got, want);
        ASSERT_TRUE(m.run(key, iv, in_place.data(), len, in_place.data()));
        EXPECT_EQ(in_place, want);
      }
    }
  }
}

// The counter starts at F(IV); choosing IV = F^-1(start) puts it just below
// a carry out of the first word, the first half and the whole block, at
// different places within a group of lanes.
TEST_P(BeltPath, CounterCarriesAcrossLanes) {
  const Bytes key(32, 0x5C), in(64 * 16 + 7, 0x3A);
  Block block;
  ASSERT_TRUE(block.set_key(key.data(), key.size()));
  for (const char* start : {"EFFFFFFF000000000000000000000000", "F0FFFFFF000000000000000000000000",
                            "F9FFFFFFFFFFFFFF1234567800000000", "F9FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                            "FEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"}) {
    SCOPED_TRACE(start);
    Bytes iv(16), want(in.size()), got(in.size());
    block.decrypt(testsupport::from_hex(start).data(), iv.data());
    {
      belttest::UsePath portable(Path::portable);
      ASSERT_TRUE(Ctr::crypt(key.data(), key.size(), iv.data(), in.data(), in.size(), want.data()));
    }
    ASSERT_TRUE(Ctr::crypt(key.data(), key.size(), iv.data(), in.data(), in.size(), got.data()));
    EXPECT_EQ(got, want);
  }
}

// Streamed in uneven pieces the group loops start at odd places in the
// message and must hand the chain or counter on.
TEST_P(BeltPath, StreamingEqualsOneShot) {
  const Bytes key(24, 0x21), iv(16, 0x42);
  Bytes in(3000);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i * 7 + 1);
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
  for (const bool enc : {true, false}) {
    SCOPED_TRACE(enc);
    Bytes want(in.size());
    Cbc cbc;
    ASSERT_TRUE(cbc.init(key.data(), key.size(), iv.data(), enc));
    ASSERT_TRUE((enc ? Cbc::encrypt : Cbc::decrypt)(key.data(), key.size(), iv.data(), in.data(),
                                                     in.size(), want.data()));
    EXPECT_EQ(stream(cbc), want);
    Cfb cfb;
    ASSERT_TRUE(cfb.init(key.data(), key.size(), iv.data(), enc));
    ASSERT_TRUE((enc ? Cfb::encrypt : Cfb::decrypt)(key.data(), key.size(), iv.data(), in.data(),
                                                     in.size(), want.data()));
    EXPECT_EQ(stream(cfb), want);
  }
  Ctr ctr;
  ASSERT_TRUE(ctr.init(key.data(), key.size(), iv.data()));
  Bytes want(in.size());
  ASSERT_TRUE(Ctr::crypt(key.data(), key.size(), iv.data(), in.data(), in.size(), want.data()));
  EXPECT_EQ(stream(ctr), want);
}

INSTANTIATE_TEST_SUITE_P(AllPaths, BeltPath, BELT_ALL_PATHS, belttest::param_name);

}  // namespace
