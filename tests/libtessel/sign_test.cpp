// Raw detached signatures: CreateSign* and VerifySign* with bign keys of
// every level and with OpenSSL's own key types.
#include <openssl/err.h>

#include "tessel_support.h"

namespace {

using namespace tesseltest;

class Sign : public Tessel, public ::testing::WithParamInterface<const char*> {};

const std::string kMessage = "The quick brown fox jumps over the lazy dog";

TEST_P(Sign, RoundTripAndTampering) {
  const Signer s = make_signer(GetParam());
  Case sig(CreateSign(bytes(kMessage), len(kMessage), bytes(s.key_pem), len(s.key_pem), nullptr));
  ASSERT_EQ(sig->status, TESSEL_OK);
  ASSERT_GT(sig->signature_len, 0);
  EXPECT_EQ(sig->md_ctx, nullptr);
  const Bytes value = signature_of(sig.get());

  // Every public-key form the loader takes: PEM key, certificate (PEM, DER)
  // and request.
  const Req req = make_request(s.key.get());
  const std::string req_pem = pem_of(req.get());
  for (const Bytes& pub : {Bytes(s.pubkey_pem.begin(), s.pubkey_pem.end()),
                           Bytes(s.cert_pem.begin(), s.cert_pem.end()), s.cert_der,
                           Bytes(req_pem.begin(), req_pem.end())}) {
    Case ok(
        VerifySign(bytes(kMessage), len(kMessage), pub.data(), len(pub), value.data(), len(value)));
    EXPECT_EQ(ok->status, TESSEL_OK);
  }
  std::string changed = kMessage;
  changed[10] ^= 1;
  Case bad(VerifySign(bytes(changed), len(changed), bytes(s.pubkey_pem), len(s.pubkey_pem),
                      value.data(), len(value)));
  EXPECT_EQ(bad->status, TESSEL_VERIFY_FAILED);
  EXPECT_EQ(bad->md_ctx, nullptr);
  Case empty_sig(VerifySign(bytes(kMessage), len(kMessage), bytes(s.pubkey_pem), len(s.pubkey_pem),
                            nullptr, 0));
  EXPECT_NE(empty_sig->status, TESSEL_OK);
}

TEST_P(Sign, SequencesInPiecesMatchOneShot) {
  const Signer s = make_signer(GetParam(), "correct horse");
  Case seq(CreateSign_Init(bytes(s.key_pem), len(s.key_pem), "correct horse"));
  ASSERT_EQ(seq->status, TESSEL_OK);
  for (std::size_t at = 0; at < kMessage.size(); at += 5) {
    const std::string piece = kMessage.substr(at, 5);
    ASSERT_EQ(CreateSign_Update(seq.get(), bytes(piece), len(piece))->status, TESSEL_OK);
  }
  ASSERT_EQ(CreateSign_Final(seq.get())->status, TESSEL_OK);
  const Bytes value = signature_of(seq.get());

  Case check(VerifySign_Init(bytes(s.cert_pem), len(s.cert_pem)));
  ASSERT_EQ(check->status, TESSEL_OK);
  VerifySign_Update(check.get(), bytes(kMessage), 3);
  VerifySign_Update(check.get(), bytes(kMessage) + 3, len(kMessage) - 3);
  EXPECT_EQ(VerifySign_Final(check.get(), value.data(), len(value))->status, TESSEL_OK);
  EXPECT_EQ(check->md_ctx, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Keys, Sign, ::testing::Values("A", "B", "C", "EC"));

class SignInputs : public Tessel {};

TEST_F(SignInputs, PrivateKeyForms) {
  const Signer plain = make_signer("A");
  const Signer locked = make_signer("EC", "secret-pass");
  // A plain PKCS#8 key ignores the password; an encrypted one needs it.
  Case ignored(CreateSign_Init(bytes(plain.key_pem), len(plain.key_pem), "whatever"));
  EXPECT_EQ(ignored->status, TESSEL_OK);
  Case right(CreateSign_Init(bytes(locked.key_pem), len(locked.key_pem), "secret-pass"));
  EXPECT_EQ(right->status, TESSEL_OK);
  const std::string traditional = traditional_pem(locked.key.get());
  const Bytes der = pkcs8_der(plain.key.get());
  std::string damaged = plain.key_pem;
  damaged[40] = damaged[40] == 'A' ? 'B' : 'A';
  struct Refused {
    const char* what;
    const unsigned char* p;
    int32_t n;
    const char* password;
  };
  for (const Refused& r :
       {Refused{"wrong password", bytes(locked.key_pem), len(locked.key_pem), "secret-pasS"},
        Refused{"no password", bytes(locked.key_pem), len(locked.key_pem), nullptr},
        Refused{"traditional PEM", bytes(traditional), len(traditional), nullptr},
        Refused{"PKCS#8 DER", der.data(), len(der), nullptr},
        Refused{"certificate", bytes(plain.cert_pem), len(plain.cert_pem), nullptr},
        Refused{"empty", bytes(plain.key_pem), 0, nullptr},
        Refused{"negative length", bytes(plain.key_pem), -5, nullptr}}) {
    Case rec(CreateSign(bytes(kMessage), len(kMessage), r.p, r.n, r.password));
    EXPECT_EQ(rec->status, TESSEL_BAD_PRIVATE_KEY) << r.what;
    EXPECT_EQ(rec->md_ctx, nullptr) << r.what;
    // The loader leaves no error behind.
    EXPECT_EQ(ERR_peek_error(), 0u) << r.what;
  }
}

TEST_F(SignInputs, PublicKeyFailures) {
  const Signer s = make_signer("A");
  Case garbage(
      VerifySign(bytes(kMessage), len(kMessage), bytes(kMessage), len(kMessage), bytes("x"), 1));
  EXPECT_EQ(garbage->status, TESSEL_BAD_PUBLIC_KEY);
  EXPECT_EQ(ERR_peek_error(), 0u);
  Case empty(VerifySign_Init(bytes(s.pubkey_pem), 0));
  EXPECT_EQ(empty->status, TESSEL_BAD_PUBLIC_KEY);
  // A key from a private-key PEM is no public key.
  Case priv(VerifySign_Init(bytes(s.key_pem), len(s.key_pem)));
  EXPECT_EQ(priv->status, TESSEL_BAD_PUBLIC_KEY);
}

TEST_F(SignInputs, KeysThatCannotSign) {
  // X25519 loads as a key but offers no signature: init fails on both sides.
  const Signer x = make_signer("X25519");
  Case sign(CreateSign_Init(bytes(x.key_pem), len(x.key_pem), nullptr));
  EXPECT_EQ(sign->status, TESSEL_INIT_FAILED);
  EXPECT_EQ(sign->md_ctx, nullptr);
  Case verify(VerifySign_Init(bytes(x.cert_pem), len(x.cert_pem)));
  EXPECT_EQ(verify->status, TESSEL_INIT_FAILED);
  EXPECT_EQ(verify->md_ctx, nullptr);
}

TEST_F(SignInputs, FinalStepsOnTheWrongContext) {
  // A digest context was never set up for signing or verifying.
  Case sign(CreateSign_Final(CreateDigest_Init("bash256")));
  EXPECT_EQ(sign->status, TESSEL_FINAL_FAILED);
  EXPECT_EQ(sign->signature, nullptr);
  EXPECT_EQ(sign->md_ctx, nullptr);
  Case verify(VerifySign_Final(CreateDigest_Init("bash256"), bytes("sig"), 3));
  EXPECT_NE(verify->status, TESSEL_OK);
  EXPECT_EQ(verify->md_ctx, nullptr);
  // A finished sequence has nothing left to sign with.
  const Signer s = make_signer("A");
  Case done(CreateSign(bytes(kMessage), len(kMessage), bytes(s.key_pem), len(s.key_pem), nullptr));
  const Bytes first = signature_of(done.get());
  EXPECT_EQ(CreateSign_Final(done.get())->status, TESSEL_FINAL_FAILED);
  EXPECT_EQ(VerifySign_Final(done.get(), first.data(), len(first))->status, TESSEL_FINAL_FAILED);
  EXPECT_EQ(signature_of(done.get()), first);
  Case negative(
      VerifySign_Final(VerifySign_Init(bytes(s.pubkey_pem), len(s.pubkey_pem)), first.data(), -1));
  EXPECT_EQ(negative->status, TESSEL_FINAL_FAILED);
}

}  // namespace
