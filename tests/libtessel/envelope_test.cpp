// CMS EnvelopedData: our sequence and one-shot call, DecryptP7S, and the
// exchange with the stock openssl command and the national-algorithm module.
// pem.h first: cms.h declares its PEM functions only after it.
#include <openssl/pem.h>

#include <openssl/cms.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/openssl_command.h"
#include "tessel_support.h"

namespace {

using namespace tesseltest;

class Envelope : public Tessel {
 protected:
  static void SetUpTestSuite() {
    CRYPTOCASE_free(CreateDigest_Init("bash256"));
    alice_ = new Signer(make_signer("A", "alice pass"));
    bob_ = new Signer(make_signer("C"));
  }
  static void TearDownTestSuite() {
    delete alice_;
    delete bob_;
  }

  static Case envelope(const std::string& content, const Signer& to, int32_t form,
                       int32_t flags = 0, const char* cipher = "belt-ctr256") {
    return Case(EncryptP7S(cipher, bytes(content), len(content), bytes(to.cert_pem),
                           len(to.cert_pem), form, flags));
  }
  static Case open(const Bytes& cms, const Signer& who, const char* password) {
    return Case(DecryptP7S(cms.data(), len(cms), bytes(who.key_pem), len(who.key_pem), password));
  }
  static Case open(const CRYPTOCASE* rec, const Signer& who, const char* password) {
    return open(data_of(rec), who, password);
  }

  // The recipient identifiers of a DER or PEM enveloped structure: true
  // for a subject key identifier, false for issuer and serial number.
  static std::vector<bool> recipient_ids(const Bytes& cms_bytes, bool pem) {
    BIO* bio = BIO_new_mem_buf(cms_bytes.data(), len(cms_bytes));
    CMS_ContentInfo* cms =
        pem ? PEM_read_bio_CMS(bio, nullptr, nullptr, nullptr) : d2i_CMS_bio(bio, nullptr);
    BIO_free(bio);
    std::vector<bool> ids;
    if (cms == nullptr) return ids;
    STACK_OF(CMS_RecipientInfo)* infos = CMS_get0_RecipientInfos(cms);
    for (int i = 0; i < sk_CMS_RecipientInfo_num(infos); ++i) {
      ASN1_OCTET_STRING* keyid = nullptr;
      X509_NAME* issuer = nullptr;
      ASN1_INTEGER* serial = nullptr;
      CMS_RecipientInfo_ktri_get0_signer_id(sk_CMS_RecipientInfo_value(infos, i), &keyid, &issuer,
                                            &serial);
      ids.push_back(keyid != nullptr);
    }
    CMS_ContentInfo_free(cms);
    return ids;
  }

  static Signer* alice_;
  static Signer* bob_;
  // Binary content with bare line ends: a text conversion would show.
  const std::string content_ = std::string("first line\nsecond\r\n\0\xfe\xff tail", 28);
};

Signer* Envelope::alice_ = nullptr;
Signer* Envelope::bob_ = nullptr;

TEST_F(Envelope, EveryFormAndContentCipherOpensWithTheRecipientKey) {
  const struct {
    int32_t form;
    const char* marker;
  } forms[] = {{TESSEL_FORM_PEM, "-----BEGIN CMS-----"},
               {TESSEL_FORM_DER, "\x30"},
               {TESSEL_FORM_SMIME, "application/pkcs7-mime"}};
  for (const char* cipher : {"belt-ctr256", "belt-cfb256", "belt-cbc256", "belt-ctr128"}) {
    for (const auto& f : forms) {
      SCOPED_TRACE(std::string(cipher) + " form " + std::to_string(f.form));
      Case rec = envelope(content_, *alice_, f.form, 0, cipher);
      ASSERT_EQ(rec->status, TESSEL_OK);
      EXPECT_NE(text_of(rec.get()).find(f.marker), std::string::npos);
      EXPECT_EQ(text_of(rec.get()).find("second"), std::string::npos) << "content in the clear";
      Case opened = open(rec.get(), *alice_, "alice pass");
      ASSERT_EQ(opened->status, TESSEL_OK);
      EXPECT_EQ(text_of(opened.get()), content_);
    }
  }
}

TEST_F(Envelope, TwoRecipientsEachOpenTheSameContent) {
  for (int32_t flags : {0, int32_t{TESSEL_CMS_KEYID}}) {
    SCOPED_TRACE(flags);
    Case rec(EncryptP7S_Init("belt-cfb256", TESSEL_FORM_DER, flags));
    ASSERT_EQ(rec->status, TESSEL_OK);
    for (const Signer* to : {alice_, bob_}) {
      ASSERT_EQ(EncryptP7S_AddRecipient(rec.get(), to->cert_der.data(), len(to->cert_der)),
                rec.get());
      ASSERT_EQ(rec->status, TESSEL_OK);
    }
    ASSERT_EQ(EncryptP7S_Final(rec.get(), bytes(content_), len(content_))->status, TESSEL_OK);
    EXPECT_EQ(rec->context, nullptr);
    const bool by_keyid = flags != 0;
    EXPECT_EQ(recipient_ids(data_of(rec.get()), false), std::vector<bool>(2, by_keyid));
    EXPECT_EQ(text_of(open(rec.get(), *alice_, "alice pass").get()), content_);
    EXPECT_EQ(text_of(open(rec.get(), *bob_, nullptr).get()), content_);
  }
}

TEST_F(Envelope, DetachedBitIsIgnoredAndKeyIdNamesTheRecipient) {
  Case rec = envelope(content_, *bob_, TESSEL_FORM_PEM, TESSEL_CMS_DETACHED | TESSEL_CMS_KEYID);
  ASSERT_EQ(rec->status, TESSEL_OK);
  EXPECT_EQ(recipient_ids(data_of(rec.get()), true), std::vector<bool>{true});
  EXPECT_EQ(text_of(open(rec.get(), *bob_, nullptr).get()), content_);
  // A certificate without a subject key identifier cannot be named by one.
  const Signer plain = make_signer("A", nullptr, false);
  EXPECT_EQ(envelope(content_, plain, TESSEL_FORM_DER, TESSEL_CMS_KEYID)->status,
            TESSEL_CMS_ADD_FAILED);
  Case by_serial = envelope(content_, plain, TESSEL_FORM_DER);
  ASSERT_EQ(by_serial->status, TESSEL_OK);
  EXPECT_EQ(recipient_ids(data_of(by_serial.get()), false), std::vector<bool>{false});
}

TEST_F(Envelope, SequenceStatuses) {
  const std::string junk = "not a certificate";
  Case unknown(EncryptP7S_Init("belt-zzz256", TESSEL_FORM_DER, 0));
  EXPECT_EQ(unknown->status, TESSEL_UNKNOWN_ALGORITHM);
  EXPECT_EQ(unknown->context, nullptr);
  EXPECT_EQ(Case(EncryptP7S_Init(nullptr, TESSEL_FORM_DER, 0))->status, TESSEL_UNKNOWN_ALGORITHM);

  Case bad_cert(EncryptP7S_Init("belt-ctr256", TESSEL_FORM_DER, 0));
  EXPECT_EQ(EncryptP7S_AddRecipient(bad_cert.get(), bytes(junk), len(junk))->status,
            TESSEL_BAD_CERTIFICATE);
  EXPECT_EQ(bad_cert->context, nullptr);
  // Once the context is gone nothing more can be added or finished.
  EXPECT_EQ(EncryptP7S_AddRecipient(bad_cert.get(), bytes(alice_->cert_pem), len(alice_->cert_pem))
                ->status,
            TESSEL_CMS_ADD_FAILED);
  EXPECT_EQ(EncryptP7S_Final(bad_cert.get(), bytes(content_), len(content_))->status,
            TESSEL_CMS_FINAL_FAILED);

  // The form is checked only at the end.
  Case form3(EncryptP7S_Init("belt-ctr256", 3, 0));
  ASSERT_EQ(form3->status, TESSEL_OK);
  ASSERT_EQ(
      EncryptP7S_AddRecipient(form3.get(), bytes(alice_->cert_pem), len(alice_->cert_pem))->status,
      TESSEL_OK);
  EXPECT_EQ(EncryptP7S_Final(form3.get(), bytes(content_), len(content_))->status,
            TESSEL_UNKNOWN_FORM);
  EXPECT_EQ(form3->context, nullptr);

  EXPECT_EQ(envelope("", *alice_, TESSEL_FORM_DER)->status, TESSEL_BIO_WRITE_FAILED);
  // No recipient: nothing to encrypt the content key for.
  Case nobody(EncryptP7S_Init("belt-ctr256", TESSEL_FORM_DER, 0));
  EXPECT_EQ(EncryptP7S_Final(nobody.get(), bytes(content_), len(content_))->status,
            TESSEL_CMS_FINAL_FAILED);

  EXPECT_EQ(EncryptP7S_AddRecipient(nullptr, bytes(junk), len(junk)), nullptr);
  EXPECT_EQ(EncryptP7S_Final(nullptr, bytes(content_), len(content_)), nullptr);
}

TEST_F(Envelope, DecryptStatuses) {
  Case rec = envelope(content_, *alice_, TESSEL_FORM_DER);
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Bytes cms = data_of(rec.get());
  const std::string junk = "junk";
  Case signed_data(CreateSignP7S(bytes(content_), len(content_), bytes(bob_->key_pem),
                                 len(bob_->key_pem), nullptr, bytes(bob_->cert_pem),
                                 len(bob_->cert_pem), TESSEL_FORM_DER, 0));
  ASSERT_EQ(signed_data->status, TESSEL_OK);
  struct Row {
    const char* what;
    Case rec;
    int32_t want;
  } rows[] = {
      {"key of no recipient", open(cms, *bob_, nullptr), TESSEL_CMS_DECRYPT_FAILED},
      {"wrong password", open(cms, *alice_, "wrong"), TESSEL_BAD_PRIVATE_KEY},
      {"not CMS",
       Case(DecryptP7S(bytes(junk), len(junk), bytes(alice_->key_pem), len(alice_->key_pem),
                       "alice pass")),
       TESSEL_BAD_CMS},
      {"signed, not enveloped", open(data_of(signed_data.get()), *bob_, nullptr),
       TESSEL_CMS_DECRYPT_FAILED},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.rec->status, r.want) << r.what;
    EXPECT_EQ(r.rec->data, nullptr) << r.what;
  }
}

class EnvelopeInterop : public Envelope, public testsupport::CommandFiles {
 protected:
};

TEST_F(EnvelopeInterop, OurEnvelopeOpensWithOpensslCms) {
  write("key.pem", alice_->key_pem);
  for (int32_t form : {int32_t{TESSEL_FORM_DER}, int32_t{TESSEL_FORM_SMIME}}) {
    SCOPED_TRACE(form);
    Case rec = envelope(content_, *alice_, form, 0, "belt-cfb256");
    ASSERT_EQ(rec->status, TESSEL_OK);
    write("env", text_of(rec.get()));
    const std::string inform = form == TESSEL_FORM_DER ? "-inform DER" : "-inform SMIME";
    ASSERT_TRUE(run("cms", "-decrypt -binary " + inform + " -in " + path("env") + " -inkey " +
                               path("key.pem") + " -passin pass:alice\\ pass -out " +
                               path("out.bin")));
    EXPECT_EQ(read("out.bin"), content_);
  }
}

TEST_F(EnvelopeInterop, OpensslCmsEnvelopeOpensHere) {
  write("content.bin", content_);
  write("cert.pem", bob_->cert_pem);
  for (const char* cipher : {"-belt-ctr256", "-belt-cfb256"}) {
    SCOPED_TRACE(cipher);
    ASSERT_TRUE(run("cms", std::string("-encrypt -binary ") + cipher + " -in " +
                               path("content.bin") + " -outform DER -out " + path("theirs.der") +
                               " " + path("cert.pem")));
    const std::string theirs = read("theirs.der");
    Case opened(
        DecryptP7S(bytes(theirs), len(theirs), bytes(bob_->key_pem), len(bob_->key_pem), nullptr));
    ASSERT_EQ(opened->status, TESSEL_OK);
    EXPECT_EQ(text_of(opened.get()), content_);
    Case stranger(DecryptP7S(bytes(theirs), len(theirs), bytes(alice_->key_pem),
                             len(alice_->key_pem), "alice pass"));
    EXPECT_EQ(stranger->status, TESSEL_CMS_DECRYPT_FAILED);
  }
}

// A key-wrapping cipher takes the whole content into its final step, which
// the streaming CMS code gives a small fixed buffer: it is refused as a
// content cipher on both sides, before any work.
TEST_F(EnvelopeInterop, KeyWrapCipherIsNoContentCipher) {
  const std::string large(20000, 'k');
  for (const char* cipher : {"belt-kwp128", "belt-kwp256"}) {
    SCOPED_TRACE(cipher);
    Case one_shot = envelope(large, *alice_, TESSEL_FORM_DER, 0, cipher);
    EXPECT_EQ(one_shot->status, TESSEL_UNKNOWN_ALGORITHM);
    EXPECT_EQ(one_shot->data, nullptr);
    Case init(EncryptP7S_Init(cipher, TESSEL_FORM_DER, 0));
    EXPECT_EQ(init->status, TESSEL_UNKNOWN_ALGORITHM);
    EXPECT_EQ(init->context, nullptr);
  }

  // The stock command with our module: small content stays within the
  // cipher's bounds, large content is refused without overrunning anything.
  write("cert.pem", bob_->cert_pem);
  write("small.bin", content_);
  write("large.bin", large);
  ASSERT_TRUE(run("cms", "-encrypt -binary -belt-kwp256 -in " + path("small.bin") +
                             " -outform DER -out " + path("kwp.der") + " " + path("cert.pem")));
  const auto refused = testsupport::run_openssl("cms",
                                                "-encrypt -binary -belt-kwp256 -in " +
                                                    path("large.bin") + " -outform DER -out " +
                                                    path("large.der") + " " + path("cert.pem"),
                                                path("log"));
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(read("log").find("Sanitizer"), std::string::npos) << read("log");

  // Such an envelope, as sent and with 20,000 octets of garbage a sender
  // chooses in place of its content, is not decrypted.
  const std::string theirs = read("kwp.der");
  const unsigned char* p = reinterpret_cast<const unsigned char*>(theirs.data());
  CMS_ContentInfo* cms = d2i_CMS_ContentInfo(nullptr, &p, len(theirs));
  ASSERT_NE(cms, nullptr);
  ASN1_OCTET_STRING** content = CMS_get0_content(cms);
  ASSERT_TRUE(content != nullptr && *content != nullptr);
  ASSERT_EQ(ASN1_OCTET_STRING_set(*content, reinterpret_cast<const unsigned char*>(large.data()),
                                  len(large)),
            1);
  unsigned char* der = nullptr;
  const int der_len = i2d_CMS_ContentInfo(cms, &der);
  CMS_ContentInfo_free(cms);
  ASSERT_GT(der_len, 20000);
  const Bytes garbage(der, der + der_len);
  OPENSSL_free(der);
  for (const Bytes& sent : {Bytes(theirs.begin(), theirs.end()), garbage}) {
    Case opened = open(sent, *bob_, nullptr);
    EXPECT_EQ(opened->status, TESSEL_UNKNOWN_ALGORITHM);
    EXPECT_EQ(opened->data, nullptr);
  }
}

}  // namespace
