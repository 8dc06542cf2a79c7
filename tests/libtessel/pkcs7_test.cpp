// CMS SignedData: the sequence, the one-shot form, verification and
// re-encoding.
#include <openssl/cms.h>
#include <openssl/err.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tessel_support.h"

namespace {

using namespace tesseltest;

using CmsPtr = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;

CmsPtr parse_der(const Bytes& der) {
  const unsigned char* p = der.data();
  return CmsPtr(d2i_CMS_ContentInfo(nullptr, &p, len(der)), CMS_ContentInfo_free);
}

int cert_count(CMS_ContentInfo* cms) {
  STACK_OF(X509)* certs = CMS_get1_certs(cms);
  const int n = certs == nullptr ? 0 : sk_X509_num(certs);
  sk_X509_pop_free(certs, X509_free);
  return n;
}

const std::string kContent(1024, 'c');

class SignedData : public Tessel {
 protected:
  static void SetUpTestSuite() {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));
    a_ = new Signer(make_signer("A"));
    ec_ = new Signer(make_signer("EC", "pw-123456"));
  }
  static void TearDownTestSuite() {
    delete a_;
    delete ec_;
  }
  static Case sign(const Signer& s, int32_t form, int32_t flags, const char* password = nullptr) {
    return Case(CreateSignP7S(bytes(kContent), len(kContent), bytes(s.key_pem), len(s.key_pem),
                              password, bytes(s.cert_pem), len(s.cert_pem), form, flags));
  }
  static Case verify(const Bytes& cms, const std::string* content, const Signer* cert) {
    return Case(VerifySignP7S(cms.data(), len(cms), content ? bytes(*content) : nullptr,
                              content ? len(*content) : 0, cert ? bytes(cert->cert_pem) : nullptr,
                              cert ? len(cert->cert_pem) : 0));
  }
  static inline Signer* a_ = nullptr;
  static inline Signer* ec_ = nullptr;
};

TEST_F(SignedData, ServerCallGivesDetachedDerWithCertAndAttributes) {
  Case rec = sign(*a_, TESSEL_FORM_DER, TESSEL_CMS_DETACHED);
  ASSERT_EQ(rec->status, TESSEL_OK);
  EXPECT_EQ(rec->context, nullptr);
  const Bytes der = data_of(rec.get());
  const CmsPtr cms = parse_der(der);
  ASSERT_NE(cms, nullptr);
  EXPECT_EQ(OBJ_obj2nid(CMS_get0_type(cms.get())), NID_pkcs7_signed);
  EXPECT_EQ(CMS_is_detached(cms.get()), 1);
  EXPECT_EQ(cert_count(cms.get()), 1);
  STACK_OF(CMS_SignerInfo)* infos = CMS_get0_SignerInfos(cms.get());
  ASSERT_EQ(sk_CMS_SignerInfo_num(infos), 1);
  CMS_SignerInfo* si = sk_CMS_SignerInfo_value(infos, 0);
  EXPECT_GT(CMS_signed_get_attr_count(si), 0);
  EXPECT_LT(CMS_signed_get_attr_by_NID(si, NID_SMIMECapabilities, -1), 0);

  Case without = verify(der, nullptr, nullptr);
  EXPECT_EQ(without->status, TESSEL_VERIFY_FAILED);
  Case with = verify(der, &kContent, nullptr);
  ASSERT_EQ(with->status, TESSEL_OK);
  EXPECT_EQ(text_of(with.get()), kContent);
  const std::string other = kContent.substr(1) + "x";
  EXPECT_EQ(verify(der, &other, nullptr)->status, TESSEL_VERIFY_FAILED);
}

TEST_F(SignedData, FormsAndCallerBits) {
  struct FormCase {
    int32_t form, flags;
    const char* starts_with;
    const char* contains;
    bool smime_caps;
  };
  for (const FormCase& c : {
           FormCase{TESSEL_FORM_PEM, 0, "-----BEGIN CMS-----", "", false},
           FormCase{TESSEL_FORM_SMIME, TESSEL_CMS_DETACHED, "MIME-Version", "multipart/signed",
                    true},
           FormCase{TESSEL_FORM_SMIME, 0, "MIME-Version", "application/pkcs7-mime", true},
       }) {
    SCOPED_TRACE(c.contains);
    Case rec = sign(*ec_, c.form, c.flags, "pw-123456");
    ASSERT_EQ(rec->status, TESSEL_OK);
    const std::string text = text_of(rec.get());
    EXPECT_EQ(text.rfind(c.starts_with, 0), 0u);
    EXPECT_NE(text.find(c.contains), std::string::npos);
    // The loader takes every form back; the detached one needs the content.
    const bool detached = c.flags & TESSEL_CMS_DETACHED;
    Case back = verify(data_of(rec.get()), detached ? &kContent : nullptr, nullptr);
    ASSERT_EQ(back->status, TESSEL_OK);
    EXPECT_EQ(text_of(back.get()), kContent);
    Case der(ConvertP7S(TESSEL_FORM_DER, rec->data, rec->data_len));
    ASSERT_EQ(der->status, TESSEL_OK);
    const CmsPtr cms = parse_der(data_of(der.get()));
    CMS_SignerInfo* si = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
    EXPECT_EQ(CMS_signed_get_attr_by_NID(si, NID_SMIMECapabilities, -1) >= 0, c.smime_caps);
  }

  Case noattr = sign(*a_, TESSEL_FORM_DER, TESSEL_CMS_NOATTR);
  ASSERT_EQ(noattr->status, TESSEL_OK);
  const CmsPtr bare = parse_der(data_of(noattr.get()));
  EXPECT_EQ(CMS_is_detached(bare.get()), 0);
  EXPECT_EQ(CMS_signed_get_attr_count(sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(bare.get()), 0)),
            -1);
  EXPECT_EQ(verify(data_of(noattr.get()), nullptr, nullptr)->status, TESSEL_OK);

  // Without the certificate inside, only a given certificate verifies it.
  Case nocerts = sign(*a_, TESSEL_FORM_DER, TESSEL_CMS_NOCERTS | TESSEL_CMS_DETACHED);
  ASSERT_EQ(nocerts->status, TESSEL_OK);
  EXPECT_EQ(cert_count(parse_der(data_of(nocerts.get())).get()), 0);
  EXPECT_EQ(verify(data_of(nocerts.get()), &kContent, nullptr)->status, TESSEL_VERIFY_FAILED);
  EXPECT_EQ(verify(data_of(nocerts.get()), &kContent, a_)->status, TESSEL_OK);
  EXPECT_EQ(verify(data_of(nocerts.get()), &kContent, ec_)->status, TESSEL_VERIFY_FAILED);

  Case keyid = sign(*a_, TESSEL_FORM_DER, TESSEL_CMS_KEYID);
  ASSERT_EQ(keyid->status, TESSEL_OK);
  const CmsPtr by_keyid = parse_der(data_of(keyid.get()));
  ASN1_OCTET_STRING* id = nullptr;
  ASSERT_EQ(
      CMS_SignerInfo_get0_signer_id(
          sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(by_keyid.get()), 0), &id, nullptr, nullptr),
      1);
  EXPECT_NE(id, nullptr);
  const Signer no_skid = make_signer("A", nullptr, false);
  EXPECT_EQ(sign(no_skid, TESSEL_FORM_DER, TESSEL_CMS_KEYID)->status, TESSEL_CMS_ADD_FAILED);
}

TEST_F(SignedData, SeveralSignersInOneStructure) {
  const Signer c = make_signer("C");
  Case rec(CreateSignP7S_Init(TESSEL_FORM_DER, TESSEL_CMS_DETACHED));
  ASSERT_EQ(rec->status, TESSEL_OK);
  for (const Signer* s : {static_cast<const Signer*>(a_), static_cast<const Signer*>(ec_), &c}) {
    const char* pw = s == ec_ ? "pw-123456" : nullptr;
    ASSERT_EQ(CreateSignP7S_AddSigner(rec.get(), bytes(s->key_pem), len(s->key_pem), pw,
                                      s->cert_der.data(), len(s->cert_der)),
              rec.get());
    ASSERT_EQ(rec->status, TESSEL_OK);
  }
  ASSERT_EQ(CreateSignP7S_Final(rec.get(), bytes(kContent), len(kContent))->status, TESSEL_OK);
  EXPECT_EQ(rec->context, nullptr);
  const CmsPtr cms = parse_der(data_of(rec.get()));
  EXPECT_EQ(sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(cms.get())), 3);
  EXPECT_EQ(verify(data_of(rec.get()), &kContent, nullptr)->status, TESSEL_OK);
}

TEST_F(SignedData, FailuresReleaseTheContextAndEndTheSequence) {
  struct Failing {
    const char* what;
    std::string key, cert;
    const char* password;
    int32_t status;
  };
  const std::string garbage = "not a key or a certificate";
  for (const Failing& f : {
           Failing{"bad key", garbage, a_->cert_pem, nullptr, TESSEL_BAD_PRIVATE_KEY},
           Failing{"wrong password", ec_->key_pem, ec_->cert_pem, "pw", TESSEL_BAD_PRIVATE_KEY},
           Failing{"bad certificate", a_->key_pem, garbage, nullptr, TESSEL_BAD_CERTIFICATE},
           Failing{"key of another certificate", a_->key_pem, ec_->cert_pem, nullptr,
                   TESSEL_CMS_ADD_FAILED},
       }) {
    SCOPED_TRACE(f.what);
    Case rec(CreateSignP7S_Init(TESSEL_FORM_DER, 0));
    CreateSignP7S_AddSigner(rec.get(), bytes(f.key), len(f.key), f.password, bytes(f.cert),
                            len(f.cert));
    EXPECT_EQ(rec->status, f.status);
    EXPECT_EQ(rec->context, nullptr);
    // Later steps find no context: they fail instead of touching freed state.
    EXPECT_EQ(CreateSignP7S_AddSigner(rec.get(), bytes(a_->key_pem), len(a_->key_pem), nullptr,
                                      bytes(a_->cert_pem), len(a_->cert_pem))
                  ->status,
              TESSEL_CMS_ADD_FAILED);
    EXPECT_EQ(CreateSignP7S_Final(rec.get(), bytes(kContent), len(kContent))->status,
              TESSEL_CMS_FINAL_FAILED);
    EXPECT_EQ(rec->data, nullptr);
  }
}

TEST_F(SignedData, FinalRefusals) {
  // The form is only checked when there is something to encode.
  for (int32_t form : {3, -1}) {
    Case rec(CreateSignP7S_Init(form, 0));
    ASSERT_EQ(rec->status, TESSEL_OK);
    Case same(CreateSignP7S_AddSigner(rec.release(), bytes(a_->key_pem), len(a_->key_pem), nullptr,
                                      bytes(a_->cert_pem), len(a_->cert_pem)));
    EXPECT_EQ(same->status, TESSEL_OK);
    EXPECT_EQ(CreateSignP7S_Final(same.get(), bytes(kContent), len(kContent))->status,
              TESSEL_UNKNOWN_FORM);
    EXPECT_EQ(same->context, nullptr);
  }
  for (int32_t content_len : {0, -4}) {
    Case empty(CreateSignP7S(bytes(kContent), content_len, bytes(a_->key_pem), len(a_->key_pem),
                             nullptr, bytes(a_->cert_pem), len(a_->cert_pem), TESSEL_FORM_DER,
                             TESSEL_CMS_DETACHED));
    EXPECT_EQ(empty->status, TESSEL_BIO_WRITE_FAILED);
    EXPECT_EQ(empty->context, nullptr);
  }
}

TEST_F(SignedData, SigningFailureAtFinal) {
  // A 256-bit RSA key passes as a signer but cannot hold a signature block
  // for its default digest: signing fails when the structure is completed.
  const Signer small = make_signer("RSA-256");
  Case rec = sign(small, TESSEL_FORM_DER, 0);
  EXPECT_EQ(rec->status, TESSEL_CMS_FINAL_FAILED);
  EXPECT_EQ(rec->context, nullptr);
  EXPECT_EQ(rec->data, nullptr);
}

// A SignedData (found by the fuzzer) whose signer info OpenSSL reads but writes
// back as bytes it cannot read: no conversion, in either form.
TEST(ConvertP7S, RefusesWhatWouldNotReadBack) {
  std::ifstream in(std::string(TESSEL_VECTOR_DIR) + "/cms_rewritten_unreadable.der", std::ios::binary);
  const Bytes input((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(input.empty());
  for (int32_t form : {int32_t{TESSEL_FORM_DER}, int32_t{TESSEL_FORM_PEM}}) {
    Case rec(ConvertP7S(form, input.data(), len(input)));
    EXPECT_EQ(rec->status, TESSEL_BAD_CMS) << form;
    EXPECT_EQ(rec->data, nullptr) << form;
  }
}

TEST_F(SignedData, VerifyAndConvertInputs) {
  Case rec = sign(*a_, TESSEL_FORM_PEM, 0);
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Bytes pem = data_of(rec.get());
  Case der(ConvertP7S(TESSEL_FORM_DER, pem.data(), len(pem)));
  ASSERT_EQ(der->status, TESSEL_OK);
  Case pem_again(ConvertP7S(TESSEL_FORM_PEM, der->data, der->data_len));
  ASSERT_EQ(pem_again->status, TESSEL_OK);
  Case der_again(ConvertP7S(TESSEL_FORM_DER, pem_again->data, pem_again->data_len));
  EXPECT_EQ(data_of(der_again.get()), data_of(der.get()));
  EXPECT_EQ(verify(data_of(der.get()), nullptr, nullptr)->status, TESSEL_OK);

  for (int32_t form : {int32_t{TESSEL_FORM_SMIME}, int32_t{7}}) {
    EXPECT_EQ(Case(ConvertP7S(form, pem.data(), len(pem)))->status, TESSEL_UNKNOWN_FORM);
  }
  const std::string garbage = "-----BEGIN CMS-----\nAAAA\n-----END CMS-----\n";
  EXPECT_EQ(Case(ConvertP7S(TESSEL_FORM_DER, bytes(garbage), len(garbage)))->status,
            TESSEL_BAD_CMS);
  EXPECT_EQ(Case(VerifySignP7S(bytes(garbage), len(garbage), nullptr, 0, nullptr, 0))->status,
            TESSEL_BAD_CMS);
  EXPECT_EQ(ERR_peek_error(), 0u);
  EXPECT_EQ(Case(VerifySignP7S(pem.data(), 0, nullptr, 0, nullptr, 0))->status, TESSEL_BAD_CMS);
  const std::string bad_cert = "junk";
  EXPECT_EQ(
      Case(VerifySignP7S(pem.data(), len(pem), nullptr, 0, bytes(bad_cert), len(bad_cert)))->status,
      TESSEL_BAD_CERTIFICATE);
  // Content given but empty cannot be put into its BIO.
  EXPECT_EQ(Case(VerifySignP7S(pem.data(), len(pem), bytes(kContent), 0, nullptr, 0))->status,
            TESSEL_BIO_WRITE_FAILED);
}

// A digest algorithm OpenSSL does not know in the structure's list fails
// the check and loses nothing (OpenSSL 3.0 leaked its copy of the content).
TEST_F(SignedData, DetachedContentUnderAnUnknownDigestAlgorithm) {
  Case rec = sign(*a_, TESSEL_FORM_DER, TESSEL_CMS_DETACHED);
  ASSERT_EQ(rec->status, TESSEL_OK);
  Bytes der = data_of(rec.get());
  const Bytes belt_hash = {0x06, 0x09, 0x2A, 0x70, 0x00, 0x02, 0x00, 0x22, 0x65, 0x1F, 0x51};
  const auto at = std::search(der.begin(), der.end(), belt_hash.begin(), belt_hash.end());
  ASSERT_NE(at, der.end());
  // The first one is in the digestAlgorithms list.
  der[static_cast<std::size_t>(at - der.begin()) + belt_hash.size() - 1] = 0x41;
  EXPECT_EQ(verify(der, &kContent, nullptr)->status, TESSEL_VERIFY_FAILED);
}

}  // namespace
