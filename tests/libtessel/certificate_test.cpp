// Issuing certificates: the statuses inputs provoke, serial numbers,
// validity dates, extension copy modes and versions, re-encoding.
#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <fstream>

#include "ca_support.h"

namespace {

using namespace catest;

class Issuing : public Tessel {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    ca_.signer = make_signer("A");
    holder_ = make_signer("A");
    request_ = request_pem(holder_.key.get(), {{"CN", MBSTRING_UTF8, "holder"}});
  }

  Authority ca_;
  Signer holder_;
  std::string request_;
};

const std::string kSupplyCn =
    config("policy = cn_policy", "[ cn_policy ]\ncommonName = supplied\n");

TEST_F(Issuing, FirstCertificateWithoutConfiguration) {
  Case rec = issue(ca_, request_, nullptr, "01");
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Cert cert = cert_of(rec.get());
  ASSERT_NE(cert, nullptr);
  // No policy: the subject is empty and the row names the serial instead.
  EXPECT_EQ(X509_NAME_entry_count(X509_get_subject_name(cert.get())), 0);
  EXPECT_EQ(oneline(X509_get_issuer_name(cert.get())), "/CN=tessel signer");
  EXPECT_EQ(X509_get_version(cert.get()), 0);
  EXPECT_TRUE(within(seconds_from_now(X509_get0_notAfter(cert.get())), 730 * 86400L, 60));
  EXPECT_TRUE(within(seconds_from_now(X509_get0_notBefore(cert.get())), 0, 60));
  EXPECT_EQ(X509_verify(cert.get(), ca_.signer.key.get()), 1);
  const auto rows = rows_of(index_of(rec.get()));
  ASSERT_EQ(rows.size(), 1u);
  const ASN1_TIME* not_after = X509_get0_notAfter(cert.get());
  const std::string expiry(reinterpret_cast<const char*>(ASN1_STRING_get0_data(not_after)),
                           static_cast<std::size_t>(ASN1_STRING_length(not_after)));
  EXPECT_EQ(rows[0], (std::vector<std::string>{"V", expiry, "", "01", "unknown", "01"}));
}

TEST_F(Issuing, SerialTexts) {
  const struct {
    const char* given;
    int32_t status;
    const char* stored;
  } cases[] = {{"00", TESSEL_OK, "00"},
               {"0a", TESSEL_OK, "0A"},
               {"00FF", TESSEL_OK, "FF"},
               {"1234ABCD", TESSEL_OK, "1234ABCD"},
               {"ABC", TESSEL_SERIAL_CONVERT_FAILED, nullptr},
               {"zz", TESSEL_SERIAL_CONVERT_FAILED, nullptr},
               {"", TESSEL_SERIAL_CONVERT_FAILED, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    Case rec = issue(ca_, request_, nullptr, c.given);
    ASSERT_EQ(rec->status, c.status);
    if (c.stored == nullptr) {
      EXPECT_EQ(rec->data, nullptr);
      EXPECT_EQ(rec->index_db, nullptr);
      continue;
    }
    EXPECT_EQ(rows_of(index_of(rec.get()))[0][3], c.stored);
  }
}

TEST_F(Issuing, RandomSerials) {
  // "rand_serial" wins whatever its value; without a serial one is drawn too.
  for (const char* conf : {"rand_serial = no", "rand_serial = yes", ""}) {
    SCOPED_TRACE(conf);
    Case a = issue(ca_, request_, config(conf), conf[0] != '\0' ? "01" : nullptr);
    Case b = issue(ca_, request_, config(conf), conf[0] != '\0' ? "01" : nullptr);
    ASSERT_EQ(a->status, TESSEL_OK);
    ASSERT_EQ(b->status, TESSEL_OK);
    const std::string serial_a = rows_of(index_of(a.get()))[0][3];
    EXPECT_NE(serial_a, "01");
    EXPECT_NE(serial_a, rows_of(index_of(b.get()))[0][3]);
    const Cert cert = cert_of(a.get());
    BIGNUM* bn = ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert.get()), nullptr);
    EXPECT_LE(BN_num_bits(bn), 159);
    BN_free(bn);
  }
}

TEST_F(Issuing, ValidityDates) {
  const struct {
    std::string conf;
    int32_t status;
    long not_before;  // seconds from now, checked when status is 0
    long not_after;
  } cases[] = {
      {"default_startdate = today", TESSEL_BAD_DATE, 0, 0},
      {"default_startdate = 2401011200Z", TESSEL_BAD_DATE, 0, 0},
      {"default_enddate = tomorrow", TESSEL_BAD_DATE, 0, 0},
      {"default_days = 10", TESSEL_OK, 0, 10 * 86400L},
      {"default_days = 99999999999", TESSEL_TIME_SET_FAILED, 0, 0},
      {"default_days = 0", TESSEL_OK, 0, 730 * 86400L},
      {"default_days = many", TESSEL_OK, 0, 730 * 86400L},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conf);
    Case rec = issue(ca_, request_, config(c.conf), "01");
    ASSERT_EQ(rec->status, c.status);
    if (c.status != TESSEL_OK) continue;
    const Cert cert = cert_of(rec.get());
    EXPECT_TRUE(within(seconds_from_now(X509_get0_notBefore(cert.get())), c.not_before, 60));
    EXPECT_TRUE(within(seconds_from_now(X509_get0_notAfter(cert.get())), c.not_after, 60));
  }
}

TEST_F(Issuing, EndCountsFromIssuingNotFromStart) {
  // A start twenty days ahead with ten days of validity ends before it starts.
  ASN1_TIME* start = X509_time_adj_ex(nullptr, 20, 0, nullptr);
  const std::string start_text(reinterpret_cast<const char*>(ASN1_STRING_get0_data(start)),
                               static_cast<std::size_t>(ASN1_STRING_length(start)));
  ASN1_TIME_free(start);
  Case rec = issue(ca_, request_,
                   config("default_startdate = " + start_text + "\ndefault_days = 10"), "01");
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Cert cert = cert_of(rec.get());
  EXPECT_TRUE(within(seconds_from_now(X509_get0_notBefore(cert.get())), 20 * 86400L, 60));
  EXPECT_TRUE(within(seconds_from_now(X509_get0_notAfter(cert.get())), 10 * 86400L, 60));
}

TEST_F(Issuing, EndDateTakesTheCertificateTimeForm) {
  // Years 1950 to 2049 are UTCTime in a certificate and in its row,
  // however the configuration spells them.
  const struct {
    const char* end;
    const char* stored;
  } cases[] = {{"20991231235959Z", "20991231235959Z"},
               {"20300101000000Z", "300101000000Z"},
               {"300101000000Z", "300101000000Z"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.end);
    Case rec = issue(ca_, request_, config(std::string("default_enddate = ") + c.end), "01");
    ASSERT_EQ(rec->status, TESSEL_OK);
    EXPECT_EQ(rows_of(index_of(rec.get()))[0][1], c.stored);
  }
}

TEST_F(Issuing, ExtensionCopyModesAndVersion) {
  const std::string request =
      request_pem(holder_.key.get(), {{"CN", MBSTRING_UTF8, "holder"}},
                  {{NID_key_usage, "keyCertSign"}, {NID_subject_alt_name, "DNS:holder.example"}});
  const std::string ext = "[ ee ]\nkeyUsage = digitalSignature\n";
  const struct {
    std::string conf;
    int32_t status;
    uint32_t key_usage;  // UINT32_MAX: no keyUsage
    bool alt_name;
  } cases[] = {
      {"", TESSEL_OK, UINT32_MAX, false},  // copy_extensions absent: none
      {"copy_extensions = none\nx509_extensions = ee", TESSEL_OK, KU_DIGITAL_SIGNATURE, false},
      {"copy_extensions = copy\nx509_extensions = ee", TESSEL_OK, KU_DIGITAL_SIGNATURE, true},
      {"copy_extensions = copyall\nx509_extensions = ee", TESSEL_OK, KU_KEY_CERT_SIGN, true},
      {"copy_extensions = all", TESSEL_BAD_COPY_EXTENSIONS, 0, false},
      {"x509_extensions = missing", TESSEL_CONFIG_EXTENSIONS_FAILED, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conf);
    Case rec = issue(ca_, request, config(c.conf, ext), "01");
    ASSERT_EQ(rec->status, c.status);
    if (c.status != TESSEL_OK) continue;
    const Cert cert = cert_of(rec.get());
    EXPECT_EQ(X509_get_key_usage(cert.get()), c.key_usage);
    EXPECT_EQ(X509_get_ext_by_NID(cert.get(), NID_subject_alt_name, -1) >= 0, c.alt_name);
    // Version 3 exactly when there is an extension.
    EXPECT_EQ(X509_get_version(cert.get()), X509_get_ext_count(cert.get()) > 0 ? 2 : 0);
  }
  // Without configuration the request's extensions are copied.
  Case rec = issue(ca_, request, nullptr, "01");
  ASSERT_EQ(rec->status, TESSEL_OK);
  EXPECT_EQ(X509_get_key_usage(cert_of(rec.get()).get()), uint32_t{KU_KEY_CERT_SIGN});
  EXPECT_EQ(X509_get_version(cert_of(rec.get()).get()), 2);
}

TEST_F(Issuing, FormTwoIsRefusedAfterIssuing) {
  Case rec = issue(ca_, request_, nullptr, "01", TESSEL_FORM_SMIME);
  EXPECT_EQ(rec->status, TESSEL_UNKNOWN_FORM);
  EXPECT_EQ(rec->data, nullptr);
  EXPECT_EQ(rec->index_db, nullptr);
  Case der = issue(ca_, request_, nullptr, "01", TESSEL_FORM_DER);
  ASSERT_EQ(der->status, TESSEL_OK);
  EXPECT_EQ(der->data[0], 0x30);
}

TEST_F(Issuing, InputStatuses) {
  const Signer other = make_signer("A");
  const Signer locked = make_signer("A", "secret-password");
  // A request whose signature no longer matches its content: one letter of
  // the signed subject changed in the DER.
  std::string tampered;
  {
    const std::string pem = request_pem(holder_.key.get(), {{"CN", MBSTRING_UTF8, "holdeR"}});
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    Req req(PEM_read_bio_X509_REQ(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    unsigned char* der = nullptr;
    const int n = i2d_X509_REQ(req.get(), &der);
    tampered.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(n));
    OPENSSL_free(der);
    tampered[tampered.find("holdeR") + 5] = 'r';
  }
  // A file a configuration could pull in: read, it would fail the policy.
  const std::string included = ::testing::TempDir() + "tessel_included.cnf";
  std::ofstream(included) << "[certificate]\npolicy = nowhere\n";
  struct Input {
    const char* what;
    std::string request, key, password, ca_cert, conf, index;
    bool self_signed;
    int32_t status;
  };
  const std::string& key = ca_.signer.key_pem;
  const std::string& cert = ca_.signer.cert_pem;
  const Input cases[] = {
      {"garbage request", "not a request", key, "", cert, "", "", false, TESSEL_BAD_REQUEST},
      {"tampered request", tampered, key, "", cert, "", "", false, TESSEL_VERIFY_FAILED},
      {"garbage key", request_, "not a key", "", cert, "", "", false, TESSEL_BAD_PRIVATE_KEY},
      {"wrong password", request_, locked.key_pem, "wrong", cert, "", "", false,
       TESSEL_BAD_PRIVATE_KEY},
      {"garbage CA", request_, key, "", "not a cert", "", "", false, TESSEL_BAD_CERTIFICATE},
      {"CA of another key", request_, key, "", other.cert_pem, "", "", false, TESSEL_KEY_MISMATCH},
      {"self-signed, foreign key", request_, key, "", "", "", "", true, TESSEL_KEY_MISMATCH},
      {"garbage config", request_, key, "", cert, "[ broken", "", false, TESSEL_BAD_CONFIG},
      {"missing policy", request_, key, "", cert, config("policy = nowhere"), "", false,
       TESSEL_NO_POLICY},
      // The library reads no files: an include directive is refused, also
      // when a line continuation spells it.
      {"config including a file", request_, key, "", cert, ".include " + included + "\n", "", false,
       TESSEL_BAD_CONFIG},
      {"include over two lines", request_, key, "", cert, ".inc\\\r\nlude=" + included + "\n", "",
       false, TESSEL_BAD_CONFIG},
      {"five columns", request_, key, "", cert, "", "V\t1\t\t01\tunknown\n", false,
       TESSEL_BAD_INDEX_DB},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Case rec(CreateCertificate(bytes(c.request), len(c.request), bytes(c.key), len(c.key),
                               c.password.empty() ? nullptr : c.password.c_str(), bytes(c.ca_cert),
                               len(c.ca_cert), c.conf.empty() ? nullptr : bytes(c.conf),
                               len(c.conf), bytes(c.index), len(c.index), "01",
                               c.self_signed ? 1 : 0, TESSEL_FORM_PEM));
    EXPECT_EQ(rec->status, c.status);
    EXPECT_EQ(rec->data, nullptr);
    EXPECT_EQ(rec->index_db, nullptr);
  }
  // Lengths that cannot be right: nothing is read out of bounds.
  Case negative(CreateCertificate(bytes(request_), -1, bytes(key), len(key), nullptr, bytes(cert),
                                  len(cert), nullptr, 0, nullptr, 0, "01", 0, 0));
  EXPECT_EQ(negative->status, TESSEL_BAD_REQUEST);
  Case bad_index(CreateCertificate(bytes(request_), len(request_), bytes(key), len(key), nullptr,
                                   bytes(cert), len(cert), nullptr, 0, nullptr, -5, "01", 0, 0));
  EXPECT_EQ(bad_index->status, TESSEL_BAD_INDEX_DB);
  // The right password opens the key.
  Case ok(CreateCertificate(bytes(request_), len(request_), bytes(locked.key_pem),
                            len(locked.key_pem), "secret-password", bytes(locked.cert_pem),
                            len(locked.cert_pem), nullptr, 0, nullptr, 0, "01", 0, 0));
  EXPECT_EQ(ok->status, TESSEL_OK);
}

TEST_F(Issuing, SelfSignedIssuerIsTheBuiltSubject) {
  const std::string request = request_pem(
      holder_.key.get(), {{"O", MBSTRING_UTF8, "Tessel"}, {"CN", MBSTRING_UTF8, "root"}});
  Case rec(CreateCertificate(bytes(request), len(request), bytes(holder_.key_pem),
                             len(holder_.key_pem), nullptr, nullptr, 0, bytes(kSupplyCn),
                             len(kSupplyCn), nullptr, 0, "01", 1, TESSEL_FORM_PEM));
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Cert cert = cert_of(rec.get());
  // The policy keeps the common name only, for subject and issuer alike.
  EXPECT_EQ(oneline(X509_get_subject_name(cert.get())), "/CN=root");
  EXPECT_EQ(oneline(X509_get_issuer_name(cert.get())), "/CN=root");
  EXPECT_EQ(X509_verify(cert.get(), holder_.key.get()), 1);
}

TEST_F(Issuing, ConvertCertificateForms) {
  const std::string& pem = ca_.signer.cert_pem;
  const Bytes& der = ca_.signer.cert_der;
  Case to_der(ConvertCertificate(TESSEL_FORM_DER, bytes(pem), len(pem)));
  ASSERT_EQ(to_der->status, TESSEL_OK);
  EXPECT_EQ(data_of(to_der.get()), der);
  Case to_pem(ConvertCertificate(TESSEL_FORM_PEM, der.data(), len(der)));
  ASSERT_EQ(to_pem->status, TESSEL_OK);
  EXPECT_EQ(text_of(to_pem.get()), pem);
  EXPECT_EQ(Case(ConvertCertificate(TESSEL_FORM_SMIME, bytes(pem), len(pem)))->status,
            TESSEL_UNKNOWN_FORM);
  EXPECT_EQ(Case(ConvertCertificate(TESSEL_FORM_PEM, bytes("junk"), 4))->status,
            TESSEL_BAD_CERTIFICATE);
  EXPECT_EQ(Case(ConvertCertificate(TESSEL_FORM_PEM, nullptr, -3))->status, TESSEL_BAD_CERTIFICATE);
}

}  // namespace
