// Data protection: EncryptData / DecryptData (a fresh key per message in a
// bign key token) and Protect / UnProtect (the same plus a signature).
#include <string>
#include <vector>

#include "tessel_support.h"

namespace {

using namespace tesseltest;

// The belt modes that keep the message length (kwp adds its check value).
const char* const kModes[] = {"belt-ecb128", "belt-ecb192", "belt-ecb256", "belt-cbc128",
                              "belt-cbc192", "belt-cbc256", "belt-cfb128", "belt-cfb192",
                              "belt-cfb256", "belt-ctr128", "belt-ctr192", "belt-ctr256",
                              "belt-kwp128", "belt-kwp192", "belt-kwp256"};

const unsigned char kHeader[16] = {'t', 'e', 's', 's', 'e', 'l', ' ', 'h',
                                   'e', 'a', 'd', 'e', 'r', ' ', '1', '6'};
const unsigned char kOtherHeader[16] = {1};

class Protection : public Tessel {
 protected:
  static void SetUpTestSuite() {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));
    recipient_ = new Signer(make_signer("A", "recipient pass"));
    sender_ = new Signer(make_signer("B"));
  }
  static void TearDownTestSuite() {
    delete recipient_;
    delete sender_;
  }

  static Case seal(const char* mode, const std::string& text,
                   const unsigned char* header = kHeader) {
    return Case(EncryptData(mode, bytes(text), len(text), bytes(recipient_->pubkey_pem),
                            len(recipient_->pubkey_pem), header));
  }
  static Case open(const char* mode, const Bytes& sealed, const Bytes& token,
                   const unsigned char* header = kHeader, const char* password = "recipient pass",
                   const Signer* who = recipient_) {
    return Case(DecryptData(mode, sealed.data(), len(sealed), token.data(), len(token), header,
                            bytes(who->key_pem), len(who->key_pem), password));
  }
  static Bytes token_of(const CRYPTOCASE* rec) {
    return rec->token == nullptr ? Bytes{} : Bytes(rec->token, rec->token + rec->token_len);
  }

  static Signer* recipient_;
  static Signer* sender_;
  const std::string text_ = "a message of forty-four octets, more or less";
};

Signer* Protection::recipient_ = nullptr;
Signer* Protection::sender_ = nullptr;

TEST_F(Protection, EncryptDataOpensWithTheRecipientKeyForEveryBeltMode) {
  for (const char* mode : kModes) {
    SCOPED_TRACE(mode);
    Case sealed = seal(mode, text_);
    ASSERT_EQ(sealed->status, TESSEL_OK);
    // A 32-octet key on a level-128 curve: 32 + 16 + 32 octets.
    EXPECT_EQ(sealed->token_len, 80);
    EXPECT_EQ(sealed->key, nullptr) << "the message key is never handed out";
    Case opened = open(mode, data_of(sealed.get()), token_of(sealed.get()));
    ASSERT_EQ(opened->status, TESSEL_OK);
    EXPECT_EQ(text_of(opened.get()), text_);
  }
}

TEST_F(Protection, EveryMessageGetsItsOwnKey) {
  Case a = seal("belt-ctr256", text_);
  Case b = seal("belt-ctr256", text_);
  ASSERT_EQ(a->status, TESSEL_OK);
  ASSERT_EQ(b->status, TESSEL_OK);
  EXPECT_NE(data_of(a.get()), data_of(b.get()));
  EXPECT_NE(token_of(a.get()), token_of(b.get()));
  EXPECT_EQ(text_of(open("belt-ctr256", data_of(b.get()), token_of(b.get())).get()), text_);
}

TEST_F(Protection, EncryptDataStatuses) {
  const std::string junk = "not a key";
  const Signer ec = make_signer("EC");
  struct Row {
    const char* what;
    Case rec;
    int32_t want;
  } rows[] = {
      {"short block-mode input", seal("belt-cbc128", "15 octets here."), TESSEL_BAD_LENGTH},
      {"unknown cipher", seal("belt-xyz256", text_), TESSEL_UNKNOWN_ALGORITHM},
      {"unreadable public key",
       Case(EncryptData("belt-ctr256", bytes(text_), len(text_), bytes(junk), len(junk), kHeader)),
       TESSEL_BAD_PUBLIC_KEY},
      {"key that is no bign key",
       Case(EncryptData("belt-ctr256", bytes(text_), len(text_), bytes(ec.pubkey_pem),
                        len(ec.pubkey_pem), kHeader)),
       TESSEL_NONSTANDARD_CURVE},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.rec->status, r.want) << r.what;
    EXPECT_EQ(r.rec->data, nullptr) << r.what;
    EXPECT_EQ(r.rec->token, nullptr) << r.what;
  }
}

TEST_F(Protection, DecryptDataStatuses) {
  Case sealed = seal("belt-cfb256", text_);
  ASSERT_EQ(sealed->status, TESSEL_OK);
  const Bytes data = data_of(sealed.get());
  const Bytes token = token_of(sealed.get());
  const Bytes cut(token.begin(), token.begin() + 20);
  const Signer stranger = make_signer("A");
  // A token carrying a 16-octet key cannot feed a 32-octet cipher key.
  const Bytes short_key(16, 0x42);
  Case short_token(CreateToken(short_key.data(), 16, bytes(recipient_->pubkey_pem),
                               len(recipient_->pubkey_pem), kHeader));
  ASSERT_EQ(short_token->status, TESSEL_OK);
  struct Row {
    const char* what;
    Case rec;
    int32_t want;
  } rows[] = {
      {"other header", open("belt-cfb256", data, token, kOtherHeader), TESSEL_TOKEN_MISMATCH},
      {"other private key", open("belt-cfb256", data, token, kHeader, nullptr, &stranger),
       TESSEL_TOKEN_MISMATCH},
      {"cut token", open("belt-cfb256", data, cut), TESSEL_TOKEN_DECODE_FAILED},
      {"wrong password", open("belt-cfb256", data, token, kHeader, "wrong pass"),
       TESSEL_BAD_PRIVATE_KEY},
      {"unknown cipher", open("belt-cfb999", data, token), TESSEL_UNKNOWN_ALGORITHM},
      {"key shorter than the cipher's", open("belt-ctr256", data, token_of(short_token.get())),
       TESSEL_BAD_LENGTH},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.rec->status, r.want) << r.what;
    EXPECT_EQ(r.rec->data, nullptr) << r.what;
  }
  // The same 16-octet key is enough for a 128-bit cipher.
  Case fits = open("belt-ctr128", data, token_of(short_token.get()));
  EXPECT_EQ(fits->status, TESSEL_OK);
}

class Protecting : public Protection {
 protected:
  static Case protect(const char* mode, const std::string& text, const char* password = nullptr) {
    return Case(Protect(mode, bytes(text), len(text), bytes(sender_->key_pem),
                        len(sender_->key_pem), password, bytes(recipient_->cert_pem),
                        len(recipient_->cert_pem), kHeader));
  }
  static Case unprotect(const char* mode, const CRYPTOCASE* p, const Bytes& signature) {
    const Bytes data = data_of(p), token = token_of(p);
    return Case(UnProtect(mode, data.data(), len(data), token.data(), len(token), kHeader,
                          bytes(recipient_->key_pem), len(recipient_->key_pem), "recipient pass",
                          bytes(sender_->cert_pem), len(sender_->cert_pem), signature.data(),
                          len(signature)));
  }
};

TEST_F(Protecting, RoundTripsForEveryBeltMode) {
  for (const char* mode : kModes) {
    SCOPED_TRACE(mode);
    Case p = protect(mode, text_);
    ASSERT_EQ(p->status, TESSEL_OK);
    EXPECT_GT(p->signature_len, 0);
    EXPECT_EQ(p->token_len, 80);
    Case u = unprotect(mode, p.get(), signature_of(p.get()));
    ASSERT_EQ(u->status, TESSEL_OK);
    EXPECT_EQ(text_of(u.get()), text_);
  }
}

TEST_F(Protecting, EmptyMessageRoundTripsInStreamModes) {
  for (const char* mode : {"belt-ctr256", "belt-cfb128"}) {
    SCOPED_TRACE(mode);
    Case p = protect(mode, "");
    ASSERT_EQ(p->status, TESSEL_OK);
    EXPECT_EQ(p->data, nullptr);
    Case u = unprotect(mode, p.get(), signature_of(p.get()));
    EXPECT_EQ(u->status, TESSEL_OK);
    EXPECT_EQ(u->data_len, 0);
  }
}

TEST_F(Protecting, PlaintextWithAForeignSignatureIsWithheld) {
  Case p = protect("belt-ctr256", text_);
  Case other = protect("belt-ctr256", "some other text");
  ASSERT_EQ(p->status, TESSEL_OK);
  ASSERT_EQ(other->status, TESSEL_OK);
  Case u = unprotect("belt-ctr256", p.get(), signature_of(other.get()));
  EXPECT_EQ(u->status, TESSEL_VERIFY_FAILED);
  EXPECT_EQ(u->data, nullptr);
  Case no_signature(unprotect("belt-ctr256", p.get(), Bytes{}));
  EXPECT_EQ(no_signature->status, TESSEL_VERIFY_FAILED);
}

TEST_F(Protecting, Statuses) {
  const std::string junk = "junk";
  Case bad_signer(Protect("belt-ctr256", bytes(text_), len(text_), bytes(junk), len(junk), nullptr,
                          bytes(recipient_->pubkey_pem), len(recipient_->pubkey_pem), kHeader));
  EXPECT_EQ(bad_signer->status, TESSEL_BAD_PRIVATE_KEY);
  Case bad_recipient(Protect("belt-ctr256", bytes(text_), len(text_), bytes(sender_->key_pem),
                             len(sender_->key_pem), nullptr, bytes(junk), len(junk), kHeader));
  EXPECT_EQ(bad_recipient->status, TESSEL_BAD_PUBLIC_KEY);
  EXPECT_EQ(bad_recipient->signature, nullptr);

  Case p = protect("belt-ctr256", text_);
  ASSERT_EQ(p->status, TESSEL_OK);
  const Bytes data = data_of(p.get()), token = token_of(p.get()), sig = signature_of(p.get());
  Case bad_key(UnProtect("belt-ctr256", data.data(), len(data), token.data(), len(token), kHeader,
                         bytes(recipient_->key_pem), len(recipient_->key_pem), "recipient pass",
                         bytes(junk), len(junk), sig.data(), len(sig)));
  EXPECT_EQ(bad_key->status, TESSEL_BAD_PUBLIC_KEY);
  EXPECT_EQ(bad_key->data, nullptr);
}

}  // namespace
