// Certificate requests: collecting subject values and GenRequest with its
// key, configuration and form.
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <ctime>
#include <set>

#include "tessel_support.h"

namespace {

using namespace tesseltest;

// The 54 attribute types a request may carry, in the order of its subject.
const std::vector<uint32_t> kTypes = {3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                      17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                      33, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
                                      48, 49, 50, 51, 52, 53, 65, 72, 97, 98, 99, 100};

// A value each type accepts, telling the types apart.
std::string sample_value(uint32_t type) {
  if (type == 6) return "BY";
  if (type == 98) return "BLR";
  if (type == 99) return "112";
  std::string v = "v";
  v += std::to_string(type);
  return v;
}

// A request in PEM or DER as an OpenSSL object.
Req parse(const std::string& request) {
  BIO* bio = BIO_new_mem_buf(request.data(), len(request));
  Req req(PEM_read_bio_X509_REQ(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  const unsigned char* p = bytes(request);
  if (!req) req.reset(d2i_X509_REQ(nullptr, &p, len(request)));
  return req;
}

class Request : public Tessel {
 protected:
  static const Signer& signer() {
    static const Signer s = make_signer("A", "request pass");
    return s;
  }
  static Case collect(const std::vector<RequestValue>& values) {
    Case rec(REQUEST_INFO_Init());
    for (const RequestValue& v : values)
      REQUEST_INFO_AddValue(rec.get(), v.type, bytes(v.value), len(v.value));
    return rec;
  }
  static CRYPTOCASE* generate(CRYPTOCASE* rec, const char* config = nullptr,
                              int32_t form = TESSEL_FORM_PEM) {
    const std::string& key = signer().key_pem;
    const std::string conf = config != nullptr ? config : "";
    return GenRequest(rec, bytes(key), len(key), "request pass",
                      config != nullptr ? bytes(conf) : nullptr, len(conf), form);
  }
  static std::string subject_text(const std::string& request) {
    Case info(GetRequestInfo(bytes(request), len(request)));
    EXPECT_EQ(info->status, TESSEL_OK);
    return text_of(info.get());
  }
};

TEST_F(Request, AddValueStatusesAndWhatRemains) {
  struct Row {
    uint32_t type;
    const char* value;
    int32_t length;
    int32_t status;
  } const rows[] = {
      {6, "BY", 2, TESSEL_OK},
      {6, "BYS", 3, TESSEL_REQ_VALUE_LENGTH},
      {6, "B", 1, TESSEL_REQ_VALUE_LENGTH},
      {98, "BLR", 3, TESSEL_OK},
      {99, "112", 3, TESSEL_OK},
      {99, "1120", 4, TESSEL_REQ_VALUE_LENGTH},
      {98, "BL", 2, TESSEL_REQ_VALUE_LENGTH},
      {3, "", 0, TESSEL_OK},
      {3, nullptr, 0, TESSEL_OK},
      {3, "x", -1, TESSEL_BAD_LENGTH},
      {3, nullptr, 4, TESSEL_BAD_LENGTH},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.type) + " " + std::to_string(row.length));
    Case rec = collect({{4, "kept until a failure"}});
    const auto* value = reinterpret_cast<const unsigned char*>(row.value);
    ASSERT_EQ(REQUEST_INFO_AddValue(rec.get(), row.type, value, row.length), rec.get());
    EXPECT_EQ(rec->status, row.status);
    // A failure ends the collection with everything gathered so far.
    EXPECT_EQ(rec->request_info != nullptr, row.status == TESSEL_OK);
  }
  // Every number outside the 54 types is unknown.
  const std::set<uint32_t> known(kTypes.begin(), kTypes.end());
  for (uint32_t type : {0u, 1u, 2u, 31u, 32u, 34u, 54u, 64u, 66u, 96u, 101u, 0xFFFFFFFFu}) {
    ASSERT_EQ(known.count(type), 0u);
    Case rec = collect({});
    EXPECT_EQ(REQUEST_INFO_AddValue(rec.get(), type, bytes("v"), 1)->status,
              TESSEL_UNKNOWN_VALUE_TYPE)
        << type;
    EXPECT_EQ(rec->request_info, nullptr);
  }
  EXPECT_EQ(REQUEST_INFO_AddValue(nullptr, 3, bytes("v"), 1), nullptr);
  EXPECT_EQ(GenRequest(nullptr, nullptr, 0, nullptr, nullptr, 0, 0), nullptr);
}

TEST_F(Request, RecordWithoutRequestInfoMakesNoRequest) {
  // After a failed step and after a completed request alike.
  Case failed = collect({{3, "subject"}, {6, "BYS"}});
  ASSERT_EQ(failed->status, TESSEL_REQ_VALUE_LENGTH);
  EXPECT_EQ(REQUEST_INFO_AddValue(failed.get(), 3, bytes("v"), 1)->status,
            TESSEL_REQ_INFO_ALLOC_FAILED);
  EXPECT_EQ(generate(failed.get())->status, TESSEL_REQ_INFO_ALLOC_FAILED);
  EXPECT_EQ(failed->data, nullptr);

  Case done = collect({{3, "first"}});
  ASSERT_EQ(generate(done.get())->status, TESSEL_OK);
  const Bytes first = data_of(done.get());
  EXPECT_EQ(generate(done.get())->status, TESSEL_REQ_INFO_ALLOC_FAILED);
  EXPECT_EQ(data_of(done.get()), first);
}

TEST_F(Request, ValuesAreStoredUpToTheirFirstZeroByteAndReplaced) {
  Case rec = collect({{3, "first"}, {3, std::string("second\0hidden", 13)}});
  ASSERT_EQ(rec->status, TESSEL_OK);
  ASSERT_NE(rec->request_info->commonName, nullptr);
  EXPECT_STREQ(rec->request_info->commonName, "second");
  ASSERT_EQ(generate(rec.get())->status, TESSEL_OK);
  EXPECT_EQ(rec->request_info, nullptr);
  EXPECT_EQ(subject_text(text_of(rec.get())), "CN=second");
}

TEST_F(Request, EveryTypeEntersTheSubjectAsItsAttributeInRecordOrder) {
  // Added from the last type to the first: the subject still follows the
  // record.
  std::vector<RequestValue> values;
  for (auto t = kTypes.rbegin(); t != kTypes.rend(); ++t) {
    values.push_back({*t, sample_value(*t)});
  }
  Case rec = collect(values);
  ASSERT_EQ(rec->status, TESSEL_OK);
  ASSERT_EQ(generate(rec.get())->status, TESSEL_OK);
  const Req req = parse(text_of(rec.get()));
  ASSERT_NE(req, nullptr);
  const X509_NAME* name = X509_REQ_get_subject_name(req.get());
  ASSERT_EQ(X509_NAME_entry_count(name), static_cast<int>(kTypes.size()));
  for (std::size_t i = 0; i < kTypes.size(); ++i) {
    const X509_NAME_ENTRY* e = X509_NAME_get_entry(name, static_cast<int>(i));
    char oid[32];
    OBJ_obj2txt(oid, sizeof oid, X509_NAME_ENTRY_get_object(e), 1);
    EXPECT_EQ(std::string(oid), "2.5.4." + std::to_string(kTypes[i]));
    EXPECT_EQ(X509_NAME_ENTRY_set(e), static_cast<int>(i)) << "each value an RDN of its own";
    const auto want = std::find_if(values.begin(), values.end(),
                                   [&](const RequestValue& v) { return v.type == kTypes[i]; });
    const ASN1_STRING* data = X509_NAME_ENTRY_get_data(e);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(data)),
                          static_cast<std::size_t>(ASN1_STRING_length(data))),
              want->value);
  }
}

TEST_F(Request, ValuesOpensslRefusesFailGenerationAndAreReleased) {
  for (const RequestValue& bad : std::vector<RequestValue>{
           {6, std::string("B\0", 2)},  // passes the length check, too short as a country
           {3, std::string(65, 'x')},   // commonName holds 64 characters at most
           {5, "\xC3\xA4"},             // serialNumber is printable only
           {99, "ABC"}}) {              // countryCode3n is numeric
    Case rec = collect({{4, "surname"}, bad});
    ASSERT_EQ(rec->status, TESSEL_OK);
    EXPECT_EQ(generate(rec.get())->status, TESSEL_REQ_SUBJECT_FAILED) << bad.type;
    EXPECT_EQ(rec->request_info, nullptr);
    EXPECT_EQ(rec->data, nullptr);
  }
}

TEST_F(Request, GenRequestStatusesOfKeyConfigurationAndForm) {
  const std::string key = signer().key_pem;
  const Bytes der = pkcs8_der(signer().key.get());
  const std::string der_key(der.begin(), der.end());
  // A key type without a signing digest cannot sign its request.
  const std::string exchange_key = make_signer("X25519").key_pem;
  const std::string ec_key = make_signer("EC").key_pem;
  struct Row {
    const char* what;
    std::string key;
    const char* password;
    const char* config;
    int32_t form;
    int32_t status;
  } const rows[] = {
      {"wrong password", key, "wrong", nullptr, 0, TESSEL_BAD_PRIVATE_KEY},
      {"no password", key, nullptr, nullptr, 0, TESSEL_BAD_PRIVATE_KEY},
      {"DER key", der_key, nullptr, nullptr, 0, TESSEL_BAD_PRIVATE_KEY},
      {"no key", "", nullptr, nullptr, 0, TESSEL_BAD_PRIVATE_KEY},
      {"unreadable configuration", key, "request pass", "[open", 0, TESSEL_BAD_CONFIG},
      {"empty configuration", key, "request pass", "", 0, TESSEL_BAD_CONFIG},
      {"no extension section", key, "request pass", "signing_time = yes\n", 0,
       TESSEL_REQ_EXTENSIONS_FAILED},
      {"bad extension", key, "request pass", "[request_extensions]\nbasicConstraints = maybe\n", 0,
       TESSEL_REQ_EXTENSIONS_FAILED},
      {"S/MIME form", key, "request pass", nullptr, TESSEL_FORM_SMIME, TESSEL_UNKNOWN_FORM},
      {"negative form", key, "request pass", nullptr, -1, TESSEL_UNKNOWN_FORM},
      {"PEM", key, "request pass", nullptr, TESSEL_FORM_PEM, TESSEL_OK},
      {"DER", key, "request pass", nullptr, TESSEL_FORM_DER, TESSEL_OK},
      {"key that cannot sign", exchange_key, nullptr, nullptr, 0, TESSEL_REQ_SIGN_FAILED},
      {"other signing key type", ec_key, nullptr, nullptr, 0, TESSEL_OK},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Case rec = collect({{3, "subject"}});
    const std::string conf = row.config != nullptr ? row.config : "";
    GenRequest(rec.get(), bytes(row.key), len(row.key), row.password,
               row.config != nullptr ? bytes(conf) : nullptr, len(conf), row.form);
    EXPECT_EQ(rec->status, row.status);
    EXPECT_EQ(rec->request_info, nullptr) << "consumed whatever the outcome";
    EXPECT_EQ(rec->data != nullptr, row.status == TESSEL_OK);
  }
}

TEST_F(Request, ConfigurationAddsSigningTimeAndRequestedExtensions) {
  const std::string extensions =
      "[request_extensions]\nbasicConstraints = critical,CA:FALSE\n"
      "keyUsage = digitalSignature\nsubjectAltName = email:user@example.by\n";
  struct Row {
    const char* what;
    std::string config;
    bool signing_time;
    int attribute;  // carrying the extensions; NID_undef: none
    int extensions;
  } const rows[] = {
      {"no configuration", "", false, NID_undef, 0},
      {"extensions only", extensions, false, NID_ext_req, 3},
      {"signing time whatever its value", "signing_time = no\n" + extensions, true, NID_ext_req, 3},
      {"keys of another section are not read", "[other]\nsigning_time = yes\n" + extensions, false,
       NID_ext_req, 3},
      {"known attribute name", "extensions_name = msExtReq\n" + extensions, false, NID_ms_ext_req,
       3},
      {"unknown attribute name", "extensions_name = noSuchThing\n" + extensions, false, NID_ext_req,
       3},
      {"empty extension section", "[request_extensions]\n", false, NID_ext_req, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Case rec = collect({{3, "subject"}});
    const std::time_t before = std::time(nullptr);
    generate(rec.get(), row.config.empty() ? nullptr : row.config.c_str());
    ASSERT_EQ(rec->status, TESSEL_OK);
    const Req req = parse(text_of(rec.get()));
    ASSERT_NE(req, nullptr);
    const int expected = (row.signing_time ? 1 : 0) + (row.attribute != NID_undef ? 1 : 0);
    EXPECT_EQ(X509_REQ_get_attr_count(req.get()), expected);
    const int at = X509_REQ_get_attr_by_NID(req.get(), NID_pkcs9_signingTime, -1);
    EXPECT_EQ(at >= 0, row.signing_time);
    if (at >= 0) {
      const ASN1_TYPE* t = X509_ATTRIBUTE_get0_type(X509_REQ_get_attr(req.get(), at), 0);
      ASSERT_NE(t, nullptr);
      ASSERT_EQ(t->type, V_ASN1_UTCTIME);
      int days = 0, seconds = 0;
      ASSERT_TRUE(ASN1_TIME_diff(&days, &seconds, nullptr, t->value.utctime));
      EXPECT_LE(std::abs(days * 86400 + seconds), 2 + std::time(nullptr) - before);
    }
    if (row.attribute == NID_undef) continue;
    ASSERT_GE(X509_REQ_get_attr_by_NID(req.get(), row.attribute, -1), 0);
    STACK_OF(X509_EXTENSION)* exts = X509_REQ_get_extensions(req.get());
    ASSERT_NE(exts, nullptr);
    EXPECT_EQ(sk_X509_EXTENSION_num(exts), row.extensions);
    if (row.extensions > 0) {
      X509_EXTENSION* bc = sk_X509_EXTENSION_value(exts, 0);
      EXPECT_EQ(OBJ_obj2nid(X509_EXTENSION_get_object(bc)), NID_basic_constraints);
      EXPECT_EQ(X509_EXTENSION_get_critical(bc), 1);
    }
    sk_X509_EXTENSION_pop_free(exts, X509_EXTENSION_free);
  }
}

// A collection never handed to GenRequest is released with its record (the
// sanitizer and valgrind runs watch for leaks here).
TEST_F(Request, UnfinishedCollectionIsReleasedWithTheRecord) {
  CRYPTOCASE_free(REQUEST_INFO_Init());
  std::vector<RequestValue> all;
  for (uint32_t t : kTypes) all.push_back({t, sample_value(t)});
  Case rec = collect(all);
  EXPECT_EQ(rec->status, TESSEL_OK);
}

}  // namespace
