// Certificate requests through the replaced OpenSSL allocator: the n-th allocation
// fails, for every n, and each export ends in one of its failure statuses,
// never in a crash, a leak (the sanitizer and valgrind runs watch) or a
// success whose output does not check. The subject values are wiped before
// their release.
#include <string>
#include <vector>

#include "failing_alloc.h"
#include "tessel_support.h"

namespace {

using namespace tesseltest;

class RequestAllocation : public Tessel {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    ASSERT_TRUE(allocator_installed());
  }
};

TEST_F(RequestAllocation, SubjectValuesAreWipedWhenReleased) {
  Case rec(REQUEST_INFO_Init());
  const std::string secret = "pass phrase of the subject";
  ASSERT_EQ(REQUEST_INFO_AddValue(rec.get(), 35, bytes(secret), len(secret))->status, TESSEL_OK);
  const void* first = rec->request_info->userPassword;
  watch(first, secret.size() + 1);
  // Replaced by a new value, the old one goes.
  ASSERT_EQ(REQUEST_INFO_AddValue(rec.get(), 35, bytes("other"), 5)->status, TESSEL_OK);
  EXPECT_TRUE(was_wiped(first));
  // Left in a record that is released.
  const void* second = rec->request_info->userPassword;
  watch(second, 6);
  rec.reset();
  EXPECT_TRUE(was_wiped(second));
}

TEST_F(RequestAllocation, GenerationEndsInAFailureStatus) {
  const Signer s = make_signer("A");
  const std::string config =
      "signing_time = yes\n[request_extensions]\nkeyUsage = digitalSignature\n";
  const std::vector<RequestValue> values = {{3, "user"}, {6, "BY"}};
  const auto seen = fail_each_allocation(
      [&]() -> CRYPTOCASE* {
        CRYPTOCASE* rec = REQUEST_INFO_Init();
        if (rec == nullptr || rec->status != TESSEL_OK) return rec;
        for (const RequestValue& v : values)
          if (REQUEST_INFO_AddValue(rec, v.type, bytes(v.value), len(v.value))->status != TESSEL_OK)
            return rec;
        return GenRequest(rec, bytes(s.key_pem), len(s.key_pem), nullptr, bytes(config),
                          len(config), TESSEL_FORM_DER);
      },
      [](const CRYPTOCASE* rec) {
        Case check(VerifyRequest(rec->data, rec->data_len));
        return check->status == TESSEL_OK && rec->request_info == nullptr;
      });
  const std::set<int32_t> allowed = {TESSEL_REQ_INFO_ALLOC_FAILED,
                                     TESSEL_REQ_VALUE_ALLOC_FAILED,
                                     TESSEL_REQ_CREATE_FAILED,
                                     TESSEL_REQ_VERSION_FAILED,
                                     TESSEL_REQ_SUBJECT_FAILED,
                                     TESSEL_BAD_PRIVATE_KEY,
                                     TESSEL_PUBLIC_KEY_SET_FAILED,
                                     TESSEL_BAD_CONFIG,
                                     TESSEL_REQ_EXTENSIONS_FAILED,
                                     TESSEL_REQ_SIGN_FAILED,
                                     TESSEL_BIO_ALLOC_FAILED,
                                     TESSEL_BIO_WRITE_FAILED,
                                     TESSEL_NO_MEMORY,
                                     TESSEL_BIO_READ_FAILED};
  for (int32_t status : seen) EXPECT_TRUE(allowed.count(status)) << status;
  for (int32_t status :
       {TESSEL_REQ_INFO_ALLOC_FAILED, TESSEL_REQ_VALUE_ALLOC_FAILED, TESSEL_REQ_CREATE_FAILED,
        TESSEL_REQ_SUBJECT_FAILED, TESSEL_BIO_ALLOC_FAILED, TESSEL_NO_MEMORY})
    EXPECT_TRUE(seen.count(status)) << status;
}

TEST_F(RequestAllocation, ReadingEndsInAFailureStatus) {
  const Signer s = make_signer("A");
  const std::string req = gen_request(s.key_pem, {{3, "user"}});
  const auto verify_seen = fail_each_allocation([&] { return VerifyRequest(bytes(req), len(req)); },
                                                [](const CRYPTOCASE*) { return true; });
  for (int32_t status : verify_seen)
    EXPECT_TRUE(status == TESSEL_BAD_REQUEST || status == TESSEL_REQ_NO_PUBLIC_KEY ||
                status == TESSEL_REQ_VERIFY_ERROR || status == TESSEL_VERIFY_FAILED)
        << status;

  const auto info_seen = fail_each_allocation(
      [&] { return GetRequestInfo(bytes(req), len(req)); },
      [&](const CRYPTOCASE* rec) {
        return text_of(rec) == "CN=user" &&
               std::string(reinterpret_cast<const char*>(rec->public_key),
                           static_cast<std::size_t>(rec->public_key_len)) == s.pubkey_pem;
      });
  const std::set<int32_t> allowed = {TESSEL_BIO_ALLOC_FAILED,  TESSEL_BAD_REQUEST,
                                     TESSEL_BIO_WRITE_FAILED,  TESSEL_BIO_READ_FAILED,
                                     TESSEL_REQ_NO_PUBLIC_KEY, TESSEL_NO_MEMORY};
  for (int32_t status : info_seen) EXPECT_TRUE(allowed.count(status)) << status;
  EXPECT_TRUE(info_seen.count(TESSEL_BIO_ALLOC_FAILED));
}

}  // namespace
