// Certificate requests as input: VerifyRequest and GetRequestInfo on
// generated requests of every level and on damaged ones.
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>

#include "tessel_support.h"

namespace {

using namespace tesseltest;

std::string public_key_of(const CRYPTOCASE* rec) {
  return rec->public_key == nullptr ? std::string()
                                    : std::string(reinterpret_cast<const char*>(rec->public_key),
                                                  static_cast<std::size_t>(rec->public_key_len));
}

// Reading requests, good ones and ones altered after signing.
class ReadRequest : public Tessel {
 protected:
  static const Signer& signer() {
    static const Signer s = make_signer("A");
    return s;
  }
  static Bytes fresh() {
    const std::string der = gen_request(signer().key_pem, {{3, "damaged"}}, {}, TESSEL_FORM_DER);
    return Bytes(der.begin(), der.end());
  }
  // A fresh request with the last byte of the last occurrence of the object
  // identifier's encoding changed (an unknown arc).
  static Bytes with_changed_oid(const ASN1_OBJECT* oid) {
    Bytes der = fresh();
    unsigned char* enc = nullptr;
    const int n = i2d_ASN1_OBJECT(oid, &enc);
    const Bytes needle(enc, enc + n);
    OPENSSL_free(enc);
    const auto at = std::find_end(der.begin(), der.end(), needle.begin(), needle.end());
    EXPECT_NE(at, der.end());
    *(at + n - 1) = 0x7F;
    return der;
  }
};

TEST_F(ReadRequest, StatusesOfDamagedRequests) {
  const Bytes good = fresh();
  const unsigned char* p = good.data();
  const Req req(d2i_X509_REQ(nullptr, &p, len(good)));
  ASSERT_NE(req, nullptr);
  Bytes content = good;
  const std::string word = "damaged";
  const auto cn = std::search(content.begin(), content.end(), word.begin(), word.end());
  ASSERT_NE(cn, content.end());
  *cn = 'D';  // same length, other content
  const X509_ALGOR* algorithm = nullptr;
  X509_REQ_get0_signature(req.get(), nullptr, &algorithm);
  const ASN1_OBJECT* signature_oid = nullptr;
  X509_ALGOR_get0(&signature_oid, nullptr, nullptr, algorithm);
  const Bytes bad_signature_algorithm = with_changed_oid(signature_oid);
  const Bytes unknown_key_type = with_changed_oid(OBJ_nid2obj(OBJ_sn2nid("bign-pubkey")));
  const Bytes garbage = {0x30, 0x03, 0x02, 0x01};

  struct Row {
    const char* what;
    Bytes request;
    int32_t verify;
    int32_t info;
  } const rows[] = {
      {"untouched", good, TESSEL_OK, TESSEL_OK},
      {"content changed", content, TESSEL_VERIFY_FAILED, TESSEL_OK},
      {"unknown signature algorithm", bad_signature_algorithm, TESSEL_REQ_VERIFY_ERROR, TESSEL_OK},
      {"unknown key type", unknown_key_type, TESSEL_REQ_NO_PUBLIC_KEY, TESSEL_REQ_NO_PUBLIC_KEY},
      {"garbage", garbage, TESSEL_BAD_REQUEST, TESSEL_BAD_REQUEST},
      {"empty", {}, TESSEL_BAD_REQUEST, TESSEL_BAD_REQUEST},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Case verify(VerifyRequest(row.request.data(), len(row.request)));
    EXPECT_EQ(verify->status, row.verify);
    EXPECT_EQ(verify->data, nullptr);
    Case info(GetRequestInfo(row.request.data(), len(row.request)));
    EXPECT_EQ(info->status, row.info);
    // The subject is read before the public key is looked for.
    EXPECT_EQ(info->data != nullptr, row.info == TESSEL_OK || row.info == TESSEL_REQ_NO_PUBLIC_KEY);
    EXPECT_EQ(info->public_key != nullptr, row.info == TESSEL_OK);
  }
  EXPECT_EQ(Case(VerifyRequest(nullptr, 5))->status, TESSEL_BAD_REQUEST);
  EXPECT_EQ(Case(VerifyRequest(good.data(), -1))->status, TESSEL_BAD_REQUEST);
  EXPECT_EQ(Case(GetRequestInfo(good.data(), -1))->status, TESSEL_BAD_REQUEST);
}

TEST_F(ReadRequest, SubjectTextAndPublicKey) {
  // Entries in record order whatever the order of adding; characters above
  // U+00FF print as escapes, U+0080 to U+00FF as single bytes.
  const std::string req = gen_request(
      signer().key_pem, {{6, "BY"}, {4, "Caf\xC3\xA9"}, {3, "\xD0\x9F\xD1\x91\xD1\x82\xD1\x80"}},
      {}, TESSEL_FORM_DER);
  Case info(GetRequestInfo(bytes(req), len(req)));
  ASSERT_EQ(info->status, TESSEL_OK);
  EXPECT_EQ(text_of(info.get()), "CN=\\U041F\\U0451\\U0442\\U0440\nSN=Caf\xE9\nC=BY");
  EXPECT_EQ(public_key_of(info.get()), signer().pubkey_pem);

  // An empty subject: no text, but the key.
  const std::string empty = gen_request(signer().key_pem, {}, {}, TESSEL_FORM_PEM);
  Case bare(GetRequestInfo(bytes(empty), len(empty)));
  EXPECT_EQ(bare->status, TESSEL_OK);
  EXPECT_EQ(bare->data, nullptr);
  EXPECT_EQ(bare->data_len, 0);
  EXPECT_GT(bare->public_key_len, 0);
}

// Requests at every level: version 0 (PKCS#10 v1), valid self-signature,
// the key's own public key.
class RequestLevels : public Tessel, public ::testing::WithParamInterface<const char*> {};

TEST_P(RequestLevels, GeneratedRequestVerifies) {
  const Signer s = make_signer(GetParam());
  for (int32_t form : {TESSEL_FORM_PEM, TESSEL_FORM_DER}) {
    const std::string req = gen_request(s.key_pem, {{3, "level"}, {10, "Tessel"}, {6, "BY"}},
                                        "signing_time = 1\n[request_extensions]\nkeyUsage = "
                                        "digitalSignature\n",
                                        form);
    Case verify(VerifyRequest(bytes(req), len(req)));
    EXPECT_EQ(verify->status, TESSEL_OK);
    Case info(GetRequestInfo(bytes(req), len(req)));
    ASSERT_EQ(info->status, TESSEL_OK);
    EXPECT_EQ(text_of(info.get()), "CN=level\nC=BY\nO=Tessel");
    EXPECT_EQ(public_key_of(info.get()), s.pubkey_pem);
    if (form != TESSEL_FORM_DER) continue;
    const unsigned char* p = bytes(req);
    const Req parsed(d2i_X509_REQ(nullptr, &p, len(req)));
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(X509_REQ_get_version(parsed.get()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Bign, RequestLevels, ::testing::Values("A", "B", "C"));

}  // namespace
