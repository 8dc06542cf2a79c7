// CRLs from the revoked rows of the index database: entries, reasons and
// their extensions, periods, configured extensions, statuses, re-encoding.
#include <openssl/x509v3.h>

#include <map>

#include "ca_support.h"

namespace {

using namespace catest;

class Crls : public Tessel {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    ca_ = make_signer("A");
  }
  Case crl(const std::string& index, const std::string& conf = {}, int32_t number = 1,
           int32_t form = TESSEL_FORM_PEM) const {
    return Case(CreateCRL(bytes(ca_.key_pem), len(ca_.key_pem), nullptr, bytes(ca_.cert_pem),
                          len(ca_.cert_pem), conf.empty() ? nullptr : bytes(conf), len(conf),
                          bytes(index), len(index), number, form));
  }

  Signer ca_;
};

std::string revoked_row(const std::string& serial, const std::string& info) {
  return "R\t300101000000Z\t" + info + "\t" + serial + "\tunknown\t/CN=" + serial + "\n";
}

long reason_of(X509_REVOKED* entry) {
  ASN1_ENUMERATED* code = static_cast<ASN1_ENUMERATED*>(
      X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, nullptr, nullptr));
  const long value = code != nullptr ? ASN1_ENUMERATED_get(code) : -1;
  ASN1_ENUMERATED_free(code);
  return value;
}

TEST_F(Crls, EntriesReasonsAndEntryExtensions) {
  const char* t = "240101000000Z";
  const struct {
    const char* serial;
    std::string info;
    long code;               // -1: no reasonCode
    const char* invalidity;  // GeneralizedTime text, or null
    int hold;                // NID of the hold instruction, or NID_undef
  } rows[] = {
      {"01", std::string(t) + ",unspecified", 0, nullptr, NID_undef},
      {"02", std::string(t) + ",keyCompromise", 1, nullptr, NID_undef},
      {"03", std::string(t) + ",CACompromise", 2, nullptr, NID_undef},
      {"04", std::string(t) + ",affiliationChanged", 3, nullptr, NID_undef},
      {"05", std::string(t) + ",superseded", 4, nullptr, NID_undef},
      {"06", std::string(t) + ",cessationOfOperation", 5, nullptr, NID_undef},
      {"07", std::string(t) + ",certificateHold", 6, nullptr, NID_undef},
      {"08", std::string(t) + ",removeFromCRL", 8, nullptr, NID_undef},
      {"09", std::string(t) + ",holdInstruction,holdInstructionReject", 6, nullptr,
       NID_hold_instruction_reject},
      {"0A", std::string(t) + ",holdInstruction,1.2.840.10040.2.2", 6, nullptr,
       NID_hold_instruction_call_issuer},
      {"0B", std::string(t) + ",keyTime,20240101000000Z", 1, "20240101000000Z", NID_undef},
      {"0C", std::string(t) + ",CAkeyTime,20231231120000Z", 2, "20231231120000Z", NID_undef},
      {"0D", t, -1, nullptr, NID_undef},
  };
  // Database order is not serial order; valid rows stay out.
  std::string index = "V\t300101000000Z\t\t20\tunknown\t/CN=valid\n";
  for (auto it = std::rbegin(rows); it != std::rend(rows); ++it)
    index += revoked_row(it->serial, it->info);
  Case rec = crl(index);
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Crl list = crl_of(rec.get());
  ASSERT_NE(list, nullptr);
  STACK_OF(X509_REVOKED)* entries = X509_CRL_get_REVOKED(list.get());
  ASSERT_EQ(sk_X509_REVOKED_num(entries), static_cast<int>(std::size(rows)));
  for (int i = 0; i < sk_X509_REVOKED_num(entries); ++i) {
    X509_REVOKED* entry = sk_X509_REVOKED_value(entries, i);
    const auto& want = rows[i];
    SCOPED_TRACE(want.serial);
    EXPECT_EQ(ASN1_INTEGER_get(X509_REVOKED_get0_serialNumber(entry)),
              std::stol(want.serial, nullptr, 16));
    EXPECT_EQ(ASN1_STRING_type(X509_REVOKED_get0_revocationDate(entry)), V_ASN1_UTCTIME);
    EXPECT_EQ(reason_of(entry), want.code);
    auto* invalidity = static_cast<ASN1_GENERALIZEDTIME*>(
        X509_REVOKED_get_ext_d2i(entry, NID_invalidity_date, nullptr, nullptr));
    if (want.invalidity == nullptr) {
      EXPECT_EQ(invalidity, nullptr);
    } else {
      ASSERT_NE(invalidity, nullptr);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(invalidity))),
                want.invalidity);
    }
    ASN1_GENERALIZEDTIME_free(invalidity);
    auto* hold = static_cast<ASN1_OBJECT*>(
        X509_REVOKED_get_ext_d2i(entry, NID_hold_instruction_code, nullptr, nullptr));
    EXPECT_EQ(hold != nullptr ? OBJ_obj2nid(hold) : NID_undef, want.hold);
    ASN1_OBJECT_free(hold);
    for (int j = 0; j < X509_REVOKED_get_ext_count(entry); ++j)
      EXPECT_EQ(X509_EXTENSION_get_critical(X509_REVOKED_get_ext(entry, j)), 0);
  }
  EXPECT_EQ(X509_CRL_verify(list.get(), ca_.key.get()), 1);
}

TEST_F(Crls, OneBadRowFailsTheWholeList) {
  const std::string good = revoked_row("01", "240101000000Z,keyCompromise");
  const struct {
    const char* what;
    std::string row;
  } cases[] = {
      {"GeneralizedTime revocation", revoked_row("02", "20500101000000Z,keyCompromise")},
      {"no time at all", revoked_row("02", "")},
      {"unknown reason", revoked_row("02", "240101000000Z,KeyCompromise")},
      {"keyTime without its date", revoked_row("02", "240101000000Z,keyTime")},
      {"CAkeyTime with a bad date", revoked_row("02", "240101000000Z,CAkeyTime,yesterday")},
      {"holdInstruction without its object", revoked_row("02", "240101000000Z,holdInstruction")},
      {"holdInstruction, unknown object",
       revoked_row("02", "240101000000Z,holdInstruction,no such")},
      {"serial not hexadecimal", revoked_row("0X", "240101000000Z,keyCompromise")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Case rec = crl(good + c.row);
    EXPECT_EQ(rec->status, TESSEL_REVOKED_ENTRY_FAILED);
    EXPECT_EQ(rec->data, nullptr);
  }
}

TEST_F(Crls, Periods) {
  const struct {
    std::string conf;
    long seconds;
  } cases[] = {
      {"", 30 * 86400L},
      {config("default_crl_hours = 12"), 12 * 3600L},
      {config("default_crl_days = 1\ndefault_crl_hours = 1\ndefault_crl_seconds = 30"),
       86400L + 3600 + 30},
      {config("default_crl_days = 0\ndefault_crl_hours = 0"), 30 * 86400L},
      {config("default_crl_days = soon"), 30 * 86400L},
      {config("default_crl_seconds = 90"), 90},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conf);
    Case rec = crl("", c.conf);
    ASSERT_EQ(rec->status, TESSEL_OK);
    const Crl list = crl_of(rec.get());
    EXPECT_TRUE(within(seconds_from_now(X509_CRL_get0_lastUpdate(list.get())), 0, 60));
    // The two times are taken one after the other: a second may pass.
    EXPECT_TRUE(within(
        seconds_between(X509_CRL_get0_lastUpdate(list.get()), X509_CRL_get0_nextUpdate(list.get())),
        c.seconds, 1));
    EXPECT_LE(sk_X509_REVOKED_num(X509_CRL_get_REVOKED(list.get())), 0);  // no entries
  }
  // Figures too large for a time are refused, not wrapped.
  EXPECT_EQ(crl("", config("default_crl_hours = 9999999999999999"))->status,
            TESSEL_TIME_SET_FAILED);
}

TEST_F(Crls, CrlNumberAndConfiguredExtensions) {
  Case plain = crl("", "", 42);
  ASSERT_EQ(plain->status, TESSEL_OK);
  const Crl list = crl_of(plain.get());
  ASSERT_EQ(X509_CRL_get_ext_count(list.get()), 1);
  auto* number = static_cast<ASN1_INTEGER*>(
      X509_CRL_get_ext_d2i(list.get(), NID_crl_number, nullptr, nullptr));
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(ASN1_INTEGER_get(number), 42);
  ASN1_INTEGER_free(number);
  // Extensions require version 2 (the stored value 1).
  EXPECT_EQ(X509_CRL_get_version(list.get()), 1);
  EXPECT_EQ(X509_CRL_get_ext_count(crl_of(crl("", config("unique_subject = no"), 0).get()).get()),
            1);

  const std::string conf =
      config("crl_extensions = crl_ext", "[ crl_ext ]\nauthorityKeyIdentifier = keyid:always\n");
  Case extended = crl("", conf, 7);
  ASSERT_EQ(extended->status, TESSEL_OK);
  const Crl with_aki = crl_of(extended.get());
  EXPECT_EQ(X509_CRL_get_ext_count(with_aki.get()), 2);
  EXPECT_GE(X509_CRL_get_ext_by_NID(with_aki.get(), NID_authority_key_identifier, -1), 0);
}

TEST_F(Crls, Statuses) {
  const Signer other = make_signer("A");
  const std::string junk = "junk";
  const auto run = [&](const std::string& key, const std::string& cert, const std::string& conf,
                       const std::string& index, int32_t number, int32_t form) {
    return Case(CreateCRL(bytes(key), len(key), nullptr, bytes(cert), len(cert),
                          conf.empty() ? nullptr : bytes(conf), len(conf), bytes(index), len(index),
                          number, form))
        ->status;
  };
  const std::string& k = ca_.key_pem;
  const std::string& c = ca_.cert_pem;
  EXPECT_EQ(run(junk, c, "", "", 1, 0), TESSEL_BAD_PRIVATE_KEY);
  EXPECT_EQ(run(k, junk, "", "", 1, 0), TESSEL_BAD_CERTIFICATE);
  EXPECT_EQ(run(k, other.cert_pem, "", "", 1, 0), TESSEL_KEY_MISMATCH);
  EXPECT_EQ(run(k, c, "[ open", "", 1, 0), TESSEL_BAD_CONFIG);
  EXPECT_EQ(run(k, c, config("crl_extensions = nowhere"), "", 1, 0),
            TESSEL_CONFIG_EXTENSIONS_FAILED);
  EXPECT_EQ(run(k, c, config("crl_extensions = e", "[ e ]\nnoSuchExtension = 1\n"), "", 1, 0),
            TESSEL_CONFIG_EXTENSIONS_FAILED);
  EXPECT_EQ(run(k, c, "", "R\t1\n", 1, 0), TESSEL_BAD_INDEX_DB);
  EXPECT_EQ(run(k, c, "", "", -1, 0), TESSEL_SERIAL_CONVERT_FAILED);
  EXPECT_EQ(run(k, c, "", "", 1, TESSEL_FORM_SMIME), TESSEL_UNKNOWN_FORM);
  EXPECT_EQ(run(k, c, "", "", 0, TESSEL_FORM_DER), TESSEL_OK);
}

TEST_F(Crls, ConvertCrlForms) {
  Case pem = crl(revoked_row("01", "240101000000Z,superseded"));
  ASSERT_EQ(pem->status, TESSEL_OK);
  Case der(ConvertCRL(TESSEL_FORM_DER, pem->data, pem->data_len));
  ASSERT_EQ(der->status, TESSEL_OK);
  EXPECT_EQ(der->data[0], 0x30);
  Case back(ConvertCRL(TESSEL_FORM_PEM, der->data, der->data_len));
  ASSERT_EQ(back->status, TESSEL_OK);
  EXPECT_EQ(text_of(back.get()), text_of(pem.get()));
  EXPECT_EQ(Case(ConvertCRL(TESSEL_FORM_SMIME, pem->data, pem->data_len))->status,
            TESSEL_UNKNOWN_FORM);
  EXPECT_EQ(Case(ConvertCRL(TESSEL_FORM_PEM, bytes("junk"), 4))->status, TESSEL_BAD_CRL);
  EXPECT_EQ(Case(ConvertCRL(TESSEL_FORM_PEM, nullptr, -1))->status, TESSEL_BAD_CRL);
}

}  // namespace
