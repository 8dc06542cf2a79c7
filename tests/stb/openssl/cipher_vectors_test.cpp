// belt-ecb/cbc/cfb/ctr vectors through EVP ciphers looked up by name: both
// directions, one update and every piece size, and a context copied at every
// point of the message.
#include <gtest/gtest.h>

#include <ostream>

#include "evp_support.h"

namespace ossltest {
namespace {

struct Mode {
  const char* alg;
  bool has_iv;
  friend void PrintTo(const Mode& m, std::ostream* os) { *os << m.alg; }
};

constexpr Mode kModes[] = {
    {"belt-ecb", false}, {"belt-cbc", true}, {"belt-cfb", true}, {"belt-ctr", true}};

class CipherVectors : public Registered, public ::testing::WithParamInterface<Mode> {
 protected:
  struct Case {
    std::string where;
    const EVP_CIPHER* cipher;
    Bytes key, iv, pt, ct;
  };

  std::vector<Case> cases() {
    std::vector<Case> out;
    for (const Record& r : records("belt_modes.txt", GetParam().alg)) {
      Case c{r.where(), nullptr, r.bytes("key"), {}, r.bytes("pt"), r.bytes("ct")};
      if (GetParam().has_iv) c.iv = r.bytes("iv");
      c.cipher = cipher(sized_name(GetParam().alg, c.key.size()));
      if (c.cipher == nullptr) return {};
      out.push_back(std::move(c));
    }
    EXPECT_FALSE(out.empty());
    return out;
  }
};

TEST_P(CipherVectors, OneUpdateBothDirections) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.where);
    EXPECT_EQ(crypt(c.cipher, c.key, c.iv, c.pt, true), c.ct);
    EXPECT_EQ(crypt(c.cipher, c.key, c.iv, c.ct, false), c.pt);
  }
}

TEST_P(CipherVectors, EveryPieceSize) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.where);
    for (std::size_t step = 1; step <= c.pt.size(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      EXPECT_EQ(crypt(c.cipher, c.key, c.iv, c.pt, true, step), c.ct);
      EXPECT_EQ(crypt(c.cipher, c.key, c.iv, c.ct, false, step), c.pt);
    }
  }
}

// Copy after `cut` octets; original and copy each finish the message.
TEST_P(CipherVectors, CopiedContextContinues) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.where);
    for (int enc = 0; enc <= 1; ++enc) {
      const Bytes& in = enc ? c.pt : c.ct;
      const Bytes& want = enc ? c.ct : c.pt;
      for (std::size_t cut = 0; cut <= in.size(); ++cut) {
        CipherCtx a(EVP_CIPHER_CTX_new()), b(EVP_CIPHER_CTX_new());
        const unsigned char* iv = c.iv.empty() ? nullptr : c.iv.data();
        ASSERT_EQ(EVP_CipherInit_ex(a.get(), c.cipher, nullptr, c.key.data(), iv, enc), 1);
        Bytes head(in.size() + 16);
        int n = 0;
        ASSERT_EQ(EVP_CipherUpdate(a.get(), head.data(), &n, in.data(), static_cast<int>(cut)), 1);
        head.resize(static_cast<std::size_t>(n));
        ASSERT_EQ(EVP_CIPHER_CTX_copy(b.get(), a.get()), 1);
        const Bytes rest(in.begin() + static_cast<std::ptrdiff_t>(cut), in.end());
        for (EVP_CIPHER_CTX* ctx : {b.get(), a.get()}) {  // the copy first: a must be untouched
          const auto tail = finish(ctx, rest);
          ASSERT_TRUE(tail.has_value());
          Bytes out = head;
          out.insert(out.end(), tail->begin(), tail->end());
          EXPECT_EQ(out, want) << "cut " << cut << (ctx == a.get() ? " original" : " copy");
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, CipherVectors, ::testing::ValuesIn(kModes), [](const auto& p) {
  std::string s = p.param.alg;
  return s.substr(s.find('-') + 1);
});

}  // namespace
}  // namespace ossltest
