// Policy rules and subject string types: which request fields reach the
// certificate, and which string types are refused.
#include "ca_support.h"

namespace {

using namespace catest;

class Policy : public Tessel {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    ca_.signer = make_signer("A");  // subject CN "tessel signer", a UTF8String
    holder_ = make_signer("A");
  }
  Case issue_with(const std::string& policy_lines, const std::vector<NameEntry>& subject) {
    const std::string conf = config("policy = p", "[ p ]\n" + policy_lines + "\n");
    return issue(ca_, request_pem(holder_.key.get(), subject), conf, "01");
  }

  Authority ca_;
  Signer holder_;
};

TEST_F(Policy, RulesBuildTheSubject) {
  const NameEntry cn_utf8{"CN", V_ASN1_UTF8STRING, "tessel signer"};
  const NameEntry cn_printable{"CN", V_ASN1_PRINTABLESTRING, "tessel signer"};
  const NameEntry org{"O", MBSTRING_UTF8, "Tessel"};
  const NameEntry unit{"OU", MBSTRING_UTF8, "Lab"};
  const struct {
    const char* what;
    std::string policy;
    std::vector<NameEntry> subject;
    int32_t status;
    std::string built;  // one-line subject of the certificate
  } cases[] = {
      {"optional, absent", "O = optional", {cn_utf8}, TESSEL_OK, ""},
      {"optional, present", "O = optional", {org, cn_utf8}, TESSEL_OK, "/O=Tessel"},
      {"supplied, absent", "O = supplied", {cn_utf8}, TESSEL_POLICY_MISMATCH, ""},
      {"policy order, unnamed dropped",
       "CN = supplied\norganizationName = optional",
       {org, unit, cn_utf8},
       TESSEL_OK,
       "/CN=tessel signer/O=Tessel"},
      {"dotted identifier", "2.5.4.10 = supplied", {org}, TESSEL_OK, "/O=Tessel"},
      {"match, same type and bytes", "CN = match", {cn_utf8}, TESSEL_OK, "/CN=tessel signer"},
      {"match, Printable against UTF8", "CN = match", {cn_printable}, TESSEL_POLICY_MISMATCH, ""},
      {"match, other value",
       "CN = match",
       {{"CN", V_ASN1_PRINTABLESTRING, "someone"}},
       TESSEL_POLICY_MISMATCH,
       ""},
      {"match, absent", "CN = match", {org}, TESSEL_POLICY_MISMATCH, ""},
      {"unknown rule", "CN = required", {cn_utf8}, TESSEL_POLICY_MISMATCH, ""},
      {"unknown field", "fooBarName = optional", {cn_utf8}, TESSEL_POLICY_UNKNOWN_FIELD, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Case rec = issue_with(c.policy, c.subject);
    ASSERT_EQ(rec->status, c.status);
    if (c.status != TESSEL_OK) continue;
    const Cert cert = cert_of(rec.get());
    EXPECT_EQ(oneline(X509_get_subject_name(cert.get())), c.built);
    // An empty built subject is named by its serial in the index.
    EXPECT_EQ(rows_of(index_of(rec.get()))[0][5], c.built.empty() ? "01" : c.built);
  }
}

TEST_F(Policy, StringTypesThatCannotHoldTheirContent) {
  const struct {
    const char* what;
    NameEntry entry;
    int32_t status;
  } cases[] = {
      {"email as PrintableString",
       {"emailAddress", V_ASN1_PRINTABLESTRING, "a"},
       TESSEL_BAD_STRING_TYPE},
      {"email as IA5String", {"emailAddress", V_ASN1_IA5STRING, "a@b.example"}, TESSEL_OK},
      {"'@' in a PrintableString", {"CN", V_ASN1_PRINTABLESTRING, "a@b"}, TESSEL_BAD_STRING_TYPE},
      {"'@' in an IA5String", {"CN", V_ASN1_IA5STRING, "a@b"}, TESSEL_OK},
      {"8-bit bytes in an IA5String", {"CN", V_ASN1_IA5STRING, "\xc3\xa9"}, TESSEL_BAD_STRING_TYPE},
      {"8-bit bytes in a T61String", {"CN", V_ASN1_T61STRING, "\xc3\xa9"}, TESSEL_OK},
      {"8-bit bytes in a UTF8String", {"CN", V_ASN1_UTF8STRING, "\xc3\xa9"}, TESSEL_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The check runs on the request before any policy: the field need not
    // be kept.
    EXPECT_EQ(issue_with("CN = optional", {c.entry})->status, c.status);
  }
}

}  // namespace
