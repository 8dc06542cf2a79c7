// Through a replaced OpenSSL allocator (installed before anything
// allocates): CRYPTOCASE_free wipes every buffer before releasing it, and an
// allocation failing anywhere inside an export ends in a failure status,
// never in a crash, a leak (the sanitizer and valgrind runs watch) or a
// success whose output does not check.
#include <openssl/err.h>

#include "failing_alloc.h"
#include "tessel_support.h"

namespace {

using namespace tesseltest;

class Wipe : public Tessel {};

TEST_F(Wipe, EveryBufferAndTheRecordAreZeroWhenReleased) {
  ASSERT_TRUE(allocator_installed());
  const Signer s = make_signer("A");
  const std::string msg = "secret-ish content";
  CRYPTOCASE* cms = CreateSignP7S(bytes(msg), len(msg), bytes(s.key_pem), len(s.key_pem), nullptr,
                                  bytes(s.cert_pem), len(s.cert_pem), TESSEL_FORM_PEM, 0);
  CRYPTOCASE* digest = CreateHmac(bytes(msg), len(msg), bytes(msg), len(msg));
  CRYPTOCASE* sig = CreateSign(bytes(msg), len(msg), bytes(s.key_pem), len(s.key_pem), nullptr);
  ASSERT_TRUE(cms->status == TESSEL_OK && digest->status == TESSEL_OK && sig->status == TESSEL_OK);
  const void* blocks[] = {cms->data, digest->digest, sig->signature, cms, digest, sig};
  watch(cms->data, static_cast<std::size_t>(cms->data_len));
  watch(digest->digest, static_cast<std::size_t>(digest->digest_len));
  watch(sig->signature, static_cast<std::size_t>(sig->signature_len));
  for (CRYPTOCASE* rec : {cms, digest, sig}) watch(rec, sizeof(CRYPTOCASE));
  for (CRYPTOCASE* rec : {cms, digest, sig}) CRYPTOCASE_free(rec);
  for (const void* p : blocks) EXPECT_TRUE(was_wiped(p));
}

class FailingAllocation : public Tessel {};

TEST_F(FailingAllocation, DigestEndsInAFailureStatus) {
  ASSERT_TRUE(allocator_installed());
  const std::string msg = "abc";
  const auto seen =
      fail_each_allocation([&] { return CreateDigest("bash256", bytes(msg), len(msg)); },
                           [](const CRYPTOCASE* rec) { return rec->digest_len == 32; });
  const std::set<int32_t> allowed = {TESSEL_NO_MEMORY, TESSEL_INIT_FAILED, TESSEL_UPDATE_FAILED,
                                     TESSEL_FINAL_FAILED, TESSEL_CTX_ALLOC_FAILED};
  for (int32_t status : seen) EXPECT_TRUE(allowed.count(status)) << status;
  EXPECT_TRUE(seen.count(TESSEL_CTX_ALLOC_FAILED));
  EXPECT_TRUE(seen.count(TESSEL_NO_MEMORY));
}

TEST_F(FailingAllocation, SignedDataEndsInAFailureStatus) {
  ASSERT_TRUE(allocator_installed());
  const Signer s = make_signer("A");
  const std::string msg = "content";
  const auto seen = fail_each_allocation(
      [&] {
        return CreateSignP7S(bytes(msg), len(msg), bytes(s.key_pem), len(s.key_pem), nullptr,
                             bytes(s.cert_pem), len(s.cert_pem), TESSEL_FORM_DER,
                             TESSEL_CMS_DETACHED);
      },
      [&](const CRYPTOCASE* rec) {
        Case check(VerifySignP7S(rec->data, rec->data_len, bytes(msg), len(msg), nullptr, 0));
        return check->status == TESSEL_OK;
      });
  const std::set<int32_t> allowed = {
      TESSEL_CONTEXT_ALLOC_FAILED, TESSEL_CMS_SIGN_FAILED,  TESSEL_BAD_PRIVATE_KEY,
      TESSEL_BAD_CERTIFICATE,      TESSEL_CMS_ADD_FAILED,   TESSEL_BIO_ALLOC_FAILED,
      TESSEL_BIO_WRITE_FAILED,     TESSEL_CMS_FINAL_FAILED, TESSEL_NO_MEMORY,
      TESSEL_BIO_READ_FAILED};
  for (int32_t status : seen) EXPECT_TRUE(allowed.count(status)) << status;
  for (int32_t status : {TESSEL_CONTEXT_ALLOC_FAILED, TESSEL_CMS_SIGN_FAILED,
                         TESSEL_BIO_ALLOC_FAILED, TESSEL_NO_MEMORY})
    EXPECT_TRUE(seen.count(status)) << status;
}

TEST_F(FailingAllocation, ChecksEndInAFailureStatus) {
  ASSERT_TRUE(allocator_installed());
  const Signer s = make_signer("A");
  const std::string msg = "content";
  Case cms(CreateSignP7S(bytes(msg), len(msg), bytes(s.key_pem), len(s.key_pem), nullptr,
                         bytes(s.cert_pem), len(s.cert_pem), TESSEL_FORM_DER,
                         TESSEL_CMS_DETACHED | TESSEL_CMS_NOCERTS));
  ASSERT_EQ(cms->status, TESSEL_OK);
  const auto cms_seen = fail_each_allocation(
      [&] {
        return VerifySignP7S(cms->data, cms->data_len, bytes(msg), len(msg), bytes(s.cert_pem),
                             len(s.cert_pem));
      },
      [&](const CRYPTOCASE* rec) { return text_of(rec) == msg; });
  const std::set<int32_t> cms_allowed = {TESSEL_BAD_CMS,          TESSEL_BIO_ALLOC_FAILED,
                                         TESSEL_BIO_WRITE_FAILED, TESSEL_BAD_CERTIFICATE,
                                         TESSEL_CERT_LIST_FAILED, TESSEL_VERIFY_FAILED,
                                         TESSEL_NO_MEMORY,        TESSEL_BIO_READ_FAILED};
  for (int32_t status : cms_seen) EXPECT_TRUE(cms_allowed.count(status)) << status;
  EXPECT_TRUE(cms_seen.count(TESSEL_CERT_LIST_FAILED));

  const auto sign_seen = fail_each_allocation(
      [&] { return CreateSign(bytes(msg), len(msg), bytes(s.key_pem), len(s.key_pem), nullptr); },
      [](const CRYPTOCASE* rec) { return rec->signature_len == 48; });
  const std::set<int32_t> sign_allowed = {TESSEL_CTX_ALLOC_FAILED, TESSEL_BAD_PRIVATE_KEY,
                                          TESSEL_INIT_FAILED,      TESSEL_UPDATE_FAILED,
                                          TESSEL_FINAL_FAILED,     TESSEL_NO_MEMORY};
  for (int32_t status : sign_seen) EXPECT_TRUE(sign_allowed.count(status)) << status;
  EXPECT_TRUE(sign_seen.count(TESSEL_CTX_ALLOC_FAILED));
}

}  // namespace
