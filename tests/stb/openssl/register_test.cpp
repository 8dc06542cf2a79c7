// STB_register(): safe from many threads at once, idempotent, and the
// identifiers it creates carry the right encodings and names.
#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/engine.h>
#include <openssl/objects.h>

#include <atomic>
#include <cstring>
#include <latch>
#include <thread>
#include <vector>

#include "evp_support.h"
#include "stb/stb.h"

namespace ossltest {
namespace {

int engines_named_stb() {
  int n = 0;
  for (ENGINE* e = ENGINE_get_first(); e != nullptr; e = ENGINE_get_next(e)) {
    if (std::strcmp(ENGINE_get_id(e), "stb") == 0) ++n;
  }
  return n;
}

// Under CTest every case runs in a process of its own, so this is the first
// registration there. Each thread uses the algorithms right away.
TEST(Register, EightThreadsAtOnce) {
  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::atomic<int> ok{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      start.arrive_and_wait();
      if (STB_register() != 1) return;
      const EVP_MD* md = EVP_get_digestbyname("belt-hash");
      const EVP_CIPHER* c = EVP_get_cipherbyname("belt-ctr256");
      if (md == nullptr || c == nullptr) return;
      unsigned char out[32];
      unsigned int n = 0;
      if (EVP_Digest("abc", 3, out, &n, md, nullptr) != 1 || n != 32) return;
      ++ok;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok, kThreads);
  EXPECT_EQ(engines_named_stb(), 1);
}

TEST(Register, RepeatedCallsChangeNothing) {
  ASSERT_EQ(STB_register(), 1);
  const int nid = OBJ_sn2nid("belt-hash");
  const EVP_CIPHER* c = EVP_get_cipherbyname("belt-cbc128");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(STB_register(), 1);
  EXPECT_EQ(OBJ_sn2nid("belt-hash"), nid);
  EXPECT_EQ(EVP_get_cipherbyname("belt-cbc128"), c);
  EXPECT_EQ(engines_named_stb(), 1);
}

struct Oid {
  const char* short_name;
  const char* der;
};

constexpr Oid kOids[] = {
    {"belt-ecb128", "06092A7000020022651F0B"},     {"belt-ecb192", "06092A7000020022651F0C"},
    {"belt-ecb256", "06092A7000020022651F0D"},     {"belt-cbc128", "06092A7000020022651F15"},
    {"belt-cbc192", "06092A7000020022651F16"},     {"belt-cbc256", "06092A7000020022651F17"},
    {"belt-cfb128", "06092A7000020022651F1F"},     {"belt-cfb192", "06092A7000020022651F20"},
    {"belt-cfb256", "06092A7000020022651F21"},     {"belt-ctr128", "06092A7000020022651F29"},
    {"belt-ctr192", "06092A7000020022651F2A"},     {"belt-ctr256", "06092A7000020022651F2B"},
    {"belt-mac128", "06092A7000020022651F33"},     {"belt-mac192", "06092A7000020022651F34"},
    {"belt-mac256", "06092A7000020022651F35"},     {"belt-dwp128", "06092A7000020022651F3D"},
    {"belt-dwp192", "06092A7000020022651F3E"},     {"belt-dwp256", "06092A7000020022651F3F"},
    {"belt-che128", "06092A7000020022651F40"},     {"belt-che192", "06092A7000020022651F41"},
    {"belt-che256", "06092A7000020022651F42"},     {"belt-kwp128", "06092A7000020022651F47"},
    {"belt-kwp192", "06092A7000020022651F48"},     {"belt-kwp256", "06092A7000020022651F49"},
    {"belt-hash", "06092A7000020022651F51"},       {"belt-keyexpand", "06092A7000020022651F5B"},
    {"belt-keyrep", "06092A7000020022651F65"},     {"hmac-hbelt", "06092A7000020022652F0C"},
    {"brng-ctr-hbelt", "06092A7000020022652F16"},  {"brng-hmac-hbelt", "06092A7000020022652F20"},
    {"bash256", "06092A7000020022654D0B"},         {"bash384", "06092A7000020022654D0C"},
    {"bash512", "06092A7000020022654D0D"},         {"belt-block128", "06092A7000020022651F03"},
    {"belt-block192", "06092A7000020022651F04"},   {"belt-block256", "06092A7000020022651F05"},
    {"belt-wblock128", "06092A7000020022651F06"},  {"belt-wblock192", "06092A7000020022651F07"},
    {"belt-wblock256", "06092A7000020022651F08"},  {"belt-compress", "06092A7000020022651F09"},
    {"hmac-hspec", "06092A7000020022652F0B"},      {"brng-ctr-hspec", "06092A7000020022652F15"},
    {"brng-hmac-hspec", "06092A7000020022652F1F"},
};

TEST_F(Registered, IdentifiersEncodeAndName) {
  for (const Oid& o : kOids) {
    SCOPED_TRACE(o.short_name);
    const int nid = OBJ_sn2nid(o.short_name);
    ASSERT_NE(nid, NID_undef);
    const ASN1_OBJECT* obj = OBJ_nid2obj(nid);
    unsigned char* der = nullptr;
    const int len = i2d_ASN1_OBJECT(obj, &der);
    ASSERT_GT(len, 0);
    EXPECT_EQ(testsupport::to_hex(der, static_cast<std::size_t>(len)), o.der);
    OPENSSL_free(der);
    // A readable long name of its own, and the dotted form leads back.
    const char* ln = OBJ_nid2ln(nid);
    ASSERT_NE(ln, nullptr);
    EXPECT_STRNE(ln, o.short_name);
    EXPECT_EQ(OBJ_ln2nid(ln), nid);
    char dotted[64];
    ASSERT_GT(OBJ_obj2txt(dotted, sizeof dotted, obj, 1), 0);
    EXPECT_EQ(OBJ_txt2nid(dotted), nid);
  }
}

}  // namespace
}  // namespace ossltest
