// Key tokens: a key wrapped for a recipient opens only with the same header
// and the recipient's private key; broken tokens and unfit keys get their
// statuses.
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <string>

#include "key_test_support.h"

namespace {

using namespace tesseltest;

class Tokens : public Tessel {};

constexpr char kPassword[] = "token password";

Bytes filled(std::size_t n, std::uint8_t v) {
  return Bytes(n, v);
}

Case create(const Bytes& key, const std::string& recipient, const Bytes& header) {
  return Case(CreateToken(key.data(), len(key), bytes(recipient), len(recipient), header.data()));
}

Case decode(const Bytes& token, const Bytes& header, const std::string& private_key,
            const char* password) {
  return Case(DecodeToken(token.data(), len(token), header.data(), bytes(private_key),
                          len(private_key), password));
}

TEST_F(Tokens, RoundTripAtEveryLevelAndKeyLength) {
  const Bytes header = filled(16, 0xA5);
  for (const char* kind : {"A", "B", "C"}) {
    const Signer recipient = make_signer(kind, kPassword);
    const std::size_t extra = 16 + (kind[0] == 'A' ? 32u : kind[0] == 'B' ? 48u : 64u);
    for (const std::size_t key_len : {16u, 32u, 33u, 64u}) {
      SCOPED_TRACE(testing::Message() << kind << " " << key_len);
      const Bytes key = filled(key_len, static_cast<std::uint8_t>(key_len));
      // The recipient named by public key and by certificate alike.
      for (const std::string& named : {recipient.pubkey_pem, recipient.cert_pem}) {
        const Case token = create(key, named, header);
        ASSERT_EQ(token->status, 0);
        EXPECT_EQ(static_cast<std::size_t>(token->token_len), key_len + extra);
        const Case opened = decode(token_of(token.get()), header, recipient.key_pem, kPassword);
        ASSERT_EQ(opened->status, 0);
        EXPECT_EQ(key_of(opened.get()), key);
      }
    }
  }
}

TEST_F(Tokens, AbsentHeaderIsSixteenZeros) {
  const Signer recipient = make_signer("A");
  const Bytes key = filled(32, 3), zeros = filled(16, 0);
  const Case token(CreateToken(key.data(), len(key), bytes(recipient.pubkey_pem),
                               len(recipient.pubkey_pem), nullptr));
  ASSERT_EQ(token->status, 0);
  EXPECT_EQ(token->token_len, 80);
  const Case opened = decode(token_of(token.get()), zeros, recipient.key_pem, nullptr);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(key_of(opened.get()), key);
}

TEST_F(Tokens, DecodeStatuses) {
  const Signer recipient = make_signer("A", kPassword);
  const Signer stranger = make_signer("A");
  const Signer ec = make_signer("EC");
  const Bytes header = filled(16, 1), key = filled(32, 2);
  const Case made = create(key, recipient.pubkey_pem, header);
  ASSERT_EQ(made->status, 0);
  const Bytes token = token_of(made.get());
  ASSERT_EQ(token.size(), 80u);
  Bytes flipped_body = token;
  flipped_body.at(40) ^= 0x01;
  // x = 2^256 - 1 lies outside the field: no point at all.
  Bytes no_point = token;
  std::fill(no_point.begin(), no_point.begin() + 32, 0xFF);
  const Bytes short_token(token.begin(), token.begin() + 48);
  const struct {
    const char* what;
    Bytes token;
    Bytes header;
    std::string key;
    const char* password;
    int32_t status;
  } cases[] = {
      {"as made", token, header, recipient.key_pem, kPassword, 0},
      {"another header", token, filled(16, 9), recipient.key_pem, kPassword, TESSEL_TOKEN_MISMATCH},
      {"another private key", token, header, stranger.key_pem, nullptr, TESSEL_TOKEN_MISMATCH},
      {"a changed body", flipped_body, header, recipient.key_pem, kPassword, TESSEL_TOKEN_MISMATCH},
      {"no point", no_point, header, recipient.key_pem, kPassword, TESSEL_TOKEN_DECODE_FAILED},
      {"nothing left to carry", short_token, header, recipient.key_pem, kPassword,
       TESSEL_TOKEN_DECODE_FAILED},
      {"empty", Bytes{}, header, recipient.key_pem, kPassword, TESSEL_TOKEN_DECODE_FAILED},
      {"wrong password", token, header, recipient.key_pem, "not the one", TESSEL_BAD_PRIVATE_KEY},
      {"no key", token, header, "garbage", nullptr, TESSEL_BAD_PRIVATE_KEY},
      {"a P-256 key", token, header, ec.key_pem, nullptr, TESSEL_NONSTANDARD_CURVE}};
  for (const auto& c : cases) {
    const Case rec = decode(c.token, c.header, c.key, c.password);
    ASSERT_NE(rec, nullptr) << c.what;
    EXPECT_EQ(rec->status, c.status) << c.what;
    if (c.status != 0) {
      EXPECT_EQ(rec->key, nullptr) << c.what;
    }
  }
}

// An RSA key read from a public key blob keeps an object of its own, but
// that object is no bign key on a standard curve.
std::string rsa_public_key_blob() {
  Pkey rsa(EVP_RSA_gen(1024));
  std::unique_ptr<BIO, Free> bio(BIO_new(BIO_s_mem()));
  if (!rsa || i2b_PublicKey_bio(bio.get(), rsa.get()) <= 0) return {};
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio.get(), &p);
  return std::string(p, static_cast<std::size_t>(n));
}

TEST_F(Tokens, CreateStatuses) {
  const Signer recipient = make_signer("B");
  const Signer ec = make_signer("EC");
  const std::string blob = rsa_public_key_blob();
  ASSERT_FALSE(blob.empty());
  const Bytes header = filled(16, 1);
  const struct {
    const char* what;
    Bytes key;
    int32_t key_len;
    std::string recipient;
    int32_t status;
  } cases[] = {
      {"a 16-byte key", filled(16, 1), 16, recipient.pubkey_pem, 0},
      {"a 15-byte key", filled(15, 1), 15, recipient.pubkey_pem, TESSEL_TOKEN_CREATE_FAILED},
      {"a negative length", filled(16, 1), -1, recipient.pubkey_pem, TESSEL_BAD_LENGTH},
      {"no public key", filled(16, 1), 16, "garbage", TESSEL_BAD_PUBLIC_KEY},
      {"a P-256 key", filled(16, 1), 16, ec.pubkey_pem, TESSEL_NONSTANDARD_CURVE},
      {"an RSA key blob", filled(16, 1), 16, blob, TESSEL_NONSTANDARD_CURVE}};
  for (const auto& c : cases) {
    const Case rec(
        CreateToken(c.key.data(), c.key_len, bytes(c.recipient), len(c.recipient), header.data()));
    ASSERT_NE(rec, nullptr) << c.what;
    EXPECT_EQ(rec->status, c.status) << c.what;
    if (c.status != 0) {
      EXPECT_EQ(rec->token, nullptr) << c.what;
    }
  }
}

}  // namespace
