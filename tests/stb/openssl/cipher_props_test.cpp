// What callers of the belt EVP ciphers rely on besides the bytes: sizes and
// names, the route EVP takes, short inputs, key and IV given apart, and the
// AlgorithmIdentifier parameters.
#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/engine.h>
#include <openssl/objects.h>

#include <iterator>
#include <ostream>

#include "evp_support.h"

namespace ossltest {
namespace {

struct Shape {
  const char* name;
  int key_len, iv_len, block, mode;
  friend void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }
};

constexpr Shape kShapes[] = {
    {"belt-ecb128", 16, 0, 16, EVP_CIPH_ECB_MODE},  {"belt-ecb192", 24, 0, 16, EVP_CIPH_ECB_MODE},
    {"belt-ecb256", 32, 0, 16, EVP_CIPH_ECB_MODE},  {"belt-cbc128", 16, 16, 16, EVP_CIPH_CBC_MODE},
    {"belt-cbc192", 24, 16, 16, EVP_CIPH_CBC_MODE}, {"belt-cbc256", 32, 16, 16, EVP_CIPH_CBC_MODE},
    {"belt-cfb128", 16, 16, 1, EVP_CIPH_CFB_MODE},  {"belt-cfb192", 24, 16, 1, EVP_CIPH_CFB_MODE},
    {"belt-cfb256", 32, 16, 1, EVP_CIPH_CFB_MODE},  {"belt-ctr128", 16, 16, 1, EVP_CIPH_CTR_MODE},
    {"belt-ctr192", 24, 16, 1, EVP_CIPH_CTR_MODE},  {"belt-ctr256", 32, 16, 1, EVP_CIPH_CTR_MODE},
};

Bytes pattern(std::size_t len, std::uint8_t seed) {
  Bytes b(len);
  for (std::size_t i = 0; i < len; ++i) b[i] = static_cast<std::uint8_t>(seed + 37 * i);
  return b;
}

class CipherShape : public Registered, public testing::WithParamInterface<Shape> {
 protected:
  const EVP_CIPHER* c() { return cipher(GetParam().name); }
  const Bytes key = pattern(static_cast<std::size_t>(GetParam().key_len), 1);
  const Bytes iv = pattern(static_cast<std::size_t>(GetParam().iv_len), 99);
  const unsigned char* ivp() const { return iv.empty() ? nullptr : iv.data(); }
  CipherCtx ctx{EVP_CIPHER_CTX_new()};
};
// The modes with an IV (CBC, CFB, CTR) and the stream modes (CFB, CTR).
class IvShape : public CipherShape {};
class StreamShape : public CipherShape {};

// Sizes and names as OpenSSL reports them; EVP runs the ENGINE's own cipher
// object (not the by-name one) on its legacy route.
TEST_P(CipherShape, ShapeAndRoute) {
  const EVP_CIPHER* ci = c();
  ASSERT_NE(ci, nullptr);
  EXPECT_EQ(EVP_CIPHER_get_key_length(ci), GetParam().key_len);
  EXPECT_EQ(EVP_CIPHER_get_iv_length(ci), GetParam().iv_len);
  EXPECT_EQ(EVP_CIPHER_get_block_size(ci), GetParam().block);
  EXPECT_EQ(EVP_CIPHER_get_mode(ci), GetParam().mode);
  EXPECT_STREQ(EVP_CIPHER_get0_name(ci), GetParam().name);
  const int nid = EVP_CIPHER_get_nid(ci);
  EXPECT_EQ(EVP_get_cipherbyname(OBJ_nid2ln(nid)), ci);
  EXPECT_EQ(EVP_get_cipherbyobj(OBJ_nid2obj(nid)), ci);

  ENGINE* e = ENGINE_get_cipher_engine(nid);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(ENGINE_get_id(e), "stb");
  const EVP_CIPHER* own = ENGINE_get_cipher(e, nid);
  ENGINE_finish(e);
  EXPECT_NE(own, ci);
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), ci, nullptr, key.data(), ivp()), 1);
  EXPECT_EQ(EVP_CIPHER_CTX_get0_cipher(ctx.get()), own);
}

TEST_P(CipherShape, OutputAsLongAsInputAndShortInputs) {
  const bool cts = GetParam().block == 16;  // ECB and CBC
  for (std::size_t len : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u}) {
    SCOPED_TRACE(len);
    const Bytes pt = pattern(len, 5);
    const auto ct = crypt(c(), key, iv, pt, true);
    if (cts && len < 16) {
      EXPECT_FALSE(ct.has_value()) << "ECB/CBC must refuse under 16 octets";
      EXPECT_FALSE(crypt(c(), key, iv, pt, false).has_value());
      continue;
    }
    ASSERT_TRUE(ct.has_value());
    EXPECT_EQ(ct->size(), len);
    EXPECT_EQ(crypt(c(), key, iv, *ct, false), pt);
  }
}

TEST_P(CipherShape, NoKeyNoOutput) {
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), c(), nullptr, nullptr, ivp()), 1);
  Bytes in(32), out(64);
  int n = 0;
  EXPECT_EQ(EVP_EncryptUpdate(ctx.get(), out.data(), &n, in.data(), 32), 0);
}

// init(key, NULL) then init(NULL, iv), and the other order.
TEST_P(CipherShape, KeyAndIvInSeparateCalls) {
  const Bytes pt = pattern(37, 8);
  const auto want = crypt(c(), key, iv, pt, true);
  ASSERT_TRUE(want.has_value());
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), c(), nullptr, key.data(), nullptr), 1);
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, nullptr, ivp()), 1);
  EXPECT_EQ(finish(ctx.get(), pt), want) << "key first";
  CipherCtx other(EVP_CIPHER_CTX_new());
  ASSERT_EQ(EVP_EncryptInit_ex(other.get(), c(), nullptr, nullptr, ivp()), 1);
  ASSERT_EQ(EVP_EncryptInit_ex(other.get(), nullptr, nullptr, key.data(), nullptr), 1);
  EXPECT_EQ(finish(other.get(), pt), want) << "IV first";
}

// A new IV alone restarts the stream under the same key.
TEST_P(IvShape, NewIvSameKey) {
  const Bytes pt = pattern(37, 8), iv2 = pattern(16, 200);
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), c(), nullptr, key.data(), iv.data()), 1);
  EXPECT_EQ(finish(ctx.get(), pt), crypt(c(), key, iv, pt, true));
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, nullptr, iv2.data()), 1);
  EXPECT_EQ(finish(ctx.get(), pt), crypt(c(), key, iv2, pt, true));
}

// Written from the IV in use (OpenSSL's generic code would write zeros for a
// cipher that keeps its own IV), read back into a fresh context the way
// PBES2 does: cipher, parameters, then the key alone.
TEST_P(CipherShape, AlgorithmIdentifierParameters) {
  const Bytes pt = pattern(50, 4);
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), c(), nullptr, key.data(), ivp()), 1);
  std::unique_ptr<ASN1_TYPE, Free> param(ASN1_TYPE_new());
  ASSERT_GT(EVP_CIPHER_param_to_asn1(ctx.get(), param.get()), 0);
  if (iv.empty()) {
    EXPECT_EQ(ASN1_TYPE_get(param.get()), V_ASN1_NULL);
  } else {
    ASSERT_EQ(ASN1_TYPE_get(param.get()), V_ASN1_OCTET_STRING);
    Bytes got(16);
    EXPECT_EQ(ASN1_TYPE_get_octetstring(param.get(), got.data(), 16), 16);
    EXPECT_EQ(got, iv);
  }
  const auto ct = crypt(c(), key, iv, pt, true);
  ASSERT_TRUE(ct.has_value());
  CipherCtx dec(EVP_CIPHER_CTX_new());
  ASSERT_EQ(EVP_DecryptInit_ex(dec.get(), c(), nullptr, nullptr, nullptr), 1);
  ASSERT_GT(EVP_CIPHER_asn1_to_param(dec.get(), param.get()), 0);
  ASSERT_EQ(EVP_DecryptInit_ex(dec.get(), nullptr, nullptr, key.data(), nullptr), 1);
  EXPECT_EQ(finish(dec.get(), *ct), pt);
}

// ECB: absent or NULL only. The others: a 16-octet OCTET STRING only.
TEST_P(CipherShape, MalformedParametersRefused) {
  ASSERT_EQ(EVP_DecryptInit_ex(ctx.get(), c(), nullptr, nullptr, nullptr), 1);
  const bool ecb = iv.empty();
  EXPECT_EQ(EVP_CIPHER_asn1_to_param(ctx.get(), nullptr) > 0, ecb) << "absent";
  std::unique_ptr<ASN1_TYPE, Free> t(ASN1_TYPE_new());
  ASN1_TYPE_set(t.get(), V_ASN1_NULL, nullptr);
  EXPECT_EQ(EVP_CIPHER_asn1_to_param(ctx.get(), t.get()) > 0, ecb) << "NULL";
  for (int len : {0, 15, 16, 17, 32}) {
    ASSERT_EQ(ASN1_TYPE_set_octetstring(t.get(), pattern(32, 0).data(), len), 1);
    EXPECT_EQ(EVP_CIPHER_asn1_to_param(ctx.get(), t.get()) > 0, !ecb && len == 16) << len;
  }
}

// Without any IV given there is nothing true to write.
TEST_P(IvShape, NoParametersWithoutIv) {
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), c(), nullptr, key.data(), nullptr), 1);
  std::unique_ptr<ASN1_TYPE, Free> t(ASN1_TYPE_new());
  EXPECT_LE(EVP_CIPHER_param_to_asn1(ctx.get(), t.get()), 0);
}

// EVP hands an update without input (in == NULL) over like its final step;
// the stream modes must carry on regardless.
TEST_P(StreamShape, NullUpdatesIgnored) {
  const Bytes pt = pattern(33, 6);
  const auto want = crypt(c(), key, iv, pt, true);
  ASSERT_TRUE(want.has_value());
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), c(), nullptr, key.data(), iv.data()), 1);
  Bytes out(33);
  int n = 0, total = 0;
  ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), out.data(), &n, pt.data(), 10), 1);
  total += n;
  ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), out.data() + total, &n, nullptr, 0), 1);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), out.data() + total, &n, pt.data() + 10, 23), 1);
  total += n;
  ASSERT_EQ(EVP_EncryptFinal_ex(ctx.get(), out.data() + total, &n), 1);
  EXPECT_EQ(total + n, 33);
  EXPECT_EQ(out, *want);
}

std::string test_name(const testing::TestParamInfo<Shape>& p) {
  std::string s = p.param.name;
  for (char& ch : s) {
    if (ch == '-') ch = '_';
  }
  return s;
}

INSTANTIATE_TEST_SUITE_P(All, CipherShape, testing::ValuesIn(kShapes), test_name);
INSTANTIATE_TEST_SUITE_P(WithIv, IvShape, testing::ValuesIn(kShapes + 3, std::end(kShapes)),
                         test_name);
INSTANTIATE_TEST_SUITE_P(Stream, StreamShape, testing::ValuesIn(kShapes + 6, std::end(kShapes)),
                         test_name);

}  // namespace
}  // namespace ossltest
