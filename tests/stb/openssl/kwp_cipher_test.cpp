// belt-kwp through EVP (the PBES2 scheme of bign private-key containers):
// whole-message wrapping with a zero header whatever the update pieces,
// context copies and refusals. Its NULL parameters are covered by the
// PKCS#8 tests.
#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <optional>

#include "bign_support.h"
#include "stb/belt/kwp.h"

namespace bigntest {
namespace {

Bytes pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + 13 * i);
  return b;
}

// in fed in pieces of step octets (0: at once); nullopt when EVP refuses.
std::optional<Bytes> run(const EVP_CIPHER* c, const Bytes& key, const Bytes& in, bool enc,
                         std::size_t step = 0) {
  Own<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new());
  if (EVP_CipherInit_ex(ctx.get(), c, nullptr, key.data(), nullptr, enc ? 1 : 0) != 1) {
    return std::nullopt;
  }
  Bytes out(in.size() + 16);
  int total = 0;
  if (step == 0) step = in.size() + 1;
  for (std::size_t pos = 0; pos < in.size(); pos += step) {
    const int n = static_cast<int>(std::min(step, in.size() - pos));
    int got = -1;
    if (EVP_CipherUpdate(ctx.get(), out.data() + total, &got, in.data() + pos, n) != 1) {
      return std::nullopt;
    }
    EXPECT_EQ(got, 0);  // everything comes at the end
    total += got;
  }
  int got = 0;
  if (EVP_CipherFinal_ex(ctx.get(), out.data() + total, &got) != 1) {
    ERR_clear_error();
    return std::nullopt;
  }
  out.resize(static_cast<std::size_t>(total + got));
  return out;
}

class KwpCipher : public Bign {};

TEST_F(KwpCipher, WrapsLikeTheClassWhateverThePieces) {
  const std::uint8_t zero[16] = {};
  for (int key_len : {16, 24, 32}) {
    const std::string name = "belt-kwp" + std::to_string(8 * key_len);
    const EVP_CIPHER* c = EVP_get_cipherbyname(name.c_str());
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(EVP_CIPHER_get_key_length(c), key_len);
    const Bytes key = pattern(static_cast<std::size_t>(key_len), 7);
    for (std::size_t len : {std::size_t{16}, std::size_t{17}, std::size_t{100}}) {
      SCOPED_TRACE(name + " " + std::to_string(len));
      const Bytes secret = pattern(len, 99);
      Bytes want(len + 16);
      ASSERT_TRUE(
          stb::belt::kwp_wrap(key.data(), key.size(), secret.data(), len, zero, want.data()));
      for (std::size_t step : {std::size_t{0}, std::size_t{1}, std::size_t{15}}) {
        EXPECT_EQ(run(c, key, secret, true, step), want);
        EXPECT_EQ(run(c, key, want, false, step), secret);
      }
      Bytes damaged = want;
      damaged[len / 2] ^= 1;
      EXPECT_EQ(run(c, key, damaged, false), std::nullopt);
      Bytes other_key = key;
      other_key[0] ^= 1;
      EXPECT_EQ(run(c, other_key, want, false), std::nullopt);
    }
    EXPECT_EQ(run(c, key, pattern(15, 1), true), std::nullopt);   // too short to wrap
    EXPECT_EQ(run(c, key, pattern(31, 1), false), std::nullopt);  // too short to unwrap
  }
}

// Through OpenSSL's cipher BIO, written and then read back, as CMS and
// `openssl enc` stream content: nullopt when the BIO refuses.
std::optional<Bytes> through_bio(const EVP_CIPHER* c, const Bytes& key, const Bytes& in, bool enc,
                                 bool read_side) {
  struct FreeAll {
    void operator()(BIO* b) const { BIO_free_all(b); }
  };
  BIO* source = BIO_new(BIO_s_mem());
  BIO* cipher = BIO_new(BIO_f_cipher());
  const std::unique_ptr<BIO, FreeAll> chain(BIO_push(cipher, source));
  if (source == nullptr || cipher == nullptr ||
      !BIO_set_cipher(cipher, c, key.data(), nullptr, enc ? 1 : 0))
    return std::nullopt;
  Bytes out;
  if (read_side) {
    // The decrypting side of CMS reads through the BIO.
    BIO_write(source, in.data(), static_cast<int>(in.size()));
    BIO_set_mem_eof_return(source, 0);
    unsigned char piece[1000];
    int n = 0;
    while ((n = BIO_read(chain.get(), piece, sizeof piece)) > 0)
      out.insert(out.end(), piece, piece + n);
    if (!BIO_get_cipher_status(cipher)) return std::nullopt;
  } else {
    for (std::size_t pos = 0; pos < in.size(); pos += 1000) {
      const int n = static_cast<int>(std::min<std::size_t>(1000, in.size() - pos));
      if (BIO_write(chain.get(), in.data() + pos, n) != n) return std::nullopt;
    }
    if (BIO_flush(chain.get()) != 1) return std::nullopt;
    out = bytes_of(source);
  }
  ERR_clear_error();
  return out;
}

// The final step yields the whole message, and the cipher BIO gives it a
// buffer of a little over 4 KiB: longer messages are refused before they
// can be written past it (ASan reports any write beyond it).
TEST_F(KwpCipher, MessagesStayWithinTheCipherBiosFinalBuffer) {
  const EVP_CIPHER* c = EVP_get_cipherbyname("belt-kwp256");
  const Bytes key = pattern(32, 3);
  const std::uint8_t zero[16] = {};
  const struct {
    std::size_t length;
    bool wraps;
  } cases[] = {{16, true}, {4080, true}, {4081, false}, {20000, false}};
  for (const auto& row : cases) {
    SCOPED_TRACE(row.length);
    const Bytes secret = pattern(row.length, 11);
    const auto wrapped = through_bio(c, key, secret, true, false);
    ASSERT_EQ(wrapped.has_value(), row.wraps);
    if (!row.wraps) {
      EXPECT_EQ(run(c, key, secret, true), std::nullopt);  // plain EVP refuses alike
      continue;
    }
    Bytes want(row.length + 16);
    ASSERT_TRUE(stb::belt::kwp_wrap(key.data(), key.size(), secret.data(), secret.size(), zero,
                                    want.data()));
    EXPECT_EQ(*wrapped, want);
    for (bool read_side : {false, true})
      EXPECT_EQ(through_bio(c, key, want, false, read_side), secret);
  }
  // Garbage a sender chooses, too long to unwrap or with a bad header: no
  // plaintext (the reading side of the BIO reports a refused update as the
  // end of its input).
  for (bool read_side : {false, true}) {
    for (std::size_t n : {std::size_t{20000}, std::size_t{4112}})
      EXPECT_TRUE(through_bio(c, key, pattern(n, 5), false, read_side).value_or(Bytes{}).empty());
  }
}

// A copy made halfway has its own input; both finish alike. The final step
// without output tells its length.
TEST_F(KwpCipher, CopiedContextsFinishAlike) {
  const EVP_CIPHER* c = EVP_get_cipherbyname("belt-kwp256");
  const Bytes key = pattern(32, 3);
  const Bytes secret = pattern(40, 5);
  Own<EVP_CIPHER_CTX> a(EVP_CIPHER_CTX_new());
  ASSERT_EQ(EVP_EncryptInit_ex(a.get(), c, nullptr, key.data(), nullptr), 1);
  int n = 0;
  Bytes out_a(64);
  Bytes out_b(64);
  ASSERT_EQ(EVP_EncryptUpdate(a.get(), out_a.data(), &n, secret.data(), 20), 1);
  Own<EVP_CIPHER_CTX> b(EVP_CIPHER_CTX_new());
  ASSERT_EQ(EVP_CIPHER_CTX_copy(b.get(), a.get()), 1);
  for (EVP_CIPHER_CTX* ctx : {a.get(), b.get()}) {
    ASSERT_EQ(EVP_EncryptUpdate(ctx, out_a.data(), &n, secret.data() + 20, 20), 1);
  }
  EXPECT_EQ(EVP_Cipher(a.get(), nullptr, nullptr, 0), 56);
  int la = 0;
  int lb = 0;
  ASSERT_EQ(EVP_EncryptFinal_ex(a.get(), out_a.data(), &la), 1);
  ASSERT_EQ(EVP_EncryptFinal_ex(b.get(), out_b.data(), &lb), 1);
  EXPECT_EQ(la, 56);
  EXPECT_EQ(out_a, out_b);
}

}  // namespace
}  // namespace bigntest
