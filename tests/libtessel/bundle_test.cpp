// Certificate bundles: CreateP7B_Init / AddCert / AddCRL / CreateP7B and
// ConvertP7B, checked by parsing the result here and with openssl pkcs7.
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/openssl_command.h"
#include "tessel_support.h"

namespace {

using namespace tesseltest;

// A CRL issued by the signer, revoking one serial number.
std::string make_crl(const Signer& issuer, long revoked_serial) {
  X509_CRL* crl = X509_CRL_new();
  X509_REVOKED* entry = X509_REVOKED_new();
  ASN1_INTEGER* serial = ASN1_INTEGER_new();
  ASN1_TIME* now = ASN1_TIME_new();
  BIO* bio = BIO_new(BIO_s_mem());
  int md = NID_undef;
  const bool ok =
      crl && entry && serial && now && bio && X509_CRL_set_version(crl, 1) &&
      X509_CRL_set_issuer_name(crl, X509_get_subject_name(issuer.cert.get())) &&
      X509_gmtime_adj(now, 0) && X509_CRL_set1_lastUpdate(crl, now) &&
      ASN1_INTEGER_set(serial, revoked_serial) && X509_REVOKED_set_serialNumber(entry, serial) &&
      X509_REVOKED_set_revocationDate(entry, now) && X509_CRL_add0_revoked(crl, entry) &&
      X509_CRL_sort(crl) && EVP_PKEY_get_default_digest_nid(issuer.key.get(), &md) > 0 &&
      X509_CRL_sign(crl, issuer.key.get(), EVP_get_digestbynid(md)) > 0 &&
      PEM_write_bio_X509_CRL(bio, crl) > 0;
  std::string pem;
  if (ok) {
    char* p = nullptr;
    const long n = BIO_get_mem_data(bio, &p);
    pem.assign(p, static_cast<std::size_t>(n));
  } else {
    X509_REVOKED_free(entry);  // not yet owned by the CRL
  }
  BIO_free(bio);
  ASN1_TIME_free(now);
  ASN1_INTEGER_free(serial);
  X509_CRL_free(crl);
  return pem;
}

struct Counts {
  int certs = -1, crls = -1;
};

// What a bundle holds, read back with OpenSSL (PEM or DER).
Counts count(const Bytes& bundle) {
  BIO* bio = BIO_new_mem_buf(bundle.data(), len(bundle));
  PKCS7* p7 = PEM_read_bio_PKCS7(bio, nullptr, nullptr, nullptr);
  if (p7 == nullptr) {
    BIO_free(bio);
    bio = BIO_new_mem_buf(bundle.data(), len(bundle));
    p7 = d2i_PKCS7_bio(bio, nullptr);
  }
  BIO_free(bio);
  Counts c;
  if (p7 != nullptr && PKCS7_type_is_signed(p7)) {
    c.certs = sk_X509_num(p7->d.sign->cert) < 0 ? 0 : sk_X509_num(p7->d.sign->cert);
    c.crls = sk_X509_CRL_num(p7->d.sign->crl) < 0 ? 0 : sk_X509_CRL_num(p7->d.sign->crl);
    EXPECT_EQ(sk_PKCS7_SIGNER_INFO_num(p7->d.sign->signer_info), 0);
  }
  PKCS7_free(p7);
  return c;
}

class Bundle : public Tessel {
 protected:
  static void SetUpTestSuite() {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));
    for (Signer*& s : signers_) s = new Signer(make_signer("A"));
    crl_ = new std::string(make_crl(*signers_[0], 7));
  }
  static void TearDownTestSuite() {
    for (Signer*& s : signers_) delete s;
    delete crl_;
  }

  // A bundle of the three certificates (PEM, DER, PEM) and the CRL.
  static Case full_bundle(int32_t form) {
    Case rec(CreateP7B_Init());
    EXPECT_EQ(rec->status, TESSEL_OK);
    CreateP7B_AddCert(rec.get(), bytes(signers_[0]->cert_pem), len(signers_[0]->cert_pem));
    CreateP7B_AddCRL(rec.get(), bytes(*crl_), len(*crl_));
    CreateP7B_AddCert(rec.get(), signers_[1]->cert_der.data(), len(signers_[1]->cert_der));
    CreateP7B_AddCert(rec.get(), bytes(signers_[2]->cert_pem), len(signers_[2]->cert_pem));
    EXPECT_EQ(rec->status, TESSEL_OK);
    CreateP7B(rec.get(), form);
    return rec;
  }

  static Signer* signers_[3];
  static std::string* crl_;
};

Signer* Bundle::signers_[3] = {};
std::string* Bundle::crl_ = nullptr;

TEST_F(Bundle, HoldsWhatWasAddedInBothForms) {
  ASSERT_FALSE(crl_->empty());
  for (int32_t form : {int32_t{TESSEL_FORM_PEM}, int32_t{TESSEL_FORM_DER}}) {
    SCOPED_TRACE(form);
    Case rec = full_bundle(form);
    ASSERT_EQ(rec->status, TESSEL_OK);
    EXPECT_EQ(rec->context, nullptr);
    const Counts c = count(data_of(rec.get()));
    EXPECT_EQ(c.certs, 3);
    EXPECT_EQ(c.crls, 1);
  }
  Case pem = full_bundle(TESSEL_FORM_PEM);
  EXPECT_EQ(text_of(pem.get()).rfind("-----BEGIN PKCS7-----", 0), 0u);
}

TEST_F(Bundle, EmptyBundleRightAfterInit) {
  Case rec(CreateP7B_Init());
  ASSERT_EQ(CreateP7B(rec.get(), TESSEL_FORM_DER)->status, TESSEL_OK);
  const Counts c = count(data_of(rec.get()));
  EXPECT_EQ(c.certs, 0);
  EXPECT_EQ(c.crls, 0);
}

TEST_F(Bundle, FailedAddsLeaveTheSequenceGoing) {
  const std::string junk = "neither certificate nor CRL";
  Case rec(CreateP7B_Init());
  EXPECT_EQ(CreateP7B_AddCert(rec.get(), bytes(junk), len(junk))->status, TESSEL_BAD_CERTIFICATE);
  EXPECT_EQ(CreateP7B_AddCRL(rec.get(), bytes(junk), len(junk))->status, TESSEL_BAD_CRL);
  // A certificate is no CRL and the other way round.
  EXPECT_EQ(
      CreateP7B_AddCRL(rec.get(), bytes(signers_[0]->cert_pem), len(signers_[0]->cert_pem))->status,
      TESSEL_BAD_CRL);
  EXPECT_EQ(CreateP7B_AddCert(rec.get(), bytes(*crl_), len(*crl_))->status, TESSEL_BAD_CERTIFICATE);
  ASSERT_NE(rec->context, nullptr);
  EXPECT_EQ(CreateP7B_AddCert(rec.get(), bytes(signers_[1]->cert_pem), len(signers_[1]->cert_pem))
                ->status,
            TESSEL_OK);
  ASSERT_EQ(CreateP7B(rec.get(), TESSEL_FORM_PEM)->status, TESSEL_OK);
  const Counts c = count(data_of(rec.get()));
  EXPECT_EQ(c.certs, 1);
  EXPECT_EQ(c.crls, 0);
}

TEST_F(Bundle, BuiltBundleTakesNoMoreItems) {
  Case rec(CreateP7B_Init());
  ASSERT_EQ(CreateP7B(rec.get(), TESSEL_FORM_PEM)->status, TESSEL_OK);
  EXPECT_EQ(CreateP7B_AddCert(rec.get(), bytes(signers_[0]->cert_pem), len(signers_[0]->cert_pem))
                ->status,
            TESSEL_CERT_LIST_FAILED);
  EXPECT_EQ(CreateP7B_AddCRL(rec.get(), bytes(*crl_), len(*crl_))->status, TESSEL_CRL_LIST_FAILED);
  EXPECT_EQ(CreateP7B(rec.get(), TESSEL_FORM_PEM)->status, TESSEL_CONTEXT_ALLOC_FAILED);
}

TEST_F(Bundle, FormsOtherThanPemAndDerAreRefused) {
  for (int32_t form : {int32_t{TESSEL_FORM_SMIME}, int32_t{-1}, int32_t{3}}) {
    SCOPED_TRACE(form);
    Case rec = full_bundle(form);
    EXPECT_EQ(rec->status, TESSEL_UNKNOWN_FORM);
    EXPECT_EQ(rec->context, nullptr);
    Case der = full_bundle(TESSEL_FORM_DER);
    const Bytes b = data_of(der.get());
    EXPECT_EQ(Case(ConvertP7B(form, b.data(), len(b)))->status, TESSEL_UNKNOWN_FORM);
  }
  EXPECT_EQ(CreateP7B_AddCert(nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CreateP7B_AddCRL(nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CreateP7B(nullptr, TESSEL_FORM_PEM), nullptr);
}

TEST_F(Bundle, ConvertRoundTripsBetweenPemAndDer) {
  Case pem = full_bundle(TESSEL_FORM_PEM);
  Case der = full_bundle(TESSEL_FORM_DER);
  ASSERT_EQ(pem->status, TESSEL_OK);
  const Bytes pem_bytes = data_of(pem.get());
  Case to_der(ConvertP7B(TESSEL_FORM_DER, pem_bytes.data(), len(pem_bytes)));
  ASSERT_EQ(to_der->status, TESSEL_OK);
  EXPECT_EQ(data_of(to_der.get()), data_of(der.get()));
  const Bytes der_bytes = data_of(to_der.get());
  Case back(ConvertP7B(TESSEL_FORM_PEM, der_bytes.data(), len(der_bytes)));
  ASSERT_EQ(back->status, TESSEL_OK);
  EXPECT_EQ(data_of(back.get()), pem_bytes);

  const std::string junk = "-----BEGIN PKCS7-----\nAAAA\n-----END PKCS7-----\n";
  EXPECT_EQ(Case(ConvertP7B(TESSEL_FORM_PEM, bytes(junk), len(junk)))->status, TESSEL_BAD_PKCS7);
  EXPECT_EQ(Case(ConvertP7B(TESSEL_FORM_PEM, nullptr, 0))->status, TESSEL_BAD_PKCS7);
}

TEST_F(Bundle, OpensslPkcs7PrintsTheCertificatesAndCrl) {
  Case rec = full_bundle(TESSEL_FORM_PEM);
  ASSERT_EQ(rec->status, TESSEL_OK);
  const testsupport::CommandFiles files;
  files.write("bundle.pem", text_of(rec.get()));
  ASSERT_TRUE(files.run("pkcs7", "-print_certs -in " + files.path("bundle.pem")));
  const std::string text = files.read("log");
  int subjects = 0;
  for (std::size_t at = text.find("subject="); at != std::string::npos;
       at = text.find("subject=", at + 1))
    ++subjects;
  EXPECT_EQ(subjects, 3) << text;
  EXPECT_NE(text.find("-----BEGIN X509 CRL-----"), std::string::npos) << text;
}

}  // namespace
